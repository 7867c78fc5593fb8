// The whole path from dump files to a corrected XYZ file, for comparison with the
// NumPy/pandas reference (see run_xyz_bench.sh).
//
//   xyz_bench generate MEGABYTES DIR   writes fixed-column dumps into DIR
//   xyz_bench run DIR OUT.xyz          files -> model -> match -> XYZ; prints the seconds of
//                                      both halves, the readings, the XYZ writer's MB/s
//                                      and the peak resident bytes per reading
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "dump_generator.h"
#include "export/export_command.h"
#include "reader/dump_reader.h"

int main(int argc, char** argv) {
  using namespace corvane;
  if (argc == 4 && std::string(argv[1]) == "generate") {
    std::filesystem::create_directories(argv[3]);
    bench::DumpGenerator gen;
    const auto set = gen.write(argv[3], static_cast<std::uint64_t>(std::stod(argv[2]) * 1e6), 1'200'000, true);
    std::printf("%zu files, %.1f MB\n", set.paths.size(), static_cast<double>(set.bytes) / 1e6);
    return 0;
  }
  if (argc != 4 || std::string(argv[1]) != "run") {
    std::fprintf(stderr, "usage: xyz_bench generate MEGABYTES DIR | xyz_bench run DIR OUT.xyz\n");
    return 2;
  }
  std::vector<DumpFile> files;
  for (const auto& e : std::filesystem::directory_iterator(argv[2]))
    if (e.is_regular_file()) files.push_back(DumpFile{e.path().filename().string(), argv[2]});
  std::sort(files.begin(), files.end(), [](const DumpFile& a, const DumpFile& b) { return a.name < b.name; });
  const std::filesystem::path out(argv[3]);
  SilentOperator op;
  // The output of an earlier run goes first: dropping its pages is not part of the path.
  std::filesystem::remove(out);
  const auto t0 = std::chrono::steady_clock::now();
  SurveyModel model;
  process_files(model, files, op, DateOrder::mdy);
  const auto t1 = std::chrono::steady_clock::now();
  ExportRequest request;
  request.file_name_text = out.filename().string();
  request.directory = out.parent_path().string();
  request.base_field_text = "57500";
  const ExportResult result = command_save_data(model, request, export_xyz_button, op);
  const auto t2 = std::chrono::steady_clock::now();
  if (result != ExportResult::complete) {
    std::fprintf(stderr, "export failed\n");
    return 1;
  }
  const double write_seconds = std::chrono::duration<double>(t2 - t1).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double peak_bytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
  std::printf("%.3f %.3f %d %.0f %.1f\n", std::chrono::duration<double>(t1 - t0).count(), write_seconds,
              model.reading_count(), static_cast<double>(std::filesystem::file_size(out)) / 1e6 / write_seconds,
              peak_bytes / std::max(1, model.reading_count()));
  return 0;
}

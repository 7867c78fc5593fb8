// The database export against the XYZ export of the same blocks, in one run: the dumps
// of a folder are read once, then each export is timed twice, interleaved.
//   oasis_bench DIR WORKDIR   (run_oasis_bench.sh makes the dumps and prints the figures)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "export/export_command.h"
#include "reader/dump_reader.h"
#include "util/operator.h"

using namespace corvane;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: oasis_bench DUMPS_DIR WORK_DIR\n");
    return 2;
  }
  std::vector<DumpFile> files;
  for (const auto& e : std::filesystem::directory_iterator(argv[1]))
    if (e.is_regular_file()) files.push_back(DumpFile{e.path().filename().string(), argv[1]});
  std::sort(files.begin(), files.end(), [](const DumpFile& a, const DumpFile& b) { return a.name < b.name; });
  SilentOperator op;
  SurveyModel model;
  process_files(model, files, op, DateOrder::mdy);

  const auto timed = [&](int button, const char* name) {
    ExportRequest request;
    request.file_name_text = name;
    request.directory = argv[2];
    request.base_field_text = "57500";
    std::filesystem::remove(std::filesystem::path(argv[2]) / name);
    const auto t0 = std::chrono::steady_clock::now();
    const ExportResult result = command_save_data(model, request, button, op);
    const auto t1 = std::chrono::steady_clock::now();
    if (result != ExportResult::complete) {
      std::fprintf(stderr, "oasis_bench: the %s export failed\n", name);
      std::exit(1);
    }
    return std::chrono::duration<double>(t1 - t0).count();
  };
  double xyz = 1e300, oasis = 1e300;
  for (int run = 0; run < 3; ++run) {
    xyz = std::min(xyz, timed(export_xyz_button, "day.xyz"));
    oasis = std::min(oasis, timed(export_oasis_button, "day.gdb"));
  }
  std::printf("%d readings in %d blocks\n", model.reading_count(), model.block_count);
  std::printf("XYZ export        %8.3f s  (%.1f MB)\n", xyz,
              double(std::filesystem::file_size(std::filesystem::path(argv[2]) / "day.xyz")) / 1e6);
  std::printf("database export   %8.3f s  (%.1f MB)\n", oasis,
              double(std::filesystem::file_size(std::filesystem::path(argv[2]) / "day.gdb")) / 1e6);
  std::printf("database / XYZ    %8.2f x  (best of 3 each, interleaved)\n", oasis / xyz);
  return 0;
}

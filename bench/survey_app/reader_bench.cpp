// Reading speed of the dump reader against a plain line-by-line read of the same files.
//
//   reader_bench [MEGABYTES] [DIR]
//
// Generates about MEGABYTES (default 100) of dumps in both layouts under DIR (default a
// fresh folder under /tmp, removed afterwards), then times in one run, best of three:
//   (a) std::getline over every file,
//   (b) the full processing run (read, split into blocks, sort, match) on one thread, and
//   (c) the same run reading the files on every core (--jobs default).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "dump_generator.h"
#include "reader/dump_reader.h"

namespace {

long peak_rss_kib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

template <class F>
double best_seconds(int rounds, F&& f) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane;
  const double megabytes = argc > 1 ? std::stod(argv[1]) : 100.0;
  const bool own_dir = argc <= 2;
  const std::filesystem::path dir =
      own_dir ? std::filesystem::temp_directory_path() / ("corvane-bench-" + std::to_string(::getpid())) : argv[2];
  std::filesystem::create_directories(dir);

  bench::DumpGenerator gen;
  const auto set = gen.write(dir.string(), static_cast<std::uint64_t>(megabytes * 1e6), 1'200'000);
  std::vector<DumpFile> files;
  for (const auto& p : set.paths) {
    const std::filesystem::path path(p);
    files.push_back(DumpFile{path.filename().string(), path.parent_path().string()});
  }
  const double mb = static_cast<double>(set.bytes) / 1e6;

  std::uint64_t lines = 0;
  const double plain = best_seconds(3, [&] {
    lines = 0;
    std::string line;
    for (const auto& p : set.paths) {
      std::ifstream in(p, std::ios::binary);
      while (std::getline(in, line)) ++lines;
    }
  });

  const long rss_before = peak_rss_kib();
  SilentOperator op;
  std::int64_t readings = 0;
  const double full = best_seconds(3, [&] {
    SurveyModel model;
    process_files(model, files, op, DateOrder::mdy, 1);
    readings = model.reading_count();
  });
  const long rss_after = peak_rss_kib();
  const double all_cores = best_seconds(3, [&] {
    SurveyModel model;
    process_files(model, files, op, DateOrder::mdy);
  });

  std::printf("data set                 %.1f MB in %zu files, %llu lines, %lld readings\n", mb, files.size(),
              static_cast<unsigned long long>(lines), static_cast<long long>(readings));
  std::printf("(a) plain getline read   %8.3f s  %8.1f MB/s  %12.0f readings/s\n", plain, mb / plain,
              static_cast<double>(readings) / plain);
  std::printf("(b) full processing run  %8.3f s  %8.1f MB/s  %12.0f readings/s\n", full, mb / full,
              static_cast<double>(readings) / full);
  std::printf("(c) the same, %2u jobs     %8.3f s  %8.1f MB/s  %12.0f readings/s\n", default_jobs(), all_cores,
              mb / all_cores, static_cast<double>(readings) / all_cores);
  std::printf("ratio b/a                %8.2f   (one thread, at most 4)\n", full / plain);
  std::printf("ratio c/a                %8.2f\n", all_cores / plain);
  std::printf(
      "peak memory per reading  %8.1f bytes (peak RSS grew %ld KiB during the one-thread runs)\n",
      static_cast<double>(rss_after - rss_before) * 1024.0 / static_cast<double>(std::max<std::int64_t>(readings, 1)),
      rss_after - rss_before);
  if (own_dir) std::filesystem::remove_all(dir);
  return 0;
}

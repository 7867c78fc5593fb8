// Opening the survey map of a large day: from the model to a fully painted control.
//
//   map_bench DIR [MEGABYTES]   generates MEGABYTES (default 100) of fixed-column dumps into
//                               DIR unless it holds some, reads them, then times the map
//                               (best of three) and prints the seconds and their shares,
//                               and the peak memory a dot of the map takes; then writes
//                               the map as SVG beside DIR and prints its time and size
#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dump_generator.h"
#include "export/export_command.h"
#include "map/map_graph.h"
#include "map/survey_map.h"
#include "reader/dump_reader.h"
#include "vellum32/vellum32.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); -1 where there is none.
double status_bytes(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0 && line.size() > std::strlen(field) && line[std::strlen(field)] == ':')
      return std::stod(line.substr(std::strlen(field) + 1)) * 1024;
  return -1;
}

// Starts the peak resident size (VmHWM) anew from the present one; false where Linux
// does not allow it.
bool reset_peak() {
  std::ofstream clear("/proc/self/clear_refs");
  return clear && (clear << "5").flush();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane;
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: map_bench DIR [MEGABYTES]\n");
    return 2;
  }
  const std::filesystem::path dir(argv[1]);
  std::filesystem::create_directories(dir);
  if (std::filesystem::is_empty(dir)) {
    bench::DumpGenerator gen;
    gen.write(dir.string(), static_cast<std::uint64_t>((argc > 2 ? std::stod(argv[2]) : 100.0) * 1e6), 1'200'000, true);
  }
  std::vector<DumpFile> files;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.is_regular_file()) files.push_back(DumpFile{e.path().filename().string(), dir.string()});
  std::sort(files.begin(), files.end(), [](const DumpFile& a, const DumpFile& b) { return a.name < b.name; });
  SilentOperator op;
  SurveyModel model;
  process_files(model, files, op, DateOrder::mdy);

  // The peak memory of the map as corvane-batch --map makes it (the map's data, the graph
  // and the picture), above the model alone. A picture of no dots first, so that what Qt
  // sets up once (the platform, fonts) is not counted.
  render_map_image(SurveyMap{}, QSize(1100, 750));
  if (reset_peak()) {
    const double before = status_bytes("VmRSS");
    std::size_t mapped = 0;
    {
      const SurveyMap map = build_survey_map(model, false);
      mapped = map.dots.size();
      const QImage image = render_map_image(map, QSize(1100, 750));
    }
    const double peak = status_bytes("VmHWM") - before;
    std::printf("peak memory of the map above the model: %.0f MB for %zu dots, %.1f bytes a dot\n", peak / 1e6, mapped,
                peak / double(std::max<std::size_t>(mapped, 1)));
  } else {
    std::printf("peak memory: /proc/self/clear_refs cannot be written here\n");
  }

  vellum32::Vellum32 control;
  control.resize(1000, 750);
  MapGraph graph(control);
  double best_total = 1e9, best_data = 0, best_graph = 0;
  std::size_t dots = 0;
  for (int run = 0; run < 3; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    SurveyMap map = build_survey_map(model, false);
    const double data = seconds_since(t0);
    dots = map.dots.size();
    const auto t1 = std::chrono::steady_clock::now();
    graph.show(std::move(map));
    control.Refresh();  // as its first show draws it in the window
    const double drawn = seconds_since(t1);
    if (data + drawn < best_total) best_total = data + drawn, best_data = data, best_graph = drawn;
  }
  // The plain drawing, one square a dot, for comparison: a hundredth of the dots is too
  // sparse for the merge; its time per dot is scaled to all of them.
  const SurveyMap all = build_survey_map(model, false);
  SurveyMap sample = all;
  sample.dots = MapDots();
  for (std::size_t i = 0; i < all.dots.size() / 100; ++i) sample.dots.push_back(all.dots[i]);
  graph.show(std::move(sample));
  const auto t2 = std::chrono::steady_clock::now();
  control.Refresh();
  const double plain = seconds_since(t2) * 100;
  graph.show(build_survey_map(model, false));
  const auto t4 = std::chrono::steady_clock::now();
  control.Refresh();
  const double merged = seconds_since(t4);
  std::printf("%zu dots on a %dx%d picture: the map opens in %.3f s (%.0f %% of the 1 s allowed)\n", dots,
              control.Picture().width(), control.Picture().height(), best_total, 100 * best_total);
  std::printf("  map data %.3f s (%.0f %%), registration and drawing %.3f s (%.0f %%)\n", best_data,
              100 * best_data / best_total, best_graph, 100 * best_graph / best_total);
  std::printf(
      "  drawing alone %.3f s; every dot drawn as its own square would take about %.2f s (%.0f times as long)\n",
      merged, plain, plain / merged);

  // The map as an SVG drawing, as the SVG entry, the printer and corvane-batch --map
  // OUT.svg make it: a map this dense with its plot as a picture.
  const std::filesystem::path svg = dir.parent_path() / "map_bench.svg";
  const bool peak_known = reset_peak();
  const double before = status_bytes("VmRSS");
  const auto t5 = std::chrono::steady_clock::now();
  const QString failure = write_map_svg(all, QSize(1100, 750), QString::fromStdString(svg.string()));
  const double written = seconds_since(t5);
  if (!failure.isEmpty()) {
    std::printf("the map as SVG: %s\n", failure.toLocal8Bit().constData());
    return 1;
  }
  std::printf("the map as SVG: %.2f s, a file of %.0f MB", written, double(std::filesystem::file_size(svg)) / 1e6);
  if (peak_known) std::printf(", peak memory %.0f MB above the rest", (status_bytes("VmHWM") - before) / 1e6);
  std::printf("\n");
  std::filesystem::remove(svg);
  return 0;
}

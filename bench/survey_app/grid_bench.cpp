// Our gridding against `gmt blockmedian` + `gmt surface` on the same points, region and
// cell; run_grid_bench.sh runs GMT between the two steps and prints the table.
//   grid_bench points SOURCE WORK    writes WORK/all.xyz, kept.xyz (every fourth line left
//                                    out) and prints "-Rw/e/s/n -Icell" for GMT
//   grid_bench compare SOURCE WORK GMT_SECONDS
//                                    grids with both methods and compares with GMT's grids
//                                    (WORK/gmt_all.txt, gmt_kept.txt from grd2xyz)
// SOURCE is a folder of dump files or "synthetic" (a smooth survey of 41 lines).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "grid/grid.h"
#include "grid/grid_input.h"
#include "reader/dump_reader.h"
#include "util/operator.h"

using namespace corvane;

namespace {

GridInput synthetic_survey() {
  GridInput input;
  for (int k = 0; k <= 40; ++k) {
    const double y = 50.0 * k;
    input.lines.push_back({y, true});
    for (int s = 0; s <= 400; ++s) {
      const double x = 5.0 * s;
      const double a = (x - 700) * (x - 700) + (y - 1200) * (y - 1200);
      const double b = (x - 1400) * (x - 1400) + (y - 600) * (y - 600);
      const double v = 200 * std::exp(-a / (2 * 150.0 * 150.0)) - 120 * std::exp(-b / (2 * 250.0 * 250.0)) + 0.05 * x;
      input.points.push_back({x, y, v, k});
    }
  }
  return input;
}

GridInput input_of(const std::string& source) {
  if (source == "synthetic") return synthetic_survey();
  std::vector<DumpFile> files;
  for (const auto& e : std::filesystem::directory_iterator(source))
    if (e.is_regular_file()) files.push_back(DumpFile{e.path().filename().string(), source});
  std::sort(files.begin(), files.end(), [](const DumpFile& a, const DumpFile& b) { return a.name < b.name; });
  SilentOperator op;
  SurveyModel model;
  process_files(model, files, op, DateOrder::mdy);
  return grid_input(model, false, 0);
}

bool held_out(std::int32_t line) { return line % 4 == 3; }

GridInput kept_lines(const GridInput& input) {
  GridInput kept;
  std::vector<std::int32_t> renumbered(input.lines.size(), -1);
  for (std::size_t k = 0; k < input.lines.size(); ++k)
    if (!held_out(static_cast<std::int32_t>(k))) {
      renumbered[k] = static_cast<std::int32_t>(kept.lines.size());
      kept.lines.push_back(input.lines[k]);
    }
  for (GridPoint p : input.points)
    if (!held_out(p.line)) {
      p.line = renumbered[static_cast<std::size_t>(p.line)];
      kept.points.push_back(p);
    }
  return kept;
}

void write_points(const GridInput& input, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  for (const GridPoint& p : input.points) std::fprintf(f, "%.3f %.3f %.4f\n", p.x, p.y, p.value);
  std::fclose(f);
}

// GMT's grid on our nodes, from grd2xyz's "x y z" rows.
Grid read_gmt_grid(const std::string& path, const GridGeometry& geometry) {
  Grid grid{geometry, std::vector<float>(static_cast<std::size_t>(geometry.nodes()), Grid::empty)};
  std::ifstream in(path);
  double x = 0, y = 0;
  std::string z;
  while (in >> x >> y >> z) {
    const auto i = std::lround((x - geometry.west()) / geometry.cell);
    const auto j = std::lround((y - geometry.south()) / geometry.cell);
    if (i < 0 || j < 0 || i >= geometry.columns || j >= geometry.rows) continue;
    grid.values[static_cast<std::size_t>(j * geometry.columns + i)] = std::strtof(z.c_str(), nullptr);
  }
  return grid;
}

// The grid at (x, y) between its four nodes; NaN where one of them is empty.
double sample(const Grid& grid, double x, double y) {
  const GridGeometry& g = grid.geometry;
  const double u = (x - g.west()) / g.cell, v = (y - g.south()) / g.cell;
  const auto i = std::min<std::int32_t>(static_cast<std::int32_t>(std::floor(u)), g.columns - 2);
  const auto j = std::min<std::int32_t>(static_cast<std::int32_t>(std::floor(v)), g.rows - 2);
  if (i < 0 || j < 0) return NAN;
  const double fu = u - i, fv = v - j;
  return (1 - fu) * (1 - fv) * grid.at(i, j) + fu * (1 - fv) * grid.at(i + 1, j) + (1 - fu) * fv * grid.at(i, j + 1) +
         fu * fv * grid.at(i + 1, j + 1);
}

double data_range(const GridInput& input) {
  std::vector<double> v;
  for (const GridPoint& p : input.points) v.push_back(p.value);
  std::sort(v.begin(), v.end());
  return v[v.size() * 98 / 100] - v[v.size() * 2 / 100];
}

struct Difference {
  double rms = 0, max = 0;
  std::int64_t compared = 0;
};

Difference node_difference(const Grid& ours, const Grid& theirs) {
  Difference d;
  double sum = 0;
  for (std::size_t k = 0; k < ours.values.size(); ++k) {
    if (std::isnan(ours.values[k]) || std::isnan(theirs.values[k])) continue;
    const double e = static_cast<double>(ours.values[k]) - theirs.values[k];
    sum += e * e;
    d.max = std::max(d.max, std::fabs(e));
    ++d.compared;
  }
  d.rms = d.compared ? std::sqrt(sum / static_cast<double>(d.compared)) : NAN;
  return d;
}

// The grid against the readings of the lines left out.
Difference held_out_difference(const Grid& grid, const GridInput& input) {
  Difference d;
  double sum = 0;
  for (const GridPoint& p : input.points) {
    if (!held_out(p.line)) continue;
    const double s = sample(grid, p.x, p.y);
    if (std::isnan(s)) continue;
    sum += (s - p.value) * (s - p.value);
    d.max = std::max(d.max, std::fabs(s - p.value));
    ++d.compared;
  }
  d.rms = d.compared ? std::sqrt(sum / static_cast<double>(d.compared)) : NAN;
  return d;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: grid_bench points|compare SOURCE WORK [GMT_SECONDS]\n");
    return 2;
  }
  const std::string mode = argv[1], work = argv[3];
  const GridInput input = input_of(argv[2]);
  const GridInput kept = kept_lines(input);
  const GridGeometry geometry = grid_geometry(input, default_cell(input));
  if (mode == "points") {
    write_points(input, work + "/all.xyz");
    write_points(kept, work + "/kept.xyz");
    std::printf("-R%.17g/%.17g/%.17g/%.17g -I%.17g\n", geometry.west(), geometry.east(), geometry.south(),
                geometry.north(), geometry.cell);
    return 0;
  }
  const double gmt_seconds = argc > 4 ? std::atof(argv[4]) : NAN;
  const double range = data_range(input);
  const Grid gmt_all = read_gmt_grid(work + "/gmt_all.txt", geometry);
  const Grid gmt_kept = read_gmt_grid(work + "/gmt_kept.txt", geometry);
  std::printf("%zu readings on %zu lines, %d x %d nodes, cell %g, p2-p98 range %.1f\n", input.points.size(),
              input.lines.size(), geometry.columns, geometry.rows, geometry.cell, range);
  std::printf("%-22s %8s %9s %10s %10s %12s\n", "method", "time s", "vs gmt", "RMS % rng", "max % rng", "held-out RMS");
  const Difference gmt_held = held_out_difference(gmt_kept, input);
  std::printf("%-22s %8.2f %9s %10s %10s %12.3f\n", "gmt surface -T0.25", gmt_seconds, "1.00x", "-", "-", gmt_held.rms);
  for (const GridMethod method : {GridMethod::min_curvature, GridMethod::lines}) {
    GridOptions options;
    options.method = method;
    options.cell = geometry.cell;
    const auto t0 = std::chrono::steady_clock::now();
    const Grid ours = make_grid(input, options);
    const double seconds = seconds_since(t0);
    const Difference d = node_difference(ours, gmt_all);
    const Difference held = held_out_difference(make_grid(kept, options), input);
    std::printf("%-22s %8.2f %8.2fx %10.3f %10.3f %12.3f\n",
                method == GridMethod::lines ? "corvane lines" : "corvane mincurv", seconds, gmt_seconds / seconds,
                100 * d.rms / range, 100 * d.max / range, held.rms);
  }
  return 0;
}

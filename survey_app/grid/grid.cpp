#include "grid/grid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include "grid/block_median.h"
#include "grid/line_gridding.h"
#include "grid/surface.h"

namespace corvane {

namespace {

constexpr int minimum_points = 3;
constexpr double blanking_of_line_spacing = 1.5;
constexpr double contour_levels = 20;

std::string number_text(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// 1, 2 or 5 x 10^k, the largest not above `value` (value > 0).
double round_down_125(double value) {
  double decade = std::pow(10.0, std::floor(std::log10(value)));
  // log10 may land a hair to either side of a whole power of ten.
  if (decade > value * (1 + 1e-12)) decade /= 10;
  if (decade * 10 <= value * (1 + 1e-12)) decade *= 10;
  const double mantissa = value / decade;
  const double tolerance = 1e-12;
  if (mantissa >= 5 * (1 - tolerance)) return 5 * decade;
  if (mantissa >= 2 * (1 - tolerance)) return 2 * decade;
  return decade;
}

// The 1, 2 or 5 x 10^k after `value` (itself one of them).
double next_125(double value) { return round_down_125(value * 2.6); }

// 1, 2 or 5 x 10^k, the nearest to `value` in log terms (value > 0).
double nearest_125(double value) {
  const double below = round_down_125(value);
  const double above = next_125(below);
  return value * value < below * above ? below : above;
}

double median_in_place(std::vector<double>& values) {
  return values.empty() ? 0.0 : median_of(std::span<double>(values));
}

// The positive gaps between neighbouring distinct line coordinates of the orientation most
// lines have; empty with fewer than two such coordinates.
std::vector<double> line_gaps(const GridInput& input) {
  const bool along_x = lines_gridded_along_x(input);
  std::vector<double> coordinates;
  for (const GridLine& line : input.lines)
    if (line.along_x == along_x) coordinates.push_back(line.coordinate);
  std::sort(coordinates.begin(), coordinates.end());
  coordinates.erase(std::unique(coordinates.begin(), coordinates.end()), coordinates.end());
  std::vector<double> gaps;
  for (std::size_t n = 1; n < coordinates.size(); ++n) gaps.push_back(coordinates[n] - coordinates[n - 1]);
  return gaps;
}

// The positive distances between consecutive points of one line.
std::vector<double> station_gaps(const GridInput& input) {
  std::vector<double> gaps;
  for (std::size_t n = 1; n < input.points.size(); ++n) {
    const GridPoint &a = input.points[n - 1], &b = input.points[n];
    if (a.line != b.line) continue;
    const double gap = std::hypot(b.x - a.x, b.y - a.y);
    if (gap > 0) gaps.push_back(gap);
  }
  return gaps;
}

void check_points(const GridInput& input) {
  if (input.points.size() < static_cast<std::size_t>(minimum_points))
    throw GridError(std::to_string(minimum_points) + " points or more are needed to grid; " +
                    std::to_string(input.points.size()) + (input.points.size() == 1 ? " was" : " were") + " given");
  for (std::size_t n = 0; n < input.points.size(); ++n) {
    const GridPoint& p = input.points[n];
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.value))
      throw GridError("Reading " + std::to_string(n + 1) + " has no finite " +
                      (std::isfinite(p.value) ? "position" : "value") + "; it cannot be gridded");
  }
}

void check_cell(double cell) {
  if (!std::isfinite(cell) || cell <= 0)
    throw GridError("The grid cell must be a positive size; " + number_text(cell) + " was given");
}

void check_tension(double tension) {
  if (!(tension >= 0 && tension < 1))
    throw GridError("The tension must be from 0 up to (not including) 1; " + number_text(tension) + " was given");
}

// The first and last node index covering [low, high] at `cell`: a coordinate within a
// millionth of a cell of a node counts as on it.
std::pair<std::int64_t, std::int64_t> node_span(double low, double high, double cell) {
  auto snapped = [](double q) {
    const double whole = std::round(q);
    return std::abs(q - whole) <= 1e-6 ? whole : q;
  };
  return {static_cast<std::int64_t>(std::floor(snapped(low / cell))),
          static_cast<std::int64_t>(std::ceil(snapped(high / cell)))};
}

}  // namespace

double median_line_spacing(const GridInput& input) {
  std::vector<double> gaps = line_gaps(input);
  if (gaps.empty()) gaps = station_gaps(input);
  return median_in_place(gaps);
}

double default_cell(const GridInput& input) {
  std::vector<double> gaps = line_gaps(input);
  // A quarter of the line spacing rounded down, so that no line gap spans fewer than 4 cells.
  if (!gaps.empty()) return round_down_125(median_in_place(gaps) / 4);
  gaps = station_gaps(input);
  return gaps.empty() ? 0.0 : round_down_125(median_in_place(gaps));
}

GridGeometry grid_geometry(const GridInput& input, double cell) {
  check_cell(cell);
  double west = input.points.front().x, east = west, south = input.points.front().y, north = south;
  for (const GridPoint& p : input.points) {
    west = std::min(west, p.x), east = std::max(east, p.x);
    south = std::min(south, p.y), north = std::max(north, p.y);
  }
  auto nodes_at = [&](double c) {
    const auto [i0, i1] = node_span(west, east, c);
    const auto [j0, j1] = node_span(south, north, c);
    return static_cast<double>(i1 - i0 + 1) * static_cast<double>(j1 - j0 + 1);
  };
  if (nodes_at(cell) > static_cast<double>(max_grid_nodes)) {
    double fitting = round_down_125(cell);
    while (fitting <= cell || nodes_at(fitting) > static_cast<double>(max_grid_nodes)) fitting = next_125(fitting);
    throw GridError("A cell of " + number_text(cell) + " makes a grid of " + number_text(nodes_at(cell)) +
                    " nodes, more than the " + std::to_string(max_grid_nodes) + " a grid may have; a cell of " +
                    number_text(fitting) + " or more would fit");
  }
  GridGeometry geometry;
  geometry.cell = cell;
  const auto [i0, i1] = node_span(west, east, cell);
  const auto [j0, j1] = node_span(south, north, cell);
  geometry.i0 = i0;
  geometry.j0 = j0;
  geometry.columns = static_cast<std::int32_t>(i1 - i0 + 1);
  geometry.rows = static_cast<std::int32_t>(j1 - j0 + 1);
  return geometry;
}

Grid make_grid(const GridInput& input, const GridOptions& options) {
  check_points(input);
  check_tension(options.tension);
  const double cell = options.cell == 0 ? default_cell(input) : options.cell;
  if (options.cell == 0 && !(cell > 0))
    throw GridError("No grid cell can be worked out: the readings have no spacing; give a cell size");
  Grid grid;
  grid.geometry = grid_geometry(input, cell);
  if (options.method == GridMethod::lines) {
    grid = grid_along_lines(input, grid.geometry, options.workers);
  } else {
    const std::vector<BlockValue> blocks = block_median(input.points, grid.geometry);
    grid.values = surface_values(blocks, grid.geometry, options.tension, options.workers);
  }
  const double blanking = blanking_distance(input, options);
  if (blanking > 0) blank_far_nodes(grid, input, blanking);
  return grid;
}

double blanking_distance(const GridInput& input, const GridOptions& options) {
  if (options.blanking >= 0) return options.blanking;
  return blanking_of_line_spacing * median_line_spacing(input);
}

namespace {

constexpr double far_away = 1e30;

// Squared distances (in cells) from each node to the nearest node holding a point: exact
// for those seeds, by Felzenszwalb & Huttenlocher's lower envelope of parabolas, first down
// each column, then along each row.
std::vector<double> seed_distances(const std::vector<char>& seeded, int columns, int rows) {
  std::vector<double> d(seeded.size());
  for (int i = 0; i < columns; ++i) {
    double run = far_away;
    for (int j = 0; j < rows; ++j) {
      const std::size_t k = static_cast<std::size_t>(j) * columns + i;
      run = seeded[k] ? 0 : run + 1;
      d[k] = run;
    }
    run = far_away;
    for (int j = rows - 1; j >= 0; --j) {
      const std::size_t k = static_cast<std::size_t>(j) * columns + i;
      run = seeded[k] ? 0 : run + 1;
      d[k] = std::min(d[k], run);
      d[k] = d[k] >= far_away / 2 ? far_away : d[k] * d[k];
    }
  }
  std::vector<double> f(static_cast<std::size_t>(columns)), boundary(static_cast<std::size_t>(columns) + 1);
  std::vector<int> apex(static_cast<std::size_t>(columns));
  for (int j = 0; j < rows; ++j) {
    double* row = d.data() + static_cast<std::size_t>(j) * columns;
    std::copy(row, row + columns, f.begin());
    int hull = 0;
    apex[0] = 0;
    boundary[0] = -std::numeric_limits<double>::infinity();
    boundary[1] = std::numeric_limits<double>::infinity();
    for (int q = 1; q < columns; ++q) {
      auto meeting = [&](int p) { return ((f[q] + double(q) * q) - (f[p] + double(p) * p)) / (2.0 * (q - p)); };
      double s = meeting(apex[static_cast<std::size_t>(hull)]);
      while (s <= boundary[static_cast<std::size_t>(hull)]) {
        --hull;
        s = meeting(apex[static_cast<std::size_t>(hull)]);
      }
      ++hull;
      apex[static_cast<std::size_t>(hull)] = q;
      boundary[static_cast<std::size_t>(hull)] = s;
      boundary[static_cast<std::size_t>(hull) + 1] = std::numeric_limits<double>::infinity();
    }
    for (int q = 0, h = 0; q < columns; ++q) {
      while (boundary[static_cast<std::size_t>(h) + 1] < q) ++h;
      const int p = apex[static_cast<std::size_t>(h)];
      row[q] = double(q - p) * (q - p) + f[static_cast<std::size_t>(p)];
    }
  }
  return d;
}

// Whether a point lies within `distance` of node (i, j), looking at the points of the nodes
// within `reach` nodes of it.
bool point_within(const Grid& grid, const GridInput& input, const PointsByNode& sorted, int i, int j, double distance,
                  int reach) {
  const GridGeometry& g = grid.geometry;
  const double x = g.x(i), y = g.y(j), limit = distance * distance;
  for (int jj = std::max(0, j - reach); jj <= std::min(g.rows - 1, j + reach); ++jj)
    for (int ii = std::max(0, i - reach); ii <= std::min(g.columns - 1, i + reach); ++ii) {
      const std::size_t n = static_cast<std::size_t>(jj) * g.columns + ii;
      for (std::uint32_t k = sorted.first[n]; k < sorted.first[n + 1]; ++k) {
        const GridPoint& p = input.points[sorted.order[k]];
        if ((x - p.x) * (x - p.x) + (y - p.y) * (y - p.y) <= limit) return true;
      }
    }
  return false;
}

}  // namespace

// The exact distance lies within `slack` (the farthest any point is from its nearest node)
// of the distance to the nearest node holding a point, so only nodes whose seed distance is
// that close to `distance` are decided by the points themselves.
void blank_far_nodes(Grid& grid, const GridInput& input, double distance) {
  const GridGeometry& g = grid.geometry;
  if (g.nodes() == 0) return;
  const PointsByNode sorted = points_by_node(input.points, g);
  std::vector<char> seeded(static_cast<std::size_t>(g.nodes()), 0);
  double slack = 0;
  for (std::size_t n = 0; n + 1 < sorted.first.size(); ++n) {
    if (sorted.first[n] == sorted.first[n + 1]) continue;
    seeded[n] = 1;
    const double x = g.x(static_cast<int>(n % g.columns)), y = g.y(static_cast<int>(n / g.columns));
    for (std::uint32_t k = sorted.first[n]; k < sorted.first[n + 1]; ++k) {
      const GridPoint& p = input.points[sorted.order[k]];
      slack = std::max(slack, std::hypot(p.x - x, p.y - y) / g.cell);
    }
  }
  const std::vector<double> d2 = seed_distances(seeded, g.columns, g.rows);
  const double reach_cells = distance / g.cell;
  const double margin = slack + 1e-9 * (1 + reach_cells);
  const int reach = static_cast<int>(std::ceil(reach_cells + slack)) + 1;
  for (int j = 0; j < g.rows; ++j)
    for (int i = 0; i < g.columns; ++i) {
      const std::size_t k = static_cast<std::size_t>(j) * g.columns + i;
      const double seed = std::sqrt(d2[k]);
      if (seed + margin < reach_cells) continue;
      if (seed - margin > reach_cells || !point_within(grid, input, sorted, i, j, distance, reach))
        grid.values[k] = Grid::empty;
    }
}

double contour_interval(const Grid& grid) {
  std::vector<double> values;
  for (float v : grid.values)
    if (std::isfinite(v)) values.push_back(v);
  if (values.size() < 2) return 0;
  auto percentile = [&](double fraction) {
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(std::floor(fraction * (values.size() - 1)));
    std::nth_element(values.begin(), at, values.end());
    return *at;
  };
  double range = percentile(0.98) - percentile(0.02);
  if (!(range > 0))
    range = *std::max_element(values.begin(), values.end()) - *std::min_element(values.begin(), values.end());
  return range > 0 ? nearest_125(range / contour_levels) : 0.0;
}

}  // namespace corvane

#include "grid/line_gridding.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <numeric>
#include <thread>
#include <vector>

#include "util/ordered_pipeline.h"

namespace corvane {

namespace {

// Knot positions and node positions closer than this, in cells, are the same.
constexpr double same_place = 1e-6;

// A curve through knots t[0..n) (rising) with values v: cubic Hermite pieces whose slopes
// are modified Akima's (the weights keep a flat run flat, and a straight line is
// reproduced exactly). Two knots give the straight line, one a single value.
struct Curve {
  std::vector<double> t, v, d;
  std::vector<double> m;  // segment slopes, two extrapolated ones at each end
  std::size_t n = 0;

  explicit Curve(std::size_t capacity) : t(capacity), v(capacity), d(capacity), m(capacity + 3) {}

  void fit_akima_slopes() {
    if (n < 2) return;
    if (n == 2) {
      d[0] = d[1] = (v[1] - v[0]) / (t[1] - t[0]);
      return;
    }
    for (std::size_t k = 0; k + 1 < n; ++k) m[k + 2] = (v[k + 1] - v[k]) / (t[k + 1] - t[k]);
    m[1] = 2 * m[2] - m[3];
    m[0] = 2 * m[1] - m[2];
    m[n + 1] = 2 * m[n] - m[n - 1];
    m[n + 2] = 2 * m[n + 1] - m[n];
    for (std::size_t i = 0; i < n; ++i) {
      const double w1 = std::fabs(m[i + 3] - m[i + 2]) + std::fabs(m[i + 3] + m[i + 2]) / 2;
      const double w2 = std::fabs(m[i + 1] - m[i]) + std::fabs(m[i + 1] + m[i]) / 2;
      d[i] = w1 + w2 > 0 ? (w1 * m[i + 1] + w2 * m[i + 2]) / (w1 + w2) : 0.0;
    }
  }

  // The value at `x`, within [t[0], t[n-1]] (clamped to it); `k` is the piece to start the
  // search from, kept between calls with rising x.
  double at(double x, std::size_t& k) const {
    if (n == 1) return v[0];
    x = std::clamp(x, t[0], t[n - 1]);
    while (k + 2 < n && x > t[k + 1]) ++k;
    const double h = t[k + 1] - t[k];
    const double s = (x - t[k]) / h;
    const double s2 = s * s, s3 = s2 * s;
    return (2 * s3 - 3 * s2 + 1) * v[k] + (s3 - 2 * s2 + s) * h * d[k] + (-2 * s3 + 3 * s2) * v[k + 1] +
           (s3 - s2) * h * d[k + 1];
  }
};

// The nodes' indices along one axis of the grid.
struct Axis {
  std::int64_t origin = 0;  // index of node 0 in whole cells from 0
  std::int32_t count = 0;
  double cell = 0;

  double at(std::int32_t i) const { return static_cast<double>(origin + i) * cell; }
  // The nodes within [lo, hi], a node a hair outside counting as on it; first > last when none.
  void nodes_within(double lo, double hi, std::int32_t& first, std::int32_t& last) const {
    const double a = std::ceil(lo / cell - static_cast<double>(origin) - same_place);
    const double b = std::floor(hi / cell - static_cast<double>(origin) + same_place);
    if (!(a <= b && a < static_cast<double>(count) && b >= 0)) {
      first = 1, last = 0;
      return;
    }
    first = static_cast<std::int32_t>(std::max(a, 0.0));
    last = static_cast<std::int32_t>(std::min(b, static_cast<double>(count) - 1));
  }
};

// Runs task(index, worker) for every index below `count`, on up to `workers` threads, the
// caller's among them. The tasks must not throw.
template <class Task>
void in_parallel(std::size_t count, unsigned workers, Task&& task) {
  std::atomic<std::size_t> next{0};
  const auto work = [&](unsigned worker) {
    for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) task(i, worker);
  };
  std::vector<std::thread> threads;
  try {
    for (unsigned w = 1; w < workers && w < count; ++w) threads.emplace_back(work, w);
  } catch (const std::exception&) {
    // No more threads to be had: those running and the caller's do the work.
  }
  work(0);
  for (std::thread& thread : threads) thread.join();
}

}  // namespace

bool lines_gridded_along_x(const GridInput& input) {
  std::vector<std::int64_t> points(input.lines.size(), 0);
  for (const GridPoint& p : input.points)
    if (p.line >= 0 && static_cast<std::size_t>(p.line) < points.size()) ++points[static_cast<std::size_t>(p.line)];
  std::int64_t lines[2] = {0, 0}, readings[2] = {0, 0};
  for (std::size_t l = 0; l < input.lines.size(); ++l) {
    if (points[l] == 0) continue;
    ++lines[input.lines[l].along_x];
    readings[input.lines[l].along_x] += points[l];
  }
  if (lines[1] != lines[0]) return lines[1] > lines[0];
  return readings[1] > readings[0];
}

namespace {

void check_input(const GridInput& input, const GridGeometry& geometry) {
  if (!(geometry.cell > 0) || !std::isfinite(geometry.cell))
    throw GridError("the grid cell must be a positive size, not " + std::to_string(geometry.cell));
  for (const GridLine& line : input.lines)
    if (!std::isfinite(line.coordinate)) throw GridError("a line to grid has no finite coordinate");
  for (const GridPoint& p : input.points) {
    if (p.line < 0 || static_cast<std::size_t>(p.line) >= input.lines.size())
      throw GridError("a point to grid names line " + std::to_string(p.line) + " of " +
                      std::to_string(input.lines.size()));
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) throw GridError("a point to grid has no finite position");
  }
}

// The lines gridded, those at one coordinate merged: line m's points are
// order[start[m] .. start[m + 1]), its crossings of the node columns (rows) first[m] ..
// last[m], their values at along[offset[m] ...].
struct MergedLines {
  std::vector<double> coordinate;
  std::vector<std::size_t> start, order;
  std::vector<std::int32_t> first, last;
  std::vector<std::size_t> offset;
  std::vector<double> along;
  std::size_t most_points = 0;
  std::size_t count() const { return coordinate.size(); }
};

MergedLines merge_lines(const GridInput& input, bool along_x, double cell) {
  MergedLines merged;
  std::vector<std::size_t> kept;  // the GridLines of the orientation, by coordinate
  for (std::size_t l = 0; l < input.lines.size(); ++l)
    if (input.lines[l].along_x == along_x) kept.push_back(l);
  std::sort(kept.begin(), kept.end(),
            [&](std::size_t a, std::size_t b) { return input.lines[a].coordinate < input.lines[b].coordinate; });
  std::vector<std::ptrdiff_t> merged_of(input.lines.size(), -1);
  for (const std::size_t l : kept) {
    const double c = input.lines[l].coordinate;
    if (merged.coordinate.empty() || c - merged.coordinate.back() > same_place * cell) merged.coordinate.push_back(c);
    merged_of[l] = static_cast<std::ptrdiff_t>(merged.coordinate.size()) - 1;
  }
  // The points bucketed by merged line, in input order within each.
  merged.start.assign(merged.count() + 1, 0);
  for (const GridPoint& p : input.points)
    if (const auto m = merged_of[static_cast<std::size_t>(p.line)]; m >= 0)
      ++merged.start[static_cast<std::size_t>(m) + 1];
  std::partial_sum(merged.start.begin(), merged.start.end(), merged.start.begin());
  merged.order.resize(merged.start.back());
  std::vector<std::size_t> fill(merged.start.begin(), merged.start.end() - 1);
  for (std::size_t i = 0; i < input.points.size(); ++i)
    if (const auto m = merged_of[static_cast<std::size_t>(input.points[i].line)]; m >= 0)
      merged.order[fill[static_cast<std::size_t>(m)]++] = i;
  for (std::size_t m = 0; m < merged.count(); ++m)
    merged.most_points = std::max(merged.most_points, merged.start[m + 1] - merged.start[m]);
  return merged;
}

// Where each merged line crosses the node columns (rows) within its extent.
void lay_crossings(MergedLines& merged, const GridInput& input, bool along_x, const Axis& along) {
  merged.first.resize(merged.count());
  merged.last.resize(merged.count());
  merged.offset.resize(merged.count() + 1);
  merged.offset[0] = 0;
  for (std::size_t m = 0; m < merged.count(); ++m) {
    double lo = INFINITY, hi = -INFINITY;
    for (std::size_t k = merged.start[m]; k < merged.start[m + 1]; ++k) {
      const GridPoint& p = input.points[merged.order[k]];
      lo = std::min(lo, along_x ? p.x : p.y);
      hi = std::max(hi, along_x ? p.x : p.y);
    }
    along.nodes_within(lo, hi, merged.first[m], merged.last[m]);
    const std::int32_t crossed = std::max(merged.last[m] - merged.first[m] + 1, 0);
    merged.offset[m + 1] = merged.offset[m] + static_cast<std::size_t>(crossed);
  }
  merged.along.resize(merged.offset.back());
}

// The values of merged line m at its crossings: its points in order along it, readings at
// one place (a line walked twice) averaged.
void interpolate_along(MergedLines& merged, std::size_t m, const GridInput& input, bool along_x, const Axis& along,
                       Curve& curve) {
  if (merged.first[m] > merged.last[m]) return;
  const auto position = [&](std::size_t i) { return along_x ? input.points[i].x : input.points[i].y; };
  const auto begin = merged.order.begin() + static_cast<std::ptrdiff_t>(merged.start[m]);
  const auto end = merged.order.begin() + static_cast<std::ptrdiff_t>(merged.start[m + 1]);
  std::sort(begin, end, [&](std::size_t a, std::size_t b) {
    return position(a) < position(b) || (position(a) == position(b) && a < b);
  });
  curve.n = 0;
  std::size_t same = 0;  // readings averaged into the last knot
  for (auto it = begin; it != end; ++it) {
    const double t = position(*it);
    const double v = input.points[*it].value;
    if (curve.n > 0 && t - curve.t[curve.n - 1] <= same_place * along.cell) {
      ++same;
      curve.v[curve.n - 1] += (v - curve.v[curve.n - 1]) / static_cast<double>(same);
      continue;
    }
    curve.t[curve.n] = t;
    curve.v[curve.n] = v;
    ++curve.n;
    same = 1;
  }
  curve.fit_akima_slopes();
  std::size_t k = 0;
  double* out = merged.along.data() + merged.offset[m];
  for (std::int32_t a = merged.first[m]; a <= merged.last[m]; ++a) *out++ = curve.at(along.at(a), k);
}

// The nodes of node column (row) a: the crossings of the lines there, interpolated across.
void interpolate_across(const MergedLines& merged, std::int32_t a, const Axis& across, Curve& curve, float* values,
                        std::size_t along_step, std::size_t across_step) {
  curve.n = 0;
  for (std::size_t m = 0; m < merged.count(); ++m) {
    if (a < merged.first[m] || a > merged.last[m]) continue;
    curve.t[curve.n] = merged.coordinate[m];
    curve.v[curve.n] = merged.along[merged.offset[m] + static_cast<std::size_t>(a - merged.first[m])];
    ++curve.n;
  }
  if (curve.n == 0) return;
  std::int32_t first = 0, last = 0;
  across.nodes_within(curve.t[0], curve.t[curve.n - 1], first, last);
  curve.fit_akima_slopes();
  std::size_t k = 0;
  float* column = values + static_cast<std::size_t>(a) * along_step;
  for (std::int32_t b = first; b <= last; ++b)
    column[static_cast<std::size_t>(b) * across_step] = static_cast<float>(curve.at(across.at(b), k));
}

}  // namespace

Grid grid_along_lines(const GridInput& input, const GridGeometry& geometry, unsigned workers) {
  check_input(input, geometry);
  Grid grid;
  grid.geometry = geometry;
  grid.values.assign(static_cast<std::size_t>(std::max<std::int64_t>(geometry.nodes(), 0)), Grid::empty);
  if (grid.values.empty()) return grid;
  // Lines of the other orientation are left out: a node column would cross them along
  // their length, where the first pass gives no single value.
  const bool along_x = lines_gridded_along_x(input);
  const Axis columns{geometry.i0, geometry.columns, geometry.cell};
  const Axis rows{geometry.j0, geometry.rows, geometry.cell};
  const Axis& along = along_x ? columns : rows;
  const Axis& across = along_x ? rows : columns;
  const std::size_t along_step = along_x ? 1 : static_cast<std::size_t>(geometry.columns);
  const std::size_t across_step = along_x ? static_cast<std::size_t>(geometry.columns) : 1;

  MergedLines merged = merge_lines(input, along_x, geometry.cell);
  lay_crossings(merged, input, along_x, along);
  if (workers == 0) workers = default_jobs();
  workers = std::max(workers, 1u);
  std::vector<Curve> curves;
  curves.reserve(workers);
  for (unsigned w = 0; w < workers; ++w) curves.emplace_back(std::max(merged.most_points, merged.count()));

  in_parallel(merged.count(), workers, [&](std::size_t m, unsigned worker) {
    interpolate_along(merged, m, input, along_x, along, curves[worker]);
  });
  // Runs of neighbouring columns keep a thread's writes off the others' cache lines.
  constexpr std::int32_t run = 16;
  const auto runs = static_cast<std::size_t>((along.count + run - 1) / run);
  in_parallel(runs, workers, [&](std::size_t r, unsigned worker) {
    const auto first = static_cast<std::int32_t>(r) * run;
    for (std::int32_t a = first; a < std::min(first + run, along.count); ++a)
      interpolate_across(merged, a, across, curves[worker], grid.values.data(), along_step, across_step);
  });
  return grid;
}

}  // namespace corvane

#include "grid/surface.h"

#include <algorithm>
#include <barrier>
#include <cmath>
#include <cstdint>
#include <latch>
#include <numeric>
#include <optional>
#include <system_error>
#include <thread>

#include "util/ordered_pipeline.h"

namespace corvane {

namespace {

// `gmt surface` defaults: its convergence limit (-C), iterations at the final grid (-N) and
// over-relaxation (-Z).
constexpr double convergence_of_rms = 1e-4;
constexpr long final_iterations = 500;
constexpr double over_relaxation = 1.4;
// Below this many nodes a level is swept on one thread: the barriers would cost more.
constexpr std::int64_t nodes_worth_threads = 65536;
// A thread's band of rows: its last two rows wait for a second phase, so a band needs four.
constexpr int band_rows_minimum = 4;

// A datum in node units of the final grid, its value about the plane over the rms.
struct Sample {
  double u = 0;
  double v = 0;
  double z = 0;
};

struct Plane {
  double a = 0, b = 0, c = 0;
  double at(double u, double v) const { return a + b * u + c * v; }
};

// The least-squares plane through the samples; along one axis only when they lie on a line
// parallel to the other, their mean when they lie on any other line or at one place.
Plane best_fit_plane(std::span<const Sample> samples) {
  const double n = static_cast<double>(samples.size());
  double mu = 0, mv = 0, mz = 0;
  for (const Sample& s : samples) mu += s.u, mv += s.v, mz += s.z;
  mu /= n, mv /= n, mz /= n;
  double suu = 0, suv = 0, svv = 0, suz = 0, svz = 0;
  for (const Sample& s : samples) {
    const double du = s.u - mu, dv = s.v - mv, dz = s.z - mz;
    suu += du * du, suv += du * dv, svv += dv * dv, suz += du * dz, svz += dv * dz;
  }
  Plane plane;
  const double det = suu * svv - suv * suv;
  if (det > 1e-9 * suu * svv && det > 0) {
    plane.b = (suz * svv - svz * suv) / det;
    plane.c = (svz * suu - suz * suv) / det;
  } else if (suu > 0 && svv == 0) {
    plane.b = suz / suu;
  } else if (svv > 0 && suu == 0) {
    plane.c = svz / svv;
  }
  plane.a = mz - plane.b * mu - plane.c * mv;
  return plane;
}

// The node spacings of the levels, coarsest first: the greatest common factor of the
// intervals, then divided by its prime factors, largest first, down to 1.
std::vector<int> level_strides(int columns, int rows) {
  int common = std::gcd(columns - 1, rows - 1);
  if (common == 0) common = 1;
  std::vector<int> factors;
  for (int rest = common, f = 2; rest > 1;) {
    if (rest % f == 0) {
      factors.push_back(f);
      rest /= f;
    } else {
      f = f * f > rest ? rest : f + 1;
    }
  }
  std::vector<int> strides{common};
  for (auto f = factors.rbegin(); f != factors.rend(); ++f) strides.push_back(strides.back() / *f);
  return strides;
}

// Nodes added around the grid while solving, so that the intervals of both sides share a
// factor of 2s (and at most one 3) big enough to start from a coarse grid of at most
// `coarsest_intervals` intervals a side; the fewest nodes, then the biggest factor.
struct Padding {
  int west = 0, south = 0, columns = 0, rows = 0;
};
constexpr int coarsest_intervals = 32;

// Levels then halve the spacing, but for one step of a third.
bool smooth_number(int n) {
  while (n % 2 == 0) n /= 2;
  return n == 1 || n == 3;
}

Padding padding_for(int columns, int rows) {
  const int wide = std::max(columns, rows) - 1;
  Padding best{0, 0, columns, rows};
  std::int64_t best_nodes = -1;
  int best_factor = 0;
  for (int factor = 1; factor <= std::max(1, wide); ++factor) {
    if (!smooth_number(factor) || static_cast<std::int64_t>(factor) * coarsest_intervals < wide) continue;
    const int c = (columns - 1 + factor - 1) / factor * factor + 1;
    const int r = (rows - 1 + factor - 1) / factor * factor + 1;
    const std::int64_t nodes = static_cast<std::int64_t>(c) * r;
    if (best_nodes < 0 || nodes < best_nodes || (nodes == best_nodes && factor > best_factor)) {
      best = {(c - columns) / 2, (r - rows) / 2, c, r};
      best_nodes = nodes;
      best_factor = factor;
    }
  }
  return best;
}

// The coefficients of the node update away from data (the 13-point difference form of the
// equation, solved for the centre) and of the edge condition.
struct Stencil {
  double near = 0, diagonal = 0, far = 0, inverse_centre = 0;
  double edge_self = 0, edge_inner = 0;

  explicit Stencil(double t) {
    near = 8 * (1 - t) + t;
    diagonal = 2 * (1 - t);
    far = 1 - t;
    inverse_centre = 1 / (20 * (1 - t) + 4 * t);
    edge_self = 2 * (1 - t) / (1 - t / 2);
    edge_inner = (1.5 * t - 1) / (1 - t / 2);
  }
};

// A datum held by a node: its offset from the node in the level's node units (each within
// half a node) and 1 / (1 - xi^2 - eta^2).
struct Constraint {
  double z = 0, xi = 0, eta = 0, inverse = 1;
};

// One level's nodes, with a border of two nodes on every side for the edge conditions.
struct Level {
  int stride = 1, columns = 0, rows = 0;
  std::ptrdiff_t width = 0;
  std::vector<double> z;
  std::vector<std::int32_t> constraint_at;
  std::vector<Constraint> constraints;
  // The nodes of the grid asked for (the others pad it): only their changes count.
  int kept_west = 0, kept_east = 0, kept_south = 0, kept_north = 0;

  Level(int stride_, int final_columns, int final_rows)
      : stride(stride_), columns((final_columns - 1) / stride_ + 1), rows((final_rows - 1) / stride_ + 1) {
    width = columns + 4;
    z.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows + 4), 0.0);
  }
  std::ptrdiff_t index(int i, int j) const { return (j + 2) * width + i + 2; }
  double at(int i, int j) const { return z[static_cast<std::size_t>(index(i, j))]; }
};

// Each node of the level takes the datum nearest to it among those within its cell.
void constrain(Level& level, std::span<const Sample> samples) {
  level.constraint_at.assign(level.z.size(), -1);
  level.constraints.clear();
  const double scale = 1.0 / level.stride;
  for (const Sample& s : samples) {
    const double u = s.u * scale, v = s.v * scale;
    const int i = std::clamp(static_cast<int>(std::floor(u + 0.5)), 0, level.columns - 1);
    const int j = std::clamp(static_cast<int>(std::floor(v + 0.5)), 0, level.rows - 1);
    const Constraint c{s.z, u - i, v - j, 1 / (1 - (u - i) * (u - i) - (v - j) * (v - j))};
    std::int32_t& slot = level.constraint_at[static_cast<std::size_t>(level.index(i, j))];
    if (slot < 0) {
      slot = static_cast<std::int32_t>(level.constraints.size());
      level.constraints.push_back(c);
    } else if (Constraint& held = level.constraints[static_cast<std::size_t>(slot)];
               c.xi * c.xi + c.eta * c.eta < held.xi * held.xi + held.eta * held.eta) {
      held = c;
    }
  }
}

// The border nodes from the edge and corner conditions and the current edge values.
void set_border(Level& level, const Stencil& s) {
  double* z = level.z.data();
  const std::ptrdiff_t w = level.width;
  struct Edge {
    std::ptrdiff_t first, along, in;
    int count;
  };
  const Edge edges[] = {{level.index(0, 0), w, 1, level.rows},
                        {level.index(level.columns - 1, 0), w, -1, level.rows},
                        {level.index(0, 0), 1, w, level.columns},
                        {level.index(0, level.rows - 1), 1, -w, level.columns}};
  for (const Edge& e : edges)
    for (int n = 0; n < e.count; ++n) {
      const std::ptrdiff_t k = e.first + n * e.along;
      z[k - e.in] = s.edge_self * z[k] + s.edge_inner * z[k + e.in];
    }
  const std::ptrdiff_t east = level.columns - 1, north = level.rows - 1;
  const std::ptrdiff_t corners[][3] = {{level.index(0, 0), 1, w},
                                       {level.index(static_cast<int>(east), 0), -1, w},
                                       {level.index(0, static_cast<int>(north)), 1, -w},
                                       {level.index(static_cast<int>(east), static_cast<int>(north)), -1, -w}};
  for (const auto& [k, a, b] : corners) z[k - a - b] = z[k - a + b] + z[k + a - b] - z[k + a + b];
  for (const Edge& e : edges)
    for (int n = 0; n < e.count; ++n) {
      const std::ptrdiff_t k = e.first + n * e.along, in = e.in, al = e.along;
      z[k - 2 * in] = z[k + 2 * in] + z[k + in + al] + z[k + in - al] - 4 * z[k + in] - z[k - in + al] -
                      z[k - in - al] + 4 * z[k - in];
    }
}

// The value that puts the datum on the node's local quadratic (second-order Taylor series
// about the node, derivatives by central differences).
double taylor_target(const Constraint& c, const double* z, std::ptrdiff_t k, std::ptrdiff_t w) {
  const double east = z[k + 1], west = z[k - 1], north = z[k + w], south = z[k - w];
  const double twist = z[k + w + 1] - z[k + w - 1] - z[k - w + 1] + z[k - w - 1];
  const double off_node = 0.5 * c.xi * (east - west) + 0.5 * c.eta * (north - south) +
                          0.5 * c.xi * c.xi * (east + west) + 0.5 * c.eta * c.eta * (north + south) +
                          0.25 * c.xi * c.eta * twist;
  return (c.z - off_node) * c.inverse;
}

// One colour of one row (nodes with i + j of that parity); the largest change made.
double sweep_row(Level& level, const Stencil& s, int j, int colour) {
  double* z = level.z.data();
  const std::int32_t* constraint_at = level.constraint_at.data();
  const std::ptrdiff_t w = level.width;
  double largest = 0;
  const bool kept_row = j >= level.kept_south && j <= level.kept_north;
  for (int i = (j + colour) & 1; i < level.columns; i += 2) {
    const std::ptrdiff_t k = level.index(i, j);
    const double old = z[k];
    double target;
    double omega = over_relaxation;
    if (constraint_at[k] < 0) {
      const double near = z[k - 1] + z[k + 1] + z[k - w] + z[k + w];
      const double diagonal = z[k - w - 1] + z[k - w + 1] + z[k + w - 1] + z[k + w + 1];
      const double far = z[k - 2] + z[k + 2] + z[k - 2 * w] + z[k + 2 * w];
      target = (s.near * near - s.diagonal * diagonal - s.far * far) * s.inverse_centre;
    } else {
      target = taylor_target(level.constraints[static_cast<std::size_t>(constraint_at[k])], z, k, w);
      omega = 1.0;  // over-relaxed, nodes of neighbouring data feed each other and diverge
    }
    const double next = old + omega * (target - old);
    z[k] = next;
    if (kept_row && i >= level.kept_west && i <= level.kept_east) largest = std::max(largest, std::abs(next - old));
  }
  return largest;
}

double sweep_rows(Level& level, const Stencil& s, int first, int end, int colour) {
  double largest = 0;
  for (int j = first; j < end; ++j) largest = std::max(largest, sweep_row(level, s, j, colour));
  return largest;
}

// Sweeps until no node changes by `limit` or more, or `iterations` sweeps. Each thread owns a
// band of rows; within a colour its last two rows are swept after the others' bands, since
// the rows two above and below a node are read.
void relax(Level& level, const Stencil& s, double limit, long iterations, unsigned workers) {
  set_border(level, s);
  const std::int64_t nodes = static_cast<std::int64_t>(level.columns) * level.rows;
  const int threads = nodes < nodes_worth_threads
                          ? 1
                          : std::max(1, std::min(static_cast<int>(workers), level.rows / band_rows_minimum));
  if (threads == 1) {
    for (long n = 0; n < iterations; ++n) {
      double largest = 0;
      for (int colour = 0; colour < 2; ++colour) {
        largest = std::max(largest, sweep_rows(level, s, 0, level.rows, colour));
        set_border(level, s);
      }
      if (largest < limit) return;
    }
    return;
  }
  // The team is as big as the threads to be had; bands are dealt once it is known.
  std::vector<double> largest(static_cast<std::size_t>(threads), 0.0);
  long done = 0;
  int phase = 0, team_size = 1;
  bool stop = false;
  auto between_phases = [&]() noexcept {
    phase = (phase + 1) % 4;
    if (phase % 2 == 0) set_border(level, s);
    if (phase != 0) return;
    const double most = *std::max_element(largest.begin(), largest.end());
    std::fill(largest.begin(), largest.end(), 0.0);
    stop = most < limit || ++done >= iterations;
  };
  std::optional<std::barrier<decltype(between_phases)>> sync;
  std::latch go(1);
  auto work = [&](int t) {
    go.wait();
    const int first = level.rows * t / team_size, end = level.rows * (t + 1) / team_size;
    double& mine = largest[static_cast<std::size_t>(t)];
    while (true) {
      for (int colour = 0; colour < 2; ++colour) {
        mine = std::max(mine, sweep_rows(level, s, first, end - 2, colour));
        sync->arrive_and_wait();
        mine = std::max(mine, sweep_rows(level, s, end - 2, end, colour));
        sync->arrive_and_wait();
      }
      if (stop) return;
    }
  };
  std::vector<std::jthread> team;
  try {
    for (int t = 1; t < threads; ++t) team.emplace_back(work, t);
  } catch (const std::system_error&) {
  }
  team_size = static_cast<int>(team.size()) + 1;
  sync.emplace(team_size, between_phases);
  go.count_down();
  work(0);
}

// The next finer level, its nodes bilinear between those of `coarse`.
Level refine(const Level& coarse, int stride, int final_columns, int final_rows) {
  Level fine(stride, final_columns, final_rows);
  const int ratio = coarse.stride / stride;
  for (int j = 0; j < fine.rows; ++j) {
    const int cj = j / ratio;
    const double wy = static_cast<double>(j % ratio) / ratio;
    for (int i = 0; i < fine.columns; ++i) {
      const int ci = i / ratio;
      const double wx = static_cast<double>(i % ratio) / ratio;
      double value = (1 - wx) * (1 - wy) * coarse.at(ci, cj);
      if (wx > 0) value += wx * (1 - wy) * coarse.at(ci + 1, cj);
      if (wy > 0) value += (1 - wx) * wy * coarse.at(ci, cj + 1);
      if (wx > 0 && wy > 0) value += wx * wy * coarse.at(ci + 1, cj + 1);
      fine.z[static_cast<std::size_t>(fine.index(i, j))] = value;
    }
  }
  return fine;
}

}  // namespace

std::vector<float> surface_values(std::span<const BlockValue> data, const GridGeometry& geometry, double tension,
                                  unsigned workers) {
  if (workers == 0) workers = default_jobs();
  const Padding pad = padding_for(geometry.columns, geometry.rows);
  std::vector<Sample> samples;
  samples.reserve(data.size());
  for (const BlockValue& b : data)
    samples.push_back({(b.x - geometry.west()) / geometry.cell + pad.west,
                       (b.y - geometry.south()) / geometry.cell + pad.south, b.value});
  const Plane plane = best_fit_plane(samples);
  double sum_squares = 0;
  for (Sample& s : samples) {
    s.z -= plane.at(s.u, s.v);
    sum_squares += s.z * s.z;
  }
  const double rms = std::sqrt(sum_squares / static_cast<double>(samples.size()));
  std::vector<float> values(static_cast<std::size_t>(geometry.nodes()));
  if (!(rms > 0)) {
    for (int j = 0; j < geometry.rows; ++j)
      for (int i = 0; i < geometry.columns; ++i)
        values[static_cast<std::size_t>(j) * geometry.columns + i] =
            static_cast<float>(plane.at(i + pad.west, j + pad.south));
    return values;
  }
  for (Sample& s : samples) s.z /= rms;

  const Stencil stencil(tension);
  const std::vector<int> strides = level_strides(pad.columns, pad.rows);
  Level level(strides.front(), pad.columns, pad.rows);
  for (std::size_t n = 0; n < strides.size(); ++n) {
    if (n > 0) level = refine(level, strides[n], pad.columns, pad.rows);
    constrain(level, samples);
    level.kept_west = (pad.west + level.stride - 1) / level.stride;
    level.kept_east = (pad.west + geometry.columns - 1) / level.stride;
    level.kept_south = (pad.south + level.stride - 1) / level.stride;
    level.kept_north = (pad.south + geometry.rows - 1) / level.stride;
    // As `gmt surface`: a coarser level stops at the limit over its spacing, or after the
    // final level's iterations times its spacing.
    relax(level, stencil, convergence_of_rms / level.stride, final_iterations * level.stride, workers);
  }
  for (int j = 0; j < geometry.rows; ++j)
    for (int i = 0; i < geometry.columns; ++i)
      values[static_cast<std::size_t>(j) * geometry.columns + i] =
          static_cast<float>(plane.at(i + pad.west, j + pad.south) + rms * level.at(i + pad.west, j + pad.south));
  return values;
}

}  // namespace corvane

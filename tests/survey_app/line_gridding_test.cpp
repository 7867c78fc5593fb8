#include "grid/line_gridding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace corvane;

namespace {

using Field = std::function<double(double x, double y)>;

// Lines at `coordinates`, each read at `stations` along it; `along_x` lines lie along x.
void add_lines(GridInput& input, const std::vector<double>& coordinates, bool along_x,
               const std::vector<double>& stations, const Field& field) {
  for (const double c : coordinates) {
    input.lines.push_back({c, along_x});
    const auto line = static_cast<std::int32_t>(input.lines.size()) - 1;
    for (const double s : stations) {
      const double x = along_x ? s : c, y = along_x ? c : s;
      input.points.push_back({x, y, field(x, y), line});
    }
  }
}

std::vector<double> steps(double from, double to, double step) {
  std::vector<double> out;
  for (double s = from; s <= to + 1e-9; s += step) out.push_back(s);
  return out;
}

GridGeometry geometry(double cell, double west, double south, double east, double north) {
  GridGeometry g;
  g.cell = cell;
  g.i0 = std::llround(west / cell);
  g.j0 = std::llround(south / cell);
  g.columns = static_cast<std::int32_t>(std::llround((east - west) / cell)) + 1;
  g.rows = static_cast<std::int32_t>(std::llround((north - south) / cell)) + 1;
  return g;
}

bool same_grid(const Grid& a, const Grid& b, double tolerance) {
  if (a.values.size() != b.values.size()) return false;
  for (std::size_t n = 0; n < a.values.size(); ++n) {
    if (std::isnan(a.values[n]) != std::isnan(b.values[n])) return false;
    if (!std::isnan(a.values[n]) && std::fabs(a.values[n] - b.values[n]) > tolerance) return false;
  }
  return true;
}

const Field plane = [](double x, double y) { return 1000 + 0.7 * x - 1.3 * y; };

}  // namespace

TEST(LineGridding, APlaneIsReproducedBetweenTheLinesAndNowhereElse) {
  // Uneven line spacing and stations; the outermost lines and the line ends lie on nodes.
  const std::vector<double> lines = {0, 30, 45, 100, 140};
  std::vector<double> stations = {0, 3, 11, 20, 21.5, 37, 60, 64, 90, 133, 170, 171, 200};
  for (const bool along_x : {true, false}) {
    for (const unsigned workers : {1u, 3u}) {
      GridInput input;
      add_lines(input, lines, along_x, stations, plane);
      const GridGeometry g = along_x ? geometry(5, -10, -10, 210, 150) : geometry(5, -10, -10, 150, 210);
      const Grid grid = grid_along_lines(input, g, workers);
      for (std::int32_t j = 0; j < g.rows; ++j)
        for (std::int32_t i = 0; i < g.columns; ++i) {
          const double along = along_x ? g.x(i) : g.y(j), across = along_x ? g.y(j) : g.x(i);
          const bool inside = along >= 0 && along <= 200 && across >= 0 && across <= 140;
          if (inside)
            EXPECT_NEAR(grid.at(i, j), plane(g.x(i), g.y(j)), 1e-3) << along_x << " " << g.x(i) << " " << g.y(j);
          else
            EXPECT_TRUE(std::isnan(grid.at(i, j))) << along_x << " " << g.x(i) << " " << g.y(j);
        }
    }
  }
}

TEST(LineGridding, ABumpComesOutAtItsNode) {
  const Field bump = [](double x, double y) {
    return 100 * std::exp(-((x - 210) * (x - 210) + (y - 60) * (y - 60)) / (2 * 15.0 * 15.0));
  };
  GridInput input;
  add_lines(input, steps(0, 300, 10), false, steps(0, 200, 2), bump);
  const GridGeometry g = geometry(2.5, 0, 0, 300, 200);
  const Grid grid = grid_along_lines(input, g, 0);
  std::size_t peak = 0;
  for (std::size_t n = 1; n < grid.values.size(); ++n)
    if (grid.values[n] > grid.values[peak]) peak = n;
  EXPECT_EQ(g.x(static_cast<std::int32_t>(peak % static_cast<std::size_t>(g.columns))), 210.0);
  EXPECT_EQ(g.y(static_cast<std::int32_t>(peak / static_cast<std::size_t>(g.columns))), 60.0);
  EXPECT_NEAR(grid.values[peak], 100.0, 0.5);
  // Between lines, close to the field.
  EXPECT_NEAR(grid.at(82, 24), bump(g.x(82), g.y(24)), 1.0);
}

TEST(LineGridding, ALineWalkedTwiceIsOneLine) {
  const std::vector<double> lines = {0, 20, 40, 60};
  const std::vector<double> stations = steps(0, 100, 5);
  GridInput once;
  add_lines(once, lines, true, stations, plane);
  const GridGeometry g = geometry(5, 0, 0, 100, 60);
  const Grid single = grid_along_lines(once, g, 1);
  const struct {
    double offset;           // added to the second walk's values
    std::vector<double> at;  // its stations
    double expected_shift;
  } cases[] = {
      {0, stations, 0},
      {2, stations, 1},  // the two walks are averaged
      {2, {100, 80, 60, 40, 20, 0}, 1},
  };
  for (const auto& c : cases) {
    GridInput twice = once;
    add_lines(twice, {20}, true, c.at, [&](double x, double y) { return plane(x, y) + c.offset; });
    const Grid grid = grid_along_lines(twice, g, 2);
    // On the line at the second walk's stations; the line at 0 is untouched.
    for (std::int32_t i = 0; i < g.columns; i += 4)
      EXPECT_NEAR(grid.at(i, 4), single.at(i, 4) + c.expected_shift, 1e-3) << i;
    EXPECT_NEAR(grid.at(3, 0), single.at(3, 0), 1e-3);
  }
}

TEST(LineGridding, NodesBeyondTheLinesAreEmpty) {
  GridInput input;
  add_lines(input, {0, 50}, true, steps(0, 200, 10), plane);
  add_lines(input, {100}, true, steps(0, 100, 10), plane);  // a short line
  const GridGeometry g = geometry(10, -10, 0, 200, 100);
  const Grid grid = grid_along_lines(input, g, 0);
  const struct {
    double x, y;
    bool empty;
  } cases[] = {
      {-10, 50, true},    // west of every line's start
      {0, 50, false},     // on the lines' first station
      {150, 50, false},   // on the outermost line crossing there
      {150, 60, true},    // beyond it, where the short line does not reach
      {100, 100, false},  // the short line's end
      {110, 90, true},
  };
  for (const auto& c : cases) {
    const auto i = static_cast<std::int32_t>(std::lround(c.x / g.cell)) - static_cast<std::int32_t>(g.i0);
    const auto j = static_cast<std::int32_t>(std::lround(c.y / g.cell)) - static_cast<std::int32_t>(g.j0);
    EXPECT_EQ(std::isnan(grid.at(i, j)), c.empty) << c.x << " " << c.y;
  }
}

TEST(LineGridding, TheLinesOfTheOtherOrientationAreLeftOut) {
  GridInput input;
  add_lines(input, {0, 25, 50, 75}, true, steps(0, 100, 5), plane);
  const GridGeometry g = geometry(5, 0, 0, 100, 75);
  const Grid without = grid_along_lines(input, g, 1);
  add_lines(input, {40}, false, steps(0, 75, 5), [](double, double) { return 0.0; });
  EXPECT_TRUE(lines_gridded_along_x(input));
  EXPECT_TRUE(same_grid(grid_along_lines(input, g, 1), without, 0));
  add_lines(input, {10, 60, 90, 95}, false, steps(0, 75, 5), [](double, double) { return 0.0; });
  EXPECT_FALSE(lines_gridded_along_x(input));
}

TEST(LineGridding, AStepDoesNotOvershoot) {
  GridInput input;
  add_lines(input, steps(0, 100, 20), true, steps(0, 200, 10),
            [](double x, double y) { return (x >= 100 ? 10.0 : 0.0) + (y >= 60 ? 5.0 : 0.0); });
  const Grid grid = grid_along_lines(input, geometry(2.5, 0, 0, 200, 100), 0);
  for (const float v : grid.values) {
    ASSERT_FALSE(std::isnan(v));
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 15.0f);
  }
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "grid/block_median.h"
#include "grid/grid.h"
#include "grid_reference.h"

namespace corvane {
namespace {

using test::data_range;
using test::read_columns;
using test::rms_from_reference;

// Lines along y at x = first_x + k * line_gap, stations every station_gap from y = 0.
GridInput lines_along_y(int lines, int stations, double first_x, double line_gap, double station_gap,
                        const std::function<double(double, double)>& field) {
  GridInput input;
  for (int k = 0; k < lines; ++k) {
    const double x = first_x + k * line_gap;
    input.lines.push_back({x, false});
    for (int s = 0; s < stations; ++s) {
      // Stations wander off the line's node column, so that the data sit between nodes.
      const double xs = x + 0.3 * std::sin(0.7 * s + k), y = s * station_gap + 0.2 * std::cos(s);
      input.points.push_back({xs, y, field(xs, y), k});
    }
  }
  return input;
}

GridInput scattered(const std::vector<std::pair<double, double>>& places) {
  GridInput input;
  input.lines.push_back({0, false});
  for (const auto& [x, y] : places) input.points.push_back({x, y, 1.0, 0});
  return input;
}

TEST(Surface, ReproducesPlanesAndConstantsAtEveryNode) {
  const std::vector<std::function<double(double, double)>> fields = {
      [](double, double) { return 48123.5; },
      [](double x, double y) { return 50000 + 0.8 * x - 0.35 * y; },
  };
  for (const auto& field : fields) {
    // One station per node cell: a block median of several would leave the plane.
    const GridInput input = lines_along_y(9, 40, 100, 20, 5, field);
    GridOptions options;
    options.cell = 5;
    options.blanking = 0;
    const Grid grid = make_grid(input, options);
    for (int j = 0; j < grid.geometry.rows; ++j)
      for (int i = 0; i < grid.geometry.columns; ++i) {
        const double expected = field(grid.geometry.x(i), grid.geometry.y(j));
        ASSERT_NEAR(grid.at(i, j), expected, 2 * std::abs(expected) * std::numeric_limits<float>::epsilon())
            << "node " << i << ", " << j;
      }
  }
}

// The grid `gmt surface -T0.25` made of the same points (see data/README.md).
TEST(Surface, MatchesTheReferenceGrid) {
  GridInput input;
  for (const auto& p : read_columns(std::string(CORVANE_TEST_DATA_DIR) + "/surface_points.xyz")) {
    if (input.points.empty() || std::abs(p[0] - input.points.back().x) > 5)
      input.lines.push_back({std::round(p[0]), false});
    input.points.push_back({p[0], p[1], p[2], static_cast<std::int32_t>(input.lines.size()) - 1});
  }
  GridOptions options;
  options.cell = 5;
  options.blanking = 0;
  const Grid grid = make_grid(input, options);
  ASSERT_EQ(grid.geometry.west(), 495);
  ASSERT_EQ(grid.geometry.east(), 780);
  ASSERT_EQ(grid.geometry.south(), 1995);
  ASSERT_EQ(grid.geometry.north(), 2145);

  EXPECT_LT(rms_from_reference(grid, std::string(CORVANE_TEST_DATA_DIR) + "/surface_reference.xyz"),
            0.005 * data_range(input));
}

TEST(BlockMedian, TakesEachCoordinateAndValueMedianSeparately) {
  const GridGeometry geometry{1, -1, -1, 3, 3};
  struct Case {
    std::vector<GridPoint> points;
    BlockValue expected;
  };
  const Case cases[] = {
      {{{0.1, 0.1, 1}, {0.2, -0.1, 2}, {-0.3, 0.2, 3}}, {4, 0.1, 0.1, 2}},
      {{{0.1, 0.1, 1}, {0.2, -0.1, 2}, {-0.3, 0.2, 3}, {0.4, 0.3, 10}}, {4, 0.15, 0.15, 2.5}},
      // Halfway between nodes: the east and north one.
      {{{0.5, -0.5, 7}}, {5, 0.5, -0.5, 7}},
  };
  for (const Case& c : cases) {
    const auto blocks = block_median(c.points, geometry);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].node, c.expected.node);
    EXPECT_DOUBLE_EQ(blocks[0].x, c.expected.x);
    EXPECT_DOUBLE_EQ(blocks[0].y, c.expected.y);
    EXPECT_DOUBLE_EQ(blocks[0].value, c.expected.value);
  }
}

Grid full_grid(const GridGeometry& geometry) {
  return {geometry, std::vector<float>(static_cast<std::size_t>(geometry.nodes()), 1.0f)};
}

TEST(Blanking, KeepsNodesExactlyAtTheDistanceAndEmptiesThosePastIt) {
  // Nodes every 2.5 from 0 to 25; one point sits on node (4, 4), the other 0.4 west and
  // 0.1 south of node (10, 10).
  const GridGeometry geometry{2.5, 0, 0, 11, 11};
  const GridInput input = scattered({{10, 10}, {24.6, 24.9}});
  struct Case {
    double distance;
    int i, j;
    bool kept;
  };
  const Case cases[] = {
      {7.5, 7, 4, true},                                                        // 3 cells east, exactly at the distance
      {7.5 - 1e-9, 7, 4, false},                                                // just past it
      {7.5, 4, 1, true},                                                        // 3 cells south
      {7.5, 1, 4, true},                                                        // 3 cells west
      {7.5, 8, 4, false},        {7.0711, 6, 6, true},                          // sqrt(50) away
      {7.0710, 2, 2, false},     {0, 4, 4, true},      {0.4124, 10, 10, true},  // sqrt(0.17) away
      {0.4123, 10, 10, false},
  };
  for (const Case& c : cases) {
    Grid grid = full_grid(geometry);
    blank_far_nodes(grid, input, c.distance);
    EXPECT_EQ(std::isfinite(grid.at(c.i, c.j)), c.kept) << c.distance << " at " << c.i << ", " << c.j;
  }
}

TEST(Blanking, AgreesWithTheDistanceToEveryPoint) {
  GridInput input;
  unsigned seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) / 4294967296.0; };
  for (int n = 0; n < 60; ++n) input.points.push_back({3 + 90 * next(), -40 + 50 * next(), 0, 0});
  const GridGeometry geometry{2, 0, -21, 50, 29};
  for (double distance : {0.7, 2.0, 4.0, 5.3, 11.0}) {
    Grid grid = full_grid(geometry);
    blank_far_nodes(grid, input, distance);
    for (int j = 0; j < geometry.rows; ++j)
      for (int i = 0; i < geometry.columns; ++i) {
        double nearest = std::numeric_limits<double>::infinity();
        for (const GridPoint& p : input.points)
          nearest = std::min(nearest, std::hypot(geometry.x(i) - p.x, geometry.y(j) - p.y));
        ASSERT_EQ(std::isfinite(grid.at(i, j)), nearest <= distance) << distance << " at " << i << ", " << j;
      }
  }
}

TEST(Geometry, RoundsTheExtentOutwardsToWholeCells) {
  struct Case {
    std::vector<std::pair<double, double>> places;
    double cell;
    GridGeometry expected;
  };
  const Case cases[] = {
      {{{10, 5}, {20, 15}, {12, 7}}, 5, {5, 2, 1, 3, 3}},               // extremes on nodes
      {{{-12.3, -7}, {-2.1, 4.9}, {-5, 0}}, 2, {2, -7, -4, 7, 8}},      // negative
      {{{0.3, 0.1}, {0.7, 0.2}, {0.5, 0.15}}, 0.1, {0.1, 3, 1, 5, 2}},  // a hair off in binary
  };
  for (const Case& c : cases) {
    const GridGeometry g = grid_geometry(scattered(c.places), c.cell);
    EXPECT_EQ(g.i0, c.expected.i0);
    EXPECT_EQ(g.j0, c.expected.j0);
    EXPECT_EQ(g.columns, c.expected.columns);
    EXPECT_EQ(g.rows, c.expected.rows);
  }
}

TEST(DefaultCell, IsAQuarterOfTheLineSpacingRoundedDownTo125) {
  struct Case {
    double line_gap;
    double cell;
  };
  const Case cases[] = {{20, 5}, {19.99, 2}, {8, 2}, {7.99, 1}, {100, 20}, {0.8, 0.2}};
  for (const Case& c : cases) {
    const GridInput input = lines_along_y(5, 4, 0, c.line_gap, 1, [](double, double) { return 0.0; });
    EXPECT_DOUBLE_EQ(default_cell(input), c.cell) << c.line_gap;
  }
}

TEST(DefaultCell, FollowsTheStationsOfASingleLine) {
  GridInput input;
  input.lines.push_back({50, true});
  for (int s = 0; s < 6; ++s) input.points.push_back({s * 3.0, 50, 0, 0});
  EXPECT_DOUBLE_EQ(median_line_spacing(input), 3);
  EXPECT_DOUBLE_EQ(default_cell(input), 2);
}

TEST(LineSpacing, IsTheMedianGapOfTheMostCommonOrientation) {
  GridInput input;
  for (double x : {0.0, 25.0, 50.0, 100.0, 125.0, 125.0}) input.lines.push_back({x, false});
  input.lines.push_back({7, true});
  for (std::int32_t k = 0; k < static_cast<std::int32_t>(input.lines.size()); ++k)
    input.points.push_back({input.lines[k].coordinate, 0, 0, k});
  EXPECT_DOUBLE_EQ(median_line_spacing(input), 25);
  GridOptions options;
  EXPECT_DOUBLE_EQ(blanking_distance(input, options), 37.5);
  options.blanking = 0;
  EXPECT_DOUBLE_EQ(blanking_distance(input, options), 0);
}

TEST(ContourInterval, GivesAbout20LevelsOverTheMiddleOfTheValues) {
  struct Case {
    double span;
    double interval;
  };
  // 101 values from 0 to span: the 2nd to 98th percentile spans 0.97 of it.
  const Case cases[] = {{100, 5}, {1000, 50}, {40, 2}, {0, 0}};
  for (const Case& c : cases) {
    Grid grid{{1, 0, 0, 101, 1}, {}};
    for (int i = 0; i <= 100; ++i) grid.values.push_back(static_cast<float>(c.span * i / 100));
    grid.values[50] = Grid::empty;
    EXPECT_DOUBLE_EQ(contour_interval(grid), c.interval) << c.span;
  }
}

TEST(MakeGrid, RefusesWhatCannotBeGridded) {
  const GridInput good = lines_along_y(3, 5, 0, 20, 5, [](double x, double) { return x; });
  auto with_point = [&](GridPoint p) {
    GridInput input = good;
    input.points[7] = p;
    return input;
  };
  GridInput two = good;
  two.points.resize(2);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    GridInput input;
    double cell, tension;
    std::string reason;
  };
  const Case cases[] = {
      {two, 0, 0.25, "3 points or more are needed to grid; 2 were given"},
      {with_point({1, 2, nan, 1}), 0, 0.25, "Reading 8 has no finite value"},
      {with_point({std::numeric_limits<double>::infinity(), 2, 3, 1}), 0, 0.25, "Reading 8 has no finite position"},
      {good, -1, 0.25, "cell must be a positive size; -1 was given"},
      {good, nan, 0.25, "cell must be a positive size"},
      {good, 0, 1, "tension must be from 0 up to (not including) 1; 1 was given"},
      {good, 0, -0.1, "tension must be from 0"},
      {scattered({{0, 0}, {1e5, 1e5}, {5, 5}}), 1, 0.25, "a cell of 20 or more would fit"},
  };
  for (const Case& c : cases) {
    GridOptions options;
    options.cell = c.cell;
    options.tension = c.tension;
    try {
      make_grid(c.input, options);
      ADD_FAILURE() << "no error for " << c.reason;
    } catch (const GridError& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
  }
}

TEST(MakeGrid, SharesTheRowsAmongThreads) {
  const auto field = [](double x, double y) { return 100 * std::sin(x / 90) * std::cos(y / 70); };
  const GridInput input = lines_along_y(15, 300, 0, 25, 2, field);
  GridOptions options;
  options.cell = 1;
  options.blanking = 0;
  options.workers = 1;
  const Grid one = make_grid(input, options);
  options.workers = 2;
  const Grid two = make_grid(input, options);
  ASSERT_GE(one.geometry.nodes(), 65536);
  double largest = 0;
  for (std::size_t k = 0; k < one.values.size(); ++k)
    largest = std::max(largest, std::abs(double(one.values[k]) - two.values[k]));
  EXPECT_LT(largest, 0.01);
}

}  // namespace
}  // namespace corvane

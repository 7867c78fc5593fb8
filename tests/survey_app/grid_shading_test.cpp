// The colours of grid nodes: the map's scale, the relief lit from the north-east, and
// transparent empty nodes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "grid/grid_shading.h"

namespace corvane::test {
namespace {

// A grid of `columns` x `rows` nodes `cell` apart with the values f(x, y).
Grid grid_of(std::int32_t columns, std::int32_t rows, double cell, const std::function<float(double, double)>& f) {
  Grid grid;
  grid.geometry = {cell, 10, -4, columns, rows};
  for (std::int32_t j = 0; j < rows; ++j)
    for (std::int32_t i = 0; i < columns; ++i) grid.values.push_back(f(grid.geometry.x(i), grid.geometry.y(j)));
  return grid;
}

std::uint32_t opaque(std::int32_t colour) {
  return 0xFF000000u | std::uint32_t(colour & 0xFF) << 16 | std::uint32_t(colour & 0xFF00) |
         std::uint32_t(colour >> 16 & 0xFF);
}

TEST(GridShading, NodesTakeTheDotColourOfTheirValueAndEmptyNodesNone) {
  const ColourStretch stretch{10, 20};
  Grid grid = grid_of(6, 1, 5, [](double, double) { return 0.0f; });
  grid.values = {5, 10, 15, 20, 25, Grid::empty};
  const std::vector<std::uint32_t> colours = grid_colours(grid, stretch, false);
  ASSERT_EQ(colours.size(), 6u);
  for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(colours[k], opaque(dot_colour(grid.values[k], stretch))) << k;
  EXPECT_EQ(colours[0], colours[1]);  // clamped at the ends
  EXPECT_EQ(colours[3], colours[4]);
  EXPECT_NE(colours[1], colours[3]);
  EXPECT_EQ(colours[5], 0u);
}

TEST(GridShading, TheStretchSpansTheSecondToTheNinetyEighthPercentileOfTheNodes) {
  Grid grid = grid_of(101, 1, 1, [](double x, double) { return float(x - 9); });  // 1 .. 101
  grid.values[100] = Grid::empty;
  const ColourStretch s = grid_stretch(grid);
  EXPECT_EQ(s.low, 2.0f);
  EXPECT_EQ(s.high, 98.0f);
  const ColourStretch none = grid_stretch(grid_of(3, 3, 1, [](double, double) { return Grid::empty; }));
  EXPECT_EQ(none.low, 0.0f);
  EXPECT_EQ(none.high, 0.0f);
}

TEST(GridShading, APlaneIsLitByHowItFacesTheNorthEastSun) {
  // Planes sloping at 45 degrees once exaggerated: the slope (0.3 nT a unit) is every
  // node's, so the 75th percentile too.
  const double s = 0.3 / std::sqrt(2.0);
  struct Case {
    const char* facing;
    double east, north;  // the rise of the plane a unit east and north
    float light;
  };
  for (const Case& c : {Case{"north-east", -s, -s, 1.0f}, Case{"south-west", s, s, 0.0f},
                        Case{"north-west", s, -s, 0.5f}, Case{"south-east", -s, s, 0.5f}}) {
    Grid grid = grid_of(7, 5, 2, [&](double x, double y) { return float(100 + c.east * x + c.north * y); });
    grid.values[2 * 7 + 3] = Grid::empty;  // its neighbours take one-sided differences
    const double k = hill_exaggeration(grid);
    EXPECT_NEAR(k, 1 / 0.3, 1e-3) << c.facing;
    const std::vector<float> light = hill_light(grid, k);
    for (std::size_t n = 0; n < light.size(); ++n) {
      if (n == 2 * 7 + 3)
        EXPECT_TRUE(std::isnan(light[n]));
      else
        EXPECT_NEAR(light[n], c.light, 2e-3) << c.facing << " node " << n;
    }
  }
}

TEST(GridShading, AFlatGridKeepsItsColoursAndASunlitSlopeIsBrighter) {
  const ColourStretch stretch{0, 100};
  const Grid flat = grid_of(4, 4, 1, [](double, double) { return 50.0f; });
  EXPECT_EQ(hill_exaggeration(flat), 1.0);
  EXPECT_NEAR(hill_light(flat, 1)[5], std::sin(sun_elevation_degrees * std::acos(-1.0) / 180), 1e-6);
  EXPECT_EQ(grid_colours(flat, stretch, true), grid_colours(flat, stretch, false));

  // A ridge along the north-west diagonal: its north-east flank faces the sun.
  const Grid ridge = grid_of(9, 9, 1, [](double x, double y) { return float(50 - 5 * std::abs(x - 10 + y + 4 - 8)); });
  const std::vector<std::uint32_t> lit = grid_colours(ridge, stretch, true);
  const std::vector<std::uint32_t> plain = grid_colours(ridge, stretch, false);
  const auto brightness = [](std::uint32_t c) { return (c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF); };
  const std::size_t north_east = 7 * 9 + 7, south_west = 1 * 9 + 1;
  EXPECT_EQ(plain[north_east], plain[south_west]);
  EXPECT_GT(brightness(lit[north_east]), brightness(plain[north_east]));
  EXPECT_LT(brightness(lit[south_west]), brightness(plain[south_west]));
  EXPECT_GT(brightness(lit[south_west]), 0u);  // the sky still lights it
  EXPECT_EQ(lit[south_west] >> 24, 0xFFu);
}

TEST(GridShading, MostlyFlatGridsTakeTheirLargestSlope) {
  // The middle node of 25 raised by 8: its four neighbours rise 2 a unit, the rest is flat.
  Grid bump = grid_of(5, 5, 2, [](double, double) { return 0.0f; });
  bump.values[12] = 8;
  EXPECT_EQ(hill_exaggeration(bump), 0.5);
}

}  // namespace
}  // namespace corvane::test

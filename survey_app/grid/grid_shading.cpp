#include "grid/grid_shading.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvane {

namespace {

// A third of a lit node's brightness is the sky's, whatever its slope.
constexpr double ambient_light = 1.0 / 3.0;

struct Gradient {
  double east = 0;
  double north = 0;
};

// The derivative along one axis from the node's neighbours before and after it: central
// where both have a value, one-sided where one has, 0 where neither has.
double derivative(float before, float at, float after, double cell) {
  const bool has_before = !std::isnan(before), has_after = !std::isnan(after);
  if (has_before && has_after) return (double(after) - before) / (2 * cell);
  if (has_after) return (double(after) - at) / cell;
  if (has_before) return (double(at) - before) / cell;
  return 0;
}

// The gradient of each node with a value, in value units per plan unit; empty nodes get 0.
std::vector<Gradient> node_gradients(const Grid& grid) {
  const GridGeometry& g = grid.geometry;
  std::vector<Gradient> gradients(grid.values.size());
  if (!(g.cell > 0)) return gradients;
  const auto value = [&](std::int32_t i, std::int32_t j) {
    return i < 0 || j < 0 || i >= g.columns || j >= g.rows ? Grid::empty : grid.at(i, j);
  };
  for (std::int32_t j = 0; j < g.rows; ++j) {
    for (std::int32_t i = 0; i < g.columns; ++i) {
      const float at = grid.at(i, j);
      if (std::isnan(at)) continue;
      Gradient& d = gradients[std::size_t(j) * std::size_t(g.columns) + std::size_t(i)];
      d.east = derivative(value(i - 1, j), at, value(i + 1, j), g.cell);
      d.north = derivative(value(i, j - 1), at, value(i, j + 1), g.cell);
    }
  }
  return gradients;
}

std::uint32_t argb(std::int32_t colour) {
  const std::uint32_t c = std::uint32_t(colour);
  return 0xFF000000u | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
}

std::uint32_t scaled(std::uint32_t argb, double factor) {
  const auto channel = [&](int shift) {
    const double v = std::round(double(argb >> shift & 0xFFu) * factor);
    return std::uint32_t(std::clamp(v, 0.0, 255.0)) << shift;
  };
  return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

}  // namespace

ColourStretch grid_stretch(const Grid& grid) {
  std::vector<float> values;
  values.reserve(grid.values.size());
  for (const float v : grid.values)
    if (!std::isnan(v)) values.push_back(v);
  return values.empty() ? ColourStretch{} : colour_stretch(values);
}

double hill_exaggeration(const Grid& grid) {
  const std::vector<Gradient> gradients = node_gradients(grid);
  std::vector<float> magnitudes;
  magnitudes.reserve(gradients.size());
  for (std::size_t k = 0; k < gradients.size(); ++k)
    if (!std::isnan(grid.values[k])) magnitudes.push_back(float(std::hypot(gradients[k].east, gradients[k].north)));
  if (magnitudes.empty()) return 1;
  const float largest = *std::max_element(magnitudes.begin(), magnitudes.end());
  const float typical = percentile_nearest_rank(magnitudes, 75);
  if (typical > 0) return 1 / double(typical);
  return largest > 0 ? 1 / double(largest) : 1;
}

std::vector<float> hill_light(const Grid& grid, double exaggeration) {
  constexpr double degree = std::numbers::pi / 180;
  const double azimuth = sun_azimuth_degrees * degree, elevation = sun_elevation_degrees * degree;
  // Towards the sun: x east, y north, z up.
  const double sx = std::sin(azimuth) * std::cos(elevation), sy = std::cos(azimuth) * std::cos(elevation);
  const double sz = std::sin(elevation);
  const std::vector<Gradient> gradients = node_gradients(grid);
  std::vector<float> light(grid.values.size(), Grid::empty);
  for (std::size_t k = 0; k < light.size(); ++k) {
    if (std::isnan(grid.values[k])) continue;
    // The surface z = exaggeration x value has the normal (-dz/dx, -dz/dy, 1).
    const double nx = -exaggeration * gradients[k].east, ny = -exaggeration * gradients[k].north;
    const double lit = (nx * sx + ny * sy + sz) / std::sqrt(nx * nx + ny * ny + 1);
    light[k] = float(std::max(lit, 0.0));
  }
  return light;
}

std::vector<std::uint32_t> grid_colours(const Grid& grid, const ColourStretch& stretch, bool hill_shading) {
  std::vector<std::uint32_t> colours(grid.values.size(), 0u);
  std::vector<float> light;
  if (hill_shading) light = hill_light(grid, hill_exaggeration(grid));
  const double flat = std::sin(sun_elevation_degrees * std::numbers::pi / 180);
  for (std::size_t k = 0; k < colours.size(); ++k) {
    const float v = grid.values[k];
    if (std::isnan(v)) continue;
    colours[k] = argb(dot_colour(v, stretch));
    if (hill_shading) colours[k] = scaled(colours[k], ambient_light + (1 - ambient_light) * light[k] / flat);
  }
  return colours;
}

}  // namespace corvane

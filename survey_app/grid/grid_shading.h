#pragma once
// The colours of a grid's nodes: the map's colour scale, optionally lit as relief.
#include <cstdint>
#include <vector>

#include "grid/grid.h"
#include "map/survey_map.h"

namespace corvane {

// The sun of the hill shading: from the north-east, 45 degrees above the horizon.
inline constexpr double sun_azimuth_degrees = 45;
inline constexpr double sun_elevation_degrees = 45;

// The stretch the dots would take over the node values (empty nodes left out); an empty
// stretch for a grid without values.
ColourStretch grid_stretch(const Grid& grid);

// The vertical exaggeration that makes the 75th percentile of the node gradients'
// magnitudes a 45 degree slope. Magnetic fields have no natural vertical scale (nT over
// metres): a fixed factor leaves a quiet survey flat and a strong one black and white,
// while this one shows the relief of most of the area and lights the steepest quarter
// strongly. When three quarters of the nodes are flat the largest gradient takes the 45
// degrees instead; 1 for a grid without a gradient.
double hill_exaggeration(const Grid& grid);

// The Lambertian light of each node, 0 to 1, the surface's normal taken from the node
// gradients (central differences, one-sided beside an edge or an empty node) times
// `exaggeration`; NaN for an empty node. A flat node gets sin(sun elevation).
std::vector<float> hill_light(const Grid& grid, double exaggeration);

// The ARGB32 colour of each node in the order of grid.values: dot_colour of its value on
// `stretch`, opaque, and with `hill_shading` scaled by its light relative to a flat
// node's (a third of it ambient, so that no slope goes black); an empty node is
// transparent (0).
std::vector<std::uint32_t> grid_colours(const Grid& grid, const ColourStretch& stretch, bool hill_shading);

}  // namespace corvane

#pragma once
// Gridding: the readings of a day's survey lines onto a regular grid of nodes.
//
// Points in (each reading placed on the plan as the XYZ export places it), grid out. Plain
// C++: the files a GIS reads and the contour files are written at the edge (grid_files/).
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane {

// A survey line of the points, as the XYZ export's plan rule places it: the stations of a
// line named "...N" lie along x at y = coordinate (along_x), those of every other line
// along y at x = coordinate.
struct GridLine {
  double coordinate = 0;
  bool along_x = false;
};

// A reading on the plan with the value to grid; `line` indexes GridInput::lines.
struct GridPoint {
  double x = 0;
  double y = 0;
  double value = 0;
  std::int32_t line = 0;
};

// What is gridded. Points of one line are consecutive, in reading order.
struct GridInput {
  std::vector<GridLine> lines;
  std::vector<GridPoint> points;
};

// The nodes: x = (i0 + i) * cell for column i (0 at the west), y = (j0 + j) * cell for
// row j (0 at the south), as `gmt surface -R... -I...` lays them out (gridline
// registration).
struct GridGeometry {
  double cell = 0;
  std::int64_t i0 = 0, j0 = 0;
  std::int32_t columns = 0, rows = 0;

  double x(std::int32_t i) const { return static_cast<double>(i0 + i) * cell; }
  double y(std::int32_t j) const { return static_cast<double>(j0 + j) * cell; }
  double west() const { return x(0); }
  double east() const { return x(columns - 1); }
  double south() const { return y(0); }
  double north() const { return y(rows - 1); }
  std::int64_t nodes() const { return static_cast<std::int64_t>(columns) * rows; }
};

// The node values, row 0 (south) first, each row from the west; an empty node (blanked)
// is NaN.
struct Grid {
  GridGeometry geometry;
  std::vector<float> values;

  static constexpr float empty = std::numeric_limits<float>::quiet_NaN();
  float at(std::int32_t i, std::int32_t j) const {
    return values[static_cast<std::size_t>(j) * static_cast<std::size_t>(geometry.columns) +
                  static_cast<std::size_t>(i)];
  }
};

enum class GridMethod {
  min_curvature,  // block median, then continuous-curvature splines in tension
  lines,          // along each line, then across the lines
};

struct GridOptions {
  GridMethod method = GridMethod::min_curvature;
  double cell = 0;        // 0: default_cell
  double tension = 0.25;  // 0 (minimum curvature) to 1 (harmonic)
  double blanking = -1;   // a node farther than this from every point is empty; < 0: the
                          // default (1.5 x the median line spacing), 0: none blanked
  unsigned workers = 0;   // 0: one per core
};

// A grid that cannot be made, with the reason as a user reads it (for example "3 points
// or more are needed to grid, 2 were given").
class GridError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The most nodes a grid may have.
constexpr std::int64_t max_grid_nodes = 50'000'000;

// The median spacing between neighbouring parallel lines (of the orientation most lines
// have), or, with fewer than two distinct line coordinates, the median spacing between
// neighbouring points along the lines. 0 when neither can be worked out.
double median_line_spacing(const GridInput& input);
// A quarter of the median line spacing, rounded to 1, 2 or 5 x 10^k; a set of one line
// uses the median station spacing instead.
double default_cell(const GridInput& input);
// The nodes covering the points' extent, rounded outwards to whole multiples of `cell`.
// Throws GridError for more than max_grid_nodes nodes, naming the cell that would fit.
GridGeometry grid_geometry(const GridInput& input, double cell);

// The grid of the points by options.method; the nodes farther than the blanking distance
// from every point are empty. Throws GridError for fewer than 3 points, a non-finite
// value or coordinate, a cell or tension out of range, or too many nodes.
Grid make_grid(const GridInput& input, const GridOptions& options);

// The blanking distance options.blanking stands for (the default worked out).
double blanking_distance(const GridInput& input, const GridOptions& options);
// Empties the nodes of `grid` farther than `distance` from every point (a node exactly at
// the distance keeps its value). A distance transform over the nodes, not a search per
// node.
void blank_far_nodes(Grid& grid, const GridInput& input, double distance);

// A contour interval giving about 20 levels over the 2nd to 98th percentile of the grid's
// values, rounded to 1, 2 or 5 x 10^k; 0 for a grid without two distinct values.
double contour_interval(const Grid& grid);

}  // namespace corvane

#pragma once
// Grid and contour files through GDAL, and the contour lines the map draws. No GDAL type
// appears here: the batch tool, the window and the Python module include this alone.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "grid/grid.h"

namespace corvane {

// A grid or contour file that could not be written; the text names the file and the reason.
class GridFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Writes `grid` to `path` by its extension: .tif or .tiff a GeoTIFF (Float32, north-up,
// pixel centres on the nodes), .grd a Surfer 7 binary grid, .asc an ESRI ASCII grid. Empty
// nodes carry the band's no-data value. The file is written beside the target and renamed
// over it once complete: a failure leaves an existing file as it was.
void write_grid_file(const Grid& grid, const std::string& path);

// One contour line: its level and its points (x east, y north), in order.
struct ContourLine {
  double level = 0;
  std::vector<std::pair<double, double>> points;
};
// More levels than a map can show: an interval far too small for the grid's range.
constexpr double max_contour_levels = 10'000;

// The contour lines of `grid` at the multiples of `interval` (> 0), none through empty
// nodes. Lines reach the outer edge of the cells, half a cell beyond the outer nodes, where
// the grid's pixels end. Throws GridFileError for an interval giving more than
// max_contour_levels levels over the grid's values.
std::vector<ContourLine> grid_contours(const Grid& grid, double interval);
// Writes them to `path`: .gpkg a GeoPackage, .shp a shapefile (with its side files), one
// line feature per contour with the attribute `value`. Replaced only when complete.
void write_contour_file(const Grid& grid, double interval, const std::string& path);

}  // namespace corvane

#pragma once
// The `lines` method: gridding data that are dense along the survey lines and sparse across
// them, first along each line and then across the lines.
#include "grid/grid.h"

namespace corvane {

// Whether the lines method grids the lines along x: the orientation most lines with points
// have; on a tie, the one with more points; then the lines along y.
bool lines_gridded_along_x(const GridInput& input);

// The nodes of `geometry` from the lines of that orientation (the others are left out).
// Lines at the same coordinate are one line. Along each line its values are interpolated
// (modified Akima) onto the node columns, for lines along x, or node rows that cross it
// within its extent; then along each such column (row) the crossings are interpolated the
// same way onto the nodes between the outermost lines crossing it. Every other node is
// empty (NaN); nothing is blanked. `workers` threads share the columns (0: one per core).
// Throws GridError for a cell that is not positive, a point of no line, or a position or line
// coordinate that is not finite.
Grid grid_along_lines(const GridInput& input, const GridGeometry& geometry, unsigned workers);

}  // namespace corvane

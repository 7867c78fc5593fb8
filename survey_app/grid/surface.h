#pragma once
// Continuous-curvature splines in tension (Smith & Wessel 1990), the gridding of `gmt surface`.
#include <span>
#include <vector>

#include "grid/block_median.h"
#include "grid/grid.h"

namespace corvane {

// Every node of `geometry` from the block medians (at most one per node cell). Solves
// (1 - t) del^4 z - t del^2 z = 0 away from the data, with (1 - t) d2z/dn2 + t dz/dn = 0 and
// d(del^2 z)/dn = 0 on the edges and d2z/dxdy = 0 at the corners, by over-relaxed
// Gauss-Seidel sweeps from a coarse grid down to the final one. When the sides' intervals
// share few factors the solve runs on a grid padded out to ones that share many (as
// `gmt surface` does since GMT 6.4), its convergence judged on the nodes asked for only.
// `workers` threads share the rows (0: one per core).
std::vector<float> surface_values(std::span<const BlockValue> data, const GridGeometry& geometry, double tension,
                                  unsigned workers);

}  // namespace corvane

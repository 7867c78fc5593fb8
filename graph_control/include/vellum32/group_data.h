#pragma once

#include <span>
#include <vector>

namespace vellum32 {

// One group of series for the typed RegisterData: the X values the group's series share,
// and each series' Y values, point 1 first. A Y array shorter than X leaves the points
// past its end unfilled, as a table row that ends early does; none may be longer.
struct GroupData {
  std::span<const double> X;
  std::vector<std::span<const double>> Y;
};

}  // namespace vellum32

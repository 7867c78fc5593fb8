#pragma once
// One value per node cell, as `gmt blockmedian` reduces points before `gmt surface`.
#include <cstdint>
#include <span>
#include <vector>

#include "grid/grid.h"

namespace corvane {

// The median of the points of one node's cell: x, y and value each the median of its own,
// so the three may come from different points.
struct BlockValue {
  std::int64_t node = 0;  // j * columns + i
  double x = 0;
  double y = 0;
  double value = 0;
};

// The node whose cell (gridline registration) holds (x, y); a point halfway between two nodes
// goes to the east or north one. Points past the edge go to the edge node.
std::int64_t nearest_node(const GridGeometry& geometry, double x, double y);

// The median of `values` (reordered); with an even count, the mean of the two middle ones.
double median_of(std::span<double> values);

// One BlockValue per node with points in its cell, in node order.
std::vector<BlockValue> block_median(std::span<const GridPoint> points, const GridGeometry& geometry);

// The points in node order: the points of node n are order[first[n]] .. order[first[n + 1] - 1].
struct PointsByNode {
  std::vector<std::uint32_t> first;
  std::vector<std::uint32_t> order;
};
PointsByNode points_by_node(std::span<const GridPoint> points, const GridGeometry& geometry);

}  // namespace corvane

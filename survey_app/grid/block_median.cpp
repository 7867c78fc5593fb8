#include "grid/block_median.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

std::int64_t nearest_index(double coordinate, double cell, std::int64_t origin, std::int32_t count) {
  const double offset = std::floor(coordinate / cell - static_cast<double>(origin) + 0.5);
  return static_cast<std::int64_t>(std::clamp(offset, 0.0, static_cast<double>(count - 1)));
}

}  // namespace

std::int64_t nearest_node(const GridGeometry& geometry, double x, double y) {
  const std::int64_t i = nearest_index(x, geometry.cell, geometry.i0, geometry.columns);
  const std::int64_t j = nearest_index(y, geometry.cell, geometry.j0, geometry.rows);
  return j * geometry.columns + i;
}

double median_of(std::span<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2 == 1) return *middle;
  return 0.5 * (*std::max_element(values.begin(), middle) + *middle);
}

PointsByNode points_by_node(std::span<const GridPoint> points, const GridGeometry& geometry) {
  PointsByNode sorted;
  std::vector<std::int64_t> node(points.size());
  sorted.first.assign(static_cast<std::size_t>(geometry.nodes()) + 1, 0);
  for (std::size_t k = 0; k < points.size(); ++k) {
    node[k] = nearest_node(geometry, points[k].x, points[k].y);
    ++sorted.first[static_cast<std::size_t>(node[k]) + 1];
  }
  for (std::size_t n = 1; n < sorted.first.size(); ++n) sorted.first[n] += sorted.first[n - 1];
  std::vector<std::uint32_t> next(sorted.first.begin(), sorted.first.end() - 1);
  sorted.order.resize(points.size());
  for (std::size_t k = 0; k < points.size(); ++k)
    sorted.order[next[static_cast<std::size_t>(node[k])]++] = static_cast<std::uint32_t>(k);
  return sorted;
}

std::vector<BlockValue> block_median(std::span<const GridPoint> points, const GridGeometry& geometry) {
  const PointsByNode sorted = points_by_node(points, geometry);
  std::vector<BlockValue> blocks;
  std::vector<double> xs, ys, values;
  for (std::size_t n = 0; n + 1 < sorted.first.size(); ++n) {
    const std::uint32_t begin = sorted.first[n], end = sorted.first[n + 1];
    if (begin == end) continue;
    xs.clear();
    ys.clear();
    values.clear();
    for (std::uint32_t k = begin; k < end; ++k) {
      const GridPoint& point = points[sorted.order[k]];
      xs.push_back(point.x);
      ys.push_back(point.y);
      values.push_back(point.value);
    }
    blocks.push_back({static_cast<std::int64_t>(n), median_of(xs), median_of(ys), median_of(values)});
  }
  return blocks;
}

}  // namespace corvane

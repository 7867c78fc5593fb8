#pragma once
// The grids `gmt surface` made of the tests' points (see data/README.md): x y value per node
// as `gmt grd2xyz` writes them, after comment lines starting with "#".
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "grid/grid.h"

namespace corvane::test {

inline std::vector<std::vector<double>> read_columns(const std::string& path) {
  std::ifstream file(path);
  EXPECT_TRUE(file) << path;
  std::vector<std::vector<double>> rows;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<double> row;
    for (double v; fields >> v;) row.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

// The RMS difference of `grid` from the reference grid at `path`, on the same nodes.
inline double rms_from_reference(const Grid& grid, const std::string& path) {
  const auto reference = read_columns(path);
  if (reference.size() != static_cast<std::size_t>(grid.geometry.nodes())) {
    ADD_FAILURE() << path << " holds " << reference.size() << " nodes, the grid " << grid.geometry.nodes();
    return INFINITY;
  }
  double sum_squares = 0;
  for (const auto& node : reference) {
    const int i = static_cast<int>(std::lround((node[0] - grid.geometry.west()) / grid.geometry.cell));
    const int j = static_cast<int>(std::lround((node[1] - grid.geometry.south()) / grid.geometry.cell));
    sum_squares += std::pow(grid.at(i, j) - node[2], 2);
  }
  return std::sqrt(sum_squares / static_cast<double>(reference.size()));
}

// The 2nd to 98th percentile range of the points' values: what a difference is a share of.
inline double data_range(const GridInput& input) {
  std::vector<double> values;
  for (const GridPoint& p : input.points) values.push_back(p.value);
  std::sort(values.begin(), values.end());
  return values[values.size() * 98 / 100] - values[values.size() * 2 / 100];
}

}  // namespace corvane::test

#include "vellum32/data_table.h"

#include <algorithm>

#include "vellum32/errors.h"

namespace vellum32 {

DataTable::DataTable(qsizetype rows, qsizetype cells) {
  if (rows < 0 || cells < 0) throw Vellum32Error(SubscriptOutOfRange);
  rows_ = rows;
  cells_ = cells;
  data_.resize(std::size_t(rows) * std::size_t(cells));
}

const QVariant& DataTable::at(qsizetype row, qsizetype cell) const {
  if (row < 0 || row >= rows_ || cell < 0 || cell >= cells_) throw Vellum32Error(SubscriptOutOfRange);
  return data_[index(row, cell)];
}

void DataTable::resize(qsizetype rows, qsizetype cells) {
  if (rows < 0 || cells < 0) throw Vellum32Error(SubscriptOutOfRange);
  std::vector<QVariant> next(std::size_t(rows) * std::size_t(cells));
  const qsizetype keepRows = std::min(rows, rows_);
  const qsizetype keepCells = std::min(cells, cells_);
  for (qsizetype r = 0; r < keepRows; ++r)
    for (qsizetype c = 0; c < keepCells; ++c) next[std::size_t(r * cells + c)] = std::move(data_[index(r, c)]);
  data_ = std::move(next);
  rows_ = rows;
  cells_ = cells;
}

}  // namespace vellum32

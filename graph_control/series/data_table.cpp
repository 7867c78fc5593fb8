#include "vellum32/data_table.h"

#include <algorithm>
#include <limits>
#include <new>

#include "vellum32/errors.h"

namespace vellum32 {
namespace {

// Empty cells for a table of rows x cells: raises 9 for a negative size, 6 when the
// product overflows and 7 when it cannot be held.
std::vector<QVariant> emptyCells(qsizetype rows, qsizetype cells) {
  if (rows < 0 || cells < 0) throw Vellum32Error(SubscriptOutOfRange);
  if (cells != 0 && rows > std::numeric_limits<qsizetype>::max() / cells) throw Vellum32Error(Overflow);
  const auto total = std::size_t(rows * cells);
  std::vector<QVariant> data;
  if (total > data.max_size()) throw Vellum32Error(OutOfMemory);
  try {
    data.resize(total);
  } catch (const std::bad_alloc&) {
    throw Vellum32Error(OutOfMemory);
  }
  return data;
}

}  // namespace

DataTable::DataTable(qsizetype rows, qsizetype cells) : rows_(rows), cells_(cells), data_(emptyCells(rows, cells)) {}

const QVariant& DataTable::at(qsizetype row, qsizetype cell) const {
  if (row < 0 || row >= rows_ || cell < 0 || cell >= cells_) throw Vellum32Error(SubscriptOutOfRange);
  return data_[index(row, cell)];
}

void DataTable::resize(qsizetype rows, qsizetype cells) {
  std::vector<QVariant> next = emptyCells(rows, cells);
  const qsizetype keepRows = std::min(rows, rows_);
  const qsizetype keepCells = std::min(cells, cells_);
  for (qsizetype r = 0; r < keepRows; ++r)
    for (qsizetype c = 0; c < keepCells; ++c) next[std::size_t(r * cells + c)] = std::move(data_[index(r, c)]);
  data_ = std::move(next);
  rows_ = rows;
  cells_ = cells;
}

}  // namespace vellum32

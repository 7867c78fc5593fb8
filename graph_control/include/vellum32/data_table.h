#pragma once

#include <QVariant>
#include <vector>

#include "vellum32/export.h"

namespace vellum32 {

// A rectangular table of variants handed to RegisterData, RegisterMarker and
// RegisterMarkerColour. The first index selects a row, the second a cell of the
// row; both start at 0. A cell that was never assigned holds an invalid QVariant
// and counts as empty.
class VELLUM32_EXPORT DataTable {
public:
  DataTable() = default;
  // Raises 9 for a negative size, 6 when rows x cells overflows, 7 when the cells cannot
  // be held.
  DataTable(qsizetype rows, qsizetype cells);

  qsizetype rowCount() const noexcept { return rows_; }
  qsizetype cellCount() const noexcept { return cells_; }
  // Last row and last cell index (-1 for an empty table).
  qsizetype lastRow() const noexcept { return rows_ - 1; }
  qsizetype lastCell() const noexcept { return cells_ - 1; }

  // Unchecked access; use at() for a checked read.
  QVariant& operator()(qsizetype row, qsizetype cell) { return data_[index(row, cell)]; }
  const QVariant& operator()(qsizetype row, qsizetype cell) const { return data_[index(row, cell)]; }
  // Checked read: throws Vellum32Error 9 when the indices lie outside the table.
  const QVariant& at(qsizetype row, qsizetype cell) const;

  // Keeps the cells that lie inside the new bounds; new cells are empty. Raises as the
  // constructor does, leaving the table as it was.
  void resize(qsizetype rows, qsizetype cells);

private:
  qsizetype index(qsizetype row, qsizetype cell) const noexcept { return row * cells_ + cell; }

  qsizetype rows_ = 0;
  qsizetype cells_ = 0;
  std::vector<QVariant> data_;
};

}  // namespace vellum32

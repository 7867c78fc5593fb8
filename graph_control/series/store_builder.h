#pragma once
// Series stores built from a host's numbers, in axis units: from a data table by its
// rules, or from arrays of doubles grouped as the table would group them.
#include <span>

#include "series/axis_transform.h"
#include "series/series_store.h"
#include "vellum32/data_table.h"
#include "vellum32/group_data.h"

namespace vellum32 {

// How registered values become axis units: the axes' scales and the Y value that stands
// for a missing one.
struct RegistrationAxes {
  AxisScale X;
  AxisScale Y;
  float DataNull = 0;
};

// Row 0 and every row whose header cell is 1 open a group with that row's X values, up to
// its first empty cell; the rows below are the group's series, their header cells the
// style codes, each read up to its first empty cell and never past its X values. Raises 9
// for rows without a header cell, an X row without series after it, or more series than
// the control has options for, 6 for more points than a qint32 counts.
SeriesStore StoreFromTable(const DataTable& table, const RegistrationAxes& axes);

// The store StoreFromTable builds from a table holding the same numbers (style codes 0).
// Raises 9 for a Y array longer than its group's X or too many series, 6 for more points
// than a qint32 counts.
SeriesStore StoreFromArrays(std::span<const GroupData> groups, const RegistrationAxes& axes);

}  // namespace vellum32

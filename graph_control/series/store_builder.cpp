#include "series/store_builder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "state/variant_convert.h"
#include "vellum32/errors.h"
#include "vellum32/types.h"

namespace vellum32 {

namespace {

// A registered X value in axis units; a value that is not finite is kept as NaN (its
// point is made missing by missingWhereXIsNotFinite).
double registeredX(double v, const AxisScale& axis) {
  if (!std::isfinite(v)) return std::numeric_limits<double>::quiet_NaN();
  return axis.Type == AxisTypes::linear ? v : AxisTransform(v, axis);
}

// A registered Y value in axis units: NullMark for a missing value, which is one within
// 0.1 of DataNull, below -1e30 or not finite (an infinite value would stretch the
// automatic range to infinity).
double registeredY(double v, const AxisScale& axis, float dataNull) {
  if (!std::isfinite(v) || std::fabs(v - double(dataNull)) < 0.1 || v < -1e30) return NullMark;
  return axis.Type == AxisTypes::linear ? v : AxisTransform(v, axis);
}

// A point whose X value is not finite is missing in every series of its group, also past
// the end of a short Y row.
void missingWhereXIsNotFinite(SeriesStore& store) {
  for (qint32 g = 1; g <= store.GroupCount(); ++g) {
    const double* x = store.xRow(g);
    const qint32 points = store.PointCount(g);
    for (qint32 p = 1; p <= points; ++p) {
      if (!std::isnan(x[p - 1])) continue;
      for (qint32 s = store.FirstSeries(g); s <= store.LastSeries(g); ++s) store.yRow(s)[p] = NullMark;
    }
  }
}

}  // namespace

SeriesStore StoreFromTable(const DataTable& RegData, const RegistrationAxes& axes) {
  using convert::isEmpty;
  using convert::toDouble;
  const qsizetype U1 = RegData.lastRow();
  const qsizetype U2 = RegData.lastCell();
  if (U1 >= 0 && U2 < 0) throw Vellum32Error(SubscriptOutOfRange);  // rows without a header cell

  // Row 0 and every row whose header is 1 open a group.
  std::vector<bool> xRows(std::size_t(std::max<qsizetype>(U1 + 1, 0)));
  for (qsizetype i = 0; i <= U1; ++i) xRows[std::size_t(i)] = i == 0 || toDouble(RegData(i, 0)) == 1.0;
  const auto isXRow = [&xRows](qsizetype i) { return bool(xRows[std::size_t(i)]); };

  // An X row in the last row, row 0 of a one-row table too, has no room left: its group
  // would have no series.
  if (U1 >= 0 && isXRow(U1)) throw Vellum32Error(SubscriptOutOfRange);

  // Layout: groups with their series ranges and point counts.
  std::vector<SeriesStore::Group> groups;
  groups.reserve(std::size_t(std::count(xRows.begin(), xRows.end(), true)));
  qsizetype seriesCount = 0;
  qsizetype maxPoints = 0;
  for (qsizetype i = 0; i <= U1; ++i) {
    if (isXRow(i)) {
      qsizetype pointCount = U2;
      for (qsizetype k = 1; k <= U2; ++k) {
        if (isEmpty(RegData(i, k))) {
          pointCount = k - 1;
          break;
        }
      }
      if (pointCount > qsizetype(std::numeric_limits<qint32>::max())) throw Vellum32Error(Overflow);
      // A group without Y rows owns no series: its range stays empty.
      groups.push_back({qint32(seriesCount + 1), qint32(seriesCount), qint32(pointCount)});
      maxPoints = std::max(maxPoints, pointCount);
    } else {
      ++seriesCount;
      if (seriesCount > MaxSeries) throw Vellum32Error(SubscriptOutOfRange);  // no options left
      groups.back().LastSeries = qint32(seriesCount);
    }
  }

  // Fill: values in axis units.
  SeriesStore next;
  next.reset(groups, qint32(seriesCount), qint32(maxPoints));
  const AxisScale& xAxis = axes.X;
  const AxisScale& yAxis = axes.Y;
  const float dataNull = axes.DataNull;
  qint32 g = 0;
  qint32 s = 0;
  for (qsizetype i = 0; i <= U1; ++i) {
    if (isXRow(i)) {
      ++g;
      const qint32 pointCount = groups[std::size_t(g - 1)].PointCount;
      double* x = next.xRow(g);
      for (qint32 k = 1; k <= pointCount; ++k) x[k - 1] = registeredX(toDouble(RegData(i, k)), xAxis);
    } else {
      ++s;
      double* y = next.yRow(s);
      const QVariant& header = RegData(i, 0);
      y[0] = isEmpty(header) ? 0.0 : toDouble(header);
      // A Y row is read up to its first empty cell, and never past its group's X values.
      const qint32 pointCount = groups[std::size_t(g - 1)].PointCount;
      qint32 filled = 0;
      for (qint32 k = 1; k <= pointCount; ++k) {
        const QVariant& cell = RegData(i, k);
        if (isEmpty(cell)) break;
        y[k] = registeredY(toDouble(cell), yAxis, dataNull);
        filled = k;
      }
      next.setFilledPoints(s, filled);
    }
  }
  missingWhereXIsNotFinite(next);
  next.NoteXOrder();
  return next;
}

SeriesStore StoreFromArrays(std::span<const GroupData> groups, const RegistrationAxes& axes) {
  std::vector<SeriesStore::Group> layout;
  layout.reserve(groups.size());
  std::size_t seriesCount = 0;
  std::size_t maxPoints = 0;
  for (const GroupData& group : groups) {
    if (group.X.size() > std::size_t(std::numeric_limits<qint32>::max())) throw Vellum32Error(Overflow);
    for (const std::span<const double> y : group.Y)
      if (y.size() > group.X.size()) throw Vellum32Error(SubscriptOutOfRange);
    seriesCount += group.Y.size();
    if (seriesCount > std::size_t(MaxSeries)) throw Vellum32Error(SubscriptOutOfRange);  // no options left
    layout.push_back({qint32(seriesCount - group.Y.size() + 1), qint32(seriesCount), qint32(group.X.size())});
    maxPoints = std::max(maxPoints, group.X.size());
  }
  SeriesStore next;
  next.reset(std::move(layout), qint32(seriesCount), qint32(maxPoints));
  qint32 s = 0;
  for (qint32 g = 1; g <= qint32(groups.size()); ++g) {
    const GroupData& group = groups[std::size_t(g - 1)];
    double* x = next.xRow(g);
    for (std::size_t k = 0; k < group.X.size(); ++k) x[k] = registeredX(group.X[k], axes.X);
    for (const std::span<const double> values : group.Y) {
      double* y = next.yRow(++s);  // y[0], the style code, stays 0
      for (std::size_t k = 0; k < values.size(); ++k) y[k + 1] = registeredY(values[k], axes.Y, axes.DataNull);
      next.setFilledPoints(s, qint32(values.size()));
    }
  }
  missingWhereXIsNotFinite(next);
  next.NoteXOrder();
  return next;
}

}  // namespace vellum32

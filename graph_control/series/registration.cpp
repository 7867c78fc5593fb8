// Data entry of the control: the data table, markers, series options and pen colours.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "state/control_state.h"
#include "state/variant_convert.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

namespace {

// Default colours of the series of a group after the first: pen r = irpt modulo 16.
constexpr std::array<qint32, 16> DefaultPenColours = {
    RGBColour(0, 127, 255),   RGBColour(255, 0, 0),   RGBColour(0, 255, 0),   RGBColour(0, 0, 255),
    RGBColour(255, 0, 255),   RGBColour(255, 255, 0), RGBColour(0, 255, 255), RGBColour(51, 255, 178),
    RGBColour(128, 128, 128), RGBColour(0, 0, 255),   RGBColour(0, 255, 0),   RGBColour(0, 255, 255),
    RGBColour(255, 0, 0),     RGBColour(255, 0, 255), RGBColour(255, 255, 0), RGBColour(255, 127, 0)};

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

// Memory of a store emptied by Clear: none of it can be read any more, so it is released
// before a registration sizes the next store rather than held beside it.
void releaseClearedStore(SeriesStore& store) {
  if (store.GroupCount() == 0) store = SeriesStore();
}

// The complete new store replaces the old one: no point stays selected, and every series
// takes its default colour (black for a group's first, then the pen colours) and weight 1.
void adoptStore(ControlState& state, SeriesStore&& next) {
  missingWhereXIsNotFinite(next);
  state.Store = std::move(next);
  state.PointIsSelected = false;
  const SeriesStore& store = state.Store;
  for (qint32 g = 1; g <= store.GroupCount(); ++g) {
    const qint32 first = store.FirstSeries(g);
    for (qint32 s = first; s <= store.LastSeries(g); ++s) {
      state.Options.SeriesColour[std::size_t(s)] = s == first ? 0 : Vellum32::DefaultPenColour(s - first);
      state.Options.SeriesWeight[std::size_t(s)] = 1;
    }
  }
}

// The series and points a marker table addresses, clipped to the store; empty when
// first > last in either.
struct PointRange {
  qint64 FirstSeries = 1;
  qint64 LastSeries = 0;
  qint64 FirstPoint = 1;
  qint64 LastPoint = 0;
  bool empty() const { return FirstSeries > LastSeries || FirstPoint > LastPoint; }
};

// Series s1..s2 and points p1..p2 addressed by nGroup, nSeries and nPoint, for a source
// whose last series index is `lastSeries` and last point `lastPoint`. Raises 9 for a
// group outside the store.
PointRange addressedPoints(const SeriesStore& store, qint64 lastSeries, qint64 lastPoint, qint32 nGroup, qint32 nSeries,
                           qint32 nPoint) {
  PointRange r{1, lastSeries, 1, lastPoint};
  if (nGroup >= 1) {
    const qint64 first = store.FirstSeries(nGroup);  // raises 9 for a group outside the store
    const qint64 last = store.LastSeries(nGroup);
    if (nSeries < 1) {
      r.FirstSeries = first;
      r.LastSeries = last;
    } else {
      r.FirstSeries = r.LastSeries = first + nSeries - 1;
      if (r.FirstSeries > last) r.LastSeries = last;  // beyond the group: nothing to write
    }
    if (nPoint >= 1) r.FirstPoint = r.LastPoint = nPoint;
  }
  r.LastSeries = std::min<qint64>(r.LastSeries, store.SeriesCount());
  r.LastPoint = std::min<qint64>(r.LastPoint, store.MaxPoints());
  return r;
}

}  // namespace

qint32 Vellum32::DefaultPenColour(qint32 irpt) {
  const qint32 r = irpt % 16;  // a remainder: negative for a negative irpt
  if (r < 0) throw Vellum32Error(InvalidProcedureCall);
  return DefaultPenColours[std::size_t(r)];
}

void Vellum32::set_pen_colour(qint32 irpt, qint32& pcol) const { pcol = DefaultPenColour(irpt); }

void Vellum32::RegisterData(const DataTable& RegData) {
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

  // Fill: values in axis units. The new store replaces the old one only when complete.
  releaseClearedStore(s_->Store);
  SeriesStore next;
  next.reset(groups, qint32(seriesCount), qint32(maxPoints));
  const AxisScale xAxis = XAxisScaleOf(*s_);
  const AxisScale yAxis = YAxisScaleOf(*s_);
  const float dataNull = s_->DataNull;
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
  adoptStore(*s_, std::move(next));
}

void Vellum32::RegisterData(std::span<const double> x, std::span<const double> y) {
  // The table form reads a Y row only as far as its X row and raises 9 for an index
  // outside a table; two lists of different lengths are such a table.
  if (x.size() != y.size()) throw Vellum32Error(SubscriptOutOfRange);
  if (x.size() > std::size_t(std::numeric_limits<qint32>::max())) throw Vellum32Error(Overflow);
  const auto points = qint32(x.size());
  releaseClearedStore(s_->Store);
  SeriesStore next;
  next.reset({{1, 1, points}}, 1, points);
  const AxisScale xAxis = XAxisScaleOf(*s_);
  const AxisScale yAxis = YAxisScaleOf(*s_);
  const float dataNull = s_->DataNull;
  double* xs = next.xRow(1);
  double* ys = next.yRow(1);  // ys[0], the style code of an empty header, stays 0
  for (qint32 k = 0; k < points; ++k) {
    xs[k] = registeredX(x[std::size_t(k)], xAxis);
    ys[k + 1] = registeredY(y[std::size_t(k)], yAxis, dataNull);
  }
  next.setFilledPoints(1, points);
  adoptStore(*s_, std::move(next));
}

void Vellum32::registerPointValues(const DataTable& table, qint32 nGroup, qint32 nSeries, qint32 nPoint, bool colours) {
  SeriesStore& store = s_->Store;
  const PointRange r = addressedPoints(store, table.lastRow(), table.lastCell(), nGroup, nSeries, nPoint);
  if (r.empty()) return;

  // Convert everything first so that a bad cell leaves the store untouched.
  std::vector<qint32> values;
  values.reserve(std::size_t((r.LastSeries - r.FirstSeries + 1) * (r.LastPoint - r.FirstPoint + 1)));
  for (qint64 s = r.FirstSeries; s <= r.LastSeries; ++s)
    for (qint64 p = r.FirstPoint; p <= r.LastPoint; ++p) values.push_back(convert::toLong(table.at(s, p)));
  auto value = values.cbegin();
  for (qint64 s = r.FirstSeries; s <= r.LastSeries; ++s) {
    for (qint64 p = r.FirstPoint; p <= r.LastPoint; ++p, ++value) {
      if (colours)
        store.setPointColour(qint32(s), qint32(p), *value);
      else
        store.setPointMarker(qint32(s), qint32(p), *value);
    }
  }
}

void Vellum32::RegisterMarker(const DataTable& RegMarker, qint32 nGroup, qint32 nSeries, qint32 nPoint) {
  registerPointValues(RegMarker, nGroup, nSeries, nPoint, false);
}

void Vellum32::RegisterMarkerColour(const DataTable& RegMarkerColour, qint32 nGroup, qint32 nSeries, qint32 nPoint) {
  registerPointValues(RegMarkerColour, nGroup, nSeries, nPoint, true);
}

void Vellum32::RegisterMarkerColour(std::span<const qint32> colours, qint32 nGroup, qint32 nSeries) {
  // As a table whose every row holds `colours` from cell 1 on: colours[p - 1] is point p
  // of each series addressed.
  SeriesStore& store = s_->Store;
  const PointRange r = addressedPoints(store, store.SeriesCount(), qint64(colours.size()), nGroup, nSeries, -1);
  if (r.empty()) return;
  for (qint64 s = r.FirstSeries; s <= r.LastSeries; ++s)
    store.setPointColours(qint32(s), qint32(r.FirstPoint),
                          colours.subspan(std::size_t(r.FirstPoint - 1), std::size_t(r.LastPoint - r.FirstPoint + 1)));
}

void Vellum32::SetSeriesOptions(qint32 nGroup, qint32 Series, qint32 PlotColor, const QString& Legend,
                                qint32 iPlotMarker, qint32 iSelectable, qint32 LineWeight) {
  SeriesStore& store = s_->Store;
  if (nGroup > store.GroupCount() || nGroup < 1) {
    prompt(QStringLiteral("The group number is invalid"));
    return;
  }
  const qint64 s = qint64(store.FirstSeries(nGroup)) + Series - 1;
  if (Series < 1 || s < 1 || s > store.SeriesCount() || s > store.LastSeries(nGroup)) {
    prompt(QStringLiteral("The series index is invalid"));
    return;
  }
  const auto option = [s](auto& array) -> auto& {
    if (s > MaxSeries) throw Vellum32Error(SubscriptOutOfRange);
    return array[std::size_t(s)];
  };
  SeriesOptions& o = s_->Options;
  if (!Legend.isEmpty()) option(o.SeriesLegend) = Legend;
  if (PlotColor >= 0) option(o.SeriesColour) = PlotColor;
  if (iPlotMarker != 0) store.setSeriesMarker(qint32(s), iPlotMarker);
  if (iSelectable >= 0) option(o.SeriesSelectable) = iSelectable != 0;
  if (LineWeight > 0) option(o.SeriesWeight) = LineWeight;
}

qint32 Vellum32::PointMarker(qint32 nGroup, qint32 Series, qint32 DataPoint) const {
  const qint64 s = qint64(s_->Store.FirstSeries(nGroup)) + Series - 1;
  if (s < 1 || s > s_->Store.SeriesCount()) throw Vellum32Error(SubscriptOutOfRange);
  return s_->Store.PointMarker(qint32(s), DataPoint);
}

void Vellum32::setPointMarker(qint32 nGroup, qint32 Series, qint32 DataPoint, qint32 New_PointMarker) {
  const qint64 s = qint64(s_->Store.FirstSeries(nGroup)) + Series - 1;
  if (s < 1 || s > s_->Store.SeriesCount()) throw Vellum32Error(SubscriptOutOfRange);
  s_->Store.setPointMarker(qint32(s), DataPoint, New_PointMarker);
}

}  // namespace vellum32

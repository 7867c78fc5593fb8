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

  // Groups the table has room for: row 0 and the X rows before the last row.
  qsizetype groupSlots = 1;
  for (qsizetype i = 1; i < U1; ++i)
    if (isXRow(i)) ++groupSlots;

  // Layout: groups with their series ranges and point counts.
  std::vector<SeriesStore::Group> groups;
  groups.reserve(std::size_t(groupSlots));
  qsizetype seriesCount = 0;
  qsizetype maxPoints = 0;
  for (qsizetype i = 0; i <= U1; ++i) {
    if (isXRow(i)) {
      // An X row in the last row has no room left: its group would have no series.
      if (qsizetype(groups.size()) == groupSlots) throw Vellum32Error(SubscriptOutOfRange);
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
  SeriesStore next;
  next.reset(groups, qint32(seriesCount), qint32(maxPoints));
  const AxisScale xAxis = XAxisScaleOf(*s_);
  const AxisScale yAxis = YAxisScaleOf(*s_);
  const float dataNull = s_->DataNull;
  const bool yLinear = yAxis.Type == AxisTypes::linear;
  std::array<qint32, SeriesOptionEntries> colours{};
  qint32 g = 0;
  qint32 s = 0;
  qint32 positionInGroup = 0;
  for (qsizetype i = 0; i <= U1; ++i) {
    if (isXRow(i)) {
      ++g;
      positionInGroup = 0;
      const qint32 pointCount = groups[std::size_t(g - 1)].PointCount;
      double* x = next.xRow(g);
      if (xAxis.Type == AxisTypes::linear) {
        for (qint32 k = 1; k <= pointCount; ++k) x[k - 1] = toDouble(RegData(i, k));
      } else {
        for (qint32 k = 1; k <= pointCount; ++k) x[k - 1] = AxisTransform(toDouble(RegData(i, k)), xAxis);
      }
    } else {
      ++s;
      ++positionInGroup;
      double* y = next.yRow(s);
      const QVariant& header = RegData(i, 0);
      y[0] = isEmpty(header) ? 0.0 : toDouble(header);
      // A Y row is read up to its first empty cell, and never past its group's X values.
      const qint32 pointCount = groups[std::size_t(g - 1)].PointCount;
      qint32 filled = 0;
      for (qint32 k = 1; k <= pointCount; ++k) {
        const QVariant& cell = RegData(i, k);
        if (isEmpty(cell)) break;
        const double v = toDouble(cell);
        if (std::fabs(v - double(dataNull)) < 0.1 || v < -1e30)
          y[k] = NullMark;  // missing, whatever the axis type
        else
          y[k] = yLinear ? v : AxisTransform(v, yAxis);
        filled = k;
      }
      next.setFilledPoints(s, filled);
      colours[std::size_t(s)] = positionInGroup == 1 ? 0 : DefaultPenColour(positionInGroup - 1);
    }
  }

  s_->Store = std::move(next);
  s_->PointIsSelected = false;
  for (qint32 series = 1; series <= s; ++series) {
    s_->Options.SeriesColour[std::size_t(series)] = colours[std::size_t(series)];
    s_->Options.SeriesWeight[std::size_t(series)] = 1;
  }
}

void Vellum32::registerPointValues(const DataTable& table, qint32 nGroup, qint32 nSeries, qint32 nPoint, bool colours) {
  SeriesStore& store = s_->Store;
  qint64 s1 = 1;
  qint64 s2 = table.lastRow();
  qint64 p1 = 1;
  qint64 p2 = table.lastCell();
  if (nGroup >= 1) {
    const qint64 first = store.FirstSeries(nGroup);  // raises 9 for a group outside the store
    const qint64 last = store.LastSeries(nGroup);
    if (nSeries < 1) {
      s1 = first;
      s2 = last;
    } else {
      s1 = s2 = first + nSeries - 1;
      if (s1 > last) s2 = last;  // beyond the group: nothing to write
    }
    if (nPoint >= 1) p1 = p2 = nPoint;
  }
  s2 = std::min<qint64>(s2, store.SeriesCount());
  p2 = std::min<qint64>(p2, store.MaxPoints());
  if (s1 > s2 || p1 > p2) return;

  // Convert everything first so that a bad cell leaves the store untouched.
  std::vector<qint32> values;
  values.reserve(std::size_t((s2 - s1 + 1) * (p2 - p1 + 1)));
  for (qint64 s = s1; s <= s2; ++s)
    for (qint64 p = p1; p <= p2; ++p) values.push_back(convert::toLong(table.at(s, p)));
  auto value = values.cbegin();
  for (qint64 s = s1; s <= s2; ++s) {
    for (qint64 p = p1; p <= p2; ++p, ++value) {
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
  if (iPlotMarker != 0)
    for (qint32 p = 1; p <= store.MaxPoints(); ++p) store.setPointMarker(qint32(s), p, iPlotMarker);
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

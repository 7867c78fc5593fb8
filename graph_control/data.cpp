// Data entry of the control: the data table, markers, series options and pen colours.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "series/store_builder.h"
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

// Memory of a store emptied by Clear: none of it can be read any more, so it is released
// before a registration sizes the next store rather than held beside it.
void releaseClearedStore(SeriesStore& store) {
  if (store.GroupCount() == 0) store = SeriesStore();
}

// The complete new store replaces the old one: no point stays selected, and every series
// takes its default colour (black for a group's first, then the pen colours) and weight 1.
void adoptStore(ControlState& state, SeriesStore&& next) {
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

namespace {

RegistrationAxes registrationAxesOf(const ControlState& s) { return {AxisScaleOf(s.X), AxisScaleOf(s.Y), s.DataNull}; }

}  // namespace

void Vellum32::RegisterData(const DataTable& RegData) {
  releaseClearedStore(s_->Store);
  // The new store replaces the old one only when complete.
  adoptStore(*s_, StoreFromTable(RegData, registrationAxesOf(*s_)));
}

void Vellum32::RegisterData(std::span<const double> x, std::span<const double> y) {
  // The table form reads a Y row only as far as its X row and raises 9 for an index
  // outside a table; two lists of different lengths are such a table.
  if (x.size() != y.size()) throw Vellum32Error(SubscriptOutOfRange);
  const GroupData group{x, {y}};
  RegisterData(std::span<const GroupData>(&group, 1));
}

void Vellum32::RegisterData(std::span<const GroupData> groups) {
  releaseClearedStore(s_->Store);
  adoptStore(*s_, StoreFromArrays(groups, registrationAxesOf(*s_)));
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

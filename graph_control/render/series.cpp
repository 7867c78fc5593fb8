#include "render/series.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "overlay/clipper.h"
#include "state/scoped_value.h"
#include "state/variant_convert.h"
#include "vellum32/errors.h"

namespace vellum32 {

SeriesStyle StyleOf(double styleCode, ChartTypes chart, bool plotPoints) {
  const bool line = chart == ChartTypes::Line;
  const bool point = chart == ChartTypes::Point;
  SeriesStyle style;
  style.Lines = styleCode <= -2 || (line && styleCode != -1);
  style.Markers = styleCode != -2 && (styleCode == -1 || styleCode == -3 || point || (line && plotPoints));
  return style;
}

SeriesStyle SeriesStyleOf(const ControlState& s, qint32 series) {
  return StyleOf(s.Store.YValue(series, 0), s.ChartType, s.PlotPoints);
}

namespace {

// A Y value below this is a NullMark: the point is missing.
constexpr double MissingBelow = -1e30;

bool isLetterMarker(qint32 code) { return code <= -1 && code >= -26; }

// The lines of one series straight onto a screen picture. A segment inside the clip
// window whose two ends fall in one pixel column is gathered into that column's span;
// every other segment is drawn as the line primitive draws it. A one-pixel vertical line
// from a to b paints the rows from the smaller up to one before the larger (its own row
// when a = b), so a span painting exactly the union of its segments' rows gives the
// same pixels as drawing them one by one.
class ColumnSpanLines {
public:
  ColumnSpanLines(Primitives& draw, const TwipsRect& clip, qint32 colour)
      : draw_(draw), device_(*draw.Device()), clip_(clip), colour_(colour), qcolour_(ColourOf(colour)) {}

  void segment(float x1, float y1, float x2, float y2) {
    if (RegionCode(x1, y1, clip_) != 0 || RegionCode(x2, y2, clip_) != 0) {
      draw_.Line(x1, y1, x2, y2, colour_, 1);
      return;
    }
    const QPoint a = draw_.ToDevice(x1, y1);
    const QPoint b = draw_.ToDevice(x2, y2);
    if (a.x() != b.x()) {
      device_.SetNotXor(false);
      device_.Line(a, b, qcolour_, 1);
      return;
    }
    const int low = std::min(a.y(), b.y());
    const int high = a.y() == b.y() ? low : std::max(a.y(), b.y()) - 1;
    if (open_ && a.x() == x_ && low <= high_ + 1 && high >= low_ - 1) {
      low_ = std::min(low_, low);
      high_ = std::max(high_, high);
      return;
    }
    flush();
    open_ = true;
    x_ = a.x();
    low_ = low;
    high_ = high;
  }

  void flush() {
    if (!open_) return;
    open_ = false;
    device_.SetNotXor(false);
    device_.Line(QPoint(x_, low_), QPoint(x_, high_ + 1), qcolour_, 1);
  }

private:
  Primitives& draw_;
  DrawingDevice& device_;
  const TwipsRect clip_;
  const qint32 colour_;
  const QColor qcolour_;
  bool open_ = false;
  int x_ = 0;
  int low_ = 0;
  int high_ = 0;
};

// Whether every marker of the series paints in the line colour, so that the order of
// lines and markers cannot change a pixel.
bool markersInLineColour(const SeriesStore& store, qint32 series, qint32 count, qint32 colour) {
  for (qint32 p = 1; p <= count; ++p) {
    const qint32 code = store.PointMarker(series, p);
    if (code == 0) continue;
    const qint32 c = store.PointColour(series, p);
    if (isLetterMarker(code) || (c >= 0 && c != colour)) return false;
  }
  return true;
}

void drawSeries(ControlState& s, Primitives& draw, qint32 group, qint32 series, bool columnSpans) {
  if (series < 1 || series > MaxSeries) throw Vellum32Error(SubscriptOutOfRange);
  const SeriesStore& store = s.Store;
  const SeriesStyle style = SeriesStyleOf(s, series);
  if (!style.Lines && !style.Markers) return;
  const qint32 count = store.PointCount(group);
  if (count > store.MaxPoints()) throw Vellum32Error(SubscriptOutOfRange);
  const double* xs = store.xRow(group);
  const double* ys = store.yRow(series);
  const qint32 colour = s.Options.SeriesColour[std::size_t(series)];
  const qint32 weight = s.Options.SeriesWeight[std::size_t(series)];
  const TwipsRect plot = s.PlotRect;
  const double left = plot.Left;
  const double bottom = plot.Bottom;
  const double xMin = s.ViewRange.XMin;
  const double yMin = s.ViewRange.YMin;
  const double xScale = s.XScale;
  const double yScale = s.YScale;

  std::optional<ColumnSpanLines> spans;
  if (columnSpans && style.Lines && draw.Device() && !s.StreamCapture && !s.DeviceLandscape && weight <= 1 &&
      ColourOf(colour).isValid() && (!style.Markers || markersInLineColour(store, series, count, colour)))
    spans.emplace(draw, s.ClipRect, colour);

  bool previousValid = false;
  float previousX = 0;
  float previousY = 0;
  for (qint32 p = 1; p <= count; ++p) {
    const double y = ys[p];
    if (y < MissingBelow) {
      previousValid = false;
      continue;
    }
    const double px = left + (xs[p - 1] - xMin) * xScale;
    const double py = bottom - (y - yMin) * yScale;
    if (style.Lines && previousValid) {
      if (spans)
        spans->segment(float(px), float(py), previousX, previousY);
      else
        draw.Line(float(px), float(py), previousX, previousY, colour, weight);
    }
    if (style.Markers && RegionCode(float(px), float(py), plot) == 0) {
      const qint32 markerColour = store.PointColour(series, p);
      draw.Marker(float(px), float(py), store.PointMarker(series, p), markerColour < 0 ? colour : markerColour);
    }
    // The next segment starts from this point rounded to whole twips.
    previousX = float(std::nearbyint(px));
    previousY = float(std::nearbyint(py));
    previousValid = true;
  }
  if (spans) spans->flush();
}

}  // namespace

void DrawSeries(ControlState& s, Primitives& draw, bool columnSpans) {
  s.NotXorMode = false;
  const SeriesStore& store = s.Store;
  for (qint32 group = store.GroupCount(); group >= 1; --group)
    for (qint32 series = store.FirstSeries(group); series <= store.LastSeries(group); ++series)
      drawSeries(s, draw, group, series, columnSpans);
}

QPoint PointPosition(const ControlState& s, qint32 group, qint32 series, qint32 point) {
  const SeriesStore& store = s.Store;
  const double px = s.PlotRect.Left + (store.XValue(group, point) - s.ViewRange.XMin) * s.XScale;
  const double py = s.PlotRect.Bottom - (store.YValue(series, point) - s.ViewRange.YMin) * s.YScale;
  return QPoint(convert::roundToLong(px), convert::roundToLong(py));
}

void DrawSelectionRectangle(ControlState& s, Primitives& draw, qint32 x, qint32 y) {
  const ScopedValue<bool> notXor(s.NotXorMode, true);
  draw.Rectangle(float(x - 46), float(y - 46), float(x + 47), float(y + 47), 0, NoColour);
}

void DrawSelectionMark(ControlState& s, Primitives& draw) {
  if (!s.PointIsSelected) return;
  const auto [group, series, point] = s.SelectedPoint;
  const QPoint at = PointPosition(s, group, s.Store.FirstSeries(group) + series - 1, point);
  s.SelectionMarkX = at.x();
  s.SelectionMarkY = at.y();
  DrawSelectionRectangle(s, draw, at.x(), at.y());
}

}  // namespace vellum32

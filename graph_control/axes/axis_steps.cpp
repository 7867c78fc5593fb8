#include "axes/axis_steps.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

#include "axes/tick_labels.h"
#include "series/axis_transform.h"
#include "state/variant_convert.h"
#include "vellum32/errors.h"

namespace vellum32 {

TextMeasure::~TextMeasure() = default;

FontMeasure::FontMeasure(const QFont& font, double twipsPerPixelX, double twipsPerPixelY)
    : metrics_(font), fontKey_(font.key()), tx_(twipsPerPixelX), ty_(twipsPerPixelY) {}

double FontMeasure::TextWidth(const QString& text) const {
  // Widths kept per thread: a plot measures the same labels at every refresh, and each
  // measure shapes the text.
  thread_local QHash<QString, qreal> widths;
  const QString key = text + u'\x1f' + fontKey_;
  auto found = widths.constFind(key);
  if (found == widths.cend()) {
    if (widths.size() >= 4096) widths.clear();
    found = widths.insert(key, metrics_.horizontalAdvance(text));
  }
  return *found * tx_;
}

double FontMeasure::TextHeight(const QString&) const { return metrics_.height() * ty_; }

namespace {

constexpr qint32 Black = 0;
constexpr float TickLength = 60;

using convert::divide;
using convert::toSingle;
constexpr auto toLong = convert::roundToLong;

struct Extremes {
  float Min = AutoLimit;
  float Max = AutoLimit;
  void take(double value) {
    if (std::isnan(value)) return;  // the X value of a missing point
    const float v = toSingle(value);
    if (Min == AutoLimit || v < Min) Min = v;
    if (Max == AutoLimit || v > Max) Max = v;
  }
};

// A limit that is not finite counts as automatic: a range running to infinity has no
// scale.
bool keptLimits(float min, float max) {
  return min != AutoLimit && max != AutoLimit && min < max && std::isfinite(min) && std::isfinite(max);
}

// The most ticks of each axis, from the plot rectangle as it stands.
qint64 mostYTicks(const ControlState& s, const AxisLayout& layout) {
  return MostTicks(double(layout.Plot.PlotRect.Bottom) - layout.Plot.PlotRect.Top, layout.PictureHeight,
                   layout.ScreenTwipsPerPixelY);
}
qint64 mostXTicks(const ControlState& s, const AxisLayout& layout) {
  return MostTicks(double(layout.Plot.PlotRect.Right) - layout.Plot.PlotRect.Left, layout.PictureWidth,
                   layout.ScreenTwipsPerPixelX);
}

}  // namespace

namespace {

// The extremes of an axis's registered values (axis units) as its shown and home limits,
// in data units.
void takeAutomaticLimits(AxisState& axis, Extremes e) {
  if (axis.Type == AxisTypes::LogLinear) {
    e.Min = toSingle(InverseAxisTransform(e.Min, axis.Cutoff, axis.BaseLog));
    e.Max = toSingle(InverseAxisTransform(e.Max, axis.Cutoff, axis.BaseLog));
  }
  axis.Min = axis.HomeMin = e.Min;
  axis.Max = axis.HomeMax = e.Max;
}

// An axis's shown limits in axis units.
std::pair<float, float> viewLimits(const AxisState& axis) {
  if (axis.Type == AxisTypes::linear) return {axis.Min, axis.Max};
  return {toSingle(AxisTransform(axis.Min, AxisScaleOf(axis))), toSingle(AxisTransform(axis.Max, AxisScaleOf(axis)))};
}

}  // namespace

void AutomaticYLimits(ControlState& s) {
  if (keptLimits(s.Y.Min, s.Y.Max)) return;
  Extremes e;
  const SeriesStore& store = s.Store;
  for (qint32 g = 1; g <= store.GroupCount(); ++g) {
    const qint32 points = store.PointCount(g);
    for (qint32 series = store.FirstSeries(g); series <= store.LastSeries(g); ++series)
      for (qint32 p = 1; p <= points; ++p) {
        const double v = store.YValue(series, p);
        if (!(v < -1e30)) e.take(v);
      }
  }
  takeAutomaticLimits(s.Y, e);
}

void AutomaticXLimits(ControlState& s) {
  if (keptLimits(s.X.Min, s.X.Max)) return;
  Extremes e;
  const SeriesStore& store = s.Store;
  for (qint32 g = 1; g <= store.GroupCount(); ++g)
    for (qint32 p = 1; p <= store.PointCount(g); ++p) e.take(store.XValue(g, p));
  takeAutomaticLimits(s.X, e);
}

void SetViewRange(const ControlState& s, AxisLayout& layout) {
  AxisRange& v = layout.Plot.ViewRange;
  std::tie(v.XMin, v.XMax) = viewLimits(s.X);
  std::tie(v.YMin, v.YMax) = viewLimits(s.Y);
  layout.XInterval = s.X.Type == AxisTypes::linear ? s.X.TickInterval : 1.0f;
  if (s.Y.Type == AxisTypes::linear) {
    layout.YInterval = s.Y.TickInterval;
  } else {
    // The smallest whole interval n with span \ n <= 10 (integer division).
    const qint32 span = toLong(double(v.YMax - v.YMin));
    layout.YInterval = span > 10 ? float(span / 11 + 1) : 1.0f;
  }
}

void SetRightLimit(const ControlState& s, AxisLayout& layout) {
  layout.Plot.RightLimit = toLong(double(layout.PictureWidth) - double(layout.Plot.TwipsPerPixelX));
  if (s.DisplayAxes) layout.Plot.RightLimit -= 360;
}

void SetTextMargins(const ControlState& s, AxisLayout& layout, const TextMeasure& measure) {
  layout.TopMargin = !s.DisplayAxes ? 0 : (s.Title.isEmpty() ? 120 : 320);
  layout.YLabelHeight = s.DisplayAxes && !s.Y.Label.isEmpty() ? toLong(measure.TextHeight(s.Y.Label)) : 0;
  layout.XLabelHeight = s.DisplayAxes && !s.X.Label.isEmpty() ? toLong(measure.TextHeight(s.X.Label)) : 0;
}

void PlotRectWithoutAxes(AxisLayout& layout) {
  const float sx = layout.ScreenTwipsPerPixelX;
  const float sy = layout.ScreenTwipsPerPixelY;
  TwipsRect& r = layout.Plot.PlotRect;
  r = TwipsRect{sx, float(layout.Plot.RightLimit) - sx, sy, layout.PictureHeight - sy};
  layout.Plot.YScale =
      float(divide(double(r.Bottom - r.Top), double(layout.Plot.ViewRange.YMax - layout.Plot.ViewRange.YMin)));
  layout.Plot.XScale =
      float(divide(double(r.Right - r.Left), double(layout.Plot.ViewRange.XMax - layout.Plot.ViewRange.XMin)));
}

void InitialPlotRect(const ControlState& s, AxisLayout& layout, Primitives& draw, const TextMeasure& measure) {
  TwipsRect& r = layout.Plot.PlotRect;
  r.Left = float(layout.YLabelHeight + 180);
  r.Right = float(layout.Plot.RightLimit);
  r.Top = float(layout.TopMargin);
  r.Bottom = float(double(layout.PictureHeight) - layout.ScreenTwipsPerPixelY -
                   1.5 * measure.TextHeight(QStringLiteral("X")) - layout.XLabelHeight);
  draw.Context().TextWeight = 400;
}

float FirstTick(float min, float interval) {
  const float q = float(divide(double(min), double(interval)));
  if (q == std::floor(q)) return min;
  return std::floor(q) * interval;
}

qint64 MostTicks(double length, double visible, double twipsPerPixel) {
  const double pixels = std::min(length, visible) / twipsPerPixel;
  return pixels >= 2 ? qint64(pixels / 2) : 0;  // NaN as well gives none
}

std::vector<float> TickValues(float first, float interval, float min, float max, qint64 mostTicks) {
  std::vector<float> ticks;
  if (!(interval > 0)) return ticks;
  // FirstTick lies within an interval (and a rounding) below min, and a step that moves
  // the value moves it by at least two thirds of the interval: a few steps reach min. So
  // the walk ends after mostTicks + 4 steps whatever the range.
  qint64 steps = mostTicks + 4;
  for (float v = first; v <= max && qint64(ticks.size()) < mostTicks && steps-- > 0;) {
    if (!(v < min)) ticks.push_back(v);
    const float next = v + interval;
    if (next == v) break;  // the interval is lost below the value's precision
    v = next;
  }
  return ticks;
}

void WidenLeftMargin(const ControlState& s, AxisLayout& layout, const TextMeasure& measure) {
  const AxisRange& v = layout.Plot.ViewRange;
  layout.Y0 = FirstTick(v.YMin, layout.YInterval);
  layout.YFormat = DecimalsFormat(layout.YInterval);
  const bool log = s.Y.Type == AxisTypes::LogLinear;
  float& left = layout.Plot.PlotRect.Left;
  for (float y : TickValues(layout.Y0, layout.YInterval, v.YMin, v.YMax, mostYTicks(s, layout))) {
    const QString label = TickLabel(y, log, s.Y.Cutoff, layout.YFormat, s.Y.BaseLog);
    left = std::max(left, float(measure.TextWidth(label) + layout.YLabelHeight + 180));
  }
  left = std::max(left, float(measure.TextWidth(PlainNumber(layout.Y0)) / 2 + layout.YLabelHeight + 120));
}

void ApplyFixedMargins(const ControlState& s, AxisLayout& layout) {
  if (!s.SetMargins) return;
  TwipsRect& r = layout.Plot.PlotRect;
  if (s.XAxisLeftMargin > 0) r.Left = s.XAxisLeftMargin;
  if (s.XAxisRightMargin > 0) r.Right = float(layout.Plot.RightLimit) - s.XAxisRightMargin;
  // The Y pair works this way round: the "bottom" margin places the top edge and the
  // "top" margin is measured up from the bottom of the picture.
  if (s.YAxisBottomMargin > 0) r.Top = s.YAxisBottomMargin;
  if (s.YAxisTopMargin > 0) r.Bottom = layout.PictureHeight - s.YAxisTopMargin;
}

void SetYScale(AxisLayout& layout) {
  const TwipsRect& r = layout.Plot.PlotRect;
  layout.Plot.YScale =
      float(divide(double(r.Bottom - r.Top), double(layout.Plot.ViewRange.YMax - layout.Plot.ViewRange.YMin)));
}

void DrawYTicks(const ControlState& s, const AxisLayout& layout, Primitives& draw, const TextMeasure& measure) {
  const AxisRange& v = layout.Plot.ViewRange;
  const bool log = s.Y.Type == AxisTypes::LogLinear;
  const double quarterX = measure.TextHeight(QStringLiteral("X")) / 4;
  for (float y : TickValues(layout.Y0, layout.YInterval, v.YMin, v.YMax, mostYTicks(s, layout))) {
    const TwipsRect r = layout.Plot.PlotRect;
    const float py = float(YMapOf(layout.Plot).transform(y));
    draw.Line(r.Left, py, r.Left + TickLength, py, Black, 1);
    const QString label = TickLabel(y, log, s.Y.Cutoff, layout.YFormat, s.Y.BaseLog);
    draw.Text(0, float(r.Left - measure.TextWidth(label) - TickLength), float(py + quarterX), label);
  }
}

void DrawFrame(const AxisLayout& layout, Primitives& draw) {
  const TwipsRect r = layout.Plot.PlotRect;
  draw.Rectangle(r.Left, r.Top, r.Right, r.Bottom, Black, NoColour);
}

void DrawTitleAndLabels(const ControlState& s, const AxisLayout& layout, Primitives& draw, const TextMeasure& measure) {
  const TwipsRect r = layout.Plot.PlotRect;
  draw.Context().TextWeight = 700;
  // The drawing font is bold, the measuring font is not: widths are allowed 15% more.
  if (!s.Title.isEmpty()) {
    draw.Text(0, float((r.Left + r.Right) / 2 - 1.15 * measure.TextWidth(s.Title) / 2),
              float(measure.TextHeight(s.Title)), s.Title);
  }
  if (!s.Y.Label.isEmpty()) {
    draw.Text(90, float(measure.TextHeight(s.Y.Label)),
              float((r.Top + r.Bottom + 1.15 * measure.TextWidth(s.Y.Label)) / 2), s.Y.Label);
  }
  if (!s.X.Label.isEmpty()) {
    draw.Text(0, float((r.Left + r.Right) / 2 - 1.15 * measure.TextWidth(s.X.Label) / 2),
              float(layout.PictureHeight - layout.ScreenTwipsPerPixelY - measure.TextHeight(s.X.Label) / 2), s.X.Label);
  }
  draw.Context().TextWeight = 400;
}

void DrawXTicks(const ControlState& s, AxisLayout& layout, Primitives& draw, const TextMeasure& measure) {
  const AxisRange& v = layout.Plot.ViewRange;
  layout.X0 = FirstTick(v.XMin, layout.XInterval);
  layout.XFormat = DecimalsFormat(layout.XInterval);
  const TwipsRect r = layout.Plot.PlotRect;
  layout.Plot.XScale = float(divide(double(r.Right - r.Left), double(v.XMax - v.XMin)));
  const bool log = s.X.Type == AxisTypes::LogLinear;
  const double heightX = measure.TextHeight(QStringLiteral("X"));
  for (float x : TickValues(layout.X0, layout.XInterval, v.XMin, v.XMax, mostXTicks(s, layout))) {
    const float px = float(XMapOf(layout.Plot).transform(x));
    draw.Line(px, r.Bottom, px, r.Bottom - TickLength, Black, 1);
    const QString label = TickLabel(x, log, s.X.Cutoff, layout.XFormat, s.X.BaseLog);
    draw.Text(0, float(px - measure.TextWidth(label) / 2), float(r.Bottom + heightX), label);
  }
}

void ClipToPlot(AxisLayout& layout, Primitives& draw) {
  layout.Plot.ClipRect = layout.Plot.PlotRect;
  draw.Context().Clip = layout.Plot.ClipRect;
  draw.ClipWindow();
}

void PlotAxes(ControlState& s, AxisLayout& layout, Primitives& draw, const TextMeasure& measure) {
  SetTextMargins(s, layout, measure);
  AutomaticYLimits(s);
  AutomaticXLimits(s);
  SetViewRange(s, layout);
  if (!s.DisplayAxes) {
    PlotRectWithoutAxes(layout);
  } else {
    InitialPlotRect(s, layout, draw, measure);
    WidenLeftMargin(s, layout, measure);
    ApplyFixedMargins(s, layout);
    SetYScale(layout);
    DrawYTicks(s, layout, draw, measure);
    DrawFrame(layout, draw);
    DrawTitleAndLabels(s, layout, draw, measure);
    DrawXTicks(s, layout, draw, measure);
  }
  ClipToPlot(layout, draw);
}

}  // namespace vellum32

#pragma once
// The axis steps of the plot routine, in the order it runs them: automatic limits, the
// shown range and tick intervals, the plot rectangle and its margins, the scales, the Y
// ticks, the frame with the title and axis labels, the X ticks and the clip window.
// Each step reads and writes the control's state; the drawing steps draw through the
// primitives (so they are captured when a graphics stream is being taken). Arithmetic
// without a result (a zero tick interval, an empty range) raises Vellum32Error 11, or 6
// for 0/0; the plot routine reports it as its own error.
#include <QFontMetricsF>
#include <QString>
#include <vector>

#include "overlay/primitives.h"
#include "state/control_state.h"

namespace vellum32 {

// Text widths and heights in twips, measured with the font of the control surface.
class TextMeasure {
public:
  virtual ~TextMeasure();
  virtual double TextWidth(const QString& text) const = 0;
  virtual double TextHeight(const QString& text) const = 0;
};

// Text sizes of a font as the screen shows it, in twips.
class FontMeasure : public TextMeasure {
public:
  FontMeasure(const QFont& font, double twipsPerPixelX, double twipsPerPixelY);
  double TextWidth(const QString& text) const override;
  double TextHeight(const QString& text) const override;

private:
  QFontMetricsF metrics_;
  QString fontKey_;
  double tx_;
  double ty_;
};

// The quantities the steps of one drawing hand on to each other.
struct AxisLayout {
  // Size of Picture_graph in twips and the screen's twips per pixel (sx, sy).
  float PictureWidth = 0;
  float PictureHeight = 0;
  float ScreenTwipsPerPixelX = 15;
  float ScreenTwipsPerPixelY = 15;
  // Long integers of the layout.
  qint32 TopMargin = 0;
  qint32 YLabelHeight = 0;
  qint32 XLabelHeight = 0;
  // Tick spacing in axis units, first tick and decimals format of each axis.
  float XInterval = 1;
  float YInterval = 1;
  float X0 = 0;
  float Y0 = 0;
  QString XFormat = QStringLiteral("0");
  QString YFormat = QStringLiteral("0");
  // What the drawing lays out: the plot rectangle, the range, the scales and the rest.
  PlotLayout Plot;
};

// Automatic limits: a pair that is not two finite set limits in increasing order is
// derived from the registered data (Y values not below -1e30; X values of every group but
// the NaN of a missing point), turned back into data units on a LogLinear axis, and
// copied into the home limits.
void AutomaticYLimits(ControlState& s);
void AutomaticXLimits(ControlState& s);

// ViewRange from the limits and the tick interval of each axis: a linear axis keeps its
// tick interval property; a LogLinear X axis ticks every power of the base; a LogLinear
// Y axis every n powers, n the smallest whole number with at most 10 intervals.
void SetViewRange(const ControlState& s, AxisLayout& layout);

// RightLimit: the picture's width less one pixel, rounded, less 360 with axes shown.
void SetRightLimit(const ControlState& s, AxisLayout& layout);

// TopMargin (320 with a title, 120 without, 0 without axes) and the label heights.
void SetTextMargins(const ControlState& s, AxisLayout& layout, const TextMeasure& measure);

// Without axes: the plot rectangle inset by a pixel on every side, and both scales.
void PlotRectWithoutAxes(AxisLayout& layout);

// With axes: the initial plot rectangle; the number font goes to normal weight.
void InitialPlotRect(const ControlState& s, AxisLayout& layout, Primitives& draw, const TextMeasure& measure);

// The first tick at or below `min`: min itself when min / interval is whole, else the
// next lower multiple of the interval.
float FirstTick(float min, float interval);

// The most ticks an axis `length` twips long shows: one per two pixels of its length, the
// length taken no longer than `visible` (the picture's extent); none for a length that
// is not positive.
qint64 MostTicks(double length, double visible, double twipsPerPixel);

// Tick values first, first + interval, ... (accumulated as singles) up to max, those
// below min left out, at most `mostTicks` of them. A negative interval gives none; the
// walk ends where adding the interval no longer changes the value, and after mostTicks + 4
// steps (`first` is FirstTick of min, a step or two below it).
std::vector<float> TickValues(float first, float interval, float min, float max, qint64 mostTicks);

// The first Y tick and its format, and the left edge widened to the Y tick labels.
void WidenLeftMargin(const ControlState& s, AxisLayout& layout, const TextMeasure& measure);

// With SetMargins, each margin property above 0 replaces one edge: XAxisLeftMargin the
// left, RightLimit - XAxisRightMargin the right, YAxisBottomMargin the top, and the
// picture's height - YAxisTopMargin the bottom.
void ApplyFixedMargins(const ControlState& s, AxisLayout& layout);

void SetYScale(AxisLayout& layout);

// Tick marks and labels of the Y axis, the frame, the title and axis labels (bold), and
// the X axis with its scale.
void DrawYTicks(const ControlState& s, const AxisLayout& layout, Primitives& draw, const TextMeasure& measure);
void DrawFrame(const AxisLayout& layout, Primitives& draw);
void DrawTitleAndLabels(const ControlState& s, const AxisLayout& layout, Primitives& draw, const TextMeasure& measure);
void DrawXTicks(const ControlState& s, AxisLayout& layout, Primitives& draw, const TextMeasure& measure);

// The clip window becomes the plot rectangle, with a clip-window record while a stream is
// being captured.
void ClipToPlot(AxisLayout& layout, Primitives& draw);

// The label heights and margins, then every axis step in order. RightLimit is taken as
// it stands: the plot routine sets it (SetRightLimit) and lets the legend move it first.
void PlotAxes(ControlState& s, AxisLayout& layout, Primitives& draw, const TextMeasure& measure);

}  // namespace vellum32

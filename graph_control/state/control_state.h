#pragma once

#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>

#include "series/axis_transform.h"
#include "series/series_store.h"
#include "vellum32/types.h"

namespace vellum32 {

// A rectangle on the drawing surface in twips, in the order left, right, top, bottom.
struct TwipsRect {
  float Left = 0;
  float Right = 0;
  float Top = 0;
  float Bottom = 0;
  friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

// The range shown in the plot rectangle, in axis units.
struct AxisRange {
  float XMin = 0;
  float XMax = 0;
  float YMin = 0;
  float YMax = 0;
};

// Options of the series 0..128, kept across registrations.
struct SeriesOptions {
  std::array<qint32, SeriesOptionEntries> SeriesColour{};  // 0 = black
  std::array<QString, SeriesOptionEntries> SeriesLegend{};
  std::array<bool, SeriesOptionEntries> SeriesSelectable{};
  std::array<qint32, SeriesOptionEntries> SeriesWeight{};
  SeriesOptions() {
    SeriesColour.fill(0);
    SeriesSelectable.fill(true);
    SeriesWeight.fill(1);
  }
};

// A host's image under the series: the centres of its first pixel (top left) and of its
// last (bottom right) in data units, and how it is scaled.
struct ImageLayer {
  QImage Image;
  double X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
  bool Smooth = false;
};

// The plain state of one control: its property fields, the axis state, the series
// store with the per-series options, the selection and the drawing geometry.
// The settings of one axis and its home limits: the X axis and the Y axis alike.
struct AxisState {
  float Min = AutoLimit;
  float Max = AutoLimit;
  float TickInterval = 1;
  float Cutoff = 1;  // linear half-width of a LogLinear axis
  AxisTypes Type = AxisTypes::linear;
  QString Label;
  float BaseLog = 10;
  float LnBase = 2.302585093f;  // ln BaseLog
  // The limits ResetZoom returns to.
  float HomeMin = AutoLimit;
  float HomeMax = AutoLimit;
};

// Where one drawing put the plot on its surface (twips): the plot rectangle, the range it
// shows, the scales, the clip window, the right edge of the drawing area, the device's
// twips per pixel, where the selection mark went, and how far a press may lie from a
// point to pick it.
struct PlotLayout {
  TwipsRect PlotRect{0, 100, 0, 100};
  AxisRange ViewRange{};
  TwipsRect ClipRect{};
  float XScale = 1;
  float YScale = 1;
  qint32 RightLimit = 0;
  float TwipsPerPixelX = 0;
  float TwipsPerPixelY = 0;
  QPoint MarkerPos;  // rounded to whole twips
  float PickToleranceX = 10;
  float PickToleranceY = 10;
};

struct ControlState {
  // The two axes.
  AxisState X;
  AxisState Y;

  // Property fields.
  QString Title;
  std::optional<QFont> TitleFont;  // none until assigned or loaded
  bool PlotPoints = false;
  bool DisplayLegend = false;
  bool DisplayAxes = true;
  bool SetMargins = false;
  bool DoZoom = false;
  qint32 ZoomXSplit = -1;
  qint32 ZoomXSplitLeft = 255;
  qint32 ZoomXSplitRight = 65280;
  float XaxisZoomCentre = 50;
  float XaxisZoomRange = 100;
  ZoomXTypes ZoomXType = ZoomXTypes::ZoomXCentre;
  qint32 ZoomYSplit = -1;
  qint32 ZoomYSplitTop = 255;
  qint32 ZoomYSplitBottom = 65280;
  float YAxisZoomCentre = 50;
  float YAxisZoomRange = 100;
  ZoomYTypes ZoomYType = ZoomYTypes::ZoomyCentre;
  float YAxisTopMargin = 0;
  float YAxisBottomMargin = 0;
  float XAxisLeftMargin = 0;
  float XAxisRightMargin = 0;
  float DataNull = -999;
  qint32 MarkerSize = 35;
  ChartTypes ChartType = ChartTypes::Point;

  // Registered data and per-series options.
  SeriesStore Store;
  SeriesOptions Options;

  // Selection.
  bool PointIsSelected = false;
  std::array<qint32, 3> SelectedPoint{};  // group, series within the group, point

  // Interaction: the guards against re-entry of the zoom strip and of a press.
  bool ScrollGuard = false;
  bool PickGuard = false;
  bool WheelZoom = true;

  // The layout of the control's picture, as the plot routine last returned it: what the
  // overlay, picking, zoom and the pointer read between drawings.
  PlotLayout Layout;

  // Overlay: the host's drawing calls, recorded with the values as passed. Records
  // start at index 1; the list starts with 65 empty entries and grows by 64.
  QList<QVariant> OverlayList = QList<QVariant>(65);
  qint32 OverlayCount = 0;
  bool OverlayRecording = true;

  std::optional<ImageLayer> Image;  // none until the host sets one
};

// Axis units to twips of the plot surface along one axis, and back: twips = Origin + (v -
// Min) x Scale. The X axis runs right from the plot's left edge, the Y axis up from its
// bottom edge (a negative scale).
struct ScaleMap {
  double Origin = 0;
  double Min = 0;
  double Scale = 1;
  double transform(double v) const { return Origin + (v - Min) * Scale; }
  double invTransform(double twips) const { return (twips - Origin) / Scale + Min; }
};

// The axes' maps of a layout.
inline ScaleMap XMapOf(const PlotLayout& l) { return {l.PlotRect.Left, l.ViewRange.XMin, l.XScale}; }
inline ScaleMap YMapOf(const PlotLayout& l) { return {l.PlotRect.Bottom, l.ViewRange.YMin, -double(l.YScale)}; }

// The axis settings data values are converted with.
inline AxisScale AxisScaleOf(const AxisState& axis) { return AxisScale{axis.Type, axis.Cutoff, axis.LnBase}; }

}  // namespace vellum32

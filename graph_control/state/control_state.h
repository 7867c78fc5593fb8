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
  // Where the selection mark was last drawn, rounded to whole twips.
  QPoint MarkerPos;

  // Interaction: the guards against re-entry of the zoom strip and of a press, and how
  // far (twips) a press may lie from a point to pick it (the plot sets 100).
  bool ScrollGuard = false;
  bool PickGuard = false;
  float PickToleranceX = 10;
  float PickToleranceY = 10;
  bool WheelZoom = true;

  // Drawing geometry, written by the plot routine.
  TwipsRect PlotRect{0, 100, 0, 100};
  AxisRange ViewRange{};
  TwipsRect ClipRect{};
  float XScale = 1;
  float YScale = 1;
  float TwipsPerPixelX = 0;
  float TwipsPerPixelY = 0;

  // Output state: drawing into a metafile instead of the picture.
  bool MetafileOutput = false;
  bool HighResolution = false;  // primitives at 300 device units per inch

  // Overlay: the host's drawing calls, recorded with the values as passed. Records
  // start at index 1; the list starts with 65 empty entries and grows by 64.
  QList<QVariant> OverlayList = QList<QVariant>(65);
  qint32 OverlayCount = 0;
  bool OverlayRecording = true;

  // Graphics stream: while StreamCapture is on, the primitives append their records
  // (twips of the surface) here instead of drawing.
  QList<QVariant> StreamList;
  qint32 StreamCount = 0;
  bool StreamCapture = false;

  // Device mapping of the primitives: device = twips x DevicePerTwip + offset, or
  // turned a quarter turn on a page of PageWidth x PageHeight twips.
  float DeviceScale = 1;
  float DevicePerTwip = 1;
  float DeviceOffsetX = 0;
  float DeviceOffsetY = 0;
  bool DeviceLandscape = false;
  float PageWidth = 0;
  float PageHeight = 0;
  qint32 PenWidth = 1;         // device units, for the next line or outline
  qint32 DefaultPenWidth = 1;  // what PenWidth returns to after each public call
  bool NotXorMode = false;     // drawing mode: not-xor pen instead of copy pen

  // Text of the primitives: face and point size (from TitleFont), weight 400 or 700.
  QFont TextFont;
  qint32 TextWeight = 700;

  // Right edge of the drawing area, twips, as the plot routine last computed it.
  qint32 RightLimit = 0;

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

// The axes' maps as the plot routine last laid them out.
inline ScaleMap XMapOf(const ControlState& s) { return {s.PlotRect.Left, s.ViewRange.XMin, s.XScale}; }
inline ScaleMap YMapOf(const ControlState& s) { return {s.PlotRect.Bottom, s.ViewRange.YMin, -double(s.YScale)}; }

// The axis settings data values are converted with.
inline AxisScale AxisScaleOf(const AxisState& axis) { return AxisScale{axis.Type, axis.Cutoff, axis.LnBase}; }

}  // namespace vellum32

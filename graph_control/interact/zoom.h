#pragma once
// The interactive side over the control's state: zoom and pan steps, zoom about a point
// and to a rectangle, the zoom indicator, the pointer position and point picking. Each
// changes the current limits only (the home limits are the full extent); the widget
// redraws afterwards.
#include <QImage>
#include <QRectF>
#include <optional>

#include "state/control_state.h"

namespace vellum32 {

// One step of a zoom bar: a value below 0 zooms out (span x 4/3), any other value in
// (span x 3/4), keeping the edge or centre that the axis's zoom type names. Returns false
// when the bound holds it: a window of 1/1000 of the home extent or less zooms in no
// further, one wider than 1000 times no further out. A home extent of zero width raises
// the division error.
bool ZoomStep(ControlState& s, bool yAxis, int value);

// One step of a pan bar: a quarter of the span; on X a negative value moves left, on Y a
// value of 1 or more moves down.
void PanStep(ControlState& s, bool yAxis, int value);

// The current limits back to the home limits.
void ResetLimits(ControlState& s);

// Both axes scaled by `factor` about the surface point (x, y) in twips, in axis units, so
// that the data value under the point stays under it. Each axis keeps the bounds of a
// zoom step. Returns whether a limit changed.
bool ZoomAbout(ControlState& s, float x, float y, double factor);

// The axis units under a surface point with the current scales (both 0 while a scale is
// not positive).
QPointF AxisUnitsAt(const ControlState& s, float x, float y);

// Moves the window so that the axis units `units` lie under the surface point (x, y)
// again: a plot's margins follow its tick labels and may shift after a zoom.
void KeepUnderPoint(ControlState& s, float x, float y, QPointF units);

// The window of a rectangle of the surface (twips). Returns false for a rectangle
// without width or height.
bool ZoomToRectangle(ControlState& s, const QRectF& twips);

// A band drawn with the mouse: smaller than three pixels either way it is a click and
// zooms nothing; otherwise ZoomToRectangle.
bool ZoomToBand(ControlState& s, const QRectF& band, double twipsPerPixelX, double twipsPerPixelY);

// What MouseMove reports for a surface point: its region code against PlotRect and its
// data values (all 0 while a scale is not positive).
struct PointerPosition {
  qint32 inview = 0;
  float xp = 0;
  float yp = 0;
};
PointerPosition PointerAt(const ControlState& s, float x, float y);

// The nearest selectable point to a press at (x, y) twips within the pick tolerances:
// groups from the last, series from the last, points from the first; the first met keeps
// a tie. Series is the global index.
struct PickedPoint {
  qint32 Group = 0;
  qint32 Series = 0;
  qint32 Point = 0;
  double X = 0;  // surface twips
  double Y = 0;
};
std::optional<PickedPoint> NearestPoint(const ControlState& s, float x, float y);

// The zoom indicator on the two location strips (images of `twipsPerPixel`): the split
// colours, the black window rectangle, and the four zoom percentages recomputed.
void DrawZoomIndicatorX(ControlState& s, QImage& strip, double twipsPerPixelX, double twipsPerPixelY);
void DrawZoomIndicatorY(ControlState& s, QImage& strip, double twipsPerPixelX, double twipsPerPixelY);

}  // namespace vellum32

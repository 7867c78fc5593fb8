#pragma once
// The drawing primitives of the control, in twips of the surface, over the control's
// state: line, marker, polygon, rectangle and text, with clipping and stream capture.
#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QVariant>
#include <initializer_list>

#include "state/control_state.h"
#include "state/variant_convert.h"
#include "vellum32/drawing.h"

namespace vellum32 {

// Appends one record at entries count+1 onwards; the list first grows by 64 empty
// entries when its last index is below count + the record's length.
void AppendRecord(QList<QVariant>& list, qint32& count, std::initializer_list<QVariant> record);

// A colour value of the control (red in the low byte) as a QColor; negative values
// stand for no colour and give an invalid QColor.
QColor ColourOf(qint32 colour);

// A device coordinate: rounded, halves to even. Coordinates stay well inside the range of
// an int (and of the platform's 32-bit device space); anything beyond is off every page.
[[gnu::always_inline]] inline int RoundToDevice(double v) {
  constexpr double limit = 1 << 30;
  if (!(v >= -limit)) return v != v ? 0 : -(1 << 30);
  if (v > limit) return 1 << 30;
  return int(convert::roundHalfEven(v));
}

// Twips to device units, as values: scale, offsets, and the quarter turn of a landscape
// page; halves round to even.
struct DeviceMapping {
  double perTwip = 1;
  double offsetX = 0;
  double offsetY = 0;
  bool landscape = false;
  double pageWidth = 0;  // twips, for the quarter turn

  // The device position before rounding.
  QPointF exact(double tx, double ty) const {
    if (landscape) return QPointF((pageWidth - ty) * perTwip + offsetX, tx * perTwip + offsetY);
    return QPointF(tx * perTwip + offsetX, ty * perTwip + offsetY);
  }
  [[gnu::always_inline]] QPoint operator()(double tx, double ty) const {
    if (landscape)
      return QPoint(RoundToDevice((pageWidth - ty) * perTwip + offsetX), RoundToDevice(tx * perTwip + offsetY));
    return QPoint(RoundToDevice(tx * perTwip + offsetX), RoundToDevice(ty * perTwip + offsetY));
  }
};

// While the state's StreamCapture is on the primitives append their records to
// StreamList and draw nothing; otherwise they draw on `device` (nothing when it is null)
// with the state's device mapping, pen width and text font.
class Primitives {
public:
  Primitives(ControlState& state, DrawingDevice* device);

  DrawingDevice* Device() const { return device_; }

  // The state's device mapping: DevicePerTwip, the offsets and DeviceLandscape.
  DeviceMapping Mapping() const {
    return {s_.DevicePerTwip, s_.DeviceOffsetX, s_.DeviceOffsetY, s_.DeviceLandscape, double(s_.PageWidth)};
  }
  QPoint ToDevice(double tx, double ty) const { return Mapping()(tx, ty); }

  // Clipped to ClipRect; nothing when the segment lies wholly outside.
  void Line(float x1, float y1, float x2, float y2, qint32 colour, qint32 width);
  // Shapes 1 to 7 and letters -1 (A) to -26 (Z) of MarkerSize; any other code draws
  // nothing. Not clipped.
  void Marker(float x, float y, qint32 code, qint32 colour);
  // Points 1..np of xs and ys (element 0 unused). Nothing when the bounding box lies
  // wholly outside ClipRect; otherwise the whole polygon, outline (border >= 0) with
  // PenWidth, then the inside (fill >= 0). Raises 9 when the lists are shorter than np + 1.
  void Polygon(qint32 np, const QList<float>& xs, const QList<float>& ys, qint32 border, qint32 fill);
  // The polygon (x1, y1), (x2, y1), (x2, y2), (x1, y2).
  void Rectangle(float x1, float y1, float x2, float y2, qint32 border, qint32 fill);
  // TextFont at the angle (degrees counter-clockwise), left end of the baseline at the
  // point. Not clipped.
  void Text(float angle, float x, float y, const QString& text);
  // An image with its first pixel's centre at `first` and its last pixel's at `last`
  // (twips), drawn only inside `clip` (twips). Left out of a captured stream, and drawn
  // as nothing when less than two pixels wide or high.
  void Image(const QImage& image, QPointF first, QPointF last, const TwipsRect& clip, bool smooth);
  // While capturing, appends a clip-window record of the current ClipRect.
  void ClipWindow();

  // The font Text draws with on the current device.
  DeviceFont CurrentFont(float angle) const;

private:
  bool capture(std::initializer_list<QVariant> record);
  void drawLine(double x1, double y1, double x2, double y2, const QColor& colour, int width);
  QPolygon mapPolygon(std::initializer_list<QPointF> points) const;

  ControlState& s_;
  DrawingDevice* device_;
};

}  // namespace vellum32

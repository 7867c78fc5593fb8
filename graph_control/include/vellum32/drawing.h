#pragma once
// The drawing layer of the control: the record layouts shared by the overlay list and
// the graphics stream, the device the primitives draw on, and the primitives themselves.
#include <QColor>
#include <QFont>
#include <QList>
#include <QPoint>
#include <QPolygon>
#include <QString>
#include <QVariant>
#include <initializer_list>

#include "vellum32/control_state.h"
#include "vellum32/export.h"

class QPainter;

namespace vellum32 {

// Record codes. A record is its code (a 16-bit integer) followed by its arguments:
//  1 clip window: left, right, top, bottom (singles)
// 10 line: x1, y1, x2, y2 (singles), colour, width (longs)
// 11 marker: x, y (singles), marker code, colour (longs)
// 12 polygon: number of points (long), x values, y values (QList<float>, element 0
//    unused, points from 1), border colour, fill colour, line width (longs)
// 13 rectangle: x1, y1, x2, y2 (singles), border colour, fill colour, line width (longs)
// 14 text: angle in degrees (single), x, y (singles), text (string)
enum RecordCodes : qint16 {
  ClipWindowRecord = 1,
  LineRecord = 10,
  MarkerRecord = 11,
  PolygonRecord = 12,
  RectangleRecord = 13,
  TextRecord = 14,
};

// Number of entries of a record with this code (the code included), 0 for an unknown code.
VELLUM32_EXPORT int RecordLength(int code);

// Appends one record at entries count+1 onwards; the list first grows by 64 empty
// entries when its last index is below count + the record's length.
VELLUM32_EXPORT void AppendRecord(QList<QVariant>& list, qint32& count,
                                  std::initializer_list<QVariant> record);

// A colour value of the control (red in the low byte) as a QColor; negative values
// stand for no colour and give an invalid QColor.
VELLUM32_EXPORT QColor ColourOf(qint32 colour);

// The font a device is asked to draw text with: face, height in device units (negative:
// the character height without internal leading, as the platform fonts take it),
// weight (400 normal, 700 bold) and escapement in tenths of a degree counter-clockwise.
struct DeviceFont {
  QString Face;
  int Height = 0;
  int Weight = 400;
  int Escapement = 0;
};

// What the primitives draw on, in device units. A painter device draws on a QPainter
// (the persistent picture, a printer, an SVG generator); tests record the calls.
class VELLUM32_EXPORT DrawingDevice {
public:
  virtual ~DrawingDevice();
  // Vertical resolution, for text heights.
  virtual double DotsPerInchY() const = 0;
  // Copy pen (false) or not-xor pen (true): with not-xor, drawing the same thing twice
  // leaves the device as it was.
  virtual void SetNotXor(bool on) = 0;
  // A solid line of the colour and width from `from` to `to`; the end point itself is
  // not painted.
  virtual void Line(QPoint from, QPoint to, const QColor& colour, int width) = 0;
  // The closed outline of a polygon with a solid pen; the inside stays as it is.
  virtual void PolygonOutline(const QPolygon& points, const QColor& colour, int width) = 0;
  // The inside of a polygon (alternate filling) in a solid colour, without outline.
  virtual void PolygonFill(const QPolygon& points, const QColor& colour) = 0;
  // Black text with the left end of its baseline at `origin`, no background.
  virtual void Text(QPoint origin, const QString& text, const DeviceFont& font) = 0;
};

// A device that draws with a QPainter. The painter belongs to the caller and stays
// active for the device's life; the device turns antialiasing off.
class VELLUM32_EXPORT PainterDevice : public DrawingDevice {
public:
  PainterDevice(QPainter& painter, double dotsPerInchY);
  double DotsPerInchY() const override { return dpiY_; }
  void SetNotXor(bool on) override;
  void Line(QPoint from, QPoint to, const QColor& colour, int width) override;
  void PolygonOutline(const QPolygon& points, const QColor& colour, int width) override;
  void PolygonFill(const QPolygon& points, const QColor& colour) override;
  void Text(QPoint origin, const QString& text, const DeviceFont& font) override;

private:
  QPainter& painter_;
  double dpiY_;
};

// The drawing primitives over a control's state, in twips of the surface. While the
// state's StreamCapture is on they append their records to StreamList and draw nothing;
// otherwise they draw on `device` (nothing when it is null) with the state's device
// mapping, pen width and text font.
class VELLUM32_EXPORT Primitives {
public:
  Primitives(ControlState& state, DrawingDevice* device);

  // Twips to device units: scale DevicePerTwip, offsets, and the quarter turn of
  // DeviceLandscape; halves round to even.
  QPoint ToDevice(double tx, double ty) const;

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

#pragma once
// The drawing primitives of the control, in twips of the surface, over the control's
// state: line, marker, polygon, rectangle and text, with clipping and stream capture.
#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QVariant>
#include <initializer_list>

#include <QFont>

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

// The records of a captured graphics stream: entries from index 1, Count of them used.
struct StreamSink {
  QList<QVariant> List = QList<QVariant>(65);
  qint32 Count = 0;
};

// What one drawing draws with, besides the device: the device mapping, the clip window,
// the pen, the text font and weight, the marker size, and the stream sink that takes the
// records instead of the device while a stream is captured.
struct DrawContext {
  DeviceMapping Mapping;
  float DeviceScale = 1;        // of text heights, and of the mapping of a plot
  bool HighResolution = false;  // 300 device units per inch, for the mapping and text
  TwipsRect Clip{};
  qint32 PenWidth = 1;         // device units, for the next outline
  qint32 DefaultPenWidth = 1;  // lines of markers and what each drawing starts from
  bool NotXor = false;         // not-xor pen instead of copy pen
  QFont TextFont;              // face and point size
  qint32 TextWeight = 700;
  double MarkerSize = 35;  // twips from a marker's centre to its edge
  StreamSink* Stream = nullptr;
};

// The drawing primitives over one context: while the context has a stream sink they
// append their records to it and draw nothing; otherwise they draw on `device` (nothing
// when it is null).
class Primitives {
public:
  Primitives(DrawContext& context, DrawingDevice* device);

  DrawingDevice* Device() const { return device_; }
  DrawContext& Context() const { return c_; }

  const DeviceMapping& Mapping() const { return c_.Mapping; }
  QPoint ToDevice(double tx, double ty) const { return c_.Mapping(tx, ty); }

  // Clipped to the clip window; nothing when the segment lies wholly outside.
  void Line(float x1, float y1, float x2, float y2, qint32 colour, qint32 width);
  // Shapes 1 to 7 and letters -1 (A) to -26 (Z) of MarkerSize; any other code draws
  // nothing. Not clipped.
  void Marker(float x, float y, qint32 code, qint32 colour);
  // Points 1..np of xs and ys (element 0 unused). Nothing when the bounding box lies
  // wholly outside the clip window; otherwise the whole polygon, outline (border >= 0) with
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
  // While capturing, appends a clip-window record of the context's clip window.
  void ClipWindow();

  // The font Text draws with on the current device.
  DeviceFont CurrentFont(float angle) const;

private:
  bool capture(std::initializer_list<QVariant> record);
  void drawLine(double x1, double y1, double x2, double y2, const QColor& colour, int width);
  QPolygon mapPolygon(std::initializer_list<QPointF> points) const;

  DrawContext& c_;
  DrawingDevice* device_;
};

}  // namespace vellum32

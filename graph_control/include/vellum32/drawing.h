#pragma once
// What a plot is drawn on: the drawing records of the overlay list and the graphics
// stream, and the device interface that takes the drawing in device units.
#include <QColor>
#include <QLine>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QString>

#include "vellum32/export.h"

class QImage;
class QPainter;
class QTransform;

namespace vellum32 {

// Record codes. A record is its code (a 16-bit integer) followed by its arguments:
//  1 clip window: left, right, top, bottom (singles)
// 10 line: x1, y1, x2, y2 (singles), colour, width (longs)
// 11 marker: x, y (singles), marker code, colour (longs)
// 12 polygon: number of points (long), x values, y values (QList<float>, element 0
//    unused, points from 1), border colour, fill colour, line width (longs)
// 13 rectangle: x1, y1, x2, y2 (singles), border colour, fill colour, line width (longs)
// 14 text: angle in degrees (single), x, y (singles), text (string)
// There is no record of an image: a stream leaves out the image layer (SetImageLayer).
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

// The font a device is asked to draw text with: face, height in device units (negative:
// the character height without internal leading, as the platform fonts take it),
// weight (400 normal, 700 bold) and escapement in tenths of a degree counter-clockwise.
struct DeviceFont {
  QString Face;
  int Height = 0;
  int Weight = 400;
  int Escapement = 0;
};

// What the plot is drawn on, in device units: the control's picture, a printer, an SVG
// generator, or a host's own device.
class VELLUM32_EXPORT DrawingDevice {
public:
  virtual ~DrawingDevice();
  // Resolution, for the twips-to-device mapping and for text heights.
  virtual double DotsPerInchX() const { return DotsPerInchY(); }
  virtual double DotsPerInchY() const = 0;
  // Fills the whole device with the colour. Only the control's own picture is cleared
  // before a plot; other devices may ignore it.
  virtual void Clear(const QColor& colour);
  // Copy pen (false) or not-xor pen (true): with not-xor, drawing the same thing twice
  // leaves the device as it was.
  virtual void SetNotXor(bool on) = 0;
  // A solid line of the colour and width from `from` to `to`; the end point itself is
  // not painted.
  virtual void Line(QPoint from, QPoint to, const QColor& colour, int width) = 0;
  // Several lines of one colour and width, each as Line draws it.
  virtual void Lines(const QLine* lines, int count, const QColor& colour, int width);
  // The closed outline of a polygon with a solid pen; the inside stays as it is.
  virtual void PolygonOutline(const QPolygon& points, const QColor& colour, int width) = 0;
  // The inside of a polygon (alternate filling) in a solid colour, without outline.
  virtual void PolygonFill(const QPolygon& points, const QColor& colour) = 0;
  // Black text with the left end of its baseline at `origin`, no background.
  virtual void Text(QPoint origin, const QString& text, const DeviceFont& font) = 0;
  // An image whose pixel (u, v) covers [u, u + 1) x [v, v + 1) of image space, placed on
  // the device through `imageToDevice`, drawn only inside `clip`, with smooth or nearest
  // sampling. A device that cannot draw images leaves them out (the default).
  virtual void Image(const QImage& image, const QTransform& imageToDevice, const QRect& clip, bool smooth);
};

// A device that draws with a QPainter. The painter belongs to the caller and stays
// active for the device's life; the device turns antialiasing of lines off. Pens and
// fonts are made once and kept while consecutive calls ask for the same one.
class VELLUM32_EXPORT PainterDevice : public DrawingDevice {
public:
  PainterDevice(QPainter& painter, double dotsPerInchX, double dotsPerInchY);
  ~PainterDevice() override;
  double DotsPerInchX() const override { return dpiX_; }
  double DotsPerInchY() const override { return dpiY_; }
  void Clear(const QColor& colour) override;
  void SetNotXor(bool on) override;
  void Line(QPoint from, QPoint to, const QColor& colour, int width) override;
  void Lines(const QLine* lines, int count, const QColor& colour, int width) override;
  void PolygonOutline(const QPolygon& points, const QColor& colour, int width) override;
  void PolygonFill(const QPolygon& points, const QColor& colour) override;
  void Text(QPoint origin, const QString& text, const DeviceFont& font) override;
  void Image(const QImage& image, const QTransform& imageToDevice, const QRect& clip, bool smooth) override;

private:
  void usePen(const QColor& colour, int width);
  void useBrush(const QColor& colour);

  QPainter& painter_;
  double dpiX_;
  double dpiY_;
  // What the painter holds now: pen colour and width (width 0: no pen), brush colour
  // (invalid: no brush), and the not-xor mode.
  QRgb penColour_ = 0;
  int penWidth_ = -1;
  QColor brushColour_;
  bool notXor_ = false;
  DeviceFont textFont_;
  bool haveTextFont_ = false;
};

}  // namespace vellum32

#include <QPainter>
#include <QPen>

#include "vellum32/drawing.h"

namespace vellum32 {

DrawingDevice::~DrawingDevice() = default;

PainterDevice::PainterDevice(QPainter& painter, double dotsPerInchY) : painter_(painter), dpiY_(dotsPerInchY) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setBrush(Qt::NoBrush);
}

void PainterDevice::SetNotXor(bool on) {
  // Not-xor pen: result = NOT (pen XOR picture). A black pen inverts, a white one
  // leaves the picture alone, and a second identical drawing undoes the first.
  painter_.setCompositionMode(on ? QPainter::RasterOp_NotSourceXorDestination
                                 : QPainter::CompositionMode_SourceOver);
}

namespace {

// A solid pen of the width in device units. One-unit pens leave out the end point of a
// line (flat caps); wider pens have round ends and joins.
QPen solidPen(const QColor& colour, int width) {
  QPen pen(colour);
  pen.setStyle(Qt::SolidLine);
  if (width <= 1) {
    pen.setWidth(1);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
  } else {
    pen.setWidth(width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
  }
  return pen;
}

}  // namespace

void PainterDevice::Line(QPoint from, QPoint to, const QColor& colour, int width) {
  painter_.setPen(solidPen(colour, width));
  painter_.setBrush(Qt::NoBrush);
  painter_.drawLine(from, to);
}

void PainterDevice::PolygonOutline(const QPolygon& points, const QColor& colour, int width) {
  painter_.setPen(solidPen(colour, width));
  painter_.setBrush(Qt::NoBrush);
  painter_.drawPolygon(points, Qt::OddEvenFill);
}

void PainterDevice::PolygonFill(const QPolygon& points, const QColor& colour) {
  painter_.setPen(Qt::NoPen);
  painter_.setBrush(QBrush(colour, Qt::SolidPattern));
  painter_.drawPolygon(points, Qt::OddEvenFill);
  painter_.setBrush(Qt::NoBrush);
}

void PainterDevice::Text(QPoint origin, const QString& text, const DeviceFont& font) {
  QFont f(font.Face);
  f.setPixelSize(std::max(1, std::abs(font.Height)));
  f.setWeight(QFont::Weight(std::clamp(font.Weight, 1, 1000)));
  painter_.save();
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter_.setFont(f);
  painter_.setPen(QPen(Qt::black));
  painter_.translate(origin);
  if (font.Escapement != 0) painter_.rotate(-font.Escapement / 10.0);
  painter_.drawText(QPoint(0, 0), text);
  painter_.restore();
}

}  // namespace vellum32

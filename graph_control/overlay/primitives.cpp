#include <QTransform>
#include <algorithm>
#include <cmath>

#include "overlay/clipper.h"
#include "overlay/primitives.h"
#include "vellum32/errors.h"

namespace vellum32 {

int RecordLength(int code) {
  switch (code) {
    case ClipWindowRecord: return 5;
    case LineRecord: return 7;
    case MarkerRecord: return 5;
    case PolygonRecord: return 7;
    case RectangleRecord: return 8;
    case TextRecord: return 5;
    default: return 0;
  }
}

void AppendRecord(QList<QVariant>& list, qint32& count, std::initializer_list<QVariant> record) {
  const qsizetype length = qsizetype(record.size());
  if (list.size() - 1 < qsizetype(count) + length) list.resize(list.size() + 64);
  qsizetype at = qsizetype(count) + 1;
  for (const QVariant& entry : record) list[at++] = entry;
  count += qint32(length);
}

QColor ColourOf(qint32 colour) {
  if (colour < 0) return QColor();
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

namespace {

QVariant code(RecordCodes c) { return QVariant::fromValue(qint16(c)); }

// The points 1..np of a record's coordinate list, with element 0 unused.
QList<float> pointList(const QList<float>& values, qint32 np) {
  return QList<float>(values.begin(), values.begin() + (np + 1));
}

}  // namespace

Primitives::Primitives(DrawContext& context, DrawingDevice* device) : c_(context), device_(device) {}

bool Primitives::capture(std::initializer_list<QVariant> record) {
  if (!c_.Stream) return false;
  AppendRecord(c_.Stream->List, c_.Stream->Count, record);
  return true;
}

void Primitives::drawLine(double x1, double y1, double x2, double y2, const QColor& colour, int width) {
  device_->SetNotXor(c_.NotXor);
  device_->Line(ToDevice(x1, y1), ToDevice(x2, y2), colour, width);
}

QPolygon Primitives::mapPolygon(std::initializer_list<QPointF> points) const {
  QPolygon polygon;
  polygon.reserve(qsizetype(points.size()));
  for (const QPointF& p : points) polygon.append(ToDevice(p.x(), p.y()));
  return polygon;
}

void Primitives::Image(const QImage& image, QPointF first, QPointF last, const TwipsRect& clip, bool smooth) {
  if (c_.Stream || !device_ || image.width() < 2 || image.height() < 2) return;
  const DeviceMapping& toDevice = c_.Mapping;
  // Image space to device: pixel centre (0.5, 0.5) lands on `first`, the last pixel's
  // centre on `last`; a landscape page turns the image with the rest.
  const QPointF origin = toDevice.exact(first.x(), first.y());
  const QPointF along = (toDevice.exact(last.x(), first.y()) - origin) / (image.width() - 1);
  const QPointF down = (toDevice.exact(first.x(), last.y()) - origin) / (image.height() - 1);
  const QPointF corner = origin - 0.5 * along - 0.5 * down;
  const QTransform imageToDevice(along.x(), along.y(), down.x(), down.y(), corner.x(), corner.y());
  const QPoint a = toDevice(clip.Left, clip.Top), b = toDevice(clip.Right, clip.Bottom);
  const QRect area(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                   QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
  device_->Image(image, imageToDevice, area, smooth);
}

void Primitives::ClipWindow() {
  const TwipsRect& c = c_.Clip;
  capture({code(ClipWindowRecord), c.Left, c.Right, c.Top, c.Bottom});
}

void Primitives::Line(float x1, float y1, float x2, float y2, qint32 colour, qint32 width) {
  if (ClipLine(x1, y1, x2, y2, c_.Clip) < 0) return;
  if (capture({code(LineRecord), x1, y1, x2, y2, colour, width})) return;
  const QColor c = ColourOf(colour);
  if (!device_ || !c.isValid()) return;
  drawLine(x1, y1, x2, y2, c, width);
}

void Primitives::Polygon(qint32 np, const QList<float>& xs, const QList<float>& ys, qint32 border, qint32 fill) {
  if (np < 1) return;
  if (xs.size() < qsizetype(np) + 1 || ys.size() < qsizetype(np) + 1) throw Vellum32Error(SubscriptOutOfRange);
  float minX = xs[1], maxX = xs[1], minY = ys[1], maxY = ys[1];
  for (qint32 i = 2; i <= np; ++i) {
    minX = std::min(minX, xs[i]);
    maxX = std::max(maxX, xs[i]);
    minY = std::min(minY, ys[i]);
    maxY = std::max(maxY, ys[i]);
  }
  const TwipsRect& w = c_.Clip;
  if (maxX < w.Left || minX > w.Right || maxY < w.Top || minY > w.Bottom) return;
  if (capture({code(PolygonRecord), np, QVariant::fromValue(pointList(xs, np)), QVariant::fromValue(pointList(ys, np)),
               border, fill, c_.PenWidth}))
    return;
  if (!device_) return;
  QPolygon polygon;
  polygon.reserve(np);
  for (qint32 i = 1; i <= np; ++i) polygon.append(ToDevice(xs[i], ys[i]));
  device_->SetNotXor(c_.NotXor);
  if (border >= 0) device_->PolygonOutline(polygon, ColourOf(border), c_.PenWidth);
  if (fill >= 0) device_->PolygonFill(polygon, ColourOf(fill));
}

void Primitives::Rectangle(float x1, float y1, float x2, float y2, qint32 border, qint32 fill) {
  Polygon(4, {0, x1, x2, x2, x1}, {0, y1, y1, y2, y2}, border, fill);
}

void Primitives::Marker(float x, float y, qint32 markerCode, qint32 colour) {
  if (capture({code(MarkerRecord), x, y, markerCode, colour})) return;
  if (!device_) return;
  const double s = c_.MarkerSize;
  if (markerCode <= -1 && markerCode >= -26) {
    Text(0, float(x - 2 * s), float(y + 1.5 * s), QString(QChar(u'A' + (-markerCode - 1))));
    return;
  }
  const QColor c = ColourOf(colour);
  if (!c.isValid()) return;
  const int thick = 2 * c_.DefaultPenWidth;
  device_->SetNotXor(c_.NotXor);
  switch (markerCode) {
    case 1:
    case 2: {
      const QPolygon square = mapPolygon({{x - s, y - s}, {x + s, y - s}, {x + s, y + s}, {x - s, y + s}});
      device_->PolygonOutline(square, c, markerCode == 1 ? c_.PenWidth : thick);
      if (markerCode == 1) device_->PolygonFill(square, c);
      break;
    }
    case 3:
      drawLine(x - s, y - s, x + s, y + s, c, thick);
      drawLine(x - s, y + s, x + s, y - s, c, thick);
      break;
    case 4:
      drawLine(x, y - s, x, y + s, c, thick);
      drawLine(x - s, y, x + s, y, c, thick);
      break;
    case 5:
      drawLine(x - s, y - s, x + s + 1, y + s + 1, c, 1);
      drawLine(x - s, y + s, x + s + 1, y - s - 1, c, 1);
      drawLine(x, y - s, x, y + s + 1, c, 1);
      drawLine(x - s, y, x + s + 1, y, c, 1);
      break;
    case 6:
    case 7: {
      const QPolygon diamond = mapPolygon({{x - s, y}, {x, y + s}, {x + s, y}, {x, y - s}});
      device_->PolygonOutline(diamond, c, c_.PenWidth);
      if (markerCode == 6) device_->PolygonFill(diamond, c);
      break;
    }
    default: break;
  }
}

DeviceFont Primitives::CurrentFont(float angle) const {
  DeviceFont font;
  font.Face = c_.TextFont.family();
  double points = c_.TextFont.pointSizeF();
  const double dpi = c_.HighResolution ? 300.0 : (device_ ? device_->DotsPerInchY() : 96.0);
  if (points <= 0) points = c_.TextFont.pixelSize() * 72.0 / dpi;
  font.Height = -RoundToDevice(points * dpi / 72.0 * c_.DeviceScale);
  font.Weight = c_.TextWeight;
  font.Escapement = RoundToDevice(double(angle) * 10) - (c_.Mapping.landscape ? 900 : 0);
  return font;
}

void Primitives::Text(float angle, float x, float y, const QString& text) {
  if (capture({code(TextRecord), angle, x, y, text})) return;
  if (!device_) return;
  device_->Text(ToDevice(x, y), text, CurrentFont(angle));
}

}  // namespace vellum32

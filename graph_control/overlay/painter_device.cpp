#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>
#include <vector>

#include "vellum32/drawing.h"

namespace vellum32 {
namespace {

// A line of text shaped once: its glyph runs with the baseline at 0.
struct ShapedText {
  QList<QGlyphRun> Runs;
  qreal Ascent = 0;
};

// Texts shaped in the painter's font (made from `device`), kept per thread: a plot draws
// the same labels at every refresh, and shaping is most of the cost of drawing them. Only
// texts of one line are kept.
const ShapedText* shapedText(const QFont& font, const DeviceFont& device, const QString& text) {
  if (text.contains(u'\n') || text.contains(u'\r')) return nullptr;
  thread_local QHash<QString, ShapedText> cache;
  const QString key = text + u'\x1f' + QChar(char16_t(device.Height)) + QChar(char16_t(device.Weight)) + device.Face;
  if (const auto found = cache.constFind(key); found != cache.cend()) return &*found;
  if (cache.size() >= 2048) cache.clear();
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  if (!line.isValid()) return nullptr;
  layout.endLayout();
  return &*cache.insert(key, ShapedText{layout.glyphRuns(), line.ascent()});
}

}  // namespace

DrawingDevice::~DrawingDevice() = default;

void DrawingDevice::Clear(const QColor&) {}

void DrawingDevice::Image(const QImage&, const QTransform&, const QRect&, bool) {}

void DrawingDevice::Lines(const QLine* lines, int count, const QColor& colour, int width) {
  for (int i = 0; i < count; ++i) Line(lines[i].p1(), lines[i].p2(), colour, width);
}

PainterDevice::PainterDevice(QPainter& painter, double dotsPerInchX, double dotsPerInchY)
    : painter_(painter), dpiX_(dotsPerInchX), dpiY_(dotsPerInchY) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setBrush(Qt::NoBrush);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

PainterDevice::~PainterDevice() = default;

void PainterDevice::Clear(const QColor& colour) {
  const QPainter::CompositionMode mode = painter_.compositionMode();
  painter_.setCompositionMode(QPainter::CompositionMode_Source);
  const QPaintDevice* target = painter_.device();
  painter_.fillRect(QRect(0, 0, target->width(), target->height()), colour);
  painter_.setCompositionMode(mode);
}

void PainterDevice::SetNotXor(bool on) {
  if (on == notXor_) return;
  notXor_ = on;
  // Not-xor pen: result = NOT (pen XOR picture). A black pen inverts, a white one
  // leaves the picture alone, and a second identical drawing undoes the first.
  painter_.setCompositionMode(on ? QPainter::RasterOp_NotSourceXorDestination : QPainter::CompositionMode_SourceOver);
}

// A solid pen of the width in device units. One-unit pens leave out the end point of a
// line (flat caps); wider pens have round ends and joins.
void PainterDevice::usePen(const QColor& colour, int width) {
  width = std::max(width, 1);
  if (penWidth_ == width && penColour_ == colour.rgba()) return;
  QPen pen(colour);
  pen.setStyle(Qt::SolidLine);
  if (width == 1) {
    pen.setWidth(1);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
  } else {
    pen.setWidth(width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
  }
  painter_.setPen(pen);
  penWidth_ = width;
  penColour_ = colour.rgba();
}

void PainterDevice::useBrush(const QColor& colour) {
  if (brushColour_ == colour) return;
  brushColour_ = colour;
  painter_.setBrush(colour.isValid() ? QBrush(colour, Qt::SolidPattern) : QBrush(Qt::NoBrush));
}

void PainterDevice::Line(QPoint from, QPoint to, const QColor& colour, int width) {
  usePen(colour, width);
  painter_.drawLine(from, to);
}

void PainterDevice::Lines(const QLine* lines, int count, const QColor& colour, int width) {
  // One-pixel lines straight down an image in an opaque colour, with copy pen and nothing
  // between the painter and the pixels, are set here: the pixels from the first point up
  // to the one before the last, as the painter paints them.
  QImage* image = painter_.device() && painter_.device()->devType() == QInternal::Image
                      ? static_cast<QImage*>(painter_.device())
                      : nullptr;
  const bool direct = image && width <= 1 && colour.alpha() == 255 && !notXor_ && image->isDetached() &&
                      (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32 ||
                       image->format() == QImage::Format_ARGB32_Premultiplied) &&
                      !painter_.hasClipping() && painter_.transform().isIdentity() &&
                      painter_.compositionMode() == QPainter::CompositionMode_SourceOver &&
                      image->devicePixelRatio() == 1;
  if (!direct) {
    usePen(colour, width);
    painter_.drawLines(lines, count);
    return;
  }
  const QRgb pixel = colour.rgba();
  const int w = image->width(), h = image->height();
  const qsizetype stride = image->bytesPerLine() / qsizetype(sizeof(QRgb));
  QRgb* const bits = reinterpret_cast<QRgb*>(image->bits());
  // In one colour the order of the lines does not matter: the others go to the painter
  // in one call.
  thread_local std::vector<QLine> others_;
  others_.clear();
  for (int i = 0; i < count; ++i) {
    const QLine& l = lines[i];
    if (l.x1() != l.x2() || l.y1() >= l.y2()) {
      others_.push_back(l);
      continue;
    }
    if (l.x1() < 0 || l.x1() >= w) continue;
    const int top = std::max(l.y1(), 0), bottom = std::min(l.y2(), h);
    for (int y = top; y < bottom; ++y) bits[y * stride + l.x1()] = pixel;
  }
  if (others_.empty()) return;
  usePen(colour, width);
  painter_.drawLines(others_.data(), int(others_.size()));
}

void PainterDevice::PolygonOutline(const QPolygon& points, const QColor& colour, int width) {
  usePen(colour, width);
  useBrush(QColor());
  painter_.drawPolygon(points, Qt::OddEvenFill);
}

void PainterDevice::PolygonFill(const QPolygon& points, const QColor& colour) {
  painter_.setPen(Qt::NoPen);
  penWidth_ = 0;
  useBrush(colour);
  painter_.drawPolygon(points, Qt::OddEvenFill);
}

void PainterDevice::Text(QPoint origin, const QString& text, const DeviceFont& font) {
  if (!haveTextFont_ || font.Face != textFont_.Face || font.Height != textFont_.Height ||
      font.Weight != textFont_.Weight) {
    QFont f(font.Face);
    f.setPixelSize(std::max(1, std::abs(font.Height)));
    f.setWeight(QFont::Weight(std::clamp(font.Weight, 1, 1000)));
    painter_.setFont(f);
    textFont_ = font;
    haveTextFont_ = true;
  }
  SetNotXor(false);
  constexpr int TextPen = -2;  // the pen of text, which no line asks for
  if (penWidth_ != TextPen) {
    painter_.setPen(QPen(Qt::black));
    penWidth_ = TextPen;
  }
  // Pictures take the shaped text from the cache; printers and SVG files shape it anew.
  const ShapedText* shaped = painter_.device() && painter_.device()->devType() == QInternal::Image
                                 ? shapedText(painter_.font(), font, text)
                                 : nullptr;
  if (shaped && font.Escapement == 0) {
    for (const QGlyphRun& run : shaped->Runs)
      painter_.drawGlyphRun(QPointF(origin.x(), origin.y() - shaped->Ascent), run);
    return;
  }
  const QTransform saved = painter_.worldTransform();
  painter_.translate(origin);
  if (font.Escapement != 0) painter_.rotate(-font.Escapement / 10.0);
  if (shaped)
    for (const QGlyphRun& run : shaped->Runs) painter_.drawGlyphRun(QPointF(0, -shaped->Ascent), run);
  else
    painter_.drawText(QPoint(0, 0), text);
  painter_.setWorldTransform(saved);
}

void PainterDevice::Image(const QImage& image, const QTransform& imageToDevice, const QRect& clip, bool smooth) {
  painter_.save();
  painter_.setClipRect(clip, Qt::IntersectClip);
  painter_.setTransform(imageToDevice, true);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  // A PDF (a printer's file) would otherwise take the image as a JPEG, mixing the colours
  // of neighbouring pixels.
  painter_.setRenderHint(QPainter::LosslessImageRendering, true);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);  // never not-xor
  painter_.drawImage(QPointF(0, 0), image);
  painter_.restore();
}

}  // namespace vellum32

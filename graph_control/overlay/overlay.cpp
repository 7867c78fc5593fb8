// The graphics overlay: the host's drawing calls in data units, drawn at once and kept
// in OverlayList so that every plot draws them again at the current scale.
#include <QPainter>

#include "picture_box.h"
#include "vellum32/vellum32.h"

namespace vellum32 {
namespace {

QVariant code(RecordCodes c) { return QVariant::fromValue(qint16(c)); }

// PenWidth holds a call's line width and returns to DefaultPenWidth when the call ends,
// also when it fails.
class PenWidthScope {
public:
  PenWidthScope(ControlState& s, qint32 width) : s_(s) { s_.PenWidth = width; }
  ~PenWidthScope() { s_.PenWidth = s_.DefaultPenWidth; }
  PenWidthScope(const PenWidthScope&) = delete;
  PenWidthScope& operator=(const PenWidthScope&) = delete;

private:
  ControlState& s_;
};

}  // namespace

QPointF Vellum32::toSurface(float x, float y) const {
  const double xt = AxisTransform(x, XAxisScale());
  const double yt = AxisTransform(y, YAxisScale());
  const ControlState& s = *s_;
  return QPointF(float(s.PlotRect.Left + (xt - s.ViewRange.XMin) * s.XScale),
                 float(s.PlotRect.Bottom - (yt - s.ViewRange.YMin) * s.YScale));
}

void Vellum32::DrawMarker(float x, float y, qint32 marker_ind, qint32 LineColour) {
  const QPointF p = toSurface(x, y);
  if (s_->OverlayRecording)
    AppendRecord(s_->OverlayList, s_->OverlayCount, {code(MarkerRecord), x, y, marker_ind, LineColour});
  onTarget([&](Primitives& draw) { draw.Marker(float(p.x()), float(p.y()), marker_ind, LineColour); });
  s_->PenWidth = s_->DefaultPenWidth;
}

void Vellum32::DrawText(float text_angle, float x, float y, const QString& chstr) {
  const QPointF p = toSurface(x, y);
  if (s_->OverlayRecording)
    AppendRecord(s_->OverlayList, s_->OverlayCount, {code(TextRecord), text_angle, x, y, chstr});
  onTarget([&](Primitives& draw) { draw.Text(text_angle, float(p.x()), float(p.y()), chstr); });
  s_->PenWidth = s_->DefaultPenWidth;
}

void Vellum32::DrawRectangle(float xdp1, float ydp1, float xdp2, float ydp2, qint32 BorderColour,
                             qint32 FillColour, qint32 LineWidth) {
  const QPointF p1 = toSurface(xdp1, ydp1);
  const QPointF p2 = toSurface(xdp2, ydp2);
  if (s_->OverlayRecording)
    AppendRecord(s_->OverlayList, s_->OverlayCount,
                 {code(RectangleRecord), xdp1, ydp1, xdp2, ydp2, BorderColour, FillColour, LineWidth});
  const PenWidthScope pen(*s_, LineWidth);
  onTarget([&](Primitives& draw) {
    draw.Rectangle(float(p1.x()), float(p1.y()), float(p2.x()), float(p2.y()), BorderColour, FillColour);
  });
}

void Vellum32::DrawPolygon(qint32 np, const QList<float>& xdpl, const QList<float>& ydpl,
                           qint32 BorderColour, qint32 FillColour, qint32 LineWidth) {
  if (np < 2) return;
  if (xdpl.size() <= qsizetype(np) || ydpl.size() <= qsizetype(np)) throw Vellum32Error(SubscriptOutOfRange);
  QList<float> xs(qsizetype(np) + 1, 0.0f);
  QList<float> ys(qsizetype(np) + 1, 0.0f);
  for (qint32 i = 1; i <= np; ++i) {
    const QPointF p = toSurface(xdpl[i], ydpl[i]);
    xs[i] = float(p.x());
    ys[i] = float(p.y());
  }
  if (s_->OverlayRecording)
    AppendRecord(s_->OverlayList, s_->OverlayCount,
                 {code(PolygonRecord), np, QVariant::fromValue(xdpl), QVariant::fromValue(ydpl),
                  BorderColour, FillColour, LineWidth});
  const PenWidthScope pen(*s_, LineWidth);
  onTarget([&](Primitives& draw) { draw.Polygon(np, xs, ys, BorderColour, FillColour); });
}

void Vellum32::DrawLine(float x1, float y1, float x2, float y2, qint32 LineColour, qint32 LineWidth) {
  const QPointF p1 = toSurface(x1, y1);
  const QPointF p2 = toSurface(x2, y2);
  if (s_->OverlayRecording)
    AppendRecord(s_->OverlayList, s_->OverlayCount,
                 {code(LineRecord), x1, y1, x2, y2, LineColour, LineWidth});
  const PenWidthScope pen(*s_, LineWidth);
  onTarget([&](Primitives& draw) {
    draw.Line(float(p1.x()), float(p1.y()), float(p2.x()), float(p2.y()), LineColour, LineWidth);
  });
}

void Vellum32::ClearGraphics() {
  s_->OverlayCount = 0;
  s_->OverlayList = QList<QVariant>(65);
  s_->OverlayRecording = true;
}

void Vellum32::DrawGraphics() {
  if (s_->OverlayCount <= 0) return;
  s_->OverlayRecording = false;
  // Outside a plot the whole overlay goes onto the picture through one painter.
  std::optional<QPainter> painter;
  std::optional<PainterDevice> device;
  if (!device_ && !s_->StreamCapture) {
    Picture_graph_->fitImage();
    painter.emplace(&Picture_graph_->image());
    device.emplace(*painter, logicalDpiY());
  }
  // Draws on our own painter for the length of the replay, then puts the plot's target
  // back and shows what was drawn, also after a failing record.
  struct Restore {
    Vellum32* self;
    DrawingDevice* target;
    bool ownPainter;
    Restore(Vellum32* s, DrawingDevice* during, bool own) : self(s), target(s->device_), ownPainter(own) {
      self->device_ = during;
    }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;
    ~Restore() {
      self->device_ = target;
      if (ownPainter) self->Picture_graph_->update();
    }
  } restore(this, device ? &*device : device_, painter.has_value());

  const QList<QVariant> list = s_->OverlayList;
  const qint32 count = s_->OverlayCount;
  for (qint32 i = 1; i <= count;) {
    const auto f = [&](int k) { return list.value(i + k).toFloat(); };
    const auto n = [&](int k) { return qint32(list.value(i + k).toInt()); };
    const int recordCode = list.value(i).toInt();
    switch (recordCode) {
      case LineRecord: DrawLine(f(1), f(2), f(3), f(4), n(5), n(6)); break;
      case MarkerRecord: DrawMarker(f(1), f(2), n(3), n(4)); break;
      case PolygonRecord:
        DrawPolygon(n(1), list.value(i + 2).value<QList<float>>(), list.value(i + 3).value<QList<float>>(),
                    n(4), n(5), n(6));
        break;
      case RectangleRecord: DrawRectangle(f(1), f(2), f(3), f(4), n(5), n(6), n(7)); break;
      case TextRecord: DrawText(f(1), f(2), f(3), list.value(i + 4).toString()); break;
      default: break;
    }
    const int length = RecordLength(recordCode);
    if (length == 0) break;  // only the five drawing methods write this list
    i += length;
  }
  s_->OverlayRecording = true;
}

}  // namespace vellum32

#include "overlay/overlay.h"

#include "vellum32/errors.h"

namespace vellum32 {
namespace {

QVariant code(RecordCodes c) { return QVariant::fromValue(qint16(c)); }

void record(ControlState& s, std::initializer_list<QVariant> entries) {
  if (s.OverlayRecording) AppendRecord(s.OverlayList, s.OverlayCount, entries);
}

}  // namespace

QPointF DataToSurface(const ControlState& s, const PlotLayout& layout, double x, double y) {
  return QPointF(XMapOf(layout).transform(AxisTransform(x, AxisScaleOf(s.X))),
                 YMapOf(layout).transform(AxisTransform(y, AxisScaleOf(s.Y))));
}

void OverlayMarker(ControlState& s, const PlotLayout& layout, Primitives& draw, float x, float y, qint32 marker_ind,
                   qint32 LineColour) {
  const QPointF p = DataToSurface(s, layout, x, y);
  record(s, {code(MarkerRecord), x, y, marker_ind, LineColour});
  draw.Context().PenWidth = draw.Context().DefaultPenWidth;
  draw.Marker(float(p.x()), float(p.y()), marker_ind, LineColour);
}

void OverlayText(ControlState& s, const PlotLayout& layout, Primitives& draw, float text_angle, float x, float y,
                 const QString& chstr) {
  const QPointF p = DataToSurface(s, layout, x, y);
  record(s, {code(TextRecord), text_angle, x, y, chstr});
  draw.Context().PenWidth = draw.Context().DefaultPenWidth;
  draw.Text(text_angle, float(p.x()), float(p.y()), chstr);
}

void OverlayRectangle(ControlState& s, const PlotLayout& layout, Primitives& draw, float xdp1, float ydp1, float xdp2,
                      float ydp2, qint32 BorderColour, qint32 FillColour, qint32 LineWidth) {
  const QPointF p1 = DataToSurface(s, layout, xdp1, ydp1);
  const QPointF p2 = DataToSurface(s, layout, xdp2, ydp2);
  record(s, {code(RectangleRecord), xdp1, ydp1, xdp2, ydp2, BorderColour, FillColour, LineWidth});
  draw.Context().PenWidth = LineWidth;
  draw.Rectangle(float(p1.x()), float(p1.y()), float(p2.x()), float(p2.y()), BorderColour, FillColour);
}

void OverlayPolygon(ControlState& s, const PlotLayout& layout, Primitives& draw, qint32 np, const QList<float>& xdpl,
                    const QList<float>& ydpl, qint32 BorderColour, qint32 FillColour, qint32 LineWidth) {
  if (np < 2) return;
  if (xdpl.size() <= qsizetype(np) || ydpl.size() <= qsizetype(np)) throw Vellum32Error(SubscriptOutOfRange);
  QList<float> xs(qsizetype(np) + 1, 0.0f);
  QList<float> ys(qsizetype(np) + 1, 0.0f);
  for (qint32 i = 1; i <= np; ++i) {
    const QPointF p = DataToSurface(s, layout, xdpl[i], ydpl[i]);
    xs[i] = float(p.x());
    ys[i] = float(p.y());
  }
  record(s, {code(PolygonRecord), np, QVariant::fromValue(xdpl), QVariant::fromValue(ydpl), BorderColour, FillColour,
             LineWidth});
  draw.Context().PenWidth = LineWidth;
  draw.Polygon(np, xs, ys, BorderColour, FillColour);
}

void OverlayLine(ControlState& s, const PlotLayout& layout, Primitives& draw, float x1, float y1, float x2, float y2,
                 qint32 LineColour, qint32 LineWidth) {
  const QPointF p1 = DataToSurface(s, layout, x1, y1);
  const QPointF p2 = DataToSurface(s, layout, x2, y2);
  record(s, {code(LineRecord), x1, y1, x2, y2, LineColour, LineWidth});
  draw.Context().PenWidth = LineWidth;
  draw.Line(float(p1.x()), float(p1.y()), float(p2.x()), float(p2.y()), LineColour, LineWidth);
}

void ClearOverlay(ControlState& s) {
  s.OverlayCount = 0;
  s.OverlayList = QList<QVariant>(65);
  s.OverlayRecording = true;
}

void ReplayOverlay(ControlState& s, const PlotLayout& layout, Primitives& draw) {
  if (s.OverlayCount <= 0) return;
  s.OverlayRecording = false;
  const QList<QVariant> list = s.OverlayList;
  const qint32 count = s.OverlayCount;
  for (qint32 i = 1; i <= count;) {
    const auto f = [&](int k) { return list.value(i + k).toFloat(); };
    const auto n = [&](int k) { return qint32(list.value(i + k).toInt()); };
    const int recordCode = list.value(i).toInt();
    switch (recordCode) {
      case LineRecord: OverlayLine(s, layout, draw, f(1), f(2), f(3), f(4), n(5), n(6)); break;
      case MarkerRecord: OverlayMarker(s, layout, draw, f(1), f(2), n(3), n(4)); break;
      case PolygonRecord:
        OverlayPolygon(s, layout, draw, n(1), list.value(i + 2).value<QList<float>>(),
                       list.value(i + 3).value<QList<float>>(), n(4), n(5), n(6));
        break;
      case RectangleRecord: OverlayRectangle(s, layout, draw, f(1), f(2), f(3), f(4), n(5), n(6), n(7)); break;
      case TextRecord: OverlayText(s, layout, draw, f(1), f(2), f(3), list.value(i + 4).toString()); break;
      default: break;
    }
    const int length = RecordLength(recordCode);
    if (length == 0) break;  // only the five drawing methods write this list
    i += length;
  }
  s.OverlayRecording = true;
}

}  // namespace vellum32

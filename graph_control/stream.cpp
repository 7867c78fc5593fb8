// The graphics stream: the plot captured as drawing records, and records played back
// onto a host's painter.
#include <QPainter>

#include "overlay/primitives.h"
#include "render/plot.h"
#include "state/control_state.h"
#include "state/scoped_value.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

QList<QVariant> Vellum32::GraphicsStream(qint32& numgraphics) {
  ControlState& s = *s_;
  s.StreamCount = 0;
  s.StreamList = QList<QVariant>(65);
  s.StreamCapture = true;
  try {
    PlotGraph(s, numgraphics < 0 ? 1 : WholePlot, PlotTarget{}, plotSurface());
  } catch (const std::exception&) {
    // What was captured up to a failure is the stream.
  }
  s.StreamCapture = false;
  numgraphics = s.StreamCount;
  QList<QVariant> stream = s.StreamList;
  s.StreamCount = 0;
  s.StreamList = QList<QVariant>(2);
  return stream;
}

void Vellum32::DrawGraphicsStream(QPainter* devhDC, qint32 numgraphics, const QList<QVariant>& GraphicsStream,
                                  bool devLandscape, float devXsize, float devYsize, float devScale, float devXoff,
                                  float devYoff) {
  if (!devhDC || numgraphics <= 0 || !devhDC->device()) return;
  ControlState& s = *s_;
  s.StreamCount = numgraphics;
  s.StreamList = GraphicsStream;
  s.OverlayRecording = false;
  const ScopedValue<bool> landscape(s.DeviceLandscape, devLandscape);
  const ScopedValue<float> scale(s.DeviceScale, devScale);
  const ScopedValue<float> pageWidth(s.PageWidth, devLandscape ? devYsize : devXsize);
  const ScopedValue<float> pageHeight(s.PageHeight, devLandscape ? devXsize : devYsize);
  const ScopedValue<float> offsetX(s.DeviceOffsetX, devXoff);
  const ScopedValue<float> offsetY(s.DeviceOffsetY, devYoff);
  const ScopedValue<TwipsRect> clip(s.ClipRect, TwipsRect{-100000, 100000, -100000, 100000});
  const ScopedValue<float> perTwip(s.DevicePerTwip, devScale / s.TwipsPerPixelX);
  devhDC->save();
  {
    PainterDevice device(*devhDC, devhDC->device()->logicalDpiX(), devhDC->device()->logicalDpiY());
    Primitives draw(s, &device);
    const QList<QVariant>& list = s.StreamList;
    for (qint32 i = 1; i < numgraphics;) {
      const int code = list.value(i).toInt();
      const int length = RecordLength(code);
      if (length == 0) break;  // its length is unknown, so nothing after it can be read
      const auto f = [&](int k) { return list.value(i + k).toFloat(); };
      const auto n = [&](int k) { return qint32(list.value(i + k).toInt()); };
      try {
        switch (code) {
          case ClipWindowRecord: s.ClipRect = TwipsRect{f(1), f(2), f(3), f(4)}; break;
          case LineRecord: draw.Line(f(1), f(2), f(3), f(4), n(5), n(6)); break;
          case MarkerRecord: draw.Marker(f(1), f(2), n(3), n(4)); break;
          case PolygonRecord: {
            const ScopedValue<qint32> pen(s.PenWidth, n(6));
            draw.Polygon(n(1), list.value(i + 2).value<QList<float>>(), list.value(i + 3).value<QList<float>>(), n(4),
                         n(5));
            break;
          }
          case RectangleRecord: {
            const ScopedValue<qint32> pen(s.PenWidth, n(7));
            draw.Rectangle(f(1), f(2), f(3), f(4), n(5), n(6));
            break;
          }
          case TextRecord: draw.Text(f(1), f(2), f(3), list.value(i + 4).toString()); break;
          default: break;
        }
      } catch (const std::exception&) {
        // A record that cannot be drawn is passed over.
      }
      i += length;
    }
  }
  devhDC->restore();
  s.PenWidth = s.DefaultPenWidth;
  s.OverlayRecording = true;
  s.StreamCount = 0;
  s.StreamList = QList<QVariant>(2);
}

}  // namespace vellum32

// The graphics stream: the plot captured as drawing records, and records played back
// onto a host's painter.
#include <QPainter>

#include "overlay/primitives.h"
#include "render/plot.h"
#include "state/control_state.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

QList<QVariant> Vellum32::GraphicsStream(qint32& numgraphics) {
  ControlState& s = *s_;
  StreamSink sink;
  DrawContext context = ScreenContext(s, s.Layout, font());
  context.Stream = &sink;
  try {
    PlotGraph(s, numgraphics < 0 ? 1 : WholePlot, PlotTarget{}, plotSurface(), context);
  } catch (const std::exception&) {
    // What was captured up to a failure is the stream.
  }
  numgraphics = sink.Count;
  return sink.List;
}

void Vellum32::DrawGraphicsStream(QPainter* devhDC, qint32 numgraphics, const QList<QVariant>& GraphicsStream,
                                  bool devLandscape, float devXsize, float devYsize, float devScale, float devXoff,
                                  float devYoff) {
  if (!devhDC || numgraphics <= 0 || !devhDC->device()) return;
  const ControlState& s = *s_;
  // The host's page: its scale over the screen's pixels, its offsets, and the quarter
  // turn of a landscape page whose width (twips) the X size gives.
  DrawContext context = ScreenContext(s, s.Layout, font());
  context.Mapping = DeviceMapping{devScale / s.Layout.TwipsPerPixelX, devXoff, devYoff, devLandscape,
                                  double(devLandscape ? devYsize : devXsize)};
  context.DeviceScale = devScale;
  context.Clip = TwipsRect{-100000, 100000, -100000, 100000};
  context.TextWeight = 400;  // records carry no weight: the tick labels' normal weight
  devhDC->save();
  {
    PainterDevice device(*devhDC, devhDC->device()->logicalDpiX(), devhDC->device()->logicalDpiY());
    Primitives draw(context, &device);
    for (qint32 i = 1; i < numgraphics;) {
      const int code = GraphicsStream.value(i).toInt();
      const int length = RecordLength(code);
      if (length == 0) break;  // its length is unknown, so nothing after it can be read
      const auto f = [&](int k) { return GraphicsStream.value(i + k).toFloat(); };
      const auto n = [&](int k) { return qint32(GraphicsStream.value(i + k).toInt()); };
      try {
        switch (code) {
          case ClipWindowRecord: context.Clip = TwipsRect{f(1), f(2), f(3), f(4)}; break;
          case LineRecord: draw.Line(f(1), f(2), f(3), f(4), n(5), n(6)); break;
          case MarkerRecord:
            context.PenWidth = context.DefaultPenWidth;
            draw.Marker(f(1), f(2), n(3), n(4));
            break;
          case PolygonRecord:
            context.PenWidth = n(6);
            draw.Polygon(n(1), GraphicsStream.value(i + 2).value<QList<float>>(),
                         GraphicsStream.value(i + 3).value<QList<float>>(), n(4), n(5));
            break;
          case RectangleRecord:
            context.PenWidth = n(7);
            draw.Rectangle(f(1), f(2), f(3), f(4), n(5), n(6));
            break;
          case TextRecord: draw.Text(f(1), f(2), f(3), GraphicsStream.value(i + 4).toString()); break;
          default: break;
        }
      } catch (const std::exception&) {
        // A record that cannot be drawn is passed over.
      }
      i += length;
    }
  }
  devhDC->restore();
}

}  // namespace vellum32

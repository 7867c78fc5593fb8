#include "render/output.h"

#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <new>

#include "state/control_state.h"
#include "state/variant_convert.h"
#include "vellum32/errors.h"

namespace vellum32 {
namespace {

using convert::divide;
using convert::roundToLong;

// Paper margin of the fitted plot, twips.
constexpr double PaperMargin = 200;
constexpr double TwipsPerInch = 1440;
constexpr double TwipsPerCentimetre = 567;
constexpr int SvgUnitsPerInch = 300;
// The SVG frame's size is given in 0.01 mm, that is 2540 units to the inch.
constexpr int FrameUnitsPerInch = 2540;

// A printer page: every line at least `least` dots wide, the frame's pen, so that the
// series are no fainter on paper than the frame.
class PaperDevice final : public PainterDevice {
public:
  PaperDevice(QPainter& painter, double dpiX, double dpiY, int least)
      : PainterDevice(painter, dpiX, dpiY), least_(least) {}
  void Line(QPoint from, QPoint to, const QColor& colour, int width) override {
    PainterDevice::Line(from, to, colour, std::max(width, least_));
  }
  void Lines(const QLine* lines, int count, const QColor& colour, int width) override {
    PainterDevice::Lines(lines, count, colour, std::max(width, least_));
  }
  void PolygonOutline(const QPolygon& points, const QColor& colour, int width) override {
    PainterDevice::PolygonOutline(points, colour, std::max(width, least_));
  }

private:
  int least_;
};

}  // namespace

PrintMapping PrintMappingFor(bool landscape, QSizeF printableTwips, QSizeF printerDpi, double screenDpiX,
                             const PlotSurface& surface) {
  const double wp = printableTwips.width();
  const double hp = printableTwips.height();
  const double wg = surface.PictureWidth;
  const double tx = surface.ScreenTwipsPerPixelX;
  const double ty = surface.ScreenTwipsPerPixelY;
  PrintMapping m;
  const double scale = landscape ? divide(hp - ty - PaperMargin, wg - tx) : divide(wp - tx - PaperMargin, wg + ty);
  m.DeviceScale = convert::toSingle(scale);
  m.PageWidth = float(wp / m.DeviceScale - PaperMargin);
  m.PageHeight = float(hp / m.DeviceScale - PaperMargin);
  m.DeviceOffsetX = float(PaperMargin / 2 * printerDpi.width() / TwipsPerInch);
  m.DeviceOffsetY = float(PaperMargin / 2 * printerDpi.height() / TwipsPerInch);
  m.DefaultPenWidth = std::max(roundToLong(divide(printerDpi.width(), screenDpiX)), qint32(MinimumPaperLineWidth));
  return m;
}

bool PrintPlot(ControlState& s, QPrinter& printer, bool landscape, double screenDpiX, const PlotSurface& surface) {
  printer.setPageOrientation(QPageLayout::Portrait);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  painter.setBackgroundMode(Qt::TransparentMode);
  const double dpiX = printer.logicalDpiX();
  const double dpiY = printer.logicalDpiY();
  const QSizeF printable(printer.width() * TwipsPerInch / dpiX, printer.height() * TwipsPerInch / dpiY);
  const PrintMapping m = PrintMappingFor(landscape, printable, QSizeF(dpiX, dpiY), screenDpiX, surface);
  DrawContext context = ScreenContext(s, s.Layout, surface.Font);
  context.Mapping = DeviceMapping{1, m.DeviceOffsetX, m.DeviceOffsetY, landscape, m.PageWidth};
  context.DeviceScale = m.DeviceScale;
  context.DefaultPenWidth = context.PenWidth = m.DefaultPenWidth;
  PaperDevice device(painter, dpiX, dpiY, m.DefaultPenWidth);
  PlotTarget target;
  target.Device = &device;
  PlotGraph(s, WholePlot, target, surface, context);
  return painter.end();
}

QSize SvgFrame(QSizeF controlTwips) {
  return QSize(roundToLong(controlTwips.width() / TwipsPerCentimetre * 1000),
               roundToLong(controlTwips.height() / TwipsPerCentimetre * 1000));
}

QSize SvgDrawingExtent(QSize frame) {
  return QSize(roundToLong(double(frame.width()) * SvgUnitsPerInch / FrameUnitsPerInch),
               roundToLong(double(frame.height()) * SvgUnitsPerInch / FrameUnitsPerInch));
}

SvgOutcome ExportSvg(ControlState& s, const QString& path, QSizeF controlTwips, const PlotSurface& surface) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return {SvgOutcome::CreationFailed, file.errorString()};
  try {
    const QSize frame = SvgFrame(controlTwips);
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    // The size in frame units at their resolution gives the page size in millimetres;
    // the view box holds the drawing units.
    svg.setResolution(FrameUnitsPerInch);
    svg.setSize(frame);
    svg.setViewBox(QRect(QPoint(0, 0), SvgDrawingExtent(frame)));
    svg.setTitle(QStringLiteral("Tessaro"));
    svg.setDescription(QStringLiteral("EMF output"));
    QPainter painter;
    if (!painter.begin(&svg)) return {SvgOutcome::CreationFailed, file.errorString()};
    painter.setBackgroundMode(Qt::TransparentMode);
    DrawContext context = ScreenContext(s, s.Layout, surface.Font);
    context.HighResolution = true;
    {
      PainterDevice device(painter, SvgUnitsPerInch, SvgUnitsPerInch);
      PlotTarget target;
      target.Device = &device;
      PlotGraph(s, WholePlot, target, surface, context);
    }
    painter.end();
  } catch (const Vellum32Error& e) {
    return {SvgOutcome::Failed, e.Description()};
  } catch (const std::bad_alloc&) {
    return {SvgOutcome::Failed, Vellum32Error(OutOfMemory).Description()};
  }
  if (!file.commit()) return {SvgOutcome::Failed, file.errorString()};
  return {};
}

}  // namespace vellum32

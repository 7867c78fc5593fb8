#include "render/plot.h"

#include <new>

#include "axes/axis_steps.h"
#include "overlay/overlay.h"
#include "overlay/primitives.h"
#include "render/legend.h"
#include "render/series.h"
#include "vellum32/errors.h"

namespace vellum32 {
namespace {

// Text in TitleFont's face and size (the surface's font when there is none), bold; the
// default pen; copy pen.
void resetDrawingAttributes(const ControlState& s, DrawContext& c, const QFont& surfaceFont) {
  c.TextFont = s.TitleFont.value_or(surfaceFont);
  c.TextWeight = 700;
  c.PenWidth = c.DefaultPenWidth;
  c.NotXor = false;
}

PlotLayout plot(ControlState& s, qint32 mode, const PlotTarget& target, const PlotSurface& surface,
                DrawContext& context) {
  s.OverlayRecording = false;
  DrawingDevice* device = target.Device;
  if (device && target.ClearColour.isValid()) device->Clear(target.ClearColour);

  AxisLayout layout;
  PlotLayout& p = layout.Plot;
  p = s.Layout;
  p.TwipsPerPixelX = device ? float(1440.0 / device->DotsPerInchX()) : surface.ScreenTwipsPerPixelX;
  p.TwipsPerPixelY = device ? float(1440.0 / device->DotsPerInchY()) : surface.ScreenTwipsPerPixelY;
  p.ClipRect = TwipsRect{0, surface.PictureWidth - p.TwipsPerPixelX, 0, surface.PictureHeight - p.TwipsPerPixelY};
  context.Clip = p.ClipRect;
  // In singles, as the mapping has always been worked out.
  context.Mapping.perTwip =
      context.HighResolution ? context.DeviceScale * 300 / 1440 : context.DeviceScale / p.TwipsPerPixelX;
  context.MarkerSize = s.MarkerSize;
  Primitives draw(context, device);
  draw.ClipWindow();

  const SeriesStore& store = s.Store;
  if (store.GroupCount() <= 0 || store.SeriesCount() <= 0 || store.MaxPoints() <= 0) {
    ReplayOverlay(s, p, draw);
    return p;
  }
  layout.PictureWidth = surface.PictureWidth;
  layout.PictureHeight = surface.PictureHeight;
  layout.ScreenTwipsPerPixelX = surface.ScreenTwipsPerPixelX;
  layout.ScreenTwipsPerPixelY = surface.ScreenTwipsPerPixelY;
  SetRightLimit(s, layout);
  resetDrawingAttributes(s, context, surface.Font);
  const FontMeasure measure(surface.Font, surface.ScreenTwipsPerPixelX, surface.ScreenTwipsPerPixelY);
  if (mode != WholePlot) {
    DrawLegend(s, draw, layout, measure, true);
    return p;
  }
  if (s.DisplayAxes && s.DisplayLegend) DrawLegend(s, draw, layout, measure, false);
  PlotAxes(s, layout, draw, measure);
  p.PickToleranceX = p.PickToleranceY = 100;
  DrawImageLayer(s, p, draw);
  DrawSeries(s, p, draw, target.ScreenPicture);
  DrawSelectionMark(s, p, draw);
  ReplayOverlay(s, p, draw);
  return p;
}

}  // namespace

PlotLayout PlotGraph(ControlState& s, qint32 mode, const PlotTarget& target, const PlotSurface& surface,
                     DrawContext context) {
  PlotLayout layout;
  try {
    layout = plot(s, mode, target, surface, context);
  } catch (const Vellum32Error& e) {
    if (e.Number() == SubscriptOutOfRange) {
      // A store that does not fit its indices ends the drawing without a word.
      s.OverlayRecording = true;
      return s.Layout;
    }
    throw PlottingFailure(e, QStringLiteral("graph"));
  } catch (const std::bad_alloc&) {
    throw PlottingFailure(Vellum32Error(OutOfMemory), QStringLiteral("graph"));
  }
  s.OverlayRecording = true;
  return layout;
}

DrawContext ScreenContext(const ControlState& s, const PlotLayout& layout, const QFont& surfaceFont) {
  DrawContext c;
  c.Mapping.perTwip = layout.TwipsPerPixelX > 0 ? 1 / layout.TwipsPerPixelX : 1;
  c.Clip = layout.ClipRect;
  c.MarkerSize = s.MarkerSize;
  resetDrawingAttributes(s, c, surfaceFont);
  return c;
}

}  // namespace vellum32

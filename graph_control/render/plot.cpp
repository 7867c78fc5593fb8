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
// pen width of the target; copy pen.
void resetDrawingAttributes(ControlState& s, const QFont& surfaceFont) {
  s.TextFont = s.TitleFont.value_or(surfaceFont);
  s.TextWeight = 700;
  s.PenWidth = s.DefaultPenWidth;
  s.NotXorMode = false;
}

void plot(ControlState& s, qint32 mode, const PlotTarget& target, const PlotSurface& surface) {
  s.OverlayRecording = false;
  DrawingDevice* device = target.Device;
  if (!s.MetafileOutput && device && target.ClearColour.isValid()) device->Clear(target.ClearColour);

  s.TwipsPerPixelX = device ? float(1440.0 / device->DotsPerInchX()) : surface.ScreenTwipsPerPixelX;
  s.TwipsPerPixelY = device ? float(1440.0 / device->DotsPerInchY()) : surface.ScreenTwipsPerPixelY;
  Primitives draw(s, device);
  s.ClipRect = TwipsRect{0, surface.PictureWidth - s.TwipsPerPixelX, 0, surface.PictureHeight - s.TwipsPerPixelY};
  draw.ClipWindow();
  s.DevicePerTwip = s.HighResolution ? s.DeviceScale * 300 / 1440 : s.DeviceScale / s.TwipsPerPixelX;

  const SeriesStore& store = s.Store;
  if (store.GroupCount() <= 0 || store.SeriesCount() <= 0 || store.MaxPoints() <= 0) {
    ReplayOverlay(s, draw);
    return;
  }
  AxisLayout layout;
  layout.PictureWidth = surface.PictureWidth;
  layout.PictureHeight = surface.PictureHeight;
  layout.ScreenTwipsPerPixelX = surface.ScreenTwipsPerPixelX;
  layout.ScreenTwipsPerPixelY = surface.ScreenTwipsPerPixelY;
  SetRightLimit(s, layout);
  resetDrawingAttributes(s, surface.Font);
  const FontMeasure measure(surface.Font, surface.ScreenTwipsPerPixelX, surface.ScreenTwipsPerPixelY);
  if (mode != WholePlot) {
    DrawLegend(s, draw, layout, measure, true);
    return;
  }
  if (s.DisplayAxes && s.DisplayLegend) DrawLegend(s, draw, layout, measure, false);
  PlotAxes(s, layout, draw, measure);
  s.PickToleranceX = s.PickToleranceY = 100;
  DrawImageLayer(s, draw);
  DrawSeries(s, draw, target.ScreenPicture);
  DrawSelectionMark(s, draw);
  ReplayOverlay(s, draw);
}

}  // namespace

void PlotGraph(ControlState& s, qint32 mode, const PlotTarget& target, const PlotSurface& surface) {
  try {
    plot(s, mode, target, surface);
  } catch (const Vellum32Error& e) {
    if (e.Number() == SubscriptOutOfRange) {
      // A store that does not fit its indices ends the drawing without a word.
      s.OverlayRecording = true;
      return;
    }
    throw PlottingFailure(e, QStringLiteral("graph"));
  } catch (const std::bad_alloc&) {
    throw PlottingFailure(Vellum32Error(OutOfMemory), QStringLiteral("graph"));
  }
  s.OverlayRecording = true;
}

}  // namespace vellum32

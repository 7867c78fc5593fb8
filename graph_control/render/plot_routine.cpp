// The plot routine of the control, as far as the layers below the series go: the cleared
// surface, the device mapping, the axes and the overlay.
#include <QFontMetricsF>
#include <QPainter>

#include "picture_box.h"
#include "vellum32/axis_steps.h"
#include "vellum32/vellum32.h"

namespace vellum32 {
namespace {

// Text sizes with the control surface's font, in twips of the screen.
class SurfaceMeasure : public TextMeasure {
public:
  SurfaceMeasure(const QFont& font, double twipsPerPixelX, double twipsPerPixelY)
      : metrics_(font), tx_(twipsPerPixelX), ty_(twipsPerPixelY) {}
  double TextWidth(const QString& text) const override { return metrics_.horizontalAdvance(text) * tx_; }
  double TextHeight(const QString&) const override { return metrics_.height() * ty_; }

private:
  QFontMetricsF metrics_;
  double tx_;
  double ty_;
};

// Sets a pointer for the life of a scope and puts the old value back.
template <class T>
class Swap {
public:
  Swap(T& field, T value) : field_(field), saved_(field) { field_ = value; }
  ~Swap() { field_ = saved_; }
  Swap(const Swap&) = delete;
  Swap& operator=(const Swap&) = delete;

private:
  T& field_;
  T saved_;
};

}  // namespace

void Vellum32::resetDrawingAttributes() {
  // The drawing font is TitleFont's face and size; a control that was never given
  // one draws with its own font.
  s_->TextFont = s_->TitleFont.value_or(font());
  s_->TextWeight = 700;
  s_->PenWidth = s_->DefaultPenWidth;
  s_->NotXorMode = false;
}

void Vellum32::drawPlot(bool axesLayer) {
  s_->OverlayRecording = false;
  if (!s_->MetafileOutput) clearPicture();
  QPainter painter(&Picture_graph_->image());
  PainterDevice device(painter, logicalDpiY());
  Swap<DrawingDevice*> target(device_, &device);
  Primitives draw(*s_, &device);

  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  s_->TwipsPerPixelX = float(tx);
  s_->TwipsPerPixelY = float(ty);
  AxisLayout layout;
  layout.PictureWidth = float(Picture_graph_->width() * tx);
  layout.PictureHeight = float(Picture_graph_->height() * ty);
  layout.ScreenTwipsPerPixelX = float(tx);
  layout.ScreenTwipsPerPixelY = float(ty);
  s_->ClipRect = TwipsRect{0, layout.PictureWidth - s_->TwipsPerPixelX, 0,
                           layout.PictureHeight - s_->TwipsPerPixelY};
  draw.ClipWindow();
  s_->DevicePerTwip = s_->HighResolution ? s_->DeviceScale * 300 / 1440
                                         : s_->DeviceScale / s_->TwipsPerPixelX;
  try {
    const SeriesStore& store = s_->Store;
    if (store.GroupCount() <= 0 || store.SeriesCount() <= 0 || store.MaxPoints() <= 0) {
      DrawGraphics();
    } else if (axesLayer) {
      SetRightLimit(*s_, layout);
      resetDrawingAttributes();
      const SurfaceMeasure measure(font(), tx, ty);
      vellum32::PlotAxes(*s_, layout, draw, measure);
      DrawGraphics();
    }
  } catch (const Vellum32Error& e) {
    Picture_graph_->update();
    if (e.Number() == SubscriptOutOfRange) {
      // A store that does not fit its indices ends the drawing without a word.
      s_->OverlayRecording = true;
      return;
    }
    throw PlottingFailure(e, QStringLiteral("graph"));
  }
  s_->OverlayRecording = true;
  Picture_graph_->update();
}

void Vellum32::Refresh() {
  layoutChildren();
  s_->MetafileOutput = false;
  drawPlot(false);
}

void Vellum32::PlotAxes() {
  layoutChildren();
  s_->MetafileOutput = false;
  drawPlot(true);
}

void Vellum32::onTarget(const std::function<void(Primitives&)>& paint) {
  if (device_ || s_->StreamCapture) {
    Primitives draw(*s_, device_);
    paint(draw);
    return;
  }
  Picture_graph_->fitImage();
  QPainter painter(&Picture_graph_->image());
  PainterDevice device(painter, logicalDpiY());
  Primitives draw(*s_, &device);
  paint(draw);
  painter.end();
  Picture_graph_->update();
}

}  // namespace vellum32

#include "state/child_layout.h"

namespace vellum32 {

ChildLayout ComputeChildLayout(double w, double h, double buttonWidth, double buttonHeight, bool doZoom) {
  ChildLayout layout;
  layout.ZoomVisible = doZoom;
  if (!doZoom) {
    layout.Picture_graph = QRectF(0, 0, w, h);
    return layout;
  }
  const double W = w - buttonWidth;
  const double H = h - buttonHeight;
  layout.Picture_graph = QRectF(0, 0, W, H);
  // Bottom edge: zoom bar, pan bar, location strip.
  layout.HScroll_zoom = QRectF(0, H, W / 3, buttonHeight);
  layout.HScroll_pan = QRectF(W / 3, H, W / 3, buttonHeight);
  layout.Picture_x_location = QRectF(2 * W / 3 - 10, H, W / 3, buttonHeight);
  // Right edge: the same, upright.
  layout.VScroll_zoom = QRectF(W, 0, buttonWidth, H / 3);
  layout.VScroll_pan = QRectF(W, H / 3, buttonWidth, H / 3);
  layout.Picture_y_location = QRectF(W, 2 * H / 3 - 10, buttonWidth, H / 3);
  layout.Command_reset = QRectF(W, H, buttonWidth, buttonHeight);
  return layout;
}

}  // namespace vellum32

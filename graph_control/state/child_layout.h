#pragma once

#include <QRectF>

namespace vellum32 {

// Placement of the control's children, in twips inside the control's inner area.
// Children that the layout hides get an empty rectangle.
struct ChildLayout {
  bool ZoomVisible = false;  // the bars, the reset button and the location strips
  QRectF Picture_graph;
  QRectF HScroll_zoom;
  QRectF HScroll_pan;
  QRectF Picture_x_location;
  QRectF VScroll_zoom;
  QRectF VScroll_pan;
  QRectF Picture_y_location;
  QRectF Command_reset;
};

// Lays the children out in an inner area of w x h twips. With the zoom strip shown,
// the reset button of buttonWidth x buttonHeight sits in the bottom right corner, the
// picture takes the rest, and the bars and location strips share the bottom and right
// edges in thirds. Without it the picture takes the whole area.
ChildLayout ComputeChildLayout(double w, double h, double buttonWidth, double buttonHeight, bool doZoom);

}  // namespace vellum32

#pragma once
// The plot routine: one drawing of the whole plot (or of the legend alone) from the
// control's state onto an explicit target.
#include <QColor>
#include <QFont>

#include "overlay/primitives.h"
#include "state/control_state.h"
#include "vellum32/drawing.h"

namespace vellum32 {

// What the layout is made from: always the control's own plot surface, whatever the
// target (a printed page keeps the proportions of the picture on the screen).
struct PlotSurface {
  float PictureWidth = 0;  // Picture_graph, twips
  float PictureHeight = 0;
  float ScreenTwipsPerPixelX = 15;
  float ScreenTwipsPerPixelY = 15;
  QFont Font;  // the control surface's font: measures every text
};

// Where the drawing goes.
struct PlotTarget {
  // Null: nothing is drawn (a graphics stream is being captured).
  DrawingDevice* Device = nullptr;
  // Valid for the control's own picture: the device is cleared to it first.
  QColor ClearColour;
  // The device is the screen picture: dense series may be drawn as pixel-column spans.
  bool ScreenPicture = false;
};

// Mode 0 draws the whole plot; any other value only the legend.
inline constexpr qint32 WholePlot = 0;

// Draws, in this order: the cleared surface, the legend, the axes with title and labels,
// the host's image, the series, the selection mark and the overlay, through the context
// (its device mapping's offsets, page and scale, its default pen, its stream sink); the
// mapping's device units per twip come from the target's resolution here. An empty store
// shows only the overlay. Returns the layout, starting from the control's kept layout for
// what this drawing does not lay out; the control keeps it only for its own picture.
// Overlay recording is off while drawing. A subscript error ends the drawing silently;
// any other error n raises 32007 "Error n plotting graph: ..." and leaves overlay
// recording off.
PlotLayout PlotGraph(ControlState& s, qint32 mode, const PlotTarget& target, const PlotSurface& surface,
                     DrawContext context);

// The context of a drawing on the screen picture: its mapping (no offset, upright, one
// device unit per pixel of `layout`), the layout's clip window, a one-unit pen and the
// title font (the surface's font without one).
DrawContext ScreenContext(const ControlState& s, const PlotLayout& layout, const QFont& surfaceFont);

}  // namespace vellum32

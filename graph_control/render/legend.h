#pragma once
// The legend: the series with a legend text, each with a sample of its line and marker,
// in a column at the right of the picture.
#include "axes/axis_steps.h"
#include "overlay/primitives.h"
#include "state/control_state.h"

namespace vellum32 {

// Beside the plot (legendOnly false) the column stands right of the widest text and
// RightLimit moves to 180 twips left of it; legend only, it stands at 240 twips. Draws
// nothing and keeps RightLimit when no series has a text. A failure other than a
// subscript error (which ends the legend silently) raises 32007 "Error n plotting legend".
void DrawLegend(const ControlState& s, Primitives& draw, AxisLayout& layout, const TextMeasure& measure,
                bool legendOnly);

}  // namespace vellum32

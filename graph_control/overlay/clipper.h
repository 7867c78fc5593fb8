#pragma once
// The region code of a point and the line clipper (Cohen-Sutherland) against a window
// given as left, right, top, bottom.
#include "state/control_state.h"

namespace vellum32 {

// 1 left of the window, else 2 right of it; plus 4 above it, else 8 below it; 0 inside
// (edges count as inside).
int RegionCode(float x, float y, const TwipsRect& window);

// Clips the segment to the window. Returns -1 when it lies wholly outside (the ends are
// then left as they were); otherwise 0, plus 1 when the first end was moved and 2 when
// the second was, with the ends moved onto the window. An end outside the window is
// moved onto the edge named by the lowest bit of its region code, the first end before
// the second.
int ClipLine(float& x1, float& y1, float& x2, float& y2, const TwipsRect& window);

}  // namespace vellum32

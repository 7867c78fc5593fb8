#include "overlay/clipper.h"

namespace vellum32 {

int RegionCode(float x, float y, const TwipsRect& w) {
  int code = 0;
  if (x < w.Left) {
    code = 1;
  } else if (x > w.Right) {
    code = 2;
  }
  if (y < w.Top) {
    code += 4;
  } else if (y > w.Bottom) {
    code += 8;
  }
  return code;
}

int ClipLine(float& x1, float& y1, float& x2, float& y2, const TwipsRect& w) {
  float ax = x1, ay = y1, bx = x2, by = y2;
  int c1 = RegionCode(ax, ay, w);
  int c2 = RegionCode(bx, by, w);
  int moved = 0;
  // Each pass puts one end on an edge, so four passes per end are always enough.
  for (int pass = 0; pass < 16; ++pass) {
    if (c1 == 0 && c2 == 0) {
      x1 = ax;
      y1 = ay;
      x2 = bx;
      y2 = by;
      return moved;
    }
    if ((c1 & c2) != 0) return -1;
    const bool first = c1 != 0;
    const int code = first ? c1 : c2;
    float x = 0, y = 0;
    if (code & 1) {
      x = w.Left;
      y = ay + (by - ay) * (w.Left - ax) / (bx - ax);
    } else if (code & 2) {
      x = w.Right;
      y = ay + (by - ay) * (w.Right - ax) / (bx - ax);
    } else if (code & 4) {
      y = w.Top;
      x = ax + (bx - ax) * (w.Top - ay) / (by - ay);
    } else {
      y = w.Bottom;
      x = ax + (bx - ax) * (w.Bottom - ay) / (by - ay);
    }
    if (first) {
      ax = x;
      ay = y;
      c1 = RegionCode(ax, ay, w);
      moved |= 1;
    } else {
      bx = x;
      by = y;
      c2 = RegionCode(bx, by, w);
      moved |= 2;
    }
  }
  return -1;  // rounding kept an end outside: treat as not visible
}

}  // namespace vellum32

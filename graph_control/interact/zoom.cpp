#include "interact/zoom.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "overlay/clipper.h"
#include "overlay/primitives.h"
#include "series/axis_transform.h"
#include "state/variant_convert.h"

namespace vellum32 {
namespace {

// The current and home limits of one axis.
struct AxisLimits {
  float& Min;
  float& Max;
  float HomeMin;
  float HomeMax;
};

AxisLimits limitsOf(ControlState& s, bool yAxis) {
  if (yAxis) return {s.Y.Min, s.Y.Max, s.Y.HomeMin, s.Y.HomeMax};
  return {s.X.Min, s.X.Max, s.X.HomeMin, s.X.HomeMax};
}

// The shown span against the home extent.
double spanRatio(const AxisLimits& a) { return convert::divide(double(a.Max - a.Min), double(a.HomeMax - a.HomeMin)); }

// Axis units back to a data value: the value itself on a linear axis.
double dataValue(double u, AxisTypes type, float cutoff, float base) {
  return type == AxisTypes::linear ? u : InverseAxisTransform(u, cutoff, base);
}

// Whether a zoom by `factor` is allowed by the bounds of the zoom steps.
bool withinBounds(double ratio, double factor) {
  return !((factor > 1 && ratio > 1000) || (factor < 1 && ratio <= 0.001));
}

}  // namespace

bool ZoomStep(ControlState& s, bool yAxis, int value) {
  AxisLimits a = limitsOf(s, yAxis);
  const double ratio = spanRatio(a);
  if ((ratio > 1000 && value < 0) || (ratio <= 0.001 && value > 0)) return false;
  const float span = a.Max - a.Min;
  const float d = value < 0 ? -span / 6 : span / 8;
  const qint32 type = yAxis ? qint32(s.ZoomYType) : qint32(s.ZoomXType);
  if (type == 1) {  // about the centre
    a.Min += d;
    a.Max -= d;
  } else if (yAxis ? type == qint32(ZoomYTypes::ZoomYBottom) : type == qint32(ZoomXTypes::ZoomXLeft)) {
    a.Max -= 2 * d;  // the lower (left) edge stays
  } else {
    a.Min += 2 * d;
  }
  return true;
}

void PanStep(ControlState& s, bool yAxis, int value) {
  AxisLimits a = limitsOf(s, yAxis);
  float step = (a.Max - a.Min) / 4;
  // On the upright bar the lower arrow (1) moves the window down.
  if (yAxis ? value >= 1 : value < 0) step = -step;
  a.Min += step;
  a.Max += step;
}

void ResetLimits(ControlState& s) {
  s.X.Min = s.X.HomeMin;
  s.X.Max = s.X.HomeMax;
  s.Y.Min = s.Y.HomeMin;
  s.Y.Max = s.Y.HomeMax;
}

bool ZoomAbout(ControlState& s, float x, float y, double factor) {
  if (!(s.Layout.XScale > 0) || !(s.Layout.YScale > 0)) return false;
  const AxisRange v = s.Layout.ViewRange;
  bool changed = false;
  const auto zoomAxis = [&](bool yAxis, double pointer, double uMin, double uMax, AxisTypes type, float cutoff,
                            float base) {
    AxisLimits a = limitsOf(s, yAxis);
    if (!(a.HomeMax > a.HomeMin) || !withinBounds(spanRatio(a), factor)) return;
    const float min = convert::toSingle(dataValue(pointer - (pointer - uMin) * factor, type, cutoff, base));
    const float max = convert::toSingle(dataValue(pointer + (uMax - pointer) * factor, type, cutoff, base));
    if (!(min < max)) return;
    a.Min = min;
    a.Max = max;
    changed = true;
  };
  const QPointF pointer = AxisUnitsAt(s, x, y);
  zoomAxis(false, pointer.x(), v.XMin, v.XMax, s.X.Type, s.X.Cutoff, s.X.BaseLog);
  zoomAxis(true, pointer.y(), v.YMin, v.YMax, s.Y.Type, s.Y.Cutoff, s.Y.BaseLog);
  return changed;
}

QPointF AxisUnitsAt(const ControlState& s, float x, float y) {
  if (!(s.Layout.XScale > 0) || !(s.Layout.YScale > 0)) return QPointF();
  return QPointF(XMapOf(s.Layout).invTransform(x), YMapOf(s.Layout).invTransform(y));
}

void KeepUnderPoint(ControlState& s, float x, float y, QPointF units) {
  if (!(s.Layout.XScale > 0) || !(s.Layout.YScale > 0)) return;
  const QPointF shift = units - AxisUnitsAt(s, x, y);
  const AxisRange v = s.Layout.ViewRange;
  const float xMin = convert::toSingle(dataValue(v.XMin + shift.x(), s.X.Type, s.X.Cutoff, s.X.BaseLog));
  const float xMax = convert::toSingle(dataValue(v.XMax + shift.x(), s.X.Type, s.X.Cutoff, s.X.BaseLog));
  const float yMin = convert::toSingle(dataValue(v.YMin + shift.y(), s.Y.Type, s.Y.Cutoff, s.Y.BaseLog));
  const float yMax = convert::toSingle(dataValue(v.YMax + shift.y(), s.Y.Type, s.Y.Cutoff, s.Y.BaseLog));
  if (xMin < xMax) {
    s.X.Min = xMin;
    s.X.Max = xMax;
  }
  if (yMin < yMax) {
    s.Y.Min = yMin;
    s.Y.Max = yMax;
  }
}

bool ZoomToRectangle(ControlState& s, const QRectF& twips) {
  if (!(s.Layout.XScale > 0) || !(s.Layout.YScale > 0)) return false;
  const QRectF r = twips.normalized();
  if (!(r.width() > 0) || !(r.height() > 0)) return false;
  const ScaleMap xMap = XMapOf(s.Layout), yMap = YMapOf(s.Layout);
  const double x1 = xMap.invTransform(r.left());
  const double x2 = xMap.invTransform(r.right());
  const double y1 = yMap.invTransform(r.bottom());
  const double y2 = yMap.invTransform(r.top());
  const float xMin = convert::toSingle(dataValue(x1, s.X.Type, s.X.Cutoff, s.X.BaseLog));
  const float xMax = convert::toSingle(dataValue(x2, s.X.Type, s.X.Cutoff, s.X.BaseLog));
  const float yMin = convert::toSingle(dataValue(y1, s.Y.Type, s.Y.Cutoff, s.Y.BaseLog));
  const float yMax = convert::toSingle(dataValue(y2, s.Y.Type, s.Y.Cutoff, s.Y.BaseLog));
  // A band too small for single limits to tell its edges apart changes nothing.
  if (!(xMin < xMax) || !(yMin < yMax)) return false;
  s.X.Min = xMin;
  s.X.Max = xMax;
  s.Y.Min = yMin;
  s.Y.Max = yMax;
  return true;
}

bool ZoomToBand(ControlState& s, const QRectF& band, double twipsPerPixelX, double twipsPerPixelY) {
  constexpr double SmallestBand = 3;  // pixels
  if (band.width() < SmallestBand * twipsPerPixelX || band.height() < SmallestBand * twipsPerPixelY) return false;
  return ZoomToRectangle(s, band);
}

PointerPosition PointerAt(const ControlState& s, float x, float y) {
  PointerPosition at;
  if (!(s.Layout.XScale > 0) || !(s.Layout.YScale > 0)) return at;
  const TwipsRect& r = s.Layout.PlotRect;
  double xp = XMapOf(s.Layout).invTransform(x);
  double yp = YMapOf(s.Layout).invTransform(y);
  if (s.X.Type == AxisTypes::LogLinear) xp = InverseAxisTransform(xp, s.X.Cutoff, s.X.BaseLog);
  if (s.Y.Type == AxisTypes::LogLinear) yp = InverseAxisTransform(yp, s.Y.Cutoff, s.Y.BaseLog);
  at.inview = RegionCode(x, y, r);
  at.xp = convert::toSingle(xp);
  at.yp = convert::toSingle(yp);
  return at;
}

std::optional<PickedPoint> NearestPoint(const ControlState& s, float x, float y) {
  const SeriesStore& store = s.Store;
  const ScaleMap xMap = XMapOf(s.Layout), yMap = YMapOf(s.Layout);
  double best = 1e32;
  PickedPoint picked;
  for (qint32 g = store.GroupCount(); g >= 1; --g) {
    const qint32 count = std::min(store.PointCount(g), store.MaxPoints());
    const double* xs = store.xRow(g);
    for (qint32 series = store.LastSeries(g); series >= store.FirstSeries(g); --series) {
      // Only series 1..128 carry the selectable option; the others are never picked.
      if (series > MaxSeries || !s.Options.SeriesSelectable[std::size_t(series)]) continue;
      const double* ys = store.yRow(series);
      for (qint32 p = 1; p <= count; ++p) {
        if (ys[p] <= -1e30) continue;
        const double px = xMap.transform(xs[p - 1]);
        const double py = yMap.transform(ys[p]);
        const double distance = std::hypot(x - px, y - py);
        if (distance < best) {
          best = distance;
          picked = PickedPoint{g, series, p, px, py};
        }
      }
    }
  }
  if (best == 1e32 || std::fabs(x - picked.X) >= s.Layout.PickToleranceX ||
      std::fabs(y - picked.Y) >= s.Layout.PickToleranceY)
    return std::nullopt;
  return picked;
}

namespace {

// A box from (x1, y1) to (x2, y2) in twips of the strip, both corners painted.
void fillBox(QPainter& painter, double tx, double ty, double x1, double y1, double x2, double y2, qint32 colour) {
  const QColor c = ColourOf(colour);
  if (!c.isValid()) return;
  const QPoint a(int(std::lround(x1 / tx)), int(std::lround(y1 / ty)));
  const QPoint b(int(std::lround(x2 / tx)), int(std::lround(y2 / ty)));
  painter.fillRect(QRect(a, b).normalized(), c);
}

// The shown window's share of the home extent, as the zoom percentages give it.
struct WindowShare {
  bool Valid = false;
  double A = 0;
  double B = 0;
};

WindowShare shareOf(float min, float max, float homeMin, float homeMax, float& centre, float& range) {
  if (!(homeMin < homeMax)) {
    centre = 50;
    range = 100;
    return {};
  }
  const double home = double(homeMax) - double(homeMin);
  WindowShare w{true, (double(min) - homeMin) / home, (double(max) - homeMin) / home};
  centre = float((w.A + w.B) * 50);
  range = float((double(max) - double(min)) * 100 / home);
  w.A = std::max(w.A, 0.0);
  w.B = std::min(w.B, 1.0);
  return w;
}

}  // namespace

void DrawZoomIndicatorX(ControlState& s, QImage& strip, double tx, double ty) {
  QPainter painter(&strip);
  const double w = strip.width() * tx;
  const double h = strip.height() * ty;
  if (s.ZoomXSplit < 1) {
    fillBox(painter, tx, ty, 0, 0, w, h, s.ZoomXSplitRight);
  } else {
    const double split = s.ZoomXSplit < 100 ? w * s.ZoomXSplit / 100 : w;
    fillBox(painter, tx, ty, 0, 0, split, h, s.ZoomXSplitLeft);
    fillBox(painter, tx, ty, split, 0, w, h, s.ZoomXSplitRight);
  }
  const WindowShare share = shareOf(s.X.Min, s.X.Max, s.X.HomeMin, s.X.HomeMax, s.XaxisZoomCentre, s.XaxisZoomRange);
  if (share.Valid) fillBox(painter, tx, ty, share.A * w, h / 3 - 2, share.B * w, 3 * h / 4 - 20, 0);
}

void DrawZoomIndicatorY(ControlState& s, QImage& strip, double tx, double ty) {
  QPainter painter(&strip);
  const double w = strip.width() * tx;
  const double h = strip.height() * ty;
  if (s.ZoomYSplit < 1) {
    fillBox(painter, tx, ty, 0, 0, w, h, s.ZoomYSplitBottom);
  } else {
    const double split = s.ZoomYSplit < 100 ? h * s.ZoomYSplit / 100 : h;
    fillBox(painter, tx, ty, 0, 0, w, split, s.ZoomYSplitTop);
    fillBox(painter, tx, ty, 0, split, w, h, s.ZoomYSplitBottom);
  }
  const WindowShare share = shareOf(s.Y.Min, s.Y.Max, s.Y.HomeMin, s.Y.HomeMax, s.YAxisZoomCentre, s.YAxisZoomRange);
  // y grows downwards on the strip.
  if (share.Valid) fillBox(painter, tx, ty, w / 3 - 2, (1 - share.A) * h, 3 * w / 4 - 20, (1 - share.B) * h, 0);
}

}  // namespace vellum32

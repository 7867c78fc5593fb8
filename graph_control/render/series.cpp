#include "render/series.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "overlay/overlay.h"
#include "render/span_kernels_impl.h"
#include "state/variant_convert.h"
#include "vellum32/errors.h"

namespace vellum32 {

SeriesStyle StyleOf(double styleCode, ChartTypes chart, bool plotPoints) {
  const bool line = chart == ChartTypes::Line;
  const bool point = chart == ChartTypes::Point;
  SeriesStyle style;
  style.Lines = styleCode <= -2 || (line && styleCode != -1);
  style.Markers = styleCode != -2 && (styleCode == -1 || styleCode == -3 || point || (line && plotPoints));
  return style;
}

SeriesStyle SeriesStyleOf(const ControlState& s, qint32 series) {
  return StyleOf(s.Store.YValue(series, 0), s.ChartType, s.PlotPoints);
}

namespace {

// A Y value below this is a NullMark: the point is missing.
constexpr double MissingBelow = -1e30;
constexpr qint32 FilledSquare = 1;

bool isLetterMarker(qint32 code) { return code <= -1 && code >= -26; }

// The marker codes and colours of one series, read without checks.
struct MarkerRow {
  const qint32* codes;
  const qint32* colours;
  qint32 filled;
  std::optional<qint32> uniform;  // the code of every point, when known
  MarkerRow(const SeriesStore& store, qint32 series)
      : codes(store.markerRow(series)),
        colours(store.colourRow(series)),
        filled(store.filledPoints(series)),
        uniform(store.uniformMarker(series)) {}
  qint32 code(qint32 p) const { return codes ? codes[p - 1] : 0; }
  // The colour the marker is drawn in.
  qint32 colour(qint32 p, qint32 seriesColour) const {
    const qint32 c = colours ? colours[p - 1] : (p <= filled ? -1 : 0);
    return c < 0 ? seriesColour : c;
  }
};

// Where the points of a series land: twips of the surface from axis units.
struct SeriesGeometry {
  ScaleMap xMap, yMap;
  explicit SeriesGeometry(const PlotLayout& layout) : xMap(XMapOf(layout)), yMap(YMapOf(layout)) {}
  double x(double xValue) const { return xMap.transform(xValue); }
  double y(double yValue) const { return yMap.transform(yValue); }
};

// Region code 0: the edges count as inside (and so, as for the region code, does NaN).
bool inside(float x, float y, const TwipsRect& r) {
  return !(x < r.Left) && !(x > r.Right) && !(y < r.Top) && !(y > r.Bottom);
}

// The plain drawing: every segment and marker through the primitives, in order.
void drawEverySegment(const PlotLayout& layout, Primitives& draw, const SeriesStyle& style, const double* xs,
                      const double* ys, qint32 count, const MarkerRow& markers, qint32 colour, qint32 weight) {
  const SeriesGeometry g(layout);
  const TwipsRect plot = layout.PlotRect;
  bool previousValid = false;
  float previousX = 0;
  float previousY = 0;
  for (qint32 p = 1; p <= count; ++p) {
    const double y = ys[p];
    if (y < MissingBelow) {
      previousValid = false;
      continue;
    }
    const double px = g.x(xs[p - 1]);
    const double py = g.y(y);
    if (style.Lines && previousValid) draw.Line(float(px), float(py), previousX, previousY, colour, weight);
    if (style.Markers && inside(float(px), float(py), plot))
      draw.Marker(float(px), float(py), markers.code(p), markers.colour(p, colour));
    // The next segment starts from this point rounded to whole twips.
    previousX = float(convert::roundHalfEven(px));
    previousY = float(convert::roundHalfEven(py));
    previousValid = true;
  }
}

// Everything one series paints, in one colour straight onto a screen picture, in any
// order: each painted pixel ends in that colour whatever came first. Lines and filled
// squares are gathered so that far fewer device calls paint the same pixels.
//
// Lines: a segment whose two ends fall in one pixel column joins that column's span;
// other segments are drawn as they are. A one-pixel line from (x, a) to (x, b) paints the
// rows from the smaller up to one before the larger (its own row when a = b), so a span
// that paints exactly the union of its segments' rows gives the pixels of drawing them
// one by one.
//
// Filled squares: outline and inside together paint every pixel from corner to corner,
// so squares with the same columns whose rows touch make one rectangle.
class OneColourPainter {
public:
  OneColourPainter(DrawingDevice& device, const QColor& colour) : device_(device), colour_(colour) {
    device_.SetNotXor(false);
    lines_.reserve(LineBatch);
  }
  ~OneColourPainter() {
    flushSpan();
    flushRect();
    flushLines();
  }
  OneColourPainter(const OneColourPainter&) = delete;
  OneColourPainter& operator=(const OneColourPainter&) = delete;

  void line(int ax, int ay, int bx, int by) {
    if (ax != bx) {
      addLine(QLine(ax, ay, bx, by));
      return;
    }
    rows(ax, std::min(ay, by), ay == by ? ay : std::max(ay, by) - 1);
  }

  // The rows from low to high of column x, both painted.
  void rows(int x, int low, int high) {
    if (spanOpen_ & (x == spanX_) & (low <= spanHigh_ + 1) & (high >= spanLow_ - 1)) {
      spanLow_ = std::min(spanLow_, low);
      spanHigh_ = std::max(spanHigh_, high);
      return;
    }
    flushSpan();
    spanOpen_ = true;
    spanX_ = x;
    spanLow_ = low;
    spanHigh_ = high;
  }

  // A filled square from (left, top) to (right, bottom), both corners painted.
  void square(int left, int top, int right, int bottom) {
    if (rectOpen_ && left == rect_.left() && right == rect_.right() && top <= rect_.bottom() + 1 &&
        bottom >= rect_.top() - 1) {
      rect_.setTop(std::min(rect_.top(), top));
      rect_.setBottom(std::max(rect_.bottom(), bottom));
      return;
    }
    flushRect();
    rectOpen_ = true;
    rect_ = QRect(QPoint(left, top), QPoint(right, bottom));
  }

private:
  void flushSpan() {
    if (!spanOpen_) return;
    spanOpen_ = false;
    addLine(QLine(spanX_, spanLow_, spanX_, spanHigh_ + 1));
  }
  // Lines go to the device in batches: one call paints many.
  // A line the same as one of the last few adds nothing: dense series cross a column edge
  // along the same few lines many times over.
  void addLine(const QLine& line) {
    const std::size_t n = lines_.size();
    for (std::size_t back = 1; back <= std::min<std::size_t>(n, 4); ++back)
      if (lines_[n - back] == line) return;
    lines_.push_back(line);
    if (lines_.size() == LineBatch) flushLines();
  }
  void flushLines() {
    if (lines_.empty()) return;
    device_.Lines(lines_.data(), int(lines_.size()), colour_, 1);
    lines_.clear();
  }
  void flushRect() {
    if (!rectOpen_) return;
    rectOpen_ = false;
    const QPolygon corners({rect_.topLeft(), rect_.topRight() + QPoint(1, 0), rect_.bottomRight() + QPoint(1, 1),
                            rect_.bottomLeft() + QPoint(0, 1)});
    device_.PolygonFill(corners, colour_);
  }

  DrawingDevice& device_;
  const QColor colour_;
  bool spanOpen_ = false;
  int spanX_ = 0;
  int spanLow_ = 0;
  int spanHigh_ = 0;
  bool rectOpen_ = false;
  QRect rect_;
  static constexpr std::size_t LineBatch = 1024;
  std::vector<QLine> lines_;
};

// Whether the series paints in one colour: its lines (one pixel wide) and every marker
// it draws, letters excepted (they are black text).
bool paintsInOneColour(qint32 pen, const SeriesStyle& style, const MarkerRow& markers, qint32 count, qint32 colour,
                       qint32 weight) {
  if (colour < 0 || pen != 1 || (style.Lines && weight > 1)) return false;
  if (!style.Markers || !markers.codes) return true;
  if (markers.uniform && !markers.colours) {
    // Markers past the filled points are drawn in colour 0.
    const qint32 code = *markers.uniform;
    return code == 0 || (!isLetterMarker(code) && (count <= markers.filled || colour == 0));
  }
  for (qint32 p = 1; p <= count; ++p) {
    const qint32 code = markers.codes[p - 1];
    if (code != 0 && (isLetterMarker(code) || markers.colour(p, colour) != colour)) return false;
  }
  return true;
}

// A device coordinate as RoundToDevice gives it for a value that is a number well inside
// the device range; other values give a number that is never used.
int deviceCoordinate(double v) {
  constexpr double shift = 6755399441055744.0;  // 1.5 x 2^52: the spacing of doubles is 1
  v = v > -1e9 ? v : -1e9;                      // NaN becomes -1e9
  v = v < 1e9 ? v : 1e9;
  return int((v + shift) - shift);
}

// Inside the window and not NaN: device coordinates of such a point are small numbers.
bool strictlyInside(float x, float y, const TwipsRect& r) {
  return (x >= r.Left) & (x <= r.Right) & (y >= r.Top) & (y <= r.Bottom);
}

// The last point of the run that starts at `first`: the points whose key equals the first
// point's. Keys of a series whose X is monotone change at most once per value, so the run
// is found by trying its guessed length, then galloping and halving.
template <typename Key>
qint32 runEnd(qint32 first, qint32 count, const Key& key, qint32 guess) {
  const auto k0 = key(first);
  qint32 lo = first;      // key(lo) == k0
  qint32 hi = count + 1;  // key(hi) != k0, or past the end
  const qint32 guessed = first + std::max<qint32>(guess, 1) - 1;
  if (guessed > lo && guessed < hi) (key(guessed) == k0 ? lo : hi) = guessed;
  for (qint32 step = 1; lo + step < hi; step *= 2) {
    if (key(lo + step) != k0) {
      hi = lo + step;
      break;
    }
    lo += step;
  }
  while (hi - lo > 1) {
    const qint32 mid = lo + (hi - lo) / 2;
    (key(mid) == k0 ? lo : hi) = mid;
  }
  return lo;
}

// Runs shorter than this are drawn point by point, and so is a series with fewer points
// than this many per device column of the plot.
constexpr qint32 KernelRun = 8;

// A series that paints in one colour, drawn on a screen picture with the same pixels as
// drawEverySegment: its lines first, then its markers (in one colour the order does not
// matter). Segments with both ends strictly inside the clip window are mapped here, as
// the line primitive would map them; the others go through the primitive. A series whose
// X is monotone is taken a pixel column at a time: the rows its lines or squares paint in
// a column come from a kernel over the Y values alone.
class OneColourSeries {
public:
  OneColourSeries(const PlotLayout& layout, Primitives& draw, const double* xs, const double* ys, qint32 count,
                  const MarkerRow& markers, qint32 colour)
      : g_(layout),
        plot_(layout.PlotRect),
        clip_(draw.Context().Clip),
        k_(draw.Mapping().perTwip),
        offsetX_(draw.Mapping().offsetX),
        offsetY_(draw.Mapping().offsetY),
        half_(draw.Context().MarkerSize),
        draw_(draw),
        paint_(*draw.Device(), ColourOf(colour)),
        xs_(xs),
        ys_(ys),
        count_(count),
        markers_(markers),
        colour_(colour) {}

  void lines(bool monotone) {
    const std::optional<RowMapping> rows = rowMapping(clip_, 0);
    if (!monotone || !rows || !dense()) {
      for (qint32 p = 1; p <= count_; ++p) linePoint(p);
      return;
    }
    // A run's key: the device columns of its points and of its points in whole twips.
    const auto key = [this](qint32 p) {
      const double px = g_.x(xs_[p - 1]);
      return std::pair(deviceCoordinate(float(px) * k_ + offsetX_),
                       deviceCoordinate(float(wholeTwips(px)) * k_ + offsetX_));
    };
    const KernelLevel level = FastestKernel();
    qint32 guess[2] = {1, 1};  // the last run's length, with different and with equal columns
    for (qint32 p = 1; p <= count_;) {
      const auto [column, wholeColumn] = key(p);
      const bool oneColumn = column == wholeColumn;
      const qint32 q = runEnd(p, count_, key, guess[oneColumn]);
      guess[oneColumn] = q - p + 1;
      // Runs of one column and of two alternate.
      prefetchX(q + guess[!oneColumn]);
      prefetchX(q + guess[0] + guess[1]);
      if (oneColumn && q - p + 1 >= KernelRun && insideX(p) && insideX(q)) {
        linePoint(p);
        const RowSpan span = LineRows(level, ys_ + p, std::size_t(q - p + 1), *rows);
        if (span.Whole) {
          paint_.rows(column, span.Low, span.High);
          const Mapped last = map(q);
          previous_ = q, previousValid_ = true, previousInside_ = true;
          previousX_ = last.bx, previousY_ = last.by;
        } else {
          for (qint32 r = p + 1; r <= q; ++r) linePoint(r);
        }
      } else {
        for (qint32 r = p; r <= q; ++r) linePoint(r);
      }
      p = q + 1;
    }
  }

  void markers(bool monotone) {
    if (!markers_.codes) return;  // every code 0: nothing to draw
    const std::optional<RowMapping> rows = rowMapping(plot_, half_);
    if (!monotone || !rows || !dense()) {
      for (qint32 p = 1; p <= count_; ++p) markerPoint(p);
      return;
    }
    // A run's key: the device columns of its squares' left and right edges.
    const auto key = [this](qint32 p) {
      const float fx = float(g_.x(xs_[p - 1]));
      return std::pair(RoundToDevice((fx - half_) * k_ + offsetX_), RoundToDevice((fx + half_) * k_ + offsetX_));
    };
    const KernelLevel level = FastestKernel();
    qint32 guess = 1;
    for (qint32 p = 1; p <= count_;) {
      const qint32 q = runEnd(p, count_, key, guess);
      guess = q - p + 1;
      prefetchX(q + guess);
      const auto [left, right] = key(p);
      RowSpan span;
      if (q - p + 1 >= KernelRun && left < right && onPlotX(p) && onPlotX(q) && allFilledSquares(p, q))
        span = SquareRows(level, ys_ + p, std::size_t(q - p + 1), *rows, half_);
      if (span.Whole) {
        paint_.square(left, span.Low, right, span.High);
      } else {
        for (qint32 r = p; r <= q; ++r) markerPoint(r);
      }
      p = q + 1;
    }
  }

private:
  // A point on the device: where it is (a, where a segment ends) and where it is rounded
  // to whole twips (b, where the next segment starts), and whether each lies strictly
  // inside the clip window.
  struct Mapped {
    float fx, fy;
    bool insideA, insideB;
    int ax, ay, bx, by;
  };
  Mapped map(qint32 p) const {
    const double px = g_.x(xs_[p - 1]);
    const double py = g_.y(ys_[p]);
    Mapped m;
    m.fx = float(px), m.fy = float(py);
    const float rx = float(wholeTwips(px));
    const float ry = float(wholeTwips(py));
    m.insideA = strictlyInside(m.fx, m.fy, clip_);
    m.insideB = strictlyInside(rx, ry, clip_);  // a clamped value lies far outside
    m.ax = deviceCoordinate(m.fx * k_ + offsetX_);
    m.ay = deviceCoordinate(m.fy * k_ + offsetY_);
    m.bx = deviceCoordinate(rx * k_ + offsetX_);
    m.by = deviceCoordinate(ry * k_ + offsetY_);
    return m;
  }

  // The Y side of the device mapping over a window whose points reach `reach` twips up
  // and down; none when the device rows they reach are not well inside the kernels' range.
  std::optional<RowMapping> rowMapping(const TwipsRect& window, double reach) const {
    const double top = window.Top - reach, bottom = window.Bottom + reach;
    if (!(std::fabs(top * k_ + offsetY_) < 1e8 && std::fabs(bottom * k_ + offsetY_) < 1e8)) return std::nullopt;
    return RowMapping{g_.yMap.Origin, g_.yMap.Min, g_.yMap.Scale, k_, offsetY_, window.Top, window.Bottom};
  }

  // The X values where the next run is looked for are otherwise not read: fetched while
  // this run is drawn, they are in the cache when the search needs them.
  void prefetchX(qint32 p) const {
    for (qint32 at = p - 8; at <= p + 8; at += 8)
      if (at >= 1 && at <= count_) __builtin_prefetch(xs_ + at - 1);
  }

  bool dense() const { return count_ >= KernelRun * (plot_.Right - plot_.Left) * k_; }

  // The point and its whole-twips position are inside the clip window along X.
  bool insideX(qint32 p) const {
    const double px = g_.x(xs_[p - 1]);
    const float fx = float(px), rx = float(wholeTwips(px));
    return (fx >= clip_.Left) & (fx <= clip_.Right) & (rx >= clip_.Left) & (rx <= clip_.Right);
  }
  bool onPlotX(qint32 p) const {
    const float fx = float(g_.x(xs_[p - 1]));
    return !(fx < plot_.Left) && !(fx > plot_.Right);
  }
  bool allFilledSquares(qint32 first, qint32 last) const {
    if (markers_.uniform) return *markers_.uniform == FilledSquare;
    bool all = true;
    for (qint32 p = first; p <= last; ++p) all &= markers_.codes[p - 1] == FilledSquare;
    return all;
  }

  void linePoint(qint32 p) {
    if (ys_[p] < MissingBelow) {
      previousValid_ = false;
      return;
    }
    const Mapped m = map(p);
    if (previousValid_) {
      if (previousInside_ && m.insideA)
        paint_.line(m.ax, m.ay, previousX_, previousY_);
      else
        draw_.Line(m.fx, m.fy, float(convert::roundHalfEven(g_.x(xs_[previous_ - 1]))),
                   float(convert::roundHalfEven(g_.y(ys_[previous_]))), colour_, 1);
    }
    previous_ = p, previousValid_ = true, previousInside_ = m.insideB;
    previousX_ = m.bx, previousY_ = m.by;
  }

  void markerPoint(qint32 p) {
    const qint32 code = markers_.code(p);
    if (ys_[p] < MissingBelow || code == 0) return;
    const float fx = float(g_.x(xs_[p - 1]));
    const float fy = float(g_.y(ys_[p]));
    if (!inside(fx, fy, plot_)) return;
    const int left = RoundToDevice((fx - half_) * k_ + offsetX_);
    const int right = RoundToDevice((fx + half_) * k_ + offsetX_);
    const int top = RoundToDevice((fy - half_) * k_ + offsetY_);
    const int bottom = RoundToDevice((fy + half_) * k_ + offsetY_);
    if (code == FilledSquare && left < right && top < bottom)
      paint_.square(left, top, right, bottom);
    else
      draw_.Marker(fx, fy, code, colour_);
  }

  const SeriesGeometry g_;
  const TwipsRect plot_, clip_;
  const double k_, offsetX_, offsetY_, half_;
  Primitives& draw_;
  OneColourPainter paint_;
  const double* xs_;
  const double* ys_;
  const qint32 count_;
  const MarkerRow& markers_;
  const qint32 colour_;
  // The last point a line passed, as linePoint left it.
  qint32 previous_ = 0;
  bool previousValid_ = false;
  bool previousInside_ = false;
  int previousX_ = 0;
  int previousY_ = 0;
};

// Markers only, many more than the device has room for: each square ends as the last
// square drawn with the same device corners left it, so only the last square of each
// corner pair is drawn, in the original order. Every pixel then ends in the colour of the
// same square as with every square drawn (the last square that covers a pixel is the last
// of its corners), on any device, since squares with the same device corners cover the
// same area. Corners are found through a table over the device positions of the top-left
// corner, one table for each difference of the square's device size from the first one.
//
// Returns false, having drawn nothing, where it does not apply: another marker than the
// squares (codes 1 and 2) in the series, too few points for the table to pay, or a
// square whose device size differs by more than one unit from the first.
class CornerTables {
public:
  static constexpr int Variants = 3;  // device size of the first square, one less, one more

  // Tables over the top-left corners from `topLeftMin` to `topLeftMax`; false when they
  // would cost more than 16 bytes a point.
  bool start(QPoint topLeftMin, QPoint topLeftMax, qint64 points) {
    origin_ = topLeftMin;
    width_ = qint64(topLeftMax.x()) - topLeftMin.x() + 1;
    height_ = qint64(topLeftMax.y()) - topLeftMin.y() + 1;
    return width_ > 0 && height_ > 0 && width_ * height_ <= 4 * points;
  }
  // Records `point` as the last square with these device corners; false for a size the
  // tables do not hold. The first square recorded sets the size the others are told from.
  bool record(QPoint topLeft, QPoint bottomRight, qint32 point) {
    if (firstSize_.isEmpty()) firstSize_ = QSize(bottomRight.x() - topLeft.x() + 1, bottomRight.y() - topLeft.y() + 1);
    // 0 for one unit less than the first square, 1 for its size, 2 for one unit more.
    const int dw = bottomRight.x() - topLeft.x() + 1 - firstSize_.width() + 1;
    const int dh = bottomRight.y() - topLeft.y() + 1 - firstSize_.height() + 1;
    if (dw < 0 || dw >= Variants || dh < 0 || dh >= Variants) return false;
    std::vector<qint32>& table = tables_[std::size_t(dw * Variants + dh)];
    if (table.empty()) table.assign(std::size_t(width_ * height_), 0);
    table[std::size_t((qint64(topLeft.y()) - origin_.y()) * width_ + (topLeft.x() - origin_.x()))] = point;
    return true;
  }
  // The points that are drawn, the last of each corner pair, in ascending order.
  std::vector<qint32> lastPoints() const {
    std::vector<qint32> last;
    for (const std::vector<qint32>& table : tables_)
      for (const qint32 p : table)
        if (p > 0) last.push_back(p);
    std::sort(last.begin(), last.end());
    return last;
  }

private:
  QPoint origin_;
  qint64 width_ = 0;
  qint64 height_ = 0;
  QSize firstSize_;
  std::array<std::vector<qint32>, Variants * Variants> tables_;
};

bool drawLastSquares(const PlotLayout& layout, Primitives& draw, const double* xs, const double* ys, qint32 count,
                     const MarkerRow& markers, qint32 colour) {
  if (!markers.codes || !draw.Device() || draw.Context().Stream) return false;
  const SeriesGeometry g(layout);
  const TwipsRect plot = layout.PlotRect;
  const double half = draw.Context().MarkerSize;  // as the marker primitive takes it
  // A square drawn has its centre in the plot, so its corners lie in the device rectangle
  // of the plot widened by the half size; rounding keeps that order.
  const DeviceMapping toDevice = draw.Mapping();
  const QPoint a = toDevice(plot.Left - half, plot.Top - half);
  const QPoint b = toDevice(plot.Right + half, plot.Bottom + half);
  CornerTables tables;
  if (!tables.start(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                    QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())), count))
    return false;
  // One pass: nothing is drawn until every square that paints has been recorded.
  qint32 firstCode = 0;
  for (qint32 p = 1; p <= count; ++p) {
    const double y = ys[p];
    const qint32 code = markers.codes[p - 1];
    if (y < MissingBelow || code == 0) continue;
    const float fx = float(g.x(xs[p - 1]));
    const float fy = float(g.y(y));
    if (!inside(fx, fy, plot) || markers.colour(p, colour) < 0) continue;
    if (firstCode == 0) firstCode = code;
    if (code != firstCode || (code != 1 && code != 2)) return false;
    const QPoint c1 = toDevice(fx - half, fy - half);
    const QPoint c2 = toDevice(fx + half, fy + half);
    if (!tables.record(QPoint(std::min(c1.x(), c2.x()), std::min(c1.y(), c2.y())),
                       QPoint(std::max(c1.x(), c2.x()), std::max(c1.y(), c2.y())), p))
      return false;
  }
  for (const qint32 p : tables.lastPoints())
    draw.Marker(float(g.x(xs[p - 1])), float(g.y(ys[p])), markers.codes[p - 1], markers.colour(p, colour));
  return true;
}

void drawSeries(const ControlState& s, const PlotLayout& layout, Primitives& draw, qint32 group, qint32 series,
                bool screenPicture) {
  if (series < 1 || series > MaxSeries) throw Vellum32Error(SubscriptOutOfRange);
  const SeriesStore& store = s.Store;
  const SeriesStyle style = SeriesStyleOf(s, series);
  if (!style.Lines && !style.Markers) return;
  const qint32 count = store.PointCount(group);
  if (count > store.MaxPoints()) throw Vellum32Error(SubscriptOutOfRange);
  const double* xs = store.xRow(group);
  const double* ys = store.yRow(series);
  const MarkerRow markers(store, series);
  const qint32 colour = s.Options.SeriesColour[std::size_t(series)];
  const qint32 weight = s.Options.SeriesWeight[std::size_t(series)];
  if (screenPicture && draw.Device() && !draw.Context().Stream && !draw.Mapping().landscape &&
      paintsInOneColour(draw.Context().PenWidth, style, markers, count, colour, weight)) {
    OneColourSeries one(layout, draw, xs, ys, count, markers, colour);
    if (style.Lines) one.lines(store.XIsMonotone(group));
    if (style.Markers) one.markers(store.XIsMonotone(group));
  } else if (style.Lines || !drawLastSquares(layout, draw, xs, ys, count, markers, colour))
    drawEverySegment(layout, draw, style, xs, ys, count, markers, colour, weight);
}

}  // namespace

void DrawSeries(const ControlState& s, const PlotLayout& layout, Primitives& draw, bool screenPicture) {
  draw.Context().NotXor = false;
  const SeriesStore& store = s.Store;
  for (qint32 group = store.GroupCount(); group >= 1; --group)
    for (qint32 series = store.FirstSeries(group); series <= store.LastSeries(group); ++series)
      drawSeries(s, layout, draw, group, series, screenPicture);
}

void DrawImageLayer(const ControlState& s, const PlotLayout& layout, Primitives& draw) {
  if (!s.Image) return;
  const ImageLayer& layer = *s.Image;
  draw.Image(layer.Image, DataToSurface(s, layout, layer.X0, layer.Y0), DataToSurface(s, layout, layer.X1, layer.Y1),
             layout.PlotRect, layer.Smooth);
}

QPoint PointPosition(const ControlState& s, const PlotLayout& layout, qint32 group, qint32 series, qint32 point) {
  const SeriesStore& store = s.Store;
  const double px = XMapOf(layout).transform(store.XValue(group, point));
  const double py = YMapOf(layout).transform(store.YValue(series, point));
  return QPoint(convert::roundToLong(px), convert::roundToLong(py));
}

void DrawSelectionRectangle(Primitives& draw, qint32 x, qint32 y) {
  DrawContext notXor = draw.Context();
  notXor.NotXor = true;
  Primitives(notXor, draw.Device()).Rectangle(float(x - 46), float(y - 46), float(x + 47), float(y + 47), 0, NoColour);
}

void MoveSelection(ControlState& s, Primitives& draw, const std::optional<Selection>& to) {
  if (s.PointIsSelected) DrawSelectionRectangle(draw, s.Layout.MarkerPos.x(), s.Layout.MarkerPos.y());
  s.PointIsSelected = false;
  if (!to) return;
  s.Layout.MarkerPos = to->Mark;
  s.SelectedPoint = to->Point;
  DrawSelectionRectangle(draw, to->Mark.x(), to->Mark.y());
  s.PointIsSelected = true;
}

void DrawSelectionMark(const ControlState& s, PlotLayout& layout, Primitives& draw) {
  if (!s.PointIsSelected) return;
  const auto [group, series, point] = s.SelectedPoint;
  const QPoint at = PointPosition(s, layout, group, s.Store.FirstSeries(group) + series - 1, point);
  layout.MarkerPos = at;
  DrawSelectionRectangle(draw, at.x(), at.y());
}

}  // namespace vellum32

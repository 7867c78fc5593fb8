#include "map/map_graph.h"

#include <QBuffer>
#include <QEvent>
#include <QPainter>
#include <QPrinter>
#include <QResizeEvent>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "display/block_display.h"
#include "grid/grid_shading.h"
#include "vellum32/vellum32.h"
#ifdef CORVANE_GRID_FILES
#include "grid_files/grid_files.h"
#endif

namespace corvane {

namespace {

// Fixed margins of the plot area in twips, so that its size follows from the picture's
// alone and the limits can be set before drawing: room for the numbers and the axis
// titles on the left and below.
constexpr double left_margin = 1300;
constexpr double right_margin = 60;
constexpr double top_margin = 120;
constexpr double bottom_margin = 700;
// Dots are filled squares of this half size, in twips (one pixel on a 96 dpi screen).
constexpr qint32 dot_half_size = 15;
// A sparse map (a day of a few lines) gets larger dots, so that each reading can be seen and
// pointed at; a dense one keeps one-pixel dots that do not hide each other.
constexpr qint32 sparse_dot_half_size = 45;
constexpr std::size_t sparse_dots = 20'000;
constexpr qint32 filled_square = 1;
constexpr qint32 no_marker = 0;
constexpr qint32 contour_colour = 0x000000;
constexpr int colour_bar_width = 110;
// A tick about every inch, and at least this many labelled ticks in view on each axis.
constexpr double twips_per_tick = 1440;
constexpr int least_labelled_ticks = 4;

// Multiples of the tick from min to max.
double labelled_ticks(const NiceAxis& axis, float min, float max) {
  return std::floor(double(max) / axis.tick) - std::ceil(double(min) / axis.tick) + 1;
}

// The interval of nice_axis's series nearest one tick an inch of an axis `twips` long that
// still labels least_labelled_ticks values between min and max.
float axis_tick(float min, float max, double twips) {
  int intervals = std::max(2, int(twips / twips_per_tick));
  NiceAxis axis = nice_axis(min, max, intervals);
  // Each interval more allows a finer tick; 2.5 x least_labelled_ticks intervals always do.
  while (labelled_ticks(axis, min, max) < least_labelled_ticks && intervals < 3 * least_labelled_ticks)
    axis = nice_axis(min, max, ++intervals);
  return axis.tick;
}

}  // namespace

// The dots by cell of a regular grid over the map's extent, for the pointer: one lookup
// reads the few cells around it. Eight bytes a dot at most.
class DotGrid {
public:
  explicit DotGrid(const SurveyMap& map) {
    const MapDots& dots = map.dots;
    const std::size_t n = dots.size();
    x0_ = map.x_min;
    y0_ = map.y_min;
    const double w = std::max(double(map.x_max) - map.x_min, 1e-6);
    const double h = std::max(double(map.y_max) - map.y_min, 1e-6);
    // About four dots a cell, at most a million cells.
    const double cells = std::clamp(double(n) / 4, 1.0, 1048576.0);
    cell_ = std::sqrt(w * h / cells);
    cell_ = std::max({cell_, w / 4096, h / 4096});
    columns_ = std::clamp<std::int64_t>(std::int64_t(w / cell_) + 1, 1, 4097);
    rows_ = std::clamp<std::int64_t>(std::int64_t(h / cell_) + 1, 1, 4097);
    start_.assign(std::size_t(columns_ * rows_ + 1), 0);
    std::vector<std::uint32_t> cell_of(n);
    for (std::size_t i = 0; i < n; ++i) {
      cell_of[i] = std::uint32_t(row(dots.north()[i]) * columns_ + column(dots.east()[i]));
      ++start_[cell_of[i] + 1];
    }
    for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
    // The dots of a cell in drawing order: cell_of becomes each cell's next free place.
    dots_.resize(n);
    std::vector<std::uint32_t> next(start_.begin(), start_.end() - 1);
    for (std::size_t i = 0; i < n; ++i) dots_[next[cell_of[i]]++] = std::uint32_t(i);
  }

  std::int64_t nearest(const SurveyMap& map, double x, double y, double radius) const {
    std::int64_t best = -1;
    double best_distance = radius * radius;
    const std::int64_t c0 = column(x - radius), c1 = column(x + radius);
    const std::int64_t r0 = row(y - radius), r1 = row(y + radius);
    for (std::int64_t r = r0; r <= r1; ++r) {
      for (std::int64_t c = c0; c <= c1; ++c) {
        const std::size_t cell = std::size_t(r * columns_ + c);
        for (std::uint32_t k = start_[cell]; k < start_[cell + 1]; ++k) {
          const std::uint32_t i = dots_[k];
          const double dx = map.dots.east()[i] - x, dy = map.dots.north()[i] - y;
          const double distance = dx * dx + dy * dy;
          if (distance < best_distance || (distance == best_distance && i > best)) {
            best_distance = distance;
            best = i;
          }
        }
      }
    }
    return best;
  }

private:
  std::int64_t column(double x) const {
    return std::clamp<std::int64_t>(std::int64_t(std::floor((x - x0_) / cell_)), 0, columns_ - 1);
  }
  std::int64_t row(double y) const {
    return std::clamp<std::int64_t>(std::int64_t(std::floor((y - y0_) / cell_)), 0, rows_ - 1);
  }

  double x0_ = 0, y0_ = 0, cell_ = 1;
  std::int64_t columns_ = 1, rows_ = 1;
  // A map has fewer dots than the graph's 32-bit point numbers count.
  std::vector<std::uint32_t> start_;
  std::vector<std::uint32_t> dots_;
};

MapGraph::MapGraph(vellum32::Vellum32& control, QObject* parent) : QObject(parent), control_(control) {
  using namespace vellum32;
  control_.setBorderStyle(BorderStyleTypes::None);
  control_.setBackColor(0xFFFFFF);
  control_.setChartType(ChartTypes::Point);
  // No northing is ever taken for a missing value.
  control_.setDataNull(std::numeric_limits<float>::lowest());
  control_.setMarkerSize(dot_half_size);
  // The stations' unit is not in the dumps, so the titles name none.
  control_.setXAxisLabel(QStringLiteral("East"));
  control_.setYAxisLabel(QStringLiteral("North"));
  control_.setSetMargins(true);
  control_.setXAxisLeftMargin(float(left_margin));
  control_.setXAxisRightMargin(float(right_margin));
  control_.setYAxisBottomMargin(float(top_margin));  // the distance of the plot's top edge
  control_.setYAxisTopMargin(float(bottom_margin));  // and of its bottom edge from the bottom
  control_.installEventFilter(this);
  connect(&control_, &Vellum32::ZoomChanged, this, &MapGraph::keepScalesEqual);
  connect(&control_, &Vellum32::PointSelected, this, [this](qint32&, qint32&, qint32& point) {
    if (!dotsRegistered_ || point < 1 || std::size_t(point) > map_->dots.size()) return;
    // Of dots at the picked one's place (days on one line), the one on top, which the
    // pointer names.
    const std::size_t picked = std::size_t(point - 1);
    if (!grid_) grid_ = std::make_unique<DotGrid>(*map_);
    emit dotClicked(grid_->nearest(*map_, map_->dots.east()[picked], map_->dots.north()[picked], 0));
  });
  connect(&control_, &Vellum32::MouseMove, this,
          [this](qint16&, qint16&, float&, float&, qint32& inview, float& xp, float& yp) {
            std::int64_t dot = -1, node = -1;
            try {
              if (inview == 0 && dotsShown()) dot = dotNear(xp, yp, 4);
              if (inview == 0 && gridDrawn()) node = grid_node_at(*picture_.grid, xp, yp);
            } catch (const std::exception&) {
              // No room for the pointer's index: the pointer names no dot.
            }
            emit pointed(dot, node);
          });
}

MapGraph::~MapGraph() = default;

QRectF MapGraph::plotArea(QSize pixels, double tx, double ty) {
  // The plot routine's rule for fixed margins: the right edge is the picture's width less
  // one pixel, rounded, less the 360 twips kept for the axes, less the right margin.
  const double right = std::nearbyint(pixels.width() * tx - tx) - 360 - right_margin;
  const double bottom = pixels.height() * ty - bottom_margin;
  return QRectF(QPointF(left_margin, top_margin), QPointF(right, bottom));
}

QSize MapGraph::pictureSize() const { return control_.contentsRect().size(); }

void MapGraph::setView(QRectF view, QSize pixels) {
  const QRectF area = plotArea(pixels, control_.TwipsPerPixelX(), control_.TwipsPerPixelY());
  if (view.width() <= 0 || view.height() <= 0) return;
  // A picture with no room for a plot still gets limits and intervals: the view as asked,
  // two intervals each way, so that nothing is left at an interval of 1 over any span.
  double xs = view.width() / 2, ys = view.height() / 2;
  if (area.width() > 0 && area.height() > 0) {
    // Twips per data unit: the smaller of the two fits both spans.
    const double scale = std::min(area.width() / view.width(), area.height() / view.height());
    xs = area.width() / scale / 2, ys = area.height() / scale / 2;
  }
  const QPointF centre = view.center();
  const float x_min = float(centre.x() - xs), x_max = float(centre.x() + xs);
  const float y_min = float(centre.y() - ys), y_max = float(centre.y() + ys);
  control_.setXAxisMin(x_min);
  control_.setXAxisMax(x_max);
  control_.setYAxisMin(y_min);
  control_.setYAxisMax(y_max);
  chooseTicks(pixels);
}

bool MapGraph::chooseTicks(QSize pixels) {
  const QRectF area = plotArea(pixels, control_.TwipsPerPixelX(), control_.TwipsPerPixelY());
  const float x_min = control_.XAxisMin(), x_max = control_.XAxisMax();
  const float y_min = control_.YAxisMin(), y_max = control_.YAxisMax();
  // A picture with no room for a plot: two intervals each way, as the limits are.
  const float x_tick = area.width() > 0 ? axis_tick(x_min, x_max, area.width()) : nice_axis(x_min, x_max, 2).tick;
  const float y_tick = area.height() > 0 ? axis_tick(y_min, y_max, area.height()) : nice_axis(y_min, y_max, 2).tick;
  if (x_tick == control_.xTickInterval() && y_tick == control_.yTickInterval()) return false;
  control_.setxTickInterval(x_tick);
  control_.setyTickInterval(y_tick);
  return true;
}

void MapGraph::show(SurveyMap map) {
  owned_ = std::move(map);
  display(owned_);
}

void MapGraph::showKeepingView(SurveyMap map) {
  owned_ = std::move(map);
  display(owned_, view_.isValid());
}

void MapGraph::showBorrowed(const SurveyMap& map) {
  owned_ = SurveyMap{};
  display(map);
}

void MapGraph::display(const SurveyMap& map, bool keep_view) {
  map_ = &map;
  grid_.reset();
  control_.Clear();
  control_.setMarkerSize(map.dots.size() <= sparse_dots ? sparse_dot_half_size : dot_half_size);
  if (!registerSeries()) {
    draw();
    return;
  }
  if (!keep_view) view_ = wholeView();
  setView(view_, pictureSize());
  placeGrid();
  draw();
}

bool MapGraph::registerSeries() {
  const SurveyMap& map = *map_;
  dotsRegistered_ = dotsShown() && !map.dots.empty();
  if (dotsRegistered_) {
    control_.RegisterData(map.dots.east(), map.dots.north());
    control_.SetSeriesOptions(1, 1, -1, QString(), filled_square, 1);
    registerColours();
  } else if (picture_.grid || !map.dots.empty()) {
    // The control draws an image only under data: two corners without markers, which
    // draw nothing and cannot be picked.
    if (picture_.grid) {
      const GridGeometry& g = picture_.grid->geometry;
      corners_x_ = {g.west(), g.east()};
      corners_y_ = {g.south(), g.north()};
    } else {
      corners_x_ = {map.x_min, map.x_max};
      corners_y_ = {map.y_min, map.y_max};
    }
    control_.RegisterData(corners_x_, corners_y_);
    control_.SetSeriesOptions(1, 1, -1, QString(), 0, 0);
  }
  hasSeries_ = dotsRegistered_ || picture_.grid || !map.dots.empty();
  return hasSeries_;
}

QRectF MapGraph::wholeView() const {
  const SurveyMap& map = *map_;
  QRectF extent;
  if (!map.dots.empty()) extent = QRectF(QPointF(map.x_min, map.y_min), QPointF(map.x_max, map.y_max));
  if (picture_.grid) {
    // Whole cells: each node's colour spans half a cell either side of it.
    const GridGeometry& g = picture_.grid->geometry;
    const double half = g.cell / 2;
    const QRectF cells(QPointF(g.west() - half, g.south() - half), QPointF(g.east() + half, g.north() + half));
    extent = map.dots.empty() ? cells : extent.united(cells);
  }
  // A margin of 2 % around the dots; a single line still gets a width.
  const double pad = std::max({extent.width(), extent.height(), 1.0}) * 0.02;
  return extent.adjusted(-pad, -pad, pad, pad);
}

void MapGraph::placeGrid() {
  control_.ClearGraphics();
  if (!gridDrawn()) {
    control_.ClearImageLayer();
    return;
  }
  const GridGeometry& g = picture_.grid->geometry;
  control_.SetImageLayer(picture_.image, g.west(), g.north(), g.east(), g.south(), false);
  if (!picture_.look.contours) return;
  // An open line goes there and back, so that the outline the control closes adds no
  // segment of its own.
  QList<float> xs, ys;
  for (const QPolygonF& line : picture_.contours) {
    if (line.size() < 2) continue;
    const bool closed = line.isClosed();
    xs = {0.0f};
    ys = {0.0f};
    for (qsizetype k = 0; k < line.size() - (closed ? 1 : 0); ++k) {
      xs.append(float(line[k].x()));
      ys.append(float(line[k].y()));
    }
    if (!closed) {
      for (qsizetype k = line.size() - 2; k >= 1; --k) {
        xs.append(float(line[k].x()));
        ys.append(float(line[k].y()));
      }
    }
    control_.DrawPolygon(qint32(xs.size() - 1), xs, ys, contour_colour, vellum32::NoColour, 1);
  }
}

void MapGraph::showGrid(GridPicture picture) {
  const bool had_series = hasSeries_;
  picture_ = std::move(picture);
  if (!had_series) {
    display(*map_);
    return;
  }
  placeGrid();
  draw();
}

void MapGraph::clearGrid() {
  picture_ = GridPicture{};
  if (map_->dots.empty()) {
    display(*map_, true);
    return;
  }
  placeGrid();
  draw();
}

void MapGraph::setLayers(MapLayers layers) {
  layers_ = layers;
  if (hasSeries_) display(*map_, true);
}

void MapGraph::registerColours() {
  const SurveyMap& map = *map_;
  if (!dotsRegistered_) return;
  if (map.colours.size() == map.dots.size())
    control_.RegisterMarkerColour(map.colours, 1, 1);
  else  // a map put together by hand may come without its colours
    control_.RegisterMarkerColour(dot_colours(map.dots.values(), map.stretch), 1, 1);
}

void MapGraph::recolour(ColourStretch stretch) {
  if (picture_.grid) {
    picture_.image = grid_picture_image(*picture_.grid, stretch, picture_.look.hill_shading);
    picture_.stretch = stretch;
    placeGrid();
  }
  if (map_ != &owned_) {
    draw();
    return;
  }
  recolour_survey_map(owned_, stretch);
  registerColours();
  draw();
}

std::vector<float> MapGraph::valuesInView() const {
  const double x0 = control_.XAxisMin(), x1 = control_.XAxisMax();
  const double y0 = control_.YAxisMin(), y1 = control_.YAxisMax();
  const MapDots& dots = map_->dots;
  std::vector<float> values;
  for (std::size_t i = 0; i < dots.size(); ++i) {
    const double x = dots.east()[i], y = dots.north()[i];
    if (x >= x0 && x <= x1 && y >= y0 && y <= y1 && dots.values()[i] != null_value) values.push_back(dots.values()[i]);
  }
  return values;
}

void MapGraph::draw() {
  // A hidden control is drawn by its first show: once, at the size it is shown at.
  drawAtShow_ = !control_.isVisible();
  if (!drawAtShow_) control_.Refresh();
}

void MapGraph::keepScalesEqual() {
  view_ = QRectF(QPointF(control_.XAxisMin(), control_.YAxisMin()), QPointF(control_.XAxisMax(), control_.YAxisMax()));
  const QRectF area = plotArea(pictureSize(), control_.TwipsPerPixelX(), control_.TwipsPerPixelY());
  if (view_.width() <= 0 || view_.height() <= 0 || area.width() <= 0 || area.height() <= 0) return;
  const double sx = area.width() / view_.width(), sy = area.height() / view_.height();
  try {
    // A wheel step keeps the scales equal; the shown range still wants its own ticks.
    if (std::abs(sx - sy) <= 1e-4 * std::max(sx, sy)) {
      if (chooseTicks(pictureSize())) control_.Refresh();
      return;
    }
    setView(view_, pictureSize());
    control_.Refresh();
  } catch (const std::exception&) {
    // The control keeps what it drew; it reports its own drawing errors on resize.
  }
}

bool MapGraph::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &control_) return false;
  if (event->type() == QEvent::Resize) {
    // Before the control draws itself at its new size.
    drawAtShow_ = false;
    const QSize size = static_cast<QResizeEvent*>(event)->size();
    if (hasSeries_) setView(view_, size.shrunkBy(control_.contentsMargins()));
  } else if (event->type() == QEvent::Show && drawAtShow_) {
    drawAtShow_ = false;
    try {
      control_.Refresh();
    } catch (const std::exception&) {
      // What was drawn up to the failure stays; the next resize or show tries again.
    }
  }
  return false;
}

std::int64_t MapGraph::dotNear(double x, double y, double pixels) const {
  if (map_->dots.empty()) return -1;
  const QRectF area = plotArea(pictureSize(), control_.TwipsPerPixelX(), control_.TwipsPerPixelY());
  const double span = double(control_.XAxisMax()) - control_.XAxisMin();
  if (area.width() <= 0 || !(span > 0)) return -1;
  const double radius = pixels * control_.TwipsPerPixelX() * span / area.width();
  if (!grid_) grid_ = std::make_unique<DotGrid>(*map_);
  return grid_->nearest(*map_, x, y, radius);
}

bool grid_files_available() {
#ifdef CORVANE_GRID_FILES
  return true;
#else
  return false;
#endif
}

QImage grid_picture_image(const Grid& grid, const ColourStretch& stretch, bool hill_shading) {
  const GridGeometry& g = grid.geometry;
  QImage image(g.columns, g.rows, QImage::Format_ARGB32);
  if (image.isNull()) return image;
  const std::vector<std::uint32_t> colours = grid_colours(grid, stretch, hill_shading);
  for (std::int32_t j = 0; j < g.rows; ++j) {
    // Row j of the grid counts from the south; the image's rows from the north.
    auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(g.rows - 1 - j));
    std::copy_n(colours.begin() + std::ptrdiff_t(j) * g.columns, g.columns, row);
  }
  return image;
}

GridPicture grid_picture(std::shared_ptr<const Grid> grid, const ColourStretch& stretch, GridLook look) {
  GridPicture picture;
  picture.image = grid_picture_image(*grid, stretch, look.hill_shading);
  picture.stretch = stretch;
  picture.look = look;
#ifdef CORVANE_GRID_FILES
  if (look.contours) {
    if (const double interval = contour_interval(*grid); interval > 0) {
      for (const ContourLine& line : grid_contours(*grid, interval)) {
        QPolygonF points;
        points.reserve(qsizetype(line.points.size()));
        for (const auto& [x, y] : line.points) points.append(QPointF(x, y));
        picture.contours.push_back(std::move(points));
      }
    }
  }
#endif
  picture.grid = std::move(grid);
  return picture;
}

std::int64_t grid_node_at(const Grid& grid, double x, double y) {
  const GridGeometry& g = grid.geometry;
  if (!(g.cell > 0)) return -1;
  const double i = std::round((x - g.west()) / g.cell), j = std::round((y - g.south()) / g.cell);
  if (!(i >= 0 && j >= 0 && i < g.columns && j < g.rows)) return -1;
  const std::int64_t node = std::int64_t(j) * g.columns + std::int64_t(i);
  return std::isnan(grid.values[std::size_t(node)]) ? -1 : node;
}

QString grid_node_text(const Grid& grid, std::int64_t node) {
  const GridGeometry& g = grid.geometry;
  const auto i = std::int32_t(node % g.columns), j = std::int32_t(node / g.columns);
  return QStringLiteral("Grid %1 nT at %2 E %3 N")
      .arg(double(grid.values[std::size_t(node)]), 0, 'f', 1)
      .arg(g.x(i), 0, 'f', 1)
      .arg(g.y(j), 0, 'f', 1);
}

namespace {

// Decimals that tell apart the values a tick apart: none from 1 up, one from 0.1, two from
// 0.01 and so on, at most six.
int label_digits(float tick) {
  if (!(tick > 0)) return 0;
  return std::clamp(int(std::ceil(-std::log10(double(tick)) - 1e-4)), 0, 6);
}

}  // namespace

QString colour_bar_title(const SurveyMap& map) {
  return map.raw ? QStringLiteral("nT (raw)") : QStringLiteral("nT (raw \u2212 base)");
}

void paintColourBar(QPainter& painter, const QRect& area, const SurveyMap& map) {
  painter.save();
  painter.fillRect(area, Qt::white);
  const QFontMetrics metrics(painter.font());
  const int text_height = metrics.height();
  // The title on the first line; the strip from half a line under it, so its top value
  // clears it.
  const QRect strip(area.left() + 8, area.top() + 2 * text_height, 18, area.height() - 5 * text_height);
  painter.setPen(Qt::black);
  painter.drawText(area.left() + 4, area.top() + metrics.ascent() + 2, colour_bar_title(map));
  if (map.valued > 0 && strip.height() > 0) {
    const auto& scale = colour_scale();
    for (int i = 0; i < scale_steps; ++i) {
      // Step i from the bottom (low) to the top (high).
      const int top = strip.bottom() + 1 - (i + 1) * strip.height() / scale_steps;
      const int bottom = strip.bottom() + 1 - i * strip.height() / scale_steps;
      const std::int32_t c = scale[std::size_t(i)];
      // Each step over the top row of the one below, so that no seam shows when a
      // vector picture is drawn smoothly.
      painter.fillRect(QRect(strip.left(), top, strip.width(), bottom - top + (i > 0)),
                       QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
    painter.drawRect(strip.adjusted(0, 0, -1, -1));
    const ColourStretch s = map.stretch;
    const NiceAxis axis = nice_axis(s.low, s.high, 5);
    const auto at = [&](float v) {
      const double t = s.high > s.low ? (double(v) - s.low) / (double(s.high) - s.low) : 0.5;
      return strip.bottom() - int(std::lround(t * (strip.height() - 1)));
    };
    const int digits = label_digits(axis.tick);
    if (axis.lower && axis.upper) {
      for (const float v : axis_ticks(axis)) {
        if (v < s.low || v > s.high) continue;
        const int y = at(v);
        painter.drawLine(strip.right() + 1, y, strip.right() + 4, y);
        painter.drawText(strip.right() + 7, y + metrics.ascent() / 2, QString::number(v, 'f', digits));
      }
    } else {
      painter.drawText(strip.right() + 7, at(s.low) + metrics.ascent() / 2, QString::number(s.low, 'f', 1));
    }
  }
  const QRect swatch(strip.left(), area.bottom() - 2 * text_height, strip.width(), text_height);
  const QColor grey(no_value_colour & 0xFF, (no_value_colour >> 8) & 0xFF, (no_value_colour >> 16) & 0xFF);
  painter.fillRect(swatch, grey);
  painter.drawText(swatch.right() + 5, swatch.top() + metrics.ascent(), QStringLiteral("no value"));
  painter.restore();
}

ColourBar::ColourBar(QWidget* parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding); }

void ColourBar::setMap(const SurveyMap* map) {
  map_ = map;
  update();
}

QSize ColourBar::sizeHint() const { return QSize(colour_bar_width, 200); }

void ColourBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (map_) paintColourBar(painter, rect(), *map_);
}

QSize map_picture_size(const vellum32::Vellum32& control) {
  const QSize plot = control.Picture().size();
  return QSize(plot.width() + colour_bar_width, plot.height());
}

void paint_map(QPainter& painter, vellum32::Vellum32& control, const SurveyMap& map, PlotAs how) {
  const QSize plot = control.Picture().size();
  painter.fillRect(QRect(QPoint(0, 0), map_picture_size(control)), Qt::white);
  // A dense map's squares are finer than paper or a drawing shows them, and as drawing
  // records they would take gigabytes (some 3 kB a dot): its plot goes as the picture.
  if (how == PlotAs::picture || map.dots.size() > sparse_dots) {
    painter.drawImage(0, 0, control.Picture());
  } else {
    qint32 records = 0;
    const QList<QVariant> stream = control.GraphicsStream(records);
    control.DrawGraphicsStream(&painter, records, stream, false, float(plot.width() * control.TwipsPerPixelX()),
                               float(plot.height() * control.TwipsPerPixelY()), 1, 0, 0);
  }
  paintColourBar(painter, QRect(plot.width(), 0, colour_bar_width, plot.height()), map);
}

QImage map_image(vellum32::Vellum32& control, const SurveyMap& map) {
  QImage image(map_picture_size(control), QImage::Format_RGB32);
  QPainter painter(&image);
  paint_map(painter, control, map, PlotAs::picture);
  return image;
}

QString print_map(vellum32::Vellum32& control, const SurveyMap& map, QPrinter& printer, PlotAs how) {
  // Drawn as SVG at the screen's resolution and played onto the page, fitted whole.
  QBuffer svg;
  svg.open(QIODevice::WriteOnly);
  if (const QString failure = write_map_svg(control, map, svg, how); !failure.isEmpty()) return failure;
  QPainter painter;
  if (!painter.begin(&printer)) return QStringLiteral("the print job did not start");
  // A PDF would otherwise take a dense map's picture as a JPEG, mixing neighbouring colours.
  painter.setRenderHint(QPainter::LosslessImageRendering, true);
  QSvgRenderer renderer(svg.data());
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  const QSizeF picture = QSizeF(map_picture_size(control)).scaled(page.size(), Qt::KeepAspectRatio);
  renderer.render(&painter, QRectF(QPointF(0, 0), picture));
  painter.end();
  return {};
}

QString write_map_svg(vellum32::Vellum32& control, const SurveyMap& map, QIODevice& device, PlotAs how) {
  QSvgGenerator svg;
  svg.setOutputDevice(&device);
  // At the screen's resolution, which the drawing records are played at.
  svg.setResolution(int(std::lround(1440 / control.TwipsPerPixelX())));
  svg.setSize(map_picture_size(control));
  svg.setViewBox(QRect(QPoint(0, 0), map_picture_size(control)));
  svg.setTitle(QStringLiteral("Survey map"));
  QPainter painter;
  if (!painter.begin(&svg))
    return device.errorString().isEmpty() ? QStringLiteral("no SVG could be started") : device.errorString();
  try {
    paint_map(painter, control, map, how);
  } catch (const vellum32::Vellum32Error& e) {
    return e.Description();
  }
  painter.end();
  return QString();
}

namespace {

// A control of `size` pixels showing the map, not on any screen; the map must outlive it.
struct OffscreenGraph {
  vellum32::Vellum32 control;
  MapGraph graph{control};
  OffscreenGraph(const SurveyMap& map, QSize size) {
    control.resize(std::max(1, size.width() - colour_bar_width), size.height());
    graph.showBorrowed(map);
    control.Refresh();
  }
};

}  // namespace

QImage render_map_image(const SurveyMap& map, QSize size) {
  OffscreenGraph offscreen(map, size);
  return map_image(offscreen.control, map).copy(QRect(QPoint(0, 0), size));
}

ColourStretch grid_layer_stretch(const SurveyMap& map, const Grid& grid) {
  return map.valued > 0 ? map.stretch : grid_stretch(grid);
}

QImage render_grid_image(const SurveyMap& map, const Grid& grid, QSize size, GridLook look) {
  const ColourStretch stretch = grid_layer_stretch(map, grid);
  vellum32::Vellum32 control;
  control.resize(std::max(1, size.width() - colour_bar_width), size.height());
  MapGraph graph(control);
  graph.setLayers(MapLayers::grid);
  graph.showGrid(grid_picture(std::make_shared<const Grid>(grid), stretch, look));
  graph.showBorrowed(map);
  control.Refresh();
  // The colour bar of the grid's stretch, which is the map's when the map has values.
  SurveyMap bar;
  bar.raw = map.raw;
  bar.stretch = stretch;
  bar.valued = map.valued > 0
                   ? map.valued
                   : std::count_if(grid.values.begin(), grid.values.end(), [](float v) { return !std::isnan(v); });
  return map_image(control, bar).copy(QRect(QPoint(0, 0), size));
}

QString write_map_svg(vellum32::Vellum32& control, const SurveyMap& map, const QString& path, PlotAs how) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  QString failure = write_map_svg(control, map, file, how);
  if (failure.isEmpty() && !file.commit()) failure = file.errorString();
  return failure;
}

QString write_map_svg(const SurveyMap& map, QSize size, const QString& path) {
  OffscreenGraph offscreen(map, size);
  return write_map_svg(offscreen.control, map, path);
}

}  // namespace corvane

#include "ui/block_graphs.h"

#include <QEvent>
#include <QFontMetrics>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>

#include <vellum32/vellum32.h>

namespace corvane::ui {

namespace {

constexpr qint32 filled_square = 1;
constexpr qint32 filled_diamond = 6;
constexpr qint32 spike_red = 255;  // red in the low byte

// Registers a graph's line and, when it has any, its spike marks, and returns the line's
// group. The marks are group 1, as the control draws its last group first, and their style
// code (-1) draws markers without lines; a table of variants is only built for them.
qint32 register_graph_data(vellum32::Vellum32& g, const GraphData& data) {
  const std::vector<double> x(data.x.begin(), data.x.end()), y(data.y.begin(), data.y.end());
  if (data.marked_x.empty()) {
    g.RegisterData(x, y);
    return 1;
  }
  const std::size_t marks = std::min(data.marked_x.size(), data.marked_y.size());
  vellum32::DataTable table(4, static_cast<qsizetype>(std::max(x.size(), marks)) + 1);
  table(1, 0) = -1;  // markers only
  table(2, 0) = 1;   // an X row: the line's group
  table(3, 0) = 0;   // the line's style: as the graph's chart type
  for (std::size_t k = 0; k < marks; ++k) {
    table(0, qsizetype(k) + 1) = double(data.marked_x[k]);
    table(1, qsizetype(k) + 1) = double(data.marked_y[k]);
  }
  for (std::size_t k = 0; k < x.size(); ++k) {
    table(2, qsizetype(k) + 1) = x[k];
    table(3, qsizetype(k) + 1) = y[k];
  }
  g.RegisterData(table);
  g.SetSeriesOptions(1, 1, spike_red, QString(), filled_diamond, 0);
  return 2;
}

// Runs a piece of graph work; an error is reported as the display's error.
template <class F>
void reporting(Operator& op, F&& body) {
  try {
    body();
  } catch (const vellum32::Vellum32Error& e) {
    op.message(std::string(display_data_error) + e.Description().toStdString());
  } catch (const std::exception& e) {
    op.message(std::string(display_data_error) + e.what());
  }
}

// Shows [min, max] on one axis through the control's zoom percentages, which move the
// current limits and leave the home limits, those that a reset returns to, as they are.
// The stored percentages are relative: the range scales the shown span, the centre moves
// it by a share of the home span.
void show_limits(vellum32::Vellum32& g, bool y_axis, float min, float max, float home_min, float home_max) {
  const auto current = [&] {
    return y_axis ? std::pair(g.YAxisMin(), g.YAxisMax()) : std::pair(g.XAxisMin(), g.XAxisMax());
  };
  auto [low, high] = current();
  if (!(high > low) || !(max > min) || !(home_max > home_min)) return;
  const float range = y_axis ? g.YAxisZoomRange() : g.XaxisZoomRange();
  const float new_range = range * ((max - min) / (high - low));
  y_axis ? g.setYAxisZoomRange(new_range) : g.setXaxisZoomRange(new_range);
  std::tie(low, high) = current();
  const float centre = y_axis ? g.YAxisZoomCentre() : g.XaxisZoomCentre();
  const float new_centre = centre + ((min + max) / 2 - (low + high) / 2) * 100 / (home_max - home_min);
  y_axis ? g.setYAxisZoomCentre(new_centre) : g.setXaxisZoomCentre(new_centre);
}

}  // namespace

BlockGraphs::BlockGraphs(const std::array<vellum32::Vellum32*, 3>& graphs, Operator& op, QObject* parent)
    : QObject(parent), graphs_(graphs), op_(op), ruler_(std::make_unique<vellum32::Vellum32>()) {
  for (int i = 0; i < 3; ++i) {
    graphs_[static_cast<std::size_t>(i)]->installEventFilter(this);
    connect(graphs_[static_cast<std::size_t>(i)], &vellum32::Vellum32::ZoomChanged, this, [this, i] {
      if (!following_) follow_zoom(i);
    });
  }
}

BlockGraphs::~BlockGraphs() = default;

float BlockGraphs::own_left_margin(const vellum32::Vellum32& g) {
  vellum32::MemoryPropertyStore properties;
  g.WriteProperties(properties);  // with the limits shown now
  ruler_->ReadProperties(properties);
  ruler_->setSetMargins(false);
  ruler_->resize(g.size());
  const double x[] = {g.XAxisMin(), g.XAxisMax()}, y[] = {g.YAxisMin(), g.YAxisMax()};
  ruler_->RegisterData(x, y);
  // The last clip window of the drawing records is the plot area.
  qint32 count = 0;
  const QList<QVariant> stream = ruler_->GraphicsStream(count);
  float left = 0;
  for (qint32 i = 1; i < count && i < stream.size();) {
    const int code = stream[i].toInt();
    const int length = vellum32::RecordLength(code);
    if (length == 0) break;
    if (code == vellum32::ClipWindowRecord && i + 1 < stream.size()) left = stream[i + 1].toFloat();
    i += length;
  }
  return left;
}

bool BlockGraphs::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize)
    for (int i = 0; i < 3; ++i)
      if (watched == graphs_[static_cast<std::size_t>(i)]) fit_title(i);
  return QObject::eventFilter(watched, event);
}

void BlockGraphs::fit_title(int index) {
  vellum32::Vellum32& g = *graphs_[static_cast<std::size_t>(index)];
  const GraphCaption caption = graph_caption(index, view_);
  // The graph draws its titles in bold in the title font, centred over the plot frame.
  QFont font = g.TitleFont().value_or(g.Font());
  font.setBold(true);
  const QFontMetrics metrics(font);
  constexpr int edge = 8;  // pixels left free on each side
  const int room = std::max(g.width() - 2 * edge, 0);
  QString title = QString::fromStdString(caption.title);
  for (const std::string& shorter : caption.shorter_titles) {
    if (metrics.horizontalAdvance(title) <= room) break;
    title = QString::fromStdString(shorter);
  }
  g.setTitle(metrics.elidedText(title, Qt::ElideRight, room));
}

void BlockGraphs::clear() {
  view_ = BlockView{};
  for (vellum32::Vellum32* g : graphs_) g->Clear();
}

const GraphData* BlockGraphs::shown_data(int index) const {
  for (const GraphData& g : view_.graphs)
    if (g.index == index && g.axes) return &g;
  return nullptr;
}

void BlockGraphs::show(const BlockView& view) {
  clear();
  view_ = view;
  for (const GraphData& data : view_.graphs) {
    vellum32::Vellum32& g = *graphs_.at(static_cast<std::size_t>(data.index));
    reporting(op_, [&] {
      const qint32 line = register_graph_data(g, data);
      // Stations lie apart; a base session's readings are too close for marks to help.
      if (!view_.base_view) g.SetSeriesOptions(line, 1, -1, QString(), filled_square);
      const GraphCaption caption = graph_caption(data.index, view_);
      fit_title(data.index);
      g.setXAxisLabel(QString::fromStdString(caption.x_label));
      g.setYAxisLabel(QString::fromStdString(caption.y_label));
      if (!data.axes) return;
      const GraphAxes& a = *data.axes;
      g.setyTickInterval(a.y_tick);
      g.setYAxisMin(a.y_min);
      g.setYAxisMax(a.y_max);
      g.setxTickInterval(a.x_tick);
      g.setXAxisMin(a.x_min);
      g.setXAxisMax(a.x_max);
      g.setPlotPoints(true);
    });
  }
  share_left_edge();
  op_.let_events_run();
}

void BlockGraphs::share_left_edge() {
  reporting(op_, [&] {
    float left = 0;
    for (int i = 0; i < 3; ++i)
      if (shown_data(i)) left = std::max(left, own_left_margin(*graphs_[static_cast<std::size_t>(i)]));
    for (int i = 0; i < 3; ++i) {
      if (!shown_data(i)) continue;
      vellum32::Vellum32& g = *graphs_[static_cast<std::size_t>(i)];
      g.setXAxisLeftMargin(left);
      g.setSetMargins(left > 0);
      g.Refresh();
    }
  });
}

void BlockGraphs::follow_zoom(int index) {
  const GraphData* leader = shown_data(index);
  if (view_.base_view || !leader) return;
  following_ = true;
  reporting(op_, [&] {
    const vellum32::Vellum32& shown = *graphs_[static_cast<std::size_t>(index)];
    const float x_min = shown.XAxisMin(), x_max = shown.XAxisMax();
    const bool whole = x_min == leader->axes->x_min && x_max == leader->axes->x_max;
    for (const GraphData& data : view_.graphs) {
      if (!data.axes) continue;
      vellum32::Vellum32& g = *graphs_[static_cast<std::size_t>(data.index)];
      const GraphAxes& home = *data.axes;
      if (whole) {
        g.setxTickInterval(home.x_tick);
        g.setyTickInterval(home.y_tick);
        g.ResetZoom();
        continue;
      }
      const std::optional<GraphAxes> part = shown_axes(data, x_min, x_max, view_.base_view);
      g.setxTickInterval(part ? part->x_tick : home.x_tick);
      show_limits(g, false, x_min, x_max, home.x_min, home.x_max);
      if (!part) continue;  // no value in the range: Y stays
      g.setyTickInterval(part->y_tick);
      show_limits(g, true, part->y_min, part->y_max, home.y_min, home.y_max);
    }
  });
  share_left_edge();
  following_ = false;
}

}  // namespace corvane::ui

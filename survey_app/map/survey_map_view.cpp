#include "map/survey_map_view.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <exception>

#include "map/map_graph.h"
#include "vellum32/vellum32.h"

namespace corvane {

SurveyMapView::SurveyMapView(QWidget* parent) : QWidget(parent) {
  graph_ = new vellum32::Vellum32(this);
  graph_->setObjectName(QStringLiteral("Vellum32_map"));
  graph_->setMinimumSize(240, 180);  // room for the axes and some map
  map_graph_ = new MapGraph(*graph_, this);
  bar_ = new ColourBar(this);
  raw_ = new QCheckBox(QStringLiteral("Raw values"), this);
  raw_->setObjectName(QStringLiteral("Check_raw_values"));

  auto* row = new QHBoxLayout;
  row->addWidget(graph_, 1);
  row->addWidget(bar_);
  auto* column = new QVBoxLayout(this);
  column->addLayout(row, 1);
  column->addWidget(raw_);

  connect(raw_, &QCheckBox::toggled, this, &SurveyMapView::refresh);
  connect(map_graph_, &MapGraph::dotClicked, this,
          [this](std::int64_t dot) { emit readingClicked(map().dots[std::size_t(dot)].block); });
  connect(map_graph_, &MapGraph::dotPointed, this, [this](std::int64_t dot) {
    if (dot < 0 || !model_) {
      emit pointerText(QString());
      return;
    }
    // A model replaced without a refresh may no longer hold the dot's reading.
    const MapDot d = map().dots[std::size_t(dot)];
    const bool known = d.reading <= model_->reading_count() && d.block <= model_->block_count;
    emit pointerText(known ? QString::fromStdString(dot_text(*model_, d)) : QString());
  });
}

SurveyMapView::~SurveyMapView() = default;

const SurveyMap& SurveyMapView::map() const { return map_graph_->map(); }

void SurveyMapView::setModel(const SurveyModel* model) {
  model_ = model;
  refresh();
}

bool SurveyMapView::rawValues() const { return raw_->isChecked(); }

void SurveyMapView::setRawValues(bool raw) { raw_->setChecked(raw); }

void SurveyMapView::refresh() {
  outOfDate_ = !isVisible();
  if (!outOfDate_) mapModel();
}

void SurveyMapView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (outOfDate_) refresh();
}

void SurveyMapView::mapModel() {
  try {
    map_graph_->show(model_ ? build_survey_map(*model_, raw_->isChecked()) : SurveyMap{});
  } catch (const vellum32::Vellum32Error& e) {
    emit mapFailed(e.Description());
  } catch (const std::exception& e) {
    emit mapFailed(QString::fromLocal8Bit(e.what()));
  }
  bar_->setMap(&map());
}

}  // namespace corvane

#include "map/survey_map_view.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
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
  auto* rescale = new QPushButton(QStringLiteral("Rescale colours"), this);
  rescale->setObjectName(QStringLiteral("Command_rescale_colours"));

  auto* row = new QHBoxLayout;
  row->addWidget(graph_, 1);
  row->addWidget(bar_);
  auto* controls = new QHBoxLayout;
  controls->addWidget(raw_);
  controls->addWidget(rescale);
  controls->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(row, 1);
  column->addLayout(controls);
  takeOverOutputEntries();

  // Raw and corrected values have scales of their own.
  connect(raw_, &QCheckBox::toggled, this, [this] { remap(true); });
  connect(rescale, &QPushButton::clicked, this, &SurveyMapView::rescaleColours);
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
  remap(true);
}

bool SurveyMapView::rawValues() const { return raw_->isChecked(); }

void SurveyMapView::setRawValues(bool raw) { raw_->setChecked(raw); }

void SurveyMapView::refresh() { remap(false); }

void SurveyMapView::remap(bool rescale) {
  rescale_ = rescale_ || rescale;
  outOfDate_ = !isVisible();
  if (!outOfDate_) mapModel();
}

void SurveyMapView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (outOfDate_) remap(false);
}

void SurveyMapView::rescaleColours() {
  try {
    const std::vector<float> values = map_graph_->valuesInView();
    if (values.empty()) return;  // nothing in view has a value to stretch over
    stretch_ = colour_stretch(values);
    map_graph_->recolour(*stretch_);
  } catch (const vellum32::Vellum32Error& e) {
    emit mapFailed(e.Description());
  } catch (const std::exception& e) {
    emit mapFailed(QString::fromLocal8Bit(e.what()));
  }
  bar_->update();
}

void SurveyMapView::mapModel() {
  try {
    // Ticks that changed keep the stretch, the dots of the blocks whose values they left
    // alone, and the part of the plan in view.
    if (model_ && !rescale_ && stretch_) {
      map_graph_->showKeepingView(rebuild_survey_map(*model_, map()));
    } else {
      SurveyMap map = model_ ? build_survey_map(*model_, raw_->isChecked()) : SurveyMap{};
      stretch_ = map.valued > 0 ? std::optional(map.stretch) : std::nullopt;
      map_graph_->show(std::move(map));
    }
    rescale_ = false;
  } catch (const vellum32::Vellum32Error& e) {
    emit mapFailed(e.Description());
  } catch (const std::exception& e) {
    emit mapFailed(QString::fromLocal8Bit(e.what()));
  }
  bar_->setMap(&map());
}

void SurveyMapView::setOperator(vellum32::ControlOperator* person) {
  person_ = person ? person : &dialogs_;
  graph_->setOperator(person);
}

void SurveyMapView::takeOverOutputEntries() {
  const auto take = [this](const char* name, void (SurveyMapView::*entry)()) {
    auto* action = graph_->findChild<QAction*>(QLatin1String(name));
    if (!action) return;
    action->disconnect(graph_);  // the graph's own plot-only output
    connect(action, &QAction::triggered, this, entry);
  };
  take("mnuCopy", &SurveyMapView::copyMap);
  take("mnuPrint", &SurveyMapView::printMap);
  take("mnuEMF", &SurveyMapView::saveMapSvg);
}

void SurveyMapView::copyMap() {
  try {
    QGuiApplication::clipboard()->setImage(map_image(*graph_, map()));
  } catch (const std::exception& e) {
    person_->Message(this, QStringLiteral("The map could not be copied: ") + QString::fromLocal8Bit(e.what()));
  }
}

void SurveyMapView::printMap() {
  try {
    const std::unique_ptr<QPrinter> printer = person_->DefaultPrinter();
    if (!printer) {
      person_->Message(this, QStringLiteral("No printer is available to print the map on."));
      return;
    }
    const bool landscape = person_->Question(this, QStringLiteral("Print in Landscape Mode?"));
    printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const QString failure = print_map(*graph_, map(), *printer);
    if (!failure.isEmpty()) {
      const QString name = printer->outputFileName().isEmpty() ? printer->printerName() : printer->outputFileName();
      person_->Message(this, QStringLiteral("The map could not be printed on %1: %2").arg(name, failure));
      return;
    }
    person_->LetEventsRun();
    person_->Message(this, QStringLiteral("Printing Finished"));
  } catch (const std::exception& e) {
    person_->Message(this, QStringLiteral("The map could not be printed: ") + QString::fromLocal8Bit(e.what()));
  }
}

void SurveyMapView::saveMapSvg() {
  try {
    const QString path = person_
                             ->SaveFileName(window(), QStringLiteral("Enter name of SVG export file"),
                                            QStringLiteral("SVG files (*.svg);;All files (*)"), QStringLiteral("svg"))
                             .trimmed();
    if (path.isEmpty()) return;
    const QString failure = write_map_svg(*graph_, map(), path);
    person_->Message(this, failure.isEmpty()
                               ? QStringLiteral("SVG Export complete")
                               : QStringLiteral("The map could not be written to %1: %2").arg(path, failure));
  } catch (const std::exception& e) {
    person_->Message(this, QStringLiteral("The map could not be written: ") + QString::fromLocal8Bit(e.what()));
  }
}

}  // namespace corvane

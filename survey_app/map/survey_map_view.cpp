#include "map/survey_map_view.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>

#include "grid/grid_input.h"
#include "grid/grid_shading.h"
#include "map/map_graph.h"
#include "vellum32/vellum32.h"
#ifdef CORVANE_GRID_FILES
#include "grid_files/grid_files.h"
#endif

namespace corvane {

namespace {

// What one making of a grid is given: the points to grid, or the grid already made when
// only its picture changes.
struct GridJob {
  GridInput input;
  GridOptions options;
  std::shared_ptr<const Grid> grid;
  std::optional<ColourStretch> stretch;  // the map's; none: the grid's own
  GridLook look;
};

struct GridOutcome {
  GridPicture picture;
  bool regridded = false;
  QString failure;
};

// Runs on a worker thread: every error comes back as the outcome's text.
GridOutcome make_grid_picture(GridJob job) {
  GridOutcome outcome;
  try {
    std::shared_ptr<const Grid> grid = job.grid;
    if (!grid) {
      grid = std::make_shared<const Grid>(make_grid(job.input, job.options));
      outcome.regridded = true;
    }
    const ColourStretch stretch = job.stretch ? *job.stretch : grid_stretch(*grid);
    outcome.picture = grid_picture(std::move(grid), stretch, job.look);
  } catch (const std::exception& e) {
    outcome.failure = QString::fromUtf8(e.what());
  }
  return outcome;
}

// Overrides the pointer with the busy one for its lifetime.
struct BusyPointer {
  BusyPointer() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
  ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;
};

}  // namespace

struct SurveyMapView::GridWork {
  QFutureWatcher<GridOutcome> watcher;
  bool running = false;  // until its outcome is taken, which may be after its thread ended
};

SurveyMapView::SurveyMapView(QWidget* parent) : QWidget(parent) {
  graph_ = new vellum32::Vellum32(this);
  graph_->setObjectName(QStringLiteral("Vellum32_map"));
  graph_->setMinimumSize(240, 180);  // room for the axes and some map
  map_graph_ = new MapGraph(*graph_, this);
  bar_ = new ColourBar(this);
  raw_ = new QCheckBox(QStringLiteral("Raw values"), this);
  raw_->setObjectName(QStringLiteral("Check_raw_values"));
  hide_spikes_ = new QCheckBox(QStringLiteral("Hide spikes"), this);
  hide_spikes_->setObjectName(QStringLiteral("Check_hide_spikes"));
  hide_spikes_->setToolTip(QStringLiteral("Leave the readings flagged as spikes off the map and its colours"));
  auto* rescale = new QPushButton(QStringLiteral("Rescale colours"), this);
  rescale->setObjectName(QStringLiteral("Command_rescale_colours"));

  auto* row = new QHBoxLayout;
  row->addWidget(graph_, 1);
  row->addWidget(bar_);
  auto* controls = new QHBoxLayout;
  controls->addWidget(raw_);
  controls->addWidget(hide_spikes_);
  controls->addWidget(rescale);
  controls->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(row, 1);
  column->addLayout(controls);
  column->addLayout(makeGridPanel());
  takeOverOutputEntries();
  work_ = std::make_unique<GridWork>();
  connect(&work_->watcher, &QFutureWatcher<GridOutcome>::finished, this, &SurveyMapView::gridDone);

  // Raw and corrected values have scales of their own.
  connect(raw_, &QCheckBox::toggled, this, [this] { remap(true); });
  // The values left on the map are others: the colours are stretched over them.
  connect(hide_spikes_, &QCheckBox::toggled, this, [this] { remap(true); });
  connect(rescale, &QPushButton::clicked, this, &SurveyMapView::rescaleColours);
  connect(map_graph_, &MapGraph::dotClicked, this,
          [this](std::int64_t dot) { emit readingClicked(map().dots[std::size_t(dot)].block); });
  connect(map_graph_, &MapGraph::pointed, this, [this](std::int64_t dot, std::int64_t node) {
    if (dot >= 0 && model_) {
      // A model replaced without a refresh may no longer hold the dot's reading.
      const MapDot d = map().dots[std::size_t(dot)];
      const bool known = d.reading <= model_->reading_count() && d.block <= model_->block_count;
      emit pointerText(known ? QString::fromStdString(dot_text(*model_, d)) : QString());
    } else if (node >= 0) {
      emit pointerText(grid_node_text(*map_graph_->grid()->grid, node));
    } else {
      emit pointerText(QString());
    }
  });
}

// A grid still being made finishes on its own thread; its outcome is dropped.
SurveyMapView::~SurveyMapView() = default;

QLayout* SurveyMapView::makeGridPanel() {
  layers_ = new QComboBox(this);
  layers_->setObjectName(QStringLiteral("Combo_map_layers"));
  layers_->addItems({QStringLiteral("Dots"), QStringLiteral("Grid"), QStringLiteral("Both")});
  const auto spin = [this](const char* name, double min, double max, double step, const QString& at_min) {
    auto* box = new QDoubleSpinBox(this);
    box->setObjectName(QLatin1String(name));
    box->setRange(min, max);
    box->setSingleStep(step);
    box->setSpecialValueText(at_min);
    box->setKeyboardTracking(false);
    return box;
  };
  const GridOptions defaults;
  cell_ = spin("Spin_grid_cell", 0, 1e5, 1, QStringLiteral("Auto"));
  tension_ = spin("Spin_grid_tension", 0, 1, 0.05, QString());
  tension_->setValue(defaults.tension);
  blanking_ = spin("Spin_grid_blanking", -1, 1e5, 1, QStringLiteral("Auto"));
  blanking_->setValue(defaults.blanking);
  blanking_->setToolTip(QStringLiteral("Nodes farther than this from every reading are left empty; 0 keeps all"));
  method_ = new QComboBox(this);
  method_->setObjectName(QStringLiteral("Combo_grid_method"));
  method_->addItems({QStringLiteral("Min. curvature"), QStringLiteral("Lines")});
  hill_ = new QCheckBox(QStringLiteral("Hill shading"), this);
  hill_->setObjectName(QStringLiteral("Check_hill_shading"));
  contours_ = new QCheckBox(QStringLiteral("Contours"), this);
  contours_->setObjectName(QStringLiteral("Check_contours"));
  contours_->setEnabled(grid_files_available());

  // Two rows, so that the pane stays as narrow as the map allows.
  auto* panel = new QGridLayout;
  const auto labelled = [&](int row, int column, const QString& label, QWidget* widget) {
    panel->addWidget(new QLabel(label, this), row, column, Qt::AlignRight);
    panel->addWidget(widget, row, column + 1);
  };
  panel->addWidget(layers_, 0, 0);
  labelled(0, 1, QStringLiteral("Cell"), cell_);
  labelled(0, 3, QStringLiteral("Tension"), tension_);
  labelled(0, 5, QStringLiteral("Blanking"), blanking_);
  panel->addWidget(method_, 1, 0);
  panel->addWidget(hill_, 1, 1, 1, 2);
  panel->addWidget(contours_, 1, 3, 1, 2);
  if (grid_files_available()) {
    export_ = new QPushButton(QStringLiteral("Export Grid\u2026"), this);
    export_->setObjectName(QStringLiteral("Command_export_grid"));
    export_->setEnabled(false);
    panel->addWidget(export_, 1, 5, 1, 2);
    connect(export_, &QPushButton::clicked, this, &SurveyMapView::exportGrid);
  }
  panel->setColumnStretch(7, 1);

  connect(layers_, &QComboBox::currentIndexChanged, this, [this] { setLayers(layers()); });
  for (QDoubleSpinBox* box : {cell_, tension_, blanking_})
    connect(box, &QDoubleSpinBox::valueChanged, this, [this] { requestGrid(true); });
  connect(method_, &QComboBox::currentIndexChanged, this, [this] { requestGrid(true); });
  for (QCheckBox* box : {hill_, contours_}) connect(box, &QCheckBox::toggled, this, [this] { requestGrid(false); });
  return panel;
}

MapLayers SurveyMapView::layers() const {
  switch (layers_->currentIndex()) {
    case 1: return MapLayers::grid;
    case 2: return MapLayers::both;
    default: return MapLayers::dots;
  }
}

void SurveyMapView::setLayers(MapLayers layers) {
  const int index = layers == MapLayers::grid ? 1 : layers == MapLayers::both ? 2 : 0;
  if (layers_->currentIndex() != index) {
    layers_->setCurrentIndex(index);  // comes back here through the combo box
    return;
  }
  try {
    map_graph_->setLayers(layers);
  } catch (const vellum32::Vellum32Error& e) {
    emit mapFailed(e.Description());
  }
  requestGrid(false);
}

GridOptions SurveyMapView::gridOptions() const {
  GridOptions options;
  options.method = method_->currentIndex() == 1 ? GridMethod::lines : GridMethod::min_curvature;
  options.cell = cell_->value();
  options.tension = tension_->value();
  options.blanking = blanking_->value();
  return options;
}

void SurveyMapView::setGridOptions(const GridOptions& options) {
  const QSignalBlocker quiet_cell(cell_), quiet_tension(tension_), quiet_blanking(blanking_), quiet_method(method_);
  cell_->setValue(options.cell);
  tension_->setValue(options.tension);
  blanking_->setValue(options.blanking < 0 ? -1 : options.blanking);
  method_->setCurrentIndex(options.method == GridMethod::lines ? 1 : 0);
  requestGrid(true);
}

GridLook SurveyMapView::gridLook() const { return {hill_->isChecked(), contours_->isChecked()}; }

void SurveyMapView::setGridLook(GridLook look) {
  const QSignalBlocker quiet_hill(hill_), quiet_contours(contours_);
  hill_->setChecked(look.hill_shading);
  contours_->setChecked(look.contours && grid_files_available());
  requestGrid(false);
}

bool SurveyMapView::gridBusy() const { return work_->running; }

void SurveyMapView::requestGrid(bool regrid) {
  gridStale_ = gridStale_ || regrid;
  if (layers() == MapLayers::dots || !model_) return;
  const GridPicture* shown = map_graph_->grid();
  const bool fits = !gridStale_ && shown && shown->look.hill_shading == gridLook().hill_shading &&
                    shown->look.contours == gridLook().contours;
  if (fits) return;
  if (gridBusy()) {
    gridPending_ = true;
    return;
  }
  startGrid();
}

void SurveyMapView::startGrid() {
  GridJob job;
  job.look = gridLook();
  if (map().valued > 0) job.stretch = map().stretch;
  const GridPicture* shown = map_graph_->grid();
  const bool regrid = gridStale_ || !shown;
  try {
    if (regrid) {
      job.input = grid_input(*model_, map().raw, 0.0f);
      job.options = gridOptions();
    } else {
      job.grid = shown->grid;
    }
  } catch (const std::exception& e) {
    person_->Message(this, QStringLiteral("The grid could not be made: ") + QString::fromUtf8(e.what()));
    emit gridFinished();
    return;
  }
  setCursor(Qt::BusyCursor);
  work_->running = true;
  work_->watcher.setFuture(QtConcurrent::run(make_grid_picture, std::move(job)));
}

void SurveyMapView::gridDone() {
  unsetCursor();
  work_->running = false;
  if (gridPending_) {
    // The outcome no longer fits what was asked since.
    gridPending_ = false;
    startGrid();
    return;
  }
  GridOutcome outcome = work_->watcher.result();
  if (!outcome.failure.isEmpty()) {
    person_->Message(this, QStringLiteral("The grid could not be made: ") + outcome.failure);
  } else {
    if (outcome.regridded) gridStale_ = false;
    try {
      // The colours may have been rescaled meanwhile.
      const ColourStretch stretch = map().valued > 0 ? map().stretch : outcome.picture.stretch;
      if (stretch.low != outcome.picture.stretch.low || stretch.high != outcome.picture.stretch.high) {
        outcome.picture.image = grid_picture_image(*outcome.picture.grid, stretch, outcome.picture.look.hill_shading);
        outcome.picture.stretch = stretch;
      }
      map_graph_->showGrid(std::move(outcome.picture));
    } catch (const vellum32::Vellum32Error& e) {
      emit mapFailed(e.Description());
    } catch (const std::exception& e) {
      emit mapFailed(QString::fromLocal8Bit(e.what()));
    }
  }
  if (export_) export_->setEnabled(map_graph_->grid() != nullptr);
  emit gridFinished();
}

void SurveyMapView::exportGrid() {
#ifdef CORVANE_GRID_FILES
  QString path;
  try {
    const GridPicture* shown = map_graph_->grid();
    if (!shown) return;
    path = person_
               ->SaveFileName(window(), QStringLiteral("Enter name of grid file"),
                              QStringLiteral("GeoTIFF (*.tif);;Surfer grid (*.grd);;ESRI ASCII grid (*.asc)"),
                              QStringLiteral("tif"))
               .trimmed();
    if (path.isEmpty()) return;
    {
      const BusyPointer busy;
      write_grid_file(*shown->grid, path.toStdString());
    }
    person_->Message(this, QStringLiteral("Grid Export complete"));
  } catch (const GridFileError& e) {
    person_->Message(this, QString::fromUtf8(e.what()));
  } catch (const std::exception& e) {
    person_->Message(this,
                     QStringLiteral("The grid could not be written to %1: %2").arg(path, QString::fromUtf8(e.what())));
  }
#endif
}

const SurveyMap& SurveyMapView::map() const { return map_graph_->map(); }

void SurveyMapView::setModel(const SurveyModel* model) {
  model_ = model;
  remap(true);
}

bool SurveyMapView::rawValues() const { return raw_->isChecked(); }

void SurveyMapView::setRawValues(bool raw) { raw_->setChecked(raw); }

void SurveyMapView::refresh() { remap(false); }

void SurveyMapView::setSpikeFlags(std::vector<std::uint8_t> flags) {
  spikes_ = std::move(flags);
  if (hideSpikes()) remap(true);
}

bool SurveyMapView::hideSpikes() const { return hide_spikes_->isChecked(); }

void SurveyMapView::setHideSpikes(bool hide) { hide_spikes_->setChecked(hide); }

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
    const std::span<const std::uint8_t> hidden =
        hideSpikes() ? std::span<const std::uint8_t>(spikes_) : std::span<const std::uint8_t>();
    if (model_ && !rescale_ && stretch_) {
      map_graph_->showKeepingView(rebuild_survey_map(*model_, map(), hidden));
    } else {
      SurveyMap map = model_ ? build_survey_map(*model_, raw_->isChecked(), hidden) : SurveyMap{};
      stretch_ = map.valued > 0 ? std::optional(map.stretch) : std::nullopt;
      map_graph_->show(std::move(map));
    }
    rescale_ = false;
    if (!model_) map_graph_->clearGrid();
    requestGrid(true);
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

PlotAs SurveyMapView::plotAs() const { return map_graph_->gridDrawn() ? PlotAs::picture : PlotAs::drawing; }

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
    const QString failure = print_map(*graph_, map(), *printer, plotAs());
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
    const QString failure = write_map_svg(*graph_, map(), path, plotAs());
    person_->Message(this, failure.isEmpty()
                               ? QStringLiteral("SVG Export complete")
                               : QStringLiteral("The map could not be written to %1: %2").arg(path, failure));
  } catch (const std::exception& e) {
    person_->Message(this, QStringLiteral("The map could not be written: ") + QString::fromLocal8Bit(e.what()));
  }
}

}  // namespace corvane

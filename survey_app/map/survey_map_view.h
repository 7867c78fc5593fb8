#pragma once
// The survey map pane: the map's graph, its colour bar, the "Raw values" and "Hide spikes"
// switches, the "Rescale colours" button and the grid's panel (Dots / Grid / Both, the gridding's
// options, hill shading, contours, "Export Grid..."). It reads the model it is given and
// never changes it; the window decides what a click or the pointer means. The graph's
// pop-up entries Copy, Print and SVG give the map picture, colour bar included.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "grid/grid.h"
#include "map/map_graph.h"
#include "map/survey_map.h"
#include "vellum32/control_operator.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPushButton;

namespace vellum32 {
class Vellum32;
}

namespace corvane {

class ColourBar;
class MapGraph;

class SurveyMapView : public QWidget {
  Q_OBJECT

public:
  explicit SurveyMapView(QWidget* parent = nullptr);
  ~SurveyMapView() override;

  // The model to map, not owned; it must outlive the view or be replaced first. Draws it,
  // the colours stretched over its values: give it again after a new processing run.
  void setModel(const SurveyModel* model);
  // Maps the model again after ticks change, the colours kept as they are so that a
  // colour means the same value as before. While the pane is hidden this only notes that
  // the map is out of date; showing the pane maps it.
  void refresh();
  // Stretches the colours over the values of the dots in view (the "Rescale colours"
  // button).
  void rescaleColours();
  // Who is asked and told for Copy, Print and SVG; not owned, null for Qt's dialogs.
  void setOperator(vellum32::ControlOperator* person);

  bool rawValues() const;
  void setRawValues(bool raw);

  // The spike flags of the model's readings (by reading row, as flag_spikes gives them);
  // none until given, and give none with a new model until its flags are known. With
  // "Hide spikes" checked the flagged readings are left off the map and its colour stretch.
  void setSpikeFlags(std::vector<std::uint8_t> flags);
  bool hideSpikes() const;
  void setHideSpikes(bool hide);

  // What the map shows. Showing the grid grids the map's readings when the grid is out of
  // date, off the window's thread: the picture shown stays until the new one is ready.
  MapLayers layers() const;
  void setLayers(MapLayers layers);
  // The options the next grid is made with (the panel's); setting them grids again.
  GridOptions gridOptions() const;
  void setGridOptions(const GridOptions& options);
  GridLook gridLook() const;
  void setGridLook(GridLook look);
  // Whether a grid is being made.
  bool gridBusy() const;
  // Writes the grid shown to a file the operator names (.tif, .grd or .asc).
  void exportGrid();

  vellum32::Vellum32& graph() { return *graph_; }
  const SurveyMap& map() const;

signals:
  // A click picked a dot of block `block`.
  void readingClicked(std::int32_t block);
  // What the pointer rests on, as dot_text says it; empty over no dot.
  void pointerText(const QString& text);
  // The map could not be drawn; the description of what failed.
  void mapFailed(const QString& description);
  // A grid's making ended: its picture is shown, or the operator was told why not.
  void gridFinished();

protected:
  void showEvent(QShowEvent* event) override;

private:
  void remap(bool rescale);
  void mapModel();
  // The graph's pop-up entries Copy, Print and SVG, on the map picture.
  void takeOverOutputEntries();
  void copyMap();
  void printMap();
  void saveMapSvg();
  PlotAs plotAs() const;
  // The grid's panel under the map.
  QLayout* makeGridPanel();
  // Makes the grid (again with `regrid`, else when it is out of date) and its picture
  // once the grid is shown, one at a time.
  void requestGrid(bool regrid);
  void startGrid();
  void gridDone();

  const SurveyModel* model_ = nullptr;
  bool outOfDate_ = false;
  bool rescale_ = true;  // at the next mapping
  // The colours' stretch kept across ticks; none until a map has values.
  std::optional<ColourStretch> stretch_;
  vellum32::ControlOperator dialogs_;
  vellum32::ControlOperator* person_ = &dialogs_;
  vellum32::Vellum32* graph_ = nullptr;
  MapGraph* map_graph_ = nullptr;
  ColourBar* bar_ = nullptr;
  QCheckBox* raw_ = nullptr;
  QCheckBox* hide_spikes_ = nullptr;
  std::vector<std::uint8_t> spikes_;
  QComboBox* layers_ = nullptr;
  QDoubleSpinBox* cell_ = nullptr;
  QDoubleSpinBox* tension_ = nullptr;
  QDoubleSpinBox* blanking_ = nullptr;
  QComboBox* method_ = nullptr;
  QCheckBox* hill_ = nullptr;
  QCheckBox* contours_ = nullptr;
  QPushButton* export_ = nullptr;
  // The grid no longer fits the map or the options.
  bool gridStale_ = true;
  // A request came while a grid was being made.
  bool gridPending_ = false;
  struct GridWork;
  std::unique_ptr<GridWork> work_;
};

}  // namespace corvane

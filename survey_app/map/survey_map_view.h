#pragma once
// The survey map pane: the map's graph, its colour bar, the "Raw values" switch and the
// "Rescale colours" button. It reads the model it is given and never changes it; the
// window decides what a click or the pointer means. The graph's pop-up entries Copy, Print
// and SVG give the map picture, colour bar included.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "map/survey_map.h"
#include "vellum32/control_operator.h"

class QCheckBox;

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

  vellum32::Vellum32& graph() { return *graph_; }
  const SurveyMap& map() const;

signals:
  // A click picked a dot of block `block`.
  void readingClicked(std::int32_t block);
  // What the pointer rests on, as dot_text says it; empty over no dot.
  void pointerText(const QString& text);
  // The map could not be drawn; the description of what failed.
  void mapFailed(const QString& description);

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
};

}  // namespace corvane

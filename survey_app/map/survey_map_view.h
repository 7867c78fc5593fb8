#pragma once
// The survey map pane: the map's graph, its colour bar and the "Raw values" switch. It
// reads the model it is given and never changes it; the window decides what a click or
// the pointer means.
#include <QString>
#include <QWidget>
#include <cstdint>

#include "map/survey_map.h"

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

  // The model to map, not owned; it must outlive the view or be replaced first. Draws it.
  void setModel(const SurveyModel* model);
  // Maps the model again: after ticks change or a new processing run. While the pane is
  // hidden this only notes that the map is out of date; showing the pane maps it.
  void refresh();

  bool rawValues() const;
  void setRawValues(bool raw);

  vellum32::Vellum32& graph() { return *graph_; }
  const SurveyMap& map() const;

signals:
  // A click picked a dot of block `block`.
  void readingClicked(std::int32_t block);
  // What the pointer rests on: "Line 100N, station 25.0, 14:03:07, 11.2"; empty over no dot.
  void pointerText(const QString& text);
  // The map could not be drawn; the description of what failed.
  void mapFailed(const QString& description);

protected:
  void showEvent(QShowEvent* event) override;

private:
  void mapModel();

  const SurveyModel* model_ = nullptr;
  bool outOfDate_ = false;
  vellum32::Vellum32* graph_ = nullptr;
  MapGraph* map_graph_ = nullptr;
  ColourBar* bar_ = nullptr;
  QCheckBox* raw_ = nullptr;
};

}  // namespace corvane

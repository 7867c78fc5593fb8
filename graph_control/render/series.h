#pragma once
// The series layer of the plot and the selection mark.
#include <QPoint>
#include <array>
#include <optional>

#include "overlay/primitives.h"
#include "state/control_state.h"

namespace vellum32 {

// Whether a series is drawn with lines and with markers, from its style code (a double:
// -1.5 is not -1), the chart type and PlotPoints.
struct SeriesStyle {
  bool Lines = false;
  bool Markers = false;
};
SeriesStyle StyleOf(double styleCode, ChartTypes chart, bool plotPoints);
SeriesStyle SeriesStyleOf(const ControlState& s, qint32 series);

// Every series, groups from the last to the first and within a group from its first
// series to its last, in copy pen: lines between valid neighbours clipped to the clip window,
// markers at points inside PlotRect. On a screen picture a series that paints in one
// colour goes straight to the device with its lines gathered into pixel-column spans and
// its filled squares into rectangles: the same pixels as drawing every record. A series of
// square markers only, with far more points than its device area has units, is drawn with
// only the last square of each pair of device corners, on any device: the same picture.
// Captured streams always get every record.
void DrawSeries(const ControlState& s, const PlotLayout& layout, Primitives& draw, bool screenPicture);

// The host's image under the series, clipped to PlotRect; nothing without one.
void DrawImageLayer(const ControlState& s, const PlotLayout& layout, Primitives& draw);

// The surface position of point `point` of series `series` (global index) of `group`,
// rounded to whole twips. Raises 9 outside the store.
QPoint PointPosition(const ControlState& s, const PlotLayout& layout, qint32 group, qint32 series, qint32 point);

// The not-xor rectangle that marks a selected point at (x, y): drawn twice at the same
// place it leaves the surface as it was.
void DrawSelectionRectangle(Primitives& draw, qint32 x, qint32 y);

// A selected point: where its mark goes (whole twips), and the point as group, series
// within the group and point.
struct Selection {
  QPoint Mark;
  std::array<qint32, 3> Point{};
};

// The selection moves: the mark of the selected point, if any, is erased, and the new
// one, if any, drawn and kept with its point.
void MoveSelection(ControlState& s, Primitives& draw, const std::optional<Selection>& to);

// The mark of the selected point, if any; keeps its position in the layout's MarkerPos.
void DrawSelectionMark(const ControlState& s, PlotLayout& layout, Primitives& draw);

}  // namespace vellum32

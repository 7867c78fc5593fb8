#pragma once
// The graphics overlay: the host's drawing calls in data units. Each call turns its
// points through the axis transforms onto the surface with the current scales, appends
// its record (values as passed) to OverlayList while recording is on, and draws through
// the primitives. A failing transform appends nothing; a failure while drawing leaves the
// record in the list.
#include <QList>
#include <QPointF>
#include <QString>

#include "overlay/primitives.h"
#include "state/control_state.h"

namespace vellum32 {

// Data values to twips of the surface with the current axes and scales.
QPointF DataToSurface(const ControlState& s, const PlotLayout& layout, double x, double y);

void OverlayMarker(ControlState& s, const PlotLayout& layout, Primitives& draw, float x, float y, qint32 marker_ind,
                   qint32 LineColour);
void OverlayText(ControlState& s, const PlotLayout& layout, Primitives& draw, float text_angle, float x, float y,
                 const QString& chstr);
void OverlayRectangle(ControlState& s, const PlotLayout& layout, Primitives& draw, float xdp1, float ydp1, float xdp2,
                      float ydp2, qint32 BorderColour, qint32 FillColour, qint32 LineWidth);
// Points 1..np (element 0 unused); np < 2 does nothing; lists shorter than np + 1 raise 9.
void OverlayPolygon(ControlState& s, const PlotLayout& layout, Primitives& draw, qint32 np, const QList<float>& xdpl,
                    const QList<float>& ydpl, qint32 BorderColour, qint32 FillColour, qint32 LineWidth);
void OverlayLine(ControlState& s, const PlotLayout& layout, Primitives& draw, float x1, float y1, float x2, float y2,
                 qint32 LineColour, qint32 LineWidth);

// Empties the list and turns recording on.
void ClearOverlay(ControlState& s);
// Draws the list again with the current axes, recording off meanwhile. Stops at the
// first failing record and raises its error; recording then stays off.
void ReplayOverlay(ControlState& s, const PlotLayout& layout, Primitives& draw);

}  // namespace vellum32

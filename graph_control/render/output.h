#pragma once
// The plot on paper and in an SVG file: the mapping rules of both and the drawings onto
// them through the plot routine.
#include <QSize>
#include <QSizeF>
#include <QString>

#include "render/plot.h"

class QPrinter;

namespace vellum32 {

// Paper lines are never thinner than this, in printer dots: a one-dot line is a hairline
// on a high-resolution printer.
inline constexpr int MinimumPaperLineWidth = 2;

// How a page of the printer takes the plot.
struct PrintMapping {
  float DeviceScale = 1;
  // Device units in from the printable area's left and top: half the paper margin, so
  // the plot stays on the paper at any resolution.
  float DeviceOffsetX = 0;
  float DeviceOffsetY = 0;
  float PageWidth = 0;  // twips of the plot surface
  float PageHeight = 0;
  qint32 DefaultPenWidth = MinimumPaperLineWidth;
};

// The plot's width fitted to the printable width (upright) or height (landscape), less
// 200 twips, from the printable area in twips, the printer's resolution, the screen's
// horizontal resolution and the plot surface.
PrintMapping PrintMappingFor(bool landscape, QSizeF printableTwips, QSizeF printerDpi, double screenDpiX,
                             const PlotSurface& surface);

// Draws the whole plot on one page of `printer`, whose job is begun and ended here. The
// page is addressed upright; landscape turns the drawing a quarter. The control's kept
// layout stays that of its picture. Returns false when the printer cannot start the job.
bool PrintPlot(ControlState& s, QPrinter& printer, bool landscape, double screenDpiX, const PlotSurface& surface);

// Frame of the SVG picture in 0.01 mm from the control's size in twips, 567 twips to the
// centimetre.
QSize SvgFrame(QSizeF controlTwips);

// Drawing units of the SVG picture over that frame: 300 to the inch.
QSize SvgDrawingExtent(QSize frame);

struct SvgOutcome {
  enum Kind { Complete, CreationFailed, Failed } Result = Complete;
  QString Reason;
};

// Writes the whole plot to `path` as SVG, through a temporary file beside it that takes
// the name only once complete; a failure leaves any earlier file of that name as it was.
SvgOutcome ExportSvg(ControlState& s, const QString& path, QSizeF controlTwips, const PlotSurface& surface);

}  // namespace vellum32

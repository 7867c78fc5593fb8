// The pop-up menu's Print and SVG entries: the plot on the default printer and in an
// SVG file, through the plot routine, with the person asked and told through the operator.
#include <QPrinter>

#include "render/output.h"
#include "state/control_state.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

void Vellum32::printGraph() {
  const std::unique_ptr<QPrinter> printer = person().DefaultPrinter();
  if (!printer) {
    prompt(QStringLiteral("No printer is available to print the graph on."));
    return;
  }
  const bool landscape = person().Question(this, QStringLiteral("Print in Landscape Mode?"));
  try {
    if (PrintPlot(*s_, *printer, landscape, logicalDpiX(), plotSurface())) {
      person().LetEventsRun();
      prompt(QStringLiteral("Printing Finished"));
    } else {
      const QString name = printer->outputFileName().isEmpty() ? printer->printerName() : printer->outputFileName();
      prompt(QStringLiteral("The printer could not start the print job: %1").arg(name));
    }
  } catch (const Vellum32Error& e) {
    emit Error(e.Number(), e.Description());
  }
  person().LetEventsRun();
  refreshReporting();
}

void Vellum32::exportSvg() {
  QString path = person().SaveFileName(window(), QStringLiteral("Enter name of SVG export file"),
                                       QStringLiteral("SVG files (*.svg);;All files (*)"), QStringLiteral("svg"));
  while (path.endsWith(QChar(0))) path.chop(1);
  path = path.trimmed();
  if (path.isEmpty()) return;
  const QSizeF controlTwips(width() * TwipsPerPixelX(), height() * TwipsPerPixelY());
  const SvgOutcome outcome = ExportSvg(*s_, path, controlTwips, plotSurface());
  switch (outcome.Result) {
    case SvgOutcome::Complete: prompt(QStringLiteral("SVG Export complete")); break;
    case SvgOutcome::CreationFailed: prompt(QStringLiteral("SVG file creation failed : ") + outcome.Reason); break;
    case SvgOutcome::Failed:
      prompt(QStringLiteral("An error occurred while performing the SVG Export: ") + outcome.Reason);
      break;
  }
}

}  // namespace vellum32

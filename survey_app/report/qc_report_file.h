#pragma once
// The QC report's pictures, drawn with the graph control on the calling thread (the
// window's, or the one of corvane-batch's drawing application), and the page's file.
#include <QImage>
#include <QSize>
#include <QString>
#include <string>

#include "qc/qc_report.h"
#include "util/operator.h"

namespace corvane {

// Every base session against time, the marked stretches shaded under the curves and the
// spike flags as red marks; a null image without a base reading.
QImage render_base_curve(const QcReport& report, QSize size);

// The pictures as PNG bytes.
QcReportPictures draw_qc_report_pictures(const QcReport& report);

// Writes the page to `path` through a temporary file beside it, replacing the target only
// when complete. Returns the failure's text, empty on success.
QString write_qc_report_file(const std::string& html, const QString& path);

// Draws, writes and says how it went: "QC report written to PATH" or why not. True when
// written.
bool write_qc_report(const QcReport& report, const std::string& path, Operator& op);

}  // namespace corvane

#include "report/qc_report_file.h"

#include <vellum32/group_data.h>
#include <vellum32/vellum32.h>
#include <QBuffer>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "map/map_graph.h"

namespace corvane {

namespace {

constexpr qint32 red = 0x0000FF;  // the control's colours are 0xBBGGRR
constexpr qint32 filled_square = 1;
const QSize curve_size(1600, 600);
const QSize map_size(1200, 900);  // corvane-batch --map's default

// A strip spanning the curve's x axis, its columns shaded where a marked stretch lies.
QImage stretch_shading(const QcReport& r, int columns) {
  QImage strip(columns, 2, QImage::Format_ARGB32);
  strip.fill(Qt::transparent);
  const double from = *r.curve_x.lower, to = *r.curve_x.upper;
  for (const DiurnalStretch& s : r.stretches) {
    const double start = curve_hours(r, s.start), end = curve_hours(r, s.end);
    const int first = std::max(0, static_cast<int>(std::floor((start - from) / (to - from) * (columns - 1))));
    const int last = std::min(columns - 1, static_cast<int>(std::ceil((end - from) / (to - from) * (columns - 1))));
    for (int x = first; x <= last; ++x)
      for (int y = 0; y < 2; ++y) strip.setPixelColor(x, y, QColor(255, 200, 120));
  }
  return strip;
}

std::string png_bytes(const QImage& image) {
  if (image.isNull()) return {};
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return buffer.data().toStdString();
}

}  // namespace

QImage render_base_curve(const QcReport& r, QSize size) {
  std::vector<vellum32::GroupData> groups;
  for (const QcBaseSession& s : r.bases)
    if (!s.values.empty()) groups.push_back({s.hours, {s.values}});
  if (groups.empty() || !r.curve_x.lower || !r.curve_x.upper || !r.curve_y.lower || !r.curve_y.upper) return {};
  vellum32::Vellum32 control;
  control.resize(size);
  control.setBackColor(0xFFFFFF);
  control.setChartType(vellum32::ChartTypes::Line);
  control.RegisterData(groups);
  control.setXAxisMin(*r.curve_x.lower);
  control.setXAxisMax(*r.curve_x.upper);
  control.setxTickInterval(r.curve_x.tick);
  control.setYAxisMin(*r.curve_y.lower);
  control.setYAxisMax(*r.curve_y.upper);
  control.setyTickInterval(r.curve_y.tick);
  control.setXAxisLabel(QStringLiteral("Hours of ") + QString::fromStdString(format_ymd(r.curve_day)));
  control.setYAxisLabel(QStringLiteral("Base nT"));
  if (!r.stretches.empty())
    control.SetImageLayer(stretch_shading(r, 2000), *r.curve_x.lower, *r.curve_y.upper, *r.curve_x.upper,
                          *r.curve_y.lower);
  control.Refresh();
  for (const QcBaseSession& s : r.bases)
    for (std::size_t k = 0; k < s.spikes.size(); ++k)
      if (s.spikes[k])
        control.DrawMarker(static_cast<float>(s.hours[k]), static_cast<float>(s.values[k]), filled_square, red);
  return control.Picture().copy();
}

QcReportPictures draw_qc_report_pictures(const QcReport& r) {
  QcReportPictures pictures;
  pictures.base_curve = png_bytes(render_base_curve(r, curve_size));
  if (!r.map.dots.empty()) pictures.map = png_bytes(render_map_image(r.map, map_size));
  return pictures;
}

QString write_qc_report_file(const std::string& html, const QString& path) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  if (file.write(html.data(), static_cast<qint64>(html.size())) != static_cast<qint64>(html.size())) {
    const QString failure = file.errorString();
    file.cancelWriting();
    return failure;
  }
  if (!file.commit()) return file.errorString();
  return {};
}

bool write_qc_report(const QcReport& report, const std::string& path, Operator& op) {
  QString failure;
  try {
    failure =
        write_qc_report_file(qc_report_html(report, draw_qc_report_pictures(report)), QString::fromStdString(path));
  } catch (const std::exception& e) {
    failure = QString::fromLocal8Bit(e.what());
  }
  if (!failure.isEmpty()) {
    op.message("The QC report could not be written to " + path + ": " + failure.toStdString());
    return false;
  }
  op.message("QC report written to " + path);
  return true;
}

}  // namespace corvane

// Renders example plots of the Vellum32 graph control into PNG files:
//   vellum32_gallery [FOLDER]
// or shows them in a window to try zooming (the strip, the wheel, Shift + drag):
//   vellum32_gallery --show
#include <vellum32/vellum32.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

using vellum32::ChartTypes;
using vellum32::RGBColour;
using vellum32::Vellum32;

constexpr qint32 White = RGBColour(255, 255, 255);

// A control of the given size in twips with a white picture and a readable font.
void prepare(Vellum32& graph, double widthTwips, double heightTwips) {
  graph.resize(int(std::lround(widthTwips / graph.TwipsPerPixelX())),
               int(std::lround(heightTwips / graph.TwipsPerPixelY())));
  graph.setBackColor(White);
  const QFont font(QStringLiteral("DejaVu Sans"), 8);
  graph.setFont(font);
  graph.setTitleFont(font);
}

bool save(const Vellum32& graph, const QString& folder, const QString& name) {
  const QString path = QDir(folder).filePath(name);
  if (!graph.Picture().save(path)) {
    std::fprintf(stderr, "vellum32_gallery: could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

bool saveWhole(Vellum32& graph, const QString& folder, const QString& name) {
  const QString path = QDir(folder).filePath(name);
  if (!graph.grab().save(path)) {
    std::fprintf(stderr, "vellum32_gallery: could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Two groups on a log-linear Y axis: two survey lines sampled every 2 m and a base
// series sampled every 10 m, with markers, a legend, both axis labels and a selected point.
void groupsOnLogLinearAxis(Vellum32& graph) {
  prepare(graph, 9000, 4500);
  const int lineStations = 51;
  const int baseStations = 11;
  vellum32::DataTable table(5, lineStations + 1);
  table(3, 0) = 1;  // row 3 opens the second group
  for (int k = 1; k <= lineStations; ++k) {
    const double x = 2.0 * (k - 1);
    table(0, k) = x;
    table(1, k) = 8000 * std::exp(-std::pow((x - 40) / 9, 2)) + 3 * std::sin(x / 7) - 2;
    table(2, k) = -600 * std::exp(-std::pow((x - 65) / 12, 2)) + 0.5;
  }
  for (int k = 1; k <= baseStations; ++k) {
    const double x = 10.0 * (k - 1);
    table(3, k) = x;
    table(4, k) = 30 + 20 * std::cos(x / 25);
  }
  graph.setYAxisType(vellum32::AxisTypes::LogLinear);
  graph.setChartType(ChartTypes::Line);
  graph.setPlotPoints(true);
  graph.RegisterData(table);
  graph.SetSeriesOptions(1, 1, RGBColour(200, 30, 30), QStringLiteral("Line 100N"), 1);
  graph.SetSeriesOptions(1, 2, RGBColour(30, 60, 200), QStringLiteral("Line 200N"), 6);
  graph.SetSeriesOptions(2, 1, RGBColour(0, 140, 60), QStringLiteral("Base station"), 3, -1, 2);
  graph.setTitle(QStringLiteral("Anomalies on two lines"));
  graph.setXAxisLabel(QStringLiteral("Station (m)"));
  graph.setYAxisLabel(QStringLiteral("Residual field (nT)"));
  graph.setDisplayLegend(true);
  graph.setxTickInterval(10);
  graph.Refresh();
  graph.setSelectPoint(1, 2, 36, true);
}

// A whole day of readings, 200,000 points in one line series.
void denseProfile(Vellum32& graph) {
  prepare(graph, 9000, 3000);
  const int n = 200000;
  vellum32::DataTable table(2, n + 1);
  std::mt19937 random(7);
  std::normal_distribution<double> step(0.0, 0.4);
  double field = 57420;
  for (int k = 1; k <= n; ++k) {
    field += step(random) - (field - 57420) * 0.0005;
    table(0, k) = k;
    table(1, k) = field + 6 * std::sin(k / 9000.0);
  }
  graph.setChartType(ChartTypes::Line);
  graph.RegisterData(table);
  graph.SetSeriesOptions(1, 1, RGBColour(30, 60, 200));
  graph.setTitle(QStringLiteral("Base station, 200,000 readings"));
  graph.setXAxisLabel(QStringLiteral("Reading"));
  graph.setYAxisLabel(QStringLiteral("Field (nT)"));
  graph.setxTickInterval(50000);
  graph.setyTickInterval(10);
  graph.Refresh();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("--show")) {
    Vellum32 groups;
    groupsOnLogLinearAxis(groups);
    groups.setDoZoom(true);
    groups.setWindowTitle(QStringLiteral("Vellum32: wheel, Shift + drag, the zoom strip"));
    groups.show();
    return app.exec();
  }
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "vellum32_gallery: could not create %s\n", qPrintable(folder));
    return 1;
  }
  try {
    Vellum32 groups;
    groupsOnLogLinearAxis(groups);
    Vellum32 dense;
    denseProfile(dense);
    // The same day with the zoom strip: a third of the readings, right of the centre.
    Vellum32 zoomed;
    denseProfile(zoomed);
    zoomed.setDoZoom(true);
    zoomed.setxTickInterval(10000);
    zoomed.setXaxisZoomRange(30);
    zoomed.setXaxisZoomCentre(65);
    const bool ok = save(groups, folder, QStringLiteral("groups_log_linear.png")) &&
                    save(dense, folder, QStringLiteral("dense_profile.png")) &&
                    saveWhole(zoomed, folder, QStringLiteral("zoom_strip.png"));
    return ok ? 0 : 1;
  } catch (const vellum32::Vellum32Error& e) {
    std::fprintf(stderr, "vellum32_gallery: error %d: %s\n", e.Number(), qPrintable(e.Description()));
    return 1;
  }
}

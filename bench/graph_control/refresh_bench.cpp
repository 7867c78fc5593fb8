// Refresh against QCustomPlot's replot: milliseconds per redraw of one series.
//
// For 1,000, 100,000 and 1,000,000 points and three drawing cases (lines, lines with
// markers, markers alone), a control of 6255 x 1815 twips and a QCustomPlot of the same
// pixel size show the same data; their redraws are timed interleaved, so that the noise
// of the machine falls on both, and the medians are printed side by side.
//
// Usage: vellum32_refresh_bench [--save DIR]   (DIR gets a PNG of each plot after its timing)
#include <qcustomplot.h>

#include <QApplication>
#include <QDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "vellum32/vellum32.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double ControlWidthTwips = 6255;
constexpr double ControlHeightTwips = 1815;
// Time each column of a cell aims at, and the fewest runs a median is taken over.
constexpr double TargetSeconds = 0.5;
constexpr int MinRuns = 5;
constexpr int MaxRuns = 100000;

enum class Case { Lines, LinesAndMarkers, Markers };
const char* caseName(Case c) {
  switch (c) {
    case Case::Lines: return "lines";
    case Case::LinesAndMarkers: return "lines+markers";
    case Case::Markers: return "markers";
  }
  return "";
}
bool hasLine(Case c) { return c != Case::Markers; }
bool hasMarkers(Case c) { return c != Case::Lines; }

struct Series {
  QVector<double> x;
  QVector<double> y;
  double yMin = 0;
  double yMax = 0;
};

// x = 1..n; y a random walk of uniform steps in [-1, 1). The steps come straight from
// mt19937's bits, which the standard fixes, so every platform draws the same walk.
Series makeSeries(int n) {
  Series s;
  s.x.resize(n);
  s.y.resize(n);
  std::mt19937 bits(20240611u);
  double y = 0;
  for (int k = 0; k < n; ++k) {
    y += double(bits()) / 2147483648.0 - 1.0;
    s.x[k] = k + 1;
    s.y[k] = y;
  }
  const auto [lo, hi] = std::minmax_element(s.y.cbegin(), s.y.cend());
  s.yMin = std::floor(*lo);
  s.yMax = std::ceil(*hi);
  return s;
}

// The smallest step of 1, 2 or 5 times a power of ten that cuts `range` into at most 10
// intervals (so 4 to 10 ticks).
double tickStep(double range) {
  const double rough = range / 10;
  const double decade = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (m * decade >= rough) return m * decade;
  return 10 * decade;
}

[[noreturn]] void fail(const char* what, const vellum32::Vellum32Error& e) {
  std::fprintf(stderr, "%s raised error %d: %s\n", what, e.Number(), qPrintable(e.Description()));
  std::exit(1);
}

// Runs `work`; a Vellum32Error it raises ends the program with the error's description.
template <typename F>
void checked(const char* what, F&& work) {
  try {
    work();
  } catch (const vellum32::Vellum32Error& e) {
    fail(what, e);
  }
}

double secondsOf(const std::function<void()>& work) {
  const auto t0 = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Runs for about TargetSeconds of `work`, from the mean of at least 3 calls and 20 ms.
int runsFor(const std::function<void()>& work) {
  int calls = 0;
  double spent = 0;
  while (calls < 3 || (spent < 0.02 && calls < 1000)) {
    spent += secondsOf(work);
    ++calls;
  }
  const double each = spent / calls;
  if (each <= 0) return MaxRuns;
  return int(std::clamp(std::ceil(TargetSeconds / each), double(MinRuns), double(MaxRuns)));
}

struct Cell {
  double vellumMs = 0;
  double qcpMs = 0;
  int vellumRuns = 0;
  int qcpRuns = 0;
};

// Times `a` and `b`, each about TargetSeconds in all, interleaving the runs evenly; the
// events the redraws post are handled between runs, outside the timing.
Cell timeInterleaved(const std::function<void()>& a, const std::function<void()>& b) {
  const int ra = runsFor(a);
  const int rb = runsFor(b);
  QCoreApplication::processEvents();
  const int steps = std::max(ra, rb);
  std::vector<double> ta, tb;
  ta.reserve(ra);
  tb.reserve(rb);
  for (int i = 0; i < steps; ++i) {
    if (qint64(i) * ra / steps != qint64(i + 1) * ra / steps) ta.push_back(secondsOf(a));
    if (qint64(i) * rb / steps != qint64(i + 1) * rb / steps) tb.push_back(secondsOf(b));
    QCoreApplication::processEvents();
  }
  return {median(ta) * 1e3, median(tb) * 1e3, ra, rb};
}

std::string grouped(long long v) {
  std::string digits = std::to_string(v);
  for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(std::size_t(i), ",");
  return digits;
}

struct Setup {
  int widthPx = 0;
  int heightPx = 0;
  double markerPx = 0;  // side of a square marker
  QString saveDir;
};

Cell runCell(Case c, const Series& s, const vellum32::DataTable& table, const Setup& setup) {
  const int n = int(s.x.size());
  const double xStep = tickStep(n - 1);
  const double yStep = tickStep(s.yMax - s.yMin);

  // Any message of the control means the case is set up wrongly.
  struct Stop : vellum32::ControlOperator {
    void Message(QWidget*, const QString& text) override {
      std::fprintf(stderr, "the control reported: %s\n", qPrintable(text));
      std::exit(1);
    }
  };
  static Stop stop;
  vellum32::Vellum32 control;
  control.setOperator(&stop);
  control.resize(setup.widthPx, setup.heightPx);
  checked("setting up the control", [&] {
    control.setChartType(hasLine(c) ? vellum32::ChartTypes::Line : vellum32::ChartTypes::Point);
    control.setPlotPoints(c == Case::LinesAndMarkers);
    control.setXAxisMin(1);
    control.setXAxisMax(float(n));
    control.setYAxisMin(float(s.yMin));
    control.setYAxisMax(float(s.yMax));
    control.setxTickInterval(float(xStep));
    control.setyTickInterval(float(yStep));
    control.RegisterData(table);
    // Red (RGB with red in the low byte); marker code 1 is a filled square.
    control.SetSeriesOptions(1, 1, 255, QString(), hasMarkers(c) ? 1 : 0, -1, 1);
  });

  QCustomPlot plot;
  plot.resize(setup.widthPx, setup.heightPx);
  QCPGraph* graph = plot.addGraph();
  graph->setData(s.x, s.y, true);
  graph->setPen(QPen(Qt::black, 1));
  graph->setLineStyle(hasLine(c) ? QCPGraph::lsLine : QCPGraph::lsNone);
  if (hasMarkers(c))
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::red, Qt::red, setup.markerPx));
  plot.xAxis->setRange(1, n);
  plot.yAxis->setRange(s.yMin, s.yMax);

  // First paint and first draw happen before any timing.
  control.show();
  plot.show();
  QCoreApplication::processEvents();
  checked("Refresh", [&] { control.Refresh(); });
  plot.replot();
  QCoreApplication::processEvents();

  const Cell cell = timeInterleaved([&] { checked("Refresh", [&] { control.Refresh(); }); }, [&] { plot.replot(); });

  if (!setup.saveDir.isEmpty()) {
    const QString stem = QStringLiteral("%1/%2_%3_").arg(setup.saveDir, caseName(c)).arg(n);
    control.Picture().save(stem + QStringLiteral("vellum32.png"));
    plot.grab().save(stem + QStringLiteral("qcustomplot.png"));
  }
  return cell;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  Setup setup;
  const QStringList args = app.arguments();
  const qsizetype save = args.indexOf(QStringLiteral("--save"));
  if (save > 0) {
    if (save + 1 >= args.size()) {
      std::fprintf(stderr, "usage: %s [--save DIR]\n", argv[0]);
      return 2;
    }
    setup.saveDir = args[save + 1];
    QDir().mkpath(setup.saveDir);
  }

  vellum32::Vellum32 probe;
  const double twipsPerPixelX = 1440.0 / probe.logicalDpiX();
  const double twipsPerPixelY = 1440.0 / probe.logicalDpiY();
  setup.widthPx = int(std::lround(ControlWidthTwips / twipsPerPixelX));
  setup.heightPx = int(std::lround(ControlHeightTwips / twipsPerPixelY));
  // A square of code 1 reaches MarkerSize twips either side of its point.
  setup.markerPx = 2 * probe.MarkerSize() / twipsPerPixelX;

  std::printf("Qt %s (built with %s), platform %s, screen %d x %d dpi\n", qVersion(), QT_VERSION_STR,
              qPrintable(QGuiApplication::platformName()), probe.logicalDpiX(), probe.logicalDpiY());
  std::printf("control %.0f x %.0f twips = %d x %d px; markers %.2f px squares\n", ControlWidthTwips,
              ControlHeightTwips, setup.widthPx, setup.heightPx, setup.markerPx);
  {
    QCustomPlot plot;
    const QCPGraph* graph = plot.addGraph();
    std::printf(
        "QCustomPlot %s: adaptive sampling %s, antialiased line %s, antialiased markers %s, "
        "immediate refresh %s\n",
        QCUSTOMPLOT_VERSION_STR, graph->adaptiveSampling() ? "on" : "off", graph->antialiased() ? "on" : "off",
        graph->antialiasedScatters() ? "on" : "off",
        plot.plottingHints().testFlag(QCP::phImmediateRefresh) ? "on" : "off");
  }
  std::printf("median ms per redraw, each column about %.1f s of runs (at least %d)\n\n", TargetSeconds, MinRuns);
  std::printf("%-14s %10s %13s %15s %9s %15s\n", "case", "points", "Vellum32 ms", "QCustomPlot ms", "QCP/V32",
              "runs V32/QCP");
  std::fflush(stdout);

  for (const int n : {1000, 100000, 1000000}) {
    const Series s = makeSeries(n);
    vellum32::DataTable table(2, n + 1);
    for (int k = 1; k <= n; ++k) {
      table(0, k) = s.x[k - 1];
      table(1, k) = s.y[k - 1];
    }
    for (const Case c : {Case::Lines, Case::LinesAndMarkers, Case::Markers}) {
      const Cell cell = runCell(c, s, table, setup);
      std::printf("%-14s %10s %13.3f %15.3f %9.3g %15s\n", caseName(c), grouped(n).c_str(), cell.vellumMs, cell.qcpMs,
                  cell.qcpMs / cell.vellumMs,
                  (std::to_string(cell.vellumRuns) + "/" + std::to_string(cell.qcpRuns)).c_str());
      std::fflush(stdout);
    }
  }
  return 0;
}

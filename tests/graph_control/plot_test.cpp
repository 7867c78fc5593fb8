#include <QPainter>
#include <QSignalSpy>
#include <algorithm>
#include <random>

#include "recording_device.h"
#include "render/plot.h"
#include "render/series.h"
#include "test_support.h"

namespace vellum32 {
namespace {

using test::DeviceCall;
using test::makeTable;
using test::RecordingDevice;
using test::StateOf;

const qint32 Red = RGBColour(255, 0, 0);
const QColor RedColour(255, 0, 0);
constexpr double Missing = -999;

// A control with a white picture of 6255 x 1815 twips.
struct Graph {
  Vellum32 control;
  Graph() {
    control.resize(int(std::lround(6255 / control.TwipsPerPixelX())),
                   int(std::lround(1815 / control.TwipsPerPixelY())));
    control.setBackColor(RGBColour(255, 255, 255));
  }
  PlotSurface surface() const {
    const QWidget* picture = control.findChild<QWidget*>(QStringLiteral("Picture_graph"));
    PlotSurface s;
    s.PictureWidth = float(picture->width() * control.TwipsPerPixelX());
    s.PictureHeight = float(picture->height() * control.TwipsPerPixelY());
    s.ScreenTwipsPerPixelX = float(control.TwipsPerPixelX());
    s.ScreenTwipsPerPixelY = float(control.TwipsPerPixelY());
    s.Font = control.Font();
    return s;
  }
  DrawContext context() const { return ScreenContext(StateOf(control), StateOf(control).Layout, control.Font()); }
  // Every call the plot makes on a device other than the screen picture.
  std::vector<DeviceCall> record(qint32 mode = WholePlot) {
    RecordingDevice device;
    PlotTarget target;
    target.Device = &device;
    PlotGraph(StateOf(control), mode, target, surface(), context());
    return device.calls;
  }
  // The records of a captured plot, each as its list of entries (code first); the layout
  // it made becomes the control's.
  std::vector<QVariantList> capture(qint32 mode = WholePlot) {
    ControlState& s = StateOf(control);
    StreamSink sink;
    DrawContext c = context();
    c.Stream = &sink;
    s.Layout = PlotGraph(s, mode, PlotTarget{}, surface(), c);
    std::vector<QVariantList> records;
    for (qint32 i = 1; i <= sink.Count;) {
      const int length = RecordLength(sink.List[i].toInt());
      records.push_back(sink.List.mid(i, length));
      i += std::max(length, 1);
    }
    return records;
  }
};

int count(const std::vector<DeviceCall>& calls, DeviceCall::Kind kind, const QColor& colour) {
  return int(std::count_if(calls.begin(), calls.end(),
                           [&](const DeviceCall& c) { return c.kind == kind && c.colour == colour; }));
}

std::vector<QVariantList> ofCode(const std::vector<QVariantList>& records, int code) {
  std::vector<QVariantList> out;
  for (const QVariantList& r : records)
    if (r[0].toInt() == code) out.push_back(r);
  return out;
}

TEST(PlotTest, AMissingValueBreaksTheLine) {
  Graph g;
  g.control.setChartType(ChartTypes::Line);
  g.control.RegisterData(makeTable({{0, 1, 2, 3, 4}, {0, 1, Missing, 3, 4}}));
  g.control.SetSeriesOptions(1, 1, Red);
  const std::vector<DeviceCall> calls = g.record();
  const auto red = std::find_if(calls.begin(), calls.end(), [](const DeviceCall& c) { return c.colour == RedColour; });
  ASSERT_EQ(count(calls, DeviceCall::Line, RedColour), 1);
  // Drawn from point 4 back to point 3.
  EXPECT_GT(red->points[0].x(), red->points[1].x());
}

// What a series draws for its style code, chart type and PlotPoints: lines, and markers
// (marker code 1 fills a square).
TEST(PlotTest, StyleCodeChooseLinesAndMarkers) {
  struct Case {
    ChartTypes chart;
    bool plotPoints;
    double header;
    qint32 marker;
    int lines;
    int fills;
  } cases[] = {
      {ChartTypes::Point, false, 0, 0, 0, 0},  // markers of code 0 draw nothing: only the axes
      {ChartTypes::Point, false, 0, 1, 0, 3},
      {ChartTypes::Point, false, -2, 1, 2, 0},  // lines only, whatever the chart
      {ChartTypes::Point, false, -3, 1, 2, 3},
      {ChartTypes::Line, false, -1, 1, 0, 3},    // markers only
      {ChartTypes::Line, false, -1.5, 1, 2, 0},  // not -1: a line like any other code
      {ChartTypes::Line, true, -1.5, 1, 2, 3},
      {ChartTypes::Line, false, -4, 1, 2, 0},
      {ChartTypes::Line, true, 0, 1, 2, 3},
  };
  for (const Case& c : cases) {
    Graph g;
    g.control.setChartType(c.chart);
    g.control.setPlotPoints(c.plotPoints);
    g.control.RegisterData(makeTable({{0, 1, 2, 3}, {c.header, 1, 3, 2}}));
    g.control.SetSeriesOptions(1, 1, Red, QString(), c.marker);
    const std::vector<DeviceCall> calls = g.record();
    EXPECT_EQ(count(calls, DeviceCall::Line, RedColour), c.lines) << c.header << " " << int(c.chart);
    EXPECT_EQ(count(calls, DeviceCall::Fill, RedColour), c.fills) << c.header << " " << int(c.chart);
  }
}

TEST(PlotTest, APointOutsideThePlotHasNoMarkerAndItsLinesEndAtTheFrame) {
  Graph g;
  g.control.RegisterData(makeTable({{0, 1, 2, 3}, {-3, 5, 50, 5}}));
  g.control.SetSeriesOptions(1, 1, Red, QString(), 1);
  g.control.setYAxisMin(0);
  g.control.setYAxisMax(10);
  const std::vector<QVariantList> records = g.capture();
  EXPECT_EQ(ofCode(records, MarkerRecord).size(), 2u);
  const TwipsRect plot = StateOf(g.control).Layout.PlotRect;
  int atFrame = 0;
  for (const QVariantList& line : ofCode(records, LineRecord))
    if (line[5].toInt() == Red) atFrame += (line[2].toFloat() == plot.Top) + (line[4].toFloat() == plot.Top);
  EXPECT_EQ(atFrame, 2);
}

TEST(PlotTest, EveryPointOfALongSeriesIsDrawn) {
  Graph g;
  const int n = 1000;
  DataTable table(2, n + 1);
  for (int k = 1; k <= n; ++k) {
    table(0, k) = k;
    table(1, k) = k % 7;
  }
  g.control.RegisterData(table);
  g.control.SetSeriesOptions(1, 1, Red, QString(), 1);
  EXPECT_EQ(ofCode(g.capture(), MarkerRecord).size(), std::size_t(n));
}

// Many small squares of several colours: drawing only the last square of each device
// place paints the same picture as drawing every square. One more point with another
// marker at the end makes the control draw every square; outside that marker the two
// pictures are the same, pixel for pixel.
TEST(PlotTest, ManySquaresPaintAsIfEachWereDrawn) {
  const int n = 60'000;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> at(0, 100);
  std::vector<double> xs(n + 1), ys(n + 1);
  std::vector<qint32> colours(n + 1);
  const qint32 palette[] = {Red, RGBColour(0, 0, 255), RGBColour(0, 160, 0)};
  for (int k = 0; k < n; ++k) {
    xs[k] = at(random), ys[k] = at(random);
    colours[k] = palette[random() % 3];
  }
  xs[n] = 50, ys[n] = 50, colours[n] = Red;
  const auto picture = [&](bool markerAtEnd) {
    Graph g;
    g.control.setXAxisMin(0), g.control.setXAxisMax(100);
    g.control.setYAxisMin(0), g.control.setYAxisMax(100);
    g.control.setMarkerSize(20);
    std::vector<double> y = ys;
    if (!markerAtEnd) y[n] = std::nan("");
    g.control.RegisterData(xs, y);
    g.control.SetSeriesOptions(1, 1, -1, QString(), 1);
    g.control.RegisterMarkerColour(colours, 1, 1);
    DataTable star(2, n + 2);
    star(1, n + 1) = 3;
    if (markerAtEnd) g.control.RegisterMarker(star, 1, 1, n + 1);
    g.control.Refresh();
    const QPoint end = PointPosition(StateOf(g.control), StateOf(g.control).Layout, 1, 1, markerAtEnd ? n + 1 : 1);
    return std::pair(g.control.Picture(),
                     QPointF(end.x() / g.control.TwipsPerPixelX(), end.y() / g.control.TwipsPerPixelY()));
  };
  const auto [every, end] = picture(true);
  const auto [last, unused] = picture(false);
  ASSERT_EQ(every.size(), last.size());
  int differing = 0;
  for (int y = 0; y < every.height(); ++y)
    for (int x = 0; x < every.width(); ++x) {
      if (std::abs(x - end.x()) <= 12 && std::abs(y - end.y()) <= 12) continue;
      differing += every.pixel(x, y) != last.pixel(x, y);
    }
  EXPECT_EQ(differing, 0);
}

TEST(PlotTest, AfterClearOnlyTheOverlayIsDrawn) {
  Graph g;
  g.control.RegisterData(makeTable({{0, 0, 100}, {0, 0, 100}}));
  g.control.setxTickInterval(50);
  g.control.setyTickInterval(50);
  g.control.Refresh();
  g.control.Clear();
  g.control.DrawLine(10, 10, 90, 90, Red, 1);
  const std::vector<DeviceCall> calls = g.record();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].colour, RedColour);
}

TEST(PlotTest, GroupOneIsDrawnLastAndEndsOnTop) {
  Graph g;
  g.control.setChartType(ChartTypes::Line);
  g.control.RegisterData(makeTable({{0, 1, 2}, {0, 1, 2}, {1, 1, 2}, {0, 2, 1}}));
  g.control.SetSeriesOptions(1, 1, Red);
  g.control.SetSeriesOptions(2, 1, RGBColour(0, 0, 255));
  const std::vector<DeviceCall> calls = g.record();
  const auto last = std::find_if(calls.rbegin(), calls.rend(), [](const DeviceCall& c) {
    return c.colour == RedColour || c.colour == QColor(0, 0, 255);
  });
  ASSERT_NE(last, calls.rend());
  EXPECT_EQ(last->colour, RedColour);
}

// The legend column: x0 from the widest text, entries h + 120 apart, the line sample's
// half-length 60 up to MarkerSize 15 and 3 x MarkerSize above.
TEST(LegendTest, ColumnAndSampleFollowTheTextsAndMarkerSize) {
  for (const auto& [markerSize, half] : {std::pair{15, 60.0f}, std::pair{16, 48.0f}, std::pair{21, 63.0f}}) {
    Graph g;
    g.control.setChartType(ChartTypes::Line);
    g.control.setMarkerSize(markerSize);
    g.control.setDisplayLegend(true);
    g.control.RegisterData(makeTable({{0, 1, 2}, {0, 1, 2}, {0, 2, 1}, {0, 3, 3}}));
    g.control.SetSeriesOptions(1, 1, Red, QStringLiteral("A"));
    g.control.SetSeriesOptions(1, 2, -1, QStringLiteral("   "));
    g.control.SetSeriesOptions(1, 3, -1, QStringLiteral(" A much wider text "));
    const std::vector<QVariantList> records = g.capture();
    std::vector<QVariantList> texts;
    for (const QVariantList& t : ofCode(records, TextRecord))
      if (t[4].toString().contains(QLatin1Char('A'))) texts.push_back(t);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1][4].toString(), QStringLiteral("A much wider text"));
    const float x0 = texts[0][2].toFloat() - 120;
    EXPECT_EQ(texts[1][2].toFloat() - 120, x0);
    EXPECT_EQ(StateOf(g.control).Layout.RightLimit, qint32(std::nearbyint(x0 - 180)));
    const float h = (texts[0][3].toFloat() + 30 - 240) / 2;
    EXPECT_FLOAT_EQ(texts[1][3].toFloat() - texts[0][3].toFloat(), h + 120);
    const auto sample = std::find_if(records.begin(), records.end(), [&](const QVariantList& r) {
      return r[0].toInt() == LineRecord && r[5].toInt() == Red && r[2].toFloat() == r[4].toFloat();
    });
    ASSERT_NE(sample, records.end()) << markerSize;
    EXPECT_FLOAT_EQ((*sample)[3].toFloat() - (*sample)[1].toFloat(), 2 * half) << markerSize;
  }
}

TEST(LegendTest, NoTextNoAxesOrLegendOnly) {
  Graph g;
  g.control.setDisplayLegend(true);
  g.control.RegisterData(makeTable({{0, 1, 2}, {0, 1, 2}}));
  g.capture();
  const qint32 fullWidth = StateOf(g.control).Layout.RightLimit;
  g.control.SetSeriesOptions(1, 1, Red, QStringLiteral("Series"));
  g.capture();
  EXPECT_LT(StateOf(g.control).Layout.RightLimit, fullWidth);

  const auto legendTexts = [&](qint32 mode) {
    std::vector<float> xs;
    for (const QVariantList& t : ofCode(g.capture(mode), TextRecord))
      if (t[4].toString() == QStringLiteral("Series")) xs.push_back(t[2].toFloat());
    return xs;
  };
  EXPECT_EQ(legendTexts(1), std::vector<float>{360});
  g.control.setDisplayAxes(false);
  EXPECT_TRUE(legendTexts(WholePlot).empty());
}

// The screen picture draws dense series per pixel column; the pixels must be those of
// drawing every segment: walks with missing points and markers, a group in random order,
// and a group whose X falls, with values over the whole height (so that no column is one
// short span), all clipped at every edge.
TEST(PlotTest, ColumnSpansGiveThePixelsOfEverySegment) {
  Graph g;
  g.control.setChartType(ChartTypes::Line);
  g.control.setPlotPoints(true);
  const int n = 60000;
  DataTable table(7, n + 1);
  table(3, 0) = 1;
  table(5, 0) = 1;
  std::mt19937 random(11);
  std::uniform_real_distribution<double> value(-20, 120);
  std::normal_distribution<double> step(0, 0.5);
  double walk[] = {50, 50};
  for (int k = 1; k <= n; ++k) {
    table(0, k) = k / 3.0;
    table(3, k) = value(random) * 200 / 3;  // a group in random order
    table(4, k) = value(random);
    table(5, k) = (n + 1 - k) / 3.0;  // a group whose X falls
    table(6, k) = k % 89 == 0 ? Missing : value(random);
    for (int row : {1, 2}) {
      double& w = walk[row - 1];
      w = std::clamp(w + step(random), -20.0, 120.0);
      table(row, k) = k % 97 == 0 ? Missing : w;
    }
  }
  g.control.RegisterData(table);
  g.control.SetSeriesOptions(1, 1, Red);
  g.control.SetSeriesOptions(1, 2, RGBColour(0, 0, 255), QString(), 1);
  g.control.SetSeriesOptions(2, 1, RGBColour(0, 160, 0), QString(), 2);
  g.control.SetSeriesOptions(3, 1, RGBColour(160, 0, 160), QString(), 1);
  for (qint32 p = 1; p <= n; p += 5) g.control.setPointMarker(2, 1, p, 7);
  // Limits inside the data, so that lines are clipped at every edge.
  g.control.setXAxisMin(2000);
  g.control.setXAxisMax(18000);
  g.control.setYAxisMin(0);
  g.control.setYAxisMax(100);
  g.control.setxTickInterval(4000);
  g.control.setyTickInterval(25);
  g.control.Refresh();
  const QImage screen = g.control.Picture().copy();

  QImage plain(screen.size(), screen.format());
  QPainter painter(&plain);
  PainterDevice device(painter, g.control.logicalDpiX(), g.control.logicalDpiY());
  PlotTarget target;
  target.Device = &device;
  target.ClearColour = Qt::white;
  PlotGraph(StateOf(g.control), WholePlot, target, g.surface(), g.context());
  painter.end();
  int differing = 0;
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) differing += plain.pixel(x, y) != screen.pixel(x, y);
  EXPECT_EQ(differing, 0);
  EXPECT_GT(count(g.record(), DeviceCall::Line, RedColour), 10000);
}

TEST(PlotTest, ResizeRedrawsAndReportsItsErrorsThroughTheSignal) {
  Graph g;
  g.control.RegisterData(makeTable({{0, 1, 2}, {0, 1, 2}}));
  g.control.show();
  g.control.setxTickInterval(0);
  QSignalSpy errors(&g.control, &Vellum32::Error);
  g.control.resize(g.control.width() + 40, g.control.height());
  ASSERT_EQ(errors.count(), 1);
  EXPECT_EQ(errors[0][0].toInt(), PlottingError);
  EXPECT_TRUE(errors[0][1].toString().startsWith(QStringLiteral("Error 11 plotting graph: ")));
  g.control.setxTickInterval(1);
  g.control.resize(g.control.width() - 40, g.control.height());
  EXPECT_EQ(errors.count(), 1);
  EXPECT_EQ(g.control.Picture().width(), g.control.findChild<QWidget*>(QStringLiteral("Picture_graph"))->width());
}

TEST(SelectPointTest, TheMarkIsDrawnInNotXorAndErasedAgain) {
  Graph g;
  g.control.RegisterData(makeTable({{0, 1, 2, 3}, {0, 1, 3, 2}}));
  g.control.Refresh();
  const QImage before = g.control.Picture().copy();
  g.control.setSelectPoint(1, 1, 2, true);
  qint32 group = 0, series = 0, point = 0;
  ASSERT_TRUE(g.control.SelectPoint(group, series, point));
  EXPECT_EQ(point, 2);
  EXPECT_NE(g.control.Picture(), before);
  g.control.Refresh();  // the plot draws the mark again at the same place
  g.control.setSelectPoint(1, 1, 2, false);
  EXPECT_EQ(g.control.Picture(), before);
  EXPECT_FALSE(g.control.SelectPoint(group, series, point));
}

}  // namespace
}  // namespace vellum32

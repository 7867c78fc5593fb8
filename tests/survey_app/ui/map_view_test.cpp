// The survey map on the screen and from corvane-batch: scales, clicks, the pointer, and
// the PNG and SVG files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEventLoop>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "correction/base_match.h"
#include "dump_fixture.h"
#include "grid/grid_shading.h"
#include "map/map_graph.h"
#include "map/survey_map_view.h"
#include "map_day.h"
#include "vellum32/vellum32.h"

namespace corvane::test {
namespace {

// Where pixels of the control's picture lie in data units, from the positions its
// MouseMove event reports: data = origin + pixel x units (y upwards).
struct PixelMapping {
  double x0 = 0, y0 = 0, ux = 0, uy = 0;
  QPoint pixel(double x, double y) const {
    return QPoint(int(std::lround((x - x0) / ux)), int(std::lround((y0 - y) / uy)));
  }
};

QWidget* picture_of(vellum32::Vellum32& control) {
  return control.findChild<QWidget*>(QStringLiteral("Picture_graph"));
}

void send_mouse(vellum32::Vellum32& control, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::NoButton) {
  QWidget* picture = picture_of(control);
  QMouseEvent event(type, QPointF(at), picture->mapToGlobal(QPointF(at)), button,
                    type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons(), Qt::NoModifier);
  QApplication::sendEvent(picture, &event);
}

PixelMapping mapping_of(vellum32::Vellum32& control) {
  QPointF data[2];
  int n = 0;
  const auto connection = QObject::connect(&control, &vellum32::Vellum32::MouseMove,
                                           [&](qint16&, qint16&, float&, float&, qint32&, float& xp, float& yp) {
                                             if (n < 2) data[n++] = QPointF(xp, yp);
                                           });
  send_mouse(control, QEvent::MouseMove, QPoint(0, 0));
  send_mouse(control, QEvent::MouseMove, QPoint(200, 200));
  QObject::disconnect(connection);
  EXPECT_EQ(n, 2);
  return {data[0].x(), data[0].y(), (data[1].x() - data[0].x()) / 200, (data[0].y() - data[1].y()) / 200};
}

// Pixels of the area that are not white.
int ink(const QImage& image, QRect area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += image.pixel(x, y) != qRgb(255, 255, 255);
  return n;
}

class MapViewTest : public ReaderTest {
protected:
  void SetUp() override { run_one(map_day()); }
  std::string path() const { return (dir.path() / "a.dat").string(); }
  // corvane-batch with these arguments before the day's file; its exit code.
  int batch(const std::string& args) {
    const std::string command = std::string(CORVANE_BATCH) + " " + args + " " + path() + " >/dev/null 2>" +
                                (dir.path() / "stderr.txt").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The view of the model on the screen, its graph of `graph` pixels.
  void show(SurveyMapView& view, QSize graph) {
    view.setModel(&model);
    view.show();
    view.graph().resize(graph);
    QApplication::processEvents();
  }
};

TEST_F(MapViewTest, EqualScalesInATallAndInAWideControl) {
  SurveyMapView view;
  view.setModel(&model);
  view.resize(900, 700);
  view.show();
  // Twice: the panel's widgets ask for a new layout as they are first shown.
  QApplication::processEvents();
  QApplication::processEvents();
  // Drawn by its first show, though the model came while it was hidden.
  const std::int32_t c = dot_colour(view.map().dots[0].value, view.map().stretch);
  const QImage first = view.graph().Picture();
  bool drawn = false;
  for (int y = 0; y < first.height() && !drawn; ++y)
    for (int x = 0; x < first.width() && !drawn; ++x)
      drawn = first.pixel(x, y) == qRgb(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
  EXPECT_TRUE(drawn);
  for (const QSize size : {QSize(300, 900), QSize(1200, 300)}) {
    view.graph().resize(size);
    QApplication::processEvents();
    ASSERT_EQ(view.graph().Picture().size(), size);
    const PixelMapping m = mapping_of(view.graph());
    EXPECT_GT(m.ux, 0);
    EXPECT_NEAR(m.uy / m.ux, 1.0, 1e-5) << size.width() << "x" << size.height();
    // The whole map stays in view.
    const QRect inside = view.graph().Picture().rect();
    for (std::size_t i = 0; i < view.map().dots.size(); ++i) {
      const MapDot d = view.map().dots[i];
      EXPECT_TRUE(inside.contains(m.pixel(d.x, d.y)));
    }
  }
}

TEST_F(MapViewTest, AClickOnADotNamesItsBlockAndThePointerItsReading) {
  // The same lines the next day: of two dots at one place, the one on top counts.
  std::string next_day = map_day();
  for (std::size_t at; (at = next_day.find("07/09/96")) != std::string::npos;) next_day.replace(at, 8, "07/10/96");
  run({{"a.dat", map_day()}, {"b.dat", next_day}});
  SurveyMapView view;
  show(view, QSize(800, 600));
  const PixelMapping m = mapping_of(view.graph());
  const QPoint at = m.pixel(300, 20) + QPoint(2, -1);  // a near miss still picks it
  std::int32_t clicked = 0;
  QString text;
  QObject::connect(&view, &SurveyMapView::readingClicked, [&](std::int32_t block) { clicked = block; });
  QObject::connect(&view, &SurveyMapView::pointerText, [&](const QString& t) { text = t; });
  send_mouse(view.graph(), QEvent::MouseMove, at);
  EXPECT_EQ(text.toStdString(), "Line 300E, station 20.0, 1996/07/10 10:01:00, b.dat, 18.0");
  send_mouse(view.graph(), QEvent::MouseButtonPress, at, Qt::LeftButton);
  send_mouse(view.graph(), QEvent::MouseButtonRelease, at, Qt::LeftButton);
  ASSERT_GT(clicked, 0);
  EXPECT_EQ(model.block(clicked).line, "300E");
  EXPECT_EQ(model.label_of(node(model.block(clicked).node).parent), "b.dat");
  send_mouse(view.graph(), QEvent::MouseMove, m.pixel(250, 300));  // between the lines
  EXPECT_TRUE(text.isEmpty());
}

TEST_F(MapViewTest, TheColoursStayWhenLinesAreUntickedUntilRescaled) {
  // Line 700N's values (90 and 190) stretch the scale past the other lines' 9 and 18.
  run_one(map_day() + map_field_line("700N", "10:00:30", "10:01:00", "58091.0", "58192.0"));
  SurveyMapView view;
  view.setModel(&model);
  view.show();
  QApplication::processEvents();
  const ColourStretch wide = view.map().stretch;
  EXPECT_EQ(wide.high, 190.0f);
  for (std::int32_t b = 1; b <= model.block_count; ++b)
    if (model.block(b).line == "700N") set_node_checked(model, model.block(b).node, false);
  view.refresh();
  EXPECT_EQ(view.map().stretch.low, wide.low);
  EXPECT_EQ(view.map().stretch.high, wide.high);
  view.findChild<QPushButton*>(QStringLiteral("Command_rescale_colours"))->click();
  EXPECT_EQ(view.map().stretch.high, 18.0f);
  // Raw values have a scale of their own.
  view.setRawValues(true);
  EXPECT_EQ(view.map().stretch.high, 58020.0f);
}

TEST_F(MapViewTest, AZoomKeepsFourLabelledTicksOnEachAxis) {
  SurveyMapView view;
  show(view, QSize(500, 400));
  QWidget* picture = picture_of(view.graph());
  const QPointF centre(picture->width() / 2.0, picture->height() / 2.0);
  for (int step = 0; step < 20; ++step) {  // each the span to 3/4
    QWheelEvent wheel(centre, picture->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(picture, &wheel);
  }
  vellum32::Vellum32& g = view.graph();
  ASSERT_LT(g.XAxisMax() - g.XAxisMin(), 0.01f * (view.map().x_max - view.map().x_min));
  const auto labelled = [](float min, float max, float tick) {
    return std::floor(max / tick) - std::ceil(min / tick) + 1;
  };
  EXPECT_GE(labelled(g.XAxisMin(), g.XAxisMax(), g.xTickInterval()), 4);
  EXPECT_GE(labelled(g.YAxisMin(), g.YAxisMax(), g.yTickInterval()), 4);
  // A tick keeps the zoom.
  const float x_min = g.XAxisMin(), y_max = g.YAxisMax(), span = g.XAxisMax() - g.XAxisMin();
  set_node_checked(model, model.block(view.map().dots[0].block).node, false);
  view.refresh();
  EXPECT_NEAR(g.XAxisMin(), x_min, 1e-3 * span);
  EXPECT_NEAR(g.YAxisMax(), y_max, 1e-3 * span);
}

TEST(MapGraph, OfDotsAtOnePlaceThePointerNamesTheOneOnTop) {
  vellum32::Vellum32 control;
  control.resize(600, 400);
  MapGraph graph(control);
  SurveyMap map;
  for (const MapDot& d :
       {MapDot{0, 0, 1, 1, 1}, MapDot{0, 0, 2, 1, 2}, MapDot{0, 0, 3, 2, 3}, MapDot{100, 50, 4, 2, 4}})
    map.dots.push_back(d);
  map.x_max = 100, map.y_max = 50, map.x_min = map.y_min = 0;
  graph.show(map);
  EXPECT_EQ(graph.dotNear(0, 0, 4), 2);      // drawn last of the three
  EXPECT_EQ(graph.dotNear(99.5, 50, 4), 3);  // 4 pixels are some 0.8 units here
  EXPECT_EQ(graph.dotNear(50, 25, 4), -1);
}

TEST(MapGraph, LinesFarApartGetFewTicksInAPictureWithNoRoomForThePlot) {
  // Lines 100 N and 3,000,000 N in 40 x 40 pixels: the intervals still follow the span.
  SurveyMap map;
  map.dots.push_back({10, 100, 1, 1, 1});
  map.dots.push_back({20, 3e6f, 2, 2, 2});
  map.x_min = 10, map.x_max = 20, map.y_min = 100, map.y_max = 3e6f;
  vellum32::Vellum32 control;
  control.resize(40, 40);
  MapGraph graph(control);
  graph.show(map);
  control.Refresh();
  EXPECT_LE((control.XAxisMax() - control.XAxisMin()) / control.xTickInterval(), 2.0f);
  EXPECT_LE((control.YAxisMax() - control.YAxisMin()) / control.yTickInterval(), 2.0f);
  EXPECT_EQ(render_map_image(map, QSize(40, 40)).size(), QSize(40, 40));
}

TEST(ColourBar, AStretchOfOneFloatStepIsLabelledAndEnds) {
  // Raw readings of 57000.000 and 57000.004, one float step apart.
  SurveyMap map;
  map.valued = 2;
  map.stretch = {57000.0f, std::nextafter(57000.0f, 1e9f)};
  QImage image(100, 300, QImage::Format_RGB32);
  QPainter painter(&image);
  const int swatch_top = image.height() - 2 * QFontMetrics(painter.font()).height() - 1;
  paintColourBar(painter, image.rect(), map);
  painter.end();
  // A value is written beside the scale, above the "no value" swatch.
  bool labelled = false;
  for (int y = 0; y < swatch_top; ++y)
    for (int x = 30; x < 100; ++x) labelled = labelled || image.pixel(x, y) != qRgb(255, 255, 255);
  EXPECT_TRUE(labelled);
}

// 41 x 31 nodes 10 apart from (100, 300), level at 57000 but for node (30, 8), the bump at
// (400, 380): east of the middle and south of it, so that a flip either way moves it.
Grid bump_grid() {
  Grid grid;
  grid.geometry = {10, 10, 30, 41, 31};
  grid.values.assign(41 * 31, 57000.0f);
  grid.values[8 * 41 + 30] = 57312.4f;
  return grid;
}

// Two dots of the grid's values at its south-west and north-east corners.
SurveyMap corner_dots() {
  SurveyMap map;
  map.dots.push_back({100, 300, 57000.0f, 1, 1});
  map.dots.push_back({500, 600, 57312.4f, 1, 2});
  map.x_min = 100, map.x_max = 500, map.y_min = 300, map.y_max = 600;
  map.valued = 2;
  map.stretch = colour_stretch(map.dots.values());
  return map;
}

QRgb rgb(std::int32_t colour) { return qRgb(colour & 0xFF, colour >> 8 & 0xFF, colour >> 16 & 0xFF); }

TEST(GridOnTheMap, TheBumpsColourFillsItsCellAtItsPlaceInTheGridImage) {
  const Grid grid = bump_grid();
  const SurveyMap map = corner_dots();
  const QImage image = render_grid_image(map, grid, QSize(600, 400));
  ASSERT_EQ(image.size(), QSize(600, 400));
  // The same on a control the size of the picture's plot part, to read where data lands.
  vellum32::Vellum32 control;
  control.resize(490, 400);
  MapGraph graph(control);
  graph.setLayers(MapLayers::grid);
  graph.showGrid(grid_picture(std::make_shared<const Grid>(grid), map.stretch, {}));
  graph.showBorrowed(map);
  control.Refresh();
  const PixelMapping m = mapping_of(control);
  ASSERT_GT(10 / m.ux, 8);  // a cell is some 9 pixels: a half-cell shift moves it 4 or more
  const QRgb high = rgb(dot_colour(57312.4f, map.stretch)), low = rgb(dot_colour(57000, map.stretch));
  // Within 0.4 of a cell from the node its colour, from 0.6 of a cell the level's.
  for (const auto& [dx, dy] : {std::pair{0.0, 0.0}, {4.0, 4.0}, {-4.0, -4.0}, {4.0, -4.0}, {-4.0, 4.0}})
    EXPECT_EQ(image.pixel(m.pixel(400 + dx, 380 + dy)), high) << dx << " " << dy;
  for (const auto& [dx, dy] : {std::pair{6.0, 0.0}, {-6.0, 0.0}, {0.0, 6.0}, {0.0, -6.0}})
    EXPECT_EQ(image.pixel(m.pixel(400 + dx, 380 + dy)), low) << dx << " " << dy;
  // Flipped north to south or east to west the bump would be here.
  EXPECT_EQ(image.pixel(m.pixel(400, 520)), low);
  EXPECT_EQ(image.pixel(m.pixel(200, 380)), low);
  // The dots are hidden in grid mode; the colour bar is there.
  EXPECT_EQ(image.pixel(m.pixel(100, 300)), low);
  EXPECT_GT(ink(image, QRect(492, 0, 20, 12)), 0);
}

TEST(GridOnTheMap, TheLayersShowTheDotsTheGridOrTheDotsOverTheGrid) {
  const SurveyMap map = corner_dots();
  vellum32::Vellum32 control;
  control.resize(490, 400);
  MapGraph graph(control);
  graph.showBorrowed(map);
  graph.showGrid(grid_picture(std::make_shared<const Grid>(bump_grid()), map.stretch, {}));
  control.Refresh();
  const PixelMapping m = mapping_of(control);
  const QRgb high = rgb(dot_colour(57312.4f, map.stretch)), low = rgb(dot_colour(57000, map.stretch));
  const QRgb white = qRgb(255, 255, 255);
  struct Case {
    MapLayers layers;
    QRgb at_bump, at_dot, beside_dot;  // the dot of 57312.4 on the grid's level
  };
  for (const Case& c : {Case{MapLayers::dots, white, high, white}, Case{MapLayers::grid, high, low, low},
                        Case{MapLayers::both, high, high, low}}) {
    graph.setLayers(c.layers);
    control.Refresh();
    const QImage picture = control.Picture();
    EXPECT_EQ(picture.pixel(m.pixel(400, 380)), c.at_bump) << int(c.layers);
    EXPECT_EQ(picture.pixel(m.pixel(500, 600)), c.at_dot) << int(c.layers);
    EXPECT_EQ(picture.pixel(m.pixel(490, 590)), c.beside_dot) << int(c.layers);
  }
}

TEST(GridOnTheMap, ThePointerOverANodeNamesItsValueAndPlace) {
  const SurveyMap map = corner_dots();
  vellum32::Vellum32 control;
  control.resize(490, 400);
  MapGraph graph(control);
  graph.showBorrowed(map);
  graph.showGrid(grid_picture(std::make_shared<const Grid>(bump_grid()), map.stretch, {}));
  graph.setLayers(MapLayers::both);
  control.Refresh();
  const PixelMapping m = mapping_of(control);
  std::int64_t dot = -2, node = -2;
  QObject::connect(&graph, &MapGraph::pointed, [&](std::int64_t d, std::int64_t n) { dot = d, node = n; });
  send_mouse(control, QEvent::MouseMove, m.pixel(403, 377));
  EXPECT_EQ(dot, -1);
  ASSERT_EQ(node, 8 * 41 + 30);
  EXPECT_EQ(grid_node_text(*graph.grid()->grid, node).toStdString(), "Grid 57312.4 nT at 400.0 E 380.0 N");
  send_mouse(control, QEvent::MouseMove, m.pixel(500, 600));  // a dot over the grid
  EXPECT_EQ(dot, 1);
  send_mouse(control, QEvent::MouseMove, m.pixel(400, 270));  // south of the grid
  EXPECT_EQ(node, -1);
  graph.setLayers(MapLayers::dots);
  send_mouse(control, QEvent::MouseMove, m.pixel(400, 380));
  EXPECT_EQ(node, -1);
}

TEST(GridOnTheMap, ContourLinesFollowTheLevelsOverTheGrid) {
  if (!grid_files_available()) GTEST_SKIP() << "built without the grid files";
  // Values rising eastwards 1 a unit from 100 to 500: a contour every 20 runs north-south
  // at x = 300, none at x = 310.
  Grid ramp;
  ramp.geometry = {10, 10, 30, 41, 31};
  for (std::int32_t j = 0; j < 31; ++j)
    for (std::int32_t i = 0; i < 41; ++i) ramp.values.push_back(float(ramp.geometry.x(i)));
  ASSERT_EQ(contour_interval(ramp), 20.0);
  SurveyMap map;
  vellum32::Vellum32 control;
  control.resize(490, 400);
  MapGraph graph(control);
  graph.setLayers(MapLayers::grid);
  graph.showGrid(grid_picture(std::make_shared<const Grid>(ramp), grid_stretch(ramp), {false, true}));
  control.Refresh();
  const PixelMapping m = mapping_of(control);
  const auto black_near = [&](const QImage& image, double x) {
    const QPoint at = m.pixel(x, 450);
    return image.pixel(at) == qRgb(0, 0, 0) || image.pixel(at + QPoint(1, 0)) == qRgb(0, 0, 0) ||
           image.pixel(at - QPoint(1, 0)) == qRgb(0, 0, 0);
  };
  for (const GridLook look : {GridLook{false, true}, GridLook{false, false}}) {
    const QImage image = render_grid_image(map, ramp, QSize(600, 400), look);
    EXPECT_EQ(black_near(image, 300), look.contours);
    EXPECT_FALSE(black_near(image, 310));
  }
}

TEST_F(MapViewTest, BatchWritesThePngAndTheSvgOfTheMap) {
  const std::string png = (dir.path() / "map.png").string();
  ASSERT_EQ(batch("--map " + png + " --map-size 600x400"), 0) << dir.read("stderr.txt");
  const QImage image(QString::fromStdString(png));
  ASSERT_EQ(image.size(), QSize(600, 400));
  // The same map on a control the size of the picture's plot part, the colour bar's 110
  // pixels less.
  vellum32::Vellum32 control;
  control.resize(490, 400);
  MapGraph graph(control);
  graph.show(build_survey_map(model, false));
  control.Refresh();
  const PixelMapping m = mapping_of(control);
  for (std::size_t i = 0; i < graph.map().dots.size(); ++i) {
    const MapDot d = graph.map().dots[i];
    const std::int32_t c = dot_colour(d.value, graph.map().stretch);
    EXPECT_EQ(image.pixel(m.pixel(d.x, d.y)), qRgb(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF))
        << model.block(d.block).line << " " << d.x << " " << d.y;
  }
  EXPECT_EQ(image.pixel(m.pixel(250, 300)), qRgb(255, 255, 255));
  // The colour bar's title, above its scale.
  EXPECT_GT(ink(image, QRect(492, 0, 20, 12)), 0);

  const std::string svg = (dir.path() / "map.svg").string();
  ASSERT_EQ(batch("--raw --map " + svg), 0) << dir.read("stderr.txt");
  EXPECT_TRUE(QSvgRenderer(QString::fromStdString(svg)).isValid());
  const std::string text = dir.read("map.svg");
  for (const char* words : {">nT (raw)<", ">East<", ">North<"}) EXPECT_NE(text.find(words), std::string::npos) << words;
}

TEST_F(MapViewTest, AnSvgOfADenseMapTakesItsPlotAsThePicture) {
  // 20,000 dots are each drawn; of one more (a 100 MB day has millions, some 3 kB each as
  // drawing records) the plot goes as the screen picture.
  for (const auto& [dots, picture] : {std::pair{20'000, false}, std::pair{20'001, true}}) {
    SurveyMap map;
    for (int i = 0; i < dots; ++i) map.dots.push_back({float(i % 200), float(i / 200), float(i), 1, i + 1});
    map.x_min = 0, map.x_max = 199, map.y_min = 0, map.y_max = float((dots - 1) / 200);
    map.valued = dots;
    map.stretch = {0, float(dots)};
    const std::string svg = (dir.path() / "dense.svg").string();
    ASSERT_TRUE(write_map_svg(map, QSize(600, 400), QString::fromStdString(svg)).isEmpty());
    EXPECT_EQ(dir.read("dense.svg").find("<image") != std::string::npos, picture) << dots;
    if (!picture) continue;
    // On paper the picture keeps its colours: no JPEG in the printer's PDF file.
    vellum32::Vellum32 control;
    control.resize(600, 400);
    MapGraph graph(control);
    graph.showBorrowed(map);
    control.Refresh();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((dir.path() / "dense.pdf").string()));
    ASSERT_TRUE(print_map(control, map, printer).isEmpty());
    const std::string pdf = dir.read("dense.pdf");
    EXPECT_NE(pdf.find("/Subtype /Image"), std::string::npos);
    EXPECT_EQ(pdf.find("/DCTDecode"), std::string::npos);
  }
}

// An operator that names `svg` for a file and prints into the PDF file `pdf`.
struct OutputAnswers : vellum32::ControlOperator {
  QString svg, pdf;
  QStringList told;
  QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return svg; }
  void Message(QWidget*, const QString& text) override { told << text; }
  bool Question(QWidget*, const QString&) override { return false; }
  std::unique_ptr<QPrinter> DefaultPrinter() override {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    return printer;
  }
};

TEST_F(MapViewTest, TheGraphsCopyPrintAndSvgGiveTheMapWithItsColourBar) {
  SurveyMapView view;
  show(view, QSize(500, 400));
  OutputAnswers person;
  person.svg = QString::fromStdString((dir.path() / "pop-up.svg").string());
  person.pdf = QString::fromStdString((dir.path() / "map.pdf").string());
  view.setOperator(&person);
  const auto entry = [&](const char* name) { view.graph().findChild<QAction*>(QLatin1String(name))->trigger(); };
  entry("mnuCopy");
  EXPECT_EQ(QGuiApplication::clipboard()->image(), map_image(view.graph(), view.map()));
  EXPECT_EQ(QGuiApplication::clipboard()->image().width(), view.graph().Picture().width() + 110);
  entry("mnuEMF");
  EXPECT_NE(dir.read("pop-up.svg").find(">nT (raw \u2212 base)<"), std::string::npos);
  entry("mnuPrint");
  EXPECT_GT(std::filesystem::file_size(dir.path() / "map.pdf"), 1000u);
  EXPECT_EQ(person.told, (QStringList{QStringLiteral("SVG Export complete"), QStringLiteral("Printing Finished")}));
  view.setOperator(nullptr);
}

// Waits until the pane has no grid in the making, at most a minute; false on the time-out.
bool grid_made(SurveyMapView& view) {
  if (!view.gridBusy()) return true;
  QEventLoop loop;
  QObject::connect(&view, &SurveyMapView::gridFinished, &loop, &QEventLoop::quit);
  QTimer::singleShot(60'000, &loop, &QEventLoop::quit);
  loop.exec();
  return !view.gridBusy();
}

TEST_F(MapViewTest, ThePaneShowsTheGridOfTheReadingsOrTellsWhyNot) {
  SurveyMapView view;
  OutputAnswers person;
  view.setOperator(&person);
  show(view, QSize(500, 400));
  QString text;
  QObject::connect(&view, &SurveyMapView::pointerText, [&](const QString& t) { text = t; });
  const PixelMapping m = mapping_of(view.graph());
  const QPoint dot = m.pixel(300, 20);

  view.findChild<QComboBox*>(QStringLiteral("Combo_map_layers"))->setCurrentIndex(1);  // Grid
  EXPECT_TRUE(view.gridBusy());
  ASSERT_TRUE(grid_made(view));
  ASSERT_TRUE(person.told.isEmpty()) << person.told.join(QLatin1Char('\n')).toStdString();
  send_mouse(view.graph(), QEvent::MouseMove, dot);
  EXPECT_TRUE(text.startsWith(QStringLiteral("Grid "))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral(" nT at "))) << text.toStdString();
  EXPECT_NE(view.graph().Picture().pixel(dot), qRgb(255, 255, 255));
  // Copy, Print and SVG take the plot with its grid as the picture.
  person.svg = QString::fromStdString((dir.path() / "grid.svg").string());
  view.graph().findChild<QAction*>(QStringLiteral("mnuEMF"))->trigger();
  EXPECT_NE(dir.read("grid.svg").find("<image"), std::string::npos);
  person.told.clear();
  person.svg = QString::fromStdString((dir.path() / "day.asc").string());
  if (grid_files_available()) {
    view.exportGrid();
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "day.asc"));
    EXPECT_EQ(person.told, QStringList{QStringLiteral("Grid Export complete")});
    person.told.clear();
  }
  view.setLayers(MapLayers::dots);
  send_mouse(view.graph(), QEvent::MouseMove, dot);
  EXPECT_TRUE(text.startsWith(QStringLiteral("Line 300E"))) << text.toStdString();

  // One line of two readings left: too few to grid. The picture shown stays.
  view.setLayers(MapLayers::both);
  const QImage before = view.graph().Picture();
  for (std::int32_t b = 1; b <= model.block_count; ++b)
    if (model.block(b).line != "300E") set_node_checked(model, model.block(b).node, false);
  view.refresh();
  ASSERT_TRUE(grid_made(view));
  ASSERT_EQ(person.told.size(), 1);
  EXPECT_TRUE(person.told[0].startsWith(QStringLiteral("The grid could not be made: ")))
      << person.told[0].toStdString();
  EXPECT_EQ(view.graph().Picture().pixel(m.pixel(100, 20)), before.pixel(m.pixel(100, 20)));
  view.setOperator(nullptr);
}

TEST_F(MapViewTest, BatchExitsWithOneWhenNothingIsLeftToMap) {
  // Unticking the file unticks every line.
  EXPECT_EQ(batch("--map " + (dir.path() / "map.png").string() + " --uncheck " + model.node_key(1)), 1);
  EXPECT_NE(dir.read("stderr.txt").find("There is nothing to map"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "map.png"));
}

// A control showing `copies` copies of the same dots, the earlier copies in other colours:
// far more squares than the plot has pixels, most of them drawn over by a later copy.
QImage dots_drawn(int copies) {
  constexpr int n = 2000;
  vellum32::Vellum32 control;
  control.resize(400, 300);
  control.setChartType(vellum32::ChartTypes::Point);
  control.setMarkerSize(15);
  vellum32::DataTable table(2, qsizetype(n) * copies + 1), colours(2, qsizetype(n) * copies + 1);
  std::uint32_t state = 7;
  const auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
  std::vector<QPointF> at(n);
  for (QPointF& p : at) p = QPointF((next() % 10000) / 1e4, (next() % 10000) / 1e4);
  for (int c = 0; c < copies; ++c) {
    for (int i = 0; i < n; ++i) {
      const qsizetype k = qsizetype(c) * n + i + 1;
      table(0, k) = at[std::size_t(i)].x();
      table(1, k) = at[std::size_t(i)].y();
      colours(1, k) = c + 1 == copies ? qint32(i * 2654435761u & 0xFFFFFF) : qint32(next() & 0xFFFFFF);
    }
  }
  control.RegisterData(table);
  control.SetSeriesOptions(1, 1, -1, QString(), 1);
  control.RegisterMarkerColour(colours, 1, 1);
  control.setXAxisMin(0);
  control.setXAxisMax(1);
  control.setYAxisMin(0);
  control.setYAxisMax(1);
  control.setxTickInterval(0.25f);
  control.setyTickInterval(0.25f);
  control.Refresh();
  return control.Picture().copy();
}

TEST(MapDrawing, DenseSquaresGiveThePictureOfDrawingEveryOne) {
  // 2,000 overlapping squares are drawn one by one; 100 copies of them (200,000 squares on
  // a plot of some 100,000 pixels) only the last of each place: the picture is the same.
  const QImage plain = dots_drawn(1);
  const QImage merged = dots_drawn(100);
  EXPECT_GT(plain.size().width(), 0);
  EXPECT_NE(plain, QImage(plain.size(), plain.format()));
  EXPECT_TRUE(plain == merged);
}

}  // namespace
}  // namespace corvane::test

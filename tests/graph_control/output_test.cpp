#include <QAction>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "render/output.h"
#include "test_support.h"

namespace vellum32 {
namespace {

using test::makeTable;
using test::RecordingOperator;
using test::StateOf;

const qint32 Red = RGBColour(255, 0, 0);
const qint32 Blue = RGBColour(0, 0, 255);

// A plot with a red profile and a thin blue overlay line across it, shown at 96 dpi.
struct Plotted {
  Vellum32 control;
  RecordingOperator person;
  explicit Plotted(QSize size = QSize(420, 200)) {
    person.attach(control);
    control.resize(size);
    control.setBackColor(RGBColour(255, 255, 255));
    control.setChartType(ChartTypes::Line);
    control.RegisterData(makeTable({{0, 0, 50, 100}, {0, 10, 90, 40}}));
    control.SetSeriesOptions(1, 1, Red, QStringLiteral("Profile"));
    control.setxTickInterval(25);
    control.setyTickInterval(25);
    control.Refresh();
    control.DrawLine(10, 60, 90, 60, Blue, 1);
  }
  void choose(const char* entry) { control.findChild<QAction*>(QString::fromLatin1(entry))->trigger(); }
};

// The bounding box of the pixels near `colour`.
QRect boxOf(const QImage& image, QColor colour) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) + std::abs(c.blue() - colour.blue()) <
          60)
        box |= QRect(x, y, 1, 1);
    }
  return box;
}

TEST(PrintMappingTest, PenWidthAndFit) {
  PlotSurface surface;
  surface.PictureWidth = 6000;
  surface.ScreenTwipsPerPixelX = surface.ScreenTwipsPerPixelY = 15;
  const QSizeF a4(11906, 16838);
  struct Case {
    bool landscape;
    double printerDpi;
    qint32 pen;
    float scale;
  };
  // Pen: the resolution ratio to the nearest whole number, halves to even, at least 2.
  for (const Case& c : {Case{false, 96, 2, (11906 - 15 - 200) / 6015.0f}, Case{false, 288, 3, 0},
                        Case{false, 240, 2, 0}, Case{true, 1200, 12, (16838 - 15 - 200) / 5985.0f}}) {
    const PrintMapping m = PrintMappingFor(c.landscape, a4, QSizeF(c.printerDpi, c.printerDpi), 96, surface);
    EXPECT_EQ(m.DefaultPenWidth, c.pen) << c.printerDpi;
    if (c.scale == 0) continue;
    EXPECT_FLOAT_EQ(m.DeviceScale, c.scale);
    EXPECT_FLOAT_EQ(m.PageWidth, 11906 / m.DeviceScale - 200);
    EXPECT_FLOAT_EQ(m.PageHeight, 16838 / m.DeviceScale - 200);
    EXPECT_FLOAT_EQ(m.DeviceOffsetX, 100 * c.printerDpi / 1440);  // half the margin
  }
}

// The printed page, rendered at the printer's resolution without smoothing.
QImage renderPage(const QString& pdf, int dpi) {
  const QString stem = pdf + QStringLiteral(".page");
  QProcess::execute(QStringLiteral("pdftoppm"),
                    {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-aa"), QStringLiteral("no"),
                     QStringLiteral("-aaVector"), QStringLiteral("no"), QStringLiteral("-singlefile"),
                     QStringLiteral("-png"), pdf, stem});
  return QImage(stem + QStringLiteral(".png"));
}

// A PDF printer of an A4 page without margins at `dpi`, writing `pdf`.
std::unique_ptr<QPrinter> pdfPrinter(const QString& pdf, int dpi) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(pdf);
  printer->setResolution(dpi);
  printer->setPageSize(QPageSize(QPageSize::A4));
  printer->setPageMargins(QMarginsF(0, 0, 0, 0));
  return printer;
}

TEST(PrintTest, UprightAndLandscapeOnAPdfPrinter) {
  constexpr int Dpi = 250;  // a screen pixel of 96 dpi is 3 dots on paper
  for (const bool landscape : {false, true}) {
    SCOPED_TRACE(landscape ? "landscape" : "upright");
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("plot.pdf"));
    Plotted g;
    const QImage screen = g.control.Picture().copy();
    g.person.answer = landscape;
    g.person.printer = [&] { return pdfPrinter(pdf, Dpi); };
    g.choose("mnuPrint");
    EXPECT_EQ(g.person.questions, QStringList{"Print in Landscape Mode?"});
    EXPECT_EQ(g.person.texts, QStringList{"Printing Finished"});
    // The screen is drawn again with its own mapping.
    EXPECT_EQ(g.control.Picture(), screen);

    const QImage page = renderPage(pdf, Dpi);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.width() < page.height(), true);  // the page stays upright
    const QRect profile = boxOf(page, Qt::red);
    const QRect line = boxOf(page, Qt::blue);
    ASSERT_TRUE(profile.isValid() && line.isValid());
    // Fitted to the paper's width, or turned a quarter and fitted to its height.
    if (!landscape) {
      EXPECT_GT(profile.width(), page.width() / 2);
      EXPECT_GT(line.width(), line.height());
    } else {
      EXPECT_GT(profile.height(), page.height() / 2);
      EXPECT_GT(line.height(), line.width());
    }
    // The whole plot is on the paper, inside the margin.
    QRect drawn;
    for (const QColor colour : {QColor(Qt::black), QColor(Qt::red), QColor(Qt::blue)}) drawn |= boxOf(page, colour);
    const int margin = 100 * Dpi / 1440;
    EXPECT_TRUE(page.rect().adjusted(margin, margin, -margin, -margin).contains(drawn))
        << drawn.x() << "," << drawn.y() << " " << drawn.width() << "x" << drawn.height();
    // The overlay line of width 1 is as wide on paper as the frame's pen, a screen pixel.
    EXPECT_GE(std::min(line.width(), line.height()), 3);
    EXPECT_LE(std::min(line.width(), line.height()), 4);
  }
}

// A 2 x 2 image under the profile, its pixel centres at 30 and 70 on both axes: each
// pixel a square of 40 units, on the screen, the printed page and in an SVG file.
TEST(ImageLayerTest, PixelsLandWhereTheirCentresSayOnEveryTarget) {
  const QColor colours[] = {QColor(0, 200, 0), QColor(255, 0, 255), QColor(0, 255, 255), QColor(255, 255, 0)};
  QImage image(2, 2, QImage::Format_RGB32);
  for (int k = 0; k < 4; ++k) image.setPixelColor(k % 2, k / 2, colours[k]);
  Plotted g;
  for (const auto set : {&Vellum32::setXAxisMin, &Vellum32::setYAxisMin}) (g.control.*set)(0);
  for (const auto set : {&Vellum32::setXAxisMax, &Vellum32::setYAxisMax}) (g.control.*set)(100);
  g.control.SetImageLayer(image, 30, 70, 70, 30);
  g.control.Refresh();
  const QImage screen = g.control.Picture().convertToFormat(QImage::Format_RGB32);
  const ControlState& s = StateOf(g.control);
  const auto pixel = [&](double x, double y) {
    return QPoint(int(std::floor((s.Layout.PlotRect.Left + (x - s.Layout.ViewRange.XMin) * s.Layout.XScale) /
                                 s.Layout.TwipsPerPixelX)),
                  int(std::floor((s.Layout.PlotRect.Bottom - (y - s.Layout.ViewRange.YMin) * s.Layout.YScale) /
                                 s.Layout.TwipsPerPixelY)));
  };
  // Each quarter's colour a pixel inside its edges, and none a pixel outside.
  const struct {
    double x, y;
    QColor colour;
  } spots[] = {{11, 88, colours[0]}, {49, 52, colours[0]}, {51, 88, colours[1]}, {89, 52, colours[1]},
               {11, 12, colours[2]}, {49, 48, colours[2]}, {51, 12, colours[3]}, {89, 48, colours[3]},
               {8, 50, Qt::white},   {50, 92, Qt::white}};
  for (const auto& spot : spots)
    EXPECT_EQ(screen.pixelColor(pixel(spot.x, spot.y)), spot.colour) << spot.x << "," << spot.y;

  // On paper and in an SVG file: the quarters in their places, each the size it has on
  // the screen against the profile.
  const auto placed = [&](const QImage& picture, const char* where) {
    SCOPED_TRACE(where);
    QRect quarter[4];
    for (int k = 0; k < 4; ++k) quarter[k] = boxOf(picture, colours[k]);
    const QRect profile = boxOf(picture, Qt::red), onScreen = boxOf(screen, Qt::red);
    ASSERT_TRUE(profile.isValid() && quarter[0].isValid() && quarter[3].isValid());
    EXPECT_LT(quarter[0].right(), quarter[1].left());
    EXPECT_LT(quarter[0].bottom(), quarter[2].top());
    EXPECT_NEAR(double(quarter[3].width()) / profile.width(),
                double(boxOf(screen, colours[3]).width()) / onScreen.width(), 0.03);
  };
  QTemporaryDir dir;
  const QString pdf = dir.filePath(QStringLiteral("plot.pdf"));
  g.person.printer = [&] { return pdfPrinter(pdf, 150); };
  g.choose("mnuPrint");
  placed(renderPage(pdf, 150), "printed");
  g.person.fileName = dir.filePath(QStringLiteral("plot.svg"));
  g.choose("mnuEMF");
  QSvgRenderer svg(g.person.fileName);
  QImage drawn(svg.defaultSize(), QImage::Format_RGB32);
  drawn.fill(Qt::white);
  QPainter painter(&drawn);
  svg.render(&painter);
  painter.end();
  placed(drawn, "svg");

  g.control.ClearImageLayer();
  g.control.Refresh();
  EXPECT_FALSE(boxOf(g.control.Picture(), colours[0]).isValid());
}

TEST(PrintTest, WithoutAPrinterOnlySaysSo) {
  Plotted g;
  g.choose("mnuPrint");
  EXPECT_TRUE(g.person.questions.isEmpty());
  EXPECT_EQ(g.person.texts.size(), 1);
}

// The root element's attributes and the title and description of an SVG file.
struct SvgHead {
  QString width, height, viewBox, title, desc;
};
SvgHead readSvg(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QXmlStreamReader xml(&file);
  SvgHead head;
  while (xml.readNextStartElement() || !xml.atEnd()) {
    if (!xml.isStartElement()) {
      xml.readNext();
      continue;
    }
    if (xml.name() == QLatin1String("svg")) {
      head.width = xml.attributes().value("width").toString();
      head.height = xml.attributes().value("height").toString();
      head.viewBox = xml.attributes().value("viewBox").toString();
    } else if (xml.name() == QLatin1String("title")) {
      head.title = xml.readElementText();
    } else if (xml.name() == QLatin1String("desc")) {
      head.desc = xml.readElementText();
    }
  }
  return head;
}

TEST(SvgTest, FrameFromTheControlsSize) {
  Plotted g(QSize(378, 189));
  ASSERT_DOUBLE_EQ(g.control.width() * g.control.TwipsPerPixelX(), 5670);
  ASSERT_DOUBLE_EQ(g.control.height() * g.control.TwipsPerPixelY(), 2835);
  const QImage screen = g.control.Picture().copy();
  QTemporaryDir dir;
  g.person.fileName = dir.filePath(QStringLiteral("plot.svg"));
  g.choose("mnuEMF");
  EXPECT_EQ(g.person.texts, QStringList{"SVG Export complete"});
  EXPECT_EQ(g.control.Picture(), screen);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"plot.svg"});

  const SvgHead head = readSvg(g.person.fileName);
  EXPECT_EQ(head.width, QStringLiteral("100mm"));
  EXPECT_EQ(head.height, QStringLiteral("50mm"));
  EXPECT_EQ(head.viewBox, QStringLiteral("0 0 1181 591"));  // 300 units to the inch
  EXPECT_EQ(head.title, QStringLiteral("Tessaro"));
  EXPECT_EQ(head.desc, QStringLiteral("EMF output"));
  QSvgRenderer svg(g.person.fileName);
  ASSERT_TRUE(svg.isValid());
  QImage drawn(1181, 591, QImage::Format_RGB32);
  drawn.fill(Qt::white);
  QPainter painter(&drawn);
  svg.render(&painter);
  painter.end();
  // The profile keeps its place on the page: the same share of the width as on screen.
  const QRect onScreen = boxOf(screen, Qt::red);
  const QRect inFile = boxOf(drawn, Qt::red);
  ASSERT_TRUE(inFile.isValid());
  EXPECT_NEAR(double(inFile.left()) / drawn.width(), double(onScreen.left()) / g.control.width(), 0.02);
  EXPECT_NEAR(double(inFile.right()) / drawn.width(), double(onScreen.right()) / g.control.width(), 0.02);

  // Overlay drawing afterwards still lands on the screen picture.
  g.control.DrawLine(10, 20, 90, 20, Red, 1);
  EXPECT_NEAR(boxOf(g.control.Picture(), Qt::red).width(), onScreen.width(), 4);
}

TEST(SvgTest, CancelledOrUnwritable) {
  QTemporaryDir dir;
  struct Case {
    QString fileName;
    QString message;  // how the message starts; empty: no message
  };
  for (const Case& c : {Case{QString(), QString()}, Case{QStringLiteral("  "), QString()},
                        Case{dir.filePath(QStringLiteral("missing/plot.svg")), "SVG file creation failed : "}}) {
    Plotted g;
    g.person.fileName = c.fileName;
    g.choose("mnuEMF");
    if (c.message.isEmpty()) {
      EXPECT_TRUE(g.person.texts.isEmpty()) << c.fileName.toStdString();
    } else {
      ASSERT_EQ(g.person.texts.size(), 1);
      EXPECT_TRUE(g.person.texts[0].startsWith(c.message)) << g.person.texts[0].toStdString();
      EXPECT_GT(g.person.texts[0].size(), c.message.size());  // with the reason
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
  }
}

}  // namespace
}  // namespace vellum32

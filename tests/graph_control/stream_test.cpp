#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>

#include "test_support.h"

namespace vellum32 {
namespace {

using test::makeTable;
using test::StateOf;

const qint32 Red = RGBColour(255, 0, 0);

// A shown control with a line of markers, a legend entry and a selected point.
struct Streamed {
  Vellum32 control;
  Streamed() {
    control.resize(420, 160);
    control.setBackColor(RGBColour(255, 255, 255));
    control.setChartType(ChartTypes::Line);
    control.setPlotPoints(true);
    control.setDisplayLegend(true);
    control.RegisterData(makeTable({{0, 0, 50, 100}, {0, 10, 90, 40}}));
    control.SetSeriesOptions(1, 1, Red, QStringLiteral("Profile"), 1);
    control.setxTickInterval(25);
    control.setyTickInterval(25);
    control.Refresh();
    control.setSelectPoint(1, 1, 2, true);
  }
  std::vector<int> codes(const QList<QVariant>& stream, qint32 count) {
    std::vector<int> out;
    for (qint32 i = 1; i < count;) {
      out.push_back(stream[i].toInt());
      i += RecordLength(out.back());
    }
    return out;
  }
};

TEST(StreamTest, ThePlotOrItsLegendAsRecords) {
  Streamed g;
  const QImage before = g.control.Picture().copy();
  qint32 count = 0;
  const QList<QVariant> plot = g.control.GraphicsStream(count);
  EXPECT_EQ(g.control.Picture(), before);  // capturing leaves the screen alone
  const std::vector<int> codes = g.codes(plot, count);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), int(MarkerRecord)), 3 + 1);  // the points and the legend's
  EXPECT_EQ(std::count(codes.begin(), codes.end(), int(ClipWindowRecord)), 2);
  // The frame and the selection mark: 4-point polygons.
  EXPECT_EQ(std::count(codes.begin(), codes.end(), int(PolygonRecord)), 2);
  for (qint32 i = 1; i < count; i += RecordLength(plot[i].toInt())) {
    if (plot[i].toInt() == PolygonRecord) {
      EXPECT_EQ(plot[i + 1].toInt(), 4);
    }
  }

  qint32 legendCount = -1;
  const QList<QVariant> legend = g.control.GraphicsStream(legendCount);
  EXPECT_EQ(g.codes(legend, legendCount), (std::vector<int>{ClipWindowRecord, LineRecord, MarkerRecord, TextRecord}));
}

TEST(StreamTest, PlaybackAtScaleOneIsTheScreenPicture) {
  Vellum32 control;
  control.resize(420, 160);
  control.setBackColor(RGBColour(255, 255, 255));
  control.setChartType(ChartTypes::Line);
  control.RegisterData(makeTable({{0, 0, 50, 100}, {0, 10, 90, 40}}));
  control.setxTickInterval(25);
  control.setyTickInterval(25);
  control.Refresh();
  qint32 count = 0;
  const QList<QVariant> stream = control.GraphicsStream(count);
  QImage played(control.Picture().size(), control.Picture().format());
  played.fill(Qt::white);
  QPainter painter(&played);
  control.DrawGraphicsStream(&painter, count, stream, false, 0, 0, 1, 0, 0);
  painter.end();
  EXPECT_EQ(played, control.Picture());
}

TEST(StreamTest, TheQuarterTurnAndNothingToDraw) {
  Vellum32 control;
  const float k = 2.0f / StateOf(control).Layout.TwipsPerPixelX;
  // One point: a line from a place to itself.
  QList<QVariant> stream(8);
  const float tx = 300, ty = 150;
  stream[1] = QVariant::fromValue(qint16(LineRecord));
  stream[2] = tx, stream[3] = ty, stream[4] = tx, stream[5] = ty, stream[6] = Red, stream[7] = 1;
  QImage image(200, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QImage blank = image.copy();
  QPainter painter(&image);
  control.DrawGraphicsStream(nullptr, 7, stream, true, 2000, 1000, 2, 5, 7);
  control.DrawGraphicsStream(&painter, 0, stream, true, 2000, 1000, 2, 5, 7);
  EXPECT_EQ(image, blank);
  control.DrawGraphicsStream(&painter, 7, stream, true, 2000, 1000, 2, 5, 7);
  painter.end();
  const QPoint expected(int(std::nearbyint((1000 - ty) * k + 5)), int(std::nearbyint(tx * k + 7)));
  ASSERT_TRUE(image.rect().contains(expected));
  EXPECT_EQ(image.pixel(expected), qRgb(255, 0, 0));
}

TEST(CopyTest, ThePictureGoesToTheClipboard) {
  Streamed g;
  g.control.findChild<QAction*>(QStringLiteral("mnuCopy"))->trigger();
  const QImage copied = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copied.size(), g.control.Picture().size());
  EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32), g.control.Picture().convertToFormat(QImage::Format_RGB32));
}

}  // namespace
}  // namespace vellum32

#include <QImage>

#include "test_support.h"

namespace vellum32 {
namespace {

using test::expectError;
using test::makeTable;
using test::StateOf;

const QRgb White = qRgb(255, 255, 255);
const qint32 Red = RGBColour(255, 0, 0);

// The pixel of the picture where the data point (x, y) lands with the current axes.
QPoint pixelOf(const Vellum32& control, double x, double y) {
  const ControlState& s = StateOf(control);
  const double tx = s.Layout.PlotRect.Left + (x - s.Layout.ViewRange.XMin) * s.Layout.XScale;
  const double ty = s.Layout.PlotRect.Bottom - (y - s.Layout.ViewRange.YMin) * s.Layout.YScale;
  return QPoint(int(std::nearbyint(tx / s.Layout.TwipsPerPixelX)), int(std::nearbyint(ty / s.Layout.TwipsPerPixelY)));
}

bool pictureIsBlank(const Vellum32& control) {
  const QImage& picture = control.Picture();
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if (picture.pixel(x, y) != White) return false;
  return true;
}

// A control showing 0..100 on both axes, with the axes drawn.
struct Plot {
  Vellum32 control;
  Plot() {
    control.setBackColor(RGBColour(255, 255, 255));
    control.RegisterData(makeTable({{0, 0, 100}, {0, 0, 100}}));
    setRange(0, 100);
  }
  void setRange(float min, float max) {
    control.setXAxisMin(min);
    control.setXAxisMax(max);
    control.setYAxisMin(min);
    control.setYAxisMax(max);
    control.setxTickInterval(max - min);
    control.setyTickInterval(max - min);
    control.Refresh();
  }
};

TEST(OverlayTest, NewControlHasAnEmptyRecordingOverlay) {
  Vellum32 control;
  const ControlState& s = StateOf(control);
  EXPECT_EQ(s.OverlayCount, 0);
  EXPECT_EQ(s.OverlayList.size(), 65);
  EXPECT_TRUE(s.OverlayRecording);
}

TEST(OverlayTest, DrawLineRecordsSevenEntriesWithTheValuesAsPassed) {
  Plot p;
  p.control.DrawLine(0, 0, 10, 10, Red, 1);
  const ControlState& s = StateOf(p.control);
  ASSERT_EQ(s.OverlayCount, 7);
  EXPECT_EQ(s.OverlayList[1].toInt(), LineRecord);
  EXPECT_EQ(s.OverlayList[2].toFloat(), 0);
  EXPECT_EQ(s.OverlayList[4].toFloat(), 10);
  EXPECT_EQ(s.OverlayList[6].toInt(), Red);
  EXPECT_EQ(s.OverlayList[7].toInt(), 1);
  const QPoint mid = pixelOf(p.control, 5, 5);
  const QImage& picture = p.control.Picture();
  bool red = false;
  for (int dx = -1; dx <= 1; ++dx) red = red || picture.pixel(mid.x() + dx, mid.y()) == qRgb(255, 0, 0);
  EXPECT_TRUE(red);
}

TEST(OverlayTest, RecordsOfEveryMethodAndGrowthBySixtyFour) {
  Plot p;
  p.control.DrawMarker(50, 50, 1, Red);
  p.control.DrawText(90, 20, 30, QStringLiteral("Base"));
  p.control.DrawRectangle(10, 10, 20, 20, 0, -1, 2);
  p.control.DrawPolygon(3, {0, 1, 2, 3}, {0, 4, 5, 6}, 0, Red, 1);
  const ControlState& s = StateOf(p.control);
  ASSERT_EQ(s.OverlayCount, 5 + 5 + 8 + 7);
  EXPECT_EQ(s.OverlayList[1].toInt(), MarkerRecord);
  EXPECT_EQ(s.OverlayList[6].toInt(), TextRecord);
  EXPECT_EQ(s.OverlayList[7].toFloat(), 90);
  EXPECT_EQ(s.OverlayList[10].toString(), "Base");
  EXPECT_EQ(s.OverlayList[11].toInt(), RectangleRecord);
  EXPECT_EQ(s.OverlayList[17].toInt(), -1);
  EXPECT_EQ(s.OverlayList[18].toInt(), 2);
  EXPECT_EQ(s.OverlayList[19].toInt(), PolygonRecord);
  EXPECT_EQ(s.OverlayList[21].value<QList<float>>(), QList<float>({0, 1, 2, 3}));
  EXPECT_EQ(s.OverlayList.size(), 65);
  for (int i = 0; i < 6; ++i) p.control.DrawLine(1, 1, 2, 2, 0, 1);
  EXPECT_EQ(s.OverlayCount, 25 + 42);
  EXPECT_EQ(s.OverlayList.size(), 129);
}

TEST(OverlayTest, ReplayFollowsAChangeOfScale) {
  Plot p;
  p.control.setMarkerSize(60);
  p.control.DrawMarker(50, 50, 1, Red);
  const QPoint before = pixelOf(p.control, 50, 50);
  EXPECT_EQ(p.control.Picture().pixel(before), qRgb(255, 0, 0));
  // Zoom to 0..60: the plot is drawn again and the marker moves with it.
  p.setRange(0, 60);
  const QPoint after = pixelOf(p.control, 50, 50);
  ASSERT_GT((after - before).manhattanLength(), 20);
  EXPECT_EQ(p.control.Picture().pixel(after), qRgb(255, 0, 0));
  EXPECT_EQ(p.control.Picture().pixel(before), White);
  EXPECT_EQ(StateOf(p.control).OverlayCount, 5);  // replay records nothing
  EXPECT_TRUE(StateOf(p.control).OverlayRecording);
}

TEST(OverlayTest, LineReplayIsClippedAtTheFrame) {
  Plot p;
  p.control.DrawLine(10, 50, 90, 50, Red, 1);
  p.setRange(0, 40);
  const QImage& picture = p.control.Picture();
  // y = 50 now lies above the plot (0..40): nothing red anywhere.
  bool red = false;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) red = red || picture.pixel(x, y) == qRgb(255, 0, 0);
  EXPECT_FALSE(red);
}

TEST(OverlayTest, PolygonOfOnePointDoesNothing) {
  Plot p;
  const QImage before = p.control.Picture().copy();
  p.control.DrawPolygon(1, {0, 50}, {0, 50}, 0, Red, 1);
  EXPECT_EQ(StateOf(p.control).OverlayCount, 0);
  EXPECT_EQ(p.control.Picture(), before);
  expectError(SubscriptOutOfRange, [&] { p.control.DrawPolygon(3, {0, 1, 2}, {0, 1, 2, 3}, 0, 0, 1); });
  EXPECT_EQ(StateOf(p.control).OverlayCount, 0);
}

TEST(OverlayTest, RectangleFillOnlyOrBorderOnly) {
  Plot p;
  const qint32 blue = RGBColour(0, 0, 255);
  p.control.DrawRectangle(20, 20, 40, 40, -1, blue, 1);
  const QImage& picture = p.control.Picture();
  const QPoint corner = pixelOf(p.control, 40, 40);
  EXPECT_EQ(picture.pixel(pixelOf(p.control, 30, 30)), qRgb(0, 0, 255));
  EXPECT_EQ(picture.pixel(corner + QPoint(1, -1)), White);  // right of the fill
  p.control.DrawRectangle(60, 60, 80, 80, blue, -1, 1);
  EXPECT_EQ(picture.pixel(pixelOf(p.control, 70, 70)), White);
  EXPECT_EQ(picture.pixel(pixelOf(p.control, 60, 70)), qRgb(0, 0, 255));
}

TEST(OverlayTest, ClearGraphicsThenRefreshLeavesNoOverlay) {
  Vellum32 control;
  control.setBackColor(RGBColour(255, 255, 255));
  control.Refresh();
  control.DrawText(0, 20, 60, QStringLiteral("Base station"));
  control.Refresh();  // an empty control shows the overlay again
  EXPECT_FALSE(pictureIsBlank(control));
  control.ClearGraphics();
  control.Refresh();
  EXPECT_TRUE(pictureIsBlank(control));
}

TEST(OverlayTest, ClearEmptiesTheOverlay) {
  Plot p;
  p.control.DrawLine(0, 0, 10, 10, Red, 1);
  p.control.Clear();
  EXPECT_EQ(StateOf(p.control).OverlayCount, 0);
  EXPECT_EQ(StateOf(p.control).OverlayList.size(), 65);
  EXPECT_TRUE(pictureIsBlank(p.control));
}

TEST(OverlayTest, TransformFailureRecordsNothingAndReplayFailureStopsRecording) {
  Plot p;
  p.control.DrawLine(5, 5, 50, 50, Red, 1);
  p.control.setXAxisType(AxisTypes::LogLinear);
  p.control.setXBaseLog(1);  // ln 1 = 0: every value beyond the cutoff divides by zero
  expectError(DivisionByZero, [&] { p.control.DrawLine(5, 5, 50, 50, Red, 1); });
  EXPECT_EQ(StateOf(p.control).OverlayCount, 7);
  expectError(DivisionByZero, [&] { p.control.DrawGraphics(); });
  EXPECT_FALSE(StateOf(p.control).OverlayRecording);
  p.control.DrawMarker(0, 5, 1, Red);  // drawn, not recorded
  EXPECT_EQ(StateOf(p.control).OverlayCount, 7);
  p.control.ClearGraphics();
  EXPECT_TRUE(StateOf(p.control).OverlayRecording);
}

TEST(OverlayTest, TextIsReplayedWithItsStoredValues) {
  Vellum32 control;
  control.setBackColor(RGBColour(255, 255, 255));
  control.Refresh();
  control.DrawText(0, 30, 70, QStringLiteral("M"));
  const QImage drawn = control.Picture().copy();
  control.Refresh();  // cleared, then the overlay replayed
  EXPECT_EQ(control.Picture(), drawn);
  EXPECT_FALSE(pictureIsBlank(control));
}

}  // namespace
}  // namespace vellum32

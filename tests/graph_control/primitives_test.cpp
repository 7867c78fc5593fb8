#include <QImage>
#include <QPainter>

#include "recording_device.h"
#include "test_support.h"

namespace vellum32 {
namespace {

using test::DeviceCall;
using test::RecordingDevice;

// A state mapping 15 twips to one device unit, clipping to a 3000 x 1500 twips window.
DrawContext screenState() {
  DrawContext s;
  s.Mapping.perTwip = 1.0f / 15;
  s.Clip = TwipsRect{0, 3000, 0, 1500};
  s.MarkerSize = 30;
  return s;
}

const QRgb White = qRgb(255, 255, 255);

TEST(DeviceMappingTest, ScaleAndOffsetsWithHalvesToEven) {
  DrawContext s;
  s.Mapping.perTwip = 0.5f;
  Primitives p(s, nullptr);
  EXPECT_EQ(p.ToDevice(20, 40), QPoint(10, 20));
  EXPECT_EQ(p.ToDevice(5, 7), QPoint(2, 4));    // 2.5 -> 2, 3.5 -> 4
  EXPECT_EQ(p.ToDevice(-5, 9), QPoint(-2, 4));  // -2.5 -> -2, 4.5 -> 4
  s.Mapping.offsetX = 100;
  s.Mapping.offsetY = 50;
  EXPECT_EQ(p.ToDevice(20, 40), QPoint(110, 70));
}

TEST(DeviceMappingTest, QuarterTurnOnTheLandscapePage) {
  DrawContext s;
  s.Mapping.perTwip = 0.5f;
  s.Mapping.landscape = true;
  s.Mapping.pageWidth = 1000;
  s.Mapping.offsetX = 100;
  s.Mapping.offsetY = 100;
  Primitives p(s, nullptr);
  EXPECT_EQ(p.ToDevice(100, 200), QPoint((1000 - 200) / 2 + 100, 100 / 2 + 100));
}

TEST(DeviceMappingTest, FarPointsStayInsideTheDeviceRange) {
  DrawContext s;
  Primitives p(s, nullptr);
  const QPoint far = p.ToDevice(1e30, -1e30);
  EXPECT_GT(far.x(), 1000000000);
  EXPECT_LT(far.y(), -1000000000);
}

TEST(PrimitivesTest, LineIsClippedToTheWindow) {
  DrawContext s = screenState();
  RecordingDevice device;
  Primitives p(s, &device);
  p.Line(-300, 150, 1500, 150, RGBColour(255, 0, 0), 3);
  ASSERT_EQ(device.calls.size(), 1u);
  const DeviceCall& c = device.calls[0];
  EXPECT_EQ(c.kind, DeviceCall::Line);
  EXPECT_EQ(c.points[0], QPoint(0, 10));
  EXPECT_EQ(c.points[1], QPoint(100, 10));
  EXPECT_EQ(c.colour, QColor(255, 0, 0));
  EXPECT_EQ(c.width, 3);
  p.Line(-300, 150, -10, 1500, 0, 1);  // wholly left of the window
  EXPECT_EQ(device.calls.size(), 1u);
}

TEST(PrimitivesTest, PolygonBoundingBoxTest) {
  DrawContext s = screenState();
  RecordingDevice device;
  Primitives p(s, &device);
  // All points left of the window: nothing.
  p.Polygon(3, {0, -300, -150, -30}, {0, 0, 300, 150}, 0, 255);
  EXPECT_TRUE(device.calls.empty());
  // Overlapping the window: drawn whole, the outside point included.
  p.Polygon(3, {0, -300, 300, 300}, {0, 150, 150, 300}, 0, 255);
  ASSERT_EQ(device.calls.size(), 2u);
  EXPECT_EQ(device.calls[0].kind, DeviceCall::Outline);
  EXPECT_EQ(device.calls[0].points, QPolygon({QPoint(-20, 10), QPoint(20, 10), QPoint(20, 20)}));
  EXPECT_EQ(device.calls[1].kind, DeviceCall::Fill);
  EXPECT_EQ(device.calls[1].colour, QColor(255, 0, 0));
  test::expectError(SubscriptOutOfRange, [&] { p.Polygon(3, {0, 1, 2}, {0, 1, 2, 3}, 0, 0); });
}

TEST(PrimitivesTest, RectangleBorderOrFillOnly) {
  DrawContext s = screenState();
  RecordingDevice device;
  Primitives p(s, &device);
  s.PenWidth = 2;
  p.Rectangle(150, 150, 450, 300, NoColour, RGBColour(0, 0, 255));
  ASSERT_EQ(device.calls.size(), 1u);
  EXPECT_EQ(device.calls[0].kind, DeviceCall::Fill);
  EXPECT_EQ(device.calls[0].points, QPolygon({QPoint(10, 10), QPoint(30, 10), QPoint(30, 20), QPoint(10, 20)}));
  device.calls.clear();
  p.Rectangle(150, 150, 450, 300, RGBColour(0, 255, 0), NoColour);
  ASSERT_EQ(device.calls.size(), 1u);
  EXPECT_EQ(device.calls[0].kind, DeviceCall::Outline);
  EXPECT_EQ(device.calls[0].width, 2);
}

TEST(PrimitivesTest, MarkersByCode) {
  DrawContext s = screenState();
  s.DefaultPenWidth = 2;
  const qint32 red = RGBColour(255, 0, 0);
  const auto draw = [&](qint32 code) {
    RecordingDevice device;
    Primitives p(s, &device);
    p.Marker(300, 300, code, red);
    return device.calls;
  };
  // s = 30 twips = 2 device units around (20, 20).
  auto c = draw(1);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].kind, DeviceCall::Outline);
  EXPECT_EQ(c[0].points, QPolygon({QPoint(18, 18), QPoint(22, 18), QPoint(22, 22), QPoint(18, 22)}));
  EXPECT_EQ(c[1].kind, DeviceCall::Fill);
  c = draw(2);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].width, 4);
  c = draw(3);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].points, QPolygon({QPoint(18, 18), QPoint(22, 22)}));
  EXPECT_EQ(c[1].points, QPolygon({QPoint(18, 22), QPoint(22, 18)}));
  EXPECT_EQ(c[0].width, 4);
  c = draw(4);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].points, QPolygon({QPoint(20, 18), QPoint(20, 22)}));
  EXPECT_EQ(c[1].points, QPolygon({QPoint(18, 20), QPoint(22, 20)}));
  c = draw(5);
  ASSERT_EQ(c.size(), 4u);
  for (const auto& line : c) EXPECT_EQ(line.width, 1);
  c = draw(6);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].points, QPolygon({QPoint(18, 20), QPoint(20, 22), QPoint(22, 20), QPoint(20, 18)}));
  EXPECT_EQ(c[1].kind, DeviceCall::Fill);
  c = draw(7);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].kind, DeviceCall::Outline);
  c = draw(-3);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].kind, DeviceCall::Text);
  EXPECT_EQ(c[0].text, "C");
  EXPECT_EQ(c[0].points[0], QPoint(16, 23));  // (x - 2s, y + 1.5s)
  EXPECT_EQ(draw(-1)[0].text, "A");
  EXPECT_EQ(draw(-26)[0].text, "Z");
  for (qint32 none : {0, 8, -27, 100}) EXPECT_TRUE(draw(none).empty()) << none;
}

TEST(PrimitivesTest, TextFontFromTheDeviceResolution) {
  DrawContext s = screenState();
  s.TextFont = QFont(QStringLiteral("DejaVu Sans"), 12);
  s.TextWeight = 400;
  s.DeviceScale = 2;
  RecordingDevice device(96);
  Primitives p(s, &device);
  p.Text(90, 150, 300, QStringLiteral("Gamma"));
  ASSERT_EQ(device.calls.size(), 1u);
  const DeviceCall& c = device.calls[0];
  EXPECT_EQ(c.points[0], QPoint(10, 20));
  EXPECT_EQ(c.font.Height, -32);  // 12 pt at 96 dpi, scale 2
  EXPECT_EQ(c.font.Escapement, 900);
  EXPECT_EQ(c.font.Weight, 400);
  EXPECT_EQ(c.font.Face, "DejaVu Sans");
  s.Mapping.landscape = true;
  s.HighResolution = true;
  EXPECT_EQ(p.CurrentFont(90).Escapement, 0);
  EXPECT_EQ(p.CurrentFont(0).Height, -100);  // 300 units per inch
}

TEST(CaptureTest, PrimitivesAppendRecordsInsteadOfDrawing) {
  DrawContext s = screenState();
  StreamSink sink;
  sink.List.clear();  // grows by 64 entries when short
  s.Stream = &sink;
  s.PenWidth = 3;
  RecordingDevice device;
  Primitives p(s, &device);
  p.ClipWindow();
  p.Line(-300, 150, 1500, 150, 255, 2);
  p.Marker(300, 300, 4, 65280);
  p.Rectangle(150, 150, 450, 300, 0, -1);
  p.Text(45, 10, 20, QStringLiteral("abc"));
  p.Line(-300, -300, -10, -10, 0, 1);  // outside: not captured
  EXPECT_TRUE(device.calls.empty());
  ASSERT_EQ(sink.Count, 5 + 7 + 5 + 7 + 5);
  ASSERT_EQ(sink.List.size(), 64);
  const QList<QVariant>& l = sink.List;
  EXPECT_FALSE(l[0].isValid());
  EXPECT_EQ(l[1].typeId(), QMetaType::Short);
  EXPECT_EQ(l[1].toInt(), ClipWindowRecord);
  EXPECT_EQ(l[3].toFloat(), 3000);
  EXPECT_EQ(l[6].toInt(), LineRecord);
  EXPECT_EQ(l[7].toFloat(), 0);  // clipped
  EXPECT_EQ(l[9].toFloat(), 1500);
  EXPECT_EQ(l[11].toInt(), 255);
  EXPECT_EQ(l[12].toInt(), 2);
  EXPECT_EQ(l[13].toInt(), MarkerRecord);
  EXPECT_EQ(l[16].toInt(), 4);
  EXPECT_EQ(l[18].toInt(), PolygonRecord);
  EXPECT_EQ(l[19].toInt(), 4);
  EXPECT_EQ(l[20].value<QList<float>>(), QList<float>({0, 150, 450, 450, 150}));
  EXPECT_EQ(l[21].value<QList<float>>(), QList<float>({0, 150, 150, 300, 300}));
  EXPECT_EQ(l[22].toInt(), 0);
  EXPECT_EQ(l[23].toInt(), -1);
  EXPECT_EQ(l[24].toInt(), 3);
  EXPECT_EQ(l[25].toInt(), TextRecord);
  EXPECT_EQ(l[26].toFloat(), 45);
  EXPECT_EQ(l[29].toString(), "abc");
}

TEST(CaptureTest, ListGrowsBySixtyFour) {
  QList<QVariant> list;
  qint32 count = 0;
  for (int i = 0; i < 9; ++i) AppendRecord(list, count, {QVariant(1), 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(count, 63);
  EXPECT_EQ(list.size(), 64);
  AppendRecord(list, count, {QVariant(1), 2});
  EXPECT_EQ(list.size(), 128);
  EXPECT_EQ(list[65].toInt(), 2);
}

// Pixel tests on a QImage through the painter device.
struct Canvas {
  QImage image{60, 40, QImage::Format_RGB32};
  Canvas() { image.fill(White); }
  template <class F>
  void paint(DrawContext& s, F&& f) {
    QPainter painter(&image);
    PainterDevice device(painter, 96, 96);
    Primitives p(s, &device);
    f(p);
  }
};

TEST(PainterDeviceTest, LineLeavesOutItsEndPoint) {
  DrawContext s = screenState();
  Canvas c;
  c.paint(s, [](Primitives& p) { p.Line(30, 150, 150, 150, RGBColour(255, 0, 0), 1); });
  EXPECT_EQ(c.image.pixel(2, 10), qRgb(255, 0, 0));
  EXPECT_EQ(c.image.pixel(9, 10), qRgb(255, 0, 0));
  EXPECT_EQ(c.image.pixel(10, 10), White);
  EXPECT_EQ(c.image.pixel(1, 10), White);
  EXPECT_EQ(c.image.pixel(5, 11), White);
}

TEST(PainterDeviceTest, FillOnlyAndBorderOnly) {
  DrawContext s = screenState();
  const QRgb blue = qRgb(0, 0, 255);
  Canvas fill;
  fill.paint(s, [](Primitives& p) { p.Rectangle(150, 150, 450, 300, NoColour, RGBColour(0, 0, 255)); });
  EXPECT_EQ(fill.image.pixel(20, 15), blue);
  EXPECT_EQ(fill.image.pixel(12, 12), blue);
  EXPECT_EQ(fill.image.pixel(35, 15), White);
  Canvas border;
  border.paint(s, [](Primitives& p) { p.Rectangle(150, 150, 450, 300, RGBColour(0, 0, 255), NoColour); });
  EXPECT_EQ(border.image.pixel(20, 10), blue);
  EXPECT_EQ(border.image.pixel(10, 15), blue);
  EXPECT_EQ(border.image.pixel(30, 15), blue);
  EXPECT_EQ(border.image.pixel(20, 15), White);
}

TEST(PainterDeviceTest, FilledMarkerShowsItsColour) {
  DrawContext s = screenState();
  Canvas c;
  c.paint(s, [](Primitives& p) { p.Marker(300, 300, 1, RGBColour(0, 128, 0)); });
  EXPECT_EQ(c.image.pixel(20, 20), qRgb(0, 128, 0));
  EXPECT_EQ(c.image.pixel(25, 20), White);
}

TEST(PainterDeviceTest, NotXorMarkDrawnTwiceLeavesThePicture) {
  DrawContext s = screenState();
  Canvas c;
  c.paint(s, [](Primitives& p) { p.Rectangle(60, 60, 600, 450, NoColour, RGBColour(200, 100, 50)); });
  const QImage before = c.image.copy();
  s.NotXor = true;
  c.paint(s, [](Primitives& p) { p.Rectangle(150, 150, 750, 300, 0, NoColour); });
  EXPECT_NE(c.image, before);
  EXPECT_EQ(c.image.pixel(45, 10), qRgb(0, 0, 0));  // white turned black
  c.paint(s, [](Primitives& p) { p.Rectangle(150, 150, 750, 300, 0, NoColour); });
  EXPECT_EQ(c.image, before);
}

}  // namespace
}  // namespace vellum32

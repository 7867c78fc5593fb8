#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <climits>
#include <cmath>

#include "interact/zoom.h"
#include "test_support.h"

namespace vellum32 {
namespace {

using test::makeTable;
using test::StateOf;

// A shown control with the zoom strip, showing 0..100 on both axes.
struct Strip {
  Vellum32 control;
  QWidget* picture;
  int zoomChanged = 0;
  int mouseDowns = 0;
  std::vector<std::array<qint32, 3>> selected;
  explicit Strip(const DataTable& table = makeTable({{0, 0, 50, 100}, {0, 0, 50, 100}})) {
    control.resize(600, 400);
    control.setBackColor(RGBColour(255, 255, 255));
    control.setDoZoom(true);
    control.show();
    picture = control.findChild<QWidget*>(QStringLiteral("Picture_graph"));
    control.RegisterData(table);
    setLimits(0, 100);
    QObject::connect(&control, &Vellum32::ZoomChanged, [this] { ++zoomChanged; });
    QObject::connect(&control, &Vellum32::MouseDown, [this](qint16&, qint16&, float&, float&) { ++mouseDowns; });
    QObject::connect(&control, &Vellum32::PointSelected, [this](qint32& g, qint32& s, qint32& p) {
      selected.push_back({g, s, p});
    });
  }
  void setLimits(float min, float max) {
    control.setXAxisMin(min);
    control.setXAxisMax(max);
    control.setYAxisMin(min);
    control.setYAxisMax(max);
    control.setxTickInterval(25);
    control.setyTickInterval(25);
    control.Refresh();
  }
  QScrollBar* bar(const char* name) { return control.findChild<QScrollBar*>(QString::fromLatin1(name)); }
  void step(const char* name, int value, int times = 1) {
    for (int i = 0; i < times; ++i)
      bar(name)->triggerAction(value < 0 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
  }
  // The picture pixel of a data point.
  QPoint pixelOf(double x, double y) const {
    const ControlState& s = StateOf(control);
    return QPoint(int(std::lround((s.Layout.PlotRect.Left + (x - s.Layout.ViewRange.XMin) * s.Layout.XScale) /
                                  s.Layout.TwipsPerPixelX)),
                  int(std::lround((s.Layout.PlotRect.Bottom - (y - s.Layout.ViewRange.YMin) * s.Layout.YScale) /
                                  s.Layout.TwipsPerPixelY)));
  }
  void click(QPoint at, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(picture, Qt::LeftButton, modifiers, at);
  }
};

TEST(ZoomStripTest, StepsZoomByThreeQuartersAndBack) {
  struct Case {
    ZoomXTypes type;
    float min, max;  // after three steps in
  } cases[] = {{ZoomXTypes::ZoomXCentre, 28.90625f, 71.09375f},
               {ZoomXTypes::ZoomXLeft, 0, 42.1875f},
               {ZoomXTypes::ZoomXRight, 57.8125f, 100}};
  for (const Case& c : cases) {
    Strip strip;
    strip.control.setZoomXType(c.type);
    strip.step("HScroll_zoom", 1, 3);
    EXPECT_EQ(strip.control.XAxisMin(), c.min) << int(c.type);
    EXPECT_EQ(strip.control.XAxisMax(), c.max) << int(c.type);
    EXPECT_FLOAT_EQ(strip.control.XaxisZoomRange(), 42.1875f);  // 27/64 of the home extent
    strip.step("HScroll_zoom", -1, 3);
    EXPECT_EQ(strip.control.XAxisMin(), 0);
    EXPECT_EQ(strip.control.XAxisMax(), 100);
    EXPECT_EQ(strip.zoomChanged, 6);
    EXPECT_EQ(strip.bar("HScroll_zoom")->value(), 0);
  }
  Strip upright;
  upright.step("VScroll_zoom", 1);  // the lower arrow zooms in
  EXPECT_EQ(upright.control.YAxisMin(), 12.5f);
  EXPECT_EQ(upright.control.YAxisMax(), 87.5f);
}

TEST(ZoomStripTest, WindowsOfAThousandthOrAThousandTimesStopThere) {
  struct Case {
    float max;  // window 0..max of the home extent 0..1000
    int value;
    bool zooms;
  } cases[] = {{1.0f, 1, false}, {1.0001f, 1, true},     {1.0f, -1, true},
               {1e6f, -1, true}, {1.0001e6f, -1, false}, {1.0001e6f, 1, true}};
  for (const Case& c : cases) {
    Strip strip;
    strip.setLimits(0, 1000);
    strip.control.setxTickInterval(1e5f);
    StateOf(strip.control).X.Max = c.max;
    strip.step("HScroll_zoom", c.value);
    EXPECT_EQ(strip.control.XAxisMax() != c.max, c.zooms) << c.max << " " << c.value;
    EXPECT_EQ(strip.zoomChanged, c.zooms ? 1 : 0);
  }
}

TEST(ZoomStripTest, PansAQuarterSpanAndBack) {
  for (const char* name : {"HScroll_pan", "VScroll_pan"}) {
    Strip strip;
    strip.step(name, -1, 4);
    const bool upright = name[0] == 'V';
    EXPECT_EQ(upright ? strip.control.YAxisMin() : strip.control.XAxisMin(), upright ? 100 : -100) << name;
    strip.step(name, 1, 4);
    EXPECT_EQ(strip.control.XAxisMin(), 0);
    EXPECT_EQ(strip.control.YAxisMax(), 100);
    EXPECT_EQ(strip.zoomChanged, 8);
  }
}

TEST(ZoomStripTest, FailuresOfZoomAreSilentAndOfPanAreReported) {
  Strip strip;
  int errors = 0;
  QObject::connect(&strip.control, &Vellum32::Error, [&](qint32, const QString&) { ++errors; });
  StateOf(strip.control).X.HomeMax = 0;
  StateOf(strip.control).X.HomeMin = 0;
  strip.step("HScroll_zoom", 1);
  EXPECT_EQ(strip.zoomChanged + errors, 0);
  EXPECT_EQ(strip.bar("HScroll_zoom")->value(), 0);
  strip.control.setxTickInterval(0);
  strip.step("HScroll_pan", 1);
  EXPECT_EQ(errors, 1);
  EXPECT_FALSE(StateOf(strip.control).ScrollGuard);
}

TEST(ZoomStripTest, ResetButtonReturnsHome) {
  Strip strip;
  strip.step("HScroll_zoom", 1, 2);
  strip.step("VScroll_pan", 1);
  QTest::mouseClick(strip.control.findChild<QPushButton*>(QStringLiteral("Command_reset")), Qt::LeftButton);
  EXPECT_EQ(strip.control.XAxisMin(), 0);
  EXPECT_EQ(strip.control.XAxisMax(), 100);
  EXPECT_EQ(strip.control.YAxisMin(), 0);
  EXPECT_EQ(strip.zoomChanged, 4);
}

// The x strip's split colours along its top row, and the window's black rectangle.
TEST(ZoomStripTest, IndicatorSplitsAndShowsTheWindow) {
  const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), black = qRgb(0, 0, 0);
  struct Case {
    qint32 split;
    QRgb at10, at90;
  } cases[] = {{30, red, green}, {0, green, green}, {-1, green, green}, {150, red, red}, {95, red, red}};
  for (const Case& c : cases) {
    Strip strip;
    strip.control.setZoomXSplit(c.split);
    strip.control.Refresh();
    const QImage& image = strip.control.findChild<QWidget*>(QStringLiteral("Picture_x_location"))->grab().toImage();
    EXPECT_EQ(image.pixel(image.width() / 10, 0), c.at10) << c.split;
    EXPECT_EQ(image.pixel(image.width() * 9 / 10, 0), c.at90) << c.split;
    EXPECT_EQ(image.pixel(1, image.height() / 2), black);
    EXPECT_EQ(image.pixel(image.width() - 2, image.height() / 2), black);
  }
  Strip zoomed;
  zoomed.step("HScroll_pan", 1);
  EXPECT_FLOAT_EQ(zoomed.control.XaxisZoomCentre(), 75);
  EXPECT_FLOAT_EQ(zoomed.control.XaxisZoomRange(), 100);
  EXPECT_FLOAT_EQ(zoomed.control.YAxisZoomCentre(), 50);
}

TEST(PickTest, TheToleranceIsStrict) {
  Strip strip;
  const ControlState& s = StateOf(strip.control);
  EXPECT_EQ(s.Layout.PickToleranceX, 100);
  const float px = float(s.Layout.PlotRect.Left + 50 * s.Layout.XScale);
  const float py = float(s.Layout.PlotRect.Bottom - 50 * s.Layout.YScale);
  EXPECT_FALSE(NearestPoint(s, px + 100, py));
  EXPECT_FALSE(NearestPoint(s, px, py - 100));
  ASSERT_TRUE(NearestPoint(s, px + 99.5f, py - 99.5f));
  EXPECT_EQ(NearestPoint(s, px + 99.5f, py - 99.5f)->Point, 2);
}

TEST(PickTest, ClicksPickTheNearestSelectablePointOfTheLaterSeries) {
  // Two series with the same values in one group, and a second group.
  Strip strip(makeTable({{0, 0, 50, 100}, {0, 0, 50, 100}, {0, 0, 50, 100}, {1, 0, 25, 75}, {0, 90, 90, 90}}));
  strip.click(strip.pixelOf(50, 50) + QPoint(7, 0));  // 105 twips away
  EXPECT_EQ(strip.mouseDowns, 1);
  EXPECT_TRUE(strip.selected.empty());
  strip.click(strip.pixelOf(50, 50) + QPoint(3, 2));
  ASSERT_EQ(strip.selected.size(), 1u);
  EXPECT_EQ(strip.selected[0], (std::array<qint32, 3>{1, 2, 2}));
  strip.control.SetSeriesOptions(1, 2, -1, QString(), 0, 0);  // no longer selectable
  strip.click(strip.pixelOf(50, 50));
  EXPECT_EQ(strip.selected.back(), (std::array<qint32, 3>{1, 1, 2}));
  strip.click(strip.pixelOf(75, 90));
  EXPECT_EQ(strip.selected.back(), (std::array<qint32, 3>{2, 1, 3}));
  EXPECT_EQ(strip.mouseDowns, 1);
}

TEST(PickTest, ASecondSelectionErasesTheFirstMark) {
  Strip strip;
  strip.click(strip.pixelOf(100, 100));
  const QImage onlySecond = strip.control.Picture().copy();
  strip.control.setSelectPoint(1, 1, 3, false);
  const QImage none = strip.control.Picture().copy();
  strip.click(strip.pixelOf(50, 50));
  EXPECT_NE(strip.control.Picture(), none);
  strip.click(strip.pixelOf(100, 100));
  EXPECT_EQ(strip.control.Picture(), onlySecond);
}

TEST(PointerTest, LogLinearAxesReportDataValues) {
  Vellum32 control;
  ControlState& s = StateOf(control);
  s.X.Type = AxisTypes::LogLinear;
  s.Layout.PlotRect = TwipsRect{0, 1000, 0, 1000};
  s.Layout.ViewRange = AxisRange{0, 10, 0, 10};
  s.Layout.XScale = s.Layout.YScale = 1;
  EXPECT_FLOAT_EQ(PointerAt(s, 3, 500).xp, 100);
  EXPECT_NEAR(PointerAt(s, -2.5f, 500).xp, -31.6228, 1e-3);
  EXPECT_FLOAT_EQ(PointerAt(s, 0.5f, 500).xp, 0.5f);
  EXPECT_EQ(PointerAt(s, -2.5f, 1001).inview, 1 + 8);
  s.Layout.XScale = 0;
  EXPECT_EQ(PointerAt(s, 3, 500).xp, 0);
}

TEST(PointerTest, MovesWithoutAButtonReachTheHost) {
  Strip strip;
  float reportedX = -1;
  qint32 reportedInview = -1;
  QObject::connect(&strip.control, &Vellum32::MouseMove,
                   [&](qint16&, qint16&, float&, float&, qint32& inview, float& xp, float&) {
                     reportedInview = inview;
                     reportedX = xp;
                   });
  QTest::mouseMove(strip.picture, strip.pixelOf(50, 50));
  EXPECT_EQ(reportedInview, 0);
  EXPECT_NEAR(reportedX, 50, 1);
}

TEST(WheelTest, AStepKeepsTheValueUnderThePointer) {
  Strip strip;
  const QPoint at = strip.pixelOf(25, 75);
  const ControlState& s = StateOf(strip.control);
  const QPointF twips(at.x() * s.Layout.TwipsPerPixelX, at.y() * s.Layout.TwipsPerPixelY);
  const PointerPosition before = PointerAt(s, float(twips.x()), float(twips.y()));
  QWheelEvent in(at, strip.picture->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                 Qt::NoScrollPhase, false);
  QApplication::sendEvent(strip.picture, &in);
  EXPECT_FLOAT_EQ(strip.control.XAxisMax() - strip.control.XAxisMin(), 75);
  EXPECT_FLOAT_EQ(strip.control.YAxisMax() - strip.control.YAxisMin(), 75);
  const PointerPosition after = PointerAt(s, float(twips.x()), float(twips.y()));
  EXPECT_NEAR(after.xp, before.xp, 1e-3);
  EXPECT_NEAR(after.yp, before.yp, 1e-3);
  EXPECT_EQ(strip.zoomChanged, 1);
  strip.control.setWheelZoom(false);
  QApplication::sendEvent(strip.picture, &in);
  EXPECT_EQ(strip.zoomChanged, 1);
  strip.control.ResetZoom();
  EXPECT_EQ(strip.control.XAxisMin(), 0);
  EXPECT_EQ(strip.control.YAxisMax(), 100);
}

// Turns of any size zoom by one step each (the steps of one turn start from the same
// window); the count of a turn never overflows into the other direction.
TEST(WheelTest, HugeTurnsZoomAStepEach) {
  Strip strip;
  const QPoint at = strip.pixelOf(50, 50);
  const std::pair<int, float> turns[] = {{INT_MAX, 75}, {INT_MAX, 56.25f}, {INT_MIN, 75}, {INT_MIN, 100}};
  for (const auto& [turn, span] : turns) {
    QWheelEvent in(at, strip.picture->mapToGlobal(at), QPoint(), QPoint(0, turn), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(strip.picture, &in);
    EXPECT_FLOAT_EQ(strip.control.XAxisMax() - strip.control.XAxisMin(), span) << turn;
  }
}

TEST(BandTest, AShiftDragZoomsToTheBandAndLeavesNoTrace) {
  Strip strip;
  const QImage before = strip.control.Picture().copy();
  const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, strip.picture->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  buttons, Qt::ShiftModifier);
    QApplication::sendEvent(strip.picture, &e);
  };
  const QPoint from = strip.pixelOf(20, 80);
  send(QEvent::MouseButtonPress, from, Qt::LeftButton);
  send(QEvent::MouseMove, strip.pixelOf(60, 40), Qt::LeftButton);
  EXPECT_NE(strip.control.Picture(), before);
  send(QEvent::MouseMove, from + QPoint(1, 1), Qt::LeftButton);
  send(QEvent::MouseButtonRelease, from + QPoint(1, 1), Qt::NoButton);  // too small: a click
  EXPECT_EQ(strip.control.Picture(), before);
  EXPECT_EQ(strip.zoomChanged, 0);

  send(QEvent::MouseButtonPress, from, Qt::LeftButton);
  send(QEvent::MouseMove, strip.pixelOf(60, 40), Qt::LeftButton);
  send(QEvent::MouseButtonRelease, strip.pixelOf(60, 40), Qt::NoButton);
  EXPECT_EQ(strip.zoomChanged, 1);
  EXPECT_NEAR(strip.control.XAxisMin(), 20, 1);
  EXPECT_NEAR(strip.control.XAxisMax(), 60, 1);
  EXPECT_NEAR(strip.control.YAxisMin(), 40, 1);
  EXPECT_NEAR(strip.control.YAxisMax(), 80, 1);
  strip.control.ResetZoom();
  EXPECT_EQ(strip.control.XAxisMax(), 100);
  EXPECT_EQ(strip.control.YAxisMin(), 0);
}

}  // namespace
}  // namespace vellum32

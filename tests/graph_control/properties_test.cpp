#include <QApplication>
#include <QPalette>
#include <QSignalSpy>
#include <cmath>

#include "test_support.h"

namespace vellum32 {
namespace {

using test::ChangeRecorder;
using test::expectError;
using test::StateOf;

TEST(Vellum32Properties, NewControlReportsItsInitialValues) {
  Vellum32 c;
  EXPECT_EQ(c.ChartType(), ChartTypes::Point);
  EXPECT_TRUE(c.DisplayAxes());
  EXPECT_FALSE(c.DisplayLegend());
  EXPECT_FALSE(c.PlotPoints());
  EXPECT_FALSE(c.SetMargins());
  EXPECT_FALSE(c.DoZoom());
  EXPECT_EQ(c.MarkerSize(), 35);
  EXPECT_EQ(c.DataNull(), -999.0f);
  EXPECT_EQ(c.XAxisMin(), -99999.0f);
  EXPECT_EQ(c.XAxisMax(), -99999.0f);
  EXPECT_EQ(c.YAxisMin(), -99999.0f);
  EXPECT_EQ(c.YAxisMax(), -99999.0f);
  EXPECT_EQ(c.XBaseLog(), 10.0f);
  EXPECT_EQ(c.YBaseLog(), 10.0f);
  EXPECT_EQ(c.XAxisCutoff(), 1.0f);
  EXPECT_EQ(c.YAxisCutoff(), 1.0f);
  EXPECT_EQ(c.xTickInterval(), 1.0f);
  EXPECT_EQ(c.yTickInterval(), 1.0f);
  EXPECT_EQ(c.XaxisZoomCentre(), 50.0f);
  EXPECT_EQ(c.YAxisZoomCentre(), 50.0f);
  EXPECT_EQ(c.XaxisZoomRange(), 100.0f);
  EXPECT_EQ(c.YAxisZoomRange(), 100.0f);
  EXPECT_EQ(c.ZoomXType(), ZoomXTypes::ZoomXCentre);
  EXPECT_EQ(c.ZoomYType(), ZoomYTypes::ZoomyCentre);
  EXPECT_EQ(c.ZoomXSplit(), -1);
  EXPECT_EQ(c.ZoomYSplit(), -1);
  EXPECT_EQ(c.ZoomXSplitLeft(), 255);
  EXPECT_EQ(c.ZoomXSplitRight(), 65280);
  EXPECT_EQ(c.ZoomYSplitTop(), 255);
  EXPECT_EQ(c.ZoomYSplitBottom(), 65280);
  EXPECT_EQ(c.XAxisType(), AxisTypes::linear);
  EXPECT_EQ(c.YAxisType(), AxisTypes::linear);
  EXPECT_TRUE(c.Title().isEmpty());
  EXPECT_TRUE(c.XAxisLabel().isEmpty());
  EXPECT_TRUE(c.YAxisLabel().isEmpty());
  EXPECT_FALSE(c.TitleFont().has_value());
  EXPECT_EQ(c.XAxisLeftMargin(), 0.0f);
  EXPECT_EQ(c.YAxisBottomMargin(), 0.0f);
  EXPECT_EQ(c.BackColor(), SystemButtonFace);
  EXPECT_EQ(c.ForeColor(), SystemButtonText);
  EXPECT_TRUE(c.Enabled());

  const ControlState& s = StateOf(c);
  EXPECT_EQ(s.Store.GroupCount(), 0);
  EXPECT_EQ(s.Store.SeriesCount(), 0);
  EXPECT_EQ(s.Store.MaxPoints(), 0);
  EXPECT_FLOAT_EQ(s.X.LnBase, float(std::log(10.0)));
  EXPECT_FLOAT_EQ(s.Y.LnBase, float(std::log(10.0)));
  EXPECT_EQ(s.Layout.PlotRect, (TwipsRect{0, 100, 0, 100}));
  EXPECT_EQ(s.Layout.XScale, 1.0f);
  EXPECT_EQ(s.Layout.YScale, 1.0f);
  EXPECT_FALSE(s.PointIsSelected);
  for (int i = 0; i < SeriesOptionEntries; ++i) {
    EXPECT_EQ(s.Options.SeriesColour[std::size_t(i)], 0);
    EXPECT_TRUE(s.Options.SeriesLegend[std::size_t(i)].isEmpty());
    EXPECT_TRUE(s.Options.SeriesSelectable[std::size_t(i)]);
    EXPECT_EQ(s.Options.SeriesWeight[std::size_t(i)], 1);
  }
}

TEST(Vellum32Properties, EnumerationValuesAreFixed) {
  EXPECT_EQ(int(ChartTypes::Point), 0);
  EXPECT_EQ(int(ChartTypes::Line), 1);
  EXPECT_EQ(int(AxisTypes::linear), 0);
  EXPECT_EQ(int(AxisTypes::LogLinear), 1);
  EXPECT_EQ(int(BackStyleTypes::Transparent), 0);
  EXPECT_EQ(int(BackStyleTypes::Opaque), 1);
  EXPECT_EQ(int(BorderStyleTypes::None), 0);
  EXPECT_EQ(int(BorderStyleTypes::Solid), 1);
  EXPECT_EQ(int(ZoomXTypes::ZoomXLeft), 0);
  EXPECT_EQ(int(ZoomXTypes::ZoomXCentre), 1);
  EXPECT_EQ(int(ZoomXTypes::ZoomXRight), 2);
  EXPECT_EQ(int(ZoomYTypes::ZoomYTop), 0);
  EXPECT_EQ(int(ZoomYTypes::ZoomyCentre), 1);
  EXPECT_EQ(int(ZoomYTypes::ZoomYBottom), 2);
}

TEST(Vellum32Properties, StoredPropertiesMarkChangedWithoutRedrawing) {
  Vellum32 c;
  c.Refresh();
  c.setBackColor(RGBColour(10, 20, 30));
  const QImage before = c.Picture();
  ChangeRecorder changes(c);
  c.setTitle(QStringLiteral("Raw readings"));
  c.setChartType(ChartTypes::Line);
  c.setPlotPoints(true);
  c.setMarkerSize(50);
  c.setDataNull(-99999);
  c.setxTickInterval(0.25f);
  EXPECT_EQ(c.Title(), QStringLiteral("Raw readings"));
  EXPECT_EQ(c.ChartType(), ChartTypes::Line);
  EXPECT_TRUE(c.PlotPoints());
  EXPECT_EQ(c.MarkerSize(), 50);
  EXPECT_EQ(c.DataNull(), -99999.0f);
  EXPECT_EQ(c.xTickInterval(), 0.25f);
  EXPECT_EQ(changes.names,
            (QStringList{"Title", "ChartType", "PlotPoints", "MarkerSize", "DataNull", "xTickInterval"}));
  EXPECT_EQ(c.Picture(), before);  // nothing redrawn until Refresh
}

TEST(Vellum32Properties, EnumerationsAreStoredWithoutRangeChecks) {
  Vellum32 c;
  c.setXAxisType(AxisTypes(2));
  c.setZoomXType(ZoomXTypes(7));
  EXPECT_EQ(int(c.XAxisType()), 2);
  EXPECT_EQ(int(c.ZoomXType()), 7);
}

TEST(Vellum32Properties, QtPropertySystemReachesEveryProperty) {
  Vellum32 c;
  EXPECT_TRUE(c.setProperty("XAxisMin", 5.0f));
  EXPECT_EQ(c.XAxisMin(), 5.0f);
  EXPECT_TRUE(c.setProperty("ChartType", QVariant::fromValue(ChartTypes::Line)));
  EXPECT_EQ(c.ChartType(), ChartTypes::Line);
  EXPECT_EQ(c.property("MarkerSize").toInt(), 35);
  EXPECT_EQ(c.property("yTickInterval").toFloat(), 1.0f);
  EXPECT_EQ(c.property("ZoomYType").value<ZoomYTypes>(), ZoomYTypes::ZoomyCentre);
}

TEST(Vellum32Properties, AxisLimitSetsCurrentAndHomeLimit) {
  Vellum32 c;
  c.setXAxisMin(0);
  c.setXAxisMax(100);
  c.setXaxisZoomRange(50);  // zoomed to 25..75
  ASSERT_FLOAT_EQ(c.XAxisMin(), 25);
  c.setXAxisMin(5);
  EXPECT_EQ(c.XAxisMin(), 5.0f);
  EXPECT_EQ(StateOf(c).X.HomeMin, 5.0f);
  EXPECT_FLOAT_EQ(StateOf(c).X.HomeMax, 100);
  EXPECT_FLOAT_EQ(c.XAxisMax(), 75);

  c.setYAxisMax(7);
  c.setYAxisMin(3);
  EXPECT_EQ(StateOf(c).Y.HomeMax, 7.0f);
  EXPECT_EQ(StateOf(c).Y.HomeMin, 3.0f);
}

TEST(Vellum32Properties, BaseNotAboveZeroIsIgnoredSilently) {
  Vellum32 c;
  ChangeRecorder changes(c);
  c.setXBaseLog(0);
  c.setYBaseLog(-2);
  EXPECT_EQ(c.XBaseLog(), 10.0f);
  EXPECT_EQ(c.YBaseLog(), 10.0f);
  EXPECT_TRUE(changes.names.isEmpty());

  c.setXBaseLog(2);
  EXPECT_EQ(c.XBaseLog(), 2.0f);
  EXPECT_FLOAT_EQ(StateOf(c).X.LnBase, float(std::log(2.0)));
  EXPECT_FLOAT_EQ(StateOf(c).Y.LnBase, float(std::log(10.0)));
  EXPECT_EQ(changes.names, QStringList{"XBaseLog"});
}

TEST(Vellum32Properties, CutoffSnapsToAPowerOfTheBaseNotAboveTheValue) {
  Vellum32 c;
  const std::pair<float, float> cases[] = {{0.05f, 0.01f}, {3, 1},   {7, 1},     {20, 10},     {1e-7f, 0.000001f},
                                           {1, 1},         {10, 10}, {100, 100}, {0.1f, 0.1f}, {0.00001f, 0.00001f},
                                           {0, 1},         {-5, 1}};
  for (const auto& [value, expected] : cases) {
    c.setXAxisCutoff(value);
    EXPECT_FLOAT_EQ(c.XAxisCutoff(), expected) << "X cutoff " << value;
    c.setYAxisCutoff(value);
    EXPECT_FLOAT_EQ(c.YAxisCutoff(), expected) << "Y cutoff " << value;
  }
}

TEST(Vellum32Properties, CutoffSnapsWithTheAxisOwnBase) {
  Vellum32 c;
  c.setYBaseLog(2);
  c.setYAxisCutoff(5);  // 2^2 = 4 <= 5 < 8
  EXPECT_FLOAT_EQ(c.YAxisCutoff(), 4);
  c.setYAxisCutoff(0.3f);  // k = round(-1.74) = -2: 0.25
  EXPECT_FLOAT_EQ(c.YAxisCutoff(), 0.25f);
  c.setYAxisCutoff(1e-9f);  // the 1e-6 floor only applies to base 10
  EXPECT_LT(c.YAxisCutoff(), 1e-8f);
  c.setXAxisCutoff(5);
  EXPECT_FLOAT_EQ(c.XAxisCutoff(), 1);
}

TEST(Vellum32Properties, CutoffAssignmentMarksChanged) {
  Vellum32 c;
  ChangeRecorder changes(c);
  c.setXAxisCutoff(-1);
  c.setYAxisCutoff(0.05f);
  EXPECT_EQ(changes.names, (QStringList{"XAxisCutoff", "YAxisCutoff"}));
}

TEST(Vellum32Properties, CutoffWithBaseOneRaisesDivisionByZero) {
  Vellum32 c;
  c.setXBaseLog(1);
  expectError(DivisionByZero, [&] { c.setXAxisCutoff(5); });
  EXPECT_EQ(c.XAxisCutoff(), 1.0f);
  expectError(Overflow, [&] { c.setXAxisCutoff(1); });  // 0 / 0
}

TEST(Vellum32Properties, ZoomRangeScalesTheShownRangeAboutItsMiddle) {
  Vellum32 c;
  c.setXAxisMin(0);
  c.setXAxisMax(100);
  c.Refresh();
  c.setBackColor(RGBColour(0, 0, 255));  // a redraw would now clear to blue
  c.setXaxisZoomRange(50);
  EXPECT_FLOAT_EQ(c.XAxisMin(), 25);
  EXPECT_FLOAT_EQ(c.XAxisMax(), 75);
  EXPECT_EQ(c.XaxisZoomRange(), 50.0f);
  EXPECT_EQ(StateOf(c).X.HomeMin, 0.0f);
  EXPECT_EQ(StateOf(c).X.HomeMax, 100.0f);
  EXPECT_EQ(c.Picture().pixelColor(1, 1), QColor(0, 0, 255));  // redrawn

  c.setBackColor(RGBColour(255, 0, 0));
  c.setXaxisZoomRange(50);       // the same value: nothing happens
  c.setXaxisZoomRange(0.0005f);  // too small: nothing happens
  EXPECT_FLOAT_EQ(c.XAxisMin(), 25);
  EXPECT_FLOAT_EQ(c.XAxisMax(), 75);
  EXPECT_EQ(c.XaxisZoomRange(), 50.0f);
  EXPECT_EQ(c.Picture().pixelColor(1, 1), QColor(0, 0, 255));  // not redrawn
}

TEST(Vellum32Properties, ZoomRangeOnY) {
  Vellum32 c;
  c.setYAxisMin(-10);
  c.setYAxisMax(10);
  c.setYAxisZoomRange(200);
  EXPECT_FLOAT_EQ(c.YAxisMin(), -20);
  EXPECT_FLOAT_EQ(c.YAxisMax(), 20);
}

TEST(Vellum32Properties, ZoomCentreMovesTheShownRangeByTheHomeRange) {
  Vellum32 c;
  c.setXAxisMin(0);
  c.setXAxisMax(100);
  c.setXaxisZoomRange(50);   // 25..75
  c.setXaxisZoomCentre(60);  // shift 10 of the home range 100
  EXPECT_FLOAT_EQ(c.XAxisMin(), 35);
  EXPECT_FLOAT_EQ(c.XAxisMax(), 85);
  EXPECT_EQ(c.XaxisZoomCentre(), 60.0f);
  c.setXaxisZoomCentre(60.0005f);  // within 0.001: nothing
  EXPECT_FLOAT_EQ(c.XAxisMin(), 35);
  EXPECT_EQ(c.XaxisZoomCentre(), 60.0f);

  c.setYAxisMin(0);
  c.setYAxisMax(10);
  c.setYAxisZoomCentre(40);
  EXPECT_FLOAT_EQ(c.YAxisMin(), -1);
  EXPECT_FLOAT_EQ(c.YAxisMax(), 9);
}

TEST(Vellum32Properties, ZoomPercentagesAreNeverMarkedChanged) {
  Vellum32 c;
  c.setXAxisMin(0);
  c.setXAxisMax(100);
  ChangeRecorder changes(c);
  c.setXaxisZoomRange(50);
  c.setXaxisZoomCentre(40);
  c.setYAxisZoomRange(20);
  c.setYAxisZoomCentre(30);
  EXPECT_TRUE(changes.names.isEmpty());
}

TEST(Vellum32Properties, BackStyleHasNoStateButMarksChanged) {
  Vellum32 c;
  ChangeRecorder changes(c);
  c.setBackStyle(BackStyleTypes::Opaque);
  EXPECT_EQ(c.BackStyle(), BackStyleTypes::Transparent);
  EXPECT_EQ(changes.names, QStringList{"BackStyle"});
  EXPECT_TRUE(c.autoFillBackground());  // the surface's own back style stays opaque
}

TEST(Vellum32Properties, BorderStyleReachesTheSurface) {
  Vellum32 c;
  EXPECT_EQ(c.BorderStyle(), BorderStyleTypes::Solid);
  EXPECT_EQ(c.frameShape(), QFrame::Box);
  c.setBorderStyle(BorderStyleTypes::None);
  EXPECT_EQ(c.BorderStyle(), BorderStyleTypes::None);
  EXPECT_EQ(c.frameShape(), QFrame::NoFrame);
  expectError(InvalidPropertyValue, [&] { c.setBorderStyle(BorderStyleTypes(2)); });
  expectError(Overflow, [&] { c.setBorderStyle(BorderStyleTypes(40000)); });
  EXPECT_EQ(c.BorderStyle(), BorderStyleTypes::None);
}

TEST(Vellum32Properties, SurfacePropertiesForwardToTheWidget) {
  Vellum32 c;
  ChangeRecorder changes(c);
  c.setEnabled(false);
  EXPECT_FALSE(c.Enabled());
  EXPECT_FALSE(c.isEnabled());
  QFont f(QStringLiteral("Serif"), 17);
  c.setFont(f);
  EXPECT_EQ(c.Font().pointSize(), 17);
  EXPECT_EQ(c.font().pointSize(), 17);
  c.setForeColor(RGBColour(1, 2, 3));
  EXPECT_EQ(c.ForeColor(), RGBColour(1, 2, 3));
  EXPECT_EQ(c.palette().color(QPalette::WindowText), QColor(1, 2, 3));
  EXPECT_EQ(changes.names, (QStringList{"Enabled", "Font", "ForeColor"}));
}

TEST(Vellum32Properties, SystemColoursResolveThroughThePalette) {
  Vellum32 c;
  QPalette p = c.palette();
  p.setColor(QPalette::Button, QColor(12, 34, 56));
  p.setColor(QPalette::ButtonText, QColor(65, 43, 21));
  c.setPalette(p);
  EXPECT_EQ(c.TranslateColor(SystemButtonFace), QColor(12, 34, 56));
  EXPECT_EQ(c.TranslateColor(SystemButtonText), QColor(65, 43, 21));
  EXPECT_EQ(c.TranslateColor(255), QColor(255, 0, 0));
  EXPECT_EQ(c.TranslateColor(65280), QColor(0, 255, 0));
  EXPECT_EQ(c.TranslateColor(16711680), QColor(0, 0, 255));
  EXPECT_EQ(c.TranslateColor(NoColour).alpha(), 0);

  // The default back colour is the button face, on the surface and on the picture.
  c.setBackColor(SystemButtonFace);
  c.Refresh();
  EXPECT_EQ(c.palette().color(QPalette::Window), QColor(12, 34, 56));
  EXPECT_EQ(c.Picture().pixelColor(0, 0), QColor(12, 34, 56));
}

TEST(Vellum32Properties, DoZoomAssignmentLaysOutAndRedrawsOnlyOnChange) {
  Vellum32 c;
  c.resize(400, 300);
  ChangeRecorder changes(c);
  c.setDoZoom(false);  // equal value: nothing
  EXPECT_TRUE(changes.names.isEmpty());

  c.setBackColor(RGBColour(0, 128, 0));
  changes.names.clear();
  c.setDoZoom(true);
  EXPECT_TRUE(c.DoZoom());
  EXPECT_EQ(changes.names, QStringList{"DoZoom"});
  EXPECT_EQ(c.Picture().pixelColor(0, 0), QColor(0, 128, 0));  // refreshed
  auto* bar = c.findChild<QWidget*>(QStringLiteral("HScroll_zoom"));
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(bar->isHidden());

  c.setBackColor(RGBColour(200, 0, 0));
  changes.names.clear();
  c.setDoZoom(true);  // equal value: no layout, no redraw
  EXPECT_TRUE(changes.names.isEmpty());
  EXPECT_EQ(c.Picture().pixelColor(0, 0), QColor(0, 128, 0));
}

TEST(Vellum32Properties, EventsPassTheirArgumentsByReference) {
  Vellum32 c;
  QObject::connect(&c, &Vellum32::KeyPress, [](qint16& KeyAscii) { KeyAscii = 0; });
  QObject::connect(&c, &Vellum32::MouseMove, [](qint16&, qint16&, float& x, float&, qint32& inview, float&, float& yp) {
    x = 12.5f;
    inview = 4;
    yp = -3;
  });
  QObject::connect(&c, &Vellum32::PointSelected, [](qint32& Group, qint32& Series, qint32& DataPoint) {
    Group += 1;
    Series += 2;
    DataPoint += 3;
  });
  qint16 key = 65;
  emit c.KeyPress(key);
  EXPECT_EQ(key, 0);
  qint16 button = 1, shift = 0;
  float x = 0, y = 0, xp = 0, yp = 0;
  qint32 inview = 0;
  emit c.MouseMove(button, shift, x, y, inview, xp, yp);
  EXPECT_EQ(x, 12.5f);
  EXPECT_EQ(inview, 4);
  EXPECT_EQ(yp, -3.0f);
  qint32 g = 1, s = 1, p = 1;
  emit c.PointSelected(g, s, p);
  EXPECT_EQ(g, 2);
  EXPECT_EQ(s, 3);
  EXPECT_EQ(p, 4);

  QSignalSpy zoom(&c, &Vellum32::ZoomChanged);
  emit c.ZoomChanged();
  EXPECT_EQ(zoom.count(), 1);
}

}  // namespace
}  // namespace vellum32

#include "axes/axis_steps.h"
#include "axes/tick_labels.h"
#include "recording_device.h"
#include "test_support.h"

namespace vellum32 {
namespace {

using test::expectError;
using test::FixedMeasure;
using test::makeTable;
using test::StateOf;

// The state of a control that registered `table` with the given axis settings.
ControlState registered(const DataTable& table, AxisTypes yType = AxisTypes::linear) {
  Vellum32 control;
  control.setDataNull(-999);
  control.setYAxisType(yType);
  control.RegisterData(table);
  return StateOf(control);
}

AxisLayout pictureLayout() {
  AxisLayout layout;
  layout.PictureWidth = 6000;
  layout.PictureHeight = 4000;
  layout.ScreenTwipsPerPixelX = layout.ScreenTwipsPerPixelY = 15;
  return layout;
}

// Runs every axis step in capture mode and returns the text records' strings.
struct Captured {
  ControlState s;
  AxisLayout layout = pictureLayout();
  QStringList texts;
  QList<QPointF> textAt;
  int frames = 0;

  StreamSink sink;
  DrawContext context;

  explicit Captured(ControlState state) : s(std::move(state)) {}
  void plot() {
    layout.Plot.TwipsPerPixelX = layout.Plot.TwipsPerPixelY = 15;
    context.Clip = TwipsRect{0, 5985, 0, 3985};
    context.Stream = &sink;
    Primitives draw(context, nullptr);
    FixedMeasure measure;
    SetRightLimit(s, layout);
    PlotAxes(s, layout, draw, measure);
    for (qint32 i = 1; i <= sink.Count;) {
      const int code = sink.List[i].toInt();
      if (code == TextRecord) {
        texts << sink.List[i + 4].toString();
        textAt << QPointF(sink.List[i + 2].toFloat(), sink.List[i + 3].toFloat());
      }
      if (code == PolygonRecord) ++frames;
      i += RecordLength(code);
    }
  }
};

const DataTable ThreeSevenNullFive = makeTable({{0, 1, 2, 3, 4}, {0, 3, 7, -999, 5}});

TEST(AutomaticLimitsTest, DataRangeSkippingMissingValues) {
  ControlState s = registered(ThreeSevenNullFive);
  AutomaticYLimits(s);
  AutomaticXLimits(s);
  EXPECT_EQ(s.Y.Min, 3);
  EXPECT_EQ(s.Y.Max, 7);
  EXPECT_EQ(s.Y.HomeMin, 3);
  EXPECT_EQ(s.Y.HomeMax, 7);
  EXPECT_EQ(s.X.Min, 1);
  EXPECT_EQ(s.X.Max, 4);
  EXPECT_EQ(s.X.HomeMax, 4);
}

// Reversed limits, and a limit that is not finite (a range running to infinity).
TEST(AutomaticLimitsTest, ReversedOrInfiniteLimitsCountAsAutomatic) {
  for (const auto& [min, max] : {std::pair{10.0f, 2.0f}, {-INFINITY, 10.0f}, {0.0f, INFINITY}, {NAN, 1.0f}}) {
    ControlState s = registered(ThreeSevenNullFive);
    s.Y.Min = min;
    s.Y.Max = max;
    AutomaticYLimits(s);
    EXPECT_EQ(s.Y.Min, 3) << min;
    EXPECT_EQ(s.Y.Max, 7) << max;
  }
}

TEST(AutomaticLimitsTest, SetLimitsAreKeptWithoutTouchingTheHomeLimits) {
  ControlState s = registered(ThreeSevenNullFive);
  s.Y.Min = -1;
  s.Y.Max = 20;
  s.Y.HomeMin = -5;
  s.Y.HomeMax = 50;
  AutomaticYLimits(s);
  EXPECT_EQ(s.Y.Min, -1);
  EXPECT_EQ(s.Y.Max, 20);
  EXPECT_EQ(s.Y.HomeMin, -5);
  EXPECT_EQ(s.Y.HomeMax, 50);
}

TEST(AutomaticLimitsTest, LimitBeyondTheRangeOfASingleIsAnOverflow) {
  ControlState s;
  s.Y.Type = AxisTypes::LogLinear;
  s.Store.reset({SeriesStore::Group{1, 1, 1}}, 1, 1);
  s.Store.yRow(1)[1] = 40;  // 10^39 in data units
  expectError(Overflow, [&] { AutomaticYLimits(s); });
}

TEST(AutomaticLimitsTest, OtherAxisTypesTransformLikeLogLinearButConvertBackLikeLinear) {
  ControlState s;
  s.Store.reset({SeriesStore::Group{1, 1, 2}}, 1, 2);
  s.Store.yRow(1)[1] = 2;
  s.Store.yRow(1)[2] = 3;
  s.Y.Type = AxisTypes(2);
  AutomaticYLimits(s);
  EXPECT_EQ(s.Y.Min, 2);  // axis units kept as they are
  EXPECT_EQ(s.Y.Max, 3);
  s.Y.Min = 1;
  s.Y.Max = 1000;
  s.X.Min = 0;
  s.X.Max = 1;
  AxisLayout layout;
  SetViewRange(s, layout);
  EXPECT_FLOAT_EQ(layout.Plot.ViewRange.YMin, 1);
  EXPECT_NEAR(layout.Plot.ViewRange.YMax, 4, 1e-5);
  EXPECT_EQ(TickLabel(3, s.Y.Type == AxisTypes::LogLinear, 1, DecimalsFormat(1), 10), "3");
}

TEST(AxisStepsTest, LogLinearLimitsAndLabels) {
  Captured c(registered(makeTable({{0, 1, 2, 3, 4}, {0, 0.5, 10, 100, 1000}}), AxisTypes::LogLinear));
  c.plot();
  EXPECT_FLOAT_EQ(c.s.Y.Min, 0.5f);
  EXPECT_FLOAT_EQ(c.s.Y.Max, 1000);
  EXPECT_EQ(c.layout.YInterval, 1);
  EXPECT_FLOAT_EQ(c.layout.Plot.ViewRange.YMin, 0.5f);
  EXPECT_NEAR(c.layout.Plot.ViewRange.YMax, 4, 1e-5);
  // Y labels at axis units 1 to 4, then the X labels 1 to 4.
  EXPECT_EQ(c.texts, QStringList({"1", "10", "100", "1000", "1", "2", "3", "4"}));
}

TEST(AxisStepsTest, LogLinearIntervalGrowsToThreeOverTwentyFourUnits) {
  ControlState s;
  s.Y.Type = AxisTypes::LogLinear;
  s.Y.Min = -1e11f;
  s.Y.Max = 1e11f;
  s.X.Min = 0;
  s.X.Max = 1;
  AxisLayout layout;
  SetViewRange(s, layout);
  EXPECT_NEAR(layout.Plot.ViewRange.YMin, -12, 1e-4);
  EXPECT_NEAR(layout.Plot.ViewRange.YMax, 12, 1e-4);
  EXPECT_EQ(layout.YInterval, 3);
  s.Y.Min = -1e4f;  // -5 .. 12: 17 \ 2 = 8
  SetViewRange(s, layout);
  EXPECT_EQ(layout.YInterval, 2);
  s.X.Type = AxisTypes::LogLinear;
  s.X.Min = 1;
  s.X.Max = 1e20f;
  SetViewRange(s, layout);
  EXPECT_EQ(layout.XInterval, 1);
}

TEST(AxisStepsTest, LinearQuarterTicksAndFrame) {
  ControlState s;
  s.Y.Min = 0;
  s.Y.Max = 1;
  s.Y.TickInterval = 0.25f;
  s.X.Min = 0.1f;
  s.X.Max = 1;
  s.X.TickInterval = 0.25f;
  Captured c(s);
  c.plot();
  EXPECT_EQ(c.texts, QStringList({"0.00", "0.25", "0.50", "0.75", "1.00", "0.25", "0.50", "0.75", "1.00"}));
  EXPECT_EQ(c.frames, 1);
  const TwipsRect r = c.layout.Plot.PlotRect;
  // Left: the widest label (4 characters) + 180; top 120 without a title; bottom above
  // one and a half lines of numbers.
  EXPECT_EQ(r.Left, 580);
  EXPECT_EQ(r.Right, 6000 - 15 - 360);
  EXPECT_EQ(r.Top, 120);
  EXPECT_EQ(r.Bottom, 4000 - 15 - 300);
  EXPECT_FLOAT_EQ(c.layout.Plot.YScale, (r.Bottom - r.Top) / 1.0f);
  EXPECT_FLOAT_EQ(c.layout.Plot.XScale, (r.Right - r.Left) / 0.9f);
  // Y label of 0.50 at (left - width - 60, py + a quarter line).
  EXPECT_FLOAT_EQ(c.textAt[2].x(), r.Left - 400 - 60);
  EXPECT_FLOAT_EQ(c.textAt[2].y(), r.Bottom - 0.5f * c.layout.Plot.YScale + 50);
  // The clip window follows the plot rectangle, recorded last.
  EXPECT_EQ(c.layout.Plot.ClipRect, r);
  const qint32 last = c.sink.Count - 4;
  EXPECT_EQ(c.sink.List[last].toInt(), ClipWindowRecord);
  EXPECT_EQ(c.sink.List[last + 1].toFloat(), r.Left);
  EXPECT_EQ(c.sink.List[last + 4].toFloat(), r.Bottom);
}

TEST(AxisStepsTest, TitleAndLabelsWidenTheMargins) {
  ControlState s = registered(ThreeSevenNullFive);
  s.Title = QStringLiteral("Total field");
  s.Y.Label = QStringLiteral("nT");
  s.X.Label = QStringLiteral("Station");
  Captured c(s);
  c.plot();
  EXPECT_EQ(c.layout.TopMargin, 320);
  EXPECT_EQ(c.layout.Plot.PlotRect.Top, 320);
  EXPECT_EQ(c.layout.Plot.PlotRect.Left, 200 + 180 + 100);  // label height + 180 + one digit
  EXPECT_EQ(c.layout.Plot.PlotRect.Bottom, 4000 - 15 - 300 - 200);
  EXPECT_TRUE(c.texts.contains("Total field"));
  EXPECT_TRUE(c.texts.contains("nT"));
  EXPECT_EQ(c.context.TextWeight, 400);
}

TEST(AxisStepsTest, FixedMarginsTakeTheYPairTheWayRoundTheyAreNamed) {
  ControlState s = registered(ThreeSevenNullFive);
  s.SetMargins = true;
  s.YAxisTopMargin = 500;
  Captured c(s);
  c.plot();
  EXPECT_EQ(c.layout.Plot.PlotRect.Bottom, 4000 - 500);
  EXPECT_EQ(c.layout.Plot.PlotRect.Top, 120);
  s.YAxisBottomMargin = 700;
  s.XAxisLeftMargin = 1000;
  s.XAxisRightMargin = 400;
  Captured d(s);
  d.plot();
  EXPECT_EQ(d.layout.Plot.PlotRect.Top, 700);
  EXPECT_EQ(d.layout.Plot.PlotRect.Left, 1000);
  EXPECT_EQ(d.layout.Plot.PlotRect.Right, 6000 - 15 - 360 - 400);
}

TEST(AxisStepsTest, WithoutAxesThePlotIsInsetByAPixel) {
  ControlState s = registered(ThreeSevenNullFive);
  s.DisplayAxes = false;
  s.Title = QStringLiteral("hidden");
  Captured c(s);
  c.plot();
  EXPECT_EQ(c.layout.Plot.RightLimit, 5985);
  EXPECT_EQ(c.layout.Plot.PlotRect, (TwipsRect{15, 5970, 15, 3985}));
  EXPECT_FLOAT_EQ(c.layout.Plot.YScale, 3970 / 4.0f);
  EXPECT_FLOAT_EQ(c.layout.Plot.XScale, 5955 / 3.0f);
  EXPECT_TRUE(c.texts.isEmpty());
  EXPECT_EQ(c.frames, 0);
  EXPECT_EQ(c.sink.Count, 5);  // the clip window alone
}

TEST(AxisStepsTest, NegativeIntervalDrawsNoTicks) {
  ControlState s = registered(ThreeSevenNullFive);
  s.Y.TickInterval = -1;
  Captured c(s);
  c.plot();
  EXPECT_EQ(c.texts, QStringList({"1", "2", "3", "4"}));  // X labels only
}

// Inputs that once asked for millions of ticks: an infinite value registered, limits of
// +-2^24 with an interval of 1, X values spanning 10^7 with the default interval. Each
// axis gets at most one tick per two pixels of its length, and the plot still draws.
TEST(AxisStepsTest, TicksAreBoundedByTheAxisLength) {
  struct Case {
    const char* name;
    DataTable table;
    float yMin = AutoLimit, yMax = AutoLimit;
  } cases[] = {
      {"inf y", makeTable({{0, 1, 2, 3}, {0, 1, INFINITY, 3}})},
      {"inf x", makeTable({{0, 1, INFINITY, 3}, {0, 1, 2, 3}})},
      {"nan y", makeTable({{0, 1, 2, 3, 4}, {0, 1, NAN, -INFINITY, 5}})},
      {"2^24 limits", makeTable({{0, 1, 2}, {0, 1, 2}}), -16777216.0f, 16777216.0f},
      {"x over 10^7", makeTable({{0, 0, 1e7}, {0, 1, 2}})},
  };
  for (Case& k : cases) {
    ControlState s = registered(k.table);
    s.Y.Min = k.yMin;
    s.Y.Max = k.yMax;
    Captured c(s);
    c.plot();
    const TwipsRect r = c.layout.Plot.PlotRect;
    qsizetype yLabels = 0, xLabels = 0;
    for (const QPointF& at : c.textAt) (at.y() > r.Bottom + 100 ? xLabels : yLabels) += 1;  // X labels a line below
    EXPECT_LE(yLabels, MostTicks(r.Bottom - r.Top, 4000, 15)) << k.name;
    EXPECT_LE(xLabels, MostTicks(r.Right - r.Left, 6000, 15)) << k.name;
    EXPECT_GE(yLabels, 2) << k.name;
    EXPECT_EQ(c.frames, 1) << k.name;
  }
}

TEST(AxisStepsTest, ZeroIntervalOrEmptyRangeRaises) {
  ControlState s = registered(ThreeSevenNullFive);
  s.Y.TickInterval = 0;
  expectError(DivisionByZero, [&] { Captured(s).plot(); });
  ControlState single = registered(makeTable({{0, 2}, {0, 5}}));
  expectError(DivisionByZero, [&] { Captured(single).plot(); });
  single.DisplayAxes = false;
  expectError(DivisionByZero, [&] { Captured(single).plot(); });
}

TEST(PlotAxesTest, ControlDrawsTheFrameOnItsPicture) {
  Vellum32 control;
  control.setBackColor(RGBColour(255, 255, 255));
  control.RegisterData(ThreeSevenNullFive);
  control.Refresh();
  const ControlState& s = StateOf(control);
  const QImage& picture = control.Picture();
  const int left = int(std::lround(s.Layout.PlotRect.Left / s.Layout.TwipsPerPixelX));
  const int top = int(std::lround(s.Layout.PlotRect.Top / s.Layout.TwipsPerPixelY));
  const int bottom = int(std::lround(s.Layout.PlotRect.Bottom / s.Layout.TwipsPerPixelY));
  const int right = int(std::lround(s.Layout.PlotRect.Right / s.Layout.TwipsPerPixelX));
  EXPECT_EQ(picture.pixel(left, (top + bottom) / 2), qRgb(0, 0, 0));
  EXPECT_EQ(picture.pixel((left + right) / 2, top), qRgb(0, 0, 0));
  EXPECT_EQ(picture.pixel((left + right) / 2, (top + bottom) / 2), qRgb(255, 255, 255));
  EXPECT_EQ(s.Y.Min, 3);
  EXPECT_EQ(control.YAxisMax(), 7);
  EXPECT_EQ(s.Layout.ClipRect, s.Layout.PlotRect);
  EXPECT_TRUE(s.OverlayRecording);
}

TEST(PlotAxesTest, WithoutAxesNothingIsDrawn) {
  Vellum32 control;
  control.setBackColor(RGBColour(255, 255, 255));
  control.RegisterData(ThreeSevenNullFive);
  control.setDisplayAxes(false);
  control.setTitle(QStringLiteral("Title"));
  control.Refresh();
  const QImage& picture = control.Picture();
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) ASSERT_EQ(picture.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
}

TEST(PlotAxesTest, FailuresReachTheHostAsThePlottingError) {
  Vellum32 control;
  control.setBackColor(RGBColour(255, 255, 255));
  control.RegisterData(ThreeSevenNullFive);
  control.setxTickInterval(0);
  try {
    control.Refresh();
    ADD_FAILURE() << "no error";
  } catch (const Vellum32Error& e) {
    EXPECT_EQ(e.Number(), PlottingError);
    EXPECT_EQ(e.Source(), "Vellum");
    EXPECT_EQ(e.Description(), "Error 11 plotting graph: Division by zero Division by zero");
  }
  EXPECT_FALSE(StateOf(control).OverlayRecording);
  control.setxTickInterval(1);
  control.Refresh();
  EXPECT_TRUE(StateOf(control).OverlayRecording);
}

}  // namespace
}  // namespace vellum32

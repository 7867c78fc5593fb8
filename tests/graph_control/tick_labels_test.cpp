#include "axes/tick_labels.h"
#include "axes/axis_steps.h"
#include "test_support.h"

namespace vellum32 {
namespace {

using test::expectError;

QString logLabel(float t, float cutoff = 1, float base = 10) {
  return TickLabel(t, true, cutoff, QStringLiteral("0"), base);
}

TEST(DecimalsFormatTest, DecimalsOfTheInterval) {
  EXPECT_EQ(DecimalsFormat(1), "0");
  EXPECT_EQ(DecimalsFormat(5), "0");
  EXPECT_EQ(DecimalsFormat(-2), "0");
  EXPECT_EQ(DecimalsFormat(0.5), "0.0");
  EXPECT_EQ(DecimalsFormat(0.1f), "0.0");
  EXPECT_EQ(DecimalsFormat(0.25), "0.00");
  EXPECT_EQ(DecimalsFormat(0.125), "0.000");
  EXPECT_EQ(DecimalsFormat(1.0 / 3), "0.0000");
  EXPECT_EQ(FormatDecimals("0"), 0);
  EXPECT_EQ(FormatDecimals("0.000"), 3);
}

TEST(FormatNumberTest, HalvesAwayFromZero) {
  EXPECT_EQ(FormatNumber(0.125, 2), "0.13");
  EXPECT_EQ(FormatNumber(-0.125, 2), "-0.13");
  EXPECT_EQ(FormatNumber(2.5, 0), "3");
  EXPECT_EQ(FormatNumber(9.96, 1), "10.0");
  EXPECT_EQ(FormatNumber(0.35f, 1), "0.4");  // on the single's shortest text
  EXPECT_EQ(FormatNumber(-3.0, 0), "-3");
  EXPECT_EQ(FormatNumber(-0.0001, 2), "0.00");
  EXPECT_EQ(PlainNumber(1.1f), "1.1");
  EXPECT_EQ(PlainNumber(-2.0), "-2");
}

TEST(TickLabelTest, LinearQuartersOfOne) {
  const float interval = 0.25f;
  const QString f = DecimalsFormat(interval);
  QStringList labels;
  for (float t : TickValues(FirstTick(0, interval), interval, 0, 1, 100)) labels << TickLabel(t, false, 1, f, 10);
  EXPECT_EQ(labels, QStringList({"0.00", "0.25", "0.50", "0.75", "1.00"}));
  const std::vector<float> fromTenth = TickValues(FirstTick(0.1f, interval), interval, 0.1f, 1, 100);
  ASSERT_FALSE(fromTenth.empty());
  EXPECT_EQ(TickLabel(fromTenth.front(), false, 1, f, 10), "0.25");
}

TEST(TickLabelTest, LogLinearBaseTen) {
  EXPECT_EQ(logLabel(1), "1");
  EXPECT_EQ(logLabel(2), "10");
  EXPECT_EQ(logLabel(3), "100");
  EXPECT_EQ(logLabel(4), "1000");
  EXPECT_EQ(logLabel(5), "1x10^4");
  EXPECT_EQ(logLabel(0), "0");
  EXPECT_EQ(logLabel(-1), "-1");
  EXPECT_EQ(logLabel(-2), "-10");
  EXPECT_EQ(logLabel(-6), "-1x10^5");
  EXPECT_EQ(logLabel(1, 0.001f), "0.001");
  EXPECT_EQ(logLabel(2, 0.001f), "0.01");
  EXPECT_EQ(logLabel(1, 1e-6f), "1x10^-6");
}

TEST(TickLabelTest, LogLinearBandBelowTheCutoff) {
  EXPECT_EQ(logLabel(0.5f, 0.01f), "0.005");
  EXPECT_EQ(logLabel(-0.5f, 2), "-1");
  EXPECT_EQ(logLabel(0.5f, 3), "2");  // 1.5 rounds away from zero
}

TEST(TickLabelTest, LogLinearOtherBases) {
  EXPECT_EQ(logLabel(4, 1, 2), "8");
  EXPECT_EQ(logLabel(1, 0.125f, 2), "1x2^-3");
  EXPECT_EQ(logLabel(15, 1, 2), "1x2^14");
  EXPECT_EQ(logLabel(14, 1, 2), "8192");
  EXPECT_EQ(logLabel(-3, 1, 2), "-4");
  EXPECT_EQ(logLabel(1, 1.0f / 2.5f, 2.5f), "1x2.5^-1");
}

TEST(TickLabelTest, ImpossibleCutoffOrBaseRaises) {
  expectError(InvalidProcedureCall, [] { logLabel(2, 0); });
  expectError(InvalidProcedureCall, [] { logLabel(2, 1, -10); });
  expectError(DivisionByZero, [] { logLabel(2, 10, 1); });
  expectError(Overflow, [] { logLabel(2, 1, 1); });
}

TEST(TickValuesTest, NegativeIntervalGivesNoTicksAndAStalledWalkEnds) {
  EXPECT_TRUE(TickValues(0, -1, 0, 10, 100).empty());
  const std::vector<float> ticks = TickValues(16777210.0f, 1, 0, 2e7f, 100);
  EXPECT_LE(ticks.size(), 10u);
  EXPECT_EQ(ticks.back(), 16777216.0f);
}

// As many ticks as the axis shows, the last of them cut first; the walk is bounded by that
// count whatever the range.
TEST(TickValuesTest, AtMostTheMostTicks) {
  EXPECT_EQ(TickValues(0, 1, 0, 9, 10).size(), 10u);  // exactly the count
  const std::vector<float> cut = TickValues(0, 1, 0, 10, 10);
  ASSERT_EQ(cut.size(), 10u);
  EXPECT_EQ(cut.back(), 9.0f);
  EXPECT_EQ(TickValues(-16777216.0f, 1, -16777216.0f, 16777216.0f, 150).size(), 150u);
  EXPECT_TRUE(TickValues(-1e6f, 1, 0, 10, 5).empty());  // a first tick far below min: the walk gives up
}

// One tick per two pixels of the axis, at most of the visible part.
TEST(MostTicksTest, OnePerTwoPixels) {
  struct Case {
    double length, visible, twipsPerPixel;
    qint64 most;
  } cases[] = {
      {4500, 1e9, 15, 150},  // 300 pixels
      {4499, 1e9, 15, 149}, {4530, 1e9, 15, 151}, {4500, 3000, 15, 100}, {30, 1e9, 15, 1},
      {29, 1e9, 15, 0},     {-4500, 1e9, 15, 0},  {NAN, 1e9, 15, 0},     {1e38, 6000, 15, 200},
  };
  for (const Case& c : cases) EXPECT_EQ(MostTicks(c.length, c.visible, c.twipsPerPixel), c.most) << c.length;
}

TEST(FirstTickTest, WholeQuotientKeepsTheMinimum) {
  EXPECT_EQ(FirstTick(0.5f, 0.25f), 0.5f);
  EXPECT_EQ(FirstTick(0.1f, 0.25f), 0.0f);
  EXPECT_EQ(FirstTick(-1.3f, 0.5f), -1.5f);
  expectError(DivisionByZero, [] { FirstTick(2, 0); });
  expectError(Overflow, [] { FirstTick(0, 0); });
}

}  // namespace
}  // namespace vellum32

#include <cmath>

#include "test_support.h"

namespace vellum32 {
namespace {

using test::expectError;

const AxisScale LogTen{AxisTypes::LogLinear, 1.0f, float(std::log(10.0))};

TEST(AxisTransformTest, LinearAxisKeepsTheValue) {
  const AxisScale linear{AxisTypes::linear, 1.0f, float(std::log(10.0))};
  EXPECT_EQ(AxisTransform(-1234.5, linear), -1234.5);
  EXPECT_EQ(AxisTransform(0, linear), 0);
}

TEST(AxisTransformTest, LogLinearBandAndPowers) {
  EXPECT_DOUBLE_EQ(AxisTransform(0.5, LogTen), 0.5);
  EXPECT_DOUBLE_EQ(AxisTransform(-0.25, LogTen), -0.25);
  EXPECT_NEAR(AxisTransform(1, LogTen), 1, 1e-12);
  EXPECT_NEAR(AxisTransform(10, LogTen), 2, 1e-6);
  EXPECT_NEAR(AxisTransform(100, LogTen), 3, 1e-6);
  EXPECT_NEAR(AxisTransform(-1000, LogTen), -4, 1e-6);
  const AxisScale cut{AxisTypes::LogLinear, 0.01f, float(std::log(10.0))};
  EXPECT_NEAR(AxisTransform(0.005, cut), 0.5, 1e-6);
  EXPECT_NEAR(AxisTransform(1, cut), 3, 1e-6);
}

TEST(AxisTransformTest, OtherAxisTypesCountAsLogLinear) {
  const AxisScale other{AxisTypes(2), 1.0f, float(std::log(10.0))};
  EXPECT_NEAR(AxisTransform(100, other), 3, 1e-6);
}

TEST(AxisTransformTest, YValuesNearDataNullAreMissing) {
  EXPECT_EQ(AxisTransformY(-999.05, LogTen, -999), NullMark);
  EXPECT_NEAR(AxisTransformY(-998.85, LogTen, -999), -1 - std::log10(998.85), 1e-6);
  EXPECT_EQ(AxisTransformY(-2e30, LogTen, -999), NullMark);
}

TEST(AxisTransformTest, InverseUndoesTheTransform) {
  for (double v : {0.5, -0.5, 10.0, 100.0, -1000.0, 12345.0, -0.01}) {
    EXPECT_NEAR(InverseAxisTransform(AxisTransform(v, LogTen), 1.0f, 10.0f), v, std::fabs(v) * 1e-6) << v;
  }
  EXPECT_DOUBLE_EQ(InverseAxisTransform(4, 1.0f, 10.0f), 1000);
  EXPECT_DOUBLE_EQ(InverseAxisTransform(-2, 1.0f, 10.0f), -10);
  EXPECT_DOUBLE_EQ(InverseAxisTransform(0.5, 2.0f, 10.0f), 1.0);
  EXPECT_DOUBLE_EQ(InverseAxisTransform(3, 0.5f, 2.0f), 2.0);
}

TEST(AxisTransformTest, ImpossibleArithmeticRaisesTheClassicErrors) {
  const AxisScale zeroCut{AxisTypes::LogLinear, 0.0f, float(std::log(10.0))};
  expectError(DivisionByZero, [&] { AxisTransform(5, zeroCut); });
  expectError(Overflow, [&] { AxisTransform(0, zeroCut); });
  const AxisScale baseOne{AxisTypes::LogLinear, 1.0f, 0.0f};
  expectError(DivisionByZero, [&] { AxisTransform(5, baseOne); });
  const AxisScale negativeCut{AxisTypes::LogLinear, -1.0f, float(std::log(10.0))};
  expectError(InvalidProcedureCall, [&] { AxisTransform(5, negativeCut); });
  expectError(Overflow, [&] { InverseAxisTransform(1e6, 1.0f, 10.0f); });
}

TEST(AxisTransformTest, RegisterDataRaisesForALoadedZeroCutoff) {
  MemoryPropertyStore store;
  store.WriteProperty(QStringLiteral("YAxisType"), QVariant::fromValue(qint32(1)));
  store.WriteProperty(QStringLiteral("YAxisCutoff"), QVariant::fromValue(0.0f));
  Vellum32 c;
  c.ReadProperties(store);
  expectError(DivisionByZero, [&] { c.RegisterData(test::makeTable({{0, 1}, {0, 7}})); });
}

}  // namespace
}  // namespace vellum32

#include <cmath>
#include <limits>

#include "test_support.h"

namespace vellum32 {
namespace {

using test::expectError;
using test::makeTable;
using test::RecordingOperator;
using test::StateOf;

constexpr qint32 Red = 255;
constexpr qint32 Green = 65280;
constexpr qint32 Blue = 16711680;

// A size that is negative, whose product overflows or that no memory holds is refused,
// by the constructor and by resize (which keeps the table as it was).
TEST(DataTableTest, SizesThatCannotBeHeldAreRefused) {
  constexpr qsizetype Big = qsizetype(1) << 32;
  struct Case {
    qsizetype rows, cells;
    int error;
  } cases[] = {
      {Big, Big, Overflow},         {std::numeric_limits<qsizetype>::max(), 2, Overflow},
      {Big, Big / 8, OutOfMemory},  // 2^61 cells of 16 bytes or more
      {-1, 2, SubscriptOutOfRange}, {2, -1, SubscriptOutOfRange},
  };
  for (const Case& c : cases) {
    expectError(c.error, [&] { DataTable(c.rows, c.cells); });
    DataTable t = makeTable({{1, 2}});
    expectError(c.error, [&] { t.resize(c.rows, c.cells); });
    EXPECT_EQ(t.rowCount(), 1);
    EXPECT_EQ(t.at(0, 1).toInt(), 2);
  }
  DataTable empty(Big, 0);
  EXPECT_EQ(empty.rowCount(), Big);
  expectError(SubscriptOutOfRange, [&] { empty.at(5, 5); });
}

TEST(RegisterDataTest, OneGroupOneSeries) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2, 3, 4}, {0, 10, 20, 30, 40}}));
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_EQ(st.GroupCount(), 1);
  EXPECT_EQ(st.SeriesCount(), 1);
  EXPECT_EQ(st.MaxPoints(), 4);
  EXPECT_EQ(st.FirstSeries(1), 1);
  EXPECT_EQ(st.LastSeries(1), 1);
  EXPECT_EQ(st.PointCount(1), 4);
  for (int p = 1; p <= 4; ++p) {
    EXPECT_EQ(st.XValue(1, p), p);
    EXPECT_EQ(st.YValue(1, p), 10.0 * p);
    EXPECT_EQ(st.PointMarker(1, p), 0);
    EXPECT_EQ(st.PointColour(1, p), -1);
  }
  EXPECT_EQ(st.YValue(1, 0), 0);  // style code of an empty-ish header 0
  EXPECT_EQ(StateOf(c).Options.SeriesColour[1], 0);
  EXPECT_EQ(StateOf(c).Options.SeriesWeight[1], 1);
}

TEST(RegisterDataTest, SeriesColoursWithinAGroup) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2}, {0, 5, 6}, {0, 7, 8}, {0, 9, 10}}));
  const auto& colour = StateOf(c).Options.SeriesColour;
  EXPECT_EQ(colour[1], 0);
  EXPECT_EQ(colour[2], Red);
  EXPECT_EQ(colour[3], Green);
}

TEST(RegisterDataTest, TwoGroupsRestartTheColours) {
  Vellum32 c;
  c.RegisterData(makeTable({{1, 1, 2, 3}, {0, 1, 1, 1}, {0, 2, 2, 2}, {1, 5, 6}, {0, 3, 3}, {0, 4, 4}}));
  const SeriesStore& st = StateOf(c).Store;
  ASSERT_EQ(st.GroupCount(), 2);
  EXPECT_EQ(st.SeriesCount(), 4);
  EXPECT_EQ(st.FirstSeries(1), 1);
  EXPECT_EQ(st.LastSeries(1), 2);
  EXPECT_EQ(st.PointCount(1), 3);
  EXPECT_EQ(st.FirstSeries(2), 3);
  EXPECT_EQ(st.LastSeries(2), 4);
  EXPECT_EQ(st.PointCount(2), 2);
  EXPECT_EQ(st.MaxPoints(), 3);
  EXPECT_EQ(st.XValue(2, 2), 6);
  EXPECT_EQ(st.YValue(4, 1), 4);
  const auto& colour = StateOf(c).Options.SeriesColour;
  EXPECT_EQ(colour[2], Red);
  EXPECT_EQ(colour[3], 0);
  EXPECT_EQ(colour[4], Red);
}

TEST(RegisterDataTest, PointCountStopsAtTheFirstEmptyCell) {
  Vellum32 c;
  DataTable t(2, 11);  // cells 0..10
  for (int k = 1; k <= 5; ++k) t(0, k) = k;
  t(0, 7) = 7;  // after the gap: not read
  for (int k = 1; k <= 3; ++k) t(1, k) = 100 + k;
  c.RegisterData(t);
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_EQ(st.PointCount(1), 5);
  EXPECT_EQ(st.MaxPoints(), 5);
  EXPECT_EQ(st.YValue(1, 3), 103);
  // A short Y row leaves its remaining points at 0, not missing.
  EXPECT_EQ(st.YValue(1, 4), 0);
  EXPECT_EQ(st.YValue(1, 5), 0);
  EXPECT_EQ(st.PointColour(1, 3), -1);
  EXPECT_EQ(st.PointColour(1, 4), 0);
}

TEST(RegisterDataTest, FullRowUsesEveryCell) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6}}));
  EXPECT_EQ(StateOf(c).Store.PointCount(1), 6);
}

TEST(RegisterDataTest, YRowIsNotReadPastItsGroupsXValues) {
  Vellum32 c;
  DataTable t = makeTable({{0, 1, 2}, {0, 5, 6, 7, 8}});
  c.RegisterData(t);
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_EQ(st.MaxPoints(), 2);
  EXPECT_EQ(st.YValue(1, 2), 6);
}

TEST(RegisterDataTest, HeaderIsTheStyleCode) {
  Vellum32 c;
  DataTable t = makeTable({{0, 1}, {-2, 1}, {0, 1}, {-3, 1}});
  t(2, 0) = QVariant();  // empty header counts as 0
  t(3, 0) = QStringLiteral("-3");
  c.RegisterData(t);
  EXPECT_EQ(StateOf(c).Store.SeriesStyleCode(1), -2);
  EXPECT_EQ(StateOf(c).Store.SeriesStyleCode(2), 0);
  EXPECT_EQ(StateOf(c).Store.SeriesStyleCode(3), -3);
}

TEST(RegisterDataTest, AGroupWithoutSeriesOwnsNoSeries) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2}, {1, 3, 4}, {0, 5, 6}}));
  const SeriesStore& st = StateOf(c).Store;
  ASSERT_EQ(st.GroupCount(), 2);
  EXPECT_EQ(st.SeriesCount(), 1);
  EXPECT_GT(st.FirstSeries(1), st.LastSeries(1));  // empty range
  EXPECT_EQ(st.FirstSeries(2), 1);
  EXPECT_EQ(st.LastSeries(2), 1);
  RecordingOperator prompts;
  prompts.attach(c);
  c.SetSeriesOptions(1, 1, Red);
  EXPECT_EQ(prompts.texts, QStringList{"The series index is invalid"});
}

TEST(RegisterDataTest, DataNullToleranceAndHugeNegatives) {
  Vellum32 c;
  ASSERT_EQ(c.DataNull(), -999.0f);
  c.RegisterData(makeTable({{0, 1, 2, 3, 4}, {0, -999.05, -998.85, -2e30, -999}}));
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_EQ(st.YValue(1, 1), NullMark);
  EXPECT_DOUBLE_EQ(st.YValue(1, 2), -998.85);
  EXPECT_EQ(st.YValue(1, 3), NullMark);
  EXPECT_EQ(st.YValue(1, 4), NullMark);
}

TEST(RegisterDataTest, DataNullTakesEffectAtTheNextRegistration) {
  Vellum32 c;
  const DataTable t = makeTable({{0, 1}, {0, -99999}});
  c.RegisterData(t);
  EXPECT_EQ(StateOf(c).Store.YValue(1, 1), -99999);
  c.setDataNull(-99999);
  EXPECT_EQ(StateOf(c).Store.YValue(1, 1), -99999);
  c.RegisterData(t);
  EXPECT_EQ(StateOf(c).Store.YValue(1, 1), NullMark);
}

TEST(RegisterDataTest, XValuesHaveNoNullTest) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, -999, -2e30}, {0, 1, 2}}));
  EXPECT_EQ(StateOf(c).Store.XValue(1, 1), -999);
  EXPECT_EQ(StateOf(c).Store.XValue(1, 2), -2e30);
}

TEST(RegisterDataTest, LogLinearYValues) {
  Vellum32 c;
  c.setYAxisType(AxisTypes::LogLinear);
  c.setYAxisCutoff(1);
  c.setYBaseLog(10);
  c.RegisterData(makeTable({{0, 1, 2, 3, 4, 5}, {0, 0.5, 10, 100, -1000, 0}}));
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_NEAR(st.YValue(1, 1), 0.5, 1e-12);
  EXPECT_NEAR(st.YValue(1, 2), 2, 1e-6);
  EXPECT_NEAR(st.YValue(1, 3), 3, 1e-6);
  EXPECT_NEAR(st.YValue(1, 4), -4, 1e-6);
  EXPECT_EQ(st.YValue(1, 5), 0);  // zero lies in the linear band
  EXPECT_EQ(st.XValue(1, 3), 3);  // the X axis is still linear
}

TEST(RegisterDataTest, LogLinearXValuesWithCutoffAndBase) {
  Vellum32 c;
  c.setXAxisType(AxisTypes::LogLinear);
  c.setXBaseLog(2);
  c.setXAxisCutoff(4);
  c.RegisterData(makeTable({{0, 2, 16, -64}, {0, 1, 2, 3}}));
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_DOUBLE_EQ(st.XValue(1, 1), 0.5);
  EXPECT_NEAR(st.XValue(1, 2), 3, 1e-6);
  EXPECT_NEAR(st.XValue(1, 3), -5, 1e-6);
}

TEST(RegisterDataTest, NumericTextAndBooleansAreNumbers) {
  Vellum32 c;
  DataTable t(2, 4);
  t(0, 1) = QStringLiteral(" 1.5e1 ");
  t(0, 2) = true;
  t(0, 3) = qint64(3);
  t(1, 1) = 1.0f;
  t(1, 2) = QStringLiteral("-7");
  t(1, 3) = 2;
  c.RegisterData(t);
  EXPECT_EQ(StateOf(c).Store.XValue(1, 1), 15);
  EXPECT_EQ(StateOf(c).Store.XValue(1, 2), -1);
  EXPECT_EQ(StateOf(c).Store.YValue(1, 2), -7);
}

TEST(RegisterDataTest, NonNumericCellRaisesTypeMismatchAndKeepsTheStore) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2}, {0, 3, 4}}));
  DataTable bad = makeTable({{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 4, 5, 6}});
  bad(2, 2) = QStringLiteral("abc");
  expectError(TypeMismatch, [&] { c.RegisterData(bad); });
  EXPECT_EQ(StateOf(c).Store.SeriesCount(), 1);
  EXPECT_EQ(StateOf(c).Store.YValue(1, 2), 4);
  EXPECT_EQ(StateOf(c).Options.SeriesColour[2], 0);  // untouched by the failed call

  DataTable header = makeTable({{0, 1}, {0, 1}});
  header(1, 0) = QStringLiteral("series");
  expectError(TypeMismatch, [&] { c.RegisterData(header); });
}

TEST(RegisterDataTest, NumberOutOfRangeRaisesOverflow) {
  Vellum32 c;
  DataTable t = makeTable({{0, 1}, {0, 1}});
  t(1, 1) = QStringLiteral("1e999");
  expectError(Overflow, [&] { c.RegisterData(t); });
}

TEST(RegisterDataTest, LastRowThatIsAnXRowRaisesSubscriptOutOfRange) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1}, {0, 2}}));
  expectError(SubscriptOutOfRange, [&] { c.RegisterData(makeTable({{0, 1}, {0, 2}, {1, 3}})); });
  EXPECT_EQ(StateOf(c).Store.GroupCount(), 1);
  EXPECT_EQ(StateOf(c).Store.YValue(1, 1), 2);
  // A single row is an X row in the last row as well.
  expectError(SubscriptOutOfRange, [&] { c.RegisterData(makeTable({{0, 1, 2}})); });
  EXPECT_EQ(StateOf(c).Store.GroupCount(), 1);
  EXPECT_EQ(StateOf(c).Store.SeriesCount(), 1);
}

DataTable seriesTable(int seriesCount) {
  DataTable t(seriesCount + 1, 3);
  t(0, 1) = 1;
  t(0, 2) = 2;
  for (int r = 1; r <= seriesCount; ++r) {
    t(r, 1) = r;
    t(r, 2) = -r;
  }
  return t;
}

TEST(RegisterDataTest, AtMost128Series) {
  Vellum32 c;
  c.RegisterData(seriesTable(128));
  EXPECT_EQ(StateOf(c).Store.SeriesCount(), 128);
  EXPECT_EQ(StateOf(c).Options.SeriesColour[128], Vellum32::DefaultPenColour(127));
  expectError(SubscriptOutOfRange, [&] { c.RegisterData(seriesTable(129)); });
  EXPECT_EQ(StateOf(c).Store.SeriesCount(), 128);
}

TEST(RegisterDataTest, TableWithRowsButNoCellsRaisesSubscriptOutOfRange) {
  Vellum32 c;
  expectError(SubscriptOutOfRange, [&] { c.RegisterData(DataTable(2, 0)); });
  c.RegisterData(DataTable());  // no rows at all: an empty store
  EXPECT_EQ(StateOf(c).Store.SeriesCount(), 0);
  EXPECT_EQ(StateOf(c).Store.MaxPoints(), 0);
}

TEST(RegisterDataTest, KeepsLegendsAndSelectabilityButResetsColourAndWeight) {
  Vellum32 c;
  RecordingOperator prompts;
  prompts.attach(c);
  const DataTable t = makeTable({{0, 1}, {0, 1}, {0, 2}});
  c.RegisterData(t);
  c.SetSeriesOptions(1, 2, Blue, QStringLiteral("base"), 0, 0, 3);
  c.RegisterData(t);
  const SeriesOptions& o = StateOf(c).Options;
  EXPECT_EQ(o.SeriesLegend[2], QStringLiteral("base"));
  EXPECT_FALSE(o.SeriesSelectable[2]);
  EXPECT_EQ(o.SeriesColour[2], Red);
  EXPECT_EQ(o.SeriesWeight[2], 1);
  EXPECT_TRUE(prompts.texts.isEmpty());
}

TEST(RegisterDataTest, ClearsTheSelectionAndMarkers) {
  Vellum32 c;
  const DataTable t = makeTable({{0, 1, 2}, {0, 1, 2}});
  c.RegisterData(t);
  c.setPointMarker(1, 1, 2, 5);
  c.RegisterData(t);
  EXPECT_EQ(c.PointMarker(1, 1, 2), 0);
  EXPECT_FALSE(StateOf(c).PointIsSelected);
}

// --- Markers --------------------------------------------------------------------------

TEST(RegisterMarkerTest, OnePointOfOneSeries) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2, 3, 4, 5}, {0, 1, 1, 1, 1, 1}, {0, 2, 2, 2, 2, 2}}));
  DataTable markers(3, 6);
  for (int s = 0; s < 3; ++s)
    for (int p = 0; p < 6; ++p) markers(s, p) = 10 * s + p;
  c.RegisterMarker(markers, 1, 2, 4);
  const SeriesStore& st = StateOf(c).Store;
  for (int s = 1; s <= 2; ++s)
    for (int p = 1; p <= 5; ++p) EXPECT_EQ(st.PointMarker(s, p), (s == 2 && p == 4) ? 24 : 0) << s << "," << p;
}

TEST(RegisterMarkerTest, WholeTableIsClippedToTheStore) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2}, {0, 1, 1}}));
  DataTable markers(4, 5);
  for (int s = 0; s < 4; ++s)
    for (int p = 0; p < 5; ++p) markers(s, p) = 1 + s * 10 + p;
  c.RegisterMarker(markers);
  EXPECT_EQ(StateOf(c).Store.PointMarker(1, 1), 12);
  EXPECT_EQ(StateOf(c).Store.PointMarker(1, 2), 13);
}

TEST(RegisterMarkerTest, AllSeriesOfAGroupAndAllPoints) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2}, {0, 1, 1}, {1, 1, 2}, {0, 1, 1}, {0, 2, 2}}));
  DataTable markers(4, 3);
  for (int s = 0; s < 4; ++s)
    for (int p = 0; p < 3; ++p) markers(s, p) = s * 10 + p;
  c.RegisterMarker(markers, 2);
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_EQ(st.PointMarker(1, 1), 0);
  EXPECT_EQ(st.PointMarker(2, 1), 21);
  EXPECT_EQ(st.PointMarker(3, 2), 32);
  // A series beyond the group writes nothing.
  c.RegisterMarker(markers, 1, 2);
  EXPECT_EQ(st.PointMarker(2, 1), 21);
}

TEST(RegisterMarkerTest, ConvertsToWholeNumbersRoundingHalvesToEven) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2, 3, 4}, {0, 1, 1, 1, 1}}));
  DataTable markers(2, 5);
  markers(1, 1) = 2.5;
  markers(1, 2) = 3.5;
  markers(1, 3) = QStringLiteral("7");
  // cell 4 empty: 0
  c.RegisterMarker(markers, 1, 1);
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_EQ(st.PointMarker(1, 1), 2);
  EXPECT_EQ(st.PointMarker(1, 2), 4);
  EXPECT_EQ(st.PointMarker(1, 3), 7);
  EXPECT_EQ(st.PointMarker(1, 4), 0);
}

TEST(RegisterMarkerTest, Errors) {
  Vellum32 c;
  DataTable markers(2, 2);
  expectError(SubscriptOutOfRange, [&] { c.RegisterMarker(markers, 1); });  // nothing registered
  c.RegisterData(makeTable({{0, 1, 2}, {0, 1, 1}}));
  expectError(SubscriptOutOfRange, [&] { c.RegisterMarker(markers, 2); });  // no such group
  DataTable small(2, 2);
  expectError(SubscriptOutOfRange, [&] { c.RegisterMarker(small, 1, 1, 2); });  // table too small
  DataTable big(2, 3);
  big(1, 1) = 1;
  big(1, 2) = 3e10;
  expectError(Overflow, [&] { c.RegisterMarker(big); });
  EXPECT_EQ(StateOf(c).Store.PointMarker(1, 1), 0);  // nothing written by the failed call
  big(1, 2) = QStringLiteral("square");
  expectError(TypeMismatch, [&] { c.RegisterMarker(big); });
}

TEST(RegisterMarkerColourTest, WritesColoursNotMarkers) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2}, {0, 1, 1}, {0, 2, 2}}));
  DataTable colours(3, 3);
  colours(2, 1) = Blue;
  colours(2, 2) = -1;
  c.RegisterMarkerColour(colours, 1, 2);
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_EQ(st.PointColour(2, 1), Blue);
  EXPECT_EQ(st.PointColour(2, 2), -1);
  EXPECT_EQ(st.PointColour(1, 1), -1);
  EXPECT_EQ(st.PointMarker(2, 1), 0);
}

// The plain-array forms store and draw exactly what the table forms do with the same
// values: a NaN or a DataNull y is missing, the colours land on the same points.
TEST(TypedRegistrationTest, StoresAndDrawsAsTheTableForms) {
  const std::vector<double> x = {0, 1.5, 3, 4, 6, 7};
  const std::vector<double> y = {2, NAN, -999, 5, 1e-3, 9};
  const std::vector<qint32> colours = {Red, -1, Green, Blue, Red, 7};
  DataTable table(2, qsizetype(x.size()) + 1);
  DataTable colourTable(2, qsizetype(x.size()) + 1);
  for (std::size_t k = 0; k < x.size(); ++k) {
    const auto cell = qsizetype(k) + 1;
    table(0, cell) = x[k];
    table(1, cell) = y[k];
    colourTable(1, cell) = colours[k];
  }
  Vellum32 byTable;
  Vellum32 typed;
  for (Vellum32* c : {&byTable, &typed}) {
    c->resize(320, 240);
    c->setChartType(ChartTypes::Line);
    c->setPlotPoints(true);
    c->setMarkerSize(3);
  }
  byTable.RegisterData(table);
  byTable.SetSeriesOptions(1, 1, -1, QString(), 1, 1);
  byTable.RegisterMarkerColour(colourTable, 1, 1);
  typed.RegisterData(x, y);
  typed.SetSeriesOptions(1, 1, -1, QString(), 1, 1);
  typed.RegisterMarkerColour(colours, 1, 1);

  const SeriesStore& a = StateOf(byTable).Store;
  const SeriesStore& b = StateOf(typed).Store;
  ASSERT_EQ(b.GroupCount(), a.GroupCount());
  ASSERT_EQ(b.SeriesCount(), a.SeriesCount());
  ASSERT_EQ(b.MaxPoints(), a.MaxPoints());
  EXPECT_EQ(b.filledPoints(1), a.filledPoints(1));
  EXPECT_EQ(b.YValue(1, 0), a.YValue(1, 0));
  for (qint32 p = 1; p <= a.MaxPoints(); ++p) {
    EXPECT_EQ(b.XValue(1, p), a.XValue(1, p)) << p;
    EXPECT_EQ(b.YValue(1, p), a.YValue(1, p)) << p;
    EXPECT_EQ(b.PointColour(1, p), a.PointColour(1, p)) << p;
  }
  EXPECT_EQ(a.YValue(1, 2), NullMark);
  byTable.Refresh();
  typed.Refresh();
  EXPECT_EQ(typed.Picture(), byTable.Picture());

  // Lists of different lengths are refused and leave the store as it was.
  expectError(SubscriptOutOfRange, [&] { typed.RegisterData(x, std::span(y).first(3)); });
  EXPECT_EQ(b.MaxPoints(), 6);
}

// Groups of series sharing their X values: the store the table of the same numbers gives,
// on a log-linear X axis, with a short series, a missing X and missing Y values.
TEST(TypedRegistrationTest, GroupsStoreAsTheTableOfTheSameNumbers) {
  const std::vector<double> x1 = {-5, 0.5, NAN, 40, 1e4}, a = {1, 2, 3, -999, 5}, b = {6, INFINITY, 8};
  const std::vector<double> x2 = {1, 2}, c = {-1e31, 0.25};
  DataTable table(5, 6);
  const auto row = [&](qsizetype r, double header, const std::vector<double>& values) {
    if (header != 0) table(r, 0) = header;
    for (std::size_t k = 0; k < values.size(); ++k) table(r, qsizetype(k) + 1) = values[k];
  };
  row(0, 0, x1), row(1, 0, a), row(2, 0, b), row(3, 1, x2), row(4, 0, c);
  Vellum32 byTable, typed;
  for (Vellum32* control : {&byTable, &typed}) {
    control->setXAxisType(AxisTypes::LogLinear);
    control->setXAxisCutoff(2);
  }
  byTable.RegisterData(table);
  const std::vector<GroupData> groups = {{x1, {a, b}}, {x2, {c}}};
  typed.RegisterData(groups);

  const SeriesStore& t = StateOf(byTable).Store;
  const SeriesStore& u = StateOf(typed).Store;
  ASSERT_EQ(u.GroupCount(), 2);
  ASSERT_EQ(u.SeriesCount(), t.SeriesCount());
  ASSERT_EQ(u.MaxPoints(), t.MaxPoints());
  for (qint32 g = 1; g <= 2; ++g) {
    EXPECT_EQ(u.FirstSeries(g), t.FirstSeries(g));
    EXPECT_EQ(u.LastSeries(g), t.LastSeries(g));
    ASSERT_EQ(u.PointCount(g), t.PointCount(g));
    for (qint32 p = 1; p <= t.PointCount(g); ++p) {
      const double tx = t.XValue(g, p), ux = u.XValue(g, p);
      EXPECT_TRUE(tx == ux || (std::isnan(tx) && std::isnan(ux))) << g << " " << p;
    }
  }
  for (qint32 s = 1; s <= t.SeriesCount(); ++s) {
    EXPECT_EQ(u.filledPoints(s), t.filledPoints(s)) << s;
    for (qint32 p = 0; p <= t.MaxPoints(); ++p) EXPECT_EQ(u.YValue(s, p), t.YValue(s, p)) << s << " " << p;
  }
  EXPECT_EQ(u.YValue(1, 3), NullMark);  // its X is missing

  // A Y array longer than its X, or one series more than the options, is refused.
  const std::vector<double> longer = {1, 2, 3};
  expectError(SubscriptOutOfRange, [&] { typed.RegisterData(std::vector<GroupData>{{x2, {longer}}}); });
  std::vector<GroupData> many(1, {x2, {}});
  many[0].Y.assign(std::size_t(MaxSeries) + 1, x2);
  expectError(SubscriptOutOfRange, [&] { typed.RegisterData(many); });
  EXPECT_EQ(u.GroupCount(), 2);
}

TEST(PointMarkerTest, ReadsAndWritesThroughGroupAndSeries) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2}, {0, 1, 1}, {1, 1, 2, 3}, {0, 1, 1, 1}, {0, 2, 2, 2}}));
  c.setPointMarker(2, 2, 3, 9);
  EXPECT_EQ(c.PointMarker(2, 2, 3), 9);
  EXPECT_EQ(StateOf(c).Store.PointMarker(3, 3), 9);
  expectError(SubscriptOutOfRange, [&] { c.PointMarker(3, 1, 1); });
  expectError(SubscriptOutOfRange, [&] { c.PointMarker(2, 3, 1); });
  expectError(SubscriptOutOfRange, [&] { c.PointMarker(2, 1, 4); });
  expectError(SubscriptOutOfRange, [&] { c.PointMarker(2, 1, 0); });
  expectError(SubscriptOutOfRange, [&] { c.setPointMarker(1, 1, 9, 1); });
  c.Clear();
  expectError(SubscriptOutOfRange, [&] { c.PointMarker(1, 1, 1); });
}

TEST(PointMarkerTest, BeforeAnyDataRaisesSubscriptOutOfRange) {
  Vellum32 c;
  expectError(SubscriptOutOfRange, [&] { c.PointMarker(1, 1, 1); });
  expectError(SubscriptOutOfRange, [&] { c.setPointMarker(1, 1, 1, 3); });
}

// --- Series options ----------------------------------------------------------------------

TEST(SetSeriesOptionsTest, InvalidGroupOrSeriesShowsAMessage) {
  Vellum32 c;
  RecordingOperator prompts;
  prompts.attach(c);
  c.SetSeriesOptions(1, 1, Red);  // nothing registered
  c.RegisterData(makeTable({{0, 1}, {0, 1}, {0, 1}, {0, 1}}));
  c.SetSeriesOptions(2, 1, Red);
  c.SetSeriesOptions(0, 1, Red);
  c.SetSeriesOptions(1, 5, Red);
  c.SetSeriesOptions(1, 0, Red);
  EXPECT_EQ(prompts.texts,
            (QStringList{"The group number is invalid", "The group number is invalid", "The group number is invalid",
                         "The series index is invalid", "The series index is invalid"}));
  EXPECT_EQ(StateOf(c).Options.SeriesColour[1], 0);
}

TEST(SetSeriesOptionsTest, SeriesMustLieInsideItsGroup) {
  Vellum32 c;
  RecordingOperator prompts;
  prompts.attach(c);
  c.RegisterData(makeTable({{0, 1}, {0, 1}, {1, 1}, {0, 1}}));
  c.SetSeriesOptions(1, 2, Red);  // global series 2 belongs to group 2
  EXPECT_EQ(prompts.texts, QStringList{"The series index is invalid"});
  EXPECT_EQ(StateOf(c).Options.SeriesColour[2], 0);
}

TEST(SetSeriesOptionsTest, DefaultArgumentsOnlySetTheWeight) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2}, {0, 1, 1}, {0, 2, 2}}));
  c.SetSeriesOptions(1, 2, Blue, QStringLiteral("raw"), 0, 0, 4);
  c.setPointMarker(1, 2, 1, 3);
  c.SetSeriesOptions(1, 2);
  const SeriesOptions& o = StateOf(c).Options;
  EXPECT_EQ(o.SeriesColour[2], Blue);
  EXPECT_EQ(o.SeriesLegend[2], QStringLiteral("raw"));
  EXPECT_FALSE(o.SeriesSelectable[2]);
  EXPECT_EQ(o.SeriesWeight[2], 1);
  EXPECT_EQ(c.PointMarker(1, 2, 1), 3);
}

TEST(SetSeriesOptionsTest, SelectableAndMarkerAndWeight) {
  Vellum32 c;
  c.RegisterData(makeTable({{0, 1, 2, 3}, {0, 1, 1, 1}, {0, 2, 2, 2}}));
  c.SetSeriesOptions(1, 1, -1, QString(), 0, 0);
  EXPECT_FALSE(StateOf(c).Options.SeriesSelectable[1]);
  c.SetSeriesOptions(1, 1, -1, QString(), 0, 5);
  EXPECT_TRUE(StateOf(c).Options.SeriesSelectable[1]);
  c.SetSeriesOptions(1, 1, -1, QString(), 0, 0);
  c.SetSeriesOptions(1, 1, -1, QString(), 0, -1);
  EXPECT_FALSE(StateOf(c).Options.SeriesSelectable[1]);

  c.SetSeriesOptions(1, 2, -1, QString(), 4);
  for (int p = 1; p <= 3; ++p) EXPECT_EQ(c.PointMarker(1, 2, p), 4);
  EXPECT_EQ(c.PointMarker(1, 1, 1), 0);

  c.SetSeriesOptions(1, 2, -1, QString(), 0, -1, 3);
  EXPECT_EQ(StateOf(c).Options.SeriesWeight[2], 3);
  c.SetSeriesOptions(1, 2, -1, QString(), 0, -1, 0);  // not above 0: unchanged
  EXPECT_EQ(StateOf(c).Options.SeriesWeight[2], 3);
  c.SetSeriesOptions(1, 2, 0);  // black is a colour
  EXPECT_EQ(StateOf(c).Options.SeriesColour[2], 0);
}

// --- Pen colours ---------------------------------------------------------------------------

TEST(SetPenColourTest, TableRepeatsEverySixteen) {
  Vellum32 c;
  const qint32 expected[16] = {16744192, 255,      65280, 16711680, 16711935, 65535,    16776960, 11730739,
                               8421504,  16711680, 65280, 16776960, 255,      16711935, 65535,    32767};
  for (int i = 0; i < 16; ++i) {
    qint32 pcol = -5;
    c.set_pen_colour(i, pcol);
    EXPECT_EQ(pcol, expected[i]) << i;
  }
  qint32 pcol = 0;
  c.set_pen_colour(17, pcol);
  EXPECT_EQ(pcol, 255);
  c.set_pen_colour(16, pcol);
  EXPECT_EQ(pcol, 16744192);
  c.set_pen_colour(-16, pcol);
  EXPECT_EQ(pcol, 16744192);
}

TEST(SetPenColourTest, NegativeNonMultipleOfSixteenIsAnInvalidArgument) {
  Vellum32 c;
  qint32 pcol = 42;
  expectError(InvalidProcedureCall, [&] { c.set_pen_colour(-1, pcol); });
  expectError(InvalidProcedureCall, [&] { c.set_pen_colour(-17, pcol); });
  EXPECT_EQ(pcol, 42);
}

// --- Clear and Refresh ----------------------------------------------------------------------

TEST(ClearTest, EmptiesTheStoreAndThePictureButKeepsSettings) {
  Vellum32 c;
  RecordingOperator prompts;
  prompts.attach(c);
  c.setYAxisType(AxisTypes::LogLinear);
  c.setXAxisMin(3);
  c.RegisterData(makeTable({{0, 1, 2}, {0, 1, 2}, {0, 3, 4}}));
  c.SetSeriesOptions(1, 2, Blue, QStringLiteral("legend"));
  c.setBackColor(RGBColour(9, 99, 199));
  c.Clear();
  const SeriesStore& st = StateOf(c).Store;
  EXPECT_EQ(st.GroupCount(), 0);
  EXPECT_EQ(st.SeriesCount(), 0);
  EXPECT_EQ(st.MaxPoints(), 0);
  EXPECT_EQ(StateOf(c).Options.SeriesColour[2], Blue);
  EXPECT_EQ(StateOf(c).Options.SeriesLegend[2], QStringLiteral("legend"));
  EXPECT_EQ(c.YAxisType(), AxisTypes::LogLinear);
  EXPECT_EQ(c.XAxisMin(), 3.0f);
  const QImage& picture = c.Picture();
  EXPECT_EQ(picture.pixelColor(0, 0), QColor(9, 99, 199));
  EXPECT_EQ(picture.pixelColor(picture.width() - 1, picture.height() - 1), QColor(9, 99, 199));

  c.SetSeriesOptions(1, 1);
  EXPECT_EQ(prompts.texts, QStringList{"The group number is invalid"});
}

TEST(RefreshTest, ClearsThePictureToTheBackColourAndSetsTheClipWindow) {
  Vellum32 c;
  c.resize(300, 200);
  c.setBackColor(RGBColour(250, 240, 230));
  c.Refresh();
  const QImage& picture = c.Picture();
  auto* graph = c.findChild<QWidget*>(QStringLiteral("Picture_graph"));
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(picture.size(), graph->size());
  EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() / 2), QColor(250, 240, 230));
  const ControlState& s = StateOf(c);
  EXPECT_FLOAT_EQ(s.Layout.TwipsPerPixelX, float(c.TwipsPerPixelX()));
  EXPECT_FLOAT_EQ(s.Layout.ClipRect.Right, float(graph->width() * c.TwipsPerPixelX() - c.TwipsPerPixelX()));
  EXPECT_FLOAT_EQ(s.Layout.ClipRect.Bottom, float(graph->height() * c.TwipsPerPixelY() - c.TwipsPerPixelY()));
  EXPECT_EQ(s.Layout.ClipRect.Left, 0.0f);
}

}  // namespace
}  // namespace vellum32

#include "display/block_display.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "correction/base_match.h"
#include "dump_fixture.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// A field line, one reading per (station, value, time).
std::string field_line(const std::vector<std::tuple<std::string, std::string, std::string>>& readings) {
  std::string s = keyword_field_header("100N", "05/12/96");
  for (const auto& [station, value, time] : readings) s += station + " N " + value + " 0 " + time + "\n";
  return s;
}
std::string base_session(const std::vector<std::pair<std::string, std::string>>& readings) {
  std::string s = keyword_base_header("05/12/96", "30 SEC");
  for (const auto& [t, v] : readings) s += t + " " + v + "\n";
  return s;
}

class DisplayTest : public ReaderTest {
protected:
  BlockView show_block(std::int32_t b) { return show_node(model, model.block(b).node, op); }
};

TEST(NiceAxisTest, TicksAndLimits) {
  struct Case {
    float min, max;
    int n;
    float tick, lower, upper;
  } cases[] = {
      {0, 100, 4, 50, 0, 100},      // 1, 2, 5, 10, 20, 50: two intervals
      {0, 0.5f, 4, 0.2f, 0, 0.6f},  // shrinks to 0.5, then 0.2
      {0, 4, 4, 1, 0, 4},           // exactly n intervals: no step either way
      {0, 2, 4, 0.5f, 0, 2},        // twice the range is exactly n: one step down
      {-7.5f, 12, 8, 5, -10, 15},
  };
  for (const Case& c : cases) {
    const NiceAxis a = nice_axis(c.min, c.max, c.n);
    EXPECT_FLOAT_EQ(a.tick, c.tick) << c.min << ".." << c.max;
    ASSERT_TRUE(a.lower && a.upper);
    EXPECT_FLOAT_EQ(*a.lower, c.lower) << c.min << ".." << c.max;
    EXPECT_FLOAT_EQ(*a.upper, c.upper) << c.min << ".." << c.max;
  }
  const NiceAxis none = nice_axis(5, 5, 4);
  EXPECT_EQ(none.tick, 1);
  EXPECT_FALSE(none.lower);
}

TEST(NiceAxisTest, EveryTickMovesTheValueAndTheTicksAreFewWhateverTheRange) {
  constexpr float tiny = std::numeric_limits<float>::denorm_min();
  struct Case {
    float min, max;
    int n;
  } cases[] = {
      {57000.0f, std::nextafter(57000.0f, 1e9f), 5},  // one float step: 57000.000 and 57000.004
      {57000.0f, 57000.02f, 5},                       // a few float steps
      {-16777216.0f, 16777216.0f, 8},
      {16777216.0f, 16777218.0f, 4},  // one step of 2 where the spacing doubles
      {0.0f, 3 * tiny, 4},
      {-1e38f, 1e38f, 8},
  };
  for (const Case& c : cases) {
    const NiceAxis a = nice_axis(c.min, c.max, c.n);
    ASSERT_TRUE(a.lower && a.upper) << c.min << ".." << c.max;
    EXPECT_LE(*a.lower, c.min);
    EXPECT_GE(*a.upper, c.max);
    const std::vector<float> ticks = axis_ticks(a);
    ASSERT_GE(ticks.size(), 2u) << c.min << ".." << c.max;
    EXPECT_LE(ticks.size(), std::size_t(c.n) + 3) << c.min << ".." << c.max;
    EXPECT_EQ(ticks.front(), *a.lower);
    EXPECT_EQ(ticks.back(), *a.upper);
    for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_LT(ticks[i - 1], ticks[i]) << c.min << ".." << c.max;
    EXPECT_NE(ticks.back() - a.tick, ticks.back()) << c.min << ".." << c.max;
  }
  // Limits that would leave the float range are left out; the tick stays.
  const NiceAxis top = nice_axis(std::numeric_limits<float>::max() / 2, std::numeric_limits<float>::max(), 1);
  EXPECT_FALSE(top.upper);
  EXPECT_TRUE(std::isfinite(top.tick) && top.tick > 1e38f);
  EXPECT_TRUE(axis_ticks(top).empty());
  // A hand-made axis of too many intervals is cut short.
  EXPECT_EQ(axis_ticks(NiceAxis{1.0f, 0.0f, 1e7f}).size(), std::size_t(max_axis_ticks));
}

TEST_F(DisplayTest, AFieldBlockWithItsBaseShowsThreeGraphs) {
  run_one(field_line({{"0", "58100.0", "10:00:00"}, {"25", "58110.0", "10:00:30"}, {"50", "58090.0", "10:01:00"}}) +
          base_session({{"09:59:30", "58000.0"}, {"10:00:30", "58020.0"}, {"10:01:30", "58000.0"}}));
  const BlockView v = show_block(1);
  EXPECT_EQ(v.line, "100N");
  EXPECT_EQ(v.num_readings, "3");
  EXPECT_EQ(v.time_start, "10:00:00");
  EXPECT_FALSE(v.base_view);
  EXPECT_EQ(v.shown_base_block, 2);
  ASSERT_EQ(v.graphs.size(), 3u);
  EXPECT_EQ(v.graphs[0].x, (std::vector<float>{0, 25, 50}));
  EXPECT_EQ(v.graphs[0].y, (std::vector<float>{58100, 58110, 58090}));
  EXPECT_EQ(v.graphs[1].y, (std::vector<float>{58010, 58020, 58010}));
  EXPECT_EQ(v.graphs[2].y, (std::vector<float>{90, 90, 80}));
  ASSERT_TRUE(v.graphs[2].axes);
  EXPECT_EQ(v.graphs[2].axes->y_tick, 5);  // 80..90 in four intervals of 5 at most
  EXPECT_EQ(v.graphs[2].axes->y_min, 80);
  EXPECT_EQ(v.graphs[2].axes->x_tick, 10);
  for (const std::string& e : op.events) EXPECT_NE(e.rfind("message", 0), 0u) << e;
}

TEST_F(DisplayTest, WithoutABaseOnlyTheRawGraph) {
  run_one(field_line({{"0", "58100.0", "10:00:00"}, {"25", "58110.0", "10:00:30"}}));
  const BlockView v = show_block(1);
  ASSERT_EQ(v.graphs.size(), 1u);
  EXPECT_EQ(v.graphs[0].index, 0);
}

TEST_F(DisplayTest, TheCoverIsSaidInWords) {
  const std::string line = field_line({{"0", "58100.0", "10:00:00"}, {"25", "58110.0", "10:00:30"}});
  run({{"a.dat", line}, {"b.dat", base_session({{"09:59:30", "58000.0"}, {"10:01:30", "58000.0"}})}});
  EXPECT_EQ(cover_description(model, block(1).node), "Base session 0001 of b.dat covers 100 %");
  EXPECT_EQ(cover_description(model, block(2).node), "");  // a base block
  EXPECT_EQ(cover_description(model, 1), "");              // a file node
  model.reset();
  run_one(line);
  EXPECT_EQ(cover_description(model, block(1).node), "No base session covers this line");
}

TEST_F(DisplayTest, ReadingsOutsideTheBaseSpanGiveGraphsWithoutAxes) {
  run_one(field_line({{"0", "58100.0", "10:00:00"}, {"25", "58110.0", "11:00:00"}}) +
          base_session({{"10:15:00", "58000.0"}, {"10:45:00", "58000.0"}}));
  ASSERT_EQ(model.match_of(1).base_block, 2);
  const BlockView v = show_block(1);
  ASSERT_EQ(v.graphs.size(), 3u);
  for (int i : {1, 2}) {
    EXPECT_EQ(v.graphs[i].y, (std::vector<float>{display_null, display_null}));
    EXPECT_FALSE(v.graphs[i].axes);
  }
}

// One station and one value: both ranges widen by 0.05 each side.
TEST_F(DisplayTest, FlatBlocksAreWidened) {
  run_one(field_line({{"40", "58100.0", "10:00:00"}, {"40", "58100.0", "10:00:30"}}));
  const auto axes = show_block(1).graphs.at(0).axes;
  ASSERT_TRUE(axes);
  EXPECT_FLOAT_EQ(axes->x_tick, 0.02f);
  EXPECT_FLOAT_EQ(axes->x_min, 39.94f);
  EXPECT_FLOAT_EQ(axes->x_max, 40.06f);
  EXPECT_LE(axes->y_min, 58099.95f);
  EXPECT_GE(axes->y_max, 58100.05f);
}

TEST_F(DisplayTest, BaseBlocksAndFileNodesUseTheWholeHeight) {
  run_one(base_session({{"10:00:00", "58000.0"}, {"10:00:30", "58003.0"}, {"10:01:00", "58001.0"}}));
  const BlockView base = show_block(1);
  EXPECT_TRUE(base.base_view);
  ASSERT_EQ(base.graphs.size(), 1u);
  EXPECT_EQ(base.graphs[0].x, (std::vector<float>{0, 1, 2}));
  EXPECT_EQ(base.graphs[0].axes->y_tick, 0.5f);  // six intervals in the tall graph
  const BlockView file = show_node(model, 1, op);
  EXPECT_EQ(model.selected_block, 0);
  EXPECT_TRUE(file.base_view);
  EXPECT_EQ(file.num_readings, "0");
  EXPECT_TRUE(file.line.empty() && file.time_start.empty() && file.graphs.empty());
}

TEST_F(DisplayTest, CaptionsSayWhatEachGraphShowsAndOfWhichBlock) {
  run({{"a.dat", field_line({{"0", "58100.0", "23:50:00"}, {"25", "58110.0", "00:10:30"}}) +
                     base_session({{"10:00:00", "58000.0"}, {"10:00:30", "58003.0"}})}});
  const BlockView line = show_block(1);
  EXPECT_EQ(line.block, "line 100N, a.dat, 1996/05/12 23:50–1996/05/13 00:10");
  EXPECT_EQ(graph_caption(2, line).shorter_titles,
            (std::vector<std::string>{"Corrected: raw − base, " + line.block,
                                      "Corrected: raw − base, line 100N, 1996/05/12 23:50–1996/05/13 00:10",
                                      "Corrected: raw − base, line 100N, 23:50–00:10"}));
  const struct {
    int index;
    const BlockView& view;
    const char *title, *x_label;
  } cases[] = {
      {0, line, "Raw readings", "Station"},
      {1, line, "Base station at each reading", "Station"},
      {2, line, "Corrected: raw − base (export adds the base field)", "Station"},
      {0, show_block(2), "Base station readings", "Reading"},
  };
  for (const auto& c : cases) {
    const GraphCaption caption = graph_caption(c.index, c.view);
    EXPECT_EQ(caption.title, std::string(c.title) + ", " + c.view.block);
    EXPECT_EQ(caption.x_label, c.x_label);
    EXPECT_EQ(caption.y_label, "nT");
  }
}

// Known flags: a line's reading at station 25, and base readings at 09:59:45 (before the
// line) and 10:00:45 (while the line passed from station 25 to 50).
TEST_F(DisplayTest, SpikeFlagsAreMarkedOnTheGraphsAndCounted) {
  run_one(field_line({{"0", "58100.0", "10:00:00"},
                      {"25", "58180.0", "10:00:30"},
                      {"50", "58110.0", "10:01:00"},
                      {"75", "58115.0", "10:01:30"}}) +
          base_session({{"09:59:45", "58010.0"},
                        {"10:00:15", "58000.0"},
                        {"10:00:45", "58050.0"},
                        {"10:01:15", "58000.0"},
                        {"10:01:45", "58000.0"}}));
  ASSERT_EQ(model.match_of(1).base_block, 2);
  std::vector<std::uint8_t> flags(model.readings.size(), 0);
  const std::int32_t line = block(1).first_reading, base = block(2).first_reading;
  flags[std::size_t(line + 1)] = flags[std::size_t(base)] = flags[std::size_t(base + 2)] = 1;

  const BlockView v = show_node(model, block(1).node, op, flags);
  ASSERT_EQ(v.graphs.size(), 3u);
  EXPECT_EQ(v.graphs[0].marked_x, (std::vector<float>{25}));
  EXPECT_EQ(v.graphs[0].marked_y, (std::vector<float>{58180}));
  ASSERT_EQ(v.graphs[1].marked_x.size(), 1u);
  EXPECT_NEAR(v.graphs[1].marked_x[0], 37.5f, 1e-3f);  // halfway from 10:00:30 to 10:01:00
  EXPECT_EQ(v.graphs[1].marked_y, (std::vector<float>{58050}));
  EXPECT_GE(v.graphs[1].axes->y_max, 58050.0f);  // above the base curve, which reaches 58025
  EXPECT_EQ(v.graphs[2].marked_x, (std::vector<float>{25}));
  ASSERT_EQ(v.graphs[2].marked_y.size(), 1u);
  EXPECT_NEAR(v.graphs[2].marked_y[0], 58180.0f - 58025.0f, 0.01f);
  EXPECT_EQ(v.spikes, "1 spike flagged");
  EXPECT_EQ(node_tooltip(model, block(1).node, flags), "Base session 0002 covers 100 %\n1 spike flagged");

  const BlockView session = show_node(model, block(2).node, op, flags);
  EXPECT_EQ(session.graphs.at(0).marked_x, (std::vector<float>{0, 2}));
  EXPECT_EQ(session.spikes, "2 spikes flagged");
  EXPECT_EQ(node_tooltip(model, block(2).node, flags), "2 spikes flagged");

  // Without flags, or with flags that end before the block, nothing is marked.
  const std::vector<std::uint8_t> too_short(std::size_t(line), 1);
  for (const std::span<const std::uint8_t> none : {std::span<const std::uint8_t>(), std::span(too_short)}) {
    const BlockView plain = show_node(model, block(1).node, op, none);
    for (const GraphData& g : plain.graphs) EXPECT_TRUE(g.marked_x.empty()) << g.index;
    EXPECT_EQ(plain.spikes, "");
    EXPECT_LT(plain.graphs[1].axes->y_max, 58050.0f);
  }
}

// A zoom shows stations 25 to 50: the values there, the limit's own included.
TEST(ShownAxesTest, YCoversTheValuesOfTheStationsShown) {
  GraphData g;
  g.x = {0, 25, 50, 75};
  g.y = {100, 80, 90, display_null};
  const auto a = shown_axes(g, 25, 50, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->x_min, 25);
  EXPECT_EQ(a->x_max, 50);
  EXPECT_EQ(a->y_min, 80);
  EXPECT_EQ(a->y_max, 90);
  EXPECT_EQ(a->y_tick, 5);
  EXPECT_FALSE(shown_axes(g, 60, 75, false));  // only a missing value there
}

TEST(PointerStatusTest, PanelsFollowTheGraphAndThePlotArea) {
  RecordingOperator op;
  show_pointer(op, 0, false, 0, 125.4f, 12.34567f);
  show_pointer(op, 2, true, 4, 1, 2);
  show_pointer(op, 7, false, 0, 1, 2);
  EXPECT_EQ(op.events, (std::vector<std::string>{"status 1: Raw Mag Data", "status 2: 125", "status 3: 12.3457",
                                                 "status 4: ", "status 1: Corrected Data", "status 2: ", "status 3: ",
                                                 "status 4: ", "status 2: 1", "status 3: 2.0000", "status 4: "}));
}

}  // namespace

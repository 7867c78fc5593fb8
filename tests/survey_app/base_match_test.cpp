#include <gtest/gtest.h>

#include "correction/base_match.h"
#include "dump_fixture.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// A base session: one dump line per reading "time value".
std::string base_block(const std::vector<std::pair<std::string, std::string>>& readings) {
  std::string s = keyword_base_header("05/12/96", "30 SEC");
  for (const auto& [t, v] : readings) s += t + " " + v + "\n";
  return s;
}
std::string base_span(const std::string& from, const std::string& to) {
  return base_block({{from, "58000.0"}, {to, "58000.0"}});
}
// A field line with one reading per time, stations 1, 2, 3, ...
std::string field_block(const std::vector<std::string>& times, const std::string& line = "100N") {
  std::string s = keyword_field_header(line, "05/12/96");
  int station = 1;
  for (const auto& t : times) s += std::to_string(station++) + " N 58100.0 0 " + t + "\n";
  return s;
}

}  // namespace

class MatchTest : public ReaderTest {
protected:
  // Block 1 is the field block 10:00-11:00 unless the test says otherwise.
  std::int32_t colour(int b) const { return node(block(b).node).colour; }
  Match match(int b) const { return model.match_of(b); }
};

TEST_F(MatchTest, FullCoverIsGreen) {
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("09:00:00", "12:00:00"));
  EXPECT_EQ(match(1).base_block, 2);
  EXPECT_EQ(match(1).base_cover, 100);
  EXPECT_EQ(colour(1), colour_green);
  EXPECT_EQ(colour(2), no_colour);  // base blocks are never coloured
  EXPECT_EQ(match(2).base_block, 0);
}

TEST_F(MatchTest, TheLargerPartialCoverWins) {
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("09:00:00", "10:30:00") +
          base_span("10:45:00", "12:00:00"));
  EXPECT_EQ(match(1).base_block, 2);
  EXPECT_EQ(match(1).base_cover, 50);
  EXPECT_EQ(colour(1), colour_blue);
  // Order does not matter: the larger one still wins.
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("10:45:00", "12:00:00") +
          base_span("09:00:00", "10:30:00"));
  EXPECT_EQ(match(1).base_block, 3);
  EXPECT_EQ(match(1).base_cover, 50);
}

TEST_F(MatchTest, BaseStartingInsideTheLine) {
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("10:30:00", "12:00:00"));
  EXPECT_EQ(match(1).base_block, 2);
  EXPECT_EQ(match(1).base_cover, 50);
  EXPECT_EQ(colour(1), colour_blue);
}

TEST_F(MatchTest, CoversNearOnePercent) {
  // 30 seconds of an hour: 0.83 %, not enough.
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("09:00:00", "10:00:30"));
  EXPECT_EQ(match(1).base_block, 0);
  EXPECT_EQ(match(1).base_cover, 0);
  EXPECT_EQ(colour(1), colour_red);
  // 43 seconds: 1.19 %, chosen, rounded to 1.
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("09:00:00", "10:00:43"));
  EXPECT_EQ(match(1).base_block, 2);
  EXPECT_EQ(match(1).base_cover, 1);
  EXPECT_EQ(colour(1), colour_blue);
  // 99.7 % of the line rounds to 100 (and shows green) but is still a partial cover,
  // so a later base session of 99.9 % cannot beat it.
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("10:00:10", "12:00:00") +
          base_span("10:00:05", "12:00:00"));
  EXPECT_EQ(match(1).base_block, 2);
  EXPECT_EQ(match(1).base_cover, 100);
  EXPECT_EQ(colour(1), colour_green);
}

TEST_F(MatchTest, FullCoverReplacesAnEarlierPartialChoice) {
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("10:30:00", "12:00:00") +
          base_span("09:59:59", "11:00:00") + base_span("08:00:00", "13:00:00"));
  EXPECT_EQ(match(1).base_block, 3);  // the first full cover stops the search
  EXPECT_EQ(match(1).base_cover, 100);
}

TEST_F(MatchTest, OnlyCheckedBaseBlocksWithTwoReadingsServe) {
  run_one(field_block({"10:00:00", "11:00:00"}) + base_block({{"09:00:00", "58000"}}) +
          base_span("09:00:00", "12:00:00"));
  EXPECT_EQ(match(1).base_block, 3);
  const int base_node = block(3).node;
  std::int32_t k = 1;
  EXPECT_TRUE(base_value_at(model, 1, at(1996, 5, 12, 10, 0, 0), k));
  // Unticking the only covering base block turns the line red; its readings lose
  // their base values.
  set_node_checked(model, base_node, false);
  EXPECT_EQ(match(1).base_block, 0);
  EXPECT_EQ(colour(1), colour_red);
  EXPECT_FALSE(base_value_at(model, 1, at(1996, 5, 12, 10, 0, 0), k));
  set_node_checked(model, base_node, true);
  EXPECT_EQ(colour(1), colour_green);
  // A field block's check mark does not run the matching; a file node's does.
  model.match[1] = Match{};
  set_node_checked(model, block(1).node, false);
  EXPECT_EQ(match(1).base_block, 0);
  set_node_checked(model, 1, true);
  EXPECT_EQ(match(1).base_block, 3);
}

TEST_F(MatchTest, WithoutBaseOrFieldBlocksEverythingIsZero) {
  run_one(field_block({"10:00:00", "11:00:00"}) + base_span("09:00:00", "12:00:00") +
          field_block({"10:00:00", "10:30:00"}));
  EXPECT_EQ(colour(1), colour_green);
  // Lines without any base session: no match, and no colour.
  run_one(field_block({"10:00:00", "11:00:00"}) + field_block({"10:00:00"}));
  EXPECT_EQ(match(1).base_block, 0);
  EXPECT_EQ(colour(1), no_colour);
  EXPECT_EQ(colour(2), no_colour);
  // A line of one reading keeps its colour: it is not matched at all.
  run_one(field_block({"10:00:00"}) + base_span("09:00:00", "12:00:00"));
  EXPECT_EQ(colour(1), no_colour);
}

TEST_F(MatchTest, LinearInterpolationBetweenBaseReadings) {
  run_one(field_block({"10:00:00", "10:01:30"}) + base_block({{"10:00:00", "58000.0"}, {"10:01:00", "58010.0"}}) +
          field_block({"09:00:00", "10:01:00"}));
  // Block 1 runs past the base session: partly covered.
  ASSERT_EQ(match(1).base_block, 2);
  std::int32_t k = 1;
  EXPECT_EQ(base_value_at(model, 1, at(1996, 5, 12, 10, 0, 30), k), 58005.0f);
  EXPECT_EQ(base_value_at(model, 1, at(1996, 5, 12, 10, 0, 0), k), 58000.0f);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(base_value_at(model, 1, at(1996, 5, 12, 10, 1, 0), k), 58010.0f);
  EXPECT_EQ(k, 1);  // n - 1
  EXPECT_EQ(base_value_at(model, 1, at(1996, 5, 12, 10, 1, 30), k), std::nullopt);
  EXPECT_EQ(base_value_at(model, 1, at(1996, 5, 12, 9, 59, 59), k), std::nullopt);
  EXPECT_EQ(base_value_at(model, 2, at(1996, 5, 12, 10, 0, 30), k), std::nullopt);  // a base block
}

TEST_F(MatchTest, SearchPositionMovesBothWays) {
  // Base readings every 10 seconds rising by 1 nT; field times out of order (a line
  // walked backwards and sorted by station).
  run_one(keyword_base_header("05/12/96", "10 SEC") + "10:00:00 100 1 1 1 1 1 1 1 1 1 1\n" +
          field_block({"10:01:35", "10:00:05", "10:01:00", "10:00:55", "10:01:40"}));
  ASSERT_EQ(match(2).base_block, 1);
  std::int32_t k = 1;
  EXPECT_EQ(base_value_at(model, 2, at(1996, 5, 12, 10, 1, 35), k), 109.5f);
  EXPECT_EQ(k, 10);
  EXPECT_EQ(base_value_at(model, 2, at(1996, 5, 12, 10, 0, 5), k), 100.5f);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(base_value_at(model, 2, at(1996, 5, 12, 10, 1, 0), k), 106.0f);
  EXPECT_EQ(base_value_at(model, 2, at(1996, 5, 12, 10, 0, 55), k), 105.5f);
  EXPECT_EQ(base_value_at(model, 2, at(1996, 5, 12, 10, 1, 40), k), 110.0f);
  EXPECT_EQ(k, 10);
  // A carried position beyond the block is brought back inside it.
  k = 500;
  EXPECT_EQ(base_value_at(model, 2, at(1996, 5, 12, 10, 0, 5), k), 100.5f);
  k = -3;
  EXPECT_EQ(base_value_at(model, 2, at(1996, 5, 12, 10, 1, 35), k), 109.5f);
}

TEST_F(MatchTest, CloseBaseReadingsGiveTheEarlierValue) {
  run_one(field_block({"10:00:00", "10:00:05"}) +
          base_block({{"09:59:58", "58000.0"}, {"10:00:03", "58005.0"}, {"10:00:11", "58013.0"}}));
  ASSERT_EQ(match(1).base_block, 2);
  std::int32_t k = 1;
  // 5 seconds apart: no interpolation.
  EXPECT_EQ(base_value_at(model, 1, at(1996, 5, 12, 10, 0, 0), k), 58000.0f);
  // 8 seconds apart, under the 0.0001-day limit as well.
  EXPECT_EQ(base_value_at(model, 1, at(1996, 5, 12, 10, 0, 5), k), 58005.0f);
}

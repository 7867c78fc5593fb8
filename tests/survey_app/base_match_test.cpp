#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

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
  // A field block's check mark does not run the matching; a file node's does, and its
  // blocks take its mark.
  model.match[1] = Match{};
  set_node_checked(model, block(1).node, false);
  EXPECT_EQ(match(1).base_block, 0);
  set_node_checked(model, 1, true);
  EXPECT_EQ(match(1).base_block, 3);
  set_node_checked(model, 1, false);
  for (int b = 1; b <= model.block_count; ++b) EXPECT_FALSE(model.block_checked(b)) << b;
  EXPECT_EQ(match(1).base_block, 0);
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

// Rules on their boundaries. Times on multiples of 675 seconds (1/128 day) are exact day
// numbers, so the percentages below are exact.

TEST_F(MatchTest, EqualPercentagesKeepTheEarlierBlock) {
  // A line of three hours; each base session covers exactly half of it.
  const std::string first = base_span("08:15:00", "10:30:00"), second = base_span("10:30:00", "12:45:00");
  run_one(field_block({"09:00:00", "12:00:00"}) + first + second);
  EXPECT_EQ(match(1).base_block, 2);
  EXPECT_EQ(match(1).base_cover, 50);
  run_one(field_block({"09:00:00", "12:00:00"}) + second + first);
  EXPECT_EQ(match(1).base_block, 2);
  EXPECT_EQ(match(1).base_cover, 50);
}

TEST_F(MatchTest, ExactlyOnePercentIsNotEnough) {
  // A line of 100 x 675 seconds; the base sessions end 1 x and 2 x 675 seconds into it.
  const std::string line = field_block({"01:30:00", "20:15:00"});
  struct Case {
    std::string base_end;
    std::int32_t base_block, cover, colour;
  };
  for (const Case& c : {Case{"01:41:15", 0, 0, colour_red}, Case{"01:52:30", 2, 2, colour_blue}}) {
    SCOPED_TRACE(c.base_end);
    run_one(line + base_span("00:00:00", c.base_end));
    EXPECT_EQ(match(1).base_block, c.base_block);
    EXPECT_EQ(match(1).base_cover, c.cover);
    EXPECT_EQ(colour(1), c.colour);
  }
}

TEST_F(MatchTest, ABaseSessionSharingAnEndWithTheLineCoversItWhole) {
  // The first base session shares the line's start (or end) and covers it whole, so the
  // later one, which runs past both ends, does not replace it.
  for (const auto& shared :
       {base_span("09:00:00", "12:45:00"), base_span("08:15:00", "12:00:00"), base_span("09:00:00", "12:00:00")}) {
    run_one(field_block({"09:00:00", "12:00:00"}) + shared + base_span("08:00:00", "13:00:00"));
    EXPECT_EQ(match(1).base_block, 2);
    EXPECT_EQ(match(1).base_cover, 100);
  }
}

TEST_F(MatchTest, ABaseSessionOfOneReadingNeverServes) {
  // A line whose two readings share one time is covered whole by any base session that
  // holds that time, but not by one of a single reading.
  const std::string line = field_block({"10:30:00", "10:30:00"});
  run_one(line + base_block({{"10:30:00", "58000.0"}}));
  EXPECT_EQ(match(1).base_block, 0);
  EXPECT_EQ(colour(1), colour_red);
  run_one(line + base_block({{"10:30:00", "58000.0"}, {"10:30:00", "58001.0"}}));
  EXPECT_EQ(match(1).base_block, 2);
  EXPECT_EQ(colour(1), colour_green);
}

TEST_F(MatchTest, NineSecondsApartIsInterpolated) {
  run_one(field_block({"10:00:00", "10:00:06"}) + base_block({{"10:00:00", "58000.0"}, {"10:00:09", "58009.0"}}));
  std::int32_t k = 1;
  EXPECT_EQ(base_value_at(model, 1, at(1996, 5, 12, 10, 0, 6), k), 58006.0f);
}

TEST_F(MatchTest, EqualBaseTimesBracketTheSameWayFromEitherSide) {
  // Readings 2 and 3 share a time: a search from below stops short of them (k 1,
  // interpolating up to reading 2), one from between them stays (k 2, a zero gap: reading
  // 2), one from above stays at the second (k 3, reading 3).
  run_one(field_block({"10:00:00", "10:03:00"}) +
          base_block({{"10:00:00", "0.0"}, {"10:01:00", "100.0"}, {"10:01:00", "200.0"}, {"10:02:00", "300.0"}}));
  const double t = at(1996, 5, 12, 10, 1, 0);
  struct Case {
    std::int32_t from, k;
    float value;
  };
  for (const Case& c : {Case{1, 1, 100.0f}, Case{2, 2, 100.0f}, Case{3, 3, 200.0f}}) {
    SCOPED_TRACE(c.from);
    std::int32_t k = c.from;
    EXPECT_EQ(base_value_at(model, 1, t, k), c.value);
    EXPECT_EQ(k, c.k);
  }
}

namespace {

// Readings for a hand-built model: day numbers and values.
using Times = std::vector<double>;

// Builds a model table by table, as the reader leaves it: one checked node per block.
struct ModelBuilder {
  SurveyModel m;

  // Field blocks span their earliest to latest reading, base blocks their first to last.
  std::int32_t add(BlockKind kind, const Times& times, bool checked = true) {
    Block b;
    b.kind = kind;
    b.first_reading = m.reading_count() + 1;
    b.num_readings = static_cast<std::int32_t>(times.size());
    b.line = kind == field_kind ? "100N" : "BS1";
    for (std::size_t j = 0; j < times.size(); ++j) {
      m.readings.push_back(Reading{times[j], static_cast<float>(j), 58000.0f + static_cast<float>(j * 7 % 11)});
      if (kind == field_kind) {
        b.start_time = j == 0 ? times[j] : std::min(b.start_time, times[j]);
        b.end_time = j == 0 ? times[j] : std::max(b.end_time, times[j]);
      }
    }
    if (kind == base_kind && !times.empty()) {
      b.start_time = times.front();
      b.end_time = times.back();
    }
    b.node = ++m.node_count;
    m.append_node(0, "block" + std::to_string(m.block_count + 1), checked);
    m.blocks.push_back(b);
    m.node_block.push_back(++m.block_count);
    (kind == field_kind ? m.data_block_count : m.base_block_count) += 1;
    m.match.resize(static_cast<std::size_t>(m.block_count) + 1);
    return m.block_count;
  }
};

// The straightforward matching: every field block against every base block, in order.
void straightforward_scan_base_blocks(SurveyModel& m) {
  std::fill(m.match.begin(), m.match.end(), Match{});
  if (m.data_block_count == 0 || m.base_block_count == 0) {
    for (std::int32_t f = 1; f <= m.block_count; ++f)
      if (m.block(f).kind == field_kind) m.nodes[static_cast<std::size_t>(m.block(f).node)].colour = no_colour;
    return;
  }
  for (std::int32_t f = 1; f <= m.block_count; ++f) {
    const Block& field = m.block(f);
    Match& match = m.match[static_cast<std::size_t>(f)];
    if (field.kind != field_kind || field.num_readings < 2) continue;
    const double fs = field.start_time, fe = field.end_time;
    for (std::int32_t b = 1; b <= m.block_count; ++b) {
      const Block& base = m.block(b);
      if (base.kind != base_kind || base.num_readings < 2 || !m.block_checked(b)) continue;
      const double bs = base.start_time, be = base.end_time;
      if (bs <= fs && fe <= be) {
        match = Match{b, 100};
        break;
      }
      const auto consider = [&](double s, double e) {
        if (!(e > s)) return;
        const double p = 100.0 * (e - s) / (fe - fs);
        if (p > 1.0 && p > static_cast<double>(match.base_cover)) {
          match.base_block = b;
          match.base_cover = static_cast<std::int32_t>(std::nearbyint(p));
        }
      };
      if (fs <= bs && bs <= fe) consider(bs, std::min(be, fe));
      if (fs <= be && be <= fe) consider(std::max(bs, fs), be);
    }
    const std::int32_t c = match.base_cover;
    m.nodes[static_cast<std::size_t>(field.node)].colour = c >= 100 ? colour_green : c >= 1 ? colour_blue : colour_red;
  }
}

// The straightforward base value: a walk from k one reading at a time.
std::optional<float> straightforward_base_value_at(const SurveyModel& m, std::int32_t f, double t, std::int32_t& k) {
  const std::int32_t b = m.match_of(f).base_block;
  if (b == 0 || m.block(b).num_readings < 2) return std::nullopt;
  const Block& base = m.block(b);
  const std::int32_t n = base.num_readings;
  const auto at = [&](std::int32_t j) -> const Reading& { return m.reading(base.first_reading + j - 1); };
  if (t < at(1).time || t > at(n).time) return std::nullopt;
  if (t == at(1).time) {
    k = 1;
    return at(1).mag;
  }
  if (t == at(n).time) {
    k = n - 1;
    return at(n).mag;
  }
  k = std::clamp(k, 1, n - 1);
  while (t < at(k).time && k > 1) --k;
  while (t > at(k + 1).time && k < n - 1) ++k;
  const float d = static_cast<float>(at(k + 1).time - at(k).time);
  const float mk = at(k).mag;
  if (std::fabs(static_cast<double>(d)) <= 0.0001) return mk;
  const float rise = at(k + 1).mag - mk;
  return static_cast<float>(static_cast<double>(mk) +
                            (t - at(k).time) * static_cast<double>(rise) / static_cast<double>(d));
}

// Same value, bit for bit (a time that is not a number gives a value that is not one).
bool same_value(std::optional<float> x, std::optional<float> y) {
  if (x.has_value() != y.has_value()) return false;
  return !x || std::memcmp(&*x, &*y, sizeof(float)) == 0;
}

void expect_same_matches(SurveyModel& m) {
  SurveyModel reference = m;
  straightforward_scan_base_blocks(reference);
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    SCOPED_TRACE("block " + std::to_string(b));
    ASSERT_EQ(m.match_of(b).base_block, reference.match_of(b).base_block);
    ASSERT_EQ(m.match_of(b).base_cover, reference.match_of(b).base_cover);
    ASSERT_EQ(m.nodes[static_cast<std::size_t>(m.block(b).node)].colour,
              reference.nodes[static_cast<std::size_t>(m.block(b).node)].colour);
  }
}

// Searches with k carried from each starting k, at each time, in the given order.
void expect_same_base_values(const SurveyModel& m, std::int32_t f, const Times& times, std::int32_t k) {
  std::int32_t fast_k = k, walked_k = k;
  for (const double t : times) {
    const auto fast = base_value_at(m, f, t, fast_k);
    const auto walked = straightforward_base_value_at(m, f, t, walked_k);
    ASSERT_TRUE(same_value(fast, walked)) << "block " << f << " t " << t;
    ASSERT_EQ(fast_k, walked_k) << "block " << f << " t " << t;
  }
}

}  // namespace

TEST(MatchAgainstStraightforwardCode, ZeroSpanAndOutOfOrderCases) {
  const double d = 35197.0, u = 1.0 / 128;
  ModelBuilder b;
  b.add(field_kind, {d + 2 * u, d + 2 * u});             // zero span
  b.add(field_kind, {d + 1 * u, d + 5 * u, d + 3 * u});  // readings out of time order
  b.add(base_kind, {d + 4 * u, d + 2 * u, d + 6 * u});   // times go down and up
  b.add(base_kind, {d + 6 * u, d + 1 * u});              // ends before it starts
  b.add(base_kind, {d + 2 * u, d + 2 * u, d + 2 * u});   // one time
  b.add(base_kind, {d + 1 * u, d + 3 * u}, false);       // unchecked
  scan_base_blocks(b.m);
  expect_same_matches(b.m);
  for (std::int32_t f : {1, 2})
    for (std::int32_t k : {-1, 1, 2, 3, 9}) expect_same_base_values(b.m, f, {d + 2 * u, d + 4.5 * u, d + 2.5 * u}, k);
}

TEST(MatchAgainstStraightforwardCode, RandomModels) {
  std::mt19937 random(20240611);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  const double d = 35197.0;
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Few distinct times (on a 675-second or a 1-second grid, exact or not), so starts,
    // ends and percentages tie often.
    const double unit = pick(0, 1) ? 1.0 / 128 : 1.0 / 86400;
    const int grid = pick(2, 30);
    const auto time = [&] {
      if (pick(0, 200) == 0) return std::numeric_limits<double>::quiet_NaN();
      return d + unit * pick(0, grid);
    };
    ModelBuilder b;
    const int blocks = pick(0, 14);
    for (int i = 0; i < blocks; ++i) {
      const bool base = pick(0, 1) == 0;
      Times times(static_cast<std::size_t>(pick(0, base ? 9 : 6)));
      for (double& t : times) t = time();
      if (base && pick(0, 2) != 0) std::sort(times.begin(), times.end());
      b.add(base ? base_kind : field_kind, times, pick(0, 4) != 0);
    }
    scan_base_blocks(b.m);
    ASSERT_NO_FATAL_FAILURE(expect_same_matches(b.m));
    // Unticking and ticking base blocks matches again.
    for (int i = 0; i < 3 && b.m.block_count > 0; ++i) {
      const std::int32_t node = pick(1, b.m.block_count);
      set_node_checked(b.m, node, !b.m.nodes[static_cast<std::size_t>(node)].checked);
      ASSERT_NO_FATAL_FAILURE(expect_same_matches(b.m));
    }
    for (std::int32_t f = 1; f <= b.m.block_count; ++f) {
      if (b.m.block(f).kind != field_kind) continue;
      Times times;
      for (std::int32_t r = 0; r < b.m.block(f).num_readings; ++r)
        times.push_back(b.m.reading(b.m.block(f).first_reading + r).time);
      ASSERT_NO_FATAL_FAILURE(expect_same_base_values(b.m, f, times, 1));
      for (int i = pick(0, 12); i > 0; --i) times.push_back(pick(0, 3) ? time() : d + unit * (pick(0, 2 * grid) / 2.0));
      std::shuffle(times.begin(), times.end(), random);
      ASSERT_NO_FATAL_FAILURE(expect_same_base_values(b.m, f, times, pick(-2, 12)));
    }
  }
}

TEST(MatchAgainstStraightforwardCode, LongBaseBlocksAndAlternatingTimes) {
  // A base block of 3,000 readings, a second apart with runs of equal times, in order or
  // with a few readings out of order; field times alternating between its two ends.
  std::mt19937 random(675);
  const double d = 35197.0, s = 1.0 / 86400;
  for (const int disorder : {0, 1, 5, 300}) {
    SCOPED_TRACE("disorder " + std::to_string(disorder));
    Times base;
    for (int j = 0; j < 3000; ++j) base.push_back(d + s * (j - j % 3 * (j % 7 == 0)));
    for (int i = 0; i < disorder; ++i) std::swap(base[random() % 2998 + 1], base[random() % 2998 + 1]);
    Times field;
    for (int j = 0; j < 2000; ++j) field.push_back(d + s * (j % 2 ? 2999 - j / 2 % 40 : j / 2 % 40 + 0.5 * (j % 4)));
    ModelBuilder b;
    b.add(base_kind, base);
    const std::int32_t f = b.add(field_kind, field);
    scan_base_blocks(b.m);
    ASSERT_EQ(b.m.match_of(f).base_block, 1);
    ASSERT_NO_FATAL_FAILURE(expect_same_base_values(b.m, f, field, 1));
    std::shuffle(field.begin(), field.end(), random);
    ASSERT_NO_FATAL_FAILURE(expect_same_base_values(b.m, f, field, 3000));
  }
}

TEST(MatchAgainstStraightforwardCode, ManyBlocksThatNeverOverlap) {
  ModelBuilder b;
  const double d = 35197.0, s = 1.0 / 86400;
  for (int i = 0; i < 2000; ++i) {
    b.add(base_kind, {d + s * (10 * i), d + s * (10 * i + 2)});
    b.add(field_kind, {d + s * (10 * i + 5), d + s * (10 * i + 7)});
  }
  // And a few that cover, start or end inside several lines.
  b.add(base_kind, {d + s * 3, d + s * 40});
  b.add(base_kind, {d + s * 96, d + s * 400});
  b.add(base_kind, {d + s * 1000, d + s * 20000});
  scan_base_blocks(b.m);
  expect_same_matches(b.m);
  set_node_checked(b.m, b.m.block(b.m.block_count).node, false);
  expect_same_matches(b.m);
}

TEST(MatchAgainstStraightforwardCode, GapOfAFloatAroundTheDayLimit) {
  // d is the gap as a 32-bit float: the largest float not above 0.0001 day gives the
  // earlier reading's value, the next float up interpolates.
  const float at_limit = 0.0001f, above = std::nextafter(0.0001f, 1.0f);
  ASSERT_LE(static_cast<double>(at_limit), 0.0001);
  struct Case {
    float gap;
    float value;
  };
  for (const Case& c : {Case{at_limit, 100.0f}, Case{above, 105.0f}}) {
    ModelBuilder b;
    b.add(base_kind, {0.0, static_cast<double>(c.gap)});
    b.m.readings[2].mag = 110.0f;
    b.m.readings[1].mag = 100.0f;
    b.add(field_kind, {0.0, static_cast<double>(c.gap)});
    scan_base_blocks(b.m);
    std::int32_t k = 1;
    EXPECT_EQ(base_value_at(b.m, 2, static_cast<double>(c.gap) / 2, k), c.value) << c.gap;
  }
}

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "correction/base_match.h"
#include "dump_fixture.h"
#include "export/export_command.h"
#include "map/survey_map.h"
#include "map_day.h"
#include "util/text.h"

namespace corvane::test {
namespace {

class MapTest : public ReaderTest {
protected:
  void SetUp() override { run_one(map_day()); }
  std::string line_of(const MapDot& d) const { return model.block(d.block).line; }
};

TEST_F(MapTest, DotsLieWhereTheXyzExportPutsThem) {
  const SurveyMap map = build_survey_map(model, false);
  const std::pair<const char*, std::vector<std::pair<float, float>>> expected[] = {
      {"100N", {{10, 100}, {20, 100}}}, {"200S", {{200, 10}, {200, 20}}}, {"300E", {{300, 10}, {300, 20}}},
      {"400W", {{400, 10}, {400, 20}}}, {"500n", {{500, 10}, {500, 20}}}, {"600N", {{10, 600}, {20, 600}}},
  };
  ASSERT_EQ(map.dots.size(), 12u);
  for (std::size_t i = 0; i < map.dots.size(); ++i) {
    const auto& [line, points] = expected[i / 2];
    EXPECT_EQ(line_of(map.dots[i]), line);
    EXPECT_EQ(map.dots[i].x, points[i % 2].first) << line;
    EXPECT_EQ(map.dots[i].y, points[i % 2].second) << line;
    EXPECT_EQ(model.reading(map.dots[i].reading).station, i % 2 ? 20.0f : 10.0f);
  }
  ASSERT_EQ(map.left_out.size(), 1u);
  EXPECT_EQ(model.block(map.left_out[0]).line, "1e99N");
  EXPECT_EQ(map.x_min, 10.0f);
  EXPECT_EQ(map.y_max, 600.0f);

  // The export's own X and Y columns, row by row in the same order (it stops at a name
  // without a coordinate).
  model.nodes[std::size_t(model.block(map.left_out[0]).node)].checked = false;
  ExportRequest request;
  request.file_name_text = "day.xyz";
  request.directory = dir.dir();
  request.base_field_text = "0";
  request.export_all = true;
  ASSERT_EQ(command_save_data(model, request, export_xyz_button, op), ExportResult::complete);
  std::ifstream xyz(dir.path() / "day.xyz");
  std::size_t row = 0;
  for (std::string text; std::getline(xyz, text);) {
    if (text.empty() || text[0] == '/') continue;
    ASSERT_LT(row, map.dots.size());
    EXPECT_EQ(trim_spaces(text.substr(12, 10)), format_fixed(map.dots[row].x, 1));
    EXPECT_EQ(trim_spaces(text.substr(23, 10)), format_fixed(map.dots[row].y, 1));
    ++row;
  }
  EXPECT_EQ(row, map.dots.size());
}

TEST_F(MapTest, ValuesAreCorrectedOrGreyAndRawOnRequest) {
  // 600N: 10:01:00 lies in the session (base 58002.0), 10:05:00 after it.
  const SurveyMap corrected = build_survey_map(model, false);
  const MapDot inside = corrected.dots[10];
  const MapDot after = corrected.dots[11];
  EXPECT_EQ(inside.value, 58010.0f - 58002.0f);
  EXPECT_EQ(after.value, null_value);
  EXPECT_EQ(dot_colour(after.value, corrected.stretch), no_value_colour);
  EXPECT_EQ(corrected.valued, 11);

  const SurveyMap raw = build_survey_map(model, true);
  EXPECT_EQ(raw.dots[11].value, 58020.0f);
  EXPECT_EQ(raw.valued, 12);

  // Unticked lines and the base session are not mapped.
  for (std::int32_t b = 1; b <= model.block_count; ++b)
    if (model.block(b).line == "100N") model.nodes[std::size_t(model.block(b).node)].checked = false;
  const SurveyMap fewer = build_survey_map(model, false);
  ASSERT_EQ(fewer.dots.size(), 10u);
  EXPECT_EQ(line_of(fewer.dots[0]), "200S");
}

// Hidden: 200S's second reading and 600N's first, whose 8 nT is the lowest value (11
// values: the 2nd and 98th percentiles are the least and the greatest).
TEST_F(MapTest, HiddenSpikesGetNoDotAndNoShareOfTheStretch) {
  const SurveyMap all = build_survey_map(model, false);
  std::vector<std::uint8_t> flags(model.readings.size(), 0);
  const std::int32_t hidden_readings[] = {all.dots[3].reading, all.dots[10].reading};
  for (const std::int32_t r : hidden_readings) flags[std::size_t(r)] = 1;
  const std::vector<std::uint8_t> before_every_reading(std::size_t(all.dots[0].reading), 1);
  const struct {
    std::span<const std::uint8_t> hidden;
    std::size_t dots;
    std::int64_t valued;
    float low;
  } cases[] = {
      {{}, 12, 11, 8},
      {before_every_reading, 12, 11, 8},
      {flags, 10, 9, 9},
  };
  for (const auto& c : cases) {
    const SurveyMap map = build_survey_map(model, false, c.hidden);
    EXPECT_EQ(map.dots.size(), c.dots) << c.hidden.size();
    EXPECT_EQ(map.valued, c.valued) << c.hidden.size();
    EXPECT_EQ(map.stretch.low, c.low) << c.hidden.size();
    EXPECT_EQ(map.stretch.high, 18.0f) << c.hidden.size();
  }
  // Rebuilt after a tick with the same flags: still without them.
  const SurveyMap hiding = build_survey_map(model, false, flags);
  for (std::int32_t b = 1; b <= model.block_count; ++b)
    if (model.block(b).line == "100N") model.nodes[std::size_t(model.block(b).node)].checked = false;
  const SurveyMap rebuilt = rebuild_survey_map(model, hiding, flags);
  ASSERT_EQ(rebuilt.dots.size(), 8u);
  for (std::size_t i = 0; i < rebuilt.dots.size(); ++i)
    for (const std::int32_t r : hidden_readings) EXPECT_NE(rebuilt.dots[i].reading, r) << i;
}

// A map built again after ticks, from the map before them, is the map built anew: only
// the stretch stays as it was.
TEST_F(MapTest, RebuiltAfterTicksAsIfBuiltAnew) {
  std::int32_t base = 0, line = 0;
  for (std::int32_t b = 1; b <= model.block_count; ++b) {
    if (block(b).kind == base_kind) base = block(b).node;
    if (block(b).line == "300E") line = block(b).node;
  }
  ASSERT_TRUE(base && line);
  // Each step from the map of the step before.
  const std::pair<std::int32_t, bool> ticks[] = {{line, false}, {base, false}, {line, true}, {base, true}};
  SurveyMap previous = build_survey_map(model, false);
  const ColourStretch first = previous.stretch;
  for (const auto& [node, checked] : ticks) {
    set_node_checked(model, node, checked);
    SurveyMap rebuilt = rebuild_survey_map(model, previous);
    const SurveyMap built = build_survey_map(model, false);
    ASSERT_EQ(rebuilt.dots.size(), built.dots.size()) << node << checked;
    for (std::size_t i = 0; i < built.dots.size(); ++i) {
      const MapDot a = rebuilt.dots[i], b = built.dots[i];
      EXPECT_TRUE(a.x == b.x && a.y == b.y && a.value == b.value && a.block == b.block && a.reading == b.reading) << i;
      EXPECT_EQ(rebuilt.colours.at(i), dot_colour(a.value, rebuilt.stretch)) << i;
    }
    EXPECT_EQ(rebuilt.valued, built.valued);
    EXPECT_EQ(rebuilt.left_out, built.left_out);
    EXPECT_EQ(rebuilt.mapped_with, built.mapped_with);
    if (rebuilt.valued > 0) {
      EXPECT_EQ(rebuilt.stretch.low, first.low);
      EXPECT_EQ(rebuilt.stretch.high, first.high);
    }
    previous = std::move(rebuilt);
  }
}

TEST(ColourStretch, NearestRankPercentilesOnTheirBoundaries) {
  // n = 50: 2 % of 50 is rank 1 exactly; n = 51: 1.02 gives rank 2. 98 % of 50 is 49;
  // of 51, 49.98 gives rank 50.
  struct Case {
    int n;
    float low, high;
  } cases[] = {{1, 1, 1}, {50, 1, 49}, {51, 2, 50}, {100, 2, 98}, {101, 3, 99}};
  for (const Case& c : cases) {
    std::vector<float> values;
    for (int v = c.n; v >= 1; --v) values.push_back(float(v));
    values.push_back(null_value);  // no value: not counted
    const ColourStretch s = colour_stretch(values);
    EXPECT_EQ(s.low, c.low) << c.n;
    EXPECT_EQ(s.high, c.high) << c.n;
  }
}

TEST(ColourStretch, OneSpikeDoesNotFlattenTheMap) {
  std::vector<float> values;
  for (int v = 1; v <= 49; ++v) values.push_back(float(v));
  values.push_back(1e6f);
  const ColourStretch s = colour_stretch(values);
  EXPECT_EQ(s.low, 1.0f);
  EXPECT_EQ(s.high, 49.0f);
  const auto& scale = colour_scale();
  EXPECT_EQ(dot_colour(1e6f, s), scale.back());
  EXPECT_EQ(dot_colour(49.0f, s), scale.back());
  EXPECT_EQ(dot_colour(1.0f, s), scale.front());
  EXPECT_EQ(dot_colour(-5.0f, s), scale.front());
  EXPECT_EQ(scale_step(25.0f, s), scale_steps / 2);  // the middle of the stretch, not of the spike's range
  EXPECT_EQ(scale_step(7.0f, ColourStretch{7.0f, 7.0f}), scale_steps / 2);
  // Viridis: dark violet to yellow, never darker from one step to the next.
  EXPECT_EQ(scale.front(), 68 | 1 << 8 | 84 << 16);
  EXPECT_EQ(scale.back(), 253 | 231 << 8 | 37 << 16);
  const auto luma = [](std::int32_t c) { return 299 * (c & 0xFF) + 587 * (c >> 8 & 0xFF) + 114 * (c >> 16 & 0xFF); };
  for (std::size_t i = 1; i < scale.size(); ++i) EXPECT_GE(luma(scale[i]), luma(scale[i - 1])) << i;
}

}  // namespace
}  // namespace corvane::test

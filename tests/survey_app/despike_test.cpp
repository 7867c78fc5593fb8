// Leaving spikes out of an export: the base values without the flagged base readings, the
// flagged field readings without a corrected value, and the export's message.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "correction/base_match.h"
#include "dump_fixture.h"
#include "export/export_command.h"
#include "export/export_core.h"
#include "grid/grid_input.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// A base session of 21 readings a minute apart rising 0.5 nT a minute, and field line 100N
// read at half past each minute from 10:01:30, rising 1 nT a reading. Readings listed in
// `base_spikes` or `field_spikes` (from 0) are raised by 50 and 40 nT; those in `base_gone`
// are not in the dump.
std::string day(const std::vector<int>& base_spikes, const std::vector<int>& field_spikes,
                const std::vector<int>& base_gone = {}) {
  const auto listed = [](const std::vector<int>& list, int i) {
    for (const int j : list)
      if (j == i) return true;
    return false;
  };
  std::string text = keyword_base_header("05/12/96", "60");
  char line[64];
  for (int i = 0; i <= 20; ++i) {
    if (listed(base_gone, i)) continue;
    std::snprintf(line, sizeof line, "10:%02d:00 %.1f\n", i, 58000.0 + 0.5 * i + (listed(base_spikes, i) ? 50 : 0));
    text += line;
  }
  text += keyword_field_header("100N", "05/12/96");
  for (int i = 0; i < 19; ++i) {
    std::snprintf(line, sizeof line, "%d N %.1f 0 10:%02d:30\n", i * 10,
                  57300.0 + i + (listed(field_spikes, i) ? 40 : 0), i + 1);
    text += line;
  }
  return text;
}

class Despike : public ReaderTest {
protected:
  ExportRequest request;
  int exports = 0;

  // The XYZ file of the model's export, with or without leaving spikes out.
  std::string exported(bool leave_out_spikes) {
    request.file_name_text = "out" + std::to_string(++exports) + ".xyz";
    request.directory = dir.dir();
    request.base_field_text = "0";
    request.leave_out_spikes = leave_out_spikes;
    EXPECT_EQ(command_save_data(model, request, export_xyz_button, op, 0), ExportResult::complete);
    return dir.read(request.file_name_text);
  }
  // The exported file of a day read afresh.
  std::string exported_day(const std::string& text, bool leave_out_spikes) {
    model = SurveyModel{};
    run({{"day" + std::to_string(exports) + ".dat", text}});
    return exported(leave_out_spikes);
  }
  // The row of the reading at `time` ("10:13:30").
  static std::string row_at(const std::string& file, const std::string& time) {
    const std::size_t at = file.find(time + "\r\n");
    if (at == std::string::npos) return "";
    return file.substr(file.rfind('\n', at) + 1, at + time.size() - file.rfind('\n', at) - 1);
  }
};

}  // namespace

// A flagged base reading counts only when spikes are left out: then the file is that of the
// day without it. Without spikes to leave out, the option changes nothing.
TEST_F(Despike, AFlaggedBaseReadingIsAsIfNotRead) {
  const std::string without_spike = exported_day(day({}, {}, {10}), false);
  const std::string plain = exported_day(day({10}, {}), false);
  const std::string despiked = exported_day(day({10}, {}), true);
  EXPECT_EQ(despiked, without_spike);
  EXPECT_NE(plain, without_spike);
  EXPECT_EQ(row_at(plain, "10:10:30"),
            "      100.0       90.0      100.0    57309.0    58030.3     -721.3 1996/05/12 10:10:30");
  EXPECT_EQ(exported_day(day({}, {}), true), exported_day(day({}, {}), false));
}

TEST_F(Despike, AFlaggedFieldReadingHasNoCorrectedValue) {
  run_one(day({}, {12}));
  const std::string plain = exported(false);
  const std::string despiked = exported(true);
  EXPECT_EQ(row_at(plain, "10:13:30"),
            "      100.0      120.0      100.0    57352.0    58006.8     -654.8 1996/05/12 10:13:30");
  EXPECT_EQ(row_at(despiked, "10:13:30"),
            "      100.0      120.0      100.0    57352.0    58006.8          * 1996/05/12 10:13:30");
  EXPECT_EQ(row_at(despiked, "10:14:30"), row_at(plain, "10:14:30"));
  // Uncorrected and as base readings: raw values stay, only the flagged corrected value goes.
  request.apply_corrections = false;
  EXPECT_EQ(row_at(exported(true), "10:13:30"),
            "      100.0      120.0      100.0    57352.0          *          * 1996/05/12 10:13:30");
  model = SurveyModel{};
  run_one(day({10}, {}));
  request.apply_corrections = true;
  request.export_base = true;
  const std::string base_row = row_at(exported(true), "10:10:00");
  EXPECT_NE(base_row.find("          *    58055.0    58055.0 "), std::string::npos) << base_row;
  EXPECT_EQ(base_row, row_at(exported(false), "10:10:00"));
}

// The base values from kept readings, by hand: readings 10:00 .. 10:04 of 58000 + 0.5 i.
TEST_F(Despike, BaseValuesFromTheKeptReadings) {
  run_one(day({}, {}));
  const double t = at(1996, 5, 12, 10, 1, 30);
  struct Case {
    std::vector<int> left_out;  // base readings, from 0
    double time;
    std::optional<float> value;
  };
  const std::vector<Case> cases = {
      {{}, t, 58000.75f},
      {{1}, t, 58000.75f},                                // between 10:00 and 10:02
      {{1, 2}, t, 58000.75f},                             // between 10:00 and 10:03
      {{0, 1}, t, 58001.0f},                              // the first kept value holds
      {{0}, at(1996, 5, 12, 10, 0, 0), 58000.5f},         // at the session's start
      {{20}, at(1996, 5, 12, 10, 20, 0), 58009.5f},       // at its end, the last kept value
      {{19, 20}, at(1996, 5, 12, 10, 19, 59), 58009.0f},  // still within the session
      {{}, at(1996, 5, 12, 10, 20, 1), std::nullopt},     // past its end
      {{20}, at(1996, 5, 12, 10, 20, 1), std::nullopt},   // the cover stays the session's
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> left_out(model.readings.size(), 0);
    for (const int i : c.left_out) left_out[static_cast<std::size_t>(block(1).first_reading + i)] = 1;
    const KeptBaseValues kept(model, left_out);
    const std::optional<float> v = kept.at(2, c.time);
    ASSERT_EQ(v.has_value(), c.value.has_value()) << c.left_out.size() << " left out";
    if (v) {
      EXPECT_FLOAT_EQ(*v, *c.value) << c.left_out.size() << " left out";
    }
    EXPECT_EQ(kept.left_out_of(1), static_cast<std::int64_t>(c.left_out.size()));
  }
  std::vector<std::uint8_t> all(model.readings.size(), 1);
  EXPECT_EQ(KeptBaseValues(model, all).at(2, t), std::nullopt) << "no kept reading: no base value";
}

TEST_F(Despike, TheMessageSaysTheShiftAndTheSpikes) {
  run_one(day({}, {}));
  ExportTally tally;
  tally.lines = 1;
  tally.readings = 19;
  const std::string head = "Export complete\r1 line and 19 readings written to x.xyz";
  struct Case {
    std::int64_t shift;
    std::optional<SpikesLeftOut> spikes;
    std::string added;
  };
  const std::vector<Case> cases = {
      {0, std::nullopt, ""},
      {37, std::nullopt, "\rThe base times were moved by +37 s before matching"},
      {-1, std::nullopt, "\rThe base times were moved by -1 s before matching"},
      {0, SpikesLeftOut{0, 0},
       "\rSpikes left out: 0 base readings; 0 field readings written without a corrected value"},
      {5, SpikesLeftOut{1, 1},
       "\rThe base times were moved by +5 s before matching\rSpikes left out: 1 base reading; 1 field reading "
       "written without a corrected value"},
      {0, SpikesLeftOut{3, 5},
       "\rSpikes left out: 3 base readings; 5 field readings written without a corrected value"},
  };
  for (const Case& c : cases) {
    model.base_shift_seconds = c.shift;
    tally.spikes = c.spikes;
    EXPECT_EQ(export_complete_message(model, tally, "x.xyz"), head + c.added);
  }
}

TEST_F(Despike, TheExportCountsWhatItLeftOut) {
  run_one(day({10}, {12}));
  exported(true);
  ASSERT_EQ(op.messages.size(), 1u);
  EXPECT_NE(op.messages[0].find("\rSpikes left out: 1 base reading; 1 field reading written without"),
            std::string::npos)
      << op.messages[0];
}

TEST_F(Despike, TheGridLeavesOutWhatTheExportDoesNotCorrect) {
  run_one(day({10}, {12}));
  const LeftOutSpikes spikes(model, SpikeOptions{});
  const GridInput plain = grid_input(model, false, 0.0f);
  const GridInput despiked = grid_input(model, false, 0.0f, &spikes);
  ASSERT_EQ(plain.points.size(), 19u);
  ASSERT_EQ(despiked.points.size(), 18u);
  EXPECT_FLOAT_EQ(despiked.points[9].value, 57309.0f - 58005.25f);
  EXPECT_FLOAT_EQ(plain.points[9].value, 57309.0f - 58030.25f);
}

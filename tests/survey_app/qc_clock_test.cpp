#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "model/survey_model.h"
#include "qc/clock.h"
#include "qc/diurnal.h"
#include "util/date_time.h"

namespace corvane {
namespace {

// Seconds of 12 May 2024 as a day number.
double clock(double seconds) {
  return static_cast<double>(days_from_civil(2024, 5, 12)) + seconds / static_cast<double>(seconds_per_day);
}
double hms(int h, int m, int s = 0) { return h * 3600.0 + m * 60.0 + s; }

// Builds a model as the reader leaves it: one checked node per block; times in seconds of the day.
struct Day {
  SurveyModel m;

  void add(BlockKind kind, const std::string& line, const std::vector<double>& seconds,
           const std::vector<float>& mags = {}) {
    Block b;
    b.kind = kind;
    b.line = line;
    b.first_reading = m.reading_count() + 1;
    b.num_readings = static_cast<std::int32_t>(seconds.size());
    for (std::size_t j = 0; j < seconds.size(); ++j)
      m.readings.push_back(
          Reading{clock(std::round(seconds[j])), static_cast<float>(j), mags.empty() ? 58000.0f : mags[j]});
    b.start_time = clock(std::round(seconds.front()));
    b.end_time = clock(std::round(seconds.back()));
    b.node = ++m.node_count;
    m.append_node(0, line, true);
    m.blocks.push_back(b);
    m.node_block.push_back(++m.block_count);
    (kind == field_kind ? m.data_block_count : m.base_block_count) += 1;
    m.match.resize(static_cast<std::size_t>(m.block_count) + 1);
  }
  // A field line's readings every `step` seconds over [from, to].
  void line(const std::string& name, double from, double to, double step = 10) {
    std::vector<double> t;
    for (double s = from; s <= to; s += step) t.push_back(s);
    add(field_kind, name, t);
  }
};

// Base readings every 10 s from 14:00 for 30 min: a steady drift, and one reading at 14:10
// raised by `bump`.
struct DiurnalCase {
  const char* name;
  float drift_per_minute;
  float bump;
  float limit;
  bool marked;
};

TEST(DiurnalRate, MarksBendsAboveTheLimitAndNotSteadyDrift) {
  const DiurnalCase cases[] = {
      {"flat, bump exactly at the limit", 0, 5.0f, 5, false},
      {"flat, bump just above the limit", 0, 5.1f, 5, true},
      {"steady drift", 3, 0, 5, false},
      {"fast steady drift", 30, 0, 5, false},
      {"drift and a bump above the limit", 3, 5.1f, 5, true},
      {"bump below a higher limit", 0, 9, 10, false},
      {"bump just above a lower limit", 0, 2.1f, 2, true},
  };
  for (const DiurnalCase& c : cases) {
    Day day;
    std::vector<double> t;
    std::vector<float> v;
    for (int k = 0; k <= 180; ++k) {
      t.push_back(hms(14, 0) + 10 * k);
      v.push_back(58000.0f + c.drift_per_minute * static_cast<float>(k) / 6.0f + (k == 60 ? c.bump : 0.0f));
    }
    day.add(base_kind, "BS1", t, v);
    const auto stretches = diurnal_stretches(day.m, DiurnalLimit{c.limit, 2});
    ASSERT_EQ(stretches.size(), c.marked ? 1u : 0u) << c.name;
    if (!c.marked) continue;
    // The windows that hold 14:10:00 strictly inside start 14:08:10 to 14:09:50.
    EXPECT_NEAR(stretches[0].start, clock(hms(14, 8, 10)), 1e-9) << c.name;
    EXPECT_NEAR(stretches[0].end, clock(hms(14, 11, 50)), 1e-9) << c.name;
    EXPECT_NEAR(stretches[0].change, c.bump, 0.01) << c.name;
    EXPECT_NEAR(stretches[0].at, clock(hms(14, 10)), 1e-9) << c.name;
  }
}

TEST(DiurnalRate, NamesTheLinesSurveyedDuringAStretch) {
  Day day;
  std::vector<double> t;
  std::vector<float> v;
  for (int k = 0; k <= 180; ++k) {
    t.push_back(hms(14, 0) + 10 * k);
    // Two bends: 6 nT at 14:10 and 9.3 nT at 14:25.
    v.push_back(58000.0f + (k == 60 ? 6.0f : 0.0f) + (k == 150 ? 9.3f : 0.0f));
  }
  day.add(base_kind, "BS1", t, v);
  day.line("100N", hms(14, 0), hms(14, 7));    // ends before the first stretch
  day.line("150N", hms(14, 11), hms(14, 20));  // within the first
  day.line("200N", hms(14, 13), hms(14, 20));  // between the two
  day.line("250N", hms(14, 9), hms(14, 29));   // over both: the larger change
  const std::vector<std::string> expected = {
      "Line 150N was surveyed while the base changed 6.0 nT in 2 min at 14:10",
      "Line 250N was surveyed while the base changed 9.3 nT in 2 min at 14:25",
  };
  EXPECT_EQ(diurnal_messages(day.m, diurnal_stretches(day.m, DiurnalLimit{}), 2), expected);
  // Taken as a spike, the reading at 14:25 bends nothing: 250N is left with the first bend.
  std::vector<std::uint8_t> spikes(day.m.readings.size(), 0);
  spikes[static_cast<std::size_t>(day.m.block(1).first_reading + 150)] = 1;
  EXPECT_EQ(diurnal_messages(day.m, diurnal_stretches(day.m, DiurnalLimit{}, spikes), 2),
            (std::vector<std::string>{expected[0],
                                      "Line 250N was surveyed while the base changed 6.0 nT in 2 min at 14:10"}));
}

// Base sessions of 40 min at irregular times, each with two field lines of 15 min inside,
// and one line of an hour that no session could cover. The base times run `shift` seconds
// ahead of the rover's.
SurveyModel sessions_day(double shift) {
  Day day;
  for (const double start : {hms(8, 0), hms(11, 0), hms(13, 30)}) {
    std::vector<double> t;
    for (double s = start; s <= start + 2400; s += 30) t.push_back(s + shift);
    day.add(base_kind, "BS1", t);
    day.line("L" + std::to_string(static_cast<int>(start / 60)) + "a", start + 300, start + 1200);
    day.line("L" + std::to_string(static_cast<int>(start / 60)) + "b", start + 1200, start + 2100);
  }
  day.line("long", hms(16, 0), hms(17, 0));
  return day.m;
}

TEST(ClockShift, HintsTheWholeHourThatCoversTheLines) {
  struct Case {
    double shift;
    const char* summary;
  } const cases[] = {
      {3600, "The base clock looks 1 h ahead of the rover: 6 of 7 lines would be covered"},
      {-3600, "The base clock looks 1 h behind the rover: 6 of 7 lines would be covered"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> hints = clock_shift_hints(sessions_day(c.shift));
    ASSERT_EQ(hints.size(), 7u) << c.summary;  // the summary and one for each short line
    EXPECT_EQ(hints[0], c.summary);
    for (std::size_t i = 1; i < hints.size(); ++i)
      EXPECT_NE(hints[i].find(c.shift > 0 ? "1 h ahead of" : "1 h behind"), std::string::npos) << hints[i];
  }
}

TEST(ClockShift, CoveredDayGivesNoHint) { EXPECT_TRUE(clock_shift_hints(sessions_day(0)).empty()); }

TEST(ClockShift, AHintNamesALongLineWhole) {
  Day day;
  std::vector<double> t;
  for (double s = hms(9, 0); s <= hms(9, 40); s += 30) t.push_back(s);
  day.add(base_kind, "BS1", t);
  const std::string name(300, 'N');
  day.line(name, hms(8, 5), hms(8, 20));
  const std::vector<std::string> hints = clock_shift_hints(day.m);
  ASSERT_FALSE(hints.empty());
  EXPECT_EQ(hints.back(),
            "Line " + name + " has no base session covering it; one would with the base clock 1 h ahead of the rover");
}

// Short-period variation: many waves of periods 20 to 200 s, about 2 nT rms.
class Pulsations {
public:
  explicit Pulsations(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> period(20, 200), phase(0, 2 * std::numbers::pi);
    for (int i = 0; i < 40; ++i) waves_.push_back({2 * std::numbers::pi / period(random), phase(random)});
  }
  double operator()(double t) const {
    double v = 0;
    for (const auto& [w, p] : waves_) v += 0.45 * std::sin(w * t + p);
    return v;
  }

private:
  std::vector<std::pair<double, double>> waves_;
};

// A day of 12 lines of 300 readings every 2 s over a smooth anomaly, and a base read every 5 s
// whose clock runs `shift` seconds ahead. Values carry 0.1 nT noise and are kept to 0.1 nT.
SurveyModel pulsation_day(double shift, bool pulsations) {
  const Pulsations waves(7);
  std::mt19937 random(11);
  std::normal_distribution<double> noise(0, 0.1);
  const auto field = [&](double t) {
    const double diurnal = 15 * std::sin(2 * std::numbers::pi * t / 21600);
    return 58000 + diurnal + (pulsations ? waves(t) : 0) + noise(random);
  };
  const auto kept = [](double v) { return static_cast<float>(std::round(v * 10) / 10); };
  Day day;
  const double first = hms(8, 0);
  std::vector<double> bt;
  std::vector<float> bv;
  for (double t = first - 600; t <= first + 12 * 660 + 600; t += 5) {
    bt.push_back(t + shift);
    bv.push_back(kept(field(t) - 50));
  }
  day.add(base_kind, "BS1", bt, bv);
  for (int l = 0; l < 12; ++l) {
    std::vector<double> t;
    std::vector<float> v;
    for (int k = 0; k < 300; ++k) {
      const double x = k;  // station along the line
      const double anomaly = 80 * std::exp(-0.5 * std::pow((x - 100 - 10 * l) / 50, 2)) -
                             40 * std::exp(-0.5 * std::pow((x - 220) / 70, 2)) + 0.05 * x;
      t.push_back(first + l * 660 + 2 * k);
      v.push_back(kept(field(t.back()) + anomaly));
    }
    day.add(field_kind, std::to_string(100 + 50 * l) + "N", t, v);
  }
  return day.m;
}

TEST(ClockOffsetEstimate, FindsTheOffsetFromPulsations) {
  for (const double shift : {37.0, 0.0, -53.0, 110.0}) {
    const ClockOffset offset = estimate_clock_offset(pulsation_day(shift, true));
    EXPECT_TRUE(offset.found) << shift << ": " << offset.message;
    EXPECT_NEAR(offset.seconds, shift, 2.0) << offset.message;
    std::printf("shift %+.0f s: %s (%.2f s)\n", shift, offset.message.c_str(), offset.seconds);
  }
}

TEST(ClockOffsetEstimate, NotPossibleWithoutPulsations) {
  const ClockOffset offset = estimate_clock_offset(pulsation_day(37, false));
  EXPECT_FALSE(offset.found) << offset.message;
  std::printf("%s\n", offset.message.c_str());
}

TEST(ClockOffsetEstimate, NotPossibleWithoutBase) {
  SurveyModel m = pulsation_day(0, true);
  m.node(m.block(1).node).checked = false;
  EXPECT_FALSE(estimate_clock_offset(m).found);
}

}  // namespace
}  // namespace corvane

#include "qc/spikes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dump_fixture.h"

namespace corvane {
namespace {

// Gaussian-looking noise of unit spread from a fixed sequence (the sum of four uniforms).
class Noise {
public:
  double next() {
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
      state_ = state_ * 1664525u + 1013904223u;
      sum += static_cast<double>(state_ >> 8) / 16777216.0 - 0.5;
    }
    return sum * std::sqrt(3.0);
  }

private:
  std::uint32_t state_ = 1996;
};

// 300 stations: a regional gradient, 0.3 nT noise and, with anomalies, a 2000 nT one over a
// body 3 stations deep at station 150 and a 600 nT contact 4 stations wide at station 240.
std::vector<float> profile(bool anomalies) {
  Noise noise;
  std::vector<float> v;
  for (int i = 0; i < 300; ++i) {
    const double x = i - 150.0, h = 3.0, r2 = x * x + h * h;
    const double anomaly = anomalies ? 2000.0 * (2.0 * h * h - x * x) / std::pow(r2, 2.5) * h * h * h / 2.0 +
                                           300.0 * std::tanh((i - 240.0) / 2.0)
                                     : 0.0;
    v.push_back(static_cast<float>(56000.0 + 1.5 * i + anomaly + 0.3 * noise.next()));
  }
  return v;
}

// 2000 readings 2 s apart: a diurnal curve with 2.5 nT pulsations of 20 s and 150 s.
std::vector<float> base_curve() {
  Noise noise;
  std::vector<float> v;
  for (int i = 0; i < 2000; ++i) {
    const double t = 36000.0 + 2.0 * i;
    v.push_back(static_cast<float>(57500.0 - 25.0 * std::sin((t / 3600.0 - 7.0) / 12.0 * M_PI) +
                                   2.5 * std::sin(2.0 * M_PI * t / 20.0) +
                                   2.5 * std::sin(2.0 * M_PI * t / 150.0 + 1.0) + 0.1 * noise.next()));
  }
  return v;
}

std::vector<std::size_t> flagged_at(const std::vector<std::uint8_t>& flags) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < flags.size(); ++i)
    if (flags[i]) at.push_back(i);
  return at;
}

TEST(SpikeFlags, InjectedSpikesAreFoundAndNothingElse) {
  struct Case {
    std::vector<float> values;
    std::size_t at;
    int width;
    float size;
  };
  const std::vector<Case> cases = {
      {profile(false), 40, 1, 8.0f},    {profile(false), 60, 1, -8.0f},   {profile(false), 80, 2, 30.0f},
      {profile(false), 100, 2, -30.0f}, {profile(false), 200, 3, 150.0f}, {profile(false), 220, 3, -150.0f},
      {profile(true), 60, 3, 20.0f},    {profile(true), 143, 1, 60.0f},   {profile(true), 157, 2, -60.0f},
      {profile(true), 236, 1, 40.0f},   {base_curve(), 500, 1, -40.0f},   {base_curve(), 900, 3, 60.0f},
      {base_curve(), 1300, 1, 6.0f},    {base_curve(), 1500, 2, -6.0f},
  };
  for (const Case& c : cases) {
    std::vector<float> v = c.values;
    for (int k = 0; k < c.width; ++k) v[c.at + static_cast<std::size_t>(k)] += c.size;
    const auto at = flagged_at(spike_flags(v));
    SCOPED_TRACE("spike of " + std::to_string(c.size) + " nT, " + std::to_string(c.width) + " wide at " +
                 std::to_string(c.at));
    ASSERT_FALSE(at.empty());
    for (std::size_t i : at) {
      EXPECT_GE(i, c.at);
      EXPECT_LT(i, c.at + static_cast<std::size_t>(c.width));
    }
  }
}

// In a short quiet session, two spikes spoil most of the fits about them: each still stands
// out, apart or side by side.
TEST(SpikeFlags, TwoSpikesInAShortSessionAreBothFound) {
  for (const std::size_t second : {12u, 6u}) {
    std::vector<float> v(21);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = 58000.0f + 0.5f * static_cast<float>(i);
    v[5] += 50.0f;
    v[second] += 50.0f;
    EXPECT_EQ(flagged_at(spike_flags(v)), (std::vector<std::size_t>{5, second})) << "second at " << second;
  }
}

TEST(SpikeFlags, CleanSequencesHaveNone) {
  for (const auto& values : {profile(true), base_curve()}) EXPECT_TRUE(flagged_at(spike_flags(values)).empty());
}

TEST(SpikeFlags, DepartureExactlyAtTheToleranceIsNoSpike) {
  struct Case {
    float value;
    bool spike;
  };
  const Case cases[] = {{1004.0f, false},
                        {996.0f, false},
                        {std::nextafter(1004.0f, 2000.0f), true},
                        {std::nextafter(996.0f, 0.0f), true}};
  for (const Case& c : cases) {
    std::vector<float> v(20, 1000.0f);
    v[10] = c.value;
    const auto flags = spike_flags(v, SpikeOptions{6, 4.0f});
    EXPECT_EQ(flagged_at(flags), c.spike ? std::vector<std::size_t>{10} : std::vector<std::size_t>{}) << c.value;
  }
}

TEST(SpikeFlags, NullReadingsAreNeitherFlaggedNorNeighbours) {
  // Were the nulls values, every reading would be a spike; and the spike at 6 has only
  // nulls beside it.
  std::vector<float> v(30, 1000.0f);
  for (std::size_t i : {1, 4, 5, 7, 11, 20, 21, 22}) v[i] = null_value;
  v[6] = 1060.0f;
  EXPECT_EQ(flagged_at(spike_flags(v)), std::vector<std::size_t>{6});
  EXPECT_TRUE(flagged_at(spike_flags(std::vector<float>(10, null_value))).empty());
}

class SpikeModelTest : public test::ReaderTest {};

TEST_F(SpikeModelTest, FlagsByReadingRowWithBaseBlocksInTimeOrder) {
  // The base rises 10 nT a reading; its 5th and 6th lines are swapped in time, which in
  // reading order would look like two spikes. The real spikes: base 10:05:00, station 70N.
  std::string base = test::fixed_base_header("05/12/96") + "  TIME     BASE\n";
  const int base_order[] = {0, 1, 2, 3, 5, 4, 6, 7, 8, 9, 10, 11, 12, 13};
  for (int k : base_order) {
    char time[32];
    std::snprintf(time, sizeof time, "10:%02d:%02d", k / 2, k % 2 * 30);
    const double value = 58000.0 + 10.0 * k + (k == 10 ? 50.0 : 0.0);
    base += test::fixed_base_line(time, std::to_string(value).substr(0, 7)) + "\n";
  }
  std::string field = test::fixed_field_header("300N", "05/12/96") + "STATION  MAG   SD   TIME\n";
  for (int k = 0; k < 14; ++k) {
    char time[9], station[9];
    std::snprintf(time, sizeof time, "10:%02d:00", k);
    std::snprintf(station, sizeof station, "%06dN", 10 * k);
    const double value = 57300.0 + (k == 7 ? -35.0 : 0.0);
    field += test::fixed_field_line(station, std::to_string(value).substr(0, 7), time) + "\n";
  }
  run_one(base + field);
  ASSERT_EQ(model.block_count, 2);
  const SpikeFlags flags = flag_spikes(model);
  ASSERT_EQ(flags.reading.size(), model.readings.size());
  EXPECT_EQ(flags.base, 1);
  EXPECT_EQ(flags.field, 1);
  std::vector<std::size_t> rows = flagged_at(flags.reading);
  ASSERT_EQ(rows.size(), 2u);
  for (std::size_t r : rows) {
    const Reading& reading = model.reading(static_cast<std::int32_t>(r));
    if (model.block(1).kind == base_kind && r < static_cast<std::size_t>(model.block(2).first_reading))
      EXPECT_FLOAT_EQ(reading.mag, 58150.0f);
    else
      EXPECT_FLOAT_EQ(reading.mag, 57265.0f);
  }
}

}  // namespace
}  // namespace corvane

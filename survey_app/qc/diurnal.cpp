#include "qc/diurnal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "util/date_time.h"

namespace corvane {

namespace {

struct Sample {
  double time = 0.0;
  double mag = 0.0;
};

// A base block's readings with a value and a time, in time order, less those left out.
std::vector<Sample> base_series(const SurveyModel& m, const Block& base, std::span<const std::uint8_t> left_out) {
  std::vector<Sample> s;
  s.reserve(static_cast<std::size_t>(base.num_readings));
  for (std::int32_t r = base.first_reading; r < base.first_reading + base.num_readings; ++r) {
    const Reading& x = m.reading(r);
    if (row_flagged(left_out, r)) continue;
    if (x.mag != null_value && !std::isnan(x.time)) s.push_back(Sample{x.time, static_cast<double>(x.mag)});
  }
  std::stable_sort(s.begin(), s.end(), [](const Sample& a, const Sample& b) { return a.time < b.time; });
  return s;
}

// The value at t, linearly interpolated between the readings around it; s[from].time <= t.
// A reading within a millisecond of t gives its own value; past the last reading, the last.
Sample value_at(const std::vector<Sample>& s, std::size_t from, double t) {
  const double near = 0.001 / static_cast<double>(seconds_per_day);
  auto after = std::upper_bound(s.begin() + static_cast<std::ptrdiff_t>(from), s.end(), t - near,
                                [](double x, const Sample& a) { return x < a.time; });
  if (after == s.end()) return s.back();
  if (after->time <= t + near) return *after;
  const Sample& a = *std::prev(after);
  const Sample& b = *after;
  if (!(b.time > a.time)) return Sample{t, a.mag};
  return Sample{t, a.mag + (t - a.time) * (b.mag - a.mag) / (b.time - a.time)};
}

// The stretches of one base block, merged.
void mark_block(std::int32_t block, const std::vector<Sample>& s, const DiurnalLimit& limit,
                std::vector<DiurnalStretch>& out) {
  const double window = limit.minutes * 60.0 / static_cast<double>(seconds_per_day);
  const std::size_t first_of_block = out.size();
  for (std::size_t i = 0; i + 1 < s.size(); ++i) {
    const Sample a = s[i];
    const Sample b = value_at(s, i, a.time + window);
    if (!(b.time > a.time)) continue;
    double worst = 0.0, worst_at = a.time;
    for (std::size_t j = i + 1; j < s.size() && s[j].time < b.time; ++j) {
      const double chord = a.mag + (s[j].time - a.time) * (b.mag - a.mag) / (b.time - a.time);
      const double departure = std::fabs(s[j].mag - chord);
      if (departure > worst) {
        worst = departure;
        worst_at = s[j].time;
      }
    }
    if (!(worst > static_cast<double>(limit.nt))) continue;
    if (out.size() > first_of_block && a.time <= out.back().end) {
      DiurnalStretch& last = out.back();
      last.end = std::max(last.end, b.time);
      if (worst > last.change) {
        last.change = worst;
        last.at = worst_at;
      }
    } else {
      out.push_back(DiurnalStretch{block, a.time, b.time, worst, worst_at});
    }
  }
}

}  // namespace

std::vector<DiurnalStretch> diurnal_stretches(const SurveyModel& m, const DiurnalLimit& limit,
                                              std::span<const std::uint8_t> left_out) {
  std::vector<DiurnalStretch> out;
  if (!(limit.minutes > 0.0)) return out;
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const Block& block = m.block(b);
    if (block.kind != base_kind || block.num_readings < 2 || !m.block_checked(b)) continue;
    mark_block(b, base_series(m, block, left_out), limit, out);
  }
  return out;
}

std::string diurnal_message(const std::string& line, const DiurnalStretch& stretch, double minutes) {
  char text[160];
  std::snprintf(text, sizeof text, "Line %s was surveyed while the base changed %.1f nT in %g min at %s", line.c_str(),
                stretch.change, minutes, format_hms(stretch.at).substr(0, 5).c_str());
  return text;
}

std::vector<std::string> diurnal_messages(const SurveyModel& m, const std::vector<DiurnalStretch>& stretches,
                                          double minutes) {
  std::vector<std::string> out;
  for (std::int32_t f = 1; f <= m.block_count && !stretches.empty(); ++f) {
    const Block& field = m.block(f);
    if (field.kind != field_kind || field.num_readings < 1) continue;
    const DiurnalStretch* largest = nullptr;
    for (const DiurnalStretch& s : stretches)
      if (field.start_time <= s.end && s.start <= field.end_time && (!largest || s.change > largest->change))
        largest = &s;
    if (largest) out.push_back(diurnal_message(field.line, *largest, minutes));
  }
  return out;
}

}  // namespace corvane

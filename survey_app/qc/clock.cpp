#include "qc/clock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>

#include "util/date_time.h"

namespace corvane {

namespace {

struct SecondsSpan {
  std::int64_t start = 0;
  std::int64_t end = 0;
};

bool spans_compare(const Block& b) { return !std::isnan(b.start_time) && !std::isnan(b.end_time); }

SecondsSpan seconds_span(const Block& b) { return {whole_seconds(b.start_time), whole_seconds(b.end_time)}; }

// Whether one of the base spans, moved by `shift` seconds, covers the field span whole.
bool covered_with_shift(const std::vector<SecondsSpan>& bases, SecondsSpan field, std::int64_t shift) {
  return std::any_of(bases.begin(), bases.end(),
                     [&](SecondsSpan b) { return b.start + shift <= field.start && field.end <= b.end + shift; });
}

// "1 h behind" or "2 h ahead of"
std::string shift_text(int hours) {
  return std::to_string(std::abs(hours)) + (hours > 0 ? " h behind" : " h ahead of");
}

std::string hint_text(const std::string& line, int hours) {
  return "Line " + line + " has no base session covering it; one would with the base clock " + shift_text(hours) +
         " the rover";
}

std::string summary_text(int hours, int covered, int lines) {
  return "The base clock looks " + shift_text(hours) + " the rover: " + std::to_string(covered) + " of " +
         std::to_string(lines) + " lines would be covered";
}

}  // namespace

namespace {

// The checked base blocks' spans and the field lines of two readings or more.
struct ClockSpans {
  std::vector<SecondsSpan> bases;
  std::vector<std::int32_t> fields;
};

ClockSpans clock_spans(const SurveyModel& m) {
  ClockSpans spans;
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const Block& block = m.block(b);
    if (block.num_readings < 2 || !spans_compare(block)) continue;
    if (block.kind == field_kind) spans.fields.push_back(b);
    if (block.kind == base_kind && m.block_checked(b)) spans.bases.push_back(seconds_span(block));
  }
  return spans;
}

}  // namespace

std::vector<int> clock_shift_hours(const SurveyModel& m) {
  std::vector<int> hours(static_cast<std::size_t>(m.block_count) + 1, 0);
  const ClockSpans spans = clock_spans(m);
  for (const std::int32_t f : spans.fields) {
    const SecondsSpan field = seconds_span(m.block(f));
    if (covered_with_shift(spans.bases, field, 0)) continue;
    int& shift = hours[static_cast<std::size_t>(f)];
    for (int h = 1; h <= 14 && shift == 0; ++h)
      shift = covered_with_shift(spans.bases, field, h * 3600)    ? h
              : covered_with_shift(spans.bases, field, -h * 3600) ? -h
                                                                  : 0;
  }
  return hours;
}

std::vector<std::string> clock_shift_hints(const SurveyModel& m) {
  const ClockSpans spans = clock_spans(m);
  const std::vector<int> hours = clock_shift_hours(m);
  std::vector<std::string> hints;
  std::map<int, int> lines_hinted;  // shift in hours: field lines given it
  for (const std::int32_t f : spans.fields) {
    const int shift = hours[static_cast<std::size_t>(f)];
    if (shift == 0) continue;
    hints.push_back(hint_text(m.block(f).line, shift));
    ++lines_hinted[shift];
  }
  const auto most = std::max_element(lines_hinted.begin(), lines_hinted.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
  if (most != lines_hinted.end() && 2 * most->second > static_cast<int>(spans.fields.size())) {
    const auto covered = std::count_if(spans.fields.begin(), spans.fields.end(), [&](std::int32_t f) {
      return covered_with_shift(spans.bases, seconds_span(m.block(f)), std::int64_t{most->first} * 3600);
    });
    hints.insert(hints.begin(),
                 summary_text(most->first, static_cast<int>(covered), static_cast<int>(spans.fields.size())));
  }
  return hints;
}

namespace {

constexpr int max_lag = 120;          // seconds either way
constexpr double half_window = 90.0;  // seconds each side of the local trend
constexpr double min_strength = 0.3;
constexpr double min_margin = 0.05;
constexpr std::size_t min_pairs = 200;

struct Sample {
  double t = 0.0;  // seconds from the first reading of the model's day numbers
  double v = 0.0;
};

// Readings [first, first + count) with a value, in time order, times in seconds from `origin`.
std::vector<Sample> samples_of(const SurveyModel& m, const Block& b, double origin) {
  std::vector<Sample> s;
  for (std::int32_t r = b.first_reading; r < b.first_reading + b.num_readings; ++r) {
    const Reading& x = m.reading(r);
    if (x.mag != null_value && !std::isnan(x.time))
      s.push_back(Sample{(x.time - origin) * static_cast<double>(seconds_per_day), static_cast<double>(x.mag)});
  }
  std::stable_sort(s.begin(), s.end(), [](const Sample& a, const Sample& b) { return a.t < b.t; });
  return s;
}

// Each value less the parabola fitted by least squares to the values within half_window of
// its time: what is left is the variation shorter than a few minutes. A parabola rather
// than a line, as the rover's anomaly curves along a line within that time.
std::vector<Sample> high_passed(const std::vector<Sample>& s) {
  std::vector<Sample> out(s.size());
  std::size_t lo = 0, hi = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    while (s[lo].t < s[i].t - half_window) ++lo;
    while (hi < s.size() && s[hi].t <= s[i].t + half_window) ++hi;
    // Moments of time (seconds from s[i], scaled) and of value about s[i].
    double m[5] = {}, v[3] = {};
    for (std::size_t j = lo; j < hi; ++j) {
      const double t = (s[j].t - s[i].t) / half_window, y = s[j].v - s[i].v;
      const double powers[5] = {1, t, t * t, t * t * t, t * t * t * t};
      for (int k = 0; k < 5; ++k) m[k] += powers[k];
      for (int k = 0; k < 3; ++k) v[k] += powers[k] * y;
    }
    // The intercept of the normal equations by Cramer's rule; with too few distinct times
    // for a parabola, the mean.
    const auto det3 = [](double a, double b, double c, double d, double e, double f, double g, double h, double k) {
      return a * (e * k - f * h) - b * (d * k - f * g) + c * (d * h - e * g);
    };
    const double det = det3(m[0], m[1], m[2], m[1], m[2], m[3], m[2], m[3], m[4]);
    const double intercept = std::fabs(det) > 1e-9 * m[0] * m[0] * m[0]
                                 ? det3(v[0], m[1], m[2], v[1], m[2], m[3], v[2], m[3], m[4]) / det
                                 : v[0] / m[0];
    out[i] = Sample{s[i].t, -intercept};
  }
  return out;
}

// A base block's high-passed values, interpolated.
struct BaseSeries {
  std::vector<Sample> s;
  double at(double t) const {
    const auto after = std::upper_bound(s.begin(), s.end(), t, [](double x, const Sample& a) { return x < a.t; });
    if (after == s.begin()) return s.front().v;
    if (after == s.end()) return s.back().v;
    const Sample& a = *std::prev(after);
    const Sample& b = *after;
    return b.t > a.t ? a.v + (t - a.t) * (b.v - a.v) / (b.t - a.t) : a.v;
  }
};

// Pearson's correlation of x and y.
double correlation(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = static_cast<double>(x.size());
  double sx = 0, sy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sx += x[i];
    sy += y[i];
  }
  double sxx = 0, syy = 0, sxy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double dx = x[i] - sx / n, dy = y[i] - sy / n;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  }
  return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
}

// The largest local maximum of c other than the one at `peak` (the ends count when above
// their neighbour); the lowest value when there is none.
double next_best(const std::vector<double>& c, std::size_t peak) {
  double best = *std::min_element(c.begin(), c.end());
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (i == peak) continue;
    const bool left = i == 0 || c[i] >= c[i - 1];
    const bool right = i + 1 == c.size() || c[i] >= c[i + 1];
    if (left && right) best = std::max(best, c[i]);
  }
  return best;
}

std::string not_possible(const std::string& reason) { return "A base clock offset cannot be estimated: " + reason; }

}  // namespace

ClockOffset estimate_clock_offset(const SurveyModel& m) {
  ClockOffset result;
  double origin = 0.0;
  for (std::int32_t r = 1; r <= m.reading_count(); ++r)
    if (!std::isnan(m.reading(r).time)) {
      origin = m.reading(r).time;
      break;
    }
  std::vector<BaseSeries> bases;
  for (std::int32_t b = 1; b <= m.block_count; ++b)
    if (m.block(b).kind == base_kind && m.block_checked(b) && m.block(b).num_readings >= 2)
      if (auto s = samples_of(m, m.block(b), origin); s.size() >= 2) bases.push_back(BaseSeries{high_passed(s)});

  // The rover's high-passed values, each paired with a base block that spans its time at
  // every lag, so that every lag sees the same readings.
  std::vector<double> rover;
  std::vector<const BaseSeries*> partner;
  std::vector<double> rover_time;
  for (std::int32_t f = 1; f <= m.block_count; ++f) {
    if (m.block(f).kind != field_kind || m.block(f).num_readings < 2) continue;
    const std::vector<Sample> line = high_passed(samples_of(m, m.block(f), origin));
    for (const Sample& x : line) {
      const auto base = std::find_if(bases.begin(), bases.end(), [&](const BaseSeries& b) {
        return b.s.front().t <= x.t - max_lag && x.t + max_lag <= b.s.back().t;
      });
      if (base == bases.end()) continue;
      rover.push_back(x.v);
      rover_time.push_back(x.t);
      partner.push_back(&*base);
    }
  }
  if (rover.size() < min_pairs) {
    result.message = not_possible("too few rover readings fall within a base session");
    return result;
  }
  std::vector<double> c;
  std::vector<double> base_values(rover.size());
  for (int lag = -max_lag; lag <= max_lag; ++lag) {
    for (std::size_t i = 0; i < rover.size(); ++i) base_values[i] = partner[i]->at(rover_time[i] + lag);
    c.push_back(correlation(rover, base_values));
  }
  const auto peak = static_cast<std::size_t>(std::max_element(c.begin(), c.end()) - c.begin());
  result.strength = c[peak];
  result.margin = c[peak] - next_best(c, peak);
  double seconds = static_cast<double>(peak) - max_lag;
  if (peak > 0 && peak + 1 < c.size()) {
    const double down = c[peak - 1] - 2 * c[peak] + c[peak + 1];
    if (down < 0) seconds += 0.5 * (c[peak - 1] - c[peak + 1]) / down;
  }
  result.seconds = seconds;
  char numbers[120];
  std::snprintf(numbers, sizeof numbers, "correlation %.2f, %.2f above the next best", result.strength, result.margin);
  if (peak == 0 || peak + 1 == c.size()) {
    result.message = not_possible(std::string("the best match lies at the end of the ±120 s range (") + numbers + ")");
  } else if (result.strength < min_strength || result.margin < min_margin) {
    result.message =
        not_possible(std::string("base and rover share too little short-period variation (") + numbers + ")");
  } else {
    result.found = true;
    char text[240];
    if (std::fabs(seconds) < 0.5)
      std::snprintf(text, sizeof text, "The base and rover clocks agree within a second (%s)", numbers);
    else
      std::snprintf(text, sizeof text, "The base clock looks %.0f s %s the rover (%s); not applied", std::fabs(seconds),
                    seconds > 0 ? "ahead of" : "behind", numbers);
    result.message = text;
  }
  return result;
}

}  // namespace corvane

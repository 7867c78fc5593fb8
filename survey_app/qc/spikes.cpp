#include "qc/spikes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>

#include "util/ordered_pipeline.h"

namespace corvane {

namespace {

constexpr double mad_to_sigma = 1.4826;  // the MAD of normal noise times this is its standard deviation

// The median of v, which it reorders; the mean of the middle two for an even count.
double median_of(std::span<double> v) {
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  const double upper = *mid;
  if (v.size() % 2 != 0) return upper;
  return 0.5 * (upper + *std::max_element(v.begin(), mid));
}

// The noise level of one value of x: the MAD of its second differences, which white noise
// makes sqrt(6) times its own standard deviation.
double sequence_noise(std::span<const double> x) {
  if (x.size() < 3) return 0.0;
  std::vector<double> d(x.size() - 2);
  for (std::size_t i = 0; i + 2 < x.size(); ++i) d[i] = x[i] - 2.0 * x[i + 1] + x[i + 2];
  const double centre = median_of(d);
  for (double& v : d) v = std::fabs(v - centre);
  return mad_to_sigma * median_of(d) / std::sqrt(6.0);
}

// How a value stands against its neighbours.
struct Judgement {
  double departure = 0.0;  // from the smooth of the neighbours
  double scatter = 0.0;    // the neighbours' noise level about that smooth
};

struct Scratch {
  std::vector<double> at, value, work;
};

// The smooth at position i of x: the median of the neighbours once their Theil-Sen trend is
// taken out, both robust to the other spikes a neighbourhood may hold. Neighbours are the
// nearest `before` and `after` unflagged values on each side; fewer than 3 judge nothing.
bool judge(std::span<const double> x, const std::vector<std::uint8_t>& flagged, std::size_t i, int before, int after,
           Scratch& s, Judgement& out) {
  s.at.clear();
  s.value.clear();
  for (std::size_t j = i, found = 0; j > 0 && found < static_cast<std::size_t>(before);)
    if (!flagged[--j]) {
      s.at.push_back(static_cast<double>(j) - static_cast<double>(i));
      s.value.push_back(x[j]);
      ++found;
    }
  for (std::size_t j = i + 1, found = 0; j < x.size() && found < static_cast<std::size_t>(after); ++j)
    if (!flagged[j]) {
      s.at.push_back(static_cast<double>(j) - static_cast<double>(i));
      s.value.push_back(x[j]);
      ++found;
    }
  const std::size_t n = s.at.size();
  if (n < 3) return false;
  s.work.clear();
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = a + 1; b < n; ++b) s.work.push_back((s.value[b] - s.value[a]) / (s.at[b] - s.at[a]));
  const double slope = median_of(s.work);
  s.work.clear();
  for (std::size_t a = 0; a < n; ++a) s.work.push_back(s.value[a] - slope * s.at[a]);
  const double level = median_of(s.work);
  for (std::size_t a = 0; a < n; ++a) s.work[a] = std::fabs(s.value[a] - slope * s.at[a] - level);
  out.departure = x[i] - level;
  out.scatter = mad_to_sigma * median_of(s.work);
  return true;
}

// The spike rule: a departure above both the absolute tolerance and noise_factor times the
// noise level; one exactly at the limit is no spike.
bool is_spike(const Judgement& j, double sequence_noise_level, const SpikeOptions& o) {
  const double noise = std::max(sequence_noise_level, j.scatter);
  const double limit = std::max(static_cast<double>(o.tolerance_nt), static_cast<double>(o.noise_factor) * noise);
  return std::fabs(j.departure) > limit;
}

bool usable(float v) { return v != null_value && std::isfinite(v); }

// The values of a block in the order the filter sees them, with their reading rows.
struct BlockValues {
  std::vector<std::int32_t> rows;
  std::vector<float> values;
  std::vector<std::uint8_t> flags;
};

// A base block's rows by time, its reading order when that already is time order (times
// that are not numbers go last).
void rows_in_filter_order(const SurveyModel& model, const Block& block, std::vector<std::int32_t>& rows) {
  rows.resize(static_cast<std::size_t>(std::max(block.num_readings, 0)));
  std::iota(rows.begin(), rows.end(), block.first_reading);
  if (block.kind != base_kind) return;
  const auto key = [&](std::int32_t r) {
    const double t = model.reading(r).time;
    return std::isnan(t) ? std::numeric_limits<double>::infinity() : t;
  };
  const auto earlier = [&](std::int32_t a, std::int32_t b) { return key(a) < key(b); };
  if (!std::is_sorted(rows.begin(), rows.end(), earlier)) std::stable_sort(rows.begin(), rows.end(), earlier);
}

}  // namespace

std::vector<std::uint8_t> spike_flags(std::span<const float> values, const SpikeOptions& options) {
  if (options.window < 3)
    throw std::invalid_argument("spike window of " + std::to_string(options.window) + ": below 3");
  std::vector<std::uint8_t> result(values.size(), 0);
  std::vector<std::size_t> position;  // of each usable value in `values`
  std::vector<double> x;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (usable(values[i])) {
      position.push_back(i);
      x.push_back(values[i]);
    }
  const int before = options.window / 2, after = options.window - before;
  const double noise = sequence_noise(x);
  std::vector<std::uint8_t> flagged(x.size(), 0), queued(x.size(), 0);
  std::vector<std::size_t> candidates(x.size()), found;
  std::iota(candidates.begin(), candidates.end(), std::size_t{0});
  Scratch scratch;
  while (!candidates.empty()) {
    found.clear();
    for (std::size_t i : candidates) {
      Judgement j;
      if (judge(x, flagged, i, before, after, scratch, j) && is_spike(j, noise, options)) found.push_back(i);
    }
    // Judged again: the unflagged values that had a new spike among their neighbours.
    candidates.clear();
    for (std::size_t f : found) {
      for (std::size_t j = f, seen = 0; j > 0 && seen < static_cast<std::size_t>(after);)
        if (!flagged[--j]) ++seen, queued[j] = 1;
      for (std::size_t j = f + 1, seen = 0; j < x.size() && seen < static_cast<std::size_t>(before); ++j)
        if (!flagged[j]) ++seen, queued[j] = 1;
    }
    for (std::size_t f : found) flagged[f] = 1;
    for (std::size_t i = 0; i < x.size() && !found.empty(); ++i)
      if (queued[i]) {
        queued[i] = 0;
        if (!flagged[i]) candidates.push_back(i);
      }
  }
  for (std::size_t i = 0; i < x.size(); ++i) result[position[i]] = flagged[i];
  return result;
}

SpikeFlags flag_spikes(const SurveyModel& model, const SpikeOptions& options) {
  SpikeFlags out;
  out.reading.assign(model.readings.size(), 0);
  // Blocks go to the threads in groups of some thousands of readings, so that a run of
  // many short blocks does not cost a hand-over each.
  constexpr std::int64_t group_readings = 16384;
  std::vector<std::int32_t> group_start{1};
  std::int64_t size = 0;
  for (std::int32_t b = 1; b <= model.block_count; ++b) {
    size += model.block(b).num_readings;
    if (size >= group_readings || b == model.block_count) {
      group_start.push_back(b + 1);
      size = 0;
    }
  }
  const unsigned jobs = default_jobs();
  run_in_order<std::vector<BlockValues>>(
      group_start.size() - 1, jobs, 2 * static_cast<std::size_t>(jobs),
      [&](std::size_t g, std::vector<BlockValues>& group) {
        group.resize(static_cast<std::size_t>(group_start[g + 1] - group_start[g]));
        for (std::int32_t b = group_start[g]; b < group_start[g + 1]; ++b) {
          BlockValues& v = group[static_cast<std::size_t>(b - group_start[g])];
          rows_in_filter_order(model, model.block(b), v.rows);
          v.values.resize(v.rows.size());
          for (std::size_t k = 0; k < v.rows.size(); ++k) v.values[k] = model.reading(v.rows[k]).mag;
          v.flags = spike_flags(v.values, options);
        }
      },
      [&](std::size_t g, std::vector<BlockValues>& group) {
        for (std::int32_t b = group_start[g]; b < group_start[g + 1]; ++b) {
          const BlockValues& v = group[static_cast<std::size_t>(b - group_start[g])];
          std::int64_t& count = model.block(b).kind == base_kind ? out.base : out.field;
          for (std::size_t k = 0; k < v.rows.size(); ++k) {
            out.reading[static_cast<std::size_t>(v.rows[k])] = v.flags[k];
            count += v.flags[k];
          }
        }
      });
  return out;
}

}  // namespace corvane

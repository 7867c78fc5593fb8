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

constexpr int widest_spike = 3;  // readings

// The noise's standard deviation from values' absolute departures from their neighbours'
// fits, which it reorders. A spike spoils the fits of the window about it, so a short
// sequence with two or three spikes can have more spoilt departures than clean ones: the
// lower quartile still stands where the median would not.
double noise_from_departures(std::span<double> d) {
  constexpr double quartile_to_sigma = 1.0 / 0.3186;  // |normal| has its lower quartile at 0.3186 sigma
  const auto at = d.begin() + static_cast<std::ptrdiff_t>(d.size() / 4);
  std::nth_element(d.begin(), at, d.end());
  return quartile_to_sigma * *at;
}

// A run of readings against the polynomial fitted to its neighbours.
struct Judgement {
  double departure = 0.0;  // signed, the smallest of the run's departures; 0 when they differ in sign
  double scatter = 0.0;    // the neighbours' rms about the fit
};

struct Neighbours {
  std::vector<double> at, value;
};

// Least squares of degree 0 to 3 through (at, value): the coefficients in c, lowest first,
// and the rms of the residuals in rms.
bool fit(const Neighbours& n, int degree, double c[4], double& rms) {
  const int terms = degree + 1;
  double a[4][5] = {};
  const double y0 = n.value.front();
  for (std::size_t k = 0; k < n.at.size(); ++k) {
    const double t = n.at[k], y = n.value[k] - y0;
    double p[7] = {1.0};
    for (int e = 1; e < 7; ++e) p[e] = p[e - 1] * t;
    for (int r = 0; r < terms; ++r) {
      for (int q = 0; q < terms; ++q) a[r][q] += p[r + q];
      a[r][4] += p[r] * y;
    }
  }
  for (int col = 0; col < terms; ++col) {
    int pivot = col;
    for (int r = col + 1; r < terms; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (std::fabs(a[pivot][col]) < 1e-12) return false;
    if (pivot != col)
      for (int q = 0; q < 5; ++q) std::swap(a[col][q], a[pivot][q]);
    for (int r = 0; r < terms; ++r) {
      if (r == col) continue;
      const double f = a[r][col] / a[col][col];
      for (int q = col; q < 5; ++q) a[r][q] -= f * a[col][q];
    }
  }
  for (int r = 0; r < 4; ++r) c[r] = r < terms ? a[r][4] / a[r][r] : 0.0;
  double rss = 0.0;
  for (std::size_t k = 0; k < n.at.size(); ++k) {
    const double t = n.at[k], e = n.value[k] - y0 - (c[0] + t * (c[1] + t * (c[2] + t * c[3])));
    rss += e * e;
  }
  rms = std::sqrt(rss / static_cast<double>(n.at.size() - static_cast<std::size_t>(terms)));
  c[0] += y0;
  return true;
}

// Positions of the run of `width` unflagged values from i, into run; false past the end.
bool run_from(const std::vector<std::uint8_t>& flagged, std::size_t i, int width, std::size_t run[widest_spike]) {
  std::size_t j = i;
  for (int k = 0; k < width; ++k, ++j) {
    while (j < flagged.size() && flagged[j]) ++j;
    if (j >= flagged.size()) return false;
    run[k] = j;
  }
  return true;
}

bool judge(std::span<const double> x, const std::vector<std::uint8_t>& flagged, const std::size_t* run, int width,
           int before, int after, Neighbours& n, Judgement& out) {
  n.at.clear();
  n.value.clear();
  const std::size_t first = run[0], last = run[width - 1];
  const double origin = static_cast<double>(first);
  std::size_t left = 0, right = 0;
  std::size_t lj = first, rj = last + 1;
  const std::size_t want = static_cast<std::size_t>(before + after);
  // The nearest unflagged values on each side; a short side leaves its share to the other.
  while (n.at.size() < want) {
    bool took = false;
    if (left < static_cast<std::size_t>(before) || rj >= x.size()) {
      while (lj > 0 && flagged[lj - 1]) --lj;
      if (lj > 0) {
        --lj;
        n.at.push_back(static_cast<double>(lj) - origin);
        n.value.push_back(x[lj]);
        ++left;
        took = true;
      }
    }
    if (n.at.size() < want && (right < static_cast<std::size_t>(after) || lj == 0)) {
      while (rj < x.size() && flagged[rj]) ++rj;
      if (rj < x.size()) {
        n.at.push_back(static_cast<double>(rj) - origin);
        n.value.push_back(x[rj]);
        ++rj;
        ++right;
        took = true;
      }
    }
    if (!took) break;
  }
  // A cubic between two sides, a line beyond the last value of one.
  const int count = static_cast<int>(n.at.size());
  const int degree = std::max(0, std::min(left >= 2 && right >= 2 ? 3 : 1, count - 3));
  if (count < 3) return false;
  double c[4], rms = 0.0;
  if (!fit(n, degree, c, rms)) return false;
  double smallest = std::numeric_limits<double>::infinity();
  int sign = 0;
  for (int k = 0; k < width; ++k) {
    const double t = static_cast<double>(run[k]) - origin;
    const double d = x[run[k]] - (c[0] + t * (c[1] + t * (c[2] + t * c[3])));
    const int s = d > 0 ? 1 : -1;
    if (k > 0 && s != sign) {
      smallest = 0.0;
      break;
    }
    sign = s;
    smallest = std::min(smallest, std::fabs(d));
  }
  out.departure = sign * smallest;
  out.scatter = rms;
  return true;
}

// How far past its limit a departure is: above 1 for a spike, exactly 1 at the limit. The
// limit is the largest of the tolerance, noise_factor times the sequence's noise and
// scatter_factor times the neighbours' scatter about their fit.
double excess(const Judgement& j, double sequence_noise, const SpikeOptions& o, BlockKind kind) {
  const double noise_factor = kind == base_kind ? o.base_noise_factor : o.noise_factor;
  const double scatter_factor = kind == base_kind ? o.base_scatter_factor : o.scatter_factor;
  const double limit =
      std::max({static_cast<double>(o.tolerance_nt), noise_factor * sequence_noise, scatter_factor * j.scatter});
  return std::fabs(j.departure) / limit;
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

struct Candidate {
  double excess = 0.0;
  std::size_t run[widest_spike] = {};
  int width = 0;
};

}  // namespace

std::vector<std::uint8_t> spike_flags(std::span<const float> values, const SpikeOptions& options, BlockKind kind) {
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
  std::vector<std::uint8_t> flagged(x.size(), 0), queued(x.size(), 0);
  Neighbours scratch;
  // The sequence's noise: the spread of every value's departure from its neighbours' fit.
  std::vector<Judgement> single(x.size());
  std::vector<std::uint8_t> judged(x.size(), 0);
  double noise = 0.0;
  {
    std::vector<double> d;
    d.reserve(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
      if ((judged[i] = judge(x, flagged, &i, 1, before, after, scratch, single[i])))
        d.push_back(std::fabs(single[i].departure));
    if (!d.empty()) noise = noise_from_departures(d);
  }
  bool first_pass = true;
  std::vector<std::size_t> candidates(x.size());
  std::iota(candidates.begin(), candidates.end(), std::size_t{0});
  std::vector<Candidate> found;
  const std::size_t reach = static_cast<std::size_t>(options.window + widest_spike);
  while (!candidates.empty()) {
    found.clear();
    for (std::size_t i : candidates) {
      Candidate best;
      for (int width = 1; width <= widest_spike; ++width) {
        Candidate c;
        Judgement j;
        if (!run_from(flagged, i, width, c.run)) break;
        if (first_pass && width == 1) {
          if (!judged[i]) break;
          j = single[i];
        } else if (!judge(x, flagged, c.run, width, before, after, scratch, j)) {
          break;
        }
        c.width = width;
        c.excess = excess(j, noise, options, kind);
        if (c.excess > best.excess) best = c;
      }
      if (best.excess > 1.0) found.push_back(best);
    }
    first_pass = false;
    // The largest first; one near a spike taken in this pass waits for the next.
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) { return a.excess > b.excess; });
    std::vector<std::size_t> taken;
    for (const Candidate& c : found) {
      const std::size_t lo = c.run[0], hi = c.run[c.width - 1];
      bool near = false;
      for (std::size_t t : taken) near = near || (t + reach >= lo && t <= hi + reach);
      if (near) continue;
      for (int k = 0; k < c.width; ++k) taken.push_back(c.run[k]);
    }
    for (std::size_t t : taken) flagged[t] = 1;
    // Judged again: the unflagged values within reach of a new spike.
    candidates.clear();
    for (std::size_t t : taken)
      for (std::size_t j = t > reach ? t - reach : 0; j <= std::min(x.size() - 1, t + reach); ++j) queued[j] = 1;
    for (std::size_t i = 0; i < x.size() && !taken.empty(); ++i)
      if (queued[i]) {
        queued[i] = 0;
        if (!flagged[i]) candidates.push_back(i);
      }
  }
  for (std::size_t i = 0; i < x.size(); ++i) result[position[i]] = flagged[i];
  return result;
}
std::int64_t block_spikes(const SurveyModel& m, std::int32_t block, std::span<const std::uint8_t> flags) {
  if (block < 1 || block > m.block_count) return 0;
  const Block& b = m.block(block);
  std::int64_t count = 0;
  for (std::int32_t r = b.first_reading; r < b.first_reading + b.num_readings; ++r) count += row_flagged(flags, r);
  return count;
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
          v.flags = spike_flags(v.values, options, static_cast<BlockKind>(model.block(b).kind));
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

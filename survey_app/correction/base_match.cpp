#include "correction/base_match.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <utility>
#include <vector>

#include "util/date_time.h"

namespace corvane {

namespace {

// Appends where the reading times of a base block fail to rise (see
// SurveyModel::base_time_breaks); a time that is not a number stands alone.
void add_time_breaks(const SurveyModel& m, const Block& base, std::vector<std::int32_t>& breaks) {
  for (std::int32_t j = 1; j < base.num_readings; ++j)
    if (!(m.reading(base.first_reading + j - 1).time <= m.reading(base.first_reading + j).time)) breaks.push_back(j);
}

std::int32_t colour_for_cover(std::int32_t cover) {
  if (cover >= 100) return colour_green;
  if (cover >= 1) return colour_blue;
  return colour_red;
}

struct Span {
  double start = 0.0;
  double end = 0.0;
};

Span span_of(const Block& b) { return Span{b.start_time, b.end_time}; }

// A base block that does not cover the whole field block, offered in block order: it is
// taken when the part it covers is above 1 % and above the current (rounded) cover, so on
// equal percentages the earlier block stays.
void offer_partial_cover(Match& match, Span field, std::int32_t b, Span base) {
  const auto consider = [&](double s, double e) {
    if (!(e > s)) return;
    const double p = 100.0 * (e - s) / (field.end - field.start);
    if (p > 1.0 && p > static_cast<double>(match.base_cover)) {
      match.base_block = b;
      match.base_cover = static_cast<std::int32_t>(std::nearbyint(p));
    }
  };
  if (field.start <= base.start && base.start <= field.end) consider(base.start, std::min(base.end, field.end));
  if (field.start <= base.end && base.end <= field.end) consider(std::max(base.start, field.start), base.end);
}

// A span whose start or end is not a number can neither cover nor overlap anything.
bool comparable(Span s) { return !std::isnan(s.start) && !std::isnan(s.end); }

// The checked base blocks of two readings or more, by start and by end time, so that a
// field block visits only those that start or end inside it.
struct BaseIndex {
  std::vector<std::pair<double, std::int32_t>> by_start, by_end;

  // The base blocks that start or end within [from, to], in block order and each once
  // (none when to < from). Whether the ends of the range count does not change a match: a
  // block touching it there either covers nothing or is found by its other end.
  void overlapping(double from, double to, std::vector<std::int32_t>& out) const {
    out.clear();
    for (const auto* list : {&by_start, &by_end}) {
      const auto lo = std::lower_bound(list->begin(), list->end(), std::pair{from, std::int32_t{0}});
      const auto hi = std::upper_bound(lo, list->end(), std::pair{to, std::numeric_limits<std::int32_t>::max()});
      for (auto it = lo; it != hi; ++it) out.push_back(it->second);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }
};

// Prefix minimum over positions 0..size-1 (a Fenwick tree): the lowest block number
// inserted at a position up to a given one.
class LowestBlockUpTo {
public:
  explicit LowestBlockUpTo(std::size_t size) : tree_(size + 1, none) {}
  void insert(std::size_t position, std::int32_t b) {
    for (std::size_t i = position + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] = std::min(tree_[i], b);
  }
  std::int32_t lowest(std::size_t position) const {
    std::int32_t best = none;
    for (std::size_t i = position + 1; i > 0; i -= i & (~i + 1)) best = std::min(best, tree_[i]);
    return best;
  }
  static constexpr std::int32_t none = std::numeric_limits<std::int32_t>::max();

private:
  std::vector<std::int32_t> tree_;
};

// For every field block f in `fields`, the first base block in block order that covers
// it whole (start_time(B) <= start_time(F) and end_time(F) <= end_time(B)), or 0: a sweep
// by start time over the base blocks that start no later than the field block, asking for
// the lowest-numbered one among those that end no earlier.
std::vector<std::int32_t> first_whole_covers(const SurveyModel& m, const BaseIndex& index,
                                             const std::vector<std::int32_t>& fields) {
  std::vector<std::int32_t> first(static_cast<std::size_t>(m.block_count) + 1, 0);
  std::vector<std::int32_t> by_field_start;
  for (const std::int32_t f : fields)
    if (comparable(span_of(m.block(f)))) by_field_start.push_back(f);
  std::sort(by_field_start.begin(), by_field_start.end(),
            [&](std::int32_t x, std::int32_t y) { return m.block(x).start_time < m.block(y).start_time; });
  // Positions count base blocks by end time from the latest down, so "ends no earlier
  // than the field block" is a prefix.
  const std::size_t n = index.by_end.size();
  std::vector<std::size_t> position(static_cast<std::size_t>(m.block_count) + 1, 0);
  for (std::size_t i = 0; i < n; ++i) position[static_cast<std::size_t>(index.by_end[i].second)] = n - 1 - i;
  LowestBlockUpTo lowest(n);
  std::size_t inserted = 0;
  for (const std::int32_t f : by_field_start) {
    const Span field = span_of(m.block(f));
    for (; inserted < index.by_start.size() && index.by_start[inserted].first <= field.start; ++inserted) {
      const std::int32_t b = index.by_start[inserted].second;
      lowest.insert(position[static_cast<std::size_t>(b)], b);
    }
    const auto ends_no_earlier =
        std::lower_bound(index.by_end.begin(), index.by_end.end(), std::pair{field.end, std::int32_t{0}});
    const auto count = static_cast<std::size_t>(index.by_end.end() - ends_no_earlier);
    if (count == 0) continue;
    const std::int32_t b = lowest.lowest(count - 1);
    if (b != LowestBlockUpTo::none) first[static_cast<std::size_t>(f)] = b;
  }
  return first;
}

}  // namespace

// For each field block the outcome is that of offering it every checked base block in
// block order, stopping at the first that covers it whole: then that block wins whatever
// came before it, and otherwise only the base blocks that start or end inside the field
// block can change its match. Blocks of fewer than two readings take no part.
void scan_base_blocks(SurveyModel& m) {
  if (m.match.size() < static_cast<std::size_t>(m.block_count) + 1)
    m.match.resize(static_cast<std::size_t>(m.block_count) + 1);
  std::fill(m.match.begin(), m.match.end(), Match{});
  m.base_time_breaks.clear();
  m.base_time_breaks_end.assign(1, 0);
  m.base_time_breaks_end.reserve(static_cast<std::size_t>(m.block_count) + 1);
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    if (m.block(b).kind == base_kind && m.block(b).num_readings >= 2)
      add_time_breaks(m, m.block(b), m.base_time_breaks);
    m.base_time_breaks_end.push_back(static_cast<std::int32_t>(m.base_time_breaks.size()));
  }
  if (m.data_block_count == 0 || m.base_block_count == 0) {
    for (std::int32_t f = 1; f <= m.block_count; ++f)
      if (m.block(f).kind == field_kind) m.node(m.block(f).node).colour = no_colour;
    return;
  }
  BaseIndex index;
  std::vector<std::int32_t> fields;
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const Block& block = m.block(b);
    if (block.num_readings < 2) continue;
    if (block.kind == field_kind) {
      fields.push_back(b);
    } else if (block.kind == base_kind && m.block_checked(b) && comparable(span_of(block))) {
      index.by_start.emplace_back(block.start_time, b);
      index.by_end.emplace_back(block.end_time, b);
    }
  }
  std::sort(index.by_start.begin(), index.by_start.end());
  std::sort(index.by_end.begin(), index.by_end.end());
  const std::vector<std::int32_t> whole = first_whole_covers(m, index, fields);

  std::vector<std::int32_t> candidates;
  for (const std::int32_t f : fields) {
    const Span field = span_of(m.block(f));
    Match& match = m.match[static_cast<std::size_t>(f)];
    if (const std::int32_t b = whole[static_cast<std::size_t>(f)]) {
      match = Match{b, 100};
    } else if (comparable(field)) {
      index.overlapping(field.start, field.end, candidates);
      for (const std::int32_t c : candidates) offer_partial_cover(match, field, c, span_of(m.block(c)));
    }
    m.node(m.block(f).node).colour = colour_for_cover(match.base_cover);
  }
}

void shift_base_times(SurveyModel& m, std::int64_t seconds) {
  // A time that is not a number stays one.
  const auto moved = [seconds](double t) { return std::isfinite(t) ? day_number(whole_seconds(t) + seconds) : t; };
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    Block& block = m.blocks[static_cast<std::size_t>(b)];
    if (block.kind != base_kind || block.num_readings == 0) continue;
    for (std::int32_t k = 0; k < block.num_readings; ++k) {
      Reading& r = m.readings[static_cast<std::size_t>(block.first_reading + k)];
      r.time = moved(r.time);
    }
    block.start_time = moved(block.start_time);
    block.end_time = moved(block.end_time);
  }
  m.base_shift_seconds += seconds;
  scan_base_blocks(m);
}

void set_node_checked(SurveyModel& m, std::int32_t node, bool checked) {
  if (node < 1 || node > m.node_count) return;
  m.node(node).checked = checked;
  const std::int32_t block = m.node_block[static_cast<std::size_t>(node)];
  if (block == 0)  // a file node: all of its blocks go with it
    for (std::int32_t b = 1; b <= m.block_count; ++b)
      if (Node& child = m.node(m.block(b).node); child.parent == node) child.checked = checked;
  if (m.block(block).kind == base_kind) scan_base_blocks(m);
}

namespace {

// The reading times T(1..n) of one base block, searched run by run.
class BaseTimes {
public:
  BaseTimes(const SurveyModel& m, const Block& base, std::span<const std::int32_t> breaks)
      : first_(&m.readings[static_cast<std::size_t>(base.first_reading)]), breaks_(breaks) {}

  double operator()(std::int32_t j) const { return first_[j - 1].time; }

  // The smallest j in from..to with T(j) not below t, or to + 1: where a walk stepping up
  // while t > T(j) stops.
  std::int32_t first_not_below(double t, std::int32_t from, std::int32_t to) const {
    const auto stops = [&](std::int32_t j) { return !(t > (*this)(j)); };
    for (std::int32_t j = from; j <= to;) {
      const auto brk = std::lower_bound(breaks_.begin(), breaks_.end(), j);
      const std::int32_t run_end = brk == breaks_.end() ? to : std::min(to, *brk);
      // Gallop from j, then bisect: stops(lo) is false and stops(hi) true.
      if (stops(j)) return j;
      std::int32_t lo = j, hi = run_end;
      for (std::int64_t step = 1;; step *= 2) {
        if (lo + step >= run_end) break;
        const auto probe = static_cast<std::int32_t>(lo + step);
        if (stops(probe)) {
          hi = probe;
          break;
        }
        lo = probe;
      }
      if (hi == run_end && !stops(hi)) {
        j = run_end + 1;
        continue;
      }
      while (hi - lo > 1) {
        const std::int32_t mid = lo + (hi - lo) / 2;
        (stops(mid) ? hi : lo) = mid;
      }
      return hi;
    }
    return to + 1;
  }

  // The largest j in to..from (from >= to) with T(j) not above t, or to - 1: where a walk
  // stepping down while t < T(j) stops.
  std::int32_t last_not_above(double t, std::int32_t from, std::int32_t to) const {
    const auto stops = [&](std::int32_t j) { return !(t < (*this)(j)); };
    for (std::int32_t j = from; j >= to;) {
      const auto brk = std::lower_bound(breaks_.begin(), breaks_.end(), j);
      const std::int32_t run_start = brk == breaks_.begin() ? to : std::max(to, *std::prev(brk) + 1);
      // Gallop down from j, then bisect: stops(hi) is false and stops(lo) true.
      if (stops(j)) return j;
      std::int32_t hi = j, lo = run_start;
      for (std::int64_t step = 1;; step *= 2) {
        if (hi - step <= run_start) break;
        const auto probe = static_cast<std::int32_t>(hi - step);
        if (stops(probe)) {
          lo = probe;
          break;
        }
        hi = probe;
      }
      if (lo == run_start && !stops(lo)) {
        j = run_start - 1;
        continue;
      }
      while (hi - lo > 1) {
        const std::int32_t mid = lo + (hi - lo) / 2;
        (stops(mid) ? lo : hi) = mid;
      }
      return lo;
    }
    return to - 1;
  }

private:
  const Reading* first_;
  std::span<const std::int32_t> breaks_;
};

}  // namespace

BaseValues::BaseValues(const SurveyModel& m, std::int32_t field_block, std::int32_t k) : model_(m), k_(k) {
  if (field_block < 1 || static_cast<std::size_t>(field_block) >= m.match.size()) return;
  base_ = m.match_of(field_block).base_block;
  if (base_ == 0) return;
  const Block& base = m.block(base_);
  if (base.num_readings < 2) return;
  n_ = base.num_readings;
  first_ = &m.reading(base.first_reading);
}

std::optional<float> BaseValues::searched(double t) {
  if (!first_) return std::nullopt;
  const auto at = [&](std::int32_t j) -> const Reading& { return first_[j - 1]; };
  const std::int32_t n = n_;
  if (t < at(1).time || t > at(n).time) return std::nullopt;
  if (t == at(1).time) {
    k_ = 1;
    return at(1).mag;
  }
  if (t == at(n).time) {
    k_ = n - 1;
    return at(n).mag;
  }
  // The bracket is where a walk from k stops that steps down while t < T(k) (not below 1)
  // and then up while t > T(k + 1) (not above n - 1); the search finds it run by run.
  // A model whose matches were set by hand has no breaks of its own yet.
  const auto scanned = model_.time_breaks_of(base_);
  if (!scanned && !unscanned_) {
    unscanned_.emplace();
    add_time_breaks(model_, model_.block(base_), *unscanned_);
  }
  const BaseTimes times(model_, model_.block(base_), scanned ? *scanned : *unscanned_);
  k_ = times.last_not_above(t, std::clamp(k_, 1, n - 1), 2);
  k_ = times.first_not_below(t, k_ + 1, n - 1) - 1;
  return between(k_, t);
}

KeptBaseValues::KeptBaseValues(const SurveyModel& m, std::span<const std::uint8_t> left_out)
    : model_(m),
      kept_(static_cast<std::size_t>(m.block_count) + 1),
      left_out_(static_cast<std::size_t>(m.block_count) + 1, 0) {
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const Block& block = m.block(b);
    if (block.kind != base_kind) continue;
    std::vector<Kept>& kept = kept_[static_cast<std::size_t>(b)];
    for (std::int32_t r = block.first_reading; r < block.first_reading + block.num_readings; ++r) {
      if (row_flagged(left_out, r)) {
        ++left_out_[static_cast<std::size_t>(b)];
        continue;
      }
      // A time that is not a number has no place in the time order.
      if (!std::isnan(m.reading(r).time)) kept.push_back({m.reading(r).time, m.reading(r).mag});
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Kept& x, const Kept& y) { return x.time < y.time; });
  }
}

std::optional<float> KeptBaseValues::at(std::int32_t field_block, double t) const {
  if (field_block < 1 || static_cast<std::size_t>(field_block) >= model_.match.size()) return std::nullopt;
  const std::int32_t b = model_.match_of(field_block).base_block;
  if (b == 0) return std::nullopt;
  const Block& base = model_.block(b);
  if (base.num_readings < 2) return std::nullopt;
  // The cover is the session's, flagged readings and all.
  if (!(t >= model_.reading(base.first_reading).time &&
        t <= model_.reading(base.first_reading + base.num_readings - 1).time))
    return std::nullopt;
  const std::vector<Kept>& kept = kept_[static_cast<std::size_t>(b)];
  if (kept.empty()) return std::nullopt;
  if (t <= kept.front().time) return kept.front().mag;
  if (t >= kept.back().time) return kept.back().mag;
  const auto after = std::upper_bound(kept.begin(), kept.end(), t, [](double v, const Kept& k) { return v < k.time; });
  const Kept& a = *std::prev(after);
  return interpolate_base(a.time, a.mag, after->time, after->mag, t);
}

std::int64_t KeptBaseValues::left_out_of(std::int32_t base_block) const {
  return left_out_[static_cast<std::size_t>(base_block)];
}

std::optional<float> base_value_at(const SurveyModel& m, std::int32_t field_block, double t, std::int32_t& k) {
  BaseValues values(m, field_block, k);
  const std::optional<float> v = values.at(t);
  k = values.position();
  return v;
}

}  // namespace corvane

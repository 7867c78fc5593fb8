#pragma once
// Base-station matching and the diurnal correction.
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/survey_model.h"

namespace corvane {

// Chooses for every field block the checked base block that covers its time span best,
// writes base_block and base_cover, and colours the field block's node: green for full
// cover, blue for partial, red for none. When there is no field block or no base block,
// every match is zero and field nodes lose their colour.
void scan_base_blocks(SurveyModel& model);

// Moves the time of every base reading, and the spans of the base blocks, by `seconds` (a
// base clock set wrong), each time as the reader would give the moved one, then matches
// again. Field readings keep their times. The model's base_shift_seconds adds it up.
void shift_base_times(SurveyModel& model, std::int64_t seconds);

// Changes a node's check mark, as the tree does. A file node's blocks take the same mark.
// For base blocks and file nodes (whose block kind is 0) the matching runs again.
void set_node_checked(SurveyModel& model, std::int32_t node, bool checked);

// The base value at time t for a reading of field block `field_block`, linearly
// interpolated between the readings of its base block; nullopt when the block has no base
// block or t lies outside the base block's span. `k` is the search position carried from
// the previous reading of the same block (1 for the first); the bracket is the one a walk
// from k one reading at a time would find, whatever the order of the base times. The
// search trusts the time order scan_base_blocks recorded: a base block's reading times
// must not change in place without a scan after it.
std::optional<float> base_value_at(const SurveyModel& model, std::int32_t field_block, double t, std::int32_t& k);

// The base value at t on the straight line through (ta, va) and (tb, vb); va where the two
// times are within 0.0001 of a day.
inline float interpolate_base(double ta, float va, double tb, float vb, double t) {
  const float d = static_cast<float>(tb - ta);
  if (std::fabs(static_cast<double>(d)) <= 0.0001) return va;
  const float rise = vb - va;
  return static_cast<float>(static_cast<double>(va) + (t - ta) * static_cast<double>(rise) / static_cast<double>(d));
}

// base_value_at for the readings of one field block taken in turn, k carried from one to the
// next and the base block looked up once.
class BaseValues {
public:
  BaseValues(const SurveyModel& model, std::int32_t field_block, std::int32_t k = 1);
  std::optional<float> at(double t) {
    // Mostly t lies strictly inside the span and in the bracket of the reading before,
    // where the walk does not move: inline, that costs no call.
    if (first_ && k_ >= 1 && k_ < n_ && t > first_[0].time && t < first_[n_ - 1].time && !(t < first_[k_ - 1].time) &&
        !(t > first_[k_].time))
      return between(k_, t);
    return searched(t);
  }
  std::int32_t position() const { return k_; }  // k after the last value

private:
  // The value at t between readings k and k + 1 (counted from 1).
  float between(std::int32_t k, double t) const {
    const Reading& a = first_[k - 1];
    const Reading& b = first_[k];
    return interpolate_base(a.time, a.mag, b.time, b.mag, t);
  }
  std::optional<float> searched(double t);

  const SurveyModel& model_;
  const Reading* first_ = nullptr;  // the base block's first reading; null when there are no values
  std::int32_t n_ = 0;
  std::int32_t base_ = 0;
  std::int32_t k_;
  std::optional<std::vector<std::int32_t>> unscanned_;  // the time breaks of a base block not scanned
};

// The base values of field readings when some base readings are left out (spikes): linear
// between the kept readings of the matched base block, taken in time order. Between the
// session's first reading and its first kept one, the first kept value holds; likewise at
// the end. A time base_value_at gives no value for, or a session with no kept reading,
// gives none.
class KeptBaseValues {
public:
  // `left_out` is by reading row (row 0 unused): nonzero for a reading left out.
  KeptBaseValues(const SurveyModel& model, std::span<const std::uint8_t> left_out);
  std::optional<float> at(std::int32_t field_block, double t) const;
  // The readings of base block b left out.
  std::int64_t left_out_of(std::int32_t base_block) const;

private:
  struct Kept {
    double time;
    float mag;
  };
  const SurveyModel& model_;
  std::vector<std::vector<Kept>> kept_;  // by base block, in time order
  std::vector<std::int64_t> left_out_;   // by base block
};

}  // namespace corvane

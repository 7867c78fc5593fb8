#pragma once
// The diurnal rate check: stretches of a base session where the field bends away from a
// straight line faster than the correction can follow, and the field lines surveyed then.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/survey_model.h"

namespace corvane {

struct DiurnalLimit {
  float nt = 5;        // largest departure allowed from the chord
  double minutes = 2;  // the chord's length
};

// A marked stretch of one base block, in day numbers. `change` is the largest departure
// from a chord within it (nT), at day number `at`.
struct DiurnalStretch {
  std::int32_t base_block = 0;
  double start = 0.0;
  double end = 0.0;
  double change = 0.0;
  double at = 0.0;
};

// For every checked base block of two readings or more (null values left out, readings
// taken in time order), and every reading time t: the chord from the value at t to the
// value at t + window (linearly interpolated; the last reading when the session ends
// first), and the largest departure of the readings strictly between from it. Windows
// whose departure exceeds the limit are marked; overlapping ones merge. In block order,
// then time order. Readings whose row is set in `left_out` (spike flags by reading row;
// empty for none) are left out as null values are: a spike is no change of the field.
std::vector<DiurnalStretch> diurnal_stretches(const SurveyModel& model, const DiurnalLimit& limit,
                                              std::span<const std::uint8_t> left_out = {});

// One message for each field line whose time span overlaps one of `stretches`, in block
// order, naming the largest change among those it overlaps; `minutes` is the chord's length.
std::vector<std::string> diurnal_messages(const SurveyModel& model, const std::vector<DiurnalStretch>& stretches,
                                          double minutes);

// "Line 150N was surveyed while the base changed 9.3 nT in 2 min at 14:02"
std::string diurnal_message(const std::string& line, const DiurnalStretch& stretch, double minutes);

}  // namespace corvane

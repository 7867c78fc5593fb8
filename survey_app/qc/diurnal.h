#pragma once
// The diurnal rate check: stretches of a base session where the field bends away from a
// straight line faster than the correction can follow, and the field lines surveyed then.
#include <cstdint>
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
// then time order.
std::vector<DiurnalStretch> diurnal_stretches(const SurveyModel& model, const DiurnalLimit& limit);

// One message for each field line whose time span overlaps a marked stretch, in block
// order, naming the largest change among the stretches it overlaps.
std::vector<std::string> diurnal_messages(const SurveyModel& model, const DiurnalLimit& limit);

// "Line 150N was surveyed while the base changed 9.3 nT in 2 min at 14:02"
std::string diurnal_message(const std::string& line, const DiurnalStretch& stretch, double minutes);

}  // namespace corvane

#pragma once
// Checks of the base station's clock against the rover's. They only advise: nothing here
// moves a time.
#include <string>
#include <vector>

#include "model/survey_model.h"

namespace corvane {

// Field lines of two readings or more that no checked base block covers whole (the rule
// of scan_base_blocks), but one would with the base times moved by a whole number of
// hours, 1 to 14 either way (the smallest that does; later before earlier): one message
// each, in block order. When one shift is hinted for more than half of all the field lines,
// a first message names it and counts the lines it would cover.
std::vector<std::string> clock_shift_hints(const SurveyModel& model);
// The hours clock_shift_hints hints for each block (by block number; 0 for none).
std::vector<int> clock_shift_hours(const SurveyModel& model);

struct ClockOffset {
  bool found = false;
  double seconds = 0.0;   // base clock minus rover clock: a base reading's time less this is rover time
  double strength = 0.0;  // normalised correlation at the peak
  double margin = 0.0;    // the peak's correlation less the next best local maximum's
  std::string message;
};

// Estimates a small offset (up to 120 s) between the base and rover clocks from the
// short-period variation both record: each base block and each field line is high-passed
// along time (its local trend over a few minutes removed), and the rover's values are
// correlated with the base's interpolated at rover time + lag, lags -120..120 s at 1 s
// steps. Not found when the peak is weak, not clear of the next best, or at the end of the
// range.
ClockOffset estimate_clock_offset(const SurveyModel& model);

}  // namespace corvane

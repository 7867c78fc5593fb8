#pragma once
// The day's quality control as one row per field line (corvane-batch --qc prints it).
#include <cstdint>
#include <string>
#include <vector>

#include "model/survey_model.h"
#include "qc/diurnal.h"
#include "qc/spikes.h"

namespace corvane {

struct QcLine {
  std::int32_t block = 0;
  std::string file, line;
  std::int32_t readings = 0;
  float first_station = 0, last_station = 0;
  double base_cover = 0;      // share of the readings with a base value, 0 to 1
  std::int64_t spikes = 0;    // readings flagged
  double diurnal_change = 0;  // the largest change of a marked stretch it was surveyed in (nT)
  std::int32_t gaps = 0;      // intervals longer than twice the line's median interval
  int clock_shift_hours = 0;  // the base clock shift that would cover it; 0 for none
};

// One row per field line of two readings or more, in block order.
std::vector<QcLine> qc_lines(const SurveyModel& model, const SpikeFlags& spikes,
                             const std::vector<DiurnalStretch>& stretches);

}  // namespace corvane

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
  float first_station = 0, last_station = 0;  // in reading order, which the reader sorts by station
  // How the line was walked: +1 toward higher stations (its last reading in time at a higher
  // station than its first), -1 toward lower, 0 neither.
  int direction = 0;
  double base_cover = 0;      // share of the readings with a base value, 0 to 1
  std::int64_t spikes = 0;    // readings flagged
  double diurnal_change = 0;  // the largest change of a marked stretch it was surveyed in (nT)
  std::int32_t gaps = 0;      // intervals longer than twice the line's median interval
  int clock_shift_hours = 0;  // the base clock shift that would cover it; 0 for none
};

// The file a block was read from: the text of its node's top-level parent.
std::string block_file(const SurveyModel& model, const Block& block);

// "increasing", "decreasing" or "level" by the line's direction.
std::string station_direction(const QcLine& line);

// One row per field line of two readings or more, in block order.
std::vector<QcLine> qc_lines(const SurveyModel& model, const SpikeFlags& spikes,
                             const std::vector<DiurnalStretch>& stretches);

}  // namespace corvane

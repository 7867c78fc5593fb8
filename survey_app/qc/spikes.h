#pragma once
// Spike flags: a non-linear filter of the Naudy-Dreyer kind. A value is a spike when it
// departs from the smooth of its neighbours by more than the tolerance; flagged values stop
// counting as neighbours and the pass repeats until no new flag appears. Nothing is changed.
#include <cstdint>
#include <span>
#include <vector>

#include "model/survey_model.h"

namespace corvane {

struct SpikeOptions {
  // The neighbours a value is judged against: window / 2 unflagged values before it and the
  // rest after it (fewer at the ends of the sequence). At least 3.
  int window = 8;
  // The smallest departure, in nT, that can be a spike.
  float tolerance_nt = 4.0f;
  // The departure must also exceed this many times the noise level: the larger of the
  // sequence's (from its second differences) and the neighbours' scatter about their trend.
  float noise_factor = 6.0f;
};

// 1 for every spike in `values` (in reading or time order); null_value entries are neither
// flagged nor used as neighbours.
std::vector<std::uint8_t> spike_flags(std::span<const float> values, const SpikeOptions& options = {});

struct SpikeFlags {
  std::vector<std::uint8_t> reading;  // by reading row; row 0 unused as in the model's tables
  std::int64_t field = 0, base = 0;   // the flags in data blocks and in base blocks
};

// Spike flags for every block: a data block's readings in reading order, a base block's in
// time order. Blocks are filtered on default_jobs() threads.
SpikeFlags flag_spikes(const SurveyModel& model, const SpikeOptions& options = {});

}  // namespace corvane

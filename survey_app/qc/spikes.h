#pragma once
// Spike flags: a non-linear filter of the Naudy-Dreyer kind. A run of 1 to 3 values is a
// spike when every value of it departs, on the same side, from the cubic fitted to its
// neighbours by more than a limit. Per pass the runs furthest past their limit are flagged
// (none within window + 3 values of another), flagged values stop counting as neighbours and
// the pass repeats until no new flag appears. Nothing is changed.
#include <cstdint>
#include <span>
#include <vector>

#include "model/survey_model.h"

namespace corvane {

// On bench/survey_app/run_spike_bench.sh the defaults find 91-92 % of the 5-200 nT spikes on
// field lines with 99 % of flags right, and 92-95 % on base sessions with 97-99 % right. Most
// misses are 5-20 nT spikes on sharp anomalies, where the signal itself changes as much per
// reading, or on pulsations too fast for the base's sampling.
struct SpikeOptions {
  // The neighbours a run is judged against: window / 2 unflagged values before it and the
  // rest after it (at an end of the sequence the other side gives the ones missing, and the
  // fit is a line). At least 3; from 6 the fit is a cubic.
  int window = 6;
  // The smallest departure, in nT, that can be a spike.
  float tolerance_nt = 4.0f;
  // The departure must also exceed this many times the sequence's noise (from the spread of
  // every value's departure from its neighbours' fit), which keeps noisy lines clean...
  float noise_factor = 4.0f;
  // ... and this many times the neighbours' rms about their fit, which keeps sharp anomalies
  // (narrow dipoles, steep contacts) unflagged.
  float scatter_factor = 6.0f;
  // The same for base sessions, whose neighbours scatter only with the field's smooth change
  // and its pulsations, never with an anomaly's shape.
  float base_noise_factor = 3.0f;
  float base_scatter_factor = 3.0f;
};

// 1 for every spike in `values` (in reading or time order), judged as a field line's or a
// base session's (`kind`); null_value entries are neither flagged nor used as neighbours.
std::vector<std::uint8_t> spike_flags(std::span<const float> values, const SpikeOptions& options = {},
                                      BlockKind kind = field_kind);

// How many readings of block `block` are flagged in `flags` (by reading row); 0 for no block.
std::int64_t block_spikes(const SurveyModel& model, std::int32_t block, std::span<const std::uint8_t> flags);

struct SpikeFlags {
  std::vector<std::uint8_t> reading;  // by reading row; row 0 unused as in the model's tables
  std::int64_t field = 0, base = 0;   // the flags in data blocks and in base blocks
};

// Spike flags for every block: a data block's readings in reading order, a base block's in
// time order. Blocks are filtered on default_jobs() threads.
SpikeFlags flag_spikes(const SurveyModel& model, const SpikeOptions& options = {});

}  // namespace corvane

#pragma once
// What is gridded: the readings of the ticked field lines, from the survey model or from an
// XYZ file this program exported, each placed on the plan as the XYZ export places it.
#include <cstddef>
#include <string>
#include <string_view>

#include "grid/grid.h"
#include "model/survey_model.h"

namespace corvane {

struct LeftOutSpikes;

// The readings the XYZ export writes for the ticked field lines, one GridLine per written
// block in block order. The value is the export's Corr_mag (`base_field_value` added), or
// with `raw` the reading as read; `raw` also takes the lines no base session covers, as an
// uncorrected export writes them. Readings without a value are left out, and so are lines
// whose name gives no coordinate and lines left without a reading. Throws GridError when a
// corrected value leaves the 32-bit float range. With `spikes`, the values are those of an
// export that leaves them out.
GridInput grid_input(const SurveyModel& model, bool raw, float base_field_value, const LeftOutSpikes* spikes = nullptr);

// The bytes is_corvane_xyz needs to see: the export's head is shorter.
constexpr std::size_t xyz_head_bytes = 512;
// Whether a file starting with `first_bytes` is an XYZ file of this program's export: its
// first five lines are the export's (CR LF or LF line ends).
bool is_corvane_xyz(std::string_view first_bytes);

// The readings of such an XYZ file: its Corr_mag column, or Raw_mag with `raw`. Rows whose
// value is "*" are left out, and so are base station rows (no Raw_mag) and lines whose name
// gives no coordinate or that are left without a reading. Throws GridError naming the file:
// it cannot be read, it is not such a file, or a row (by its line number) is malformed.
GridInput grid_input_from_xyz(const std::string& path, bool raw);

}  // namespace corvane

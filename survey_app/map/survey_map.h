#pragma once
// The survey map: every ticked field line on one plan, a dot per reading, placed as the
// XYZ export places it and coloured by its value on a perceptual scale.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "model/survey_model.h"

namespace corvane {

// One reading on the plan.
struct MapDot {
  float x = 0.0f;  // east
  float y = 0.0f;  // north
  // Corrected (raw - base, as the block display shows it) or raw; null_value when the
  // reading has no value to show (no base value, or a line without a base session).
  float value = null_value;
  std::int32_t block = 0;
  std::int32_t reading = 0;  // row of the reading table
};

// The dots of a map as typed columns, east and north in the form the graph takes them.
// A block's dots are consecutive readings, so a dot's block and reading are kept once per
// run of them: some 20 bytes a dot.
class MapDots {
public:
  std::size_t size() const { return values_.size(); }
  bool empty() const { return values_.empty(); }
  void reserve(std::size_t dots);
  // Appends a dot; its block and reading open a new run unless they continue the last.
  void push_back(const MapDot& dot);
  // Dot i (i < size()).
  MapDot operator[](std::size_t i) const;

  // Appends dots first .. first + count - 1 of `from`, which must not be this object.
  void append(const MapDots& from, std::size_t first, std::size_t count);
  // The first dot of block `block` and how many it has; {size(), 0} when it has none.
  std::pair<std::size_t, std::size_t> dots_of(std::int32_t block) const;

  const std::vector<double>& east() const { return east_; }
  const std::vector<double>& north() const { return north_; }
  const std::vector<float>& values() const { return values_; }

private:
  struct Run {
    std::size_t first_dot = 0;
    std::int32_t block = 0;
    std::int32_t first_reading = 0;
  };
  std::vector<double> east_, north_;
  std::vector<float> values_;
  std::vector<Run> runs_;
};

// The value range the colour scale spans: values at or below `low` take the first
// colour, values at or above `high` the last.
struct ColourStretch {
  float low = 0.0f;
  float high = 0.0f;
};

struct SurveyMap {
  MapDots dots;  // block order, then reading order
  bool raw = false;
  // How many dots have a value; the stretch spans theirs and means nothing without one.
  std::int64_t valued = 0;
  ColourStretch stretch;
  // The dots' colours on `stretch`, as dot_colour gives them; empty when they were not
  // worked out (the graph then works them out).
  std::vector<std::int32_t> colours;
  // Extent of all dots; empty (min > max) without dots.
  float x_min = 1.0f, x_max = 0.0f, y_min = 1.0f, y_max = 0.0f;
  // Ticked field lines of two or more readings left out: the name is empty or gives no
  // coordinate, or a value leaves the 32-bit float range.
  std::vector<std::int32_t> left_out;
  // By block number, what a block's values were worked out with: 0 without a base session
  // (raw values, or none), else the base session's block; not_mapped for a block left off.
  std::vector<std::int32_t> mapped_with;
};

inline constexpr std::int32_t not_mapped = -1;

// The map of the ticked field blocks with at least two readings. With `raw`, every block
// shows its raw readings; otherwise matched blocks show corrected values and the rest
// no value. The readings flagged in `hidden` (by reading row, as flag_spikes gives them;
// rows beyond it are not) get no dot, so their values take no part in the colour stretch.
// Never throws for a block: what cannot be placed is left out.
SurveyMap build_survey_map(const SurveyModel& model, bool raw, std::span<const std::uint8_t> hidden = {});
// The map of the same model after ticks changed, `previous` being a map of the model's
// current processing run built with the same `hidden`: the dots of a block mapped with the
// same base session as before are taken from `previous` rather than worked out again.
// Values stay raw or corrected as in `previous`, and so do the colour stretch and the
// colours while `previous` had values.
SurveyMap rebuild_survey_map(const SurveyModel& model, const SurveyMap& previous,
                             std::span<const std::uint8_t> hidden = {});

// Colours the dots of `map` on `stretch`.
void recolour_survey_map(SurveyMap& map, ColourStretch stretch);
// The colour of each value on `stretch`, as dot_colour gives it.
std::vector<std::int32_t> dot_colours(const std::vector<float>& values, const ColourStretch& stretch);

// The nearest-rank percentile: the value of rank ceil(percent x n / 100) (at least 1)
// among the n values in ascending order. Reorders `values`; n must be at least 1.
float percentile_nearest_rank(std::vector<float>& values, int percent);

// The 2nd and the 98th nearest-rank percentiles of the values (null_value excluded), so a
// few spikes cannot flatten the scale.
ColourStretch colour_stretch(const std::vector<float>& values);

// Colours as the graph control takes them: red in the low byte.
inline constexpr std::int32_t no_value_colour = 0xB4B4B4;  // light grey
inline constexpr int scale_steps = 256;
// The colour scale from its low end (0) to its high end (scale_steps - 1): viridis,
// perceptually even and readable in grey.
const std::array<std::int32_t, scale_steps>& colour_scale();
// The step of the scale a value takes: clamped to the ends; the middle step when the
// stretch is empty.
int scale_step(float value, const ColourStretch& stretch);
// The colour of a dot's value; no_value_colour for null_value.
std::int32_t dot_colour(float value, const ColourStretch& stretch);

// What the status bar shows for a dot: "Line 100N, station 25.0, 1996/07/09 14:03:07,
// mp2_0709.dat, 11.2" (the value "no value" for a grey dot): days on one line differ by
// date and file.
std::string dot_text(const SurveyModel& model, const MapDot& dot);

}  // namespace corvane

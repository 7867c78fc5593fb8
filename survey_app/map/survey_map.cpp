#include "map/survey_map.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "export/export_core.h"
#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

void MapDots::reserve(std::size_t dots) {
  east_.reserve(dots);
  north_.reserve(dots);
  values_.reserve(dots);
}

void MapDots::push_back(const MapDot& dot) {
  const bool continues =
      !runs_.empty() && runs_.back().block == dot.block &&
      std::int64_t(runs_.back().first_reading) + std::int64_t(size() - runs_.back().first_dot) == dot.reading;
  if (!continues) runs_.push_back({size(), dot.block, dot.reading});
  east_.push_back(dot.x);
  north_.push_back(dot.y);
  values_.push_back(dot.value);
}

void MapDots::append(const MapDots& from, std::size_t first, std::size_t count) {
  if (count == 0) return;
  const std::size_t base = size();
  // The runs of `from` that hold the dots, each cut to them.
  auto run = std::prev(std::upper_bound(from.runs_.begin(), from.runs_.end(), first,
                                        [](std::size_t d, const Run& r) { return d < r.first_dot; }));
  for (; run != from.runs_.end() && run->first_dot < first + count; ++run) {
    const std::size_t start = std::max(run->first_dot, first);
    const std::size_t at = base + (start - first);
    const std::int32_t reading = run->first_reading + std::int32_t(start - run->first_dot);
    const bool continues =
        !runs_.empty() && runs_.back().block == run->block &&
        std::int64_t(runs_.back().first_reading) + std::int64_t(at - runs_.back().first_dot) == reading;
    if (!continues) runs_.push_back({at, run->block, reading});
  }
  const auto from_at = [first](const auto& column) { return column.begin() + std::ptrdiff_t(first); };
  east_.insert(east_.end(), from_at(from.east_), from_at(from.east_) + std::ptrdiff_t(count));
  north_.insert(north_.end(), from_at(from.north_), from_at(from.north_) + std::ptrdiff_t(count));
  values_.insert(values_.end(), from_at(from.values_), from_at(from.values_) + std::ptrdiff_t(count));
}

std::pair<std::size_t, std::size_t> MapDots::dots_of(std::int32_t block) const {
  const auto run =
      std::lower_bound(runs_.begin(), runs_.end(), block, [](const Run& r, std::int32_t b) { return r.block < b; });
  if (run == runs_.end() || run->block != block) return {size(), 0};
  auto end = run;
  while (end != runs_.end() && end->block == block) ++end;
  const std::size_t last = end == runs_.end() ? size() : end->first_dot;
  return {run->first_dot, last - run->first_dot};
}

MapDot MapDots::operator[](std::size_t i) const {
  // The last run starting at or before dot i.
  const auto run = std::prev(
      std::upper_bound(runs_.begin(), runs_.end(), i, [](std::size_t dot, const Run& r) { return dot < r.first_dot; }));
  return {float(east_[i]), float(north_[i]), values_[i], run->block,
          run->first_reading + std::int32_t(i - run->first_dot)};
}

namespace {

// The map of the ticked field blocks but the readings flagged in `hidden`; with `previous`,
// a block mapped with the same base session as there takes its dots from it. With
// `colour_on` the dots are coloured on it, those taken from `previous` with their colours
// there, which must be on the same stretch.
SurveyMap map_blocks(const SurveyModel& m, bool raw, const SurveyMap* previous, const ColourStretch* colour_on,
                     std::span<const std::uint8_t> hidden) {
  SurveyMap map;
  map.raw = raw;
  if (colour_on) map.stretch = *colour_on;
  map.mapped_with.assign(std::size_t(std::max(m.block_count, 0)) + 1, not_mapped);
  // Field blocks only; unmatched ones are placed too, without a value.
  ExportOptions options;
  options.apply_corrections = !raw;
  options.export_all = true;
  std::size_t readings = 0;
  for (std::int32_t b = 1; b <= m.block_count; ++b)
    if (m.block(b).kind == field_kind) readings += static_cast<std::size_t>(std::max(m.block(b).num_readings, 0));
  map.dots.reserve(readings);
  if (colour_on) map.colours.reserve(readings);

  WorkingColumns columns;
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const BlockTreatment treatment = select_block(m, b, options);
    if (treatment != BlockTreatment::corrected && treatment != BlockTreatment::uncorrected) continue;
    const std::int32_t with = treatment == BlockTreatment::corrected ? m.match_of(b).base_block : 0;
    if (previous && std::size_t(b) < previous->mapped_with.size() && previous->mapped_with[std::size_t(b)] == with) {
      const auto [first, count] = previous->dots.dots_of(b);
      map.dots.append(previous->dots, first, count);
      if (colour_on) {
        const auto colours = previous->colours.begin() + std::ptrdiff_t(first);
        map.colours.insert(map.colours.end(), colours, colours + std::ptrdiff_t(count));
      }
      const auto values = previous->dots.values().begin() + std::ptrdiff_t(first);
      map.valued += std::count_if(values, values + std::ptrdiff_t(count), [](float v) { return v != null_value; });
      map.mapped_with[std::size_t(b)] = with;
      continue;
    }
    const Block& block = m.block(b);
    float coordinate = 0.0f;
    try {
      coordinate = line_coordinate(block.line);
      build_working_columns(m, b, treatment, 0.0f, columns);
    } catch (const ExportError&) {
      map.left_out.push_back(b);
      continue;
    }
    const char direction = direction_letter(block.line);
    const bool has_value = raw || treatment == BlockTreatment::corrected;
    for (std::int32_t k = 1; k <= columns.rows(); ++k) {
      const auto i = static_cast<std::size_t>(k);
      const std::int32_t reading = block.first_reading + k - 1;
      if (row_flagged(hidden, reading)) continue;
      const PlanPoint at = plan_point(coordinate, direction, columns.position[i]);
      const float value = has_value ? columns.corr[i] : null_value;
      map.dots.push_back({at.x, at.y, value, b, reading});
      map.valued += value != null_value;
    }
    if (colour_on)
      for (std::size_t i = map.colours.size(); i < map.dots.size(); ++i)
        map.colours.push_back(dot_colour(map.dots.values()[i], *colour_on));
    map.mapped_with[std::size_t(b)] = with;
  }
  if (!map.dots.empty()) {
    const auto [x_min, x_max] = std::minmax_element(map.dots.east().begin(), map.dots.east().end());
    const auto [y_min, y_max] = std::minmax_element(map.dots.north().begin(), map.dots.north().end());
    map.x_min = float(*x_min), map.x_max = float(*x_max);
    map.y_min = float(*y_min), map.y_max = float(*y_max);
  }
  return map;
}

}  // namespace

SurveyMap build_survey_map(const SurveyModel& m, bool raw, std::span<const std::uint8_t> hidden) {
  SurveyMap map = map_blocks(m, raw, nullptr, nullptr, hidden);
  recolour_survey_map(map, map.valued > 0 ? colour_stretch(map.dots.values()) : ColourStretch{});
  return map;
}

SurveyMap rebuild_survey_map(const SurveyModel& m, const SurveyMap& previous, std::span<const std::uint8_t> hidden) {
  const bool keeps_colours = previous.valued > 0 && previous.colours.size() == previous.dots.size();
  SurveyMap map = map_blocks(m, previous.raw, &previous, keeps_colours ? &previous.stretch : nullptr, hidden);
  if (!keeps_colours) recolour_survey_map(map, map.valued > 0 ? colour_stretch(map.dots.values()) : previous.stretch);
  return map;
}

void recolour_survey_map(SurveyMap& map, ColourStretch stretch) {
  map.stretch = stretch;
  map.colours = dot_colours(map.dots.values(), stretch);
}

std::vector<std::int32_t> dot_colours(const std::vector<float>& values, const ColourStretch& stretch) {
  std::vector<std::int32_t> colours(values.size());
  std::transform(values.begin(), values.end(), colours.begin(), [&](float v) { return dot_colour(v, stretch); });
  return colours;
}

float percentile_nearest_rank(std::vector<float>& values, int percent) {
  const auto n = static_cast<std::int64_t>(values.size());
  // ceil(percent x n / 100) in whole numbers: no rounding can move a rank on its boundary.
  const std::int64_t rank = std::clamp<std::int64_t>((percent * n + 99) / 100, 1, n);
  const auto at = values.begin() + (rank - 1);
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

ColourStretch colour_stretch(const std::vector<float>& all) {
  std::vector<float> values;
  values.reserve(all.size());
  for (const float v : all)
    if (v != null_value) values.push_back(v);
  if (values.empty()) return {};
  ColourStretch s;
  s.low = percentile_nearest_rank(values, 2);
  s.high = percentile_nearest_rank(values, 98);
  return s;
}

const std::array<std::int32_t, scale_steps>& colour_scale() {
  static const std::array<std::int32_t, scale_steps> scale = [] {
    // Viridis at 0, 0.1, ..., 1, joined by straight lines in RGB.
    constexpr int anchors[11][3] = {{68, 1, 84},    {72, 36, 117},  {65, 68, 135},  {53, 95, 141},
                                    {42, 120, 142}, {33, 145, 140}, {34, 168, 132}, {68, 191, 112},
                                    {122, 209, 81}, {189, 223, 38}, {253, 231, 37}};
    std::array<std::int32_t, scale_steps> table{};
    for (int i = 0; i < scale_steps; ++i) {
      const double t = 10.0 * i / (scale_steps - 1);
      const int a = std::min(static_cast<int>(t), 9);
      const double f = t - a;
      std::int32_t colour = 0;
      for (int c = 0; c < 3; ++c) {
        const double v = anchors[a][c] + f * (anchors[a + 1][c] - anchors[a][c]);
        colour |= static_cast<std::int32_t>(std::lround(v)) << (8 * c);
      }
      table[static_cast<std::size_t>(i)] = colour;
    }
    return table;
  }();
  return scale;
}

int scale_step(float value, const ColourStretch& s) {
  if (!(s.high > s.low)) return scale_steps / 2;
  if (value <= s.low) return 0;
  if (value >= s.high) return scale_steps - 1;
  const double t = (static_cast<double>(value) - s.low) / (static_cast<double>(s.high) - s.low);
  return std::clamp(static_cast<int>(t * scale_steps), 0, scale_steps - 1);
}

std::int32_t dot_colour(float value, const ColourStretch& s) {
  if (value == null_value) return no_value_colour;
  return colour_scale()[static_cast<std::size_t>(scale_step(value, s))];
}

std::string dot_text(const SurveyModel& m, const MapDot& dot) {
  const Reading& r = m.reading(dot.reading);
  const Block& block = m.block(dot.block);
  // A block node's parent is its file's node, labelled with the file's name.
  const std::int32_t file_node = m.node(block.node).parent;
  return "Line " + block.line + ", station " + format_fixed(r.station, 1) + ", " + format_ymd_hms(r.time) + ", " +
         std::string(m.label_of(file_node)) + ", " +
         (dot.value == null_value ? std::string("no value") : format_fixed(dot.value, 1));
}

}  // namespace corvane

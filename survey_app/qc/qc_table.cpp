#include "qc/qc_table.h"

#include <algorithm>

#include "correction/base_match.h"
#include "qc/clock.h"

namespace corvane {

namespace {

// Intervals between readings, taken in time order (a line may be walked either way), longer
// than twice the median one.
std::int32_t gaps_of(const SurveyModel& m, const Block& block) {
  std::vector<double> times;
  for (std::int32_t k = 0; k < block.num_readings; ++k) times.push_back(m.reading(block.first_reading + k).time);
  std::sort(times.begin(), times.end());
  std::vector<double> steps;
  for (std::size_t k = 1; k < times.size(); ++k) steps.push_back(times[k] - times[k - 1]);
  if (steps.empty()) return 0;
  std::vector<double> sorted = steps;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
  const double median = sorted[sorted.size() / 2];
  return static_cast<std::int32_t>(std::count_if(steps.begin(), steps.end(), [&](double s) { return s > 2 * median; }));
}

// The station of the last reading in time against that of the first (the earliest of equal
// times first).
int walk_direction(const SurveyModel& m, const Block& block) {
  std::int32_t first = block.first_reading, last = block.first_reading;
  for (std::int32_t r = block.first_reading; r < block.first_reading + block.num_readings; ++r) {
    if (m.reading(r).time < m.reading(first).time) first = r;
    if (m.reading(r).time >= m.reading(last).time) last = r;
  }
  const float from = m.reading(first).station, to = m.reading(last).station;
  return to > from ? 1 : to < from ? -1 : 0;
}

}  // namespace

std::string block_file(const SurveyModel& m, const Block& block) {
  std::int32_t node = block.node;
  while (node > 0 && m.node(node).parent > 0) node = m.node(node).parent;
  return node > 0 ? m.node_text(node) : std::string();
}

std::string station_direction(const QcLine& line) {
  return line.direction > 0 ? "increasing" : line.direction < 0 ? "decreasing" : "level";
}

std::vector<QcLine> qc_lines(const SurveyModel& m, const SpikeFlags& spikes,
                             const std::vector<DiurnalStretch>& stretches) {
  const std::vector<int> shifts = clock_shift_hours(m);
  std::vector<QcLine> rows;
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const Block& block = m.block(b);
    if (block.kind != field_kind || block.num_readings < 2) continue;
    QcLine row;
    row.block = b;
    row.file = block_file(m, block);
    row.line = block.line;
    row.readings = block.num_readings;
    row.first_station = m.reading(block.first_reading).station;
    row.last_station = m.reading(block.first_reading + block.num_readings - 1).station;
    row.direction = walk_direction(m, block);
    BaseValues base(m, b);
    std::int32_t covered = 0;
    for (std::int32_t k = 0; k < block.num_readings; ++k) {
      const std::int32_t r = block.first_reading + k;
      if (base.at(m.reading(r).time)) ++covered;
    }
    row.spikes = block_spikes(m, b, spikes.reading);
    row.base_cover = static_cast<double>(covered) / block.num_readings;
    for (const DiurnalStretch& s : stretches)
      if (s.start <= block.end_time && block.start_time <= s.end)
        row.diurnal_change = std::max(row.diurnal_change, s.change);
    row.gaps = gaps_of(m, block);
    row.clock_shift_hours = shifts[static_cast<std::size_t>(b)];
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace corvane

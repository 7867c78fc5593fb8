#include "correction/base_match.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

std::int32_t colour_for_cover(std::int32_t cover) {
  if (cover >= 100) return colour_green;
  if (cover >= 1) return colour_blue;
  return colour_red;
}

}  // namespace

void scan_base_blocks(SurveyModel& m) {
  if (m.match.size() < static_cast<std::size_t>(m.block_count) + 1)
    m.match.resize(static_cast<std::size_t>(m.block_count) + 1);
  std::fill(m.match.begin(), m.match.end(), Match{});
  if (m.data_block_count == 0 || m.base_block_count == 0) {
    for (std::int32_t f = 1; f <= m.block_count; ++f)
      if (m.block(f).kind == field_kind) m.nodes[static_cast<std::size_t>(m.block(f).node)].colour = no_colour;
    return;
  }
  for (std::int32_t f = 1; f <= m.block_count; ++f) {
    const Block& field = m.block(f);
    Match& match = m.match[static_cast<std::size_t>(f)];
    if (field.kind != field_kind || field.num_readings < 2) continue;
    const double fs = field.start_time, fe = field.end_time;
    for (std::int32_t b = 1; b <= m.block_count; ++b) {
      const Block& base = m.block(b);
      if (base.kind != base_kind || base.num_readings < 2 || !m.block_checked(b)) continue;
      const double bs = base.start_time, be = base.end_time;
      if (bs <= fs && fe <= be) {
        match = Match{b, 100};
        break;
      }
      const auto consider = [&](double s, double e) {
        if (!(e > s)) return;
        const double p = 100.0 * (e - s) / (fe - fs);
        if (p > 1.0 && p > static_cast<double>(match.base_cover)) {
          match.base_block = b;
          match.base_cover = static_cast<std::int32_t>(std::nearbyint(p));
        }
      };
      if (fs <= bs && bs <= fe) consider(bs, std::min(be, fe));
      if (fs <= be && be <= fe) consider(std::max(bs, fs), be);
    }
    m.nodes[static_cast<std::size_t>(field.node)].colour = colour_for_cover(match.base_cover);
  }
}

void set_node_checked(SurveyModel& m, std::int32_t node, bool checked) {
  if (node < 1 || node > m.node_count) return;
  m.nodes[static_cast<std::size_t>(node)].checked = checked;
  const std::int32_t block = m.node_block[static_cast<std::size_t>(node)];
  if (m.block(block).kind == base_kind) scan_base_blocks(m);
}

std::optional<float> base_value_at(const SurveyModel& m, std::int32_t field_block, double t, std::int32_t& k) {
  if (field_block < 1 || static_cast<std::size_t>(field_block) >= m.match.size()) return std::nullopt;
  const std::int32_t b = m.match_of(field_block).base_block;
  if (b == 0) return std::nullopt;
  const Block& base = m.block(b);
  const std::int32_t n = base.num_readings;
  if (n < 2) return std::nullopt;
  const auto at = [&](std::int32_t j) -> const Reading& { return m.reading(base.first_reading + j - 1); };
  if (t < at(1).time || t > at(n).time) return std::nullopt;
  if (t == at(1).time) {
    k = 1;
    return at(1).mag;
  }
  if (t == at(n).time) {
    k = n - 1;
    return at(n).mag;
  }
  k = std::clamp(k, 1, n - 1);
  while (t < at(k).time && k > 1) --k;
  while (t > at(k + 1).time && k < n - 1) ++k;
  const float d = static_cast<float>(at(k + 1).time - at(k).time);
  const float mk = at(k).mag;
  if (std::fabs(static_cast<double>(d)) <= 0.0001) return mk;
  const float rise = at(k + 1).mag - mk;
  return static_cast<float>(static_cast<double>(mk) +
                            (t - at(k).time) * static_cast<double>(rise) / static_cast<double>(d));
}

}  // namespace corvane

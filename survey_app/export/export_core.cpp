#include "export/export_core.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "correction/base_match.h"
#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

void report_export_error(Operator& op, const std::string& description) {
  op.message("An error occurred while exporting the data: " + description);
}

BlockTreatment select_block(const SurveyModel& m, std::int32_t b, const ExportOptions& o) {
  const Block& block = m.block(b);
  if (!m.block_checked(b) || block.num_readings < 2) return BlockTreatment::skip;
  if (block.kind == base_kind) return o.export_base ? BlockTreatment::base : BlockTreatment::skip;
  if (!o.apply_corrections) return BlockTreatment::uncorrected;
  const bool matched = static_cast<std::size_t>(b) < m.match.size() && m.match_of(b).base_block > 0;
  if (matched) return BlockTreatment::corrected;
  return o.export_all ? BlockTreatment::uncorrected : BlockTreatment::uncovered;
}

namespace {

[[noreturn]] void throw_outside_single_range(const char* what, const Block& block, double time) {
  throw ExportError(std::string("the ") + what + " value of line " + block.line + " at " + format_ymd_hms(time) +
                    " is outside the 32-bit float range");
}

// A base or corrected value as computed; one that left the 32-bit float range stops the
// export, naming the reading.
inline float within_single_range(float v, const char* what, const Block& block, double time) {
  if (!std::isfinite(v)) [[unlikely]]
    throw_outside_single_range(what, block, time);
  return v;
}

// Sizes the columns for n rows; every row is written after, so only row 0 is cleared.
void size_columns(WorkingColumns& out, std::size_t n) {
  for (auto* column : {&out.position, &out.raw, &out.base, &out.corr}) {
    column->resize(n + 1);
    (*column)[0] = 0.0f;
  }
  out.time.resize(n + 1);
  out.time[0] = 0.0;
}

// A corrected row's base and corrected values: null_value both without a base value.
inline void set_corrected(WorkingColumns& out, std::size_t row, const Reading& r, std::optional<float> base,
                          float offset, const Block& block) {
  out.raw[row] = r.mag;
  if (base) {
    out.base[row] = within_single_range(*base, "base", block, r.time);
    out.corr[row] = within_single_range(
        static_cast<float>(static_cast<double>(r.mag) - static_cast<double>(*base) + static_cast<double>(offset)),
        "corrected", block, r.time);
  } else {
    out.base[row] = null_value;
    out.corr[row] = null_value;
  }
}

}  // namespace

void build_working_columns(const SurveyModel& m, std::int32_t b, BlockTreatment treatment, float offset,
                           WorkingColumns& out) {
  const Block& block = m.block(b);
  const auto n = static_cast<std::size_t>(block.num_readings);
  size_columns(out, n);
  BaseValues base_values(m, b);
  for (std::size_t row = 1; row <= n; ++row) {
    const Reading& r = m.reading(block.first_reading + static_cast<std::int32_t>(row) - 1);
    out.position[row] = r.station;
    out.time[row] = r.time;
    switch (treatment) {
      case BlockTreatment::base:
        out.raw[row] = null_value;
        out.base[row] = r.mag;
        out.corr[row] = r.mag;
        break;
      case BlockTreatment::corrected: set_corrected(out, row, r, base_values.at(r.time), offset, block); break;
      default:
        out.raw[row] = r.mag;
        out.base[row] = null_value;
        out.corr[row] = r.mag;
        break;
    }
  }
}

void build_despiked_working_columns(const SurveyModel& m, std::int32_t b, BlockTreatment treatment, float offset,
                                    const LeftOutSpikes& spikes, WorkingColumns& out) {
  if (treatment != BlockTreatment::corrected) {
    // No base value is looked up: the plain columns, less the flagged field values.
    build_working_columns(m, b, treatment, offset, out);
    if (treatment == BlockTreatment::base) return;
  }
  const Block& block = m.block(b);
  const auto n = static_cast<std::size_t>(block.num_readings);
  if (treatment == BlockTreatment::corrected) {
    size_columns(out, n);
    for (std::size_t row = 1; row <= n; ++row) {
      const Reading& r = m.reading(block.first_reading + static_cast<std::int32_t>(row) - 1);
      out.position[row] = r.station;
      out.time[row] = r.time;
      set_corrected(out, row, r, spikes.base.at(b, r.time), offset, block);
    }
  }
  for (std::size_t row = 1; row <= n; ++row)
    if (spikes.flagged(block.first_reading + static_cast<std::int32_t>(row) - 1)) out.corr[row] = null_value;
}

SpikesLeftOut count_spikes_left_out(const SurveyModel& m, const std::vector<WrittenBlock>& written,
                                    const LeftOutSpikes& spikes) {
  SpikesLeftOut count;
  std::vector<std::int32_t> bases;
  for (const WrittenBlock& w : written) {
    if (w.treatment == BlockTreatment::base) continue;
    const Block& block = m.block(w.block);
    for (std::int32_t r = block.first_reading; r < block.first_reading + block.num_readings; ++r)
      count.field += spikes.flagged(r) ? 1 : 0;
    if (w.treatment == BlockTreatment::corrected) bases.push_back(m.match_of(w.block).base_block);
  }
  std::sort(bases.begin(), bases.end());
  bases.erase(std::unique(bases.begin(), bases.end()), bases.end());
  for (const std::int32_t b : bases) count.base += spikes.base.left_out_of(b);
  return count;
}

float line_coordinate(std::string_view line) {
  if (line.empty()) throw ExportError("a block to export has no line name");
  float v = 0.0f;
  if (!to_single(numeric_value(line.substr(0, line.size() - 1)), v))
    throw ExportError("the line name \"" + std::string(line) + "\" does not give a coordinate");
  return v;
}

char direction_letter(std::string_view line) {
  const std::string_view t = trim_spaces(line);
  return t.empty() ? '\0' : t.back();
}

std::string fit_field(std::string_view text, std::size_t width) {
  if (text.size() < width) return std::string(width - text.size(), ' ') + std::string(text);
  return std::string(text.substr(0, width));
}

void fit_value(char* out, float v) {
  std::memset(out, ' ', value_field_width);  // a shorter text is padded on the left, as fit_field does
  if (format_fixed(out, out + value_field_width, v, 1)) return;
  char room[fixed_text_room(1)];  // too long: its first 10 characters
  std::memcpy(out, format_fixed(room, room + sizeof room, v, 1), value_field_width);
}

namespace {

// "File : a.dat Block : 3" for block b.
std::string block_place(const SurveyModel& m, std::int32_t b) {
  const std::int32_t file_node = m.node(m.block(b).node).parent;
  std::int32_t block_in_file = 0;
  for (std::int32_t c = 1; c <= b; ++c)
    if (m.node(m.block(c).node).parent == file_node) ++block_in_file;
  return "File : " + m.node_text(file_node) + " Block : " + format_int(block_in_file);
}

}  // namespace

std::string base_shift_message(std::int64_t seconds) {
  return "The base times were moved by " + std::string(seconds > 0 ? "+" : "") + format_int(seconds) +
         " s before matching";
}

std::string export_complete_message(const SurveyModel& m, const ExportTally& tally, const std::string& path) {
  std::string text = "Export complete\r" + format_int(tally.lines) + (tally.lines == 1 ? " line and " : " lines and ") +
                     format_int(tally.readings) + (tally.readings == 1 ? " reading" : " readings") + " written to " +
                     path;
  for (const std::int32_t b : tally.nameless) text += "\rLeft out, no line name: " + block_place(m, b);
  // A long list is cut: the message must fit on the screen.
  constexpr std::size_t shown = 20;
  for (std::size_t i = 0; i < tally.uncovered.size() && i < shown; ++i) {
    const std::int32_t b = tally.uncovered[i];
    text += "\rLeft out, no base session covers line " + m.block(b).line + ": " + block_place(m, b);
  }
  if (tally.uncovered.size() > shown)
    text += "\r... and " + format_int(static_cast<std::int64_t>(tally.uncovered.size() - shown)) +
            " more lines that no base session covers";
  if (m.base_shift_seconds != 0) text += "\r" + base_shift_message(m.base_shift_seconds);
  if (tally.spikes)
    text += "\rSpikes left out: " + format_int(tally.spikes->base) +
            (tally.spikes->base == 1 ? " base reading; " : " base readings; ") + format_int(tally.spikes->field) +
            (tally.spikes->field == 1 ? " field reading" : " field readings") + " written without a corrected value";
  return text;
}

std::vector<WrittenBlock> blocks_to_write(const SurveyModel& m, const ExportOptions& options, ExportTally& tally) {
  std::vector<WrittenBlock> written;
  for (std::int32_t b = 1; b <= m.block_count; ++b) {
    const BlockTreatment treatment = select_block(m, b, options);
    if (treatment == BlockTreatment::skip) continue;
    if (treatment == BlockTreatment::uncovered)
      tally.uncovered.push_back(b);
    else if (m.block(b).line.empty())
      tally.nameless.push_back(b);
    else
      written.push_back({b, treatment});
  }
  return written;
}

std::vector<std::size_t> export_batches(const SurveyModel& m, const std::vector<WrittenBlock>& written) {
  constexpr std::int64_t batch_readings = 1 << 13;
  std::vector<std::size_t> starts;
  std::int64_t in_batch = batch_readings;
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (in_batch >= batch_readings) {
      starts.push_back(i);
      in_batch = 0;
    }
    in_batch += m.block(written[i].block).num_readings;
  }
  starts.push_back(written.size());
  return starts;
}

unsigned export_workers(bool writing_takes_a_core) {
  // Beyond a few workers, more would only hold more batches in memory.
  return std::clamp(default_jobs() - (writing_takes_a_core ? 1 : 0), 1u, 4u);
}

void show_block_started(Operator& op, const Block& block) {
  op.status(2, "Line " + block.line);
  op.status(3, "Num Data " + format_int(block.num_readings));
}

void count_block_written(Operator& op, const Block& block, ExportTally& tally) {
  tally.readings += block.num_readings;
  tally.lines += 1;
  op.status(4, "Total " + format_int(tally.readings));
}

}  // namespace corvane

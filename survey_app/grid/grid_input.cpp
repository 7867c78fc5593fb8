#include "grid/grid_input.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "export/export_core.h"
#include "util/text.h"

namespace corvane {

namespace {

// A line is opened before its readings and dropped again when none of them was kept, so
// that every GridLine has points.
void open_line(GridInput& input, float coordinate, char direction) {
  input.lines.push_back({coordinate, position_is_x(direction)});
}

void add_point(GridInput& input, double x, double y, float value) {
  input.points.push_back({x, y, value, static_cast<std::int32_t>(input.lines.size()) - 1});
}

void close_line(GridInput& input) {
  if (input.lines.empty()) return;
  const auto last = static_cast<std::int32_t>(input.lines.size()) - 1;
  if (input.points.empty() || input.points.back().line != last) input.lines.pop_back();
}

std::optional<float> coordinate_of(std::string_view line_name) {
  try {
    return line_coordinate(line_name);
  } catch (const ExportError&) {
    return std::nullopt;
  }
}

}  // namespace

GridInput grid_input(const SurveyModel& model, bool raw, float base_field_value, const LeftOutSpikes* spikes) {
  ExportOptions options;
  options.apply_corrections = !raw;
  options.base_field_value = base_field_value;
  options.spikes = spikes;
  ExportTally tally;
  GridInput input;
  WorkingColumns columns;
  for (const WrittenBlock& written : blocks_to_write(model, options, tally)) {
    const Block& block = model.block(written.block);
    const std::optional<float> coordinate = coordinate_of(block.line);
    if (!coordinate) continue;
    try {
      build_export_columns(model, written.block, written.treatment, options, columns);
    } catch (const ExportError& e) {
      throw GridError(std::string("cannot grid: ") + e.what());
    }
    const char direction = direction_letter(block.line);
    const std::vector<float>& values = raw ? columns.raw : columns.corr;
    open_line(input, *coordinate, direction);
    for (std::int32_t k = 1; k <= columns.rows(); ++k) {
      const auto i = static_cast<std::size_t>(k);
      if (values[i] == null_value) continue;
      const PlanPoint at = plan_point(*coordinate, direction, columns.position[i]);
      add_point(input, at.x, at.y, values[i]);
    }
    close_line(input);
  }
  return input;
}

namespace {

constexpr std::string_view xyz_titles =
    "/      Line          X          Y    Raw_mag   Base_mag   Corr_mag       Date     Time";
constexpr std::string_view xyz_line_mark = "/Line ";

// Line n of `text` (from 0) without its line end, and where the next begins.
std::string_view next_line(std::string_view text, std::size_t& at) {
  const std::size_t end = std::min(text.find('\n', at), text.size());
  std::string_view line = text.substr(at, end - at);
  at = end + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool is_hyphen_line(std::string_view line) {
  return line.size() == 86 && line.substr(0, 2) == "/ " && line.find_first_not_of('-', 2) == std::string_view::npos;
}

bool is_export_title(std::string_view line) {
  constexpr std::string_view start = "/ XYZ EXPORT [";
  return line.size() > start.size() && line.substr(0, start.size()) == start && line.back() == ']';
}

// The blank-separated fields of a row; false when there are not exactly N.
template <std::size_t N>
bool split_fields(std::string_view row, std::array<std::string_view, N>& fields) {
  std::size_t count = 0;
  std::size_t at = 0;
  while (true) {
    at = row.find_first_not_of(" \t", at);
    if (at == std::string_view::npos) break;
    const std::size_t end = std::min(row.find_first_of(" \t", at), row.size());
    if (count == N) return false;
    fields[count++] = row.substr(at, end - at);
    at = end;
  }
  return count == N;
}

// A magnetic column: a number, or "*" (nullopt) where the export had no value.
bool mag_field(std::string_view field, std::optional<double>& value) {
  if (field == "*") {
    value.reset();
    return true;
  }
  double v = 0;
  if (!numeric_text_value(field, v)) return false;
  value = v;
  return true;
}

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw GridError("cannot open " + path + ": " + std::strerror(errno));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw GridError("cannot read " + path + ": " + std::strerror(errno));
  return text;
}

}  // namespace

bool is_corvane_xyz(std::string_view first_bytes) {
  std::size_t at = 0;
  const auto line = [&] { return at <= first_bytes.size() ? next_line(first_bytes, at) : std::string_view(); };
  return is_hyphen_line(line()) && is_export_title(line()) && is_hyphen_line(line()) && line() == "/" &&
         line() == xyz_titles;
}

GridInput grid_input_from_xyz(const std::string& path, bool raw) {
  const std::string text = read_whole_file(path);
  if (!is_corvane_xyz(std::string_view(text).substr(0, xyz_head_bytes)))
    throw GridError(path + " is not an XYZ file of this program's export (its head is missing)");
  GridInput input;
  bool in_line = false;  // a "/Line" line was read
  bool line_kept = false;
  std::int64_t number = 0;
  std::array<std::string_view, 8> fields;  // Line X Y Raw_mag Base_mag Corr_mag Date Time
  for (std::size_t at = 0; at < text.size();) {
    const std::string_view line = next_line(text, at);
    ++number;
    if (line.substr(0, xyz_line_mark.size()) == xyz_line_mark) {
      close_line(input);
      const std::string_view name = trim_spaces(line.substr(xyz_line_mark.size()));
      const std::optional<float> coordinate = coordinate_of(name);
      in_line = true;
      line_kept = coordinate.has_value();
      if (line_kept) open_line(input, *coordinate, direction_letter(name));
      continue;
    }
    const std::string_view content = trim_spaces(line);
    if (content.empty() || content.front() == '/') continue;
    const auto malformed = [&](const std::string& reason) {
      return GridError(path + ", line " + format_int(number) + ": " + reason);
    };
    if (!in_line) throw malformed("a row before the first \"/Line\" line");
    double x = 0, y = 0, coordinate = 0;
    std::optional<double> raw_mag, base_mag, corr_mag;
    if (!split_fields(content, fields) || !numeric_text_value(fields[0], coordinate) ||
        !numeric_text_value(fields[1], x) || !numeric_text_value(fields[2], y) || !mag_field(fields[3], raw_mag) ||
        !mag_field(fields[4], base_mag) || !mag_field(fields[5], corr_mag))
      throw malformed("not a row of Line, X, Y, Raw_mag, Base_mag, Corr_mag, Date and Time");
    // A base station reading has no Raw_mag.
    if (!line_kept || !raw_mag) continue;
    const std::optional<double>& value = raw ? raw_mag : corr_mag;
    float single = 0;
    if (!value) continue;
    if (!to_single(*value, single)) throw malformed("the value is outside the 32-bit float range");
    add_point(input, x, y, single);
  }
  close_line(input);
  return input;
}

}  // namespace corvane

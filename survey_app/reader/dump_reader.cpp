#include "reader/dump_reader.h"

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "correction/base_match.h"
#include "reader/line_reader.h"
#include "reader/tokenizer.h"
#include "util/text.h"

namespace corvane {

namespace {

constexpr std::string_view fixed_marker = "SCINTREX";
constexpr std::string_view keyword_marker = "S C I N T R E X";
constexpr std::int64_t half_day = seconds_per_day / 2;

bool is_marker(std::string_view line) { return contains(line, fixed_marker) || contains(line, keyword_marker); }

// Case-insensitive search for an upper-case ASCII needle, without copying the line.
bool contains_upper(std::string_view hay, std::string_view needle) {
  if (needle.size() > hay.size()) return false;
  for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    std::size_t j = 0;
    for (; j < needle.size(); ++j) {
      char c = hay[i + j];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != needle[j]) break;
    }
    if (j == needle.size()) return true;
  }
  return false;
}

bool all_spaces(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

// 1-based position of `what` in `s`, 0 when absent.
std::size_t instr(std::string_view s, std::string_view what) {
  const std::size_t p = s.find(what);
  return p == std::string_view::npos ? 0 : p + 1;
}

// The text from the second character after the first ":" to the end.
std::string_view after_colon(std::string_view s) { return mid(s, instr(s, ":") + 2); }

// Reading times of one block in file order. A reading more than 12 hours earlier than the
// one before it was taken after midnight: it and every later reading move on by a day.
class BlockClock {
public:
  // For a time read from a line: the header's date plus the time of day.
  std::int64_t place(std::int64_t seconds) { return step(seconds + offset_); }
  // For a time already on this clock (a cycle step from the previous reading).
  std::int64_t step(std::int64_t seconds) {
    if (any_ && seconds < previous_ - half_day) {
      offset_ += seconds_per_day;
      seconds += seconds_per_day;
    }
    any_ = true;
    previous_ = seconds;
    return seconds;
  }

private:
  std::int64_t offset_ = 0;
  std::int64_t previous_ = 0;
  bool any_ = false;
};

// Field readings end in ascending station order, equal stations in file order.
void sort_by_station(SurveyModel& model, const Block& block) {
  std::stable_sort(model.readings.begin() + block.first_reading, model.readings.end(),
                   [](const Reading& x, const Reading& y) { return x.station < y.station; });
}

}  // namespace

std::string dump_path(const DumpFile& file) {
  if (file.directory.empty()) return file.name;
  if (file.directory.back() == '/') return file.directory + file.name;
  return file.directory + "/" + file.name;
}

std::optional<std::string> read_nonblank_line(LineReader& in) {
  std::string line;
  bool any = false;
  while (in.next(line)) {
    any = true;
    if (!trim_spaces(line).empty()) return line;
  }
  if (!any) return std::nullopt;
  return std::string();  // the last line read was blank
}

std::optional<std::int32_t> cycle_seconds_from(std::string_view value) {
  std::int32_t n = 0;
  const std::size_t space = value.find(' ');
  if (space == std::string_view::npos) {
    if (!round_to_int32(numeric_value(value), n)) return std::nullopt;
    return n;
  }
  if (!round_to_int32(numeric_value(value.substr(0, space)), n)) return std::nullopt;
  const std::string_view unit = trim_spaces(value.substr(space + 1));
  if (contains(unit, "MIN")) {
    const std::int64_t s = static_cast<std::int64_t>(n) * 60;
    if (s < INT32_MIN || s > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(s);
  }
  return n;
}

struct ProcessingRun::Header {
  bool fixed = false;
  bool field = true;
  std::string date_text;
  std::string line_name;
  std::int32_t cycle_seconds = 0;
  float base_field = null_value;
  bool valid = true;
  bool base_field_checked = true;  // the base-field check applies to this header
  std::string label;
  std::int64_t date_seconds = 0;  // the header's date at 00:00:00
};

ProcessingRun::ProcessingRun(SurveyModel& model, Operator& op, DateOrder order)
    : model_(model), op_(op), order_(order) {}

void ProcessingRun::start() {
  model_.reset();
  previous_base_field_ = null_value;
  op_.busy(true);
}

std::int32_t ProcessingRun::add_file_node(const std::string& name) {
  model_.node_count += 1;
  model_.node_block.push_back(0);
  Node node;
  node.key = name;
  node.text = name;
  model_.nodes.push_back(std::move(node));
  return model_.node_count;
}

void ProcessingRun::read_file(const DumpFile& file) {
  const std::int32_t file_node = add_file_node(file.name);
  const std::string path = dump_path(file);
  struct stat st {};
  std::string reason;
  std::FILE* f = nullptr;
  if (::stat(path.c_str(), &st) != 0) {
    reason = std::strerror(errno);
  } else if (S_ISDIR(st.st_mode)) {
    reason = "it is a directory";
  } else if (!S_ISREG(st.st_mode)) {
    reason = "it is not a regular file";
  } else if ((f = std::fopen(path.c_str(), "rb")) == nullptr) {
    reason = std::strerror(errno);
  }
  if (!f) {
    op_.message("The file " + path + " could not be opened: " + reason);
    return;  // the file node stays unchecked
  }
  LineReader in(f);
  read_blocks(file.name, file_node, in);
  if (in.failed()) op_.message("The file " + path + " could not be read to its end: " + std::strerror(EIO));
}

void ProcessingRun::read_text(const std::string& name, std::string_view text) {
  const std::int32_t file_node = add_file_node(name);
  LineReader in(text);
  read_blocks(name, file_node, in);
}

void ProcessingRun::read_blocks(const std::string& name, std::int32_t file_node, LineReader& in) {
  std::int32_t blocks_in_file = 0;
  std::optional<std::string> pending;  // a marker line that ended the previous block
  std::string line;
  for (;;) {
    if (pending) {
      line = std::move(*pending);
      pending.reset();
    } else if (!in.next(line)) {
      break;
    }
    const std::string_view trimmed = trim_spaces(line);
    bool fixed;
    if (contains(trimmed, fixed_marker))
      fixed = true;
    else if (contains(trimmed, keyword_marker))
      fixed = false;
    else
      continue;

    blocks_in_file += 1;
    model_.block_count += 1;
    Header h = fixed ? read_fixed_header(in) : read_keyword_header(in);
    if (!h.field && h.base_field_checked) base_field_check(h, name, blocks_in_file);

    // The block and its node.
    model_.node_count += 1;
    model_.node_block.push_back(model_.block_count);
    Node node;
    node.key = "file" + name + "block" + format_padded(blocks_in_file, 4);
    node.text = format_padded(blocks_in_file, 4) + " " + h.label;
    node.parent = file_node;
    node.checked = h.valid;
    model_.nodes.push_back(std::move(node));

    Block block;
    block.kind = h.field ? field_kind : base_kind;
    block.node = model_.node_count;
    block.first_reading = model_.reading_count() + 1;
    block.line = h.line_name;
    model_.blocks.push_back(std::move(block));
    if (h.field)
      model_.data_block_count += 1;
    else
      model_.base_block_count += 1;

    if (h.valid && !in.at_end()) pending = h.field ? read_field_lines(h, in) : read_base_lines(h, in);
  }
  model_.nodes[static_cast<std::size_t>(file_node)].checked = blocks_in_file > 0;
}

ProcessingRun::Header ProcessingRun::read_keyword_header(LineReader& in) {
  Header h;
  h.fixed = false;
  std::string prefix = "Data ";
  auto header_line = [&in]() -> std::optional<std::string> {
    auto line = read_nonblank_line(in);
    if (!line) return std::nullopt;
    std::string s(trim_spaces(*line));
    std::replace(s.begin(), s.end(), '\t', ' ');
    return s;
  };
  auto line = header_line();  // header line 1 is not inspected
  int number = 1;
  bool complete = line.has_value();
  while (complete && !contains(*line, "/----")) {
    line = header_line();
    if (!line) {
      complete = false;
      break;
    }
    number += 1;
    const std::string up = upper(*line);
    const auto value = [&up]() { return std::string(trim_spaces(after_colon(up))); };
    const bool has_colon = contains(up, ":");
    if (contains(up, "CYC_TIME")) {
      h.field = false;
      prefix = "Base ";
      if (!has_colon) {
        h.valid = false;
      } else if (auto c = cycle_seconds_from(value())) {
        h.cycle_seconds = *c;
      } else {
        h.valid = false;
      }
    } else if (contains(up, "DATE____")) {
      h.date_text = value();
      if (!parse_date(h.date_text, order_)) h.valid = false;
    } else if (contains(up, "LINE____")) {
      std::string name = value();
      if (auto sp = name.find(' '); sp != std::string::npos) name.erase(sp, 1);
      if (!name.empty() && name.back() == '+') name.back() = 'N';
      h.line_name = name;
    } else if (contains(up, "STATION_")) {
      // no effect
    } else if (contains(up, "BASEFLD_")) {
      if (has_colon) {
        std::string v = value();
        std::string_view rest = v;
        const std::string_view first = next_token(rest);
        float bf;
        if (is_numeric(first) && to_single(numeric_value(first), bf)) h.base_field = bf;
      }
    }
    // A header runs to 20 lines with its marker; reaching line 19 makes it invalid.
    if (number >= 19) {
      h.valid = false;
      break;
    }
  }
  if (!complete) h.valid = false;
  if (trim_spaces(h.line_name).empty() || trim_spaces(h.date_text).empty()) h.valid = false;
  h.label = prefix + h.date_text + " Line " + h.line_name;
  if (auto d = parse_date(h.date_text, order_)) h.date_seconds = *d * seconds_per_day;
  return h;
}

ProcessingRun::Header ProcessingRun::read_fixed_header(LineReader& in) {
  Header h;
  h.fixed = true;
  const auto a_line = read_nonblank_line(in);
  const auto b_line = a_line ? read_nonblank_line(in) : std::nullopt;
  const std::string a = a_line ? std::string(trim_spaces(*a_line)) : std::string();
  const std::string b = b_line ? std::string(trim_spaces(*b_line)) : std::string();
  const std::string up_a = upper(a), up_b = upper(b);
  if (a.empty() || b.empty() || !contains(up_a, "BASE") || !contains(up_b, "DATE")) {
    h.valid = false;
    h.field = false;
    h.base_field_checked = false;
    return h;  // kind 0, empty label
  }
  std::string prefix;
  if (contains(up_a, "UNCORR")) {
    h.field = true;
    prefix = "Data ";
  } else {
    h.field = false;
    prefix = "Base ";
    if (const std::size_t t = instr(up_a, "TIME"); t > 0) {
      const std::string value(trim_spaces(mid(up_a, t + 5, 10)));
      if (auto c = cycle_seconds_from(value))
        h.cycle_seconds = *c;
      else
        h.valid = false;
    } else {
      h.valid = false;
    }
  }
  h.date_text = std::string(mid(b, instr(up_b, "DATE") + 6, 8));
  if (auto d = parse_date(h.date_text, order_))
    h.date_seconds = *d * seconds_per_day;
  else
    h.valid = false;
  const std::size_t g = instr(b, "GRID");
  if (g >= 7)
    h.line_name = std::string(trim_spaces(mid(b, 6, g - 7)));
  else
    h.valid = false;
  h.label = prefix + h.date_text + " Line " + h.line_name;

  if (contains(up_a, "BASE FIELD:")) {
    const std::string text(trim_spaces(after_colon(up_a)));
    const std::size_t term = instr(text, h.field ? "*" : "C");
    if (term >= 2) {
      std::string value(trim_spaces(left(text, term - 1)));
      if (!value.empty() && value.front() == '?') {
        value.front() = ' ';
        value = std::string(trim_spaces(value));
      }
      float bf;
      if (is_numeric(value) && to_single(numeric_value(value), bf)) h.base_field = bf;
    }
  }
  return h;
}

void ProcessingRun::base_field_check(const Header& h, const std::string& file_name, std::int32_t block_in_file) {
  if (previous_base_field_ == null_value) previous_base_field_ = h.base_field;
  const float drop = previous_base_field_ - h.base_field;
  if (drop > 0.5f) {
    op_.message("The base station field value has changed from " + format_fixed(previous_base_field_, 1) + " to " +
                format_fixed(h.base_field, 1) + "\r" + "File : " + file_name + " Block : " + format_int(block_in_file));
  }
  previous_base_field_ = h.base_field;
}

std::optional<std::string> ProcessingRun::read_field_lines(const Header& h, LineReader& in) {
  Block& block = model_.blocks.back();
  BlockClock clock;
  std::string station_text;
  while (!in.at_end()) {
    std::optional<std::string> read = read_nonblank_line(in);
    if (!read) break;
    const std::string& line = *read;
    if (is_marker(line)) {
      sort_by_station(model_, block);
      return read;
    }
    if (contains_upper(line, "STAT") || contains(line, "----")) continue;
    std::string_view mag_text;
    std::optional<std::int32_t> tod;
    if (h.fixed) {
      const std::string_view first5 = left(line, 5);
      if (all_spaces(first5) || !is_numeric(first5)) continue;
      if (!is_numeric(left(line, 6))) continue;
      mag_text = mid(line, 9, 7);
      if (!is_numeric(mag_text)) continue;
      tod = parse_time(mid(line, 25, 8));
      if (!tod) continue;
      station_text = upper(left(line, 8));
    } else {
      std::string_view rest = line;
      const std::string_view f1 = next_token(rest);
      const std::string_view f2 = next_token(rest);
      const std::string_view f3 = next_token(rest);
      next_token(rest);
      const std::string_view f5 = next_token(rest);
      if (!is_numeric(f1) || !is_numeric(left(f3, 7))) continue;
      tod = parse_time(f5);
      if (!tod) continue;
      station_text.assign(f1);
      station_text += upper(f2);
      mag_text = f3;
    }
    float mag, station;
    if (!to_single(numeric_value(mag_text), mag)) continue;
    if (!to_single(numeric_value(left(station_text, 6)), station)) continue;
    if (station_text.find_first_of("SW") != std::string::npos) station = -station;

    const double t = day_number(clock.place(h.date_seconds + *tod));
    if (block.num_readings == 0) {
      block.start_time = block.end_time = t;
    } else {
      block.start_time = std::min(block.start_time, t);
      block.end_time = std::max(block.end_time, t);
    }
    block.num_readings += 1;
    model_.readings.push_back(Reading{t, station, mag});
  }
  sort_by_station(model_, block);
  return std::nullopt;
}

std::optional<std::string> ProcessingRun::read_base_lines(const Header& h, LineReader& in) {
  Block& block = model_.blocks.back();
  BlockClock clock;
  while (!in.at_end()) {
    std::optional<std::string> read = read_nonblank_line(in);
    if (!read) break;
    const std::string& line = *read;
    if (is_marker(line)) return read;
    if (contains_upper(line, "STAT")) continue;
    if (contains_upper(line, "TIME") || contains(line, "----")) continue;
    if (all_spaces(left(line, 5)) || line.size() < 3 || line[2] != ':') continue;

    std::string_view rest, time_text, value_text;
    if (h.fixed) {
      time_text = mid(line, 1, 8);
      rest = mid(line, 9);
      value_text = left(rest, 8);
      rest = rest.size() >= 9 ? rest.substr(8) : std::string_view();
    } else {
      rest = line;
      time_text = next_token(rest);
      value_text = next_token(rest);
    }
    const auto tod = parse_time(time_text);
    if (!tod || !is_numeric(value_text)) continue;
    float v;
    if (!to_single(numeric_value(value_text), v)) continue;

    std::int64_t t = clock.place(h.date_seconds + *tod);
    if (block.num_readings == 0) block.start_time = day_number(t);
    model_.readings.push_back(Reading{day_number(t), 0.0f, v});
    block.num_readings += 1;
    while (!rest.empty()) {
      std::string_view diff;
      if (h.fixed) {
        diff = left(rest, 7);
        rest = rest.size() >= 8 ? rest.substr(7) : std::string_view();
      } else {
        diff = next_token(rest);
      }
      if (!is_numeric(diff)) break;
      float sum;
      if (!to_single(static_cast<double>(v) + numeric_value(diff), sum)) break;
      v = sum;
      t = clock.step(t + h.cycle_seconds);
      model_.readings.push_back(Reading{day_number(t), 0.0f, v});
      block.num_readings += 1;
    }
    block.end_time = day_number(t);
  }
  return std::nullopt;
}

void ProcessingRun::finish() {
  model_.match.assign(static_cast<std::size_t>(model_.block_count) + 1, Match{});
  scan_base_blocks(model_);
  op_.busy(false);
}

bool process_files(SurveyModel& model, const std::vector<DumpFile>& files, Operator& op, DateOrder order) {
  if (files.empty()) {
    op.beep();
    return false;
  }
  ProcessingRun run(model, op, order);
  run.start();
  for (const DumpFile& f : files) run.read_file(f);
  run.finish();
  return true;
}

}  // namespace corvane

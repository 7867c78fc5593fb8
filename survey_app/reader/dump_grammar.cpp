// The dump grammar: marker lines, the fixed and keyword headers, and the field and base
// lines of a block, read from one file into its tables.
#include "reader/file_tables.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

#include "reader/byte_kernels.h"
#include "reader/line_reader.h"
#include "reader/tokenizer.h"
#include "util/text.h"

namespace corvane {

// Seconds of a date text at 00:00:00 in the given order; nullopt when it is no date, or one
// outside the years a reading may have.
std::optional<std::int64_t> date_seconds(std::string_view text, DateOrder order) {
  const auto days = parse_date(text, order);
  if (!days || !in_calendar_range(*days * seconds_per_day)) return std::nullopt;
  return *days * seconds_per_day;
}

// The set of orders that read a date text (see DateSetCounts).
unsigned orders_reading(std::string_view text) {
  unsigned set = 0;
  for (const DateOrder order : reading_orders)
    if (date_seconds(text, order)) set |= order_bit(order);
  return set;
}

// How many dates some order reads, and how many of them `order` reads.
std::int64_t dates_read(const DateSetCounts& counts) {
  std::int64_t n = 0;
  for (unsigned set = 1; set < counts.size(); ++set) n += counts[set];
  return n;
}
std::int64_t dates_read_in(const DateSetCounts& counts, DateOrder order) {
  std::int64_t n = 0;
  for (unsigned set = 0; set < counts.size(); ++set)
    if (set & order_bit(order)) n += counts[set];
  return n;
}

namespace {

constexpr std::string_view fixed_marker = "SCINTREX";
constexpr std::string_view keyword_marker = "S C I N T R E X";
constexpr std::int64_t half_day = seconds_per_day / 2;

enum class Marker { none, fixed, keyword };

// What the tests of a line look for, found in one pass: the markers (as written), "STAT"
// and "TIME" in any case, and "----".
struct LineMarks {
  Marker marker = Marker::none;
  bool stat = false;
  bool time = false;
  bool dashes = false;
};

char upper_ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether `s` continues at `at` with the upper-case `needle`, in any case.
bool continues_with_upper(std::string_view s, std::size_t at, std::string_view needle) {
  if (s.size() - at < needle.size()) return false;
  for (std::size_t j = 0; j < needle.size(); ++j)
    if (upper_ascii(s[at + j]) != needle[j]) return false;
  return true;
}

using bytes::may_begin_mark;

LineMarks line_marks(std::string_view s) {
  LineMarks m;
  bool fixed = false, keyword = false;
  // Every searched text is at least four characters long and told apart by its first four,
  // so the rest is compared only where those match. Forced inline (GCC and Clang spelling:
  // the standard attribute does not reach a lambda's call operator), as it runs for every
  // candidate byte of every line.
  const auto look_at = [&](std::size_t i) __attribute__((always_inline)) {
    if (s.size() - i < 4) return;
    std::uint32_t four;
    std::memcpy(&four, s.data() + i, 4);
    constexpr auto as_word = [](const char* text) {
      return std::bit_cast<std::uint32_t>(std::array<char, 4>{text[0], text[1], text[2], text[3]});
    };
    constexpr std::uint32_t scin = as_word("SCIN"), s_c_ = as_word("S C "), stat = as_word("stat"),
                            time = as_word("time"), dashes = as_word("----"), fold = as_word("    ");
    if (four == scin)
      fixed = fixed || s.substr(i, fixed_marker.size()) == fixed_marker;
    else if (four == s_c_)
      keyword = keyword || s.substr(i, keyword_marker.size()) == keyword_marker;
    else if (four == dashes)
      m.dashes = true;
    // Letters fold to lower case with the 0x20 bit; the other bytes of "stat" and "time"
    // are letters too, so a folded match is a match in any case.
    if ((four | fold) == stat) m.stat = m.stat || continues_with_upper(s, i, "STAT");
    if ((four | fold) == time) m.time = m.time || continues_with_upper(s, i, "TIME");
  };
  const auto look_at_each = [&](std::size_t from, std::uint32_t hits) __attribute__((always_inline)) {
    for (; hits != 0; hits &= hits - 1) look_at(from + static_cast<std::size_t>(std::countr_zero(hits)));
  };
  const std::size_t n = s.size();
  if (n >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) look_at_each(i, may_begin_mark(s.data() + i));
    // The last 16 bytes, less those already searched.
    if (i < n) look_at_each(n - 16, may_begin_mark(s.data() + n - 16) & ~((1u << (i - (n - 16))) - 1));
  } else if (n >= 4) {  // a shorter text holds none of them
    // Padded with zeros, which begin nothing.
    std::array<char, 16> padded{};
    std::memcpy(padded.data(), s.data(), n);
    look_at_each(0, may_begin_mark(padded.data()) & ((1u << n) - 1));
  }
  m.marker = fixed ? Marker::fixed : keyword ? Marker::keyword : Marker::none;
  return m;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// read_nonblank_line into `line`, inline for the data lines; false when not a single line
// was left to read.
[[gnu::always_inline]] inline bool next_nonblank_line(LineReader& in, std::string_view& line) {
  bool any = false;
  while (in.next(line)) {
    any = true;
    if (!line.empty() && (line.front() != ' ' || !trim_spaces(line).empty())) return true;
  }
  line = {};  // the last line read was blank
  return any;
}

bool all_spaces(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

// Whether a station text names a station south or west of the line's origin.
bool south_or_west(std::string_view s) {
  // With the 0x20 bit set, only S and s give s, and only W and w give w.
  bool found = false;
  for (const char c : s) found |= (c | 0x20) == 's' || (c | 0x20) == 'w';
  return found;
}

// Whether a whole number text followed by `s` may read as a longer number: only a digit,
// a decimal point or an exponent can carry it on.
bool may_continue_number(std::string_view s) {
  if (s.empty()) return false;
  const char c = s.front();
  return is_digit(c) || c == '.' || c == 'e' || c == 'E';
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

// Field readings end in ascending station order, equal stations in file order. A line
// walked either way round is already in order, or in strictly reverse order.
void sort_by_station(std::vector<Reading>::iterator first, std::vector<Reading>::iterator last) {
  const auto ascending = [](const Reading& x, const Reading& y) { return x.station < y.station; };
  if (std::is_sorted(first, last, ascending)) return;
  const auto not_descending = [](const Reading& x, const Reading& y) { return !(x.station > y.station); };
  if (std::adjacent_find(first, last, not_descending) == last)
    std::reverse(first, last);
  else
    std::stable_sort(first, last, ascending);
}

struct Header {
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

// The lines of a file left out because a reading of theirs would fall outside the years a
// date may have: the first few by number, and how many in all.
struct LinesLeftOut {
  static constexpr std::int64_t named = 10;
  std::array<std::int64_t, named> first{};
  std::int64_t count = 0;
  void add(std::int64_t line) {
    if (count < named) first[static_cast<std::size_t>(count)] = line;
    ++count;
  }
};

// One message for all of a file's lines left out, so that a file of many such lines does
// not bring as many messages: "The file a.dat: lines 12, 15 and 3 more are left out, ...".
std::string lines_outside_calendar_message(const std::string& path, const LinesLeftOut& lines) {
  const std::int64_t shown = std::min(lines.count, LinesLeftOut::named);
  std::string text = "The file " + path + (lines.count == 1 ? ": line " : ": lines ");
  for (std::int64_t i = 0; i < shown; ++i) {
    if (i > 0) text += i + 1 == shown && shown == lines.count ? " and " : ", ";
    text += std::to_string(lines.first[static_cast<std::size_t>(i)]);
  }
  if (lines.count > shown) text += " and " + std::to_string(lines.count - shown) + " more";
  return text + (lines.count == 1 ? " is left out, as a reading of it" : " are left out, as readings of them") +
         " would fall outside the years 100 to 9999";
}

// Reads the blocks of one file into its tables.
class FileParser {
public:
  FileParser(FileTables& out, DateOrder order, LineReader& in) : out_(out), order_(order), in_(in) {}
  void read_blocks();

private:
  std::optional<std::int64_t> header_date(std::string_view text) const;
  Header read_keyword_header();
  Header read_fixed_header();
  // Each its own function: inlined into read_blocks, their loops lose registers to it.
  [[gnu::noinline]] Marker read_field_lines(const Header& h);
  [[gnu::noinline]] Marker read_base_lines(const Header& h);

  FileTables& out_;
  DateOrder order_;
  LineReader& in_;
  LinesLeftOut outside_calendar_;
};

// Seconds of a header's date at 00:00:00; nullopt when it is no date, or one outside the
// years a reading may have.
std::optional<std::int64_t> FileParser::header_date(std::string_view text) const { return date_seconds(text, order_); }

void FileParser::read_blocks() {
  std::int32_t blocks_in_file = 0;
  Marker pending = Marker::none;  // the marker line that ended the previous block
  std::string_view line;
  for (;;) {
    Marker marker = pending;
    pending = Marker::none;
    if (marker == Marker::none) {
      if (!in_.next(line)) break;
      marker = line_marks(line).marker;
      if (marker == Marker::none) continue;
    }

    blocks_in_file += 1;
    const Header h = marker == Marker::fixed ? read_fixed_header() : read_keyword_header();
    // A base block without a base field is not checked (see base_field_check): no note is
    // kept for it, so a file of such headers costs nothing more per header.
    if (!h.field && h.base_field_checked && h.base_field != null_value) {
      FileTables::Note check;
      check.base_field = h.base_field;
      check.block_in_file = blocks_in_file;
      out_.notes.push_back(std::move(check));
    }

    // The block and its node.
    SurveyModel& t = out_.tables;
    Block block;
    block.kind = h.field ? field_kind : base_kind;
    block.node = t.append_node(1, h.label, h.valid);
    block.first_reading = static_cast<std::int32_t>(t.readings.size());
    block.line = h.line_name;
    if (!h.field) block.base_field = h.base_field;
    t.blocks.push_back(std::move(block));
    t.node_block.push_back(static_cast<std::int32_t>(t.blocks.size()) - 1);
    t.block_count += 1;
    t.node_count += 1;
    (h.field ? t.data_block_count : t.base_block_count) += 1;

    if (h.valid && !in_.at_end()) pending = h.field ? read_field_lines(h) : read_base_lines(h);
  }
  out_.tables.nodes[1].checked = blocks_in_file > 0;
  if (outside_calendar_.count > 0) out_.report(lines_outside_calendar_message(out_.path, outside_calendar_));
}

Header FileParser::read_keyword_header() {
  Header h;
  h.fixed = false;
  std::string prefix = "Data ";
  auto header_line = [this]() -> std::optional<std::string> {
    auto line = read_nonblank_line(in_);
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
      if (!header_date(h.date_text)) h.valid = false;
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
  out_.dates.add(h.date_text);
  if (auto d = header_date(h.date_text)) h.date_seconds = *d;
  return h;
}

Header FileParser::read_fixed_header() {
  Header h;
  h.fixed = true;
  const auto a_line = read_nonblank_line(in_);
  const std::string a = a_line ? std::string(trim_spaces(*a_line)) : std::string();  // outlives the next read
  const auto b_line = a_line ? read_nonblank_line(in_) : std::nullopt;
  const std::string_view b = b_line ? trim_spaces(*b_line) : std::string_view();
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
  out_.dates.add(h.date_text);
  if (auto d = header_date(h.date_text))
    h.date_seconds = *d;
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

Marker FileParser::read_field_lines(const Header& h) {
  std::vector<Reading>& readings = out_.tables.readings;
  const auto first = static_cast<std::size_t>(out_.tables.blocks.back().first_reading);
  Marker ended_by = Marker::none;
  BlockClock clock;
  std::string_view line;
  while (!in_.at_end() && next_nonblank_line(in_, line)) {
    const LineMarks marks = line_marks(line);
    if (marks.marker != Marker::none) {
      ended_by = marks.marker;
      break;
    }
    if (marks.stat || marks.dashes) continue;
    std::optional<std::int32_t> tod;
    bool south_west;
    char station_chars[6];  // the first 6 characters of the station text
    double mag_value, station_value;
    if (h.fixed) {
      // The first 5 characters must be a number, and so must the first 6. Where the 6th is
      // a space or absent, both are the same text; where the 5th and 6th are digits, the
      // first 5 are a number whenever the first 6 are. Only other lines check both.
      if (!numeric_text_value(left(line, 6), station_value)) continue;
      const bool first5_follows = line.size() <= 5 || line[5] == ' ' || (is_digit(line[4]) && is_digit(line[5]));
      if (!first5_follows) {
        const std::string_view first5 = left(line, 5);
        if (all_spaces(first5) || !is_numeric(first5)) continue;
      }
      if (!numeric_text_value(mid(line, 9, 7), mag_value)) continue;
      tod = parse_time(mid(line, 25, 8));
      if (!tod) continue;
      south_west = south_or_west(left(line, 8));
    } else {
      std::string_view rest = line;
      const std::string_view f1 = next_token(rest);
      const std::string_view f2 = next_token(rest);
      const std::string_view f3 = next_token(rest);
      next_token(rest);
      const std::string_view f5 = next_token(rest);
      double f1_number;
      if (!numeric_text_value(f1, f1_number)) continue;
      // A field holds no blanks: one of up to 7 characters that is a number is read whole.
      const bool f3_read = f3.size() <= 7;
      if (f3_read) {
        if (!numeric_text_value(f3, mag_value)) continue;
      } else if (!is_numeric(left(f3, 7))) {
        continue;
      }
      tod = parse_time(f5);
      if (!tod) continue;
      // The station text is field 1 followed by field 2 ("100" and "n" give "100N").
      const std::size_t from1 = std::min(f1.size(), sizeof station_chars);
      const std::size_t from2 = std::min(f2.size(), sizeof station_chars - from1);
      south_west = south_or_west(f1) || south_or_west(f2);
      if (from1 == f1.size() && !may_continue_number(f2)) {
        station_value = f1_number;
      } else {
        std::copy_n(f1.data(), from1, station_chars);
        std::copy_n(f2.data(), from2, station_chars + from1);
        station_value = numeric_value(std::string_view(station_chars, from1 + from2));
      }
      if (!f3_read) mag_value = numeric_value(f3);
    }
    float mag, station;
    if (!to_single(mag_value, mag)) continue;
    if (!to_single(station_value, station)) continue;
    if (south_west) station = -station;

    const BlockClock before = clock;
    const std::int64_t seconds = clock.place(h.date_seconds + *tod);
    if (!in_calendar_range(seconds)) {
      clock = before;
      outside_calendar_.add(in_.line_number());
      continue;
    }
    const double t = day_number(seconds);
    Block& block = out_.tables.blocks.back();
    if (block.num_readings == 0) {
      block.start_time = block.end_time = t;
    } else {
      block.start_time = std::min(block.start_time, t);
      block.end_time = std::max(block.end_time, t);
    }
    block.num_readings += 1;
    readings.push_back(Reading{t, station, mag});
  }
  sort_by_station(readings.begin() + static_cast<std::ptrdiff_t>(first), readings.end());
  return ended_by;
}

Marker FileParser::read_base_lines(const Header& h) {
  std::vector<Reading>& readings = out_.tables.readings;
  BlockClock clock;
  std::string_view line;
  while (!in_.at_end() && next_nonblank_line(in_, line)) {
    const LineMarks marks = line_marks(line);
    if (marks.marker != Marker::none) return marks.marker;
    if (marks.stat || marks.time || marks.dashes) continue;
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
    double value;
    if (!numeric_text_value(value_text, value) || !tod) continue;
    float v;
    if (!to_single(value, v)) continue;

    // The line's readings are kept only if every one of them falls within the calendar.
    const BlockClock before = clock;
    const std::size_t line_start = readings.size();
    std::int64_t t = clock.place(h.date_seconds + *tod);
    bool in_range = in_calendar_range(t);
    readings.push_back(Reading{day_number(t), 0.0f, v});
    while (!rest.empty()) {
      std::string_view diff;
      if (h.fixed) {
        diff = left(rest, 7);
        rest = rest.size() >= 8 ? rest.substr(7) : std::string_view();
      } else {
        diff = next_token(rest);
      }
      double step;
      if (!numeric_text_value(diff, step)) break;
      float sum;
      if (!to_single(static_cast<double>(v) + step, sum)) break;
      v = sum;
      t = clock.step(t + h.cycle_seconds);
      in_range = in_range && in_calendar_range(t);
      readings.push_back(Reading{day_number(t), 0.0f, v});
    }
    if (!in_range) {
      readings.resize(line_start);
      clock = before;
      outside_calendar_.add(in_.line_number());
      continue;
    }
    Block& block = out_.tables.blocks.back();
    if (block.num_readings == 0) block.start_time = readings[line_start].time;
    block.num_readings += static_cast<std::int32_t>(readings.size() - line_start);
    block.end_time = day_number(t);
  }
  return Marker::none;
}

std::string error_text(int error) { return std::generic_category().message(error); }

// Opens a dump file without waiting on it (a FIFO or a device is refused, not read); the
// reason when it cannot be read.
std::FILE* open_dump(const std::string& path, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = error_text(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    reason = error_text(errno);
  else if (S_ISDIR(st.st_mode))
    reason = "it is a directory";
  else if (!S_ISREG(st.st_mode))
    reason = "it is not a regular file";
  else if (std::FILE* f = ::fdopen(fd, "rb"))
    return f;
  else
    reason = error_text(errno);
  ::close(fd);
  return nullptr;
}

}  // namespace

// Room in the tables for all that `bytes` of dump files may give, so that no table is
// copied as it grows (a copy would hold the table twice at once): a dump line of a survey
// holds one reading per 16 bytes or fewer, and the shortest text read as a block (a marker
// line and two more, "SCINTREX\nx\nx\n") takes 13 bytes; a label is made of fewer bytes
// than its header. Untouched room costs no memory. A table too large to set aside at once
// grows as it is filled.
void reserve_rows(SurveyModel& t, std::uint64_t bytes) {
  constexpr std::uint64_t bytes_per_reading = 16, bytes_per_block = 13;
  try {
    reserve_more(t.readings, static_cast<std::size_t>(bytes / bytes_per_reading));
  } catch (const std::exception&) {
    return;
  }
  // Filled page by page, the table would cost a page fault per 4 KiB; large pages cut
  // that 512-fold. A hint only: without it nothing changes but the time.
  constexpr std::uintptr_t large_page = std::uintptr_t{1} << 21;
  const auto from = reinterpret_cast<std::uintptr_t>(t.readings.data() + t.readings.size());
  const auto to = reinterpret_cast<std::uintptr_t>(t.readings.data() + t.readings.capacity());
  const std::uintptr_t first = (from + large_page - 1) & ~(large_page - 1), last = to & ~(large_page - 1);
  if (first < last) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  try {
    const auto blocks = static_cast<std::size_t>(bytes / bytes_per_block) + 1;
    reserve_more(t.blocks, blocks);
    reserve_more(t.nodes, blocks);
    reserve_more(t.node_block, blocks);
    reserve_more(t.labels, static_cast<std::size_t>(bytes));
  } catch (const std::exception&) {
  }
}

void read_dump_file(const DumpFile& file, DateOrder order, FileTables& out) {
  const std::string path = dump_path(file);
  try {
    out.start(file.name, path);
    std::string reason;
    std::FILE* f = open_dump(path, reason);
    if (!f) {
      out.report("The file " + path + " could not be opened: " + reason);
      out.unreadable = true;
      return;
    }
    struct stat st {};
    if (::fstat(::fileno(f), &st) == 0) reserve_rows(out.tables, static_cast<std::uint64_t>(st.st_size));
    LineReader in(f);
    FileParser(out, order, in).read_blocks();
    if (in.failed()) {
      out.report("The file " + path + " could not be read to its end: " + error_text(EIO));
      out.unreadable = true;
    }
  } catch (const std::bad_alloc&) {
    out.out_of_memory();
  }
}

std::optional<std::string_view> read_nonblank_line(LineReader& in) {
  std::string_view line;
  if (!next_nonblank_line(in, line)) return std::nullopt;
  return line;
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

void read_dump_text(const std::string& name, std::string_view text, DateOrder order, FileTables& out) {
  out.start(name, name);
  LineReader in(text);
  FileParser(out, order, in).read_blocks();
}

}  // namespace corvane

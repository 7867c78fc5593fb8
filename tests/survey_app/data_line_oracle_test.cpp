// The data-line grammars against readers written straight from their rules: field and base
// lines of both layouts, generated or taken from the fuzz corpus, read by the dump reader
// and by the rules, give the same readings.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dump_fixture.h"
#include "reader/tokenizer.h"
#include "util/date_time.h"
#include "util/text.h"

using namespace corvane;
using namespace corvane::test;

namespace {

struct Expected {
  float station;
  float mag;
  double time;
};

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::string_view part(std::string_view s, std::size_t from, std::size_t n) {
  return from >= s.size() ? std::string_view() : s.substr(from, n);
}

// A block's clock: a line's time is the header's date and its time of day, a day later for
// each time more than half a day before the block's previous reading (past midnight).
class Clock {
public:
  explicit Clock(std::int64_t date_seconds) : offset_(date_seconds) {}
  std::int64_t place(std::int64_t time_of_day) { return step(offset_ + time_of_day); }
  std::int64_t step(std::int64_t seconds) {
    if (any_ && seconds < previous_ - seconds_per_day / 2) {
      offset_ += seconds_per_day;
      seconds += seconds_per_day;
    }
    any_ = true;
    return previous_ = seconds;
  }

private:
  std::int64_t offset_, previous_ = 0;
  bool any_ = false;
};

// One field line by the rules: skipped on "STAT" or "----" in any case, and in the fixed
// layout on five leading blanks or a text that is no number there; then the station, the
// magnetic and the time texts by columns or by fields, each tested; the station the number
// of its first six characters, negative with an S or W anywhere in its text; a value that
// no single holds leaves the line out.
std::optional<Expected> field_by_the_rules(std::string_view line, bool fixed, Clock& clock) {
  const std::string up = upper(line);
  if (up.find("STAT") != std::string::npos || up.find("----") != std::string::npos) return std::nullopt;
  std::string station_text, mag_text;
  std::string_view time_text;
  if (fixed) {
    const std::string_view first5 = part(line, 0, 5);
    if (trim_spaces(first5).empty() || !is_numeric(first5)) return std::nullopt;
    station_text = upper(part(line, 0, 8));
    mag_text = std::string(part(line, 8, 7));
    time_text = part(line, 24, 8);
    if (!is_numeric(part(line, 0, 6)) || !is_numeric(mag_text)) return std::nullopt;
  } else {
    std::string_view rest = line;
    std::string_view fields[5];
    for (std::string_view& f : fields) f = next_token(rest);
    station_text = std::string(fields[0]) + upper(fields[1]);
    mag_text = std::string(fields[2]);
    time_text = fields[4];
    if (!is_numeric(fields[0]) || !is_numeric(part(fields[2], 0, 7))) return std::nullopt;
  }
  const auto tod = parse_time(time_text);
  float station = 0, mag = 0;
  if (!tod || !to_single(numeric_value(part(station_text, 0, 6)), station) || !to_single(numeric_value(mag_text), mag))
    return std::nullopt;
  if (station_text.find_first_of("SW") != std::string::npos) station = -station;
  return Expected{station, mag, day_number(clock.place(*tod))};
}

// One base line by the rules, its readings added to `out`: skipped on "STAT", "TIME" or
// "----", on five leading blanks or a third character other than ":"; then the time and the
// value, and the differences to the first that is no number, each a cycle later and added to
// the value (a sum no single holds ends the line).
void base_by_the_rules(std::string_view line, bool fixed, Clock& clock, std::int64_t cycle,
                       std::vector<Expected>& out) {
  const std::string up = upper(line);
  for (const char* skip : {"STAT", "TIME", "----"})
    if (up.find(skip) != std::string::npos) return;
  if (trim_spaces(part(line, 0, 5)).empty() || part(line, 2, 1) != ":") return;
  std::string_view rest, time_text, value_text;
  if (fixed) {
    time_text = part(line, 0, 8);
    rest = part(line, 8, std::string_view::npos);
    value_text = part(rest, 0, 8);
    rest = rest.size() >= 9 ? rest.substr(8) : std::string_view();
  } else {
    rest = line;
    time_text = next_token(rest);
    value_text = next_token(rest);
  }
  const auto tod = parse_time(time_text);
  float v = 0;
  if (!tod || !is_numeric(value_text) || !to_single(numeric_value(value_text), v)) return;
  std::int64_t t = clock.place(*tod);
  out.push_back({0.0f, v, day_number(t)});
  while (!rest.empty()) {
    std::string_view diff;
    if (fixed) {
      diff = part(rest, 0, 7);
      rest = rest.size() >= 8 ? rest.substr(7) : std::string_view();
    } else {
      diff = next_token(rest);
    }
    if (!is_numeric(diff) || !to_single(static_cast<double>(v) + numeric_value(diff), v)) break;
    t = clock.step(t + cycle);
    out.push_back({0.0f, v, day_number(t)});
  }
}

std::string pick(std::mt19937& random, const std::vector<std::string>& pool) { return pool[random() % pool.size()]; }

const std::vector<std::string> stations{"0", "25", "100", "0150", "-50", "12.5", "7a", "x1", "1e2", "999999", "5 0"};
const std::vector<std::string> directions{"N", "S", "E", "W", "n", "s", "", "+", "0"};
const std::vector<std::string> mags{"57317.4", "57307", "5731.25", "-12", "1e3", "abc", "57x", "123456789", "57.3e1"};
const std::vector<std::string> times{"08:25:00", "8:26:33", "08:26", "25:00:00", "08:61:00", "xx", "10:00:00", "9:5:7"};
const std::vector<std::string> values{"58000.0", "57999", "-12.5", "1e3", "3e38", "1e39", "abc", "58x", "123456789"};
const std::vector<std::string> differences{"1.5", "-0.5", "+2", "0", ".05", "x", "3e38", "-1e39", "1-2", ""};

// Now and then a word that some rule looks for, somewhere in the line.
void sprinkle(std::mt19937& random, std::string& line) {
  if (random() % 10 == 0) line.insert(random() % (line.size() + 1), pick(random, {"TIME", "Stat", "----", "time"}));
}

// Text placed in columns from `column` (1 for the first), padded or cut to `width`.
void put(std::string& line, std::size_t column, std::size_t width, const std::string& text) {
  if (line.size() < column - 1 + width) line.resize(column - 1 + width, ' ');
  for (std::size_t i = 0; i < width; ++i) line[column - 1 + i] = i < text.size() ? text[i] : ' ';
}

std::string fixed_line(std::mt19937& random) {
  std::string line;
  std::string station = pick(random, stations) + pick(random, directions);
  if (random() % 2) station.insert(0, 7 - std::min<std::size_t>(7, station.size()), random() % 2 ? '0' : ' ');
  put(line, 1, 8, station);
  std::string mag = pick(random, mags);
  if (random() % 2) mag.insert(0, 7 - std::min<std::size_t>(7, mag.size()), ' ');
  put(line, 9, 7, mag);
  put(line, 16, 9, "     0.12");
  put(line, 25, 8, pick(random, times));
  if (random() % 8 == 0) line[random() % line.size()] = "s-T9 ."[random() % 6];  // a stray character
  sprinkle(random, line);
  return line;
}

std::string keyword_line(std::mt19937& random) {
  const auto gap = [&] { return std::string(1 + random() % 4, random() % 5 ? ' ' : '\t'); };
  std::string line = std::string(random() % 5, ' ') + pick(random, stations);
  line += gap() + pick(random, directions) + gap() + pick(random, mags) + gap() + "0.19" + gap() + pick(random, times);
  if (random() % 8 == 0) line[random() % line.size()] = "s-T9 ."[random() % 6];
  sprinkle(random, line);
  return line;
}

std::string fixed_base_data_line(std::mt19937& random) {
  std::string line = pick(random, times);
  line.resize(8, ' ');
  std::string value = pick(random, values);
  line += std::string(8 - std::min<std::size_t>(8, value.size()), ' ') + value.substr(0, 8);
  for (int k = static_cast<int>(random() % 6); k > 0; --k) {
    const std::string d = pick(random, differences);
    line += std::string(7 - std::min<std::size_t>(7, d.size()), ' ') + d.substr(0, 7);
  }
  if (random() % 4 == 0) line.resize(line.size() - random() % 5);  // a short last difference
  if (random() % 8 == 0) line[random() % line.size()] = "s-T9 .:"[random() % 7];
  sprinkle(random, line);
  return line;
}

std::string keyword_base_data_line(std::mt19937& random) {
  const auto gap = [&] { return std::string(1 + random() % 3, random() % 5 ? ' ' : '\t'); };
  std::string line = pick(random, times) + gap() + pick(random, values);
  for (int k = static_cast<int>(random() % 6); k > 0; --k) line += gap() + pick(random, differences);
  if (random() % 4 == 0) line += std::string(random() % 3, ' ');
  if (random() % 8 == 0) line[random() % line.size()] = "s-T9 .:"[random() % 7];
  sprinkle(random, line);
  return line;
}

enum class Grammar { field, base };

const std::int64_t date_seconds = *parse_date("07/10/96", DateOrder::mdy) * seconds_per_day;

// A block of each grammar and layout (a cycle of 30 seconds for a base block) before its
// data lines.
std::string head(Grammar grammar, bool fixed) {
  if (grammar == Grammar::field)
    return fixed ? test::fixed_field_header("400N", "07/10/96") : test::keyword_field_header("100 N", "07/10/96");
  return fixed ? test::fixed_base_header("07/10/96") : test::keyword_base_header("07/10/96");
}

// What the rules read from the lines, in the block's order.
std::vector<Expected> by_the_rules(Grammar grammar, bool fixed, const std::vector<std::string>& lines) {
  std::vector<Expected> expected;
  Clock clock(date_seconds);
  for (const std::string& line : lines) {
    if (grammar == Grammar::base) {
      base_by_the_rules(line, fixed, clock, 30, expected);
    } else if (const auto reading = field_by_the_rules(line, fixed, clock)) {
      expected.push_back(*reading);
    }
  }
  if (grammar == Grammar::field)
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Expected& a, const Expected& b) { return a.station < b.station; });
  return expected;
}

// Lines that a block's data may hold: neither blank nor a marker, which would end it.
bool data_line(std::string_view line) {
  return !trim_spaces(line).empty() && line.find("SCINTREX") == std::string::npos &&
         line.find("S C I N T R E X") == std::string::npos;
}

class DataLineOracle : public ReaderTest {
protected:
  // Reads the lines as one block's data with the dump reader; expects what the rules read.
  void expect_the_rules(Grammar grammar, bool fixed, const std::vector<std::string>& lines, const char* what) {
    SCOPED_TRACE(std::string(what) + (grammar == Grammar::field ? ", field" : ", base") +
                 (fixed ? " lines, fixed layout" : " lines, keyword layout"));
    const std::vector<Expected> expected = by_the_rules(grammar, fixed, lines);
    std::string text = head(grammar, fixed);
    for (const std::string& line : lines) text += line + "\r\n";
    model = SurveyModel();
    run_one(text);
    ASSERT_EQ(model.block_count, 1);
    const Block& b = block(1);
    ASSERT_EQ(b.num_readings, static_cast<std::int32_t>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const Reading& r = model.reading(b.first_reading + static_cast<std::int32_t>(i));
      ASSERT_EQ(r.station, expected[i].station) << "reading " << i;
      ASSERT_EQ(r.mag, expected[i].mag) << "reading " << i;
      ASSERT_EQ(r.time, expected[i].time) << "reading " << i;
    }
    read_ += expected.size();
  }
  std::size_t read_ = 0;
};

}  // namespace

TEST_F(DataLineOracle, TheReaderReadsWhatTheRulesReadInGeneratedLines) {
  std::mt19937 random(17);
  for (const Grammar grammar : {Grammar::field, Grammar::base}) {
    for (const bool fixed : {true, false}) {
      std::vector<std::string> lines;
      for (int k = 0; k < 3000; ++k) {
        std::string line = grammar == Grammar::field
                               ? (fixed ? fixed_line(random) : keyword_line(random))
                               : (fixed ? fixed_base_data_line(random) : keyword_base_data_line(random));
        if (data_line(line)) lines.push_back(std::move(line));
      }
      const std::size_t before = read_;
      expect_the_rules(grammar, fixed, lines, "generated");
      // The lines read are many, and so are those left out.
      EXPECT_GT(read_ - before, 300u);
      if (grammar == Grammar::field) {
        EXPECT_LT(read_ - before, 2700u);
      }
    }
  }
}

TEST_F(DataLineOracle, TheReaderReadsWhatTheRulesReadInTheFuzzCorpus) {
  std::vector<std::string> lines;
  for (const auto& entry : std::filesystem::directory_iterator(CORVANE_FUZZ_CORPUS_DIR)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string line;
    for (const char c : bytes.str() + "\n") {
      if (c != '\r' && c != '\n') {
        line += c;
        continue;
      }
      if (data_line(line)) lines.push_back(line);
      line.clear();
    }
  }
  ASSERT_GT(lines.size(), 50u);
  for (const Grammar grammar : {Grammar::field, Grammar::base})
    for (const bool fixed : {true, false}) expect_the_rules(grammar, fixed, lines, "corpus");
  EXPECT_GT(read_, 20u);  // the corpus holds lines of every grammar that are read
}

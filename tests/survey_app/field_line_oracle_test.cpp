// The field-line grammar against a reader written straight from its rules: generated lines
// of both layouts, read by the dump reader and by the rules, give the same readings.
#include <algorithm>
#include <cctype>
#include <random>
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

// One field line by the rules: skipped on "STAT" or "----" in any case, and in the fixed
// layout on five leading blanks or a text that is no number there; then the station, the
// magnetic and the time texts by columns or by fields, each tested; the station the number
// of its first six characters, negative with an S or W anywhere in its text.
std::optional<Expected> by_the_rules(std::string_view line, bool fixed, std::int64_t date_seconds) {
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
  if (!tod) return std::nullopt;
  float station = static_cast<float>(numeric_value(part(station_text, 0, 6)));
  if (station_text.find_first_of("SW") != std::string::npos) station = -station;
  return Expected{station, static_cast<float>(numeric_value(mag_text)), day_number(date_seconds + *tod)};
}

std::string pick(std::mt19937& random, const std::vector<std::string>& pool) { return pool[random() % pool.size()]; }

const std::vector<std::string> stations{"0", "25", "100", "0150", "-50", "12.5", "7a", "x1", "1e2", "999999", "5 0"};
const std::vector<std::string> directions{"N", "S", "E", "W", "n", "s", "", "+", "0"};
const std::vector<std::string> mags{"57317.4", "57307", "5731.25", "-12", "1e3", "abc", "57x", "123456789", "57.3e1"};
const std::vector<std::string> times{"08:25:00", "8:26:33", "08:26", "25:00:00", "08:61:00", "xx", "10:00:00", "9:5:7"};

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
  return line;
}

std::string keyword_line(std::mt19937& random) {
  const auto gap = [&] { return std::string(1 + random() % 4, random() % 5 ? ' ' : '\t'); };
  std::string line = std::string(random() % 5, ' ') + pick(random, stations);
  line += gap() + pick(random, directions) + gap() + pick(random, mags) + gap() + "0.19" + gap() + pick(random, times);
  if (random() % 8 == 0) line[random() % line.size()] = "s-T9 ."[random() % 6];
  return line;
}

class FieldLineOracle : public ReaderTest {};

}  // namespace

TEST_F(FieldLineOracle, TheReaderReadsWhatTheRulesRead) {
  std::mt19937 random(17);
  for (const bool fixed : {true, false}) {
    const std::string head = fixed ? "SCINTREX   MP-2   PROTON PRECESSION MAGNETOMETER\r\n"
                                     "MP-2  UNCORRECTED DATA   BASE FIELD: 57500.0*\r\n"
                                     "LINE 400N    GRID  01      DATE: 07/10/96\r\n"
                                   : "S C I N T R E X   ENVI-MAG  MAGNETOMETER   VER 3.21\r\n"
                                     "ENVI MAG     SERIAL 9305212\r\nDATE____: 07/10/96\r\nLINE____: 100 N\r\n"
                                     "STATION_: 0\r\nBASEFLD_: 57500.0\r\n/---------------\r\n";
    const std::int64_t date = *parse_date("07/10/96", DateOrder::mdy) * seconds_per_day;
    std::string text = head;
    std::vector<Expected> expected;
    for (int k = 0; k < 3000; ++k) {
      const std::string line = fixed ? fixed_line(random) : keyword_line(random);
      if (trim_spaces(line).empty() || line.find("S C I N T R E X") != std::string::npos) continue;
      text += line + "\r\n";
      if (const auto reading = by_the_rules(line, fixed, date)) expected.push_back(*reading);
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Expected& a, const Expected& b) { return a.station < b.station; });
    model = SurveyModel();
    run_one(text);
    ASSERT_EQ(model.block_count, 1) << fixed;
    const Block& b = block(1);
    ASSERT_EQ(b.num_readings, static_cast<std::int32_t>(expected.size())) << fixed;
    ASSERT_GT(expected.size(), 300u) << fixed;  // the lines read are many, and so are those left out
    ASSERT_LT(expected.size(), 2700u) << fixed;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const Reading& r = model.reading(b.first_reading + static_cast<std::int32_t>(i));
      ASSERT_EQ(r.station, expected[i].station) << fixed << " reading " << i;
      ASSERT_EQ(r.mag, expected[i].mag) << fixed << " reading " << i;
      ASSERT_EQ(r.time, expected[i].time) << fixed << " reading " << i;
    }
  }
}

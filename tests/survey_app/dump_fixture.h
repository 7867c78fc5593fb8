#pragma once
// Builds dump files for the reader tests and runs processing runs over them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/survey_model.h"
#include "reader/dump_reader.h"
#include "recording_operator.h"
#include "temp_dir.h"
#include "util/date_time.h"

namespace corvane::test {

inline std::string pad_left(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
inline std::string pad_right(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

// A fixed-column field line: station in columns 1-8, magnetic value 9-15, time 25-32.
inline std::string fixed_field_line(const std::string& station, const std::string& mag, const std::string& time) {
  return pad_right(station, 8) + pad_left(mag, 7) + " " + pad_left("0.00", 8) + pad_right(time, 8);
}
// A fixed-column base line: time in columns 1-8, value in the next 8, differences in 7 each.
inline std::string fixed_base_line(const std::string& time, const std::string& value,
                                   const std::vector<std::string>& diffs = {}) {
  std::string line = pad_right(time, 8) + pad_left(value, 8);
  for (const auto& d : diffs) line += pad_left(d, 7);
  return line;
}
inline std::string fixed_field_header(const std::string& line, const std::string& date,
                                      const std::string& base_field = "58000.0") {
  return "SCINTREX   MP-2   PROTON MAGNETOMETER\n"
         "MP-2  UNCORRECTED DATA   BASE FIELD: " +
         base_field + "*\n" + "LINE " + pad_right(line, 8) + "GRID  01      DATE: " + date + "\n";
}
inline std::string fixed_base_header(const std::string& date, const std::string& cycle = "30 SEC",
                                     const std::string& base_field = "58000.0") {
  return "SCINTREX   MP-2   PROTON MAGNETOMETER\n"
         "MP-2  BASE STATION  BASE FIELD: " +
         base_field + "C  CYCLE TIME: " + cycle + "\n" + "LINE BS1     GRID  01      DATE: " + date + "\n";
}
inline std::string keyword_header(const std::vector<std::string>& keyword_lines) {
  std::string s = "S C I N T R E X   ENVI-MAG\nENVI MAG  VER 3.21\n";
  for (const auto& l : keyword_lines) s += l + "\n";
  return s + "/------------------------------\n";
}
inline std::string keyword_field_header(const std::string& line, const std::string& date,
                                        const std::string& base_field = "58000.0") {
  return keyword_header({"DATE____: " + date, "LINE____: " + line, "STATION_: 0", "BASEFLD_: " + base_field});
}
inline std::string keyword_base_header(const std::string& date, const std::string& cycle = "30 SEC",
                                       const std::string& base_field = "58000.0") {
  return keyword_header({"DATE____: " + date, "LINE____: BS 1", "CYC_TIME: " + cycle, "BASEFLD_: " + base_field});
}

inline double at(int y, unsigned m, unsigned d, int h, int mi, int s) {
  return day_number(days_from_civil(y, m, d) * seconds_per_day + h * 3600 + mi * 60 + s);
}

class ReaderTest : public ::testing::Test {
protected:
  TempDir dir;
  RecordingOperator op;
  SurveyModel model;

  DumpFile file(const std::string& name, const std::string& text) {
    dir.write(name, text);
    return DumpFile{name, dir.dir()};
  }
  // One run over the given files (name, text), dates month/day/year.
  ProcessingSummary run(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<DumpFile> list;
    for (const auto& [name, text] : files) list.push_back(file(name, text));
    return process_files(model, list, op, DateOrder::mdy);
  }
  void run_one(const std::string& text) { run({{"a.dat", text}}); }

  const Block& block(int b) const { return model.block(b); }
  const Node& node(int n) const { return model.nodes[static_cast<std::size_t>(n)]; }
  std::vector<float> stations(int b) const {
    std::vector<float> out;
    for (int r = block(b).first_reading; r < block(b).first_reading + block(b).num_readings; ++r)
      out.push_back(model.reading(r).station);
    return out;
  }
  std::vector<float> mags(int b) const {
    std::vector<float> out;
    for (int r = block(b).first_reading; r < block(b).first_reading + block(b).num_readings; ++r)
      out.push_back(model.reading(r).mag);
    return out;
  }
  std::vector<double> times(int b) const {
    std::vector<double> out;
    for (int r = block(b).first_reading; r < block(b).first_reading + block(b).num_readings; ++r)
      out.push_back(model.reading(r).time);
    return out;
  }
};

}  // namespace corvane::test

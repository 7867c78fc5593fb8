#pragma once
// A small survey day for the map tests: a base session from 10:00:00 to 10:02:00 and
// field lines of every direction letter.
#include <string>

#include "dump_fixture.h"

namespace corvane::test {

inline std::string map_field_line(const std::string& line, const std::string& first_time,
                                  const std::string& second_time, const std::string& first_mag = "58010.0",
                                  const std::string& second_mag = "58020.0") {
  return fixed_field_header(line, "07/09/96") + "STATION  MAG   SD   TIME\n" +
         fixed_field_line("10", first_mag, first_time) + "\n" + fixed_field_line("20", second_mag, second_time) + "\n";
}

// Lines 100N, 200S, 300E, 400W, 500n inside the session; 600N with its second reading
// after it; 1e99N, whose name gives no 32-bit coordinate.
inline std::string map_day() {
  std::string text = "MP-2 DUMP\n" + fixed_base_header("07/09/96", "30 SEC") + "  TIME     BASE   DIFFERENCES\n" +
                     fixed_base_line("10:00:00", "58000.0", {"1.0", "1.0", "1.0"}) + "\n" +
                     fixed_base_line("10:02:00", "58004.0") + "\n";
  for (const char* line : {"100N", "200S", "300E", "400W", "500n"})
    text += map_field_line(line, "10:00:30", "10:01:00");
  text += map_field_line("600N", "10:01:00", "10:05:00");
  text += map_field_line("1e99N", "10:00:30", "10:01:00");
  return text;
}

}  // namespace corvane::test

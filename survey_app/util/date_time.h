#pragma once
// Dates and times of the dump files and the exports.
//
// A date-time is kept as whole seconds since 30 December 1899 00:00:00 while it is being
// built, and stored as a day number (seconds / 86400): equal clock times therefore give
// bit-identical day numbers however they were reached.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// `automatic` is a choice, not an order to read in: a processing run chooses one of the
// other three for the dates of its files. parse_date reads nothing with it.
enum class DateOrder { mdy, dmy, ymd, automatic };

// The day/month order of the user's regional settings (LC_ALL, LC_TIME, LANG); the C and
// POSIX locales, and any locale that cannot be loaded, count as month/day/year.
DateOrder system_date_order();
// "mdy", "dmy", "ymd", "auto"; nullopt for anything else.
std::optional<DateOrder> parse_date_order(std::string_view text);
// "month/day/year", "day/month/year", "year/month/day", "automatic".
std::string_view date_order_name(DateOrder order);

// One rule decides validity and value. A date is three groups of digits separated by
// the same one of "/", "-", "." in the given order; day and month have one or two digits,
// the year two or four (00-29 are 2000-2029, 30-99 are 1930-1999); only real calendar
// dates pass. Blanks around the text are ignored. Returns days since 30 December 1899.
std::optional<std::int64_t> parse_date(std::string_view text, DateOrder order);
// h:mm or h:mm:ss, hours 0-23, minutes and seconds two digits 0-59. Seconds of the day.
std::optional<std::int32_t> parse_time_any(std::string_view text);
inline std::optional<std::int32_t> parse_time(std::string_view s) {
  // The form of nearly every dump line, "hh:mm:ss", read at once; the same rule as
  // parse_time_any, which reads every other text.
  const auto digit = [&s](std::size_t i) { return s[i] >= '0' && s[i] <= '9'; };
  if (s.size() == 8 && s[2] == ':' && s[5] == ':' && digit(0) && digit(1) && digit(3) && digit(4) && digit(6) &&
      digit(7)) {
    const int h = (s[0] - '0') * 10 + (s[1] - '0'), m = (s[3] - '0') * 10 + (s[4] - '0');
    const int sec = (s[6] - '0') * 10 + (s[7] - '0');
    if (h > 23 || m > 59 || sec > 59) return std::nullopt;
    return h * 3600 + m * 60 + sec;
  }
  return parse_time_any(s);
}

constexpr std::int64_t seconds_per_day = 86400;

inline double day_number(std::int64_t seconds) { return static_cast<double>(seconds) / 86400.0; }
// Days since 30 December 1899 of a calendar date (Howard Hinnant's days-from-civil, shifted
// so that 30 December 1899 is day 0), and back.
constexpr std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t unix_days = era * 146097 + static_cast<std::int64_t>(doe) - 719468;
  return unix_days + 25569;  // 1970-01-01 is day 25569
}
void civil_from_days(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day);

// Whether a date-time (seconds since 30 December 1899) lies in the years 100 to 9999, the
// years every date format writes in four digits. Inline: the reader asks it of every line.
inline bool in_calendar_range(std::int64_t seconds) {
  constexpr std::int64_t first = days_from_civil(100, 1, 1) * seconds_per_day;
  constexpr std::int64_t past_last = days_from_civil(10000, 1, 1) * seconds_per_day;
  return seconds >= first && seconds < past_last;
}
// The nearest whole second of a day number.
std::int64_t whole_seconds(double day_number);

// Formats of a day number: "yyyy/mm/dd", "mm/dd/yyyy", "hh:mm:ss", and both joined by a
// blank ("yyyy/mm/dd hh:mm:ss").
std::string format_ymd(double day_number);
std::string format_mdy(double day_number);
std::string format_hms(double day_number);
// The day (day 0 being 30 December 1899) and the second of that day of a time in whole
// seconds.
struct DaySecond {
  std::int64_t day = 0;
  std::int64_t second = 0;
};
DaySecond day_and_second(std::int64_t seconds);
// hh:mm:ss of a second of the day (0 to 86399), written to out[0..8).
void put_hms(char* out, std::int64_t second_of_day);
std::string format_ymd_hms(double day_number);

}  // namespace corvane

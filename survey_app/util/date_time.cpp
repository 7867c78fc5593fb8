#include "util/date_time.h"

#include <langinfo.h>
#include <locale.h>
#include <cmath>
#include <cstring>

#include "util/text.h"

namespace corvane {

namespace {

// Reads a run of 1..max_digits digits at s[pos]; advances pos.
bool read_digits(std::string_view s, std::size_t& pos, std::size_t min_digits, std::size_t max_digits, int& value,
                 std::size_t& count) {
  value = 0;
  count = 0;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
    if (count == max_digits) return false;
    value = value * 10 + (s[pos] - '0');
    ++pos;
    ++count;
  }
  return count >= min_digits;
}

bool leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(std::int64_t y, unsigned m) {
  static const unsigned table[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29u : table[m - 1];
}

std::string two(std::int64_t v) { return format_padded(v, 2); }

}  // namespace

DateOrder system_date_order() {
  locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return DateOrder::mdy;
  std::string fmt = nl_langinfo_l(D_FMT, loc);
  freelocale(loc);
  // Expand the composite conversions.
  for (std::size_t p; (p = fmt.find("%D")) != std::string::npos;) fmt.replace(p, 2, "%m/%d/%y");
  for (std::size_t p; (p = fmt.find("%F")) != std::string::npos;) fmt.replace(p, 2, "%Y-%m-%d");
  std::size_t d = std::string::npos, m = std::string::npos, y = std::string::npos;
  for (std::size_t i = 0; i + 1 < fmt.size(); ++i) {
    if (fmt[i] != '%') continue;
    std::size_t j = i + 1;
    while (j < fmt.size() && (fmt[j] == 'E' || fmt[j] == 'O' || fmt[j] == '-' || fmt[j] == '_' || fmt[j] == '0')) ++j;
    if (j >= fmt.size()) break;
    const char c = fmt[j];
    if ((c == 'd' || c == 'e') && d == std::string::npos) d = i;
    if ((c == 'm' || c == 'b' || c == 'B' || c == 'h') && m == std::string::npos) m = i;
    if ((c == 'y' || c == 'Y' || c == 'C') && y == std::string::npos) y = i;
    i = j;
  }
  if (d == std::string::npos || m == std::string::npos || y == std::string::npos) return DateOrder::mdy;
  if (y < m && y < d) return DateOrder::ymd;
  if (d < m) return DateOrder::dmy;
  return DateOrder::mdy;
}

std::optional<DateOrder> parse_date_order(std::string_view text) {
  if (text == "mdy") return DateOrder::mdy;
  if (text == "dmy") return DateOrder::dmy;
  if (text == "ymd") return DateOrder::ymd;
  if (text == "auto") return DateOrder::automatic;
  return std::nullopt;
}

std::string_view date_order_name(DateOrder order) {
  switch (order) {
    case DateOrder::mdy: return "month/day/year";
    case DateOrder::dmy: return "day/month/year";
    case DateOrder::ymd: return "year/month/day";
    default: return "automatic";
  }
}

std::optional<std::int64_t> parse_date(std::string_view text, DateOrder order) {
  if (order == DateOrder::automatic) return std::nullopt;
  const std::string_view s = trim_blanks(text);
  int part[3];
  std::size_t digits[3];
  std::size_t pos = 0;
  char sep = 0;
  const int year_index = order == DateOrder::ymd ? 0 : 2;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= s.size()) return std::nullopt;
      const char c = s[pos];
      if (c != '/' && c != '-' && c != '.') return std::nullopt;
      if (i == 1)
        sep = c;
      else if (c != sep)
        return std::nullopt;
      ++pos;
    }
    const std::size_t max_digits = i == year_index ? 4 : 2;
    if (!read_digits(s, pos, 1, max_digits, part[i], digits[i])) return std::nullopt;
    if (i == year_index && digits[i] != 2 && digits[i] != 4) return std::nullopt;
  }
  if (pos != s.size()) return std::nullopt;
  int year, month, day;
  switch (order) {
    case DateOrder::mdy:
      month = part[0];
      day = part[1];
      year = part[2];
      break;
    case DateOrder::dmy:
      day = part[0];
      month = part[1];
      year = part[2];
      break;
    default:
      year = part[0];
      month = part[1];
      day = part[2];
      break;
  }
  if (digits[year_index] == 2) year += year < 30 ? 2000 : 1900;
  if (year < 1 || month < 1 || month > 12 || day < 1) return std::nullopt;
  if (static_cast<unsigned>(day) > days_in_month(year, static_cast<unsigned>(month))) return std::nullopt;
  return days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
}

std::optional<std::int32_t> parse_time_any(std::string_view text) {
  const std::string_view s = trim_blanks(text);
  std::size_t pos = 0, n = 0;
  int h, m, sec = 0;
  if (!read_digits(s, pos, 1, 2, h, n) || h > 23) return std::nullopt;
  if (pos >= s.size() || s[pos] != ':') return std::nullopt;
  ++pos;
  if (!read_digits(s, pos, 2, 2, m, n) || m > 59) return std::nullopt;
  if (pos < s.size()) {
    if (s[pos] != ':') return std::nullopt;
    ++pos;
    if (!read_digits(s, pos, 2, 2, sec, n) || sec > 59) return std::nullopt;
  }
  if (pos != s.size()) return std::nullopt;
  return h * 3600 + m * 60 + sec;
}

std::int64_t whole_seconds(double day_number) {
  const double s = std::nearbyint(day_number * 86400.0);
  if (!(s > -9.0e18 && s < 9.0e18)) return 0;
  return static_cast<std::int64_t>(s);
}

DaySecond day_and_second(std::int64_t seconds) {
  DaySecond at{seconds / seconds_per_day, seconds % seconds_per_day};
  if (at.second < 0) {
    at.second += seconds_per_day;
    --at.day;
  }
  return at;
}

void civil_from_days(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
  const std::int64_t z = days - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
}

namespace {
struct Split {
  std::int64_t year;
  unsigned month, day;
  std::int64_t secs;
};
Split split(double day_number) {
  const DaySecond at = day_and_second(whole_seconds(day_number));
  Split s{};
  civil_from_days(at.day, s.year, s.month, s.day);
  s.secs = at.second;
  return s;
}
std::string year_text(std::int64_t y) { return format_padded(y, 4); }

std::string ymd_text(const Split& s) { return year_text(s.year) + "/" + two(s.month) + "/" + two(s.day); }
std::string hms_text(const Split& s) {
  std::string text(8, ':');
  put_hms(text.data(), s.secs);
  return text;
}
}  // namespace

void put_hms(char* out, std::int64_t second_of_day) {
  const auto s = static_cast<unsigned>(second_of_day);
  const unsigned hours = s / 3600, minutes = (s - hours * 3600) / 60, seconds = s - hours * 3600 - minutes * 60;
  std::memcpy(out, digit_pairs + 2 * hours, 2);
  out[2] = ':';
  std::memcpy(out + 3, digit_pairs + 2 * minutes, 2);
  out[5] = ':';
  std::memcpy(out + 6, digit_pairs + 2 * seconds, 2);
}

std::string format_ymd(double dn) { return ymd_text(split(dn)); }

std::string format_mdy(double dn) {
  const Split s = split(dn);
  return two(s.month) + "/" + two(s.day) + "/" + year_text(s.year);
}

std::string format_hms(double dn) { return hms_text(split(dn)); }

std::string format_ymd_hms(double dn) {
  const Split s = split(dn);  // one calendar conversion for both halves
  return ymd_text(s) + " " + hms_text(s);
}

}  // namespace corvane

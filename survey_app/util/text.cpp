#include "util/text.h"

#include <locale.h>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

namespace corvane {

std::string_view trim_blanks(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

namespace {

// The number form, read once: an optional sign, digits with at most one decimal point (at
// least one digit) and an optional exponent. With skip_blanks, spaces and tabs anywhere
// are passed over as if absent.
struct NumberText {
  const char* end = nullptr;  // just after the longest leading number; where the scan began when none
  bool found = false;         // a number was read
  bool negative = false;
  bool exponent = false;
  bool long_mantissa = false;  // more digits than `mantissa` holds
  std::uint64_t mantissa = 0;  // every digit, point left out
  int fraction_digits = 0;
};

// Digits are added to the mantissa while it is below this, so it stays below 10^18.
constexpr std::uint64_t mantissa_room = 100'000'000'000'000'000;

// Inlined into each caller so that the scan's result stays in registers: it is read for
// every number of every data line. Other compilers ignore the attribute.
template <bool skip_blanks>
[[gnu::always_inline]] inline NumberText scan_number(const char* p, const char* const last) {
  NumberText t;
  t.end = p;
  const auto next = [&]() -> int {
    if constexpr (skip_blanks)
      while (p != last && (*p == ' ' || *p == '\t')) ++p;
    return p != last ? static_cast<unsigned char>(*p) : -1;
  };
  const auto is_digit = [](int c) { return static_cast<unsigned>(c - '0') <= 9; };
  int c = next();
  if (c == '+' || c == '-') {
    t.negative = c == '-';
    ++p;
    c = next();
  }
  int digits = 0;
  const auto take_digits = [&] {
    for (; is_digit(c); ++p, c = next(), ++digits) {
      if (t.mantissa < mantissa_room)
        t.mantissa = t.mantissa * 10 + static_cast<unsigned>(c - '0');
      else
        t.long_mantissa = true;
    }
  };
  take_digits();
  if (c == '.') {
    ++p;
    c = next();
    const int whole = digits;
    take_digits();
    t.fraction_digits = digits - whole;
  }
  if (digits == 0) return t;
  t.found = true;
  t.end = p;
  if (c == 'e' || c == 'E') {  // taken only when digits follow
    ++p;
    c = next();
    if (c == '+' || c == '-') {
      ++p;
      c = next();
    }
    if (is_digit(c)) {
      while (is_digit(c)) ++p, c = next();
      t.exponent = true;
      t.end = p;
    }
  }
  return t;
}

// The value of a text already known to be of the number form.
double parse_clean(std::string_view text) {
  if (text.empty()) return 0.0;
  const bool minus = text.front() == '-';
  if (text.front() == '+' || minus) text.remove_prefix(1);
  double v = 0.0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: let the C library say which.
    static locale_t c_locale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    v = strtod_l(std::string(text).c_str(), nullptr, c_locale);
  }
  return minus ? -v : v;
}

// The value of a scanned number that the quick rule below does not give, from `begin`
// (where the scan began), blanks left out.
template <bool skip_blanks>
double exact_number_value(const char* begin, const NumberText& t) {
  if constexpr (!skip_blanks) return parse_clean(std::string_view(begin, static_cast<std::size_t>(t.end - begin)));
  std::string text;
  text.reserve(static_cast<std::size_t>(t.end - begin));
  for (const char* p = begin; p != t.end; ++p)
    if (*p != ' ' && *p != '\t') text.push_back(*p);
  return parse_clean(text);
}

// The value of a scanned number from `begin` (where the scan began), blanks left out.
// A mantissa below 2^53 and a power of ten up to 10^22 are both exact doubles, so their
// quotient, rounded once, is the correctly rounded value; anything else goes through
// the correctly rounding parser. Inlined for the same reason as the scan.
template <bool skip_blanks>
[[gnu::always_inline]] inline double number_value(const char* begin, const NumberText& t) {
  if (!t.found) return 0.0;
  if (!t.exponent && !t.long_mantissa && t.mantissa <= (std::uint64_t{1} << 53) && t.fraction_digits <= 22) {
    const double v = static_cast<double>(t.mantissa) / powers_of_ten[t.fraction_digits];
    return t.negative ? -v : v;
  }
  return exact_number_value<skip_blanks>(begin, t);
}

}  // namespace

bool is_numeric(std::string_view s) {
  s = trim_spaces(s);
  const NumberText t = scan_number<false>(s.data(), s.data() + s.size());
  if (!t.found || t.end != s.data() + s.size()) return false;
  // Without an exponent, fewer than 300 digits always fit a double.
  if (!t.exponent && s.size() < 300) return true;
  return std::isfinite(number_value<false>(s.data(), t));
}

bool numeric_text_value_scanned(std::string_view s, double& value) {
  s = trim_spaces(s);
  const NumberText t = scan_number<false>(s.data(), s.data() + s.size());
  if (!t.found || t.end != s.data() + s.size()) return false;
  const double v = number_value<false>(s.data(), t);
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

double numeric_value(std::string_view s) {
  const NumberText t = scan_number<true>(s.data(), s.data() + s.size());
  return number_value<true>(s.data(), t);
}

bool round_to_int32(double v, std::int32_t& out) {
  if (!std::isfinite(v)) return false;
  const double r = std::nearbyint(v);  // default rounding mode: halves to even
  if (r < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      r > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return false;
  out = static_cast<std::int32_t>(r);
  return true;
}

namespace {

// A text written backwards from the end of a range, noting when it does not fit.
struct BackwardText {
  char* p;  // where the text begins
  char* first;
  bool fits = true;
  void put(char c) {
    if (p == first)
      fits = false;
    else
      *--p = c;
  }
  void put(std::string_view text) {
    for (auto i = text.size(); i-- > 0;) put(text[i]);
  }
};

// format_fixed of any finite magnitude, sign left out: the shortest text rounded digit by
// digit from its end, halves away from zero.
void fixed_from_shortest_text(BackwardText& out, float magnitude, std::size_t keep) {
  char text[64];  // the longest, 1.4e-45 written out, has 47 characters
  const char* const text_end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::fixed).ptr;
  const char* const point = std::find(static_cast<const char*>(text), text_end, '.');
  const char* const fraction = point == text_end ? text_end : point + 1;
  const auto fraction_size = static_cast<std::size_t>(text_end - fraction);
  bool carry = fraction_size > keep && fraction[keep] >= '5';
  const auto put_digit = [&](char digit) {
    if (carry) {
      carry = digit == '9';
      digit = carry ? '0' : static_cast<char>(digit + 1);
    }
    out.put(digit);
  };
  for (std::size_t i = keep; i-- > 0;) put_digit(i < fraction_size ? fraction[i] : '0');
  if (keep > 0) out.put('.');
  for (const char* d = point; d != text;) put_digit(*--d);
  if (carry) out.put('1');
}

}  // namespace

namespace text_detail {

char* format_fixed_slowly(char* first, char* end, float v, int decimals) {
  BackwardText out{end, first};
  if (std::isnan(v)) {
    out.put("NaN");
  } else if (std::isinf(v)) {
    out.put(v < 0 ? "-Infinity" : "Infinity");
  } else {
    fixed_from_shortest_text(out, std::fabs(v), static_cast<std::size_t>(std::max(decimals, 0)));
    if (v < 0) out.put('-');
  }
  return out.fits ? out.p : nullptr;
}

}  // namespace text_detail

std::string format_fixed(float v, int decimals) {
  const std::size_t room = fixed_text_room(decimals);
  std::string out(room, ' ');
  const char* const begin = format_fixed(out.data(), out.data() + room, v, decimals);
  out.erase(0, static_cast<std::size_t>(begin - out.data()));
  return out;
}

std::string format_int(std::int64_t v) { return std::to_string(v); }

std::string format_padded(std::int64_t v, int width) {
  std::string digits = std::to_string(v < 0 ? -v : v);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  return v < 0 ? "-" + digits : digits;
}

std::string shortest_text(float v) {
  char buf[80];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return std::string(buf, res.ptr);
}

std::string shortest_text(double v) {
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return std::string(buf, res.ptr);
}

}  // namespace corvane

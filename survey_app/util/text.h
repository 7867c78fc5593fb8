#pragma once
// Text helpers shared by the reader and the writers. Byte strings throughout: dump
// files are single-byte text and are kept as read.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Removes spaces (only spaces) at both ends.
inline std::string_view trim_spaces(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string_view(s.data() + b, e - b);
}
// Removes spaces and tabs at both ends.
std::string_view trim_blanks(std::string_view s);
// ASCII upper case; other bytes are kept.
std::string upper(std::string_view s);
inline bool contains(std::string_view s, std::string_view what) { return s.find(what) != std::string_view::npos; }
// Characters from 1-based position `start`, at most `length` of them (npos: to the end).
// A start past the end gives an empty text.
inline std::string_view mid(std::string_view s, std::size_t start, std::size_t length = std::string_view::npos) {
  if (start == 0) start = 1;
  if (start > s.size()) return {};
  return std::string_view(s.data() + (start - 1), std::min(length, s.size() - (start - 1)));
}
// The first n characters (all when shorter).
inline std::string_view left(std::string_view s, std::size_t n) {
  return std::string_view(s.data(), std::min(n, s.size()));
}

// A text is numeric when, spaces around it ignored, it is an optional sign, digits with
// at most one decimal point (at least one digit) and an optional exponent, and nothing
// else, and its value is a finite 64-bit number.
bool is_numeric(std::string_view s);
// The value of the longest leading part of that form, spaces and tabs anywhere ignored;
// 0 when there is none. May be infinite when the text overflows.
double numeric_value(std::string_view s);
// The powers of ten that are exact doubles.
inline constexpr double powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                           1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// The value of a plain decimal of at most 15 characters: an optional sign and digits with
// at most one decimal point (at least one digit), nothing else, no spaces. false for any
// other text (which may still be numeric). At most 15 characters keep the mantissa below
// 10^15 and the fraction digits below 15, so the mantissa and the power of ten are exact
// doubles and their quotient, rounded once, is the correctly rounded value: the value the
// general reading gives. Inline: it is read for every number of every data line.
[[gnu::always_inline]] inline bool plain_decimal_value(std::string_view s, double& value) {
  if (s.empty() || s.size() > 15) return false;
  const char* p = s.data();
  const char* const e = p + s.size();
  const bool minus = *p == '-';
  if (minus || *p == '+') ++p;
  const char* const digits_begin = p;
  const char* point = nullptr;
  std::uint64_t mantissa = 0;
  for (; p != e; ++p) {
    const auto d = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0');
    if (d <= 9)
      mantissa = mantissa * 10 + d;
    else if (*p == '.' && point == nullptr)
      point = p;
    else
      return false;
  }
  if (e - digits_begin <= (point != nullptr ? 1 : 0)) return false;  // no digit
  const double v = static_cast<double>(mantissa) / powers_of_ten[point != nullptr ? e - point - 1 : 0];
  value = minus ? -v : v;
  return true;
}
// numeric_text_value of a text that plain_decimal_value does not read.
bool numeric_text_value_scanned(std::string_view s, double& value);
// Both at once: the value of a text for which is_numeric holds, and true; false (and
// `value` untouched) for any other. The form for data lines: the value stays in a register.
[[gnu::always_inline]] inline bool numeric_text_value(std::string_view s, double& value) {
  if (!s.empty() && (s.front() == ' ' || s.back() == ' ')) s = trim_spaces(s);
  return plain_decimal_value(s, value) || numeric_text_value_scanned(s, value);
}
// The same, nullopt for a text that is not numeric.
inline std::optional<double> numeric_text_value(std::string_view s) {
  if (double v; numeric_text_value(s, v)) return v;
  return std::nullopt;
}
// Narrows to a 32-bit float; false when the value does not fit (or is not finite).
inline bool to_single(double v, float& out) {
  if (!std::isfinite(v) || std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max())) return false;
  out = static_cast<float>(v);
  return std::isfinite(out);
}

// Rounds to the nearest whole number, halves to even; false when out of 32-bit range.
bool round_to_int32(double v, std::int32_t& out);

// Format "0.0", "0.00" (decimals 1, 2, ...): halves round away from zero, working on the
// shortest decimal text of the 32-bit value, so 58000.4f gives "58000.4" and 0.25f "0.3".
std::string format_fixed(float v, int decimals);

// "00", "01", ... "99" in a row: the two digits of n at digit_pairs + 2 * n.
inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
// The same text written so that it ends at `end` when it fits in [first, end): returns
// where it begins, or nullptr (the range then holds anything) when it is longer. It always
// fits in fixed_text_room(decimals) characters.
// Inline, so that a caller with fixed decimals keeps only its own quick form.
inline char* format_fixed(char* first, char* end, float v, int decimals);
constexpr std::size_t fixed_text_room(int decimals) {
  return 42 + static_cast<std::size_t>(decimals > 0 ? decimals : 0);  // sign, 40 digits, point
}

namespace text_detail {
// format_fixed of a magnitude below a limit by `keep`, sign left out, written to end at p
// (which has room for it). Below the limit a float step is under a tenth of the last
// decimal kept: the numbers that read back as one float then hold at most one number of
// one decimal more, so the shortest text S and the float round alike, except when the
// midpoint between the two nearest results reads back as the float: S is then that
// midpoint and rounds away from zero. The scaled value stays exact (24 bits by 10^2).
template <int keep>
inline char* fixed_below_limit(char* p, float magnitude) {
  constexpr double scale = keep == 0 ? 1.0 : keep == 1 ? 10.0 : 100.0;
  const double rounded = static_cast<double>(magnitude) * scale + 0.5;  // exact
  auto n = static_cast<std::uint32_t>(rounded);  // the nearest result, a float on a midpoint away from zero
  // Only a midpoint just above the float changes it: one that reads back as the float is
  // within half a float step, under 0.05 of the last decimal.
  if (rounded - static_cast<double>(n) > 0.95 &&
      static_cast<float>((static_cast<double>(n) + 0.5) / scale) == magnitude)
    ++n;
  for (int i = 0; i < keep; ++i, n /= 10) *--p = static_cast<char>('0' + n % 10);
  if (keep > 0) *--p = '.';
  for (; n >= 100; n /= 100) {
    p -= 2;
    std::memcpy(p, digit_pairs + 2 * (n % 100), 2);
  }
  if (n >= 10) {
    p -= 2;
    std::memcpy(p, digit_pairs + 2 * n, 2);
  } else {
    *--p = static_cast<char>('0' + n);
  }
  return p;
}

// format_fixed of the values that have no quick form.
char* format_fixed_slowly(char* first, char* end, float v, int decimals);
}  // namespace text_detail

inline char* format_fixed(char* first, char* end, float v, int decimals) {
  const float magnitude = std::fabs(v);
  // Below the limits the text has at most 9 characters ("-131072.0", "-1048576",
  // "-16384.00"); it is written in place when the range holds that many.
  char room[9];
  char* const quick_end = end - first >= static_cast<std::ptrdiff_t>(sizeof room) ? end : room + sizeof room;
  char* p;
  if (decimals == 1 && magnitude < 131072.0f)  // 2^17
    p = text_detail::fixed_below_limit<1>(quick_end, magnitude);
  else if (decimals <= 0 && magnitude < 1048576.0f)  // 2^20
    p = text_detail::fixed_below_limit<0>(quick_end, magnitude);
  else if (decimals == 2 && magnitude < 16384.0f)  // 2^14
    p = text_detail::fixed_below_limit<2>(quick_end, magnitude);
  else
    return text_detail::format_fixed_slowly(first, end, v, decimals);
  if (v < 0) *--p = '-';  // -0.04 is "-0.0"; -0.0 is "0.0"
  const auto size = quick_end - p;
  if (quick_end != end) {
    if (size > end - first) return nullptr;
    std::memcpy(end - size, p, static_cast<std::size_t>(size));
  }
  return end - size;
}

// Format "0" of a whole number, and "0000" (zero-padded to `width` digits).
std::string format_int(std::int64_t v);
std::string format_padded(std::int64_t v, int width);
// The shortest decimal text that reads back as the same 32-bit (64-bit) float, never in
// exponent form.
std::string shortest_text(float v);
std::string shortest_text(double v);

}  // namespace corvane

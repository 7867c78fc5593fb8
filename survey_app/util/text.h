#pragma once
// Text helpers shared by the reader and the writers. Byte strings throughout: dump
// files are single-byte text and are kept as read.
#include <cmath>
#include <cstdint>
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
  return s.substr(b, e - b);
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
  return s.substr(start - 1, length);
}
// The first n characters (all when shorter).
inline std::string_view left(std::string_view s, std::size_t n) { return s.substr(0, n); }

// A text is numeric when, spaces around it ignored, it is an optional sign, digits with
// at most one decimal point (at least one digit) and an optional exponent, and nothing
// else, and its value is a finite 64-bit number.
bool is_numeric(std::string_view s);
// The value of the longest leading part of that form, spaces and tabs anywhere ignored;
// 0 when there is none. May be infinite when the text overflows.
double numeric_value(std::string_view s);
// Both at once: the value of a text for which is_numeric holds, nullopt for any other.
std::optional<double> numeric_text_value(std::string_view s);
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
// The same text written so that it ends at `end` when it fits in [first, end): returns
// where it begins, or nullptr (the range then holds anything) when it is longer. It always
// fits in fixed_text_room(decimals) characters.
char* format_fixed(char* first, char* end, float v, int decimals);
constexpr std::size_t fixed_text_room(int decimals) {
  return 42 + static_cast<std::size_t>(decimals > 0 ? decimals : 0);  // sign, 40 digits, point
}
// Format "0" of a whole number, and "0000" (zero-padded to `width` digits).
std::string format_int(std::int64_t v);
std::string format_padded(std::int64_t v, int width);
// The shortest decimal text that reads back as the same 32-bit (64-bit) float, never in
// exponent form.
std::string shortest_text(float v);
std::string shortest_text(double v);

}  // namespace corvane

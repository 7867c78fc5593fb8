#pragma once
// Splits a data line into fields. Blanks are the space, the tab and the escape character;
// separators are the blanks and ",", ";" and "'".
#include <array>
#include <cstdint>
#include <string_view>

namespace corvane {

namespace token_class {
constexpr std::uint8_t blank = 1, separator = 2;
// The classes of every byte, looked up once per character of a data line.
constexpr std::array<std::uint8_t, 256> table = [] {
  std::array<std::uint8_t, 256> t{};
  for (const unsigned char c : {' ', '\t', '\x1b'}) t[c] = blank | separator;
  for (const unsigned char c : {',', ';', '\''}) t[c] = separator;
  return t;
}();
}  // namespace token_class

inline bool is_token_blank(char c) { return token_class::table[static_cast<unsigned char>(c)] & token_class::blank; }
inline bool is_token_separator(char c) {
  return token_class::table[static_cast<unsigned char>(c)] & token_class::separator;
}

// next_token for any text.
std::string_view next_token_of_any(std::string_view& text);

// Returns the next field of `text` and removes it (with the blanks and the one separator
// that follow it) from `text`. "a,,b" yields "a", "", "b"; "a , b" yields "a", "b".
// Inline for the field of nearly every data line: one that, spaces around the text set
// aside, begins it and is followed by the end or by spaces and a character that is no
// separator. The general rule then trims the same spaces, finds the same field, and skips
// exactly those spaces (the next character is neither blank nor separator), so both give
// the same field and the same rest. Any other text goes to next_token_of_any.
[[gnu::always_inline]] inline std::string_view next_token(std::string_view& text) {
  std::size_t b = 0, n = text.size();
  while (b < n && text[b] == ' ') ++b;
  if (b < n && !is_token_separator(text[b])) {
    while (text[n - 1] == ' ') --n;  // stops at b at the latest
    std::size_t end = b + 1;
    while (end < n && !is_token_separator(text[end])) ++end;
    std::size_t rest = end;
    while (rest < n && text[rest] == ' ') ++rest;
    if (rest == n || !is_token_separator(text[rest])) {
      const std::string_view field(text.data() + b, end - b);
      text = std::string_view(text.data() + rest, n - rest);
      return field;
    }
  }
  return next_token_of_any(text);
}

}  // namespace corvane

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

// Returns the next field of `text` and removes it (with the blanks and the one separator
// that follow it) from `text`. "a,,b" yields "a", "", "b"; "a , b" yields "a", "b".
std::string_view next_token(std::string_view& text);

}  // namespace corvane

#pragma once
// Splits a data line into fields. Blanks are the space, the tab and the escape character;
// separators are the blanks and ",", ";" and "'".
#include <string_view>

namespace corvane {

inline bool is_token_blank(char c) { return c == ' ' || c == '\t' || c == '\x1b'; }
inline bool is_token_separator(char c) { return is_token_blank(c) || c == ',' || c == ';' || c == '\''; }

// Returns the next field of `text` and removes it (with the blanks and the one separator
// that follow it) from `text`. "a,,b" yields "a", "", "b"; "a , b" yields "a", "b".
std::string_view next_token(std::string_view& text);

}  // namespace corvane

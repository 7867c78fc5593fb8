#include "reader/tokenizer.h"

#include "util/text.h"

namespace corvane {

std::string_view next_token_of_any(std::string_view& text) {
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) text = trim_spaces(text);
  std::size_t i = 0;
  while (i < text.size() && is_token_blank(text[i])) ++i;
  if (i == text.size()) {
    text = {};
    return {};
  }
  std::size_t end = i;
  while (end < text.size() && !is_token_separator(text[end])) ++end;
  // The field starts after the blanks and the space is a separator: it has no spaces to trim.
  const std::string_view field = text.substr(i, end - i);
  std::size_t rest = end;
  while (rest < text.size() && is_token_blank(text[rest])) ++rest;
  if (rest < text.size() && is_token_separator(text[rest])) ++rest;
  text = text.substr(rest);
  return field;
}

}  // namespace corvane

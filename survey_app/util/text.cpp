#include "util/text.h"

#include <locale.h>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace corvane {

std::string_view trim_spaces(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

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

std::string_view mid(std::string_view s, std::size_t start, std::size_t length) {
  if (start == 0) start = 1;
  if (start > s.size()) return {};
  return s.substr(start - 1, length);
}

namespace {

// Recognises the number form one character at a time and remembers the longest
// accepted prefix.
class NumberScanner {
public:
  // Feeds one character; false when it cannot continue the number.
  bool feed(char c) {
    const bool digit = c >= '0' && c <= '9';
    switch (state_) {
      case State::start:
        if (c == '+' || c == '-') {
          state_ = State::sign;
          break;
        }
        [[fallthrough]];
      case State::sign:
        if (digit) {
          state_ = State::int_digits;
          break;
        }
        if (c == '.') {
          state_ = State::point_first;
          break;
        }
        return false;
      case State::int_digits:
        if (digit) break;
        if (c == '.') {
          state_ = State::point;
          break;
        }
        if (c == 'e' || c == 'E') {
          state_ = State::exp;
          break;
        }
        return false;
      case State::point_first:  // "." seen with no digit yet
        if (digit) {
          state_ = State::frac_digits;
          break;
        }
        return false;
      case State::point:
      case State::frac_digits:
        if (digit) {
          state_ = State::frac_digits;
          break;
        }
        if (c == 'e' || c == 'E') {
          state_ = State::exp;
          break;
        }
        return false;
      case State::exp:
        if (c == '+' || c == '-') {
          state_ = State::exp_sign;
          break;
        }
        [[fallthrough]];
      case State::exp_sign:
      case State::exp_digits:
        if (digit) {
          state_ = State::exp_digits;
          break;
        }
        return false;
    }
    ++length_;
    if (accepting()) accepted_ = length_;
    return true;
  }
  bool accepting() const {
    return state_ == State::int_digits || state_ == State::point || state_ == State::frac_digits ||
           state_ == State::exp_digits;
  }
  std::size_t accepted() const { return accepted_; }

private:
  enum class State { start, sign, int_digits, point_first, point, frac_digits, exp, exp_sign, exp_digits };
  State state_ = State::start;
  std::size_t length_ = 0;
  std::size_t accepted_ = 0;
};

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

}  // namespace

bool is_numeric(std::string_view s) {
  s = trim_spaces(s);
  if (s.empty()) return false;
  NumberScanner scan;
  for (char c : s)
    if (!scan.feed(c)) return false;
  if (!scan.accepting()) return false;
  // Without an exponent, fewer than 300 digits always fit a double.
  if (s.size() < 300 && s.find_first_of("eE") == std::string_view::npos) return true;
  return std::isfinite(parse_clean(s));
}

double numeric_value(std::string_view s) {
  NumberScanner scan;
  char small[64];
  std::string large;
  std::size_t n = 0;
  for (char c : s) {
    if (c == ' ' || c == '\t') continue;
    if (!scan.feed(c)) break;
    if (n < sizeof small)
      small[n] = c;
    else {
      if (large.empty()) large.assign(small, n);
      large.push_back(c);
    }
    ++n;
  }
  const std::size_t length = scan.accepted();
  return parse_clean(n <= sizeof small ? std::string_view(small, length) : std::string_view(large).substr(0, length));
}

bool to_single(double v, float& out) {
  if (!std::isfinite(v) || std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max())) return false;
  out = static_cast<float>(v);
  return std::isfinite(out);
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

std::string format_fixed(float v, int decimals) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  const bool negative = v < 0;
  char buf[80];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed);
  std::string text(buf, res.ptr);
  std::string whole = text, frac;
  if (auto dot = text.find('.'); dot != std::string::npos) {
    whole = text.substr(0, dot);
    frac = text.substr(dot + 1);
  }
  if (decimals < 0) decimals = 0;
  const auto keep = static_cast<std::size_t>(decimals);
  bool round_up = frac.size() > keep && frac[keep] >= '5';
  if (frac.size() > keep) frac.resize(keep);
  while (frac.size() < keep) frac.push_back('0');
  if (round_up) {
    std::string digits = whole + frac;
    int i = static_cast<int>(digits.size()) - 1;
    while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') digits[static_cast<std::size_t>(i--)] = '0';
    if (i < 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[static_cast<std::size_t>(i)];
    whole = digits.substr(0, digits.size() - keep);
    frac = digits.substr(digits.size() - keep);
  }
  std::string out = negative ? "-" : "";
  out += whole;
  if (keep > 0) {
    out += '.';
    out += frac;
  }
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

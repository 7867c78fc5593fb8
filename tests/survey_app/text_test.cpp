#include <gtest/gtest.h>

#include <locale.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "reader/tokenizer.h"
#include "util/text.h"

using namespace corvane;

TEST(Numeric, AcceptsSignedDecimalsAndExponentsOnly) {
  for (const char* yes : {"0", "100", "-12", "+3", "  58000.0  ", "5.", ".5", "-.5", "1e3", "1E-3", "2.5e+2"})
    EXPECT_TRUE(is_numeric(yes)) << yes;
  for (const char* no : {"", "   ", ".", "-", "+", "1.2.3", "100N", "1 0", "\t5", "1e", "1e+", "e5", "0x10", "1,000",
                         "1e400", "nan", "inf", "--1"})
    EXPECT_FALSE(is_numeric(no)) << no;
}

TEST(Numeric, ValueTakesTheLongestLeadingNumberIgnoringBlanks) {
  EXPECT_EQ(numeric_value("100N"), 100.0);
  EXPECT_EQ(numeric_value("0150S"), 150.0);
  EXPECT_EQ(numeric_value(" 1 0\t0 "), 100.0);
  EXPECT_EQ(numeric_value("-12.5abc"), -12.5);
  EXPECT_EQ(numeric_value("12e"), 12.0);
  EXPECT_EQ(numeric_value("12e+x"), 12.0);
  EXPECT_EQ(numeric_value("1.5e2x"), 150.0);
  EXPECT_EQ(numeric_value("abc"), 0.0);
  EXPECT_EQ(numeric_value(""), 0.0);
  EXPECT_EQ(numeric_value("-"), 0.0);
  EXPECT_EQ(numeric_value(".x"), 0.0);
  EXPECT_EQ(numeric_value("5.x"), 5.0);
  EXPECT_TRUE(std::isinf(numeric_value("1e999")));
  EXPECT_EQ(numeric_value("-1e999"), -INFINITY);
  EXPECT_EQ(numeric_value("1e-400"), 0.0);
  EXPECT_EQ(numeric_value(".5"), 0.5);
  EXPECT_EQ(numeric_value("+.5e1"), 5.0);
  EXPECT_EQ(numeric_value("-0.1"), -0.1);
  EXPECT_EQ(numeric_value("57321.4"), 57321.4);
  // Long texts are read exactly too.
  EXPECT_EQ(numeric_value(std::string(100, '1') + "x"), 1.1111111111111111e99);
  EXPECT_TRUE(is_numeric(std::string(400, '9') + "e-300"));
  EXPECT_FALSE(is_numeric(std::string(400, '9')));
}

// The number reading it replaced, kept as the reference: a state machine fed one character
// at a time, the accepted text copied out and handed to the parser.
namespace reference {

class NumberScanner {
public:
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
      case State::point_first:
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

// The C library's own reading of the text, in the C locale: another implementation than the
// reader's, not a copy of it.
double parse_clean(std::string_view text) {
  if (text.empty()) return 0.0;
  static locale_t c_locale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(std::string(text).c_str(), nullptr, c_locale);
}

bool is_numeric(std::string_view s) {
  s = trim_spaces(s);
  if (s.empty()) return false;
  NumberScanner scan;
  for (char c : s)
    if (!scan.feed(c)) return false;
  if (!scan.accepting()) return false;
  if (s.size() < 300 && s.find_first_of("eE") == std::string_view::npos) return true;
  return std::isfinite(parse_clean(s));
}

double numeric_value(std::string_view s) {
  NumberScanner scan;
  std::string text;
  for (char c : s) {
    if (c == ' ' || c == '\t') continue;
    if (!scan.feed(c)) break;
    text.push_back(c);
  }
  return parse_clean(std::string_view(text).substr(0, scan.accepted()));
}

// Text per step: the shortest text split at its point, rounded on a copy of its digits.
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

}  // namespace reference

namespace {

// Texts near the number form: random runs of its characters, well-formed numbers of every
// length with blanks and junk around or inside, and cases where rounding is hardest.
std::vector<std::string> number_like_texts() {
  std::vector<std::string> out = {"0.05",
                                  "-0.05",
                                  "1e23",
                                  "9007199254740993",
                                  "9007199254740992",
                                  "9007199254740991",
                                  "900719925474099.3",
                                  "0.1",
                                  "0.3",
                                  "2.5",
                                  "1e22",
                                  "1e-22",
                                  "4.9e-324",
                                  "2.4e-324",
                                  "1.7976931348623157e308",
                                  "1.7976931348623159e308",
                                  "-0",
                                  "-0.0e5",
                                  "+.0",
                                  "0000.00001",
                                  "123456789012345678",
                                  "1234567890123456789012",
                                  "0.000000000000000000000001",
                                  "100000000000000000000000",
                                  "5e-1",
                                  "- 5",
                                  "5 .5",
                                  "1 e 5",
                                  "1e 400",
                                  "\t-\t3"};
  std::mt19937 random(14);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::string alphabet = "0123456789012345678901234567890123456789..+-eE  \tx,";
  const auto digits = [&](int n) {
    std::string d;
    for (int i = 0; i < n; ++i) d.push_back(static_cast<char>('0' + pick(10)));
    return d;
  };
  for (int i = 0; i < 200'000; ++i) {
    std::string s;
    for (int n = pick(16); n > 0; --n)
      s.push_back(alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))]);
    out.push_back(std::move(s));
  }
  for (int i = 0; i < 300'000; ++i) {
    std::string s = std::string(static_cast<std::size_t>(pick(3)), ' ');
    if (pick(3) == 0) s += pick(2) ? '-' : '+';
    const int length = i % 100 == 0 ? 250 + pick(150) : pick(i % 4 == 0 ? 30 : 18);
    const int point = pick(length + 2);
    std::string mantissa = digits(length);
    if (point <= length && pick(4) != 0) mantissa.insert(static_cast<std::size_t>(point), ".");
    s += mantissa;
    if (pick(5) == 0) {
      s += pick(2) ? 'e' : 'E';
      if (pick(2)) s += pick(2) ? '-' : '+';
      s += std::to_string(pick(i % 3 == 0 ? 400 : 30));
    }
    if (pick(8) == 0) s.insert(static_cast<std::size_t>(pick(static_cast<int>(s.size()) + 1)), pick(2) ? " " : "\t");
    s += std::string(static_cast<std::size_t>(pick(3)), ' ');
    if (pick(10) == 0) s += "N";
    out.push_back(std::move(s));
  }
  // Decimals halfway between two doubles, and just off halfway.
  for (int i = 0; i < 20'000; ++i) {
    const double d = std::ldexp(static_cast<double>(random() | 1u), pick(60) - 40);
    char text[64];
    auto end = std::to_chars(text, text + sizeof text, d, std::chars_format::fixed).ptr;
    out.emplace_back(text, end);
    out.push_back(std::string(text, end) + "5");
    const double half_up = d + std::ldexp(std::abs(d), -53);
    end = std::to_chars(text, text + sizeof text, half_up, std::chars_format::scientific, 25).ptr;
    out.emplace_back(text, end);
  }
  return out;
}

}  // namespace

TEST(Numeric, SameAcceptanceAndValuesAsTheCharacterByCharacterReading) {
  int mismatches = 0;
  for (const std::string& s : number_like_texts()) {
    if (mismatches >= 10) break;
    if (is_numeric(s) != reference::is_numeric(s) && ++mismatches) ADD_FAILURE() << "is_numeric(\"" << s << "\")";
    const double v = numeric_value(s), expected = reference::numeric_value(s);
    if (std::bit_cast<std::uint64_t>(v) != std::bit_cast<std::uint64_t>(expected) && ++mismatches)
      ADD_FAILURE() << "numeric_value(\"" << s << "\") " << v << " not " << expected;
    // Both at once: the value exactly when the text is a number.
    const std::optional<double> both = numeric_text_value(s);
    const bool agrees = reference::is_numeric(s)
                            ? both && std::bit_cast<std::uint64_t>(*both) == std::bit_cast<std::uint64_t>(expected)
                            : !both;
    if (!agrees && ++mismatches) ADD_FAILURE() << "numeric_text_value(\"" << s << "\")";
  }
}

TEST(Numeric, NarrowingAndRounding) {
  float f = 0;
  EXPECT_TRUE(to_single(58000.4, f));
  EXPECT_EQ(f, 58000.4f);
  EXPECT_FALSE(to_single(1e39, f));
  EXPECT_FALSE(to_single(INFINITY, f));
  std::int32_t n = 0;
  ASSERT_TRUE(round_to_int32(2.5, n));
  EXPECT_EQ(n, 2);
  ASSERT_TRUE(round_to_int32(3.5, n));
  EXPECT_EQ(n, 4);
  ASSERT_TRUE(round_to_int32(-0.5, n));
  EXPECT_EQ(n, 0);
  EXPECT_FALSE(round_to_int32(3e9, n));
}

TEST(Format, FixedDecimalsRoundHalvesAwayFromZero) {
  EXPECT_EQ(format_fixed(58000.4f, 1), "58000.4");
  EXPECT_EQ(format_fixed(0.25f, 1), "0.3");
  EXPECT_EQ(format_fixed(-0.25f, 1), "-0.3");
  EXPECT_EQ(format_fixed(0.125f, 2), "0.13");
  EXPECT_EQ(format_fixed(99.95f, 1), "100.0");
  EXPECT_EQ(format_fixed(-99.96f, 1), "-100.0");
  EXPECT_EQ(format_fixed(0.0f, 2), "0.00");
  EXPECT_EQ(format_fixed(100.0f, 1), "100.0");
  EXPECT_EQ(format_fixed(0.04f, 1), "0.0");
  EXPECT_EQ(format_fixed(-0.04f, 1), "-0.0");
  EXPECT_EQ(format_fixed(2.5f, 0), "3");
  EXPECT_EQ(format_fixed(-99999.0f, 1), "-99999.0");
  EXPECT_EQ(format_fixed(1e12f, 1), "999999995904.0");
}

TEST(Format, FixedDecimalsAsTheTextPerStepFormatting) {
  std::mt19937 random(58);
  std::uniform_real_distribution<float> field_values(-1100000.0f, 1100000.0f);
  std::uniform_int_distribution<std::int32_t> steps(-20000000, 20000000);
  std::uniform_int_distribution<int> exponent(-46, 38);
  int mismatches = 0;
  for (int i = 0; i < 1'000'000 && mismatches < 10; ++i) {
    float v = 0;
    switch (i % 6) {
      case 0: v = std::bit_cast<float>(static_cast<std::uint32_t>(random())); break;  // NaN, huge, subnormal
      case 1: v = field_values(random); break;
      case 2: v = static_cast<float>(steps(random)) / 100.0f; break;
      case 3: v = (static_cast<float>(steps(random)) + 0.5f) / (i % 4 == 3 ? 1.0f : i % 4 == 1 ? 10.0f : 100.0f); break;
      case 4: v = std::bit_cast<float>(std::bit_cast<std::uint32_t>(field_values(random)) & 0xffff0000u); break;
      default: v = std::pow(10.0f, static_cast<float>(exponent(random))) * (i % 12 < 6 ? 1 : -1); break;
    }
    const int decimals = static_cast<int>(random() % 6) - 1;  // -1 to 4
    const std::string expected = reference::format_fixed(v, decimals);
    if (format_fixed(v, decimals) != expected && ++mismatches)
      ADD_FAILURE() << v << " with " << decimals << ": " << format_fixed(v, decimals) << " not " << expected;
    // In a range: written at its end when it fits, refused when it does not.
    char range[12];
    char* const end = range + static_cast<std::ptrdiff_t>(random() % 13);
    const char* const begin = format_fixed(range, end, v, decimals);
    if (expected.size() <= static_cast<std::size_t>(end - range)) {
      if ((begin == nullptr || std::string_view(begin, static_cast<std::size_t>(end - begin)) != expected) &&
          ++mismatches)
        ADD_FAILURE() << v << " with " << decimals << " in " << end - range << " characters";
    } else if (begin != nullptr && ++mismatches) {
      ADD_FAILURE() << v << " with " << decimals << " is not refused in " << end - range << " characters";
    }
  }
  EXPECT_EQ(format_fixed(1e30f, 60), reference::format_fixed(1e30f, 60));
}

TEST(Format, WholeNumbersAndShortestText) {
  EXPECT_EQ(format_int(0), "0");
  EXPECT_EQ(format_int(-42), "-42");
  EXPECT_EQ(format_padded(3, 4), "0003");
  EXPECT_EQ(format_padded(12345, 4), "12345");
  EXPECT_EQ(shortest_text(58000.4f), "58000.4");
  EXPECT_EQ(shortest_text(100000.0f), "100000");
  EXPECT_EQ(shortest_text(-150.0f), "-150");
  EXPECT_EQ(std::stof(shortest_text(57494.297f)), 57494.297f);
}

TEST(Text, TrimUpperMid) {
  EXPECT_EQ(trim_spaces("  a b \t "), "a b \t");
  EXPECT_EQ(trim_blanks(" \ta b\t "), "a b");
  EXPECT_EQ(upper("abcXyz09é"), "ABCXYZ09é");
  EXPECT_EQ(mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(mid("abcdef", 5), "ef");
  EXPECT_EQ(mid("abc", 7, 2), "");
  EXPECT_EQ(left("abc", 10), "abc");
}

namespace {
std::vector<std::string> tokens(std::string text, int n) {
  std::string_view rest = text;
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.emplace_back(next_token(rest));
  out.push_back("|" + std::string(rest));
  return out;
}
}  // namespace

TEST(Tokenizer, SeparatorsAndBlanks) {
  EXPECT_EQ(tokens("a,,b", 3), (std::vector<std::string>{"a", "", "b", "|"}));
  EXPECT_EQ(tokens("a , b", 2), (std::vector<std::string>{"a", "b", "|"}));
  EXPECT_EQ(tokens("  100 n 57321.4 0.12 14:03:07", 5),
            (std::vector<std::string>{"100", "n", "57321.4", "0.12", "14:03:07", "|"}));
  EXPECT_EQ(tokens("1;2'3\t4\x1b"
                   "5",
                   5),
            (std::vector<std::string>{"1", "2", "3", "4", "5", "|"}));
  EXPECT_EQ(tokens(",x", 2), (std::vector<std::string>{"", "x", "|"}));
  EXPECT_EQ(tokens("\t\t  ", 1), (std::vector<std::string>{"", "|"}));
  EXPECT_EQ(tokens("", 2), (std::vector<std::string>{"", "", "|"}));
  // What is left keeps the text after the field and its one separator.
  EXPECT_EQ(tokens("a ; b c", 1), (std::vector<std::string>{"a", "| b c"}));
}

TEST(Numeric, PlainDecimalsReadAsTheGeneralReading) {
  // The texts near the number form, with fields of dump lines and the 15-character edge.
  std::vector<std::string> texts = number_like_texts();
  for (const char* s : {"",
                        "-",
                        "+",
                        ".",
                        "-.",
                        "5.",
                        "--1",
                        "+-1",
                        "5-",
                        "06:00:00",
                        "1,5",
                        "'5'",
                        "\"5\"",
                        "57504.5",
                        "-0.3",
                        "123456789012345",
                        "1234567890123456",
                        "-12345678901234",
                        "-123456789012345",
                        "0.00000000000001",
                        "99999999999999.",
                        ".99999999999999",
                        "9999999999999.9"})
    texts.emplace_back(s);
  int mismatches = 0;
  for (const std::string& s : texts) {
    if (mismatches >= 10) break;
    double general = -1.0, quick = -2.0, both = -3.0;
    const bool is_general = numeric_text_value_scanned(s, general);
    if (plain_decimal_value(s, quick) &&
        (!is_general || std::bit_cast<std::uint64_t>(quick) != std::bit_cast<std::uint64_t>(general)) && ++mismatches)
      ADD_FAILURE() << "plain_decimal_value(\"" << s << "\") " << quick;
    const bool is_both = numeric_text_value(s, both);
    if ((is_both != is_general ||
         (is_general && std::bit_cast<std::uint64_t>(both) != std::bit_cast<std::uint64_t>(general))) &&
        ++mismatches)
      ADD_FAILURE() << "numeric_text_value(\"" << s << "\")";
  }
}

TEST(Tokenizer, QuickFieldsAsTheGeneralRule) {
  std::mt19937 random(1521);
  const std::string alphabet = "0123456789.-+:SNsn   \t\x1b,;'\"";
  std::vector<std::string> lines = {"",
                                    " ",
                                    "06:00:00 57504.5 0.1 0.0 0.1 0.0 -0.3 0.3 -0.2",
                                    " 2500 S    57504.9   0.05  06:01:00",
                                    "a  ",
                                    "  a",
                                    "a \t b",
                                    "a ,b",
                                    "a, b",
                                    "a ' b",
                                    "a\x1b b",
                                    "a    ;",
                                    ",,",
                                    "a b  "};
  for (int i = 0; i < 200'000; ++i) {
    std::string s;
    const std::size_t size = random() % 40;
    for (std::size_t k = 0; k < size; ++k) s.push_back(alphabet[random() % alphabet.size()]);
    lines.push_back(s);
  }
  int mismatches = 0;
  for (const std::string& line : lines) {
    std::string_view quick = line, general = line;
    for (int field = 0; field < 12 && mismatches < 10; ++field) {
      const std::string_view a = next_token(quick), b = next_token_of_any(general);
      if ((a != b || quick != general) && ++mismatches)
        ADD_FAILURE() << "field " << field << " of \"" << line << "\": \"" << a << "\" not \"" << b << "\"";
    }
  }
}

#include <gtest/gtest.h>

#include <cmath>
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

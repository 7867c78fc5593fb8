// CComplexNumber.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "util/complex_number.h"

namespace corvane {
namespace {

void expect_parts(const CComplexNumber& z, double re, double im) {
  EXPECT_DOUBLE_EQ(z.Real, re);
  EXPECT_DOUBLE_EQ(z.Imaginary, im);
}

TEST(ComplexNumberTest, NewNumberIsZero) {
  CComplexNumber z;
  expect_parts(z, 0, 0);
  EXPECT_EQ(z.Text(), "0");
}

TEST(ComplexNumberTest, InitAndAddChangeTheNumberItself) {
  CComplexNumber z;
  CComplexNumber& same = z.Init(3, 4);
  EXPECT_EQ(&same, &z);
  expect_parts(z, 3, 4);
  CComplexNumber& added = z.Add(CComplexNumber(1, -6));
  EXPECT_EQ(&added, &z);
  expect_parts(z, 4, -2);
}

TEST(ComplexNumberTest, OthersReturnNewNumbers) {
  const CComplexNumber z(3, 4);
  expect_parts(z.Complex(7, 8), 7, 8);
  expect_parts(z.Add2(1, 2), 4, 6);
  expect_parts(z.Subtract2(1, 2), 2, 2);
  expect_parts(z.Multiply2(1, 2), 3 * 1 - 4 * 2, 4 * 1 + 3 * 2);
  expect_parts(z.Multiply(CComplexNumber(1, 2)), -5, 10);
  expect_parts(z, 3, 4);  // unchanged
}

TEST(ComplexNumberTest, Division) {
  const CComplexNumber z(3, 4);
  // (3+4i)/(1+2i) = (3+8 + (4-6)i)/5 = 2.2 - 0.4i
  expect_parts(z.Divide(CComplexNumber(1, 2)), 11.0 / 5, -2.0 / 5);
  expect_parts(z.Divide2(1, 2), 11.0 / 5, -2.0 / 5);
  expect_parts(z.Divide(CComplexNumber(0, 0)), 0, 0);
  EXPECT_THROW(z.Divide2(0, 0), std::domain_error);
  expect_parts(z.Reciprocal(), 3.0 / 25, -4.0 / 25);
  expect_parts(CComplexNumber().Reciprocal(), 0, 0);
}

TEST(ComplexNumberTest, MagnitudeIsTheSumOfSquares) {
  EXPECT_EQ(CComplexNumber(3, 4).Magnitude(), 25.0);
  EXPECT_EQ(CComplexNumber(-2, 0).Magnitude(), 4.0);
}

TEST(ComplexNumberTest, Text) {
  EXPECT_EQ(CComplexNumber(3, 4).Text(), "3+4i");
  EXPECT_EQ(CComplexNumber(3, -4).Text(), "3-4i");
  EXPECT_EQ(CComplexNumber(0, 2).Text(), "2i");
  EXPECT_EQ(CComplexNumber(0, -2).Text(), "-2i");
  EXPECT_EQ(CComplexNumber(2.5, 0).Text(), "2.5");
  EXPECT_EQ(CComplexNumber(-2.5, 0).Text(), "-2.5");
  EXPECT_EQ(CComplexNumber(0.1, 0.2).Text(), "0.1+0.2i");
  EXPECT_EQ(CComplexNumber(0.1 + 0.2, 0).Text(), "0.30000000000000004");
  EXPECT_EQ(CComplexNumber(1.0 / 3, 0).Text(), "0.3333333333333333");
  EXPECT_EQ(CComplexNumber(1e21, 0).Text(), "1e+21");
  EXPECT_EQ(CComplexNumber(123456789012, 0).Text(), "123456789012");
}

TEST(ComplexNumberTest, TextReadsBackAsTheSameNumber) {
  for (double v :
       {1.0 / 3, 2.0 / 3, 1e-7, 6.02214076e23, 5e-324, std::numeric_limits<double>::max(), -0.1, 58000.4, 123.456}) {
    const std::string t = CComplexNumber(v, 0).Text();
    double back = 0;
    const auto res = std::from_chars(t.data(), t.data() + t.size(), back);
    EXPECT_EQ(res.ptr, t.data() + t.size()) << t;
    EXPECT_EQ(back, v) << t;
    EXPECT_EQ(t.find(' '), std::string::npos) << t;
  }
}

}  // namespace
}  // namespace corvane

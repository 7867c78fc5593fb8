#pragma once
// CComplexNumber: a small complex number value for general use.
//
// Methods that change the number (Init, Add) return the number itself; the others return
// a new number and leave this one as it is.
#include <string>

namespace corvane {

class CComplexNumber {
public:
  double Real = 0.0;
  double Imaginary = 0.0;

  CComplexNumber() = default;
  CComplexNumber(double re, double im) : Real(re), Imaginary(im) {}

  // Sets both parts.
  CComplexNumber& Init(double re, double im);
  // A new number (re, im).
  CComplexNumber Complex(double re, double im) const;
  // Adds w to this number.
  CComplexNumber& Add(const CComplexNumber& w);
  CComplexNumber Add2(double re, double im) const;
  CComplexNumber Subtract2(double re, double im) const;
  CComplexNumber Multiply2(double re, double im) const;
  CComplexNumber Multiply(const CComplexNumber& w) const;
  // This number divided by w; (0, 0) when w is 0.
  CComplexNumber Divide(const CComplexNumber& w) const;
  // 1 divided by this number; (0, 0) when this number is 0.
  CComplexNumber Reciprocal() const;
  // The sum of the squares of the parts (not its square root).
  double Magnitude() const;
  // This number divided by (re, im). Throws std::domain_error("Division by zero") when
  // re² + im² is 0 (both 0, or so small that the square underflows).
  CComplexNumber Divide2(double re, double im) const;
  // "3+4i", "3-4i", "2i", "2.5": each part as the shortest decimal text that reads back
  // as the same number.
  std::string Text() const;
};

// The shortest text that reads back as the same 64-bit number: plain digits, or an
// exponent where that is shorter ("1e+300"); "." as decimal point, "-" when negative.
std::string complex_part_text(double v);

}  // namespace corvane

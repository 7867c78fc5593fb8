#include "util/complex_number.h"

#include <charconv>
#include <stdexcept>

namespace corvane {

CComplexNumber& CComplexNumber::Init(double re, double im) {
  Real = re;
  Imaginary = im;
  return *this;
}

CComplexNumber CComplexNumber::Complex(double re, double im) const { return {re, im}; }

CComplexNumber& CComplexNumber::Add(const CComplexNumber& w) {
  Real += w.Real;
  Imaginary += w.Imaginary;
  return *this;
}

CComplexNumber CComplexNumber::Add2(double re, double im) const { return {Real + re, Imaginary + im}; }

CComplexNumber CComplexNumber::Subtract2(double re, double im) const { return {Real - re, Imaginary - im}; }

CComplexNumber CComplexNumber::Multiply2(double re, double im) const {
  return {Real * re - Imaginary * im, Imaginary * re + Real * im};
}

CComplexNumber CComplexNumber::Multiply(const CComplexNumber& w) const {
  return {Real * w.Real - Imaginary * w.Imaginary, Real * w.Imaginary + Imaginary * w.Real};
}

CComplexNumber CComplexNumber::Divide(const CComplexNumber& w) const {
  const double d = w.Real * w.Real + w.Imaginary * w.Imaginary;
  if (d == 0) return {0, 0};
  return {(Real * w.Real + Imaginary * w.Imaginary) / d, (Imaginary * w.Real - Real * w.Imaginary) / d};
}

CComplexNumber CComplexNumber::Reciprocal() const {
  const double d = Real * Real + Imaginary * Imaginary;
  if (d == 0) return {0, 0};
  return {Real / d, -Imaginary / d};
}

double CComplexNumber::Magnitude() const { return Real * Real + Imaginary * Imaginary; }

CComplexNumber CComplexNumber::Divide2(double re, double im) const {
  const double d = re * re + im * im;
  if (d == 0) throw std::domain_error("Division by zero");
  return {(Real * re + Imaginary * im) / d, (Imaginary * re - Real * im) / d};
}

std::string complex_part_text(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string CComplexNumber::Text() const {
  if (Imaginary == 0) return complex_part_text(Real);
  if (Real == 0) return complex_part_text(Imaginary) + "i";
  if (Imaginary < 0) return complex_part_text(Real) + complex_part_text(Imaginary) + "i";
  return complex_part_text(Real) + "+" + complex_part_text(Imaginary) + "i";
}

}  // namespace corvane

#include "series/axis_transform.h"

#include <cmath>

#include "state/variant_convert.h"
#include "vellum32/errors.h"

namespace vellum32 {
namespace {

using convert::divide;
using convert::logarithm;

double checkedPower(double base, double exponent) {
  const double r = std::pow(base, exponent);
  if (std::isinf(r)) throw Vellum32Error(Overflow);
  if (std::isnan(r)) throw Vellum32Error(InvalidProcedureCall);
  return r;
}

}  // namespace

double AxisTransform(double v, const AxisScale& axis) {
  if (axis.Type == AxisTypes::linear) return v;
  const double c = double(axis.Cutoff);
  const double lnBase = double(axis.LnBase);
  if (std::fabs(v) < c) return v / c;
  if (v < 0) return -1.0 - divide(logarithm(divide(-v, c)), lnBase);
  return 1.0 + divide(logarithm(divide(v, c)), lnBase);
}

double AxisTransformY(double v, const AxisScale& axis, float dataNull) {
  if (std::fabs(v - double(dataNull)) < 0.1 || v < -1e30) return NullMark;
  return AxisTransform(v, axis);
}

double InverseAxisTransform(double t, float cutoff, float base) {
  const double c = double(cutoff);
  if (std::fabs(t) <= 1.0) return c * t;
  if (t > 1.0) return c * checkedPower(double(base), t - 1.0);
  return -c * checkedPower(double(base), -t - 1.0);
}

}  // namespace vellum32

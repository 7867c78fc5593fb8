#pragma once

#include "vellum32/types.h"

namespace vellum32 {

// What the conversion between data values and axis units needs to know about one axis.
struct AxisScale {
  AxisTypes Type = AxisTypes::linear;
  float Cutoff = 1.0f;          // linear half-width of a LogLinear axis
  float LnBase = 2.302585093f;  // natural logarithm of the axis base
};

// Data value to axis units. On a linear axis the value itself; on any other axis type
// the band -Cutoff..Cutoff maps linearly onto -1..1 and every axis unit beyond is one
// power of the base. Arithmetic that has no result raises Vellum32Error: a zero cutoff
// or a base of 1 divides by zero (11, or 6 for 0/0), a negative cutoff asks for the
// logarithm of a negative number (5).
double AxisTransform(double v, const AxisScale& axis);

// The same for a Y value: a value within 0.1 of `dataNull`, or below -1e30, is missing
// and becomes NullMark whatever the axis type.
double AxisTransformY(double v, const AxisScale& axis, float dataNull);

// Axis units back to a data value for the log-linear mapping (used for limits derived
// from the data and for pointer positions): |t| <= 1 gives c*t, t > 1 gives
// c*base^(t-1), t < -1 gives -c*base^(-t-1). `base` is the axis base itself. A result
// beyond the range of a double raises Vellum32Error 6.
double InverseAxisTransform(double t, float cutoff, float base);

}  // namespace vellum32

#pragma once

#include <QFont>
#include <QString>
#include <QVariant>
#include <cmath>

// Conversions of variant values the way the control's interface expects them: an
// empty variant is 0 (or "" or false), booleans are -1 and 0, texts must read as a
// number as a whole. A value that cannot be converted raises Vellum32Error 13; a
// number outside the target's range raises 6. Whole numbers round halves to even.
namespace vellum32::convert {

bool isEmpty(const QVariant& v);
double toDoubleSlow(const QVariant& v);
// Numbers held as doubles (the usual case for data tables) take the short way.
inline double toDouble(const QVariant& v) {
  if (v.typeId() == QMetaType::Double) return *static_cast<const double*>(v.constData());
  return toDoubleSlow(v);
}
float toSingle(const QVariant& v);
qint32 toLong(const QVariant& v);
qint16 toInteger(const QVariant& v);
bool toBoolean(const QVariant& v);
QString toText(const QVariant& v);
QFont toFont(const QVariant& v);

// The nearest whole number, halves to even, as the default rounding mode gives it; the
// short way for the drawing loops (std::nearbyint is a library call here). Adding and
// taking away 1.5 x 2^52, where the spacing of doubles is 1, rounds in the adder; the
// compiler may not fold it without -ffast-math. Zero comes back without its sign.
inline double roundHalfEven(double d) {
  constexpr double shift = 6755399441055744.0;
  if (d > -2251799813685248.0 && d < 2251799813685248.0) return (d + shift) - shift;
  return std::nearbyint(d);
}

// The same rounding and range checks for a double already in hand.
qint32 roundToLong(double d);
qint16 roundToInteger(double d);
// A double as a single; a finite value beyond the range of a single is an overflow (6).
float toSingle(double d);

// Division that fails the way the control's arithmetic does (floating-point division
// does not trap): a zero divisor raises 11, or 6 when the dividend is zero as well.
double divide(double a, double b);
// Natural logarithm of a positive number; anything else is an invalid argument (5).
double logarithm(double x);

}  // namespace vellum32::convert

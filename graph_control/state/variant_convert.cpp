#include "state/variant_convert.h"

#include <QRegularExpression>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "vellum32/errors.h"

namespace vellum32::convert {
namespace {

// A text reads as a number when, spaces aside, it is a decimal number with an optional
// sign, fraction and exponent.
bool parseNumber(const QString& text, double& out) {
  static const QRegularExpression pattern(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
  if (!pattern.match(text).hasMatch()) return false;
  const QByteArray latin = text.trimmed().toLatin1();
  out = std::strtod(latin.constData(), nullptr);
  if (std::isinf(out)) throw Vellum32Error(Overflow);
  return true;
}

}  // namespace

bool isEmpty(const QVariant& v) { return !v.isValid(); }

double toDoubleSlow(const QVariant& v) {
  if (!v.isValid()) return 0.0;
  switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? -1.0 : 0.0;
    case QMetaType::Double: return v.toDouble();
    case QMetaType::Float: return double(v.toFloat());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::LongLong: return double(v.toLongLong());
    case QMetaType::ULongLong: return double(v.toULongLong());
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar: {
      double d = 0;
      if (parseNumber(v.toString(), d)) return d;
      throw Vellum32Error(TypeMismatch);
    }
    default: throw Vellum32Error(TypeMismatch);
  }
}

float toSingle(double d) {
  if (std::isfinite(d) && std::fabs(d) > double(FLT_MAX)) throw Vellum32Error(Overflow);
  return float(d);
}

float toSingle(const QVariant& v) { return toSingle(toDouble(v)); }

double divide(double a, double b) {
  if (b == 0.0) throw Vellum32Error(a == 0.0 ? Overflow : DivisionByZero);
  return a / b;
}

double logarithm(double x) {
  if (!(x > 0.0)) throw Vellum32Error(InvalidProcedureCall);
  return std::log(x);
}

qint32 roundToLong(double d) {
  const double r = std::nearbyint(d);  // the default rounding mode rounds halves to even
  if (!(r >= double(std::numeric_limits<qint32>::min()) && r <= double(std::numeric_limits<qint32>::max())))
    throw Vellum32Error(Overflow);
  return qint32(r);
}

qint16 roundToInteger(double d) {
  const double r = std::nearbyint(d);
  if (!(r >= double(std::numeric_limits<qint16>::min()) && r <= double(std::numeric_limits<qint16>::max())))
    throw Vellum32Error(Overflow);
  return qint16(r);
}

qint32 toLong(const QVariant& v) { return roundToLong(toDouble(v)); }

qint16 toInteger(const QVariant& v) { return roundToInteger(toDouble(v)); }

bool toBoolean(const QVariant& v) {
  if (!v.isValid()) return false;
  if (v.typeId() == QMetaType::Bool) return v.toBool();
  if (v.typeId() == QMetaType::QString) {
    const QString t = v.toString().trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
  }
  return toDouble(v) != 0.0;
}

QString toText(const QVariant& v) {
  if (!v.isValid()) return QString();
  switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar: return v.toString();
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Float: return QString::number(double(v.toFloat()), 'g', 7);
    default: return QString::number(toDouble(v), 'g', 15);
  }
}

QFont toFont(const QVariant& v) {
  if (v.typeId() == QMetaType::QFont) return v.value<QFont>();
  throw Vellum32Error(TypeMismatch);
}

}  // namespace vellum32::convert

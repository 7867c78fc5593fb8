#include "axes/tick_labels.h"

#include <charconv>
#include <cmath>
#include <string>

#include "state/variant_convert.h"
#include "vellum32/errors.h"

namespace vellum32 {
namespace {

// The shortest decimal text of a number in fixed notation, without sign.
template <class T>
std::string fixedText(T magnitude) {
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed);
  return std::string(buf, res.ptr);
}

template <class T>
QString formatNumber(T value, int decimals) {
  if (std::isnan(value)) return QStringLiteral("NaN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
  const bool negative = value < 0;
  const std::string text = fixedText(std::fabs(value));
  std::string whole = text, frac;
  if (const auto dot = text.find('.'); dot != std::string::npos) {
    whole = text.substr(0, dot);
    frac = text.substr(dot + 1);
  }
  const auto keep = static_cast<std::size_t>(std::max(decimals, 0));
  const bool roundUp = frac.size() > keep && frac[keep] >= '5';
  frac.resize(keep, '0');
  if (roundUp) {
    std::string digits = whole + frac;
    auto i = static_cast<std::ptrdiff_t>(digits.size()) - 1;
    while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') digits[static_cast<std::size_t>(i--)] = '0';
    if (i < 0) {
      digits.insert(digits.begin(), '1');
    } else {
      ++digits[static_cast<std::size_t>(i)];
    }
    whole = digits.substr(0, digits.size() - keep);
    frac = digits.substr(digits.size() - keep);
  }
  // A tiny negative value that shows as zero (float accumulation of ticks) gets no sign.
  const bool allZero =
      whole.find_first_not_of('0') == std::string::npos && frac.find_first_not_of('0') == std::string::npos;
  std::string out = negative && !allZero ? "-" : "";
  out += whole;
  if (keep > 0) out += "." + frac;
  return QString::fromStdString(out);
}

template <class T>
QString plainNumber(T value) {
  char buf[64];
  const T magnitude = std::fabs(value);
  const bool fixed = magnitude == 0 || (magnitude >= T(1e-15) && magnitude < T(1e15));
  const auto res =
      std::to_chars(buf, buf + sizeof buf, value, fixed ? std::chars_format::fixed : std::chars_format::scientific);
  QString text = QString::fromLatin1(buf, static_cast<qsizetype>(res.ptr - buf));
  if (!fixed) text = text.toUpper();
  return text;
}

}  // namespace

QString DecimalsFormat(double interval) {
  double a = std::fabs(interval);
  for (int n = 0; n <= 3; ++n) {
    if (std::fabs(a - std::nearbyint(a)) <= 0.001) {
      return n == 0 ? QStringLiteral("0") : QStringLiteral("0.") + QString(n, QLatin1Char('0'));
    }
    a *= 10;
  }
  return QStringLiteral("0.0000");
}

int FormatDecimals(const QString& format) {
  const qsizetype dot = format.indexOf(QLatin1Char('.'));
  return dot < 0 ? 0 : static_cast<int>(format.size() - dot - 1);
}

QString FormatNumber(double value, int decimals) { return formatNumber(value, decimals); }
QString FormatNumber(float value, int decimals) { return formatNumber(value, decimals); }
QString PlainNumber(double value) { return plainNumber(value); }
QString PlainNumber(float value) { return plainNumber(value); }

QString TickLabel(float t, bool logLinear, float cutoff, const QString& format, float base) {
  if (!logLinear) return FormatNumber(t, FormatDecimals(format));
  const double lnCutoff = convert::logarithm(double(cutoff));
  const double lnBase = convert::logarithm(double(base));
  const double k = std::nearbyint(convert::divide(lnCutoff, lnBase));
  if (t > -1 && t < 1) {
    const float v = t * cutoff;
    if (cutoff >= 1) return FormatNumber(v, 0);
    return FormatNumber(v, static_cast<int>(std::fabs(k)) + 1);
  }
  const double magnitude = std::fabs(double(t));
  const double e = std::nearbyint(std::trunc(magnitude) - 1 + k);
  double m = std::nearbyint((magnitude - std::trunc(magnitude)) * 10);
  if (m == 0) m = 1;
  const QString digit = PlainNumber(m);
  const QString power = PlainNumber(e);
  QString label;
  if (base == 10) {
    if (e == 0)
      label = digit;
    else if (e == 1)
      label = digit + QStringLiteral("0");
    else if (e == 2)
      label = digit + QStringLiteral("00");
    else if (e == 3)
      label = digit + QStringLiteral("000");
    else if (e == -1)
      label = QStringLiteral("0.") + digit;
    else if (e == -2)
      label = QStringLiteral("0.0") + digit;
    else if (e == -3)
      label = QStringLiteral("0.00") + digit;
    else
      label = digit + QStringLiteral("x10^") + power;
  } else {
    const double b = std::pow(double(base), e);
    if (std::fabs(b) >= 10000 || e < 0) {
      label = digit + QStringLiteral("x") + PlainNumber(base) + QStringLiteral("^") + power;
    } else {
      label = FormatNumber(b, 0);
    }
  }
  if (t < 0) label.prepend(QLatin1Char('-'));
  return label;
}

}  // namespace vellum32

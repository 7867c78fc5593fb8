#pragma once
// Number texts of the axes: the decimals format of a tick interval and the tick labels
// of linear and log-linear axes.
#include <QString>

namespace vellum32 {

// "0" for whole intervals, "0." followed by 1 to 3 zeros for intervals with that many
// decimals, "0.0000" for anything finer.
QString DecimalsFormat(double interval);

// Number of decimals of such a format ("0" -> 0, "0.00" -> 2).
int FormatDecimals(const QString& format);

// A value in a format "0", "0.0", "0.00", ...: halves round away from zero on the
// shortest decimal text of the value; negative values keep their "-" unless every
// digit shown is 0. The float overload rounds on the shortest text of the single.
QString FormatNumber(double value, int decimals);
QString FormatNumber(float value, int decimals);

// The plain text of a number: its shortest decimal form, without exponent where it is
// short enough ("2", "2.5", "0.001", "1E+20"). The float overload uses the shortest
// text of the single (1.1f gives "1.1").
QString PlainNumber(double value);
QString PlainNumber(float value);

// The label of a tick at axis value t. Log-linear labels (logLinear true) use cutoff c
// and base b and raise Vellum32Error 5 for a cutoff or base <= 0 and 11 for base 1;
// linear labels use `format`.
QString TickLabel(float t, bool logLinear, float cutoff, const QString& format, float base);

}  // namespace vellum32

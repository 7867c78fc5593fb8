#include "vellum32/errors.h"

namespace vellum32 {

QString StandardErrorMessage(int number) {
  switch (number) {
    case InvalidProcedureCall: return QStringLiteral("Invalid procedure call or argument");
    case Overflow: return QStringLiteral("Overflow");
    case OutOfMemory: return QStringLiteral("Out of memory");
    case SubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case DivisionByZero: return QStringLiteral("Division by zero");
    case TypeMismatch: return QStringLiteral("Type mismatch");
    case FileNotFound: return QStringLiteral("File not found");
    case PathFileAccessError: return QStringLiteral("Path/File access error");
    case InvalidPropertyValue: return QStringLiteral("Invalid property value");
    default: return QStringLiteral("Application-defined or object-defined error");
  }
}

Vellum32Error::Vellum32Error(int number, QString source, QString description)
    : std::runtime_error(description.toStdString()),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

Vellum32Error::Vellum32Error(int number)
    : Vellum32Error(number, QString::fromLatin1(ErrorSource), StandardErrorMessage(number)) {}

Vellum32Error PlottingFailure(const Vellum32Error& cause, const QString& what, bool withCause) {
  QString description =
      QStringLiteral("Error %1 plotting %2: %3").arg(cause.Number()).arg(what, StandardErrorMessage(cause.Number()));
  if (withCause) description += QLatin1Char(' ') + cause.Description();
  return Vellum32Error(PlottingError, QString::fromLatin1(ErrorSource), description);
}

}  // namespace vellum32

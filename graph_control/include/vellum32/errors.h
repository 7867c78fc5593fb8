#pragma once

#include <QString>
#include <stdexcept>

#include "vellum32/export.h"

namespace vellum32 {

// Run-time error numbers the control raises to its host. They keep the classic
// numbering so that a host can tell the kinds of failure apart the usual way.
enum ErrorNumbers : int {
  InvalidProcedureCall = 5,    // "Invalid procedure call or argument"
  Overflow = 6,                // "Overflow"
  OutOfMemory = 7,             // "Out of memory"
  SubscriptOutOfRange = 9,     // "Subscript out of range"
  DivisionByZero = 11,         // "Division by zero"
  TypeMismatch = 13,           // "Type mismatch"
  FileNotFound = 53,           // "File not found"
  PathFileAccessError = 75,    // "Path/File access error"
  InvalidPropertyValue = 380,  // "Invalid property value"
  PlottingError = 32007,       // the plot routine's own error
};

// Source name carried by every error the control raises.
inline constexpr const char* ErrorSource = "Vellum";

// The standard message of a run-time error number ("Subscript out of range" for 9),
// or "Application-defined or object-defined error" for a number without one.
VELLUM32_EXPORT QString StandardErrorMessage(int number);

// An error raised to the host: number, source and description, like the error
// object a host inspects after a failed property or method call.
class VELLUM32_EXPORT Vellum32Error : public std::runtime_error {
public:
  Vellum32Error(int number, QString source, QString description);
  // Raises `number` with the standard message as description and the control as source.
  explicit Vellum32Error(int number);

  int Number() const noexcept { return number_; }
  const QString& Source() const noexcept { return source_; }
  const QString& Description() const noexcept { return description_; }

private:
  int number_;
  QString source_;
  QString description_;
};

// The error the plot routine (what = "graph") or the legend (what = "legend") raises for
// a failure inside it: 32007 with the description "Error <n> plotting <what>: " followed
// by the standard message of n and, with `withCause`, a blank and the cause's own
// description.
VELLUM32_EXPORT Vellum32Error PlottingFailure(const Vellum32Error& cause, const QString& what, bool withCause = true);

}  // namespace vellum32

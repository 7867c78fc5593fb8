#pragma once
// The Oasis database export through the GX library: the same blocks and working columns
// as the XYZ file, one survey line per block and eight channels.
#include <cstdint>
#include <string>

#include "export/export_command.h"
#include "export/export_core.h"
#include "util/operator.h"

namespace corvane {

// Writes the database at `path` (a file there has been dealt with by the click handler)
// and reports the outcome through the operator: "Export complete", a library error shown
// by the library, or a message. The library's errors go to the operator's message box.
ExportResult export_oasis(const SurveyModel& model, const ExportOptions& options, const std::string& path,
                          Operator& op);

// The values of the channels for one reading.
std::string station_text(float position, char direction);
double decimal_year(double day_number);
double decimal_hours(double day_number);

}  // namespace corvane

#pragma once
// The Oasis database export through the GX library: the same blocks and working columns
// as the XYZ file, one survey line per block and eight channels.
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_core.h"
#include "export/export_file.h"
#include "export/export_result.h"
#include "util/operator.h"

namespace corvane {

// Writes the database at `path` (the click handler's temporary name, renamed over the
// target afterwards); the library's messages name `shown_as` (the target) in its place,
// unless it is empty. A failure is reported by the library or by a message and gives
// failed; the first call the library refuses ends the export, and nothing after it is
// written. complete leaves the hourglass on and "Export complete" to the caller, who says
// it once the file is in its place. `tally` receives what was written and what was left
// out.
ExportResult export_oasis(const SurveyModel& model, const ExportOptions& options, const std::string& path, Operator& op,
                          ExportTally& tally, const std::string& shown_as = {});

// The values of the channels for one reading.
std::string station_text(float position, char direction);
double decimal_year(double day_number);
double decimal_hours(double day_number);

}  // namespace corvane

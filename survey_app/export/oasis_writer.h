#pragma once
// The Oasis database export through the GX library: the same blocks and working columns
// as the XYZ file, one survey line per block and eight channels.
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_core.h"
#include "util/operator.h"

namespace corvane {

// Writes the database at `path` (the export's temporary name, renamed over the target
// afterwards) and returns what was written and what was left out; status panels 2 to 4
// follow the blocks. The library's messages name `shown_as` (the target) in its place,
// unless it is empty. The first call the library refuses ends the export with its error
// shown and ExportFailureShown thrown; nothing after it is written. Other failures throw
// ExportError or ExportMessage, the lines written before them committed.
ExportTally export_oasis(const SurveyModel& model, const ExportOptions& options, const std::string& path, Operator& op,
                         const std::string& shown_as = {});

// The values of the channels for one reading. The station is the position's number column
// and a letter: E or W on a north line, N or S on the others, by its sign.
constexpr std::size_t station_text_size = value_field_width + 1;
void put_station_text(char* out, float position, char direction);
std::string station_text(float position, char direction);
double decimal_year(double day_number);
double decimal_hours(double day_number);

}  // namespace corvane

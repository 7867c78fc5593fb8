#pragma once
// The XYZ column file: nine head lines, then for every written block a "/Line " line and
// one 86-character row per reading; CR LF line ends, single-byte text.
#include <cstdio>
#include <string>

#include "export/export_command.h"
#include "export/export_core.h"

namespace corvane {

// Writes the whole file to `out` (opened by the caller, who closes it) and reports the
// outcome to the operator: "Export complete", or the error. `path` names the file in
// error messages; `today` is the day number written in the head.
ExportResult export_xyz(const SurveyModel& model, const ExportOptions& options, std::FILE* out, const std::string& path,
                        Operator& op, double today);

// One row of the file, without its line end.
std::string xyz_row(float line_coord, char direction, float position, float raw, float base, float corr, double time);

}  // namespace corvane

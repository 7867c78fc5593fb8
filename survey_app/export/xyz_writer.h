#pragma once
// The XYZ column file: nine head lines, then for every written block a "/Line " line and
// one 86-character row per reading; CR LF line ends, single-byte text.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_core.h"
#include "export/export_file.h"

namespace corvane {

// Writes the whole file to `out` and returns what was written and what was left out;
// status panels 2 to 4 follow the blocks. Throws ExportError (or what the file's writes
// throw) at a failure: the file then holds what was written before it. `today` is the day
// number written in the head.
ExportTally export_xyz(const SurveyModel& model, const ExportOptions& options, ExportFile& out, Operator& op,
                       double today);

// The rows of the file, formatted into a caller's buffer without a text per value.
class XyzRows {
public:
  static constexpr std::size_t row_bytes = 88;  // 86 characters, CR LF

  // The line coordinate and direction letter of the rows that follow.
  void set_line(float line_coord, char direction);
  // Writes one row and its line end at out[0..row_bytes). Throws ExportError for a time
  // whose year has not four digits.
  void put(char* out, float position, float raw, float base, float corr, double time);

private:
  std::array<char, value_field_width> coordinate_{};
  bool north_ = false;
  // The date text of the last day written, as format_ymd decides it.
  std::int64_t day_ = INT64_MIN;
  std::string date_;
};

}  // namespace corvane

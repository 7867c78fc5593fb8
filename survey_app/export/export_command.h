#pragma once
// The export pane's "Export" buttons as a core operation: the window only gathers the
// pane's inputs and calls command_save_data(); every check, question, message and byte of
// the file is decided here.
#include <cstdint>
#include <string>

#include "model/survey_model.h"
#include "util/operator.h"

namespace corvane {

// The inputs of the export pane, as typed.
struct ExportRequest {
  std::string file_name_text;   // "Export File Name"
  std::string directory;        // "Export  Location"
  std::string base_field_text;  // "Base Field Value"
  bool apply_corrections = true;
  bool export_all = false;   // "Export All Reading Data"
  bool export_base = false;  // "Export Base Station Data"
};

enum class ExportResult {
  refused,    // an input was refused with a message; nothing was written
  cancelled,  // the operator kept the existing file
  failed,     // an error was reported; the file keeps what was written
  complete,   // "Export complete"
};

// Button index 0: XYZ column file; 1: Oasis database.
constexpr int export_xyz_button = 0;
constexpr int export_oasis_button = 1;

// The click of an export button. `today` is the date written in the file head (a day
// number; by default the current local date).
ExportResult command_save_data(const SurveyModel& model, const ExportRequest& request, int index, Operator& op,
                               double today = -1);

// The current local date as a day number (midnight).
double current_day_number();

}  // namespace corvane

#pragma once
// The export pane's "Export" buttons as a core operation: the window only gathers the
// pane's inputs and calls command_save_data(); every check, question, message and byte of
// the file is decided here.
#include <cstdint>
#include <optional>
#include <string>

#include "export/export_core.h"
#include "export/export_file.h"
#include "export/export_result.h"
#include "model/survey_model.h"
#include "qc/spikes.h"
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
  // "Leave out spikes": flagged base readings take no part in the base interpolation and
  // flagged field readings have no corrected value. Off, the files are as without flags.
  bool leave_out_spikes = false;
  SpikeOptions spike_options;
};

// Button index 0: XYZ column file; 1: Oasis database.
constexpr int export_xyz_button = 0;
constexpr int export_oasis_button = 1;

// The click of an export button. `today` is the date written in the file head (a day
// number; by default the current local date). A file of the target's name that appears
// while the export runs (another export, another program) is found when the new file is
// to be put in place: the operator is asked the question asked of an existing file, at
// that moment, unless already agreed; Cancel keeps the other file and gives cancelled,
// with nothing of this export left. A complete export gives what it wrote in `written`.
ExportResult command_save_data(const SurveyModel& model, const ExportRequest& request, int index, Operator& op,
                               double today = -1, ExportTally* written = nullptr);

// The file an export writes: the folder and the trimmed name typed in the export pane.
std::string export_target_path(const std::string& directory, const std::string& file_name_text);

// Whether a base field value can be added to corrected readings that still fit their
// 10-character columns: no magnetic field comes near a million nT.
bool base_field_fits(float value);

// The base field value given in the header of the first base block that gives one.
std::optional<float> header_base_field(const SurveyModel& model);

// The current local date as a day number (midnight).
double current_day_number();

}  // namespace corvane

#include "export/export_command.h"

#include <sys/stat.h>

#include <cmath>
#include <ctime>
#include <optional>

#include "export/gx_library.h"
#include "export/oasis_writer.h"
#include "export/xyz_writer.h"
#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

namespace {

// The question asked before the file at `path` is replaced.
std::string overwrite_question(const std::string& path) {
  return "The specified data file already exists: " + path + ". Overwrite?";
}

// Points back to the default pointer and empties the four status panels.
void tidy_up(Operator& op) {
  op.busy(false);
  for (int panel = 1; panel <= 4; ++panel) op.status(panel, "");
}

// Puts the written file in the target's place. A file of the target's name that appeared
// while the export ran is replaced only when the operator agrees, asked now: false when not.
bool put_in_place(ExportFile& file, const std::string& path, Operator& op) {
  if (file.commit()) return true;
  op.busy(false);
  if (!op.ask_ok_cancel(overwrite_question(path))) return false;
  file.agree_to_replace();
  return file.commit();
}

// Writes the export to `file` with the writer of the button `index`, and reports a failure.
ExportResult write_export(const SurveyModel& model, const ExportOptions& options, int index, ExportFile& file,
                          Operator& op, double today, ExportTally& tally) {
  try {
    tally = index == export_xyz_button ? export_xyz(model, options, file, op, today)
                                       : export_oasis(model, options, file.temporary(), op, file.target());
    return ExportResult::complete;
  } catch (const ExportFailureShown&) {
    op.busy(false);
  } catch (const ExportMessage& e) {
    op.busy(false);
    op.message(e.what());
  } catch (const std::exception& e) {
    op.busy(false);
    report_export_error(op, e.what());
  }
  return ExportResult::failed;
}

}  // namespace

double current_day_number() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<double>(days_from_civil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                             static_cast<unsigned>(local.tm_mday)));
}

std::string export_target_path(const std::string& directory, const std::string& file_name_text) {
  std::string path = directory;
  if (path.empty() || path.back() != '/') path += '/';
  return path + std::string(trim_spaces(file_name_text));
}

bool base_field_fits(float value) { return std::fabs(value) < 1'000'000.0f; }

std::optional<float> header_base_field(const SurveyModel& model) {
  for (std::int32_t b = 1; b <= model.block_count; ++b)
    if (const Block& block = model.block(b); block.kind == base_kind && block.base_field != null_value)
      return block.base_field;
  return std::nullopt;
}

ExportResult command_save_data(const SurveyModel& model, const ExportRequest& request, int index, Operator& op,
                               double today, ExportTally* written_tally) {
  const std::string name(trim_spaces(request.file_name_text));
  if (name.empty()) {
    op.message("You must specify a file name to export the data");
    return ExportResult::refused;
  }
  if (name.find('/') != std::string::npos || name == "." || name == "..") {
    op.message("The export file name must not contain a drive or path");
    return ExportResult::refused;
  }
  if (trim_spaces(request.base_field_text).empty()) {
    op.message("You must specify a base field value");
    return ExportResult::refused;
  }
  ExportOptions options;
  if (!is_numeric(request.base_field_text) ||
      !to_single(numeric_value(request.base_field_text), options.base_field_value) ||
      !base_field_fits(options.base_field_value)) {
    op.message("The base field value is not valid: give a number below 1,000,000 nT, without thousands separators");
    return ExportResult::refused;
  }
  options.apply_corrections = request.apply_corrections;
  options.export_all = request.export_all;
  options.export_base = request.export_base;

  const std::string path = export_target_path(request.directory, request.file_name_text);

  if (index == export_oasis_button) {
    // Without the library nothing is done, so an existing file is not deleted for nothing.
    try {
      gx_library();
    } catch (const ExportError& e) {
      report_export_error(op, e.what());
      tidy_up(op);
      return ExportResult::failed;
    }
  }

  struct stat st {};
  bool replacing = false;
  if (::lstat(path.c_str(), &st) == 0) {
    struct stat target {};
    const bool regular =
        S_ISREG(st.st_mode) || (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode));
    if (!regular) {
      // A directory, device or pipe is never written over.
      report_export_error(op, path + " exists and is not a regular file");
      tidy_up(op);
      return ExportResult::failed;
    }
    if (!op.ask_ok_cancel(overwrite_question(path))) return ExportResult::cancelled;
    replacing = true;
  }

  if (today < 0) today = current_day_number();
  std::optional<ExportFile> file;
  try {
    file.emplace(path, replacing, index == export_xyz_button ? ExportFile::Kind::stream : ExportFile::Kind::database);
  } catch (const ExportError& e) {
    report_export_error(op, e.what());
    tidy_up(op);
    return ExportResult::failed;
  }
  // The pointer is busy from here to the message that ends the export.
  op.busy(true);
  std::optional<LeftOutSpikes> spikes;
  if (request.leave_out_spikes) options.spikes = &spikes.emplace(model, request.spike_options);
  ExportTally tally;
  if (const ExportResult written = write_export(model, options, index, *file, op, today, tally);
      written != ExportResult::complete) {
    file->abandon();
    tidy_up(op);
    return written;
  }
  try {
    if (!put_in_place(*file, path, op)) {
      file->discard();
      tidy_up(op);
      return ExportResult::cancelled;
    }
  } catch (const ExportError& e) {
    op.busy(false);
    report_export_error(op, e.what());
    tidy_up(op);
    return ExportResult::failed;
  }
  op.busy(false);
  op.message(export_complete_message(model, tally, path));
  if (written_tally) *written_tally = tally;
  tidy_up(op);
  return ExportResult::complete;
}

}  // namespace corvane

#include "export/export_command.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "export/gx_library.h"
#include "export/oasis_writer.h"
#include "export/xyz_writer.h"
#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

namespace {

const std::string failure = "An error occurred while exporting the data: ";

// Points back to the default pointer and empties the four status panels.
void tidy_up(Operator& op) {
  op.busy(false);
  for (int panel = 1; panel <= 4; ++panel) op.status(panel, "");
}

}  // namespace

double current_day_number() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<double>(days_from_civil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                             static_cast<unsigned>(local.tm_mday)));
}

ExportResult command_save_data(const SurveyModel& model, const ExportRequest& request, int index, Operator& op,
                               double today) {
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
      !to_single(numeric_value(request.base_field_text), options.base_field_value)) {
    op.message("The base field value is not valid");
    return ExportResult::refused;
  }
  options.apply_corrections = request.apply_corrections;
  options.export_all = request.export_all;
  options.export_base = request.export_base;

  std::string path = request.directory;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;

  if (index == export_oasis_button) {
    // Without the library nothing is done, so an existing file is not deleted for nothing.
    try {
      gx_library();
    } catch (const ExportError& e) {
      op.message(failure + e.what());
      tidy_up(op);
      return ExportResult::failed;
    }
  }

  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    struct stat target {};
    const bool regular =
        S_ISREG(st.st_mode) || (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode));
    if (!regular) {
      // A directory, device or pipe is never deleted or written over.
      op.message(failure + path + " exists and is not a regular file");
      tidy_up(op);
      return ExportResult::failed;
    }
    if (!op.ask_ok_cancel("The specified data file already exists. Overwrite?")) return ExportResult::cancelled;
    if (::unlink(path.c_str()) != 0) {
      op.message(failure + "could not delete " + path + ": " + std::strerror(errno));
      tidy_up(op);
      return ExportResult::failed;
    }
  }

  if (today < 0) today = current_day_number();
  ExportResult result = ExportResult::failed;
  if (index == export_xyz_button) {
    std::FILE* out = std::fopen(path.c_str(), "wbx");
    if (!out) {
      op.message(failure + "could not create " + path + ": " + std::strerror(errno));
      tidy_up(op);
      return ExportResult::failed;
    }
    result = export_xyz(model, options, out, path, op, today);
    if (std::fclose(out) != 0 && result == ExportResult::complete) {
      op.message(failure + "could not write " + path + ": " + std::strerror(errno));
      result = ExportResult::failed;
    }
  } else if (index == export_oasis_button) {
    result = export_oasis(model, options, path, op);
  }
  tidy_up(op);
  return result;
}

}  // namespace corvane

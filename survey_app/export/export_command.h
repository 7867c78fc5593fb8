#pragma once
// The export pane's "Export" buttons as a core operation: the window only gathers the
// pane's inputs and calls command_save_data(); every check, question, message and byte of
// the file is decided here.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
  failed,     // an error was reported; an existing file is as it was, a new one keeps what was written
  complete,   // "Export complete"
};

// The file of one export, written under a temporary name in the target's folder and put in
// the target's place only when all of it has been written, flushed and closed; until then
// an existing file of the target's name is untouched.
class ExportFile {
public:
  // Creates the temporary file (for the XYZ writer), or only picks its name, free in the
  // folder, for a writer that creates the file itself (the GX library). `replacing`: a file
  // of the target's name exists and the operator agreed to replace it. Throws ExportError
  // "could not create TARGET: reason".
  enum class Create { file, name_only };
  ExportFile(std::string target, bool replacing, Create create);
  // Not committed: abandon().
  ~ExportFile();
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  const std::string& target() const { return target_; }
  const std::string& temporary() const { return temporary_; }
  // Appends bytes; throws ExportError "could not write TARGET: reason".
  void write(std::string_view bytes);
  // Closes the file (after fsync when an existing file is to be replaced: the old file
  // goes only when the new one is on disk) and renames it over the target. Throws
  // ExportError.
  void commit();
  // After a failure: an existing target stays as it was and the temporary file is
  // removed; with no existing target, what was written is put at the target's path.
  void abandon() noexcept;

private:
  [[noreturn]] void fail(const char* doing, int error) const;
  void close();
  std::string target_, temporary_;
  bool replacing_;
  int fd_ = -1;
  bool done_ = false;
};

// The system calls an ExportFile makes, replaceable so that tests can make a write, an
// fsync or a close fail as a full disk or a network file system would.
struct ExportFileCalls {
  ssize_t (*write)(int, const void*, std::size_t);
  int (*fsync)(int);
  int (*close)(int);
};
ExportFileCalls& export_file_calls();

// Button index 0: XYZ column file; 1: Oasis database.
constexpr int export_xyz_button = 0;
constexpr int export_oasis_button = 1;

// The click of an export button. `today` is the date written in the file head (a day
// number; by default the current local date).
ExportResult command_save_data(const SurveyModel& model, const ExportRequest& request, int index, Operator& op,
                               double today = -1);

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

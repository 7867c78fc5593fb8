#include "export/export_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>

#include "export/gx_library.h"
#include "export/oasis_writer.h"
#include "export/xyz_writer.h"
#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

namespace {

// Points back to the default pointer and empties the four status panels.
void tidy_up(Operator& op) {
  op.busy(false);
  for (int panel = 1; panel <= 4; ++panel) op.status(panel, "");
}

// ".NAME.xxxxxxxx" beside the target: hidden, and never the name of a file the operator
// exports to in the same folder.
std::string temporary_name(const std::string& target, std::mt19937& random) {
  const std::size_t slash = target.rfind('/');
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
  return target.substr(0, slash + 1) + "." + target.substr(slash + 1) + suffix;
}

}  // namespace

ExportFileCalls& export_file_calls() {
  static ExportFileCalls calls{::write, ::fsync, ::close};
  return calls;
}

ExportFile::ExportFile(std::string target, bool replacing, Create create)
    : target_(std::move(target)), replacing_(replacing) {
  std::mt19937 random(std::random_device{}());
  for (int attempt = 0; fd_ < 0; ++attempt) {
    temporary_ = temporary_name(target_, random);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) fail("create", errno);
  }
  if (create == Create::name_only) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
    fd_ = -1;
  }
}

ExportFile::~ExportFile() { abandon(); }

void ExportFile::fail(const char* doing, int error) const {
  throw ExportError(std::string("could not ") + doing + " " + target_ + ": " + std::strerror(error != 0 ? error : EIO));
}

void ExportFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = export_file_calls().write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("write", n < 0 ? errno : ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void ExportFile::close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  // Without an old file there is nothing a crash before the data reach the disk could
  // cost, so only a replacement waits for them.
  const bool synced = !replacing_ || export_file_calls().fsync(fd) == 0;
  const int sync_error = errno;
  if (export_file_calls().close(fd) != 0) fail("write", errno);
  if (!synced) fail("write", sync_error);
}

void ExportFile::commit() {
  close();
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) fail("write", errno);
  done_ = true;
}

void ExportFile::abandon() noexcept {
  if (done_) return;
  done_ = true;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (replacing_ || std::rename(temporary_.c_str(), target_.c_str()) != 0) ::unlink(temporary_.c_str());
}

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
      !to_single(numeric_value(request.base_field_text), options.base_field_value) ||
      !base_field_fits(options.base_field_value)) {
    op.message("The base field value is not valid");
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
    if (!op.ask_ok_cancel("The specified data file already exists. Overwrite?")) return ExportResult::cancelled;
    replacing = true;
  }

  if (today < 0) today = current_day_number();
  std::optional<ExportFile> file;
  try {
    file.emplace(path, replacing,
                 index == export_xyz_button ? ExportFile::Create::file : ExportFile::Create::name_only);
  } catch (const ExportError& e) {
    report_export_error(op, e.what());
    tidy_up(op);
    return ExportResult::failed;
  }
  ExportTally tally;
  const ExportResult written = index == export_xyz_button ? export_xyz(model, options, *file, op, today, tally)
                                                          : export_oasis(model, options, file->temporary(), op, tally);
  if (written != ExportResult::complete) {
    file->abandon();
    tidy_up(op);
    return written;
  }
  try {
    file->commit();
  } catch (const ExportError& e) {
    op.busy(false);
    report_export_error(op, e.what());
    tidy_up(op);
    return ExportResult::failed;
  }
  op.busy(false);
  op.message(export_complete_message(model, tally, path));
  tidy_up(op);
  return ExportResult::complete;
}

}  // namespace corvane

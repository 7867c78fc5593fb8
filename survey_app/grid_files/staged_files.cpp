#include "grid_files/staged_files.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <system_error>

namespace corvane {

namespace fs = std::filesystem;

namespace {

std::u8string random_tag() {
  std::random_device device;
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(device()), static_cast<unsigned>(device()));
  return std::u8string(text, text + 16);
}

}  // namespace

StagedFiles::StagedFiles(fs::path target) : target_(std::move(target)) {
  prefix_ = u8"." + target_.stem().u8string() + u8".part-" + random_tag();
  // Some writers name side files after a lower-case main file whatever they are given.
  std::u8string extension = target_.extension().u8string();
  for (char8_t& c : extension) {
    if (c >= u8'A' && c <= u8'Z') c = static_cast<char8_t>(c - u8'A' + u8'a');
  }
  temporary_ = target_.parent_path() / (prefix_ + extension);
}

StagedFiles::~StagedFiles() {
  if (committed_) return;
  std::error_code ignored;
  for (const fs::path& file : written()) fs::remove(file, ignored);
}

std::vector<fs::path> StagedFiles::written() const {
  std::vector<fs::path> files;
  std::error_code error;
  const fs::path folder = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->path().filename().u8string().starts_with(prefix_)) files.push_back(it->path());
  }
  return files;
}

fs::path StagedFiles::destination_of(const fs::path& file) const {
  if (file == temporary_) return target_;
  return target_.parent_path() / (target_.stem().u8string() + file.filename().u8string().substr(prefix_.size()));
}

void StagedFiles::commit(const std::vector<std::string>& stale_endings) {
  std::vector<fs::path> files = written();
  // The main file last: a reader never finds it beside side files of the old one.
  std::stable_partition(files.begin(), files.end(), [&](const fs::path& file) { return file != temporary_; });
  // A folder in the way fails before any file moves, leaving the target's set whole.
  for (const fs::path& file : files) {
    const fs::path destination = destination_of(file);
    if (fs::is_directory(destination)) {
      throw fs::filesystem_error("cannot move over a folder", file, destination,
                                 std::make_error_code(std::errc::is_a_directory));
    }
  }
  std::vector<std::u8string> endings;
  for (const fs::path& file : files) {
    fs::rename(file, destination_of(file));
    endings.push_back(file.filename().u8string().substr(prefix_.size()));
  }
  committed_ = true;
  for (const std::string& stale : stale_endings) {
    const std::u8string ending(stale.begin(), stale.end());
    if (std::find(endings.begin(), endings.end(), ending) != endings.end()) continue;
    std::error_code ignored;
    fs::remove(target_.parent_path() / (target_.stem().u8string() + ending), ignored);
  }
}

}  // namespace corvane

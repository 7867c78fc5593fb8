#pragma once
// Files written under a temporary name beside their target and moved over it only once
// complete, so that a failed write never leaves a half-written or missing target.
#include <filesystem>
#include <string>
#include <vector>

namespace corvane {

class StagedFiles {
public:
  // `target`'s folder must exist.
  explicit StagedFiles(std::filesystem::path target);
  // Removes whatever was written under the temporary name and not committed.
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // The name to write, in the target's folder and with its extension in lower case. Side files a writer
  // makes beside it (same name, another ending: .shx, .dbf, .aux.xml) move with it.
  const std::filesystem::path& temporary() const { return temporary_; }

  // Moves the written files over the target's (the main file last), then removes those of
  // the target's `stale_endings` (appended to the target's stem) that were not rewritten.
  // Throws std::filesystem::filesystem_error.
  void commit(const std::vector<std::string>& stale_endings);

private:
  std::vector<std::filesystem::path> written() const;
  // Where a written file goes: the target itself, or the target's stem with the side file's
  // own ending.
  std::filesystem::path destination_of(const std::filesystem::path& file) const;

  std::filesystem::path target_;
  std::u8string prefix_;  // the file name of temporary() without its extension
  std::filesystem::path temporary_;
  bool committed_ = false;
};

}  // namespace corvane

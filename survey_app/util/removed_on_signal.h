#pragma once
// A file that must not outlive the program when it is stopped by SIGINT, SIGTERM or SIGHUP
// (Ctrl-C, kill, a closed terminal): a temporary file that nobody would ever remove.
//
// The first registration installs a handler for each of these signals whose action is still
// the default; an ignored signal stays ignored and a handler of the program's own is left in
// place. The handler removes every registered file and the companions SQLite may keep
// beside it (NAME-journal, NAME-wal, NAME-shm), then ends the program by the signal's
// default action, so the parent sees the same signal. It only unlinks paths held in a fixed
// table, which makes it safe whatever the signal interrupted.
#include <string>

namespace corvane {

// The files SQLite may keep beside a database NAME: NAME-journal, NAME-wal, NAME-shm.
constexpr const char* sqlite_companions[] = {"-journal", "-wal", "-shm"};

// Removes `path` and its SQLite companions. Async-signal-safe; errors are ignored.
void remove_with_companions(const char* path) noexcept;

class RemovedOnSignal {
public:
  // Registers `path` (absolute, or relative to a working directory that does not change).
  // With every slot of the table taken, or a path longer than PATH_MAX, the file is not
  // registered: it is then left to whoever removes stale temporary files.
  explicit RemovedOnSignal(const std::string& path) noexcept;
  // Unregisters: the file has been renamed into place or removed.
  ~RemovedOnSignal();
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

  bool registered() const { return slot_ >= 0; }

private:
  int slot_ = -1;
};

}  // namespace corvane

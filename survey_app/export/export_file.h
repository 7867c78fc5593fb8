#pragma once
// The file of one export, put in the target's place only when all of it has been written.
//
// Until then nothing appears under a name a person would open, and a program that is
// stopped leaves nothing behind:
// - a stream (the XYZ writer writes it here) is an unnamed file in the target's folder
//   (O_TMPFILE), which the kernel frees whenever the program ends;
// - a database (the GX library creates and writes it by name), or a stream on a file system
//   without unnamed files, gets a short hidden name of our own, ".corvane-export-XXXXXXXX",
//   in the target's folder. SIGINT, SIGTERM and SIGHUP remove it and SQLite's companions of
//   it before the program ends (RemovedOnSignal); one left by SIGKILL or a power cut is
//   removed by the next export into that folder once it is a day old (a younger one may
//   belong to an export still running in another program).
// The temporary name is never derived from the target's, so every name the folder accepts
// can be a target, and every message names the target.
//
// A new file never replaces a file that appeared while the export ran: the file is linked
// or renamed into place only where no file of the target's name exists. A file is replaced
// only when the operator agreed, at the start or when the other file is found.
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "util/removed_on_signal.h"

namespace corvane {

class ExportFile {
public:
  // stream: written through write(); after a failure what was written is put at a new
  // target's path, as a partial file is still worth reading.
  // database: created at temporary() by the writer itself; a failed database is worth
  // nothing (SQLite rolled back what it could not finish), so a failure leaves no file.
  enum class Kind { stream, database };

  // Removes stale temporary files of ours from the target's folder, then creates the
  // unnamed file (stream) or picks the name (database). `replacing`: a file of the
  // target's name exists and the operator agreed to replace it. Throws ExportError
  // "could not create TARGET: reason".
  ExportFile(std::string target, bool replacing, Kind kind);
  // Neither committed nor abandoned: discard().
  ~ExportFile();
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  const std::string& target() const { return target_; }
  // The path a database is created at by its writer.
  const std::string& temporary() const { return temporary_; }
  // Appends bytes to a stream; throws ExportError "could not write TARGET: reason".
  void write(std::string_view bytes);
  // Puts the file in the target's place; a replacement is flushed to the disk first (the
  // old file goes only when the new one is there). Returns false, with nothing changed,
  // when a file of the target's name has appeared since the export began and the operator
  // has not agreed to replace it: agree_to_replace() and commit() again, or discard().
  // Throws ExportError.
  bool commit();
  void agree_to_replace() { replacing_ = true; }
  // After a failure: an existing target stays as it was; a stream's written part goes to
  // a new target's path (never over a file that has appeared); then discard().
  void abandon() noexcept;
  // Removes everything of this export; the target is not touched.
  void discard() noexcept;

private:
  [[noreturn]] void fail(const char* doing, int error) const;
  // Gives temporary_ a free name of our pattern in the target's folder and has `create`
  // (0, or -1 with errno) make the file there; throws ExportError "could not DOING TARGET".
  void name_temporary(const char* doing, const std::function<int()>& create);
  // Puts the file at the target's path where no file of that name exists: false when one
  // does; throws ExportError for any other failure.
  bool place_new();
  void close_stream();

  std::string target_, folder_, temporary_;
  bool replacing_;
  Kind kind_;
  int fd_ = -1;           // a stream until it is closed
  bool unnamed_ = false;  // fd_ is an O_TMPFILE file with no name yet
  bool done_ = false;     // in the target's place, or discarded
  std::optional<RemovedOnSignal> registration_;
};

// The system calls an ExportFile makes, replaceable so that tests can make a write, an
// fsync or a close fail as a full disk or a network file system would, or an unnamed file
// be refused as on a file system without them.
struct ExportFileCalls {
  ssize_t (*write)(int, const void*, std::size_t);
  int (*fsync)(int);
  int (*close)(int);
  int (*open)(const char*, int, mode_t);
};
ExportFileCalls& export_file_calls();

// Whether `name` is one of ours: ".corvane-export-" and eight hexadecimal digits, or
// SQLite's "-journal", "-wal" or "-shm" companion of one.
bool is_export_temporary_name(std::string_view name);

}  // namespace corvane

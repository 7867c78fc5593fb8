#include "export/export_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <utility>

#include "export/export_core.h"

namespace corvane {

namespace {

constexpr std::string_view temporary_prefix = ".corvane-export-";
constexpr int temporary_hex_digits = 8;

// A temporary file of ours unchanged for this long belongs to no running export: its
// program was killed or the machine stopped.
constexpr std::time_t stale_after_seconds = 24 * 60 * 60;

bool is_stale(std::time_t modified, std::time_t now) { return now - modified >= stale_after_seconds; }

void remove_stale_temporaries(const std::string& folder) {
  DIR* const dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;  // creating the file will name the reason
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    struct stat st {};
    if (is_export_temporary_name(entry->d_name) &&
        ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        is_stale(st.st_mtime, now))
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

// The name an open file has for linkat while it has none of its own. Following it needs
// no privilege, unlike linkat's AT_EMPTY_PATH.
std::string name_of_descriptor(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Unnamed files are not to be had in this folder: an old kernel or a file system without
// them (some network file systems).
bool no_unnamed_files(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// rename() that never replaces: false with errno EEXIST when `to` exists. Where the file
// system cannot refuse a replacement itself (no RENAME_NOREPLACE, no hard links) the check
// and the rename are two steps, the best such a file system allows.
bool rename_without_replacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return false;
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// The kernel's randomness, else (no source to be had) the clock's and the process's.
unsigned random_number() {
  try {
    return std::random_device{}();
  } catch (const std::exception&) {
    static std::minstd_rand fallback(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(::getpid()));
    return static_cast<unsigned>(fallback());
  }
}

int open_file(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

}  // namespace

ExportFileCalls& export_file_calls() {
  static ExportFileCalls calls{::write, ::fsync, ::close, open_file};
  return calls;
}

bool is_export_temporary_name(std::string_view name) {
  if (!name.starts_with(temporary_prefix)) return false;
  name.remove_prefix(temporary_prefix.size());
  if (name.size() < temporary_hex_digits) return false;
  for (const char c : name.substr(0, temporary_hex_digits))
    if ((c < '0' || c > '9') && (c < 'a' || c > 'f')) return false;
  name.remove_prefix(temporary_hex_digits);
  if (name.empty()) return true;
  for (const char* companion : sqlite_companions)
    if (name == companion) return true;
  return false;
}

ExportFile::ExportFile(std::string target, bool replacing, Kind kind)
    : target_(std::move(target)), replacing_(replacing), kind_(kind) {
  const std::size_t slash = target_.rfind('/');
  folder_ = slash == std::string::npos ? "." : slash == 0 ? "/" : target_.substr(0, slash);
  remove_stale_temporaries(folder_);
  if (kind_ == Kind::database) {
    // The name is kept free for the writer, who creates the file.
    name_temporary("create", [this] {
      const int fd = export_file_calls().open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0) return -1;
      ::close(fd);
      return ::unlink(temporary_.c_str());
    });
    return;
  }
  fd_ = export_file_calls().open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  struct stat st {};
  if (fd_ >= 0 && ::stat(name_of_descriptor(fd_).c_str(), &st) == 0) {
    unnamed_ = true;
    return;
  }
  if (fd_ < 0 && !no_unnamed_files(errno)) fail("create", errno);
  if (fd_ >= 0) ::close(fd_);  // no /proc to link it by
  fd_ = -1;
  name_temporary("create", [this] {
    fd_ = export_file_calls().open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd_ < 0 ? -1 : 0;
  });
}

ExportFile::~ExportFile() { discard(); }

void ExportFile::fail(const char* doing, int error) const {
  throw ExportError(std::string("could not ") + doing + " " + target_ + ": " + std::strerror(error != 0 ? error : EIO));
}

void ExportFile::name_temporary(const char* doing, const std::function<int()>& create) {
  for (int attempt = 0;; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "%.*s%08x", static_cast<int>(temporary_prefix.size()), temporary_prefix.data(),
                  random_number());
    temporary_ = folder_ + "/" + name;
    // Registered before the file exists, so that no moment leaves it behind.
    registration_.emplace(temporary_);
    if (create() == 0) return;
    const int error = errno;
    registration_.reset();
    temporary_.clear();
    if (error != EEXIST || attempt == 100) fail(doing, error);
  }
}

void ExportFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = export_file_calls().write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("write", n < 0 ? errno : ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

bool ExportFile::place_new() {
  if (unnamed_ ? ::linkat(AT_FDCWD, name_of_descriptor(fd_).c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0
               : rename_without_replacing(temporary_, target_)) {
    done_ = true;
    registration_.reset();
    return true;
  }
  if (errno == EEXIST) return false;
  fail("write", errno);
}

void ExportFile::close_stream() {
  if (fd_ < 0) return;
  const int fd = std::exchange(fd_, -1);
  if (export_file_calls().close(fd) != 0) fail("write", errno);
}

bool ExportFile::commit() {
  if (!replacing_) {
    // A new file: nothing is lost if the machine stops before its bytes reach the disk, so
    // it is not flushed. A failed close leaves it in place, as a stream's written part.
    if (!place_new()) return false;
    close_stream();
    return true;
  }
  if (fd_ >= 0) {
    if (export_file_calls().fsync(fd_) != 0) fail("write", errno);
    if (unnamed_) {
      name_temporary("write", [this] {
        return ::linkat(AT_FDCWD, name_of_descriptor(fd_).c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW);
      });
      unnamed_ = false;
    }
    close_stream();
  } else if (kind_ == Kind::database) {
    // Its writer wrote the database by name, without syncs: flushed here, before it takes
    // the old file's place.
    const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail("write", errno);
    const int synced = export_file_calls().fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0) fail("write", error);
  }
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) fail("write", errno);
  done_ = true;
  registration_.reset();
  return true;
}

void ExportFile::abandon() noexcept {
  if (kind_ == Kind::stream && !replacing_ && !done_) {
    try {
      place_new();
    } catch (const ExportError&) {  // the failure already reported is the one that counts
    }
  }
  discard();
}

void ExportFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!done_ && !temporary_.empty()) remove_with_companions(temporary_.c_str());
  done_ = true;
  registration_.reset();
}

}  // namespace corvane

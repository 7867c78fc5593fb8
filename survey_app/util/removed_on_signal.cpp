#include "util/removed_on_signal.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace corvane {

namespace {

constexpr int stopping_signals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t longest_companion = 8;

// A slot is free, being filled by its owner, or holds a path the handler may remove. The
// handler reads only slots in the last state, so it never sees half a path.
enum : int { free_slot, filling, armed };

struct Slot {
  std::atomic<int> state{free_slot};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the states");

// Exports running at once in one program: a handful. Beyond the table a file is simply
// not registered.
Slot slots[32];

// Only async-signal-safe calls: the program may have been stopped anywhere, even inside
// malloc.
extern "C" void remove_registered_files(int signal) {
  for (Slot& slot : slots)
    if (slot.state.load() == armed) remove_with_companions(slot.path);
  // SA_RESETHAND has put back the default action, and the signal is blocked until this
  // handler returns: it then ends the program as if no handler had been here.
  ::raise(signal);
}

void install_handlers() {
  for (const int signal : stopping_signals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = remove_registered_files;
    action.sa_flags = SA_RESETHAND;
    sigfillset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void remove_with_companions(const char* path) noexcept {
  ::unlink(path);
  char companion[PATH_MAX + longest_companion];
  std::size_t length = 0;
  for (; path[length] != '\0' && length < PATH_MAX; ++length) companion[length] = path[length];
  for (const char* suffix : sqlite_companions) {
    std::size_t end = length;
    for (const char* c = suffix; *c != '\0'; ++c) companion[end++] = *c;
    companion[end] = '\0';
    ::unlink(companion);
  }
}

RemovedOnSignal::RemovedOnSignal(const std::string& path) noexcept {
  if (path.empty() || path.size() >= PATH_MAX) return;
  static std::once_flag installed;
  try {
    std::call_once(installed, install_handlers);
  } catch (...) {  // std::system_error when the thread library fails: no handler, no slot
    return;
  }
  for (int s = 0; s < static_cast<int>(std::size(slots)); ++s) {
    int expected = free_slot;
    if (!slots[s].state.compare_exchange_strong(expected, filling)) continue;
    std::memcpy(slots[s].path, path.c_str(), path.size() + 1);
    slots[s].state.store(armed);
    slot_ = s;
    return;
  }
}

RemovedOnSignal::~RemovedOnSignal() {
  if (slot_ >= 0) slots[slot_].state.store(free_slot);
}

}  // namespace corvane

#include "util/ordered_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace corvane {

unsigned default_jobs() { return std::max(1u, std::thread::hardware_concurrency()); }

namespace ordered_pipeline {

namespace {

struct Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;      // the next item a worker takes
  std::size_t consumed = 0;  // items consumed so far
  bool stop = false;
  std::vector<char> ready;  // per slot: its item is produced
  std::vector<std::exception_ptr> failure;
};

// The workers, stopped and waited for when it goes: also when a consume throws.
struct Workers {
  Shared& shared;
  std::vector<std::thread> threads;
  ~Workers() {
    {
      std::lock_guard lock(shared.mutex);
      shared.stop = true;
    }
    shared.changed.notify_all();
    for (std::thread& t : threads) t.join();
  }
};

}  // namespace

void run(std::size_t count, unsigned workers, std::size_t slot_count,
         const std::function<void(std::size_t, std::size_t)>& produce,
         const std::function<void(std::size_t, std::size_t)>& consume) {
  if (count == 0) return;
  Shared shared;
  shared.ready.assign(slot_count, 0);
  shared.failure.assign(slot_count, nullptr);
  const auto work = [&] {
    for (;;) {
      std::size_t i = 0;
      {
        std::unique_lock lock(shared.mutex);
        shared.changed.wait(
            lock, [&] { return shared.stop || shared.next >= count || shared.next < shared.consumed + slot_count; });
        if (shared.stop || shared.next >= count) return;
        i = shared.next++;
      }
      std::exception_ptr failure;
      try {
        produce(i, i % slot_count);
      } catch (...) {
        failure = std::current_exception();
      }
      {
        std::lock_guard lock(shared.mutex);
        shared.failure[i % slot_count] = failure;
        shared.ready[i % slot_count] = 1;
      }
      shared.changed.notify_all();
    }
  };
  Workers pool{shared, {}};
  try {
    for (unsigned w = 0; w < std::min<std::size_t>(workers, count); ++w) pool.threads.emplace_back(work);
  } catch (const std::system_error&) {
    // Run with the threads there are; with none, the calling thread produces each item.
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t slot = i % slot_count;
    if (pool.threads.empty()) {
      produce(i, slot);
    } else {
      std::exception_ptr failure;
      {
        std::unique_lock lock(shared.mutex);
        shared.changed.wait(lock, [&] { return shared.ready[slot] != 0; });
        failure = std::exchange(shared.failure[slot], nullptr);
      }
      if (failure) std::rethrow_exception(failure);
    }
    consume(i, slot);
    if (!pool.threads.empty()) {
      {
        std::lock_guard lock(shared.mutex);
        shared.ready[slot] = 0;
        shared.consumed = i + 1;
      }
      shared.changed.notify_all();
    }
  }
}

}  // namespace ordered_pipeline

}  // namespace corvane

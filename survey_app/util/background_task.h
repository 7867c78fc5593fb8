#pragma once
// One task at a time on a thread of its own, so that the caller can go on meanwhile. The
// thread starts with the first task and ends with the object.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace corvane {

class BackgroundTask {
public:
  BackgroundTask() = default;
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;
  // Waits for a task still running.
  ~BackgroundTask();

  // Runs `task` on the thread; a task given earlier must have been waited for. The task
  // must not throw: it keeps its own failure for the caller to look at after wait().
  void start(std::function<void()> task);
  // Returns once the task given last has run (at once when there is none).
  void wait();

private:
  void run();

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> task_;
  bool busy_ = false, stop_ = false;
};

}  // namespace corvane

#pragma once
// The window's thread, as the tests' recorders play it: tasks posted from any
// thread wait in order until the test's own thread runs them.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace vantrel::testing {

class TaskQueue {
 public:
  // Queues a task; callable from any thread.
  void Post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
    posted_.notify_all();
  }
  // Runs queued tasks until done() holds; false when it did not within timeout.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 120000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (done()) return true;
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        if (posted_.wait_until(lock, deadline, [&] { return !queue_.empty(); })) {
          task = std::move(queue_.front());
          queue_.pop_front();
        }
      }
      if (!task) return done();
      task();
    }
  }
  // Waits until a task is queued, without running anything.
  bool WaitForQueued(int timeoutMs = 120000) {
    std::unique_lock lock(mutex_);
    return posted_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty(); });
  }
  // Runs whatever is queued now, and what those tasks queue.
  void PumpPending() {
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        task = std::move(queue_.front());
        queue_.pop_front();
      }
      task();
    }
  }
  std::size_t Queued() {
    std::lock_guard lock(mutex_);
    return queue_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace vantrel::testing

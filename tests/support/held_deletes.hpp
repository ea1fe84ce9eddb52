#pragma once
// A Delete held on the worker: host files that delete through the platform
// and hold the worker inside deletion number holdAt (from 1) until the test
// releases it, and the hold point behind it for other operations. The ui
// tests use them to act while a Delete runs.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/file_system.hpp"
#include "ui/program.hpp"

namespace vantrel::testing {

// A point the worker stops at: Pass() counts a passage and, at passage
// number holdAt (from 1), blocks until Release. Shared by copies.
class HoldPoint {
 public:
  explicit HoldPoint(int holdAt) { state_->holdAt = holdAt; }
  // Called on the worker; returns once the passage may go on.
  void Pass() const {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    if (++s.count == s.holdAt) {
      s.reached = true;
      s.changed.notify_all();
      s.changed.wait(lock, [&] { return s.released; });
    }
  }
  // Waits up to a minute for the worker to reach the held passage.
  bool WaitReached() const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::seconds(60), [&] { return state_->reached; });
  }
  void Release() const {
    std::lock_guard lock(state_->mutex);
    state_->released = true;
    state_->changed.notify_all();
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    int holdAt = 0;
    bool reached = false;
    bool released = false;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

class HeldDeletes {
 public:
  explicit HeldDeletes(int holdAt) : hold_(holdAt) {}
  HostFiles Files() const {
    HostFiles files = HostFiles::Platform();
    files.deleteFile = [hold = hold_, deleted = deleted_](const Text& path) {
      const bool ok = DeleteFileAt(path);
      {
        std::lock_guard lock(deleted->mutex);
        deleted->paths.push_back(path);
      }
      hold.Pass();
      return ok;
    };
    return files;
  }
  bool WaitReached() { return hold_.WaitReached(); }
  void Release() { hold_.Release(); }
  std::vector<Text> Deleted() {
    std::lock_guard lock(deleted_->mutex);
    return deleted_->paths;
  }

 private:
  struct Paths {
    std::mutex mutex;
    std::vector<Text> paths;
  };
  HoldPoint hold_;
  std::shared_ptr<Paths> deleted_ = std::make_shared<Paths>();
};

}  // namespace vantrel::testing

#pragma once
// A Delete held on the worker: host files that delete through the platform
// and hold the worker inside deletion number holdAt (from 1) until the test
// releases it. The ui tests use it to act while a Delete runs.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>


#include "engine/file_system.hpp"
#include "ui/program.hpp"

namespace vantrel::testing {

class HeldDeletes {
 public:
  explicit HeldDeletes(int holdAt) { state_->holdAt = holdAt; }
  HostFiles Files() const {
    HostFiles files = HostFiles::Platform();
    files.deleteFile = [s = state_](const Text& path) {
      const bool ok = DeleteFileAt(path);
      std::unique_lock lock(s->mutex);
      s->deleted.push_back(path);
      if (++s->count == s->holdAt) {
        s->reached = true;
        s->changed.notify_all();
        s->changed.wait(lock, [&] { return s->released; });
      }
      return ok;
    };
    return files;
  }
  bool WaitReached() {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::seconds(60), [&] { return state_->reached; });
  }
  void Release() {
    std::lock_guard lock(state_->mutex);
    state_->released = true;
    state_->changed.notify_all();
  }
  std::vector<Text> Deleted() {
    std::lock_guard lock(state_->mutex);
    return state_->deleted;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    int holdAt = 0;
    bool reached = false;
    bool released = false;
    std::vector<Text> deleted;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace vantrel::testing

#include "engine/search_gate.hpp"

#include <chrono>

namespace vantrel {

void SearchGate::AddPause() {
  std::lock_guard lock(mutex_);
  pauses_.fetch_add(1);
  changed_.notify_all();
}

bool SearchGate::RemovePause() {
  std::lock_guard lock(mutex_);
  if (pauses_.load() <= 0) return false;
  pauses_.fetch_sub(1);
  changed_.notify_all();
  return true;
}

void SearchGate::RequestStop() {
  std::lock_guard lock(mutex_);
  stop_.store(true);
  changed_.notify_all();
}

bool SearchGate::Checkpoint() {
  // The common case costs two atomic loads and no lock.
  if (pauses_.load(std::memory_order_acquire) == 0) return !stop_.load(std::memory_order_acquire);
  std::unique_lock lock(mutex_);
  while (pauses_.load() > 0 && !stop_.load()) {
    halted_ = true;
    changed_.notify_all();
    changed_.wait(lock);
  }
  halted_ = false;
  return !stop_.load();
}

bool SearchGate::WaitFor(const std::function<bool()>& done) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stop_.load() || done(); });
  return !stop_.load();
}

void SearchGate::Notify() {
  std::lock_guard lock(mutex_);
  changed_.notify_all();
}

bool SearchGate::WaitUntilHalted(int timeoutMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return halted_; });
}

}  // namespace vantrel

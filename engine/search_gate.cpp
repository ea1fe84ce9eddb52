#include "engine/search_gate.hpp"

#include <chrono>

namespace vantrel {

void SearchGate::AddPause() {
  std::lock_guard lock(mutex_);
  pauses_.fetch_add(1);
}

bool SearchGate::RemovePause() {
  std::lock_guard lock(mutex_);
  if (pauses_.load() <= 0) return false;
  if (pauses_.fetch_sub(1) == 1) resumed_.notify_all();
  return true;
}

void SearchGate::RequestStop() {
  std::lock_guard lock(mutex_);
  stop_.store(true);
  resumed_.notify_all();
  done_.notify_all();
  asleep_.notify_all();
}

bool SearchGate::Checkpoint() {
  // The common case costs two atomic loads and no lock.
  if (pauses_.load(std::memory_order_acquire) == 0) return !stop_.load(std::memory_order_acquire);
  std::unique_lock lock(mutex_);
  if (Holding()) {
    ++sleeping_;
    ++timesHeld_;
    asleep_.notify_all();
    for (;;) {
      resumed_.wait(lock);
      if (!Holding()) break;
      ++wakeupsWhilePaused_;
    }
    --sleeping_;
  }
  return !stop_.load();
}

bool SearchGate::WaitFor(const std::function<bool()>& done) {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return stop_.load() || done(); });
  return !stop_.load();
}

void SearchGate::Notify() {
  std::lock_guard lock(mutex_);
  done_.notify_all();
}

bool SearchGate::WaitUntilHalted(int timeoutMs) { return WaitUntilSleeping(1, timeoutMs); }

bool SearchGate::WaitUntilSleeping(int count, int timeoutMs) {
  std::unique_lock lock(mutex_);
  return asleep_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return sleeping_ >= count; });
}

int SearchGate::SleepingThreads() const {
  std::lock_guard lock(mutex_);
  return sleeping_;
}

long SearchGate::WakeupsWhilePaused() const {
  std::lock_guard lock(mutex_);
  return wakeupsWhilePaused_;
}

long SearchGate::TimesHeld() const {
  std::lock_guard lock(mutex_);
  return timesHeld_;
}

}  // namespace vantrel

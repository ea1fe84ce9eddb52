#pragma once
// The worker's pause count and stop flag. The worker looks at them between
// units of work (each file, each read chunk, each listed entry); the window's
// thread changes them. Nothing is ever suspended or killed from outside, so no
// lock can be left held.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace vantrel {

class SearchGate {
 public:
  // Adds one suspension; the worker halts at its next checkpoint.
  void AddPause();
  // Takes one suspension away; returns false when there was none.
  bool RemovePause();
  // The number of suspensions now in force.
  int PauseCount() const { return pauses_.load(); }

  // Asks the worker to end; it wakes from any wait of its own.
  void RequestStop();
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  // Called by the worker between units of work: waits while paused; returns
  // false when the search must end.
  bool Checkpoint();

  // Waits until done() holds or a stop is requested; false on stop. Whoever
  // makes done() true calls Notify().
  bool WaitFor(const std::function<bool()>& done);
  void Notify();

  // Signalled every time the worker halts at a checkpoint (for tests and tools
  // that must know that a pause has taken effect).
  bool WaitUntilHalted(int timeoutMs);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<int> pauses_{0};
  std::atomic<bool> stop_{false};
  bool halted_ = false;
};

}  // namespace vantrel

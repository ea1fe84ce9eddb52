#pragma once
// The worker's pause count and stop flag. The worker and its helpers look at
// them between units of work (each file, each read chunk, each listed entry);
// the window's thread changes them. Nothing is ever suspended or killed from
// outside, so no lock can be left held. A paused thread sleeps on a condition
// that only Resume and Stop signal: it costs no processor time while paused,
// and no sleeper wakes another.

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
  // Returns the number of suspensions now in force.
  int PauseCount() const { return pauses_.load(); }

  // Asks the worker to end; it wakes from any wait of its own.
  void RequestStop();
  // Tells whether a stop was asked for.
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  // Called by a working thread between units of work: sleeps while paused;
  // returns false when the search must end.
  bool Checkpoint();

  // Waits until done() holds or a stop is requested; false on stop. Whoever
  // makes done() true calls Notify().
  bool WaitFor(const std::function<bool()>& done);
  // Wakes WaitFor to look at its condition again.
  void Notify();

  // Waits until at least one thread sleeps at a checkpoint (for tests and tools
  // that must know that a pause has taken effect); false after timeoutMs.
  bool WaitUntilHalted(int timeoutMs);
  // Waits until at least count threads sleep at a checkpoint; false after timeoutMs.
  bool WaitUntilSleeping(int count, int timeoutMs);
  // Returns the number of threads asleep at a checkpoint now.
  int SleepingThreads() const;
  // Returns how often a sleeping thread woke while the pause still held: a
  // sleeper is woken only by Resume and Stop, so this stays 0 while paused.
  long WakeupsWhilePaused() const;
  // Returns how many times a thread has slept at a checkpoint so far (a job
  // compares this before and after a step to learn that it was held).
  long TimesHeld() const;

 private:
  bool Holding() const { return pauses_.load() > 0 && !stop_.load(); }

  mutable std::mutex mutex_;
  std::condition_variable resumed_;  // sleepers: the last pause went, or a stop came
  std::condition_variable asleep_;   // WaitUntilSleeping: a thread fell asleep
  std::condition_variable done_;     // WaitFor: Notify or a stop
  std::atomic<int> pauses_{0};
  std::atomic<bool> stop_{false};
  int sleeping_ = 0;
  long wakeupsWhilePaused_ = 0;
  long timesHeld_ = 0;
};

}  // namespace vantrel

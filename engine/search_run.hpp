#pragma once
// One search as the window's thread and the worker share it, and the worker's
// way to the window: everything the worker shows goes to the window's thread
// as posted tasks, which a Stop turns into no-ops.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/directory_walk.hpp"
#include "engine/pass_io.hpp"
#include "engine/search_gate.hpp"
#include "engine/search_settings.hpp"
#include "engine/search_window.hpp"

namespace vantrel {

// The Windows program writes the rows and shows its box itself; the Mac
// programs hand rows and box over in their own order (tab, panel, rows).
enum class SearchFlavour { Windows, Mac };

// Counts of one search, for the scan driver.
struct SearchStats {
  std::size_t filesFound = 0;
  std::size_t candidates = 0;
  std::size_t rows = 0;
  std::size_t groups = 0;
};

// Everything one search shares between the window's thread and the worker.
// Held by shared pointer: tasks posted to the window keep it alive.
struct SearchRun : std::enable_shared_from_this<SearchRun> {
  SearchFlavour flavour = SearchFlavour::Windows;
  SearchWindow* window = nullptr;
  SearchGate gate;
  std::atomic<bool> live{true};  // false after Stop: queued tasks do nothing
  // Set on the window's thread by the search's last window step: from then on
  // the search is over for the user, whether or not the thread has ended yet.
  std::atomic<bool> over{false};

  // Written by Start before the worker exists; owned by the worker while it runs.
  std::vector<Text> searchList;
  SearchSettings* settings = nullptr;
  PathTable* scanList = nullptr;       // every file the walk found
  PathTable* candidateList = nullptr;  // the files admitted for the pass
  ListingSlots* slots = nullptr;
  bool walkOnWorker = true;  // false: candidateList is already filled
  PassIo io = PassIo::Platform();
  SearchStats stats;

  // Called on the worker thread when it starts, and on every helper thread
  // of its stages (sets the thread's priority).
  std::function<void()> onWorkerStart;

  // Queues fn for the window's thread; it runs only if the search was not stopped.
  void Post(std::function<void(SearchWindow&)> fn);
  // Queues fn and waits until it has run; false when the search was stopped.
  // With last, the task then ends the search on the window's thread (see End);
  // the worker is released first, so the window may start the next search.
  bool PostAndWait(std::function<void(SearchWindow&)> fn, bool last = false);
  // Queues fn as the search's last window step (see End).
  void PostLast(std::function<void(SearchWindow&)> fn);
  // Runs on the window's thread: marks the search over and tells the window.
  void End(SearchWindow& w);
  // Runs on the window's thread: takes the step PostLast queued now, unless it
  // has run already (the queued task then does nothing); false when there was
  // none. For a stopped job whose worker has ended.
  bool TakeLastStep(SearchWindow& w);

 private:
  std::mutex lastMutex_;
  std::function<void(SearchWindow&)> last_;  // PostLast's step until it runs
};

}  // namespace vantrel

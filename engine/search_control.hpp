#pragma once
// Start, Pause and Stop of a search, called on the window's thread. Start
// copies the options into the settings and starts the worker, which walks the
// search list, admits the files and runs the detection pass; the window keeps
// answering all the while. Pause and Stop are cooperative (see SearchGate).
// The same worker runs the other long command, Delete, as a job: one worker at
// a time, whichever it runs, and Pause acts on both alike.

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "engine/search_worker.hpp"

namespace vantrel {

// The states of the option controls that a search reads when it starts.
struct SearchOptions {
  bool includeHidden = false;
  bool includeSystem = false;
  bool searchSubdirectories = false;
  bool crc32 = false;
  bool sha1 = false;
  bool sizeLimit = false;
  std::int32_t minSize = 0;
  std::int32_t maxSize = 0;
  bool fileTypes = false;
  Text fileTypesInput;  // as typed
  bool highPriority = false;
};

class SearchControl {
 public:
  SearchControl(SearchWindow& window, SearchFlavour flavour);
  // Stops a running search and waits for its worker.
  ~SearchControl();
  SearchControl(const SearchControl&) = delete;
  SearchControl& operator=(const SearchControl&) = delete;

  enum class StartResult { Started, Resumed, NoDirectories, Failed };

  // Resumes a paused search (one suspension) if a worker is alive; otherwise
  // starts a new search over searchList, or answers NoDirectories when it is
  // empty, or Failed (panel enabled again) when no thread could be made.
  // Asking about old rows is the caller's part, before this call.
  StartResult Start(const std::vector<Text>& searchList, const SearchOptions& options);
  // Adds one suspension when a worker is alive.
  void Pause();
  // Takes one suspension away when a worker is alive; false when none was taken.
  bool Resume();
  // The Mac programs' one Pause/Resume button: resumes a paused search, else
  // pauses a running one. Returns SearchPaused() afterwards.
  bool TogglePause();
  // Ends a running search: waits for the worker to end, then sets the bar to 0,
  // empties the lists, resets the size limits and enables the panel. No row,
  // progress or message of the stopped search appears afterwards.
  // A running job is only asked to end at its next checkpoint, without a
  // wait: it then takes its own last steps (see StartJob).
  void Stop();

  // Starts body on the worker as a job that is not a search (a Delete), unless
  // a worker is alive: the panel is disabled as for a search, and body works
  // through the run's gate and posts through the run. Its last window step
  // goes through PostLast and gives the panel back. False when nothing was
  // started (a worker is alive, or no thread could be made: the panel is then
  // enabled again).
  bool StartJob(std::function<void(SearchRun&)> body);
  // When a job was told to stop and is still alive: waits for its worker (it
  // ends at its next checkpoint) and takes its last window step now, so a
  // command that follows a Stop finds the job over.
  void FinishStoppedJob();
  // Whether the live worker runs a job rather than a search.
  bool RunningJob() const { return IsAlive() && job_; }

  // Whether a search is under way: a worker was started and the window has
  // not yet taken the search's last step (rows shown, panel enabled).
  bool IsAlive() const;
  // Whether a live worker is held by at least one suspension.
  bool SearchPaused() const;
  int PauseCount() const;

  const SearchSettings& Settings() const { return settings_; }
  const PathTable& Scanned() const { return scanList_; }
  const PathTable& Candidates() const { return candidateList_; }
  // The run of the current or last search (for its counts and its gate).
  std::shared_ptr<SearchRun> CurrentRun() const { return run_; }

  // Replaces how the pass reaches files (benchmarks and tests).
  void SetPassIo(PassIo io) { io_ = std::move(io); }

 private:
  void ReapFinishedWorker();

  SearchWindow& window_;
  SearchFlavour flavour_;
  SearchSettings settings_;
  PathTable scanList_;
  PathTable candidateList_;
  ListingSlots slots_;
  PassIo io_ = PassIo::Platform();
  std::shared_ptr<SearchRun> run_;
  bool job_ = false;  // run_ belongs to a job
  std::thread worker_;
};

}  // namespace vantrel

#include "engine/search_control.hpp"

#include <system_error>

#include "engine/file_system.hpp"
#include "engine/thread_priority.hpp"

namespace vantrel {

SearchControl::SearchControl(SearchWindow& window, SearchFlavour flavour)
    : window_(window), flavour_(flavour) {}

SearchControl::~SearchControl() {
  if (IsAlive()) {
    run_->live.store(false);
    run_->gate.RequestStop();
  }
  if (worker_.joinable()) worker_.join();
}

bool SearchControl::IsAlive() const { return worker_.joinable() && run_ && !run_->over.load(); }

bool SearchControl::SearchPaused() const { return IsAlive() && run_->gate.PauseCount() > 0; }

int SearchControl::PauseCount() const { return IsAlive() ? run_->gate.PauseCount() : 0; }

void SearchControl::ReapFinishedWorker() {
  // A search is over once the window has taken its last step; its worker has
  // nothing left to do but return, so joining it here is immediate.
  if (worker_.joinable() && run_ && run_->over.load()) worker_.join();
}

SearchControl::StartResult SearchControl::Start(const std::vector<Text>& searchList,
                                                const SearchOptions& options) {
  ReapFinishedWorker();
  if (IsAlive()) {
    // The walk may be reading its listings right now: leave them alone.
    Resume();
    return StartResult::Resumed;
  }
  // No worker exists, so no walk holds a listing. The walk closes its own;
  // this only guards against one that ended some other way.
  CloseLeftoverListings(slots_);
  if (run_) run_->live.store(false);  // nothing an old search queued may act now
  settings_.fileTypes.clear();
  if (searchList.empty()) return StartResult::NoDirectories;

  settings_.crc32Enabled = options.crc32 ? 1 : 0;
  settings_.sha1Enabled = options.sha1 ? 1 : 0;
  if (options.sizeLimit) {
    settings_.minSize = options.minSize;
    settings_.maxSize = options.maxSize;
  }
  settings_.includeHidden = options.includeHidden ? 1 : 0;
  settings_.includeSystem = options.includeSystem ? 1 : 0;
  settings_.searchSubdirectories = options.searchSubdirectories ? 1 : 0;
  settings_.attributeCode = AttributeCodeFor(settings_.includeHidden, settings_.includeSystem);
  if (options.fileTypes) settings_.fileTypes = BuildFileTypes(LowerCaseText(options.fileTypesInput));
  scanList_.clear();
  candidateList_.clear();

  window_.SetPanelEnabled(false);

  auto run = std::make_shared<SearchRun>();
  run->flavour = flavour_;
  run->window = &window_;
  run->searchList = searchList;
  run->settings = &settings_;
  run->scanList = &scanList_;
  run->candidateList = &candidateList_;
  run->slots = &slots_;
  run->io = io_;
  const bool high = options.highPriority;
  run->onWorkerStart = [high] { SetCurrentThreadSearchPriority(high); };
  run_ = run;
  job_ = false;
  try {
    worker_ = std::thread([run] { SearchWorker(run); });
  } catch (const std::system_error&) {
    // No thread, no search: give the user the panel back as it was, and
    // leave no size limit behind for the next search.
    run_.reset();
    settings_.minSize = 0;
    settings_.maxSize = 0;
    window_.SetPanelEnabled(true);
    return StartResult::Failed;
  }
  return StartResult::Started;
}

bool SearchControl::StartJob(std::function<void(SearchRun&)> body) {
  ReapFinishedWorker();
  if (IsAlive()) return false;
  if (run_) run_->live.store(false);
  window_.SetPanelEnabled(false);
  auto run = std::make_shared<SearchRun>();
  run->flavour = flavour_;
  run->window = &window_;
  run_ = run;
  job_ = true;
  try {
    worker_ = std::thread([run, body = std::move(body)] { body(*run); });
  } catch (const std::system_error&) {
    run_.reset();
    job_ = false;
    window_.SetPanelEnabled(true);
    return false;
  }
  return true;
}

void SearchControl::FinishStoppedJob() {
  if (!RunningJob() || !run_->gate.StopRequested()) return;
  worker_.join();
  run_->TakeLastStep(window_);
}

void SearchControl::Pause() {
  // A job that was told to stop is taking its last steps: nothing to hold.
  if (IsAlive() && !run_->gate.StopRequested()) run_->gate.AddPause();
}

bool SearchControl::Resume() { return IsAlive() && run_->gate.RemovePause(); }

bool SearchControl::TogglePause() {
  if (SearchPaused())
    Resume();
  else
    Pause();
  return SearchPaused();
}

void SearchControl::Stop() {
  if (!IsAlive()) return;
  if (job_) {
    // Stop first, then lift the pauses: a worker woken by the last lifted
    // pause must find the stop already there, or it would do one unit more.
    run_->gate.RequestStop();
    while (run_->gate.RemovePause()) {
    }
    return;
  }
  // From here on nothing the worker queued for the window has any effect.
  run_->live.store(false);
  run_->gate.RequestStop();
  worker_.join();
  window_.SetProgress(0);
  scanList_.clear();
  candidateList_.clear();
  settings_.minSize = 0;
  settings_.maxSize = 0;
  window_.SetPanelEnabled(true);
  window_.SearchStateChanged();
}

}  // namespace vantrel

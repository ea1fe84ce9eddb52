// The detection pass. The stages keep the observable results of the simple
// quadratic pass (which files are reported, the rows and their order, the
// progress values) while sorting and hashing instead of comparing every pair,
// reading each file once for all its fingerprints, and never reading a file
// at all when its size already shows it has no twin, nor in full when its
// first block does.

#include "engine/search_worker.hpp"

#include "engine/candidate_probe.hpp"
#include "engine/confirm_batches.hpp"
#include "engine/copy_plan.hpp"
#include "engine/walk_and_admit.hpp"

namespace vantrel {

PassIo PassIo::Platform() {
  PassIo io;
  io.probe = [](const Text& path, const FileIdentity& listed) {
    return listed.known ? ProbeListedFile(path, listed) : ProbeFile(path);
  };
  io.firstBlock = [](const Text& path) { return FirstBlockHash(path); };
  io.confirm = [](const std::vector<CopySet>& sets, FingerprintKinds kinds, const ContinueCheck& keepGoing) {
    return ConfirmCopySets(sets, kinds, keepGoing);
  };
  return io;
}

namespace {

// The pass after the walk: probe, size screen, plan, reading, rows. False
// when the search was stopped.
bool DetectDuplicates(SearchRun& r, const StageContext& stage, ResultRowList& rows) {
  auto reached = [&r](int which) {
    if (r.io.stageReached) r.io.stageReached(which);
  };
  PathTable& candidates = *r.candidateList;
  r.stats.candidates = candidates.size();
  ProgressBar bar([&r](int value) { r.Post([value](SearchWindow& w) { w.SetProgress(value); }); });

  // The first half of the bar counts the readable files against every
  // candidate, readable or not, as the size screen takes them.
  bool probed = false;
  PassList entries = ProbeCandidates(candidates, stage, probed);
  if (!probed) return false;
  ProgressHalf first(bar, ProgressDivisor(candidates.size()), 0);
  SortBySize(entries);
  KeepEqualSizes(entries, [&first] { first.Step(); });
  if (!stage.keepGoing()) return false;
  if (!KeepDistinctFiles(entries, candidates, stage.keepGoing)) return false;
  if (!KeepWithinLimits(entries, candidates, *r.settings, stage.keepGoing)) return false;

  // The second half counts every file that passed, size by size as read.
  ProgressHalf second(bar, ProgressDivisor(entries.size()), 50);
  const FingerprintKinds kinds{r.settings->sha1Enabled == 1, r.settings->crc32Enabled == 1};
  reached(kStageFingerprints);
  CopyPlan plan;
  if (!PlanCopySets(entries, candidates, stage, plan)) return false;
  FoundClasses found;
  if (!ConfirmBatches(entries, candidates, plan, kinds, stage, second, found)) return false;
  plan = CopyPlan{};

  reached(kStageOutput);
  rows = BuildRows(entries, candidates, found, r.stats.groups, stage.keepGoing);
  return stage.keepGoing();
}

void InsertRows(SearchWindow& w, const ResultRowList& cells) { w.InsertResultRows(cells); }

// Completion: every window change goes through the window's thread, in the
// order each program shows it; a Stop from here on discards what is queued.
// The shared lists are already empty (the pass emptied them). False when the
// search was stopped.
bool Complete(SearchRun& r, ResultRowList rows) {
  const std::size_t rowCount = rows.size() / kResultColumns;
  r.stats.rows = rowCount;
  auto resultRowList = std::make_shared<ResultRowList>(std::move(rows));
  r.settings->minSize = 0;
  r.settings->maxSize = 0;
  if (r.flavour == SearchFlavour::Windows) {
    if (rowCount > 0) r.Post([resultRowList](SearchWindow& w) { InsertRows(w, *resultRowList); });
    r.Post([](SearchWindow& w) { w.SetProgress(0); });
    if (rowCount == 0 && !r.PostAndWait([](SearchWindow& w) { w.ShowNoDuplicates(); })) return false;
    r.PostLast([rowCount](SearchWindow& w) {
      w.SetPanelEnabled(true);
      if (rowCount > 0) w.SelectPanelTab(1);
    });
    return true;
  }
  r.Post([](SearchWindow& w) { w.SetProgress(0); });
  // The Mac programs hand over the box, or the tab, the panel and the rows,
  // in one call each, and go on only once the window has taken it.
  SearchRun* self = &r;
  if (rowCount == 0)
    return r.PostAndWait(
        [self](SearchWindow& w) {
          w.ShowNoDuplicates();
          // The box is modal: a Stop (and a new search) may have come while it showed.
          if (self->live.load()) w.SetPanelEnabled(true);
        },
        true);
  return r.PostAndWait(
      [resultRowList](SearchWindow& w) {
        w.SelectPanelTab(1);
        w.SetPanelEnabled(true);
        InsertRows(w, *resultRowList);
      },
      true);
}

}  // namespace

int SearchWorker(const std::shared_ptr<SearchRun>& run) {
  SearchRun& r = *run;
  if (r.onWorkerStart) r.onWorkerStart();
  const StageContext stage{r.io, [&r] { return r.gate.Checkpoint(); }, r.onWorkerStart};
  if (r.io.stageReached) r.io.stageReached(kStageWalk);
  if (r.walkOnWorker && !WalkAndAdmit(r, stage.keepGoing)) return 0;
  if (r.io.stageReached) r.io.stageReached(kStageSizes);
  ResultRowList rows;
  if (!DetectDuplicates(r, stage, rows)) return 0;
  return Complete(r, std::move(rows)) ? 1 : 0;
}

}  // namespace vantrel

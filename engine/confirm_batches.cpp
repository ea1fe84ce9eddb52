#include "engine/confirm_batches.hpp"

#include <atomic>
#include <memory>
#include <mutex>

#include "engine/share_out.hpp"

namespace vantrel {
namespace {

// Threads besides the worker that read batches: the reading is mostly
// comparing and hashing, and the machine has two cores.
constexpr std::size_t kReadingHelpers = 1;

}  // namespace

bool ConfirmBatches(const PassList& entries, const PathTable& paths, const CopyPlan& plan, FingerprintKinds kinds,
                    const StageContext& stage, ProgressHalf& second, FoundClasses& found) {
  // Sets still unread per run; the bar advances over runs that have none left.
  std::unique_ptr<std::atomic<int>[]> remaining(new std::atomic<int>[plan.runs.size()]());
  for (std::size_t k = 0; k < plan.runs.size(); ++k) remaining[k].store(plan.setsOfRun[k]);
  std::size_t nextRun = 0;
  auto advance = [&] {
    while (nextRun < plan.runs.size() && remaining[nextRun].load(std::memory_order_acquire) == 0) {
      for (std::size_t m = plan.runs[nextRun].begin; m < plan.runs[nextRun].end; ++m) second.Step();
      ++nextRun;
    }
  };
  advance();

  found.classOf.assign(entries.size(), FoundClasses::kNoClass);
  found.prints.clear();
  std::mutex foundMutex;
  auto read = [&](std::size_t b) {
    const std::size_t first = plan.batchStart[b], last = plan.batchStart[b + 1];
    // The batch's paths are put together for it alone.
    std::size_t files = 0;
    for (std::size_t t = first; t < last; ++t) files += plan.sets[t].end - plan.sets[t].begin;
    std::vector<Text> texts;
    texts.reserve(files);
    std::vector<CopySet> sets;
    for (std::size_t t = first; t < last; ++t) {
      const PlannedSet& planned = plan.sets[t];
      CopySet set;
      set.size = entries[plan.members[planned.begin]].size;
      set.paths.reserve(planned.end - planned.begin);
      for (std::uint32_t j = planned.begin; j < planned.end; ++j) {
        texts.push_back(paths.PathAt(entries[plan.members[j]].path));
        set.paths.push_back(&texts.back());
      }
      sets.push_back(std::move(set));
    }
    std::vector<CopyClasses> results = stage.io.confirm(sets, kinds, stage.keepGoing);
    if (results.size() != sets.size()) return false;
    for (const CopyClasses& result : results)
      if (result.interrupted) return false;
    {
      std::lock_guard lock(foundMutex);
      for (std::size_t t = first; t < last; ++t) {
        CopyClasses& result = results[t - first];
        const std::size_t base = found.prints.size();
        for (FileFingerprints& f : result.fingerprints) found.prints.push_back(std::move(f));
        for (std::size_t j = 0; j < result.classOf.size(); ++j)
          if (result.classOf[j] >= 0)
            found.classOf[plan.members[plan.sets[t].begin + j]] =
                static_cast<std::uint32_t>(base + static_cast<std::size_t>(result.classOf[j]));
      }
    }
    for (std::size_t t = first; t < last; ++t) remaining[plan.sets[t].run].fetch_sub(1, std::memory_order_release);
    return true;
  };
  if (!ShareOut(plan.Batches(), read, advance, kReadingHelpers, stage.onThreadStart)) return false;
  if (!stage.keepGoing()) return false;
  advance();
  return true;
}

}  // namespace vantrel

#include "engine/copy_plan.hpp"

#include <algorithm>

#include "engine/candidate_probe.hpp"
#include "engine/md5_lanes.hpp"

namespace vantrel {
namespace {

// About this many batches in a pass, none smaller than kMinBatchBytes of files
// nor holding more than kMaxSetsPerBatch sets.
constexpr std::uint64_t kBatchesPerPass = 32;
constexpr std::uint64_t kMinBatchBytes = 4u << 20;
constexpr std::size_t kMaxSetsPerBatch = 1024;
// The threads that read batches (the worker and its helper).
constexpr std::size_t kReadingThreads = 2;
// Sets a batch holds at least, per MD5 lane.
constexpr std::size_t kSetsPerLane = 4;

}  // namespace

bool PlanCopySets(PassList& sorted, const PathTable& paths, const StageContext& stage, CopyPlan& plan) {
  plan = CopyPlan{};
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t j = i + 1;
    while (j < sorted.size() && sorted[j].size == sorted[i].size) ++j;
    plan.runs.push_back({i, j});
    i = j;
  }

  // Only a file of a size that another entry shares can still have a twin:
  // its first block is read now, and only now.
  std::vector<std::uint32_t> toRead;
  for (const SizeRun& run : plan.runs)
    if (run.end - run.begin >= 2)
      for (std::size_t m = run.begin; m < run.end; ++m) toRead.push_back(static_cast<std::uint32_t>(m));
  if (!ReadFirstBlocks(sorted, paths, toRead, stage)) return false;
  std::vector<std::uint32_t>().swap(toRead);

  // Each run owns its stretch of members, where the files of each bucket of
  // one first-block hash end up together, buckets by hash, files in order.
  plan.members.assign(sorted.size(), 0);
  plan.setsOfRun.assign(plan.runs.size(), 0);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> hashes;
  for (std::size_t k = 0; k < plan.runs.size(); ++k) {
    const SizeRun& run = plan.runs[k];
    if (run.end - run.begin < 2) continue;
    if (!stage.keepGoing()) return false;
    hashes.clear();
    for (std::size_t m = run.begin; m < run.end; ++m)
      if (sorted[m].firstBlockHash != 0) hashes.push_back({sorted[m].firstBlockHash, static_cast<std::uint32_t>(m)});
    std::sort(hashes.begin(), hashes.end());
    auto out = static_cast<std::uint32_t>(run.begin);
    for (std::size_t a = 0; a < hashes.size();) {
      std::size_t b = a + 1;
      while (b < hashes.size() && hashes[b].first == hashes[a].first) ++b;
      if (b - a >= 2) {
        PlannedSet set{static_cast<std::uint32_t>(k), out, out};
        for (std::size_t c = a; c < b; ++c) plan.members[out++] = hashes[c].second;
        set.end = out;
        plan.sets.push_back(set);
        ++plan.setsOfRun[k];
      }
      a = b;
    }
  }

  auto bytesOf = [&](const PlannedSet& set) {
    const std::int64_t size = sorted[plan.members[set.begin]].size;
    return static_cast<std::uint64_t>(std::max<std::int64_t>(size, 1)) * (set.end - set.begin);
  };
  std::uint64_t totalBytes = 0;
  for (const PlannedSet& set : plan.sets) totalBytes += bytesOf(set);
  const std::uint64_t batchBytes = std::max<std::uint64_t>(totalBytes / kBatchesPerPass, kMinBatchBytes);
  // A batch's classes are read side by side, one in each MD5 lane, and a lane
  // costs as much busy as idle: a batch holds enough sets to keep the lanes
  // filled while its longest classes are read (four times as many as there
  // are lanes keeps nine tenths of them busy on photo-like trees), unless
  // that would leave a reading thread without a batch.
  const std::size_t fewestSets = std::min(kSetsPerLane * std::max<std::size_t>(Md5LaneWidth(), 1),
                                          (plan.sets.size() + kReadingThreads - 1) / kReadingThreads);
  std::uint64_t bytes = 0;
  for (std::size_t t = 0; t < plan.sets.size(); ++t) {
    const std::size_t inBatch = t == 0 ? 0 : t - plan.batchStart.back();
    if (t == 0 || (bytes >= batchBytes && inBatch >= fewestSets) || inBatch >= kMaxSetsPerBatch) {
      plan.batchStart.push_back(t);
      bytes = 0;
    }
    bytes += bytesOf(plan.sets[t]);
  }
  plan.batchStart.push_back(plan.sets.size());
  return true;
}

}  // namespace vantrel

#pragma once
// Confirming and fingerprinting the planned copy sets: the batches go to the
// worker and one helper thread, each through io.confirm (ConfirmCopySets),
// and what they find is gathered per file. The second half of the bar moves
// over the sizes in their order, as far as all their sets have been read.

#include <cstdint>
#include <vector>

#include "engine/copy_plan.hpp"
#include "engine/pass_progress.hpp"

namespace vantrel {

// The classes of identical files a pass found.
struct FoundClasses {
  static constexpr std::uint32_t kNoClass = static_cast<std::uint32_t>(-1);
  // Per entry of the pass: its class in prints, or kNoClass.
  std::vector<std::uint32_t> classOf;
  // Per class: the fingerprints of its files.
  std::vector<FileFingerprints> prints;
};

// Reads every batch of the plan and fills found; steps second once for every
// entry, size by size. The entries' paths are in paths. False when the search
// was stopped.
bool ConfirmBatches(const PassList& entries, const PathTable& paths, const CopyPlan& plan, FingerprintKinds kinds,
                    const StageContext& stage, ProgressHalf& second, FoundClasses& found);

}  // namespace vantrel

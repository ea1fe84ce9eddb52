#pragma once
// How the detection pass reaches files, and what every stage of it is given:
// the file access, the pause-and-stop check and the set-up of helper threads.
// The defaults are the platform's; tests and benchmarks replace one stage's
// access to watch it, fail it or put synthetic files behind it.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/confirm_copies.hpp"
#include "engine/file_system.hpp"
#include "engine/fingerprint.hpp"

namespace vantrel {

struct PassIo {
  // The readability probe, with the size and identity of a readable file.
  // It reads no byte of the file. listed is the identity the walk's listing
  // told of the file (unknown when it told none), which a probe may take
  // instead of asking the file.
  std::function<FileProbe(const Text& path, const FileIdentity& listed)> probe;
  // A hash of the file's first kFirstBlockBytes, nullopt when it cannot be
  // read; asked only of files that can still have a twin.
  std::function<std::optional<std::uint64_t>(const Text&)> firstBlock;
  // Reads the files of each set (files of one size that may be copies)
  // together, sorts them into classes of identical bytes and fingerprints the
  // classes (ConfirmCopySets on the platform).
  std::function<std::vector<CopyClasses>(const std::vector<CopySet>& sets, FingerprintKinds kinds,
                                         const ContinueCheck& keepGoing)>
      confirm;
  // Called on the worker as it enters each stage (tests pause or stop there).
  std::function<void(int stage)> stageReached;
  // Called on the worker as the walk enters each directory.
  std::function<void(const Text& directory)> directoryReached;
  // Returns the platform's access: ProbeListedFile where the listing told the
  // identity, else ProbeFile; FirstBlockHash; ConfirmCopySets.
  static PassIo Platform();
};

// The stages stageReached reports, in the order the pass enters them.
enum SearchStage : int { kStageWalk = 1, kStageSizes, kStageFingerprints, kStageOutput };

// What each stage of one pass works with.
struct StageContext {
  const PassIo& io;
  // Asked between units of work; sleeps while paused, false once stopped.
  std::function<bool()> keepGoing;
  // Run first on every helper thread a stage starts (it takes the worker's priority).
  std::function<void()> onThreadStart;
};

}  // namespace vantrel

#include "engine/candidate_probe.hpp"

#include <algorithm>

#include "engine/share_out.hpp"

namespace vantrel {
namespace {

// Candidates a thread takes at a time.
constexpr std::size_t kProbeBlock = 256;

std::size_t Blocks(std::size_t count) { return (count + kProbeBlock - 1) / kProbeBlock; }

// The probe's hash as a 32-bit key that is never 0 (0 stands for none).
std::uint32_t FirstBlockKey(std::uint64_t hash) { return static_cast<std::uint32_t>(hash ^ (hash >> 32)) | 1u; }

}  // namespace

PassList ProbeCandidates(PathTable& candidates, const StageContext& stage, bool& ok) {
  // Each probe goes straight into its entry, and unreadable entries are then
  // squeezed out; the list's spare room from the walk goes first.
  candidates.shrink_to_fit();
  PassList entries(candidates.size());
  std::vector<std::uint8_t> readable(candidates.size(), 0);
  auto probeBlock = [&](std::size_t b) {
    const std::size_t end = std::min(candidates.size(), (b + 1) * kProbeBlock);
    Text path;
    for (std::size_t i = b * kProbeBlock; i < end; ++i) {
      if (!stage.keepGoing()) return false;
      candidates.PathInto(i, path);
      FileProbe probe = stage.io.probe(path, candidates.ListedIdentity(i));
      if (!probe.readable) continue;
      readable[i] = 1;
      entries[i].size = probe.size;
      entries[i].SetIdentity(probe.identity);
    }
    return true;
  };
  ok = ShareOut(Blocks(candidates.size()), probeBlock, {}, kProbeThreads - 1, stage.onThreadStart);
  if (!ok) return {};
  std::size_t kept = 0;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!readable[i]) continue;
    if (kept != i) entries[kept] = entries[i];
    entries[kept++].path = static_cast<std::uint32_t>(i);
  }
  entries.resize(kept);
  return entries;
}

bool ReadFirstBlocks(PassList& entries, const PathTable& paths, const std::vector<std::uint32_t>& which,
                     const StageContext& stage) {
  auto readBlock = [&](std::size_t b) {
    const std::size_t end = std::min(which.size(), (b + 1) * kProbeBlock);
    Text path;
    for (std::size_t i = b * kProbeBlock; i < end; ++i) {
      if (!stage.keepGoing()) return false;
      PassEntry& e = entries[which[i]];
      paths.PathInto(e.path, path);
      std::optional<std::uint64_t> h = stage.io.firstBlock(path);
      e.firstBlockHash = h ? FirstBlockKey(*h) : 0;
    }
    return true;
  };
  return ShareOut(Blocks(which.size()), readBlock, {}, kProbeThreads - 1, stage.onThreadStart);
}

}  // namespace vantrel

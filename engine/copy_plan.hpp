#pragma once
// The plan of the reading: which files are read together, and in which
// batches. The files of one size are split by their first blocks (read here,
// by the probe's threads, for files of a shared size only); each group of two
// or more files whose first blocks agree is one copy set. The sets go out in
// batches, each batch to one reading thread: its sets are compared and then
// all their classes fingerprinted together, so the MD5 lanes have many files
// to work on. Batches are cut by bytes, many more than there are threads, so
// no thread is left alone with a long tail.

#include <cstdint>
#include <vector>

#include "engine/pass_entry.hpp"
#include "engine/pass_io.hpp"

namespace vantrel {

// A stretch of the pass's entries that share one size.
struct SizeRun {
  std::size_t begin = 0, end = 0;
};

// A copy set: its files are members[begin..end) of the plan, ascending.
struct PlannedSet {
  std::uint32_t run = 0;
  std::uint32_t begin = 0, end = 0;
};

struct CopyPlan {
  std::vector<SizeRun> runs;           // every size, in the entries' order
  std::vector<std::uint32_t> members;  // positions in the entries, set by set
  std::vector<PlannedSet> sets;        // in the order of their runs
  std::vector<int> setsOfRun;          // how many sets each run gave
  std::vector<std::size_t> batchStart;  // the first set of each batch, then sets.size()
  // Returns the number of batches.
  std::size_t Batches() const { return batchStart.empty() ? 0 : batchStart.size() - 1; }
};

// Plans the reading of size-sorted entries: reads the first block of every
// file whose size another entry shares (ReadFirstBlocks), drops files whose
// first block could not be read or has no twin among their size, and cuts the
// rest into sets and batches; the entries' paths are in paths. False when the
// search was stopped.
bool PlanCopySets(PassList& sorted, const PathTable& paths, const StageContext& stage, CopyPlan& plan);

}  // namespace vantrel

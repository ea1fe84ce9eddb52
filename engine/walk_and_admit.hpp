#pragma once
// The first stage of a search on the worker: every directory of the search
// list walked, and the files found admitted as candidates.

#include <functional>

#include "engine/search_run.hpp"

namespace vantrel {

// Walks every row of run's search list (with or without subdirectories, as
// the settings say) into the scan list and moves the admitted paths to the
// candidate list: by their attributes in the Windows program, every file in
// the Mac programs. Leaves the scan list empty and counts the files found in
// run.stats. False when keepGoing said stop.
bool WalkAndAdmit(SearchRun& run, const std::function<bool()>& keepGoing);

}  // namespace vantrel

#pragma once
// The directory walk: turns one directory of the search list into the full
// path of every file below it. Listings live in numbered slots, one per depth,
// so a parent's listing is never disturbed while its children are walked.

#include <functional>
#include <cstddef>

#include "engine/file_system.hpp"
#include "engine/search_settings.hpp"

namespace vantrel {

// Asked between entries of a long walk: it may block while the search is
// paused, and returns false to end the walk (Stop). Empty means go on.
struct WalkControl {
  std::function<bool()> keepGoing;
  bool Stopped() const { return keepGoing && !keepGoing(); }
};

// Appends every file below directory, depth first and pre-order, in listing
// order, descending into every subdirectory but "." and "..". Leaves its slots
// open (one per depth reached) for CloseLeftoverListings. A directory that
// cannot be listed contributes nothing.
void ScanDirectoryTree(ListingSlots& slots, ScanList& out, const Text& directory, int depth,
                       WalkControl control = {});

// Appends the files directly in directory, in listing order; closes slot 0.
void ScanDirectoryFiles(ListingSlots& slots, ScanList& out, const Text& directory,
                        WalkControl control = {});

// Closes slots 0, 1, 2, ... while they are open, stopping at the first closed one.
void CloseLeftoverListings(ListingSlots& slots);

// Appends to candidates, in order, the paths scanned[from..] whose hidden and
// system attributes the code allows: code "00" admits only plain files, "10"
// adds hidden ones, "01" system ones, "11" every file. A file whose attributes
// cannot be read counts as hidden and system.
void AdmitByAttributes(const ScanList& scanned, std::size_t from, const Text& attributeCode,
                       CandidateList& candidates, WalkControl control = {});

}  // namespace vantrel

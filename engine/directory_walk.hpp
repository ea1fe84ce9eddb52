#pragma once
// The directory walk: turns one directory of the search list into the full
// path of every file below it. Listings live in numbered slots, one per depth,
// so a parent's listing is never disturbed while its children are walked.

#include <cstddef>
#include <functional>
#include <set>
#include <tuple>

#include "engine/file_system.hpp"
#include "engine/path_table.hpp"
#include "engine/search_settings.hpp"

namespace vantrel {

// The directories one search has walked, by identity.
struct WalkedDirectories {
  // Records the directory; false when it was recorded before.
  bool Enter(const FileIdentity& id) {
    return ids.insert(std::make_tuple(id.volume, id.index, id.indexHigh)).second;
  }
  std::set<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>> ids;
};

// How a walk is steered. keepGoing is asked between entries: it may block
// while the search is paused, and returns false to end the walk (Stop); empty
// means go on. walked, when set, keeps a directory from being walked twice
// while it is kept (a link to an ancestor, or two links to one folder), so
// every walk ends. directoryEntered is told of each directory as its
// listing starts.
struct WalkControl {
  std::function<bool()> keepGoing;
  WalkedDirectories* walked = nullptr;
  std::function<void(const Text&)> directoryEntered;
  bool Stopped() const { return keepGoing && !keepGoing(); }
};

// Appends every file below directory, depth first and pre-order, in listing
// order, descending into every subdirectory but "." and "..". Each depth has
// its own listing slot (depth 0 is the slot of the given depth); every slot
// the walk opens is closed again before it returns, finished or stopped. A
// directory that cannot be listed, or one walked already, contributes nothing.
void ScanDirectoryTree(ListingSlots& slots, ScanList& out, const Text& directory, int depth,
                       WalkControl control = {});
// The same walk into a path table (what a search keeps).
void ScanDirectoryTree(ListingSlots& slots, PathTable& out, const Text& directory, int depth,
                       WalkControl control = {});

// Appends the files directly in directory, in listing order; uses and closes slot 0.
void ScanDirectoryFiles(ListingSlots& slots, ScanList& out, const Text& directory,
                        WalkControl control = {});
// The same into a path table.
void ScanDirectoryFiles(ListingSlots& slots, PathTable& out, const Text& directory,
                        WalkControl control = {});

// Closes slots 0, 1, 2, ... while they are open, stopping at the first closed
// one. Only for a caller that knows no walk is using the slots.
void CloseLeftoverListings(ListingSlots& slots);

// Appends to candidates, in order, the paths scanned[from..] whose hidden and
// system attributes the code allows: code "00" admits only plain files, "10"
// adds hidden ones, "01" system ones, "11" every file. A file whose attributes
// cannot be read counts as hidden and system.
void AdmitByAttributes(const ScanList& scanned, std::size_t from, const Text& attributeCode,
                       CandidateList& candidates, WalkControl control = {});
// The same from one path table to another.
void AdmitByAttributes(const PathTable& scanned, std::size_t from, const Text& attributeCode,
                       PathTable& candidates, WalkControl control = {});

}  // namespace vantrel

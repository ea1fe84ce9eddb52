#pragma once
// The size screen: from the readable candidates to the files that can have a
// twin. A file whose size no other readable file has cannot; one physical file
// reached by several paths is one file; the size limits and the type filter
// leave out what the user did not ask for. Every step works in place on the
// pass's entries and keeps their order.

#include <cstddef>
#include <functional>

#include "engine/pass_entry.hpp"
#include "engine/search_settings.hpp"

namespace vantrel {

// Sorts the entries largest first; entries of one size keep candidate order
// (the paths' numbers in the candidate table break ties, so the sort needs no
// buffer beside the entries).
void SortBySize(PassList& entries);

// Keeps, in order, the entries of a size-sorted list whose size equals that
// of the entry before or after them; calls each() once for every entry looked
// at, kept or not (the first half of the bar counts them).
void KeepEqualSizes(PassList& sorted, const std::function<void()>& each = {});

// Keeps one path of each physical file, by identity (by path text when the
// identity is not known): the first that is not a symbolic link, or the first
// when all are links. Links are asked about (IsSymbolicLink) only for files
// met twice. The entries' paths are in paths. Returns false when keepGoing
// said stop.
bool KeepDistinctFiles(PassList& entries, const PathTable& paths, const std::function<bool()>& keepGoing = {});

// Keeps the entries within the size limits of the settings (strict at both
// ends; a limit of 0 is none; a negative size never passes) and of the types
// of fileTypes (the entries' paths are in paths). Returns false when
// keepGoing said stop.
bool KeepWithinLimits(PassList& entries, const PathTable& paths, const SearchSettings& settings,
                      const std::function<bool()>& keepGoing = {});

// Returns the text after the last dot of the path's last component, up to a
// double quote; empty when that component has no dot.
Text ExtensionOf(const Text& path);

// Tells whether the file's extension is one of the words of a padded
// fileTypes text (" jpg png "); always true when fileTypes is empty.
bool PassesTypeFilter(const Text& path, const Text& fileTypes);

}  // namespace vantrel

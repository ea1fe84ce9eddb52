#pragma once
// Turning the classes a pass found into result rows and group numbers: one
// group per class, groups by descending MD5 text (classes of one MD5 text, a
// collision, apart and by their first file), numbered from 1 without gaps;
// within a group the files keep their order.

#include <cstddef>
#include <functional>
#include <vector>

#include "engine/confirm_batches.hpp"
#include "engine/search_settings.hpp"

namespace vantrel {

// Result rows as the window receives them: six cells a row, in column order
// (group, path, size text, MD5, SHA1, CRC32).
using ResultRowList = std::vector<Text>;
inline constexpr int kResultColumns = 6;

// Builds the rows of the classes in found over entries (whose order is the
// files' order), taking the shown paths from candidates (where the entries'
// paths are) and moving the fingerprints' texts out of found. Memory goes
// first: entries, candidates and found's file list are emptied before the
// rows are built.
// Sets groups to the number of groups. Empty rows when keepGoing said stop.
ResultRowList BuildRows(PassList& entries, PathTable& candidates, FoundClasses& found, std::size_t& groups,
                        const std::function<bool()>& keepGoing = {});

}  // namespace vantrel

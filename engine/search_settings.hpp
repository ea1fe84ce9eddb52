#pragma once
// The options of one search and the path lists the walk and the detection pass
// hand to each other. The window's thread writes them before a search starts;
// during the search only the search's own thread touches them.

#include <cstdint>
#include <vector>

#include "engine/text.hpp"

namespace vantrel {

struct SearchSettings {
  std::int32_t includeHidden = 0;
  std::int32_t includeSystem = 0;
  std::int32_t searchSubdirectories = 0;
  Text attributeCode;  // "00", "01", "10" or "11": hidden digit, then system digit
  std::int32_t crc32Enabled = 0;
  std::int32_t sha1Enabled = 0;
  std::int32_t minSize = 0;  // 0: no lower limit; else only larger files pass
  std::int32_t maxSize = 0;  // 0: no upper limit; else only smaller files pass
  Text fileTypes;            // empty: no type filter; else " ext1 ext2 ... "
};

// Full paths of files, in the order they were appended.
using PathList = std::vector<Text>;
using ScanList = PathList;       // every file a walk found
using CandidateList = PathList;  // the files admitted for the detection pass
using WorkList = PathList;       // the distinct candidate paths (the pass keeps them
                                 // with their sizes, see DistinctFiles)

// Returns the two-character attribute code for the hidden and system options.
Text AttributeCodeFor(std::int32_t includeHidden, std::int32_t includeSystem);

// Builds the padded extension list from the already lower-cased input: one
// space before each word and one after the last; the list ends at the first
// empty word, so a leading or doubled space cuts it there. Empty input gives
// the empty text (no filter). The result grows as long as the input needs.
Text BuildFileTypes(const Text& lowerCasedInput);

}  // namespace vantrel

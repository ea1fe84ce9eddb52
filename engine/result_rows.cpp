#include "engine/result_rows.hpp"

#include <algorithm>

#include "engine/size_text.hpp"

namespace vantrel {

ResultRowList BuildRows(PassList& entries, PathTable& candidates, FoundClasses& found, std::size_t& groups,
                        const std::function<bool()>& keepGoing) {
  groups = 0;
  struct Group {
    std::size_t first = static_cast<std::size_t>(-1);  // position in entries of its first file
    std::size_t count = 0;
    std::size_t start = 0;  // where its files begin in the rows
  };
  std::vector<Group> classes(found.prints.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (found.classOf[i] == FoundClasses::kNoClass) continue;
    Group& c = classes[found.classOf[i]];
    c.first = std::min(c.first, i);
    ++c.count;
  }
  std::vector<std::size_t> order(classes.size());
  for (std::size_t g = 0; g < order.size(); ++g) order[g] = g;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    int c = found.prints[a].md5.compare(found.prints[b].md5);
    if (c != 0) return c > 0;
    return classes[a].first < classes[b].first;
  });
  if (keepGoing && !keepGoing()) return {};
  std::size_t total = 0;
  for (std::size_t g : order) {
    classes[g].start = total;
    total += classes[g].count;
  }
  // The paths of the files in classes move out in row order; every other
  // entry and path goes before the rows are built.
  std::vector<Text> memberPaths(total);
  {
    std::vector<std::size_t> fill(classes.size());
    for (std::size_t g = 0; g < classes.size(); ++g) fill[g] = classes[g].start;
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (found.classOf[i] != FoundClasses::kNoClass) candidates.PathInto(entries[i].path, memberPaths[fill[found.classOf[i]]++]);
  }
  std::vector<std::uint32_t>().swap(found.classOf);
  PassList().swap(entries);
  candidates.clear();  // the paths of every file
  ResultRowList rows;
  rows.reserve(total * kResultColumns);
  for (std::size_t g : order) {
    Group& c = classes[g];
    FileFingerprints& f = found.prints[g];
    const Text groupText = DecimalText(static_cast<std::int64_t>(++groups));
    Text sizeText = FormatSizeText(f.size);
    // Every file of the class shows the same texts: copies for all but the
    // last file, which takes them.
    for (std::size_t k = 0; k < c.count; ++k) {
      const bool last = k + 1 == c.count;
      auto take = [last](Text& t) -> Text {
        if (last) return std::move(t);
        return t;
      };
      rows.push_back(groupText);
      rows.push_back(std::move(memberPaths[c.start + k]));
      rows.push_back(take(sizeText));
      rows.push_back(take(f.md5));
      rows.push_back(take(f.sha1));
      rows.push_back(take(f.crc32));
    }
  }
  return rows;
}

}  // namespace vantrel

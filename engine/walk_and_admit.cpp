#include "engine/walk_and_admit.hpp"


namespace vantrel {

bool WalkAndAdmit(SearchRun& r, const std::function<bool()>& keepGoing) {
  std::size_t found = 0;
  for (const Text& directory : r.searchList) {
    if (!keepGoing()) return false;
    // Each row of the search list is walked in full, even inside another row
    // (the pass then keeps one path per file); within a row no folder is
    // walked twice, so links to ancestors cannot make the walk endless.
    WalkedDirectories walked;
    WalkControl control{keepGoing, &walked, r.io.directoryReached};
    std::size_t from = r.scanList->size();
    if (r.settings->searchSubdirectories == 1)
      ScanDirectoryTree(*r.slots, *r.scanList, directory, 0, control);
    else
      ScanDirectoryFiles(*r.slots, *r.scanList, directory, control);
    if (!keepGoing()) return false;
    found += r.scanList->size() - from;
    if (r.flavour == SearchFlavour::Windows) {
      AdmitByAttributes(*r.scanList, from, r.settings->attributeCode, *r.candidateList, control);
      r.scanList->clear();
    } else {
      // Every file found is a candidate: the first row's table changes hands,
      // no path is copied.
      r.candidateList->Append(std::move(*r.scanList));
    }
  }
  r.stats.filesFound = found;
  r.scanList->clear();
  return keepGoing();
}

}  // namespace vantrel

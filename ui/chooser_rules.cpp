#include "ui/chooser_rules.hpp"

#include <vector>

#include "engine/file_system.hpp"

namespace vantrel {

Text ChooserStartFolder(const Text& currentFolder, SearchFlavour flavour) {
  Text start = currentFolder;
  if (flavour != SearchFlavour::Windows) return start;
  if (start.size() > kChooserStartLimit) start.resize(kChooserStartLimit);
  if (start.size() > 3 && start.back() == PathSeparator()) start.pop_back();
  return start;
}

Text ChooserAnswer(const Text& chosen) {
  if (chosen.empty()) return chosen;
  Text folder = chosen;
  AddTrailingSeparator(folder);
  return folder;
}

Text ResolveShownFolder(const Text& answer, const Text& marker, const std::function<Text(const Text&)>& shown) {
  if (marker.empty() || answer.find(marker) == Text::npos) return answer;
  const Char separator = PathSeparator();
  std::size_t at = 0;
  Text folder;
  while (at < answer.size() && answer[at] == separator) folder.push_back(answer[at++]);
  bool first = true;
  ListingSlots slots;
  while (at < answer.size()) {
    std::size_t end = answer.find(separator, at);
    if (end == Text::npos) end = answer.size();
    const Text part = answer.substr(at, end - at);
    at = end + 1;
    if (part.empty()) continue;
    Text name = part;
    if (part.find(marker) != Text::npos) {
      // The folder the part lies in, listed as the walk lists it.
      Text parent = folder.empty() ? Text(1, static_cast<Char>('.')) : folder;
      int matches = 0;
      if (slots.OpenListing(0, parent, Text())) {
        while (slots.NextListingEntry(0) == 1) {
          Text entry = slots.ListingEntryName(0);
          if (shown(entry) == part) {
            name = entry;
            ++matches;
          }
        }
      }
      slots.CloseListing(0);
      if (matches != 1) return Text();
    }
    if (!first) folder.push_back(separator);
    folder += name;
    first = false;
  }
  return folder;
}

}  // namespace vantrel

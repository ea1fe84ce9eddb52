#include "engine/directory_walk.hpp"

namespace vantrel {
namespace {

const Text& AllEntries() {
  static const Text pattern = TextFromAscii("*.*");
  return pattern;
}

// base + name in a text of exactly that length: a plain concatenation grows
// the copy of base by doubling, and every path found is kept for the search.
Text Joined(const Text& base, const Text& name) {
  Text path;
  path.reserve(base.size() + name.size());
  path.append(base).append(name);
  return path;
}

bool IsDotOrDotDot(const Text& name) {
  const Char dot = static_cast<Char>('.');
  return (name.size() == 1 && name[0] == dot) ||
         (name.size() == 2 && name[0] == dot && name[1] == dot);
}

}  // namespace

void ScanDirectoryTree(ListingSlots& slots, ScanList& out, const Text& directory, int depth,
                       WalkControl control) {
  Text base = directory;
  AddTrailingSeparator(base);
  if (control.walked) {
    FileIdentity id = FileIdentityOf(base);
    if (id.known && !control.walked->Enter(id)) return;
  }
  if (control.directoryEntered) control.directoryEntered(base);
  if (!slots.OpenListing(depth, base, AllEntries())) return;
  while (!control.Stopped() && slots.NextListingEntry(depth) == 1) {
    int kind = slots.ListingEntryKind(depth);
    Text name = slots.ListingEntryName(depth);
    if (kind == 1) {
      out.push_back(Joined(base, name));
    } else if (kind == 2 && !IsDotOrDotDot(name)) {
      Text sub = base + name;
      sub.push_back(PathSeparator());
      ScanDirectoryTree(slots, out, sub, depth + 1, control);
    }
  }
  slots.CloseListing(depth);
}

void ScanDirectoryFiles(ListingSlots& slots, ScanList& out, const Text& directory,
                        WalkControl control) {
  Text base = directory;
  AddTrailingSeparator(base);
  if (control.directoryEntered) control.directoryEntered(base);
  if (!slots.OpenListing(0, base, AllEntries())) return;
  while (!control.Stopped() && slots.NextListingEntry(0) == 1) {
    if (slots.ListingEntryKind(0) == 1) out.push_back(Joined(base, slots.ListingEntryName(0)));
  }
  slots.CloseListing(0);
}

void CloseLeftoverListings(ListingSlots& slots) {
  for (int slot = 0; slots.IsListingOpen(slot); ++slot) slots.CloseListing(slot);
}

void AdmitByAttributes(const ScanList& scanned, std::size_t from, const Text& attributeCode,
                       CandidateList& candidates, WalkControl control) {
  const Text everything = TextFromAscii("11");
  const Text plain = TextFromAscii("00");
  for (std::size_t i = from; i < scanned.size() && !control.Stopped(); ++i) {
    std::uint32_t bits = FileAttributesOf(scanned[i]);
    Text code = AttributeCodeFor((bits & 2) ? 1 : 0, (bits & 4) ? 1 : 0);
    if (code == plain || code == attributeCode || attributeCode == everything)
      candidates.push_back(scanned[i]);
  }
}

}  // namespace vantrel

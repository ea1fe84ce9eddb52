#include "engine/directory_walk.hpp"

#include <type_traits>

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

// Where a walk puts the files it finds: full paths in a list, or a
// directory entry (made at the directory's first file) and names in a table.
struct ListSink {
  ScanList& out;
  struct Directory {
    const Text& base;
  };
  Directory Enter(const Text& base) { return {base}; }
  void AddFile(Directory& d, const Text& name) { out.push_back(Joined(d.base, name)); }
};

struct TableSink {
  PathTable& out;
  struct Directory {
    const Text& base;
    std::uint32_t number = 0;
    bool added = false;
  };
  Directory Enter(const Text& base) { return {base}; }
  void AddFile(Directory& d, const Text& name) {
    if (!d.added) {
      d.number = out.AddDirectory(d.base);
      d.added = true;
    }
    out.AddName(d.number, name);
  }
};

template <typename Sink>
void WalkTree(ListingSlots& slots, Sink& sink, const Text& directory, int depth, const WalkControl& control) {
  Text base = directory;
  AddTrailingSeparator(base);
  if (control.walked) {
    FileIdentity id = FileIdentityOf(base);
    if (id.known && !control.walked->Enter(id)) return;
  }
  if (control.directoryEntered) control.directoryEntered(base);
  if (!slots.OpenListing(depth, base, AllEntries())) return;
  auto here = sink.Enter(base);
  while (!control.Stopped() && slots.NextListingEntry(depth) == 1) {
    int kind = slots.ListingEntryKind(depth);
    Text name = slots.ListingEntryName(depth);
    if (kind == 1) {
      sink.AddFile(here, name);
    } else if (kind == 2 && !IsDotOrDotDot(name)) {
      Text sub = base + name;
      sub.push_back(PathSeparator());
      WalkTree(slots, sink, sub, depth + 1, control);
    }
  }
  slots.CloseListing(depth);
}

template <typename Sink>
void WalkFiles(ListingSlots& slots, Sink& sink, const Text& directory, const WalkControl& control) {
  Text base = directory;
  AddTrailingSeparator(base);
  if (control.directoryEntered) control.directoryEntered(base);
  if (!slots.OpenListing(0, base, AllEntries())) return;
  auto here = sink.Enter(base);
  while (!control.Stopped() && slots.NextListingEntry(0) == 1) {
    if (slots.ListingEntryKind(0) == 1) sink.AddFile(here, slots.ListingEntryName(0));
  }
  slots.CloseListing(0);
}

template <typename From, typename To>
void Admit(const From& scanned, std::size_t from, const Text& attributeCode, To& candidates,
           const WalkControl& control) {
  const Text everything = TextFromAscii("11");
  const Text plain = TextFromAscii("00");
  Text path;
  for (std::size_t i = from; i < scanned.size() && !control.Stopped(); ++i) {
    if constexpr (std::is_same_v<From, PathTable>) scanned.PathInto(i, path);
    else path = scanned[i];
    std::uint32_t bits = FileAttributesOf(path);
    Text code = AttributeCodeFor((bits & 2) ? 1 : 0, (bits & 4) ? 1 : 0);
    if (code == plain || code == attributeCode || attributeCode == everything) {
      if constexpr (std::is_same_v<To, PathTable>) candidates.AddFrom(scanned, i);
      else candidates.push_back(path);
    }
  }
}

}  // namespace

void ScanDirectoryTree(ListingSlots& slots, ScanList& out, const Text& directory, int depth,
                       WalkControl control) {
  ListSink sink{out};
  WalkTree(slots, sink, directory, depth, control);
}

void ScanDirectoryTree(ListingSlots& slots, PathTable& out, const Text& directory, int depth,
                       WalkControl control) {
  TableSink sink{out};
  WalkTree(slots, sink, directory, depth, control);
}

void ScanDirectoryFiles(ListingSlots& slots, ScanList& out, const Text& directory,
                        WalkControl control) {
  ListSink sink{out};
  WalkFiles(slots, sink, directory, control);
}

void ScanDirectoryFiles(ListingSlots& slots, PathTable& out, const Text& directory,
                        WalkControl control) {
  TableSink sink{out};
  WalkFiles(slots, sink, directory, control);
}

void CloseLeftoverListings(ListingSlots& slots) {
  for (int slot = 0; slots.IsListingOpen(slot); ++slot) slots.CloseListing(slot);
}

void AdmitByAttributes(const ScanList& scanned, std::size_t from, const Text& attributeCode,
                       CandidateList& candidates, WalkControl control) {
  Admit(scanned, from, attributeCode, candidates, control);
}

void AdmitByAttributes(const PathTable& scanned, std::size_t from, const Text& attributeCode,
                       PathTable& candidates, WalkControl control) {
  Admit(scanned, from, attributeCode, candidates, control);
}

}  // namespace vantrel

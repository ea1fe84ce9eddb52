#include "engine/directory_walk.hpp"

#include <optional>
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
// A table also keeps the identity the listing tells of each file, so that the
// probe need not ask the file for it; that takes the directory's identity,
// which the walk has when it guards against loops and is otherwise asked once,
// at the first file the listing tells anything of.
struct ListSink {
  ScanList& out;
  struct Directory {
    const Text& base;
  };
  Directory Enter(const Text& base, const FileIdentity*) { return {base}; }
  void AddFile(Directory& d, const Text& name, const ListingSlots::EntryFacts&) {
    out.push_back(Joined(d.base, name));
  }
};

struct TableSink {
  PathTable& out;
  struct Directory {
    const Text& base;
    std::optional<FileIdentity> identity;
    std::uint32_t number = 0;
    bool added = false;
  };
  Directory Enter(const Text& base, const FileIdentity* identity) {
    Directory d{base, std::nullopt, 0, false};
    if (identity) d.identity = *identity;
    return d;
  }
  void AddFile(Directory& d, const Text& name, const ListingSlots::EntryFacts& facts) {
    if (!d.added) {
      d.number = out.AddDirectory(d.base);
      d.added = true;
    }
    FileIdentity listed;
    if (facts.known) {
      if (!d.identity) d.identity = FileIdentityOf(d.base);
      listed = ListedIdentityOf(*d.identity, facts);
    }
    out.AddName(d.number, name, listed);
  }
};

// listed is the directory's identity as its parent's listing told it, when it
// did; the directory is asked only when it did not.
template <typename Sink>
void WalkTree(ListingSlots& slots, Sink& sink, const Text& directory, int depth, const WalkControl& control,
              const FileIdentity& listed = {}) {
  Text base = directory;
  AddTrailingSeparator(base);
  FileIdentity id;
  if (control.walked) {
    id = listed.known ? listed : FileIdentityOf(base);
    if (id.known && !control.walked->Enter(id)) return;
  }
  if (control.directoryEntered) control.directoryEntered(base);
  if (!slots.OpenListing(depth, base, AllEntries())) return;
  auto here = sink.Enter(base, control.walked ? &id : nullptr);
  while (!control.Stopped() && slots.NextListingEntry(depth) == 1) {
    int kind = slots.ListingEntryKind(depth);
    Text name = slots.ListingEntryName(depth);
    if (kind == 1) {
      sink.AddFile(here, name, slots.ListingEntryFacts(depth));
    } else if (kind == 2 && !IsDotOrDotDot(name)) {
      Text sub = base + name;
      sub.push_back(PathSeparator());
      const FileIdentity subId =
          control.walked && id.known ? ListedIdentityOf(id, slots.ListingEntryFacts(depth)) : FileIdentity{};
      WalkTree(slots, sink, sub, depth + 1, control, subId);
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
  auto here = sink.Enter(base, nullptr);
  while (!control.Stopped() && slots.NextListingEntry(0) == 1) {
    if (slots.ListingEntryKind(0) == 1) sink.AddFile(here, slots.ListingEntryName(0), slots.ListingEntryFacts(0));
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

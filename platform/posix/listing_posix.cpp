// Directory listings on POSIX: opendir/readdir, with the kind of every entry
// as lstat would give it, so a symbolic link (to a file or a directory) is a
// file entry and is never descended into. Entries whose status lstat cannot
// read are skipped: those of a directory that may be listed but not searched,
// and those whose joined path is longer than the system takes. The kind comes
// from the directory entry itself where the file system gives it; one status
// read per listing, relative to the open directory, tells whether its
// entries' status can be read at all.

#include <dirent.h>
#include <fnmatch.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <cstring>

#include "engine/file_system.hpp"

namespace vantrel {

struct ListingSlots::Slot {
  DIR* dir = nullptr;
  std::string directoryBytes;  // with its trailing '/'
  std::string pattern;         // empty: every entry
  Text name;
  int kind = 0;
  bool searchable = false;  // an entry's status has been read in this listing
};

ListingSlots::Slot* ListingSlots::NewSlot() { return new Slot(); }

void ListingSlots::SlotDeleter::operator()(Slot* slot) const { delete slot; }

bool ListingSlots::OpenListing(int slot, const Text& directory, const Text& pattern) {
  if (slot < 0) return false;
  CloseListing(slot);
  std::string dirBytes = SystemBytesFromText(directory);
  DIR* dir = opendir(dirBytes.c_str());
  if (!dir) return false;
  Slot& s = EnsureSlot(slot);
  s.dir = dir;
  if (dirBytes.empty() || dirBytes.back() != '/') dirBytes.push_back('/');
  s.directoryBytes = std::move(dirBytes);
  // "*.*" stands for every name, as it does on Windows.
  std::string patternBytes = SystemBytesFromText(pattern);
  s.pattern = patternBytes == "*.*" ? "*" : patternBytes;
  s.kind = 0;
  s.name.clear();
  s.searchable = false;
  return true;
}

int ListingSlots::NextListingEntry(int slot) {
  Slot* s = SlotAt(slot);
  if (!s || !s->dir) return 0;
  for (;;) {
    dirent* entry = readdir(s->dir);
    if (!entry) {
      s->kind = 0;
      s->name.clear();
      return 0;
    }
    const char* name = entry->d_name;
    if (!s->pattern.empty() && fnmatch(s->pattern.c_str(), name, FNM_PATHNAME) != 0) continue;
    // lstat refuses a path of PATH_MAX bytes or more, its end included.
    if (s->directoryBytes.size() + std::strlen(name) + 1 > PATH_MAX) continue;
    int kind;
    if (s->searchable && entry->d_type == DT_DIR) {
      kind = 2;
    } else if (s->searchable && entry->d_type != DT_UNKNOWN) {
      kind = 1;  // links too: never followed into
    } else {
      struct stat st;
      if (fstatat(dirfd(s->dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      s->searchable = true;
      kind = S_ISDIR(st.st_mode) ? 2 : 1;
    }
    s->kind = kind;
    s->name = TextFromSystemBytes(name);
    return 1;
  }
}

int ListingSlots::ListingEntryKind(int slot) const {
  Slot* s = SlotAt(slot);
  return s && s->dir ? s->kind : 0;
}

Text ListingSlots::ListingEntryName(int slot) const {
  Slot* s = SlotAt(slot);
  return s && s->dir ? s->name : Text();
}

void ListingSlots::CloseListing(int slot) {
  Slot* s = SlotAt(slot);
  if (!s) return;
  if (s->dir) closedir(s->dir);
  s->dir = nullptr;
  s->kind = 0;
  s->name.clear();
}

bool ListingSlots::IsListingOpen(int slot) const {
  Slot* s = SlotAt(slot);
  return s && s->dir;
}

// A listing here gives names and kinds only; the probe's opening tells the rest.
ListingSlots::EntryFacts ListingSlots::ListingEntryFacts(int) const { return {}; }

}  // namespace vantrel

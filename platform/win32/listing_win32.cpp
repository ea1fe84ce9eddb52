// Directory listings on Win32. A listing of every entry (the walk's "*.*")
// reads the open directory with GetFileInformationByHandleEx and the
// FileIdBothDirectoryInfo class: one query hands out many entries with their
// attributes and file ids, so the probe learns a file's identity without
// opening it for that (the identity query of an open file costs more than the
// opening itself, under Wine several times more). Any other pattern goes to
// FindFirstFileW/FindNextFileW, which match it as Windows always has; there
// the open itself already yields the first entry, so a slot keeps it until
// the first NextListingEntry hands it out. A directory that matches nothing
// leaves the slot open with no entries: it is a listing, just an empty one.
// The search text (directory, separator and pattern) may be at most
// kPathLimit characters long, whichever way it is read; the system gets the
// "\\?\" form.

#include <windows.h>

#include <cstring>
#include <memory>

#include "engine/file_system.hpp"
#include "platform/win32/path_win32.hpp"

namespace vantrel {
namespace {

// Bytes of entries one query of a directory handle returns at most.
constexpr DWORD kEntryBytes = 64 * 1024;

bool IsEveryEntry(const Text& pattern) { return pattern.empty() || pattern == L"*.*" || pattern == L"*"; }

}  // namespace

struct ListingSlots::Slot {
  bool open = false;
  bool current = false;  // an entry was delivered and is the current one
  // Read by pattern:
  HANDLE find = INVALID_HANDLE_VALUE;  // none when the directory matched nothing
  bool firstPending = false;           // data holds the open's entry, not yet delivered
  WIN32_FIND_DATAW data{};
  // Read by directory handle:
  HANDLE directory = INVALID_HANDLE_VALUE;
  std::unique_ptr<std::uint8_t[]> entries;  // the last query's entries, kept from listing to listing
  const FILE_ID_BOTH_DIR_INFO* entry = nullptr;  // the current one among them
  bool restart = true;                        // the next query starts from the first entry
};

ListingSlots::Slot* ListingSlots::NewSlot() { return new Slot(); }

void ListingSlots::SlotDeleter::operator()(Slot* slot) const { delete slot; }

namespace {

// Fills the slot's buffer with the next entries of its directory; false at
// the end or when the directory cannot be read (GetLastError tells which).
bool QueryEntries(ListingSlots::Slot& s) {
  if (!s.entries) s.entries.reset(new std::uint8_t[kEntryBytes]);
  const FILE_INFO_BY_HANDLE_CLASS kind = s.restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo;
  s.restart = false;
  s.entry = nullptr;
  if (!GetFileInformationByHandleEx(s.directory, kind, s.entries.get(), kEntryBytes)) return false;
  s.entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(s.entries.get());
  return true;
}

}  // namespace

bool ListingSlots::OpenListing(int slot, const Text& directory, const Text& pattern) {
  if (slot < 0) return false;
  CloseListing(slot);
  // The folder as the search text names it: "C:" stands for the root of
  // drive C here, as it does in the search text "C:\*.*", and never for the
  // current directory on that drive.
  Text folder = directory;
  if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');
  const Text search = folder + (pattern.empty() ? Text(L"*.*") : pattern);
  if (search.size() > kPathLimit) return false;

  if (IsEveryEntry(pattern)) {
    Text target = DirectoryOpenPathOf(folder);
    if (target.empty()) return false;
    // Listing access only, sharing everything: a listing never keeps anyone
    // from the directory. Backup semantics open a directory, following a
    // junction or directory link to the directory it reaches.
    HANDLE h = CreateFileW(target.c_str(), FILE_LIST_DIRECTORY,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    Slot& s = EnsureSlot(slot);
    s.directory = h;
    s.restart = true;
    // The first query tells whether this is a directory that can be read: a
    // file opens as well, and then has no entries to query.
    if (!QueryEntries(s)) {
      const DWORD error = GetLastError();
      if (error != ERROR_NO_MORE_FILES && error != ERROR_FILE_NOT_FOUND) {
        CloseListing(slot);
        return false;
      }
    }
    s.open = true;
    return true;
  }

  Text target = ExtendedPathOf(search);
  if (target.empty()) return false;

  Slot& s = EnsureSlot(slot);
  HANDLE find = FindFirstFileW(target.c_str(), &s.data);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    s.open = true;
    return true;
  }
  s.open = true;
  s.find = find;
  s.firstPending = true;
  return true;
}

int ListingSlots::NextListingEntry(int slot) {
  Slot* s = SlotAt(slot);
  if (!s || !s->open) return 0;
  if (s->directory != INVALID_HANDLE_VALUE) {
    // The entries of the last query are handed out one by one; the first of
    // them is pending until the first call after the query.
    if (s->current && s->entry) {
      s->entry = s->entry->NextEntryOffset == 0
                     ? nullptr
                     : reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(
                           reinterpret_cast<const std::uint8_t*>(s->entry) + s->entry->NextEntryOffset);
      if (!s->entry) QueryEntries(*s);
    }
    s->current = s->entry != nullptr;
    if (!s->current) {
      // At the end the listing stays there; the directory is not asked again.
      CloseHandle(s->directory);
      s->directory = INVALID_HANDLE_VALUE;
    }
    return s->current ? 1 : 0;
  }
  if (s->firstPending) {
    s->firstPending = false;
    s->current = true;
    return 1;
  }
  if (s->find != INVALID_HANDLE_VALUE && s->current && FindNextFileW(s->find, &s->data)) return 1;
  // Once at the end the listing stays there; FindNextFileW is not asked again.
  s->current = false;
  return 0;
}

int ListingSlots::ListingEntryKind(int slot) const {
  Slot* s = SlotAt(slot);
  if (!s || !s->open || !s->current) return 0;
  const DWORD attributes = s->entry ? s->entry->FileAttributes : s->data.dwFileAttributes;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

Text ListingSlots::ListingEntryName(int slot) const {
  Slot* s = SlotAt(slot);
  if (!s || !s->open || !s->current) return Text();
  if (s->entry) return Text(s->entry->FileName, s->entry->FileNameLength / sizeof(wchar_t));
  return Text(s->data.cFileName);
}

ListingSlots::EntryFacts ListingSlots::ListingEntryFacts(int slot) const {
  Slot* s = SlotAt(slot);
  if (!s || !s->open || !s->current || !s->entry) return {};
  return {true, s->entry->FileAttributes, static_cast<std::uint64_t>(s->entry->FileId.QuadPart)};
}

void ListingSlots::CloseListing(int slot) {
  Slot* s = SlotAt(slot);
  if (!s) return;
  if (s->find != INVALID_HANDLE_VALUE) FindClose(s->find);
  s->find = INVALID_HANDLE_VALUE;
  if (s->directory != INVALID_HANDLE_VALUE) CloseHandle(s->directory);
  s->directory = INVALID_HANDLE_VALUE;
  s->entry = nullptr;  // the buffer stays for the slot's next listing
  s->open = false;
  s->firstPending = false;
  s->current = false;
}

bool ListingSlots::IsListingOpen(int slot) const {
  Slot* s = SlotAt(slot);
  return s && s->open;
}

}  // namespace vantrel

// Directory listings on Win32 with FindFirstFileW/FindNextFileW. The open itself
// already yields the first entry, so a slot keeps it until the first
// NextListingEntry hands it out. A directory that matches nothing leaves the slot
// open with no handle: it is a listing, just an empty one. The search text
// (directory, separator and pattern) may be at most kPathLimit characters long;
// the system gets its "\\?\" form.

#include <windows.h>

#include "engine/file_system.hpp"
#include "platform/win32/path_win32.hpp"

namespace vantrel {

struct ListingSlots::Slot {
  bool open = false;
  HANDLE find = INVALID_HANDLE_VALUE;  // none when the directory matched nothing
  bool firstPending = false;           // data holds the open's entry, not yet delivered
  bool current = false;                // data holds the entry last delivered
  WIN32_FIND_DATAW data{};
};

ListingSlots::Slot* ListingSlots::NewSlot() { return new Slot(); }

void ListingSlots::SlotDeleter::operator()(Slot* slot) const { delete slot; }

bool ListingSlots::OpenListing(int slot, const Text& directory, const Text& pattern) {
  if (slot < 0) return false;
  CloseListing(slot);
  Text search = directory;
  if (search.empty() || search.back() != L'\\') search.push_back(L'\\');
  search += pattern.empty() ? Text(L"*.*") : pattern;
  if (search.size() > kPathLimit) return false;

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
  return (s->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

Text ListingSlots::ListingEntryName(int slot) const {
  Slot* s = SlotAt(slot);
  if (!s || !s->open || !s->current) return Text();
  return Text(s->data.cFileName);
}

void ListingSlots::CloseListing(int slot) {
  Slot* s = SlotAt(slot);
  if (!s) return;
  if (s->find != INVALID_HANDLE_VALUE) FindClose(s->find);
  s->find = INVALID_HANDLE_VALUE;
  s->open = false;
  s->firstPending = false;
  s->current = false;
}

bool ListingSlots::IsListingOpen(int slot) const {
  Slot* s = SlotAt(slot);
  return s && s->open;
}

}  // namespace vantrel

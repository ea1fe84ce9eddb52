#pragma once
// What the engine needs of the host's file system. Each host implements these
// declarations once, in platform/posix or platform/win32; CMake picks the files.
// Every call is a plain function of its arguments (the listing slots aside), and a
// failure is a value (false, 0, -1, an empty text), never an exception.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/text.hpp"

namespace vantrel {

// The separator the walk joins names with: '\' on Windows, '/' on POSIX.
Char PathSeparator();

// Appends the host's separator unless the path already ends in it; an empty
// path becomes the separator alone. Returns 1, as callers expect of it.
int AddTrailingSeparator(Text& path);

// The same rule under its POSIX name: appends "/" (defined on POSIX hosts).
int AddTrailingSlash(Text& path);

// Lower-cases a text by the host's rules (CharLowerBuffW, towlower or tolower).
Text LowerCaseText(const Text& text);

// Converts between Text and bytes: on POSIX the bytes the file system takes
// (UTF-8 for 16-bit text, where bytes that are not UTF-8 travel as U+DC80..U+DCFF
// so that every name read from disk opens that file again; unchanged for 8-bit
// text); on Windows UTF-8, for tools and tests that speak bytes.
std::string SystemBytesFromText(const Text& text);
Text TextFromSystemBytes(const std::string& bytes);

// Numbered directory listings. A slot is open from OpenListing until
// CloseListing or the next OpenListing on the same number.
class ListingSlots {
 public:
  ListingSlots();
  ~ListingSlots();
  ListingSlots(const ListingSlots&) = delete;
  ListingSlots& operator=(const ListingSlots&) = delete;

  // Starts listing directory (joined with pattern, "*.*" when empty) in the slot;
  // true when it found a first entry or the directory matched nothing.
  bool OpenListing(int slot, const Text& directory, const Text& pattern);
  // Moves to the next entry: 1 while there is one, 0 at the end.
  int NextListingEntry(int slot);
  // Returns 2 for a directory entry, 1 for any other entry, 0 for an empty slot.
  int ListingEntryKind(int slot) const;
  // Returns the current entry's name, without any path.
  Text ListingEntryName(int slot) const;
  // Ends the slot's listing, if any, and frees the slot.
  void CloseListing(int slot);
  // Tells whether the slot holds a listing.
  bool IsListingOpen(int slot) const;
  // What the listing tells of the current entry beyond its name; nothing
  // (known false) on hosts whose listings give only names, and for a slot
  // without a current entry.
  struct EntryFacts {
    bool known = false;
    std::uint32_t attributes = 0;  // the host's attribute bits
    std::uint64_t fileId = 0;      // the entry's own file id
  };
  EntryFacts ListingEntryFacts(int slot) const;

  struct Slot;  // host-specific, defined by the platform layer
  // Made and freed by the platform layer, which alone knows a Slot.
  static Slot* NewSlot();
  struct SlotDeleter {
    void operator()(Slot* slot) const;
  };

 private:
  Slot* SlotAt(int slot) const;
  Slot& EnsureSlot(int slot);
  std::vector<std::unique_ptr<Slot, SlotDeleter>> slots_;
};

// Returns 1 when the file opens for reading with shared read access, else 0
// (directories, missing and unreadable files, files locked for writing).
int CanOpenFile(const Text& path);

// Returns the size in bytes from the directory entry, -1 when there is no such
// file and -2 for a directory. Never opens the file.
std::int64_t FileSizeOf(const Text& path);

// Returns the hidden/system attribute bits (2 and 4) of a file; all bits set
// when they cannot be read. POSIX files carry neither bit.
std::uint32_t FileAttributesOf(const Text& path);

// Identity of the physical file or directory behind a path (device and inode,
// or volume serial number and the 128-bit file id, its high half in indexHigh);
// known is false when it cannot be read or the host gives no usable id.
struct FileIdentity {
  bool known = false;
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  std::uint64_t indexHigh = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
FileIdentity FileIdentityOf(const Text& path);

// A file opened for reading with the same access as CanOpenFile; closed by the
// destructor. Opening also learns the file's size and identity, so a reader
// tells in one opening what CanOpenFile, FileSizeOf and FileIdentityOf tell.
class FileReader {
 public:
  FileReader() = default;
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Opens the file; false when CanOpenFile would say 0.
  bool Open(const Text& path);
  // Reads up to size bytes; returns the count (0 at the end) or -1 on failure.
  std::int64_t Read(void* buffer, std::size_t size);
  // Moves the read position to offset bytes from the start; false on failure.
  bool Seek(std::int64_t offset);
  void Close();
  // The open file's size in bytes, -1 when none is open.
  std::int64_t Size() const { return size_; }
  // The open file's identity; unknown when none is open. Where the system
  // tells it apart from the opening (Windows), it is asked at the first call
  // while the file is open: many readers never need it.
  const FileIdentity& Identity() const;
  // True while the file is open and path still leads to it: it was not
  // deleted, moved away or replaced at that name (renamed over, made a link
  // to another file) since it was opened. False when none is open.
  bool StillAt(const Text& path) const;

 private:
  std::intptr_t handle_ = -1;
  std::int64_t size_ = -1;
  mutable FileIdentity identity_;
  mutable bool identityRead_ = false;
};

// What one opening tells of a file: readable as CanOpenFile says, and then
// its size and identity.
struct FileProbe {
  bool readable = false;
  std::int64_t size = -1;
  FileIdentity identity;
};
// Opens the file and tells what the opening learnt; reads none of its bytes.
FileProbe ProbeFile(const Text& path);

// The identity of a file as its directory's listing tells it: the volume of
// the directory's identity with the entry's file id, in the same form as
// FileIdentityOf gives for that file. Unknown (known false) wherever the
// listing cannot stand for the file: no facts, an id that is no id, a link
// (whose own id is not its target's), a directory of unknown identity or on a
// volume whose ids do not fit the listing's 64 bits. POSIX hosts never know.
FileIdentity ListedIdentityOf(const FileIdentity& directory, const ListingSlots::EntryFacts& facts);

// Opens the file as ProbeFile does and learns its size from the opening, but
// takes identity (ListedIdentityOf) for the file's identity instead of asking
// the open file, which on some hosts costs more than the opening itself.
FileProbe ProbeListedFile(const Text& path, const FileIdentity& identity);

// Tells whether the path's last component is a symbolic link (on Windows a
// reparse point); false when it cannot be told.
bool IsSymbolicLink(const Text& path);

// Deletes the file for good (no recycle bin); true on success. A link is removed, never its target.
bool DeleteFileAt(const Text& path);
// The host's short form of a path (Windows: GetShortPathNameW into 1024 characters; empty when the path does not exist). POSIX hosts return the path unchanged.
Text ShortPathOf(const Text& path);
// The folder the system reaches by a folder's path, written as it is stored:
// links and junctions followed, "." and ".." resolved (POSIX realpath; Windows
// GetFinalPathNameByHandleW, in the usual form without "\\?\"). Empty when the
// folder cannot be reached.
Text RealFolderOf(const Text& folder);

}  // namespace vantrel

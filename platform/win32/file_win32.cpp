// File checks, reading and deleting on Win32. The readability probe and the
// reader open a file as the fingerprints read it: GENERIC_READ and sharing
// reads only, so a file another program is still writing is refused rather
// than read half written. Only disk files count: a device opened by mistake
// (reading the console would wait for input forever) is refused. Sizes come
// from the directory entry and never open the file.
//
// Every call takes the "\\?\" form of the path (path_win32.hpp), so a name
// ending in "." or " " is that file and never its trimmed namesake, and every
// call applies the same limit: a path text over kPathLimit characters is no
// file, whether Windows or Wine would have opened it or not.
//
// A file's identity is its volume serial number and its 128-bit file id where
// the system has FILE_ID_INFO, else the 64-bit index. An id of 0 or of all ones
// is no id: some volumes report it for every file, and trusting it would make
// a whole volume one file. There the identity is a hash of the path the system
// resolves the open file to, so that links still lead back to what they reach.

#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <cstring>
#include <string>

#include "engine/file_system.hpp"
#include "platform/win32/file_id_win32.hpp"
#include "platform/win32/path_win32.hpp"

namespace vantrel {
namespace {

// FILE_ID_INFO and its class number, from the Windows 8 headers (the build
// targets Windows 7, where the query fails and the 64-bit index serves).
struct FileIdInfo {
  ULONGLONG volumeSerialNumber;
  BYTE fileId[16];
};
constexpr auto kFileIdInfoClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

bool SystemFileIdQuery(void* handle, FileId128& out) {
  FileIdInfo info;
  if (!GetFileInformationByHandleEx(static_cast<HANDLE>(handle), kFileIdInfoClass, &info,
                                    sizeof info))
    return false;
  out.volume = info.volumeSerialNumber;
  std::memcpy(out.id, info.fileId, sizeof out.id);
  return true;
}

std::atomic<FileIdQuery> fileIdQuery{SystemFileIdQuery};

bool IsUsableId(const std::uint8_t* id, std::size_t size) {
  bool allZero = true;
  bool allOnes = true;
  for (std::size_t i = 0; i < size; ++i) {
    allZero = allZero && id[i] == 0;
    allOnes = allOnes && id[i] == 0xFF;
  }
  return !allZero && !allOnes;
}

// The final path of an open file as the system resolves it: every junction,
// directory link and symbolic link on the way followed, each name in the case
// stored on disk. Real Windows asks the file system for the name of the open
// file object, which was opened through the reparse points, so a link and its
// target give one path; Wine gives the host's resolved name of the open file,
// the Linux symbolic links followed, the same way. The NT form
// ("\Device\HarddiskVolume2\...", "\Device\Mup\server\share\...")
// comes first because it also serves a volume without a drive letter.
Text FinalPathOf(HANDLE h) {
  for (DWORD volumeForm : {VOLUME_NAME_NT, VOLUME_NAME_DOS}) {
    Text path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
      DWORD length = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                               FILE_NAME_NORMALIZED | volumeForm);
      if (length == 0) break;
      if (length < path.size()) {
        path.resize(length);
        return path;
      }
      path.assign(length, L'\0');  // the size asked for, its terminator included
    }
  }
  return Text();
}

// Two independent 64-bit FNV-1a hashes of the text's UTF-16 code units.
std::uint64_t Fnv1a(const Text& text, std::uint64_t hash) {
  for (wchar_t c : text) {
    for (int shift = 0; shift < 16; shift += 8) {
      hash ^= (static_cast<std::uint16_t>(c) >> shift) & 0xFF;
      hash *= 0x100000001B3u;
    }
  }
  return hash;
}

// The identity of an open file on a volume without usable ids: its final path,
// upper-cased as NTFS compares names, hashed. A link and its target, and two
// spellings of one name, are one identity; two hard links to one file are two.
// Unknown only when the system cannot name the open file either.
FileIdentity PathIdentityOfHandle(HANDLE h) {
  Text path = FinalPathOf(h);
  if (path.empty()) return {};
  int size = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.c_str(),
                           static_cast<int>(path.size()), nullptr, 0, nullptr, nullptr, 0);
  if (size <= 0) return {};
  Text upper(static_cast<std::size_t>(size), L'\0');
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.c_str(),
                    static_cast<int>(path.size()), upper.data(), size, nullptr, nullptr, 0) != size)
    return {};
  return {true, kPathIdentityVolume, Fnv1a(upper, 0xCBF29CE484222325u),
          Fnv1a(upper, 0x6C62272E07BB0142u)};
}

// The identity of an open file; info, when given, is its 64-bit fallback
// already read.
FileIdentity IdentityOfHandle(HANDLE h, const BY_HANDLE_FILE_INFORMATION* info) {
  FileId128 wide;
  if (fileIdQuery.load()(h, wide)) {
    if (!IsUsableId(wide.id, sizeof wide.id)) return PathIdentityOfHandle(h);
    FileIdentity id{true, wide.volume, 0, 0};
    std::memcpy(&id.index, wide.id, 8);
    std::memcpy(&id.indexHigh, wide.id + 8, 8);
    return id;
  }
  BY_HANDLE_FILE_INFORMATION own;
  if (!info) {
    if (!GetFileInformationByHandle(h, &own)) return PathIdentityOfHandle(h);
    info = &own;
  }
  std::uint8_t index[8];
  std::memcpy(index, &info->nFileIndexLow, 4);
  std::memcpy(index + 4, &info->nFileIndexHigh, 4);
  if (!IsUsableId(index, sizeof index)) return PathIdentityOfHandle(h);
  return {true, info->dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info->nFileIndexHigh) << 32) | info->nFileIndexLow, 0};
}

HANDLE OpenDiskFileForReading(const Text& path) {
  Text target = ExtendedPathOf(path);
  if (target.empty()) return INVALID_HANDLE_VALUE;
  HANDLE h = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

bool IsBackslash(wchar_t c) { return c == L'\\'; }

}  // namespace

void SetFileIdQueryForTesting(FileIdQuery query) {
  fileIdQuery.store(query ? query : SystemFileIdQuery);
}

int CanOpenFile(const Text& path) {
  HANDLE h = OpenDiskFileForReading(path);
  if (h == INVALID_HANDLE_VALUE) return 0;
  CloseHandle(h);
  return 1;
}

std::int64_t FileSizeOf(const Text& path) {
  if (path.empty() || path.size() > kPathLimit) return -1;

  if ((path.size() == 2 || path.size() == 3) && path[1] == L':') {
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) > DRIVE_NO_ROOT_DIR ? -2 : -1;
  }

  Text stripped = path;
  while (!stripped.empty() && IsBackslash(stripped.back())) stripped.pop_back();
  Text target = ExtendedPathOf(stripped);
  WIN32_FIND_DATAW data;
  HANDLE find = target.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW(target.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // A share root ("\\server\share") has no directory entry of its own, yet
    // it is a directory.
    if (path.size() >= 2 && IsBackslash(path[0]) && IsBackslash(path[1])) {
      Text whole = ExtendedPathOf(path);
      DWORD attributes = whole.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(whole.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return -2;
    }
    return -1;
  }
  FindClose(find);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -2;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                   data.nFileSizeLow);
}

std::uint32_t FileAttributesOf(const Text& path) {
  // INVALID_FILE_ATTRIBUTES is all bits set: an unreadable file is hidden and system.
  Text target = ExtendedPathOf(path);
  return target.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(target.c_str());
}

bool IsSymbolicLink(const Text& path) {
  Text target = ExtendedPathOf(path);
  if (target.empty()) return false;
  DWORD attributes = GetFileAttributesW(target.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

FileIdentity FileIdentityOf(const Text& path) {
  Text target = DirectoryOpenPathOf(path);
  if (target.empty()) return {};
  // Attributes only, sharing everything: taking an identity must never lock a
  // file out of anyone else. Backup semantics let directories open too, and
  // a junction or directory link is followed: the directory it reaches is the
  // one the walk would list.
  HANDLE h = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  FileIdentity id = IdentityOfHandle(h, nullptr);
  CloseHandle(h);
  return id;
}

bool DeleteFileAt(const Text& path) {
  Text target = ExtendedPathOf(path);
  return !target.empty() && DeleteFileW(target.c_str());
}

Text ShortPathOf(const Text& path) {
  Text target = ExtendedPathOf(path);
  if (target.empty()) return Text();
  wchar_t buffer[1024];
  DWORD length = GetShortPathNameW(target.c_str(), buffer, 1024);
  if (length == 0 || length >= 1024) return Text();
  Text shortPath(buffer, length);
  // The caller gets the form it gave: "\\?\" only when it asked with it.
  return target == path ? shortPath : PlainPathOf(shortPath);
}

Text RealFolderOf(const Text& folder) {
  Text target = ExtendedPathOf(folder);
  if (target.empty()) return Text();
  // A directory opens only with backup semantics; asking for no access reads
  // nothing of it and keeps no other program out.
  HANDLE h = CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Text();
  Text real(1024, L'\0');
  DWORD length = GetFinalPathNameByHandleW(h, real.data(), static_cast<DWORD>(real.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= real.size()) {
    real.resize(length + 1);
    length = GetFinalPathNameByHandleW(h, real.data(), static_cast<DWORD>(real.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  CloseHandle(h);
  if (length == 0 || length >= real.size()) return Text();
  real.resize(length);
  return PlainPathOf(real);
}

FileIdentity ListedIdentityOf(const FileIdentity& directory, const ListingSlots::EntryFacts& facts) {
  // The listing's id is the entry's own: for a link that is not the file it
  // reaches, so links are asked when opened. Its 64 bits are the whole id
  // where the volume's ids fit them, as the directory's own id shows (NTFS,
  // FAT with ids, Wine's inode numbers); a volume of 128-bit ids (ReFS) and one
  // without usable ids (the identity of paths) are asked file by file.
  if (!facts.known || (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return {};
  if (!directory.known || directory.volume == kPathIdentityVolume || directory.indexHigh != 0) return {};
  std::uint8_t id[8];
  std::memcpy(id, &facts.fileId, sizeof id);
  if (!IsUsableId(id, sizeof id)) return {};
  return {true, directory.volume, facts.fileId, 0};
}

FileProbe ProbeListedFile(const Text& path, const FileIdentity& identity) {
  HANDLE h = OpenDiskFileForReading(path);
  if (h == INVALID_HANDLE_VALUE) return {};
  LARGE_INTEGER size;
  FileProbe probe{true, GetFileSizeEx(h, &size) ? size.QuadPart : -1, identity};
  // The path may lead to another file since its folder was listed: saved
  // anew, or made a link to another file. The open file's own 64-bit index
  // is one cheap query (it asks nothing of the volume); where it is not the
  // listed id, the open file is asked for its identity as ProbeFile asks it.
  FILE_INTERNAL_INFORMATION internal;
  IO_STATUS_BLOCK status;
  if (NtQueryInformationFile(h, &status, &internal, sizeof internal, FileInternalInformation) != 0 ||
      static_cast<std::uint64_t>(internal.IndexNumber.QuadPart) != identity.index)
    probe.identity = IdentityOfHandle(h, nullptr);
  CloseHandle(h);
  return probe;
}

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const Text& path) {
  Close();
  HANDLE h = OpenDiskFileForReading(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(h);
  // The size costs one query of the open file. The identity is asked only
  // when a caller wants it (Identity): the 128-bit id and, where it is
  // missing, the whole BY_HANDLE_FILE_INFORMATION also ask the volume for its
  // serial number, which Wine answers slowly (several hundred microseconds a
  // file), and a reader of a first block never needs it.
  LARGE_INTEGER size;
  size_ = GetFileSizeEx(h, &size) ? size.QuadPart : -1;
  return true;
}

const FileIdentity& FileReader::Identity() const {
  if (handle_ != -1 && !identityRead_) {
    identity_ = IdentityOfHandle(reinterpret_cast<HANDLE>(handle_), nullptr);
    identityRead_ = true;
  }
  return identity_;
}

// The reader opens a file sharing reading only (OpenDiskFileForReading): while
// it is open, no one may delete it, move it or its folder away, or rename
// another file over its name, for each of those needs the delete access the
// sharing refuses. So the name leads to it for as long as it is open, and
// nothing need be asked.
bool FileReader::StillAt(const Text&) const { return handle_ != -1; }

std::int64_t FileReader::Read(void* buffer, std::size_t size) {
  if (handle_ == -1) return -1;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  auto* out = static_cast<char*>(buffer);
  std::size_t total = 0;
  // ReadFile takes 32-bit counts and may return less than asked; fill the whole
  // buffer unless the file ends, since the caller takes a short read for the end.
  while (total < size) {
    DWORD want = static_cast<DWORD>(size - total < (1u << 30) ? size - total : (1u << 30));
    DWORD got = 0;
    if (!ReadFile(h, out + total, want, &got, nullptr)) return -1;
    if (got == 0) break;
    total += got;
  }
  return static_cast<std::int64_t>(total);
}

void FileReader::Close() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  size_ = -1;
  identity_ = {};
  identityRead_ = false;
}

}  // namespace vantrel

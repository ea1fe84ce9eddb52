// File checks and reading on Win32. The readability probe and the reader open a
// file as the fingerprints read it: GENERIC_READ and sharing reads only, so a
// file another program is still writing is refused rather than read half
// written. Only disk files count: a name such as "con" or "nul" in a searched
// directory opens a device on Windows, and reading the console would wait for
// input forever. Sizes come from the directory entry and never open the file.

#include <windows.h>

#include "engine/file_system.hpp"

namespace vantrel {
namespace {

// Paths longer than this are no files as far as the size test is concerned.
constexpr std::size_t kPathLimit = MAX_PATH;

HANDLE OpenDiskFileForReading(const Text& path) {
  if (path.empty()) return INVALID_HANDLE_VALUE;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

bool IsBackslash(wchar_t c) { return c == L'\\'; }

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {true, info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

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
  WIN32_FIND_DATAW data;
  HANDLE find = stripped.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW(stripped.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // A share root ("\\server\share") has no directory entry of its own, yet
    // it is a directory.
    if (path.size() >= 2 && IsBackslash(path[0]) && IsBackslash(path[1])) {
      DWORD attributes = GetFileAttributesW(path.c_str());
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
  return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
}

FileIdentity FileIdentityOf(const Text& path) {
  if (path.empty()) return {};
  // Attributes only, sharing everything: taking an identity must never lock a
  // file out of anyone else, and backup semantics let directories open too.
  HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  BY_HANDLE_FILE_INFORMATION info;
  BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok) return {};
  return IdentityOf(info);
}

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const Text& path) {
  Close();
  HANDLE h = OpenDiskFileForReading(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(h);
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info)) {
    size_ = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                      info.nFileSizeLow);
    identity_ = IdentityOf(info);
  } else {
    LARGE_INTEGER size;
    size_ = GetFileSizeEx(h, &size) ? size.QuadPart : -1;
  }
  return true;
}

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
}

}  // namespace vantrel

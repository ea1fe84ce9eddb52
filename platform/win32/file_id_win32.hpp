#pragma once
// The file-id query behind FileIdentityOf and FileReader on Win32, with a seam
// for tests: a volume that reports an index of 0 (or all ones) for every file
// exists (ReFS, some network redirectors), and tests need to be one.

#include <cstdint>

namespace vantrel {

// What the 128-bit query (FILE_ID_INFO) tells of an open file.
struct FileId128 {
  std::uint64_t volume = 0;
  std::uint8_t id[16] = {};
};

// Fills out for the open file handle; false when the system has no such query
// (before Windows 8, some file systems), and the 64-bit index is used instead.
using FileIdQuery = bool (*)(void* handle, FileId128& out);

// The volume of an identity that comes from the file's final path because
// the volume gives no usable id: the 64-bit index comes with a 32-bit serial,
// and a 64-bit serial of all ones is as much no serial as an id of all ones.
inline constexpr std::uint64_t kPathIdentityVolume = ~std::uint64_t{0};

// Replaces the query for tests; null restores the system's.
void SetFileIdQueryForTesting(FileIdQuery query);

}  // namespace vantrel

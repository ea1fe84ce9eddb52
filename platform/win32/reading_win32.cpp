// Positioned reading on Win32: the part of FileReader that moves the read
// position, for readers that reopen a file and go on where they left it.

#include <windows.h>

#include "engine/file_system.hpp"

namespace vantrel {

bool FileReader::Seek(std::int64_t offset) {
  if (handle_ == -1) return false;
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(reinterpret_cast<HANDLE>(handle_), to, nullptr, FILE_BEGIN) != 0;
}

}  // namespace vantrel

// Deleting and short path forms on POSIX. unlink removes a symbolic link
// itself and never its target, and refuses a directory. POSIX has no short
// names: a path is its own short form.

#include <unistd.h>

#include "engine/file_system.hpp"

namespace vantrel {

bool DeleteFileAt(const Text& path) {
  std::string bytes = SystemBytesFromText(path);
  return !bytes.empty() && ::unlink(bytes.c_str()) == 0;
}

Text ShortPathOf(const Text& path) { return path; }

}  // namespace vantrel

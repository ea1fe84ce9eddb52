// Deleting and short path forms on POSIX. unlink removes a symbolic link
// itself and never its target, and refuses a directory. POSIX has no short
// names: a path is its own short form.

#include <climits>
#include <cstdlib>
#include <unistd.h>

#include "engine/file_system.hpp"

namespace vantrel {

bool DeleteFileAt(const Text& path) {
  std::string bytes = SystemBytesFromText(path);
  return !bytes.empty() && ::unlink(bytes.c_str()) == 0;
}

Text ShortPathOf(const Text& path) { return path; }

Text RealFolderOf(const Text& folder) {
  std::string bytes = SystemBytesFromText(folder);
  if (bytes.empty()) return Text();
  char* real = ::realpath(bytes.c_str(), nullptr);
  if (real == nullptr) return Text();
  Text text = TextFromSystemBytes(real);
  std::free(real);
  return text;
}

}  // namespace vantrel

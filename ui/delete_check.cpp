#include "ui/delete_check.hpp"

#include <cstring>
#include <vector>

#include "engine/file_system.hpp"

namespace vantrel {

bool StillACopyOf(const Text& checked, const Text& kept) {
  FileReader a;
  FileReader b;
  if (!a.Open(checked) || !b.Open(kept)) return false;
  // One file reached by two paths (a link put in the checked file's place, a
  // hard link) is no copy: deleting it would delete what the user keeps.
  if (!a.Identity().known || !b.Identity().known || a.Identity() == b.Identity()) return false;
  if (a.Size() != b.Size()) return false;
  constexpr std::size_t kChunk = 1 << 20;
  std::vector<unsigned char> left(kChunk), right(kChunk);
  for (;;) {
    std::int64_t gotA = a.Read(left.data(), kChunk);
    std::int64_t gotB = b.Read(right.data(), kChunk);
    if (gotA < 0 || gotB < 0 || gotA != gotB) return false;
    if (gotA == 0) return true;
    if (std::memcmp(left.data(), right.data(), static_cast<std::size_t>(gotA)) != 0) return false;
  }
}

}  // namespace vantrel

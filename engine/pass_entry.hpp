#pragma once
// A candidate as the pass holds it from the probe to the rows. There is one
// for every readable candidate at once, so it is packed: the path stays in the
// candidate table and the entry holds its number there, the identity's fields lie
// inline, and the first block's hash is cut to 32 bits (it only sorts files
// into buckets that are then compared byte by byte).

#include <cstdint>
#include <vector>

#include "engine/file_system.hpp"
#include "engine/path_table.hpp"

namespace vantrel {

struct PassEntry {
  std::uint32_t path = 0;  // the file's number in the candidate table
  std::int64_t size = 0;
  std::uint64_t volume = 0, index = 0, indexHigh = 0;
  std::uint32_t firstBlockHash = 0;  // 0: not read, or unreadable
  bool known = false;                // the identity was read
  enum : std::uint8_t { kLinkUnknown, kLink, kNotLink };
  std::uint8_t link = kLinkUnknown;  // whether the path is a symbolic link, once asked

  // Returns the file's identity as the probe read it.
  FileIdentity Identity() const { return {known, volume, index, indexHigh}; }
  // Stores an identity in the entry's own fields.
  void SetIdentity(const FileIdentity& id) {
    known = id.known;
    volume = id.volume;
    index = id.index;
    indexHigh = id.indexHigh;
  }
};

using PassList = std::vector<PassEntry>;

}  // namespace vantrel

#pragma once
// Fingerprints of many files at once. MD5 advances several files together,
// one in each SIMD lane of the processor (engine/md5_lanes.hpp); SHA-1 and
// CRC-32, when asked for, follow each file's bytes on their own. Every file is
// read once, in chunks, and the texts are those FingerprintFile gives.

#include <cstdint>
#include <vector>

#include "engine/file_system.hpp"
#include "engine/fingerprint.hpp"

namespace vantrel {

// A file to fingerprint, as it was when its bytes were compared: it must still
// be that file (when its identity is known) and of that size.
struct LaneFile {
  const Text* path = nullptr;
  std::int64_t size = 0;
  FileIdentity identity;
};

// Reads each file once and returns its fingerprints, in order: Done, or
// Unreadable when it no longer opens as the same file of the same size, or a
// read fails or ends anywhere but at that size. keepGoing is asked between
// chunks; when it says stop, every result is Interrupted.
std::vector<FileFingerprints> FingerprintFilesTogether(const std::vector<LaneFile>& files, FingerprintKinds kinds,
                                                       const ContinueCheck& keepGoing = {});

// Bytes each lane reads at a time (a multiple of the 64-byte MD5 block).
inline constexpr std::size_t kLaneChunk = 16 * 1024;

}  // namespace vantrel

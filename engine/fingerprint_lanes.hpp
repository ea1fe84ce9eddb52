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
// be that file (when its identity is known) and of that size. A witness, when
// given, is a copy it was found equal to: it is read alongside and every byte
// must still agree, so the texts are never those of bytes that changed since.
struct LaneFile {
  const Text* path = nullptr;
  std::int64_t size = 0;
  FileIdentity identity;
  const Text* witness = nullptr;
  FileIdentity witnessIdentity;
};

// Reads each file (and its witness) once and returns its fingerprints, in
// order: Done, or Unreadable when it or its witness no longer opens as the
// same file of the same size, a read fails or ends anywhere but at that size,
// or the two differ. keepGoing is asked between chunks; when it says stop,
// every result is Interrupted. Files are opened through open (FileReader::Open
// when empty).
std::vector<FileFingerprints> FingerprintFilesTogether(const std::vector<LaneFile>& files, FingerprintKinds kinds,
                                                       const ContinueCheck& keepGoing = {},
                                                       const OpenForReading& open = {});

// Bytes each lane reads at a time (a multiple of the 64-byte MD5 block).
inline constexpr std::size_t kLaneChunk = 16 * 1024;

}  // namespace vantrel

#pragma once
// Confirming copies among files of one size. The files are read together, a
// chunk of each at the same offset, and split into classes of identical bytes
// as soon as two of them differ; a file left alone in its class is not read
// any further. The fingerprints of a class are computed from the chunks its
// files agreed on, as they are compared, for many classes at once (MD5 in
// SIMD lanes): they are the texts of the very bytes every file of the class
// showed. Equal digests are never taken for equal contents: two files share a
// class only when every one of their bytes was compared and agreed.

#include <cstdint>
#include <vector>

#include "engine/fingerprint.hpp"

namespace vantrel {

// The classes of identical files among a set of files of one size.
struct CopyClasses {
  // For each file, in the order given: its class in fingerprints, or -1 when no
  // other file has its bytes, or it could not be read in full, or it no longer
  // has the set's size.
  std::vector<int> classOf;
  // One entry per class of two or more files, as FingerprintFile gives them.
  std::vector<FileFingerprints> fingerprints;
  bool interrupted = false;  // keepGoing said stop; nothing else is valid
};

// Files of one size that may be copies.
struct CopySet {
  std::vector<const Text*> paths;
  std::int64_t size = 0;
};

// Reads each set's files (all of the set's size when they were probed)
// together and sorts them into classes of identical contents, fingerprinting
// every class from the bytes its files agreed on as they are read; the
// classes of several sets are read side by side (as many as there are MD5
// lanes). keepGoing is asked between chunks and between files. Results are
// per set, in order; when interrupted, every result says so. A file that
// cannot be read in full, grows or shrinks, or whose bytes stop agreeing with
// its class's while it is read, leaves its class. Memory: per class being read, one chunk per part it splits into
// plus one (chunks of at most 64 KiB, shrinking as the set grows). Files are
// opened through open (FileReader::Open when empty), each a few times at
// most, and at most kOpenFilesAtOnce of them at once (one set too large for
// that is read alone).
std::vector<CopyClasses> ConfirmCopySets(const std::vector<CopySet>& sets, FingerprintKinds kinds,
                                         const ContinueCheck& keepGoing = {}, const OpenForReading& open = {});

// ConfirmCopySets for one set.
CopyClasses ConfirmCopies(const std::vector<const Text*>& paths, std::int64_t size, FingerprintKinds kinds,
                          const ContinueCheck& keepGoing = {}, const OpenForReading& open = {});

// Files one ConfirmCopySets call keeps open at once. A larger set is read one
// file at a time and split by a hash of each file's bytes before its parts are
// compared byte by byte.
inline constexpr std::size_t kOpenFilesAtOnce = 64;

// A 64-bit hash of bytes (not a fingerprint: it only spreads chunks over
// buckets before they are compared byte by byte).
std::uint64_t ChunkHash(const std::uint8_t* data, std::size_t size);

}  // namespace vantrel

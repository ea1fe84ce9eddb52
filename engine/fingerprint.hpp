#pragma once
// Content fingerprints of a file and their text forms: MD5 and SHA-1 as lower
// case hex, CRC-32 (zlib's) as upper case hex without leading zeros. A file
// that cannot be opened or read to its end gives the empty text.

#include <atomic>
#include <cstdint>
#include <functional>

#include <memory>
#include <optional>

#include "engine/digest.hpp"
#include "engine/file_system.hpp"
#include "engine/text.hpp"

namespace vantrel {

// Returns the MD5 text of the file's contents, empty when it cannot be read.
Text Md5FileText(const Text& path);
// Returns the SHA1 text of the file's contents, empty when it cannot be read.
Text Sha1FileText(const Text& path);
// Returns the CRC-32 of the file's contents, 0 when it cannot be read.
std::uint32_t Crc32OfFile(const Text& path);
// Returns the CRC32 text of the file, empty when CanOpenFile says 0.
Text FileCrc32Text(const Text& path);

// Formats digest bytes as lower-case hex, two digits a byte.
Text HexDigestText(const std::uint8_t* bytes, std::size_t count);
// Formats a CRC-32 value as upper-case hex without leading zeros ("0" for zero).
Text Crc32Text(std::uint32_t crc);

// Which fingerprints a reading computes besides MD5.
struct FingerprintKinds {
  bool sha1 = false;
  bool crc32 = false;
};

// What one reading of a file produced.
struct FileFingerprints {
  enum class Outcome { Done, Unreadable, Interrupted };
  Outcome outcome = Outcome::Unreadable;
  std::int64_t size = -1;  // the size of the file as it was opened
  Text md5;
  Text sha1;   // empty unless asked for
  Text crc32;  // empty unless asked for
};

// Asked between read chunks; returning false abandons the reading. It may block
// (a paused search waits inside it).
using ContinueCheck = std::function<bool()>;

// Opens a file for reading as FileReader::Open does. The reading stages take
// one, so that a caller may watch or refuse their openings; empty stands for
// FileReader::Open.
using OpenForReading = std::function<bool(FileReader&, const Text&)>;
// Opens reader on path through open, or by FileReader::Open when open is empty.
bool OpenWith(const OpenForReading& open, FileReader& reader, const Text& path);

// Reads the file once and computes MD5 and, when asked, SHA1 and CRC32 from the
// same bytes, giving the texts the single-fingerprint functions give.
// Unreadable: it could not be opened or a read failed part way.
FileFingerprints FingerprintFile(const Text& path, bool withSha1, bool withCrc32,
                                 const ContinueCheck& keepGoing = {});

// The enabled fingerprints of a stream of bytes, as FingerprintFile gives them
// for a file of those bytes. Without MD5 (the MD5 lanes compute it), Finish
// leaves result's md5 alone.
class FingerprintStream {
 public:
  FingerprintStream(bool withSha1, bool withCrc32, bool withMd5 = true);
  // Tells whether every enabled digest could be set up.
  bool Ok() const;
  // Adds bytes to every enabled fingerprint.
  void Update(const std::uint8_t* data, std::size_t size);
  // Writes the texts into result's md5, sha1 and crc32; false when a digest failed.
  bool Finish(FileFingerprints& result);
  // A stream that has taken the same bytes so far (a digest that could not be
  // copied makes it !Ok()).
  std::unique_ptr<FingerprintStream> Copy() const;

 private:
  std::unique_ptr<Digest> md5_;
  std::unique_ptr<Digest> sha1_;
  bool withCrc32_;
  std::uint32_t crc_;
};

// Returns a hash (ChunkHash) of the file's first kFirstBlockBytes, or of all
// of it when it is shorter, so that the files of a size can be sorted by their
// beginnings; nullopt when it cannot be opened or read.
std::optional<std::uint64_t> FirstBlockHash(const Text& path, const OpenForReading& open = {});

// Bytes hashed by FirstBlockHash.
inline constexpr std::size_t kFirstBlockBytes = 4096;

// Bytes read per chunk by FingerprintFile.
inline constexpr std::size_t kFingerprintChunk = 1 << 20;

}  // namespace vantrel

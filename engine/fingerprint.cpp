#include "engine/fingerprint.hpp"

#include <zlib.h>

#include <array>
#include <memory>
#include <new>

#include "engine/confirm_copies.hpp"
#include "engine/digest.hpp"
#include "engine/file_system.hpp"

namespace vantrel {
namespace {

// Reads the file chunk by chunk and hands each chunk to feed. Returns Done when
// the end was reached, Unreadable when the file did not open or a read failed
// (a digest of part of a file must never pass for the file's), Interrupted when
// keepGoing said stop.
template <typename Feed>
FileFingerprints::Outcome ReadInChunks(const Text& path, std::size_t chunk, std::int64_t* size,
                                       Feed&& feed, const ContinueCheck& keepGoing) {
  FileReader reader;
  if (!reader.Open(path)) return FileFingerprints::Outcome::Unreadable;
  if (size) *size = reader.Size();
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[chunk]);
  if (!buffer) return FileFingerprints::Outcome::Unreadable;
  for (;;) {
    if (keepGoing && !keepGoing()) return FileFingerprints::Outcome::Interrupted;
    std::int64_t got = reader.Read(buffer.get(), chunk);
    if (got < 0) return FileFingerprints::Outcome::Unreadable;
    if (got > 0) feed(buffer.get(), static_cast<std::size_t>(got));
    if (static_cast<std::size_t>(got) < chunk) return FileFingerprints::Outcome::Done;
  }
}

Text DigestText(Digest& digest) {
  std::array<std::uint8_t, 20> bytes{};
  std::size_t n = digest.Finish(bytes);
  return n == 0 ? Text() : HexDigestText(bytes.data(), n);
}

Text DigestFileText(const Text& path, DigestKind kind, std::size_t chunk) {
  Digest digest(kind);
  if (!digest.Ok()) return Text();
  auto outcome = ReadInChunks(
      path, chunk, nullptr, [&](const std::uint8_t* data, std::size_t n) { digest.Update(data, n); }, {});
  return outcome == FileFingerprints::Outcome::Done ? DigestText(digest) : Text();
}

struct Crc32Result {
  bool ok = false;
  std::uint32_t value = 0;
};

Crc32Result Crc32OfFileChecked(const Text& path) {
  uLong crc = crc32(0L, Z_NULL, 0);
  auto outcome = ReadInChunks(
      path, 4096, nullptr,
      [&](const std::uint8_t* data, std::size_t n) {
        crc = crc32(crc, data, static_cast<uInt>(n));
      },
      {});
  if (outcome != FileFingerprints::Outcome::Done) return {};
  return {true, static_cast<std::uint32_t>(crc)};
}

}  // namespace

bool OpenWith(const OpenForReading& open, FileReader& reader, const Text& path) {
  return open ? open(reader, path) : reader.Open(path);
}

FileProbe ProbeFile(const Text& path) {
  FileReader reader;
  if (!reader.Open(path)) return {};
  return {true, reader.Size(), reader.Identity()};
}

std::optional<std::uint64_t> FirstBlockHash(const Text& path, const OpenForReading& open) {
  FileReader reader;
  if (!OpenWith(open, reader, path)) return std::nullopt;
  std::uint8_t block[kFirstBlockBytes];
  std::int64_t got = reader.Size() == 0 ? 0 : reader.Read(block, sizeof block);
  if (got < 0) return std::nullopt;
  return ChunkHash(block, static_cast<std::size_t>(got));
}

Text HexDigestText(const std::uint8_t* bytes, std::size_t count) {
  static const char digits[] = "0123456789abcdef";
  Text out;
  out.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(static_cast<Char>(digits[bytes[i] >> 4]));
    out.push_back(static_cast<Char>(digits[bytes[i] & 15]));
  }
  return out;
}

Text Crc32Text(std::uint32_t crc) {
  static const char digits[] = "0123456789ABCDEF";
  Char buffer[8];
  int n = 0;
  do {
    buffer[n++] = static_cast<Char>(digits[crc & 15]);
    crc >>= 4;
  } while (crc != 0);
  Text out;
  while (n > 0) out.push_back(buffer[--n]);
  return out;
}

Text Md5FileText(const Text& path) { return DigestFileText(path, DigestKind::Md5, 1000000); }

Text Sha1FileText(const Text& path) { return DigestFileText(path, DigestKind::Sha1, 524288); }

std::uint32_t Crc32OfFile(const Text& path) { return Crc32OfFileChecked(path).value; }

Text FileCrc32Text(const Text& path) {
  if (CanOpenFile(path) == 0) return Text();
  Crc32Result crc = Crc32OfFileChecked(path);
  return crc.ok ? Crc32Text(crc.value) : Text();
}

FingerprintStream::FingerprintStream(bool withSha1, bool withCrc32, bool withMd5)
    : md5_(withMd5 ? std::make_unique<Digest>(DigestKind::Md5) : nullptr),
      sha1_(withSha1 ? std::make_unique<Digest>(DigestKind::Sha1) : nullptr),
      withCrc32_(withCrc32),
      crc_(static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0))) {}

bool FingerprintStream::Ok() const { return (!md5_ || md5_->Ok()) && (!sha1_ || sha1_->Ok()); }

void FingerprintStream::Update(const std::uint8_t* data, std::size_t size) {
  if (md5_) md5_->Update(data, size);
  if (sha1_) sha1_->Update(data, size);
  if (withCrc32_) {
    // zlib takes 32-bit lengths; the pass's chunks are far below that.
    crc_ = static_cast<std::uint32_t>(crc32(crc_, data, static_cast<uInt>(size)));
  }
}

bool FingerprintStream::Finish(FileFingerprints& result) {
  if (md5_) result.md5 = DigestText(*md5_);
  if (sha1_) result.sha1 = DigestText(*sha1_);
  if (withCrc32_) result.crc32 = Crc32Text(crc_);
  return (!md5_ || !result.md5.empty()) && (!sha1_ || !result.sha1.empty());
}

std::unique_ptr<FingerprintStream> FingerprintStream::Copy() const {
  auto copy = std::make_unique<FingerprintStream>(false, withCrc32_, false);
  if (md5_) copy->md5_ = md5_->Copy();
  if (sha1_) copy->sha1_ = sha1_->Copy();
  copy->crc_ = crc_;
  return copy;
}

FileFingerprints FingerprintFile(const Text& path, bool withSha1, bool withCrc32,
                                 const ContinueCheck& keepGoing) {
  FileFingerprints result;
  FingerprintStream stream(withSha1, withCrc32);
  if (!stream.Ok()) return result;
  result.outcome = ReadInChunks(
      path, kFingerprintChunk, &result.size,
      [&](const std::uint8_t* data, std::size_t n) { stream.Update(data, n); }, keepGoing);
  if (result.outcome != FileFingerprints::Outcome::Done) return result;
  if (!stream.Finish(result)) result.outcome = FileFingerprints::Outcome::Unreadable;
  return result;
}

}  // namespace vantrel

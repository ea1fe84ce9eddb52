// Confirming copies: the files of a set are compared chunk by chunk at equal
// offsets. Each class of files that agreed so far keeps one fingerprint stream,
// fed from its first member's chunk; when a class splits, the part that keeps
// the first member keeps the stream, and any other part of two or more files
// starts its own by reading its first member again up to the split (rare:
// files that share a long beginning and then differ in two ways each).

#include "engine/confirm_copies.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "engine/file_system.hpp"

namespace vantrel {
namespace {

// Chunk bytes per step: small enough that two files' chunks stay in the
// processor's cache while they are compared and hashed.
constexpr std::size_t kStepBytes = 256 * 1024;
// The first step reads one block: most files of a set that differ do so there.
constexpr std::size_t kFirstStepBytes = 4096;
// Bytes of chunks one set may hold at once (the chunk shrinks as sets grow).
constexpr std::size_t kChunkBudget = 8u << 20;
// Above this many files in a class, chunks are found by hash, not by scanning.
constexpr std::size_t kLinearCompareUpTo = 8;

struct Member {
  const Text* path = nullptr;
  FileReader reader;
  FileIdentity identity;
  bool alive = true;
};

struct Class {
  std::vector<std::size_t> members;  // members[0] feeds the stream
  std::unique_ptr<FingerprintStream> stream;
  std::int64_t offset = 0;
};

using Buffer = std::unique_ptr<std::uint8_t[]>;

class SetReader {
 public:
  SetReader(const std::vector<const Text*>& paths, std::int64_t size, FingerprintKinds kinds,
            const ContinueCheck& keepGoing)
      : size_(size), kinds_(kinds), keepGoing_(keepGoing), members_(paths.size()) {
    for (std::size_t i = 0; i < paths.size(); ++i) members_[i].path = paths[i];
    keepOpen_ = paths.size() <= kOpenFilesAtOnce;
    std::size_t chunk = std::clamp<std::size_t>(kChunkBudget / std::max<std::size_t>(paths.size(), 1), kFirstStepBytes,
                                                kStepBytes);
    chunk_ = chunk / kFirstStepBytes * kFirstStepBytes;
  }

  CopyClasses Run() {
    CopyClasses out;
    out.classOf.assign(members_.size(), -1);
    Class all;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (!Continue()) return Interrupted();
      if (OpenChecked(members_[i], true)) all.members.push_back(i);
      if (!keepOpen_) members_[i].reader.Close();
    }
    if (all.members.size() < 2) return out;
    all.stream = NewStream();
    if (!all.stream) return out;
    std::vector<Class> pending;
    pending.push_back(std::move(all));
    while (!pending.empty()) {
      Class c = std::move(pending.back());
      pending.pop_back();
      if (!Advance(c, pending)) return Interrupted();
      if (c.members.size() >= 2 && c.offset == size_) Finish(c, out);
    }
    return out;
  }

 private:
  bool Continue() {
    if (keepGoing_ && !keepGoing_()) interrupted_ = true;
    return !interrupted_;
  }
  CopyClasses Interrupted() {
    CopyClasses out;
    out.interrupted = true;
    return out;
  }

  std::unique_ptr<FingerprintStream> NewStream() {
    auto stream = std::make_unique<FingerprintStream>(kinds_.sha1, kinds_.crc32);
    if (!stream->Ok()) return nullptr;
    return stream;
  }

  // Opens the member; on the first opening learns its identity, later ones
  // must find the same file still of the set's size.
  bool OpenChecked(Member& m, bool first) {
    if (!m.reader.Open(*m.path) || m.reader.Size() != size_) {
      m.reader.Close();
      return false;
    }
    if (first) {
      m.identity = m.reader.Identity();
    } else if (!(m.reader.Identity() == m.identity)) {
      m.reader.Close();
      return false;
    }
    return true;
  }

  // Reads n bytes at offset into buffer; false when the file cannot give them.
  bool ReadAt(Member& m, std::int64_t offset, std::uint8_t* buffer, std::size_t n) {
    if (m.reader.Size() < 0 && (!OpenChecked(m, false) || !m.reader.Seek(offset))) {
      m.reader.Close();
      return false;
    }
    bool ok = m.reader.Read(buffer, n) == static_cast<std::int64_t>(n);
    if (!keepOpen_ || !ok) m.reader.Close();
    return ok;
  }

  // True when the member ends at the set's size (it did not grow meanwhile).
  bool EndsAtSize(Member& m) {
    if (m.reader.Size() < 0 && (!OpenChecked(m, false) || !m.reader.Seek(size_))) return false;
    std::uint8_t probe;
    bool ok = m.reader.Read(&probe, 1) == 0;
    m.reader.Close();
    return ok;
  }

  Buffer TakeBuffer() {
    if (free_.empty()) return Buffer(new std::uint8_t[chunk_]);
    Buffer b = std::move(free_.back());
    free_.pop_back();
    return b;
  }
  void GiveBack(Buffer b) { free_.push_back(std::move(b)); }


  void Drop(std::size_t i) {
    members_[i].alive = false;
    members_[i].reader.Close();
  }

  // Reads c until it ends or splits; a split leaves c empty and pushes the
  // parts of two or more files onto pending. False when interrupted.
  bool Advance(Class& c, std::vector<Class>& pending) {
    std::vector<Buffer> reps;
    std::vector<std::vector<std::size_t>> parts;
    std::unordered_multimap<std::uint64_t, std::size_t> byHash;
    while (c.offset < size_) {
      const std::int64_t left = size_ - c.offset;
      const std::size_t want = c.offset == 0 ? std::min(chunk_, kFirstStepBytes) : chunk_;
      const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(want)));
      const bool hashed = c.members.size() > kLinearCompareUpTo;
      Buffer scratch = TakeBuffer();
      for (std::size_t i : c.members) {
        if (!Continue()) return false;
        if (!ReadAt(members_[i], c.offset, scratch.get(), n)) {
          Drop(i);
          continue;
        }
        std::size_t found = parts.size();
        if (hashed) {
          auto range = byHash.equal_range(ChunkHash(scratch.get(), n));
          for (auto it = range.first; it != range.second && found == parts.size(); ++it)
            if (std::memcmp(reps[it->second].get(), scratch.get(), n) == 0) found = it->second;
          if (found == parts.size()) byHash.emplace(ChunkHash(scratch.get(), n), parts.size());
        } else {
          for (std::size_t j = 0; j < parts.size(); ++j)
            if (std::memcmp(reps[j].get(), scratch.get(), n) == 0) {
              found = j;
              break;
            }
        }
        if (found == parts.size()) {
          reps.push_back(std::move(scratch));
          scratch = TakeBuffer();
          parts.push_back({i});
        } else {
          parts[found].push_back(i);
        }
      }
      GiveBack(std::move(scratch));

      const std::size_t head = c.members.front();
      for (auto& part : parts)
        if (part.size() == 1) Drop(part.front());
      if (parts.size() == 1 && parts[0].size() >= 2 && parts[0].front() == head) {
        // No split: the usual step.
        c.stream->Update(reps[0].get(), n);
        c.members = std::move(parts[0]);
        c.offset += static_cast<std::int64_t>(n);
      } else {
        for (std::size_t j = 0; j < parts.size(); ++j) {
          if (parts[j].size() < 2) continue;
          Class next;
          next.members = std::move(parts[j]);
          next.offset = c.offset;
          if (next.members.front() == head && c.stream) {
            next.stream = std::move(c.stream);
          } else if (!CatchUp(next)) {
            if (interrupted_) return false;
            continue;
          }
          if (next.members.size() < 2) continue;
          next.stream->Update(reps[j].get(), n);
          next.offset += static_cast<std::int64_t>(n);
          pending.push_back(std::move(next));
        }
        c.members.clear();
      }
      for (auto& b : reps) GiveBack(std::move(b));
      reps.clear();
      parts.clear();
      byHash.clear();
      if (c.members.empty()) return true;
    }
    return true;
  }

  // Gives a part that split off its own stream over the bytes before its
  // offset, read again from its first member (or the next, if that fails).
  bool CatchUp(Class& part) {
    while (part.members.size() >= 2) {
      part.stream = NewStream();
      if (!part.stream) return false;
      FileReader again;
      Member& head = members_[part.members.front()];
      bool ok = again.Open(*head.path) && again.Size() == size_ && again.Identity() == head.identity;
      Buffer buffer = TakeBuffer();
      for (std::int64_t at = 0; ok && at < part.offset;) {
        if (!Continue()) return false;
        auto n = static_cast<std::size_t>(std::min<std::int64_t>(part.offset - at, static_cast<std::int64_t>(chunk_)));
        ok = again.Read(buffer.get(), n) == static_cast<std::int64_t>(n);
        if (ok) part.stream->Update(buffer.get(), n);
        at += static_cast<std::int64_t>(n);
      }
      GiveBack(std::move(buffer));
      if (ok) return true;
      Drop(part.members.front());
      part.members.erase(part.members.begin());
    }
    return false;
  }

  void Finish(Class& c, CopyClasses& out) {
    std::vector<std::size_t> kept;
    for (std::size_t i : c.members)
      if (EndsAtSize(members_[i])) kept.push_back(i);
      else Drop(i);
    if (kept.size() < 2) return;
    FileFingerprints f;
    if (!c.stream->Finish(f)) return;
    f.outcome = FileFingerprints::Outcome::Done;
    f.size = size_;
    const int index = static_cast<int>(out.fingerprints.size());
    out.fingerprints.push_back(std::move(f));
    for (std::size_t i : kept) out.classOf[i] = index;
  }

  const std::int64_t size_;
  const FingerprintKinds kinds_;
  const ContinueCheck& keepGoing_;
  std::vector<Member> members_;
  std::vector<Buffer> free_;
  std::size_t chunk_ = kFirstStepBytes;
  bool keepOpen_ = true;
  bool interrupted_ = false;
};

}  // namespace

std::uint64_t ChunkHash(const std::uint8_t* data, std::size_t size) {
  // Eight bytes at a time, multiplied and folded; the tail byte by byte.
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ size;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, data + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 32;
  }
  for (; i < size; ++i) h = (h ^ data[i]) * 0x100000001B3ULL;
  return h ^ (h >> 29);
}

CopyClasses ConfirmCopies(const std::vector<const Text*>& paths, std::int64_t size, FingerprintKinds kinds,
                          const ContinueCheck& keepGoing) {
  return SetReader(paths, size, kinds, keepGoing).Run();
}

}  // namespace vantrel

// Confirming copies: the files of a set are compared chunk by chunk at equal
// offsets, and a class that splits goes on as its parts. Nothing is hashed
// while comparing: once every set of a batch is sorted, one file of each class
// is read again for the fingerprints, beside a copy that must still agree,
// many classes at once, while their pages are still in the cache.

#include "engine/confirm_copies.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "engine/file_system.hpp"
#include "engine/fingerprint_lanes.hpp"

namespace vantrel {
namespace {

// Chunk bytes per step: small enough that the chunks of a set's files stay in
// the processor's cache while they are compared.
constexpr std::size_t kStepBytes = 64 * 1024;
// The first step reads one block: most files of a set that differ do so there.
constexpr std::size_t kFirstStepBytes = 4096;
// Bytes of chunks one set may hold at once (the chunk shrinks as sets grow).
constexpr std::size_t kChunkBudget = 1u << 20;
// Above this many files in a class, chunks are found by hash, not by scanning.
constexpr std::size_t kLinearCompareUpTo = 8;

struct Member {
  const Text* path = nullptr;
  FileReader reader;
  FileIdentity identity;
};

struct Class {
  std::vector<std::size_t> members;  // ascending
  std::int64_t offset = 0;
};

using Buffer = std::unique_ptr<std::uint8_t[]>;

// The classes of one set before they are fingerprinted: each a list of member
// positions, ascending.
struct SortedSet {
  std::vector<std::vector<std::size_t>> classes;
  std::vector<FileIdentity> identities;  // per member, as first opened
  bool interrupted = false;
};

class SetReader {
 public:
  SetReader(const std::vector<const Text*>& paths, std::int64_t size, const ContinueCheck& keepGoing)
      : size_(size), keepGoing_(keepGoing), members_(paths.size()) {
    for (std::size_t i = 0; i < paths.size(); ++i) members_[i].path = paths[i];
    keepOpen_ = paths.size() <= kOpenFilesAtOnce;
    std::size_t chunk = std::clamp<std::size_t>(kChunkBudget / std::max<std::size_t>(paths.size(), 1), kFirstStepBytes,
                                                kStepBytes);
    chunk_ = chunk / kFirstStepBytes * kFirstStepBytes;
  }

  SortedSet Run() {
    SortedSet out;
    Class all;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (!Continue()) return Interrupted();
      if (OpenChecked(members_[i], true)) all.members.push_back(i);
      if (!keepOpen_) members_[i].reader.Close();
    }
    if (all.members.size() >= 2) {
      std::vector<Class> pending;
      pending.push_back(std::move(all));
      while (!pending.empty()) {
        Class c = std::move(pending.back());
        pending.pop_back();
        if (!Advance(c, pending)) return Interrupted();
        if (c.members.size() >= 2 && c.offset == size_) Finish(c, out);
      }
    }
    for (Member& m : members_) {
      m.reader.Close();
      out.identities.push_back(m.identity);
    }
    return out;
  }

 private:
  bool Continue() {
    if (keepGoing_ && !keepGoing_()) interrupted_ = true;
    return !interrupted_;
  }
  SortedSet Interrupted() {
    SortedSet out;
    out.interrupted = true;
    return out;
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

  void Drop(std::size_t i) { members_[i].reader.Close(); }

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
          const std::uint64_t h = ChunkHash(scratch.get(), n);
          auto range = byHash.equal_range(h);
          for (auto it = range.first; it != range.second && found == parts.size(); ++it)
            if (std::memcmp(reps[it->second].get(), scratch.get(), n) == 0) found = it->second;
          if (found == parts.size()) byHash.emplace(h, parts.size());
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
      for (auto& b : reps) GiveBack(std::move(b));
      reps.clear();
      byHash.clear();
      c.offset += static_cast<std::int64_t>(n);

      for (auto& part : parts)
        if (part.size() == 1) Drop(part.front());
      if (parts.size() == 1 && parts[0].size() >= 2) {
        c.members = std::move(parts[0]);  // no split: the usual step
      } else {
        for (auto& part : parts)
          if (part.size() >= 2) pending.push_back({std::move(part), c.offset});
        c.members.clear();
      }
      parts.clear();
      if (c.members.empty()) return true;
    }
    return true;
  }

  void Finish(Class& c, SortedSet& out) {
    std::vector<std::size_t> kept;
    for (std::size_t i : c.members)
      if (EndsAtSize(members_[i])) kept.push_back(i);
      else Drop(i);
    if (kept.size() >= 2) out.classes.push_back(std::move(kept));
  }

  const std::int64_t size_;
  const ContinueCheck& keepGoing_;
  std::vector<Member> members_;
  std::vector<Buffer> free_;
  std::size_t chunk_ = kFirstStepBytes;
  bool keepOpen_ = true;
  bool interrupted_ = false;
};

}  // namespace

std::vector<CopyClasses> ConfirmCopySets(const std::vector<CopySet>& sets, FingerprintKinds kinds,
                                         const ContinueCheck& keepGoing) {
  auto interrupted = [&] {
    std::vector<CopyClasses> out(sets.size());
    for (CopyClasses& c : out) c.interrupted = true;
    return out;
  };
  std::vector<SortedSet> sorted;
  sorted.reserve(sets.size());
  for (const CopySet& set : sets) {
    sorted.push_back(SetReader(set.paths, set.size, keepGoing).Run());
    if (sorted.back().interrupted) return interrupted();
  }

  // One file of each class is fingerprinted, read beside the next one, which
  // must still hold the same bytes: a file rewritten in place since the
  // comparison keeps its size and identity, and its new bytes' texts must not
  // be shown for its copies. A class whose file no longer reads as it was
  // compared, or no longer agrees with its witness, loses that file and tries
  // its next two; a class left with one file is no class.
  struct Pending {
    std::size_t set, cls;
  };
  std::vector<std::vector<FileFingerprints>> prints(sets.size());
  for (std::size_t s = 0; s < sets.size(); ++s) prints[s].resize(sorted[s].classes.size());
  std::vector<Pending> round;
  for (std::size_t s = 0; s < sets.size(); ++s)
    for (std::size_t k = 0; k < sorted[s].classes.size(); ++k) round.push_back({s, k});
  while (!round.empty()) {
    std::vector<LaneFile> files;
    files.reserve(round.size());
    for (const Pending& p : round) {
      const std::vector<std::size_t>& members = sorted[p.set].classes[p.cls];
      const std::size_t head = members[0], witness = members[1];
      files.push_back({sets[p.set].paths[head], sets[p.set].size, sorted[p.set].identities[head],
                       sets[p.set].paths[witness], sorted[p.set].identities[witness]});
    }
    std::vector<FileFingerprints> got = FingerprintFilesTogether(files, kinds, keepGoing);
    std::vector<Pending> again;
    for (std::size_t j = 0; j < round.size(); ++j) {
      const Pending& p = round[j];
      std::vector<std::size_t>& members = sorted[p.set].classes[p.cls];
      if (got[j].outcome == FileFingerprints::Outcome::Interrupted) return interrupted();
      if (got[j].outcome == FileFingerprints::Outcome::Done) {
        prints[p.set][p.cls] = std::move(got[j]);
        continue;
      }
      members.erase(members.begin());
      if (members.size() >= 2) again.push_back(p);
      else members.clear();
    }
    round = std::move(again);
  }

  std::vector<CopyClasses> out(sets.size());
  for (std::size_t s = 0; s < sets.size(); ++s) {
    out[s].classOf.assign(sets[s].paths.size(), -1);
    for (std::size_t k = 0; k < sorted[s].classes.size(); ++k) {
      if (sorted[s].classes[k].empty()) continue;
      const int index = static_cast<int>(out[s].fingerprints.size());
      out[s].fingerprints.push_back(std::move(prints[s][k]));
      for (std::size_t m : sorted[s].classes[k]) out[s].classOf[m] = index;
    }
  }
  return out;
}

CopyClasses ConfirmCopies(const std::vector<const Text*>& paths, std::int64_t size, FingerprintKinds kinds,
                          const ContinueCheck& keepGoing) {
  std::vector<CopySet> sets(1);
  sets[0].paths = paths;
  sets[0].size = size;
  return std::move(ConfirmCopySets(sets, kinds, keepGoing).front());
}

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

}  // namespace vantrel

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

// Sorts one set into classes. A set of up to kOpenFilesAtOnce files is read
// with every file open, a chunk of each at a time. A larger one is first read
// one file at a time, each in full, and split by a hash of its bytes; each
// part is then compared byte by byte: with all its files open when it is small
// enough, else against its first file, two files open at a time. So every
// file is opened a few times at most, never once per chunk, and no more than
// kOpenFilesAtOnce files are open at once.
class SetReader {
 public:
  SetReader(const std::vector<const Text*>& paths, std::int64_t size, const ContinueCheck& keepGoing,
            const OpenForReading& open)
      : size_(size), keepGoing_(keepGoing), open_(open), members_(paths.size()) {
    for (std::size_t i = 0; i < paths.size(); ++i) members_[i].path = paths[i];
    const std::size_t atOnce = std::min(paths.size(), kOpenFilesAtOnce);
    std::size_t chunk = std::clamp<std::size_t>(kChunkBudget / std::max<std::size_t>(atOnce, 1), kFirstStepBytes,
                                                kStepBytes);
    chunk_ = chunk / kFirstStepBytes * kFirstStepBytes;
  }

  SortedSet Run() {
    SortedSet out;
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < members_.size(); ++i) all.push_back(i);
    const bool done = members_.size() <= kOpenFilesAtOnce ? CompareOpen(all, true, out) : SplitByHash(all, out);
    if (!done) return Interrupted();
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
    if (!OpenWith(open_, m.reader, *m.path) || m.reader.Size() != size_) {
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

  // Reads n bytes into buffer from the open member; false when it cannot give them.
  static bool ReadFull(Member& m, std::uint8_t* buffer, std::size_t n) {
    return m.reader.Read(buffer, n) == static_cast<std::int64_t>(n);
  }

  // True when the open member ends where it is read to (it did not grow meanwhile).
  static bool EndsHere(Member& m) {
    std::uint8_t probe;
    return m.reader.Read(&probe, 1) == 0;
  }

  Buffer TakeBuffer() {
    if (free_.empty()) return Buffer(new std::uint8_t[chunk_]);
    Buffer b = std::move(free_.back());
    free_.pop_back();
    return b;
  }
  void GiveBack(Buffer b) { free_.push_back(std::move(b)); }

  void Drop(std::size_t i) { members_[i].reader.Close(); }

  // Compares the given members (at most kOpenFilesAtOnce) with all of them
  // open, from their first byte; first: this is their first opening. False
  // when interrupted.
  bool CompareOpen(const std::vector<std::size_t>& which, bool first, SortedSet& out) {
    Class all;
    for (std::size_t i : which) {
      if (!Continue()) return false;
      if (OpenChecked(members_[i], first)) all.members.push_back(i);
    }
    if (all.members.size() >= 2) {
      std::vector<Class> pending;
      pending.push_back(std::move(all));
      while (!pending.empty()) {
        Class c = std::move(pending.back());
        pending.pop_back();
        if (!Advance(c, pending)) return false;
        if (c.members.size() >= 2 && c.offset == size_) Finish(c, out);
      }
    }
    for (std::size_t i : which) Drop(i);
    return true;
  }

  // A set too large to keep open: each file is opened once and hashed in full,
  // and the files that share a hash are compared. False when interrupted.
  bool SplitByHash(const std::vector<std::size_t>& which, SortedSet& out) {
    std::vector<std::pair<std::uint64_t, std::size_t>> hashes;
    hashes.reserve(which.size());
    Buffer buffer(new std::uint8_t[kStepBytes]);
    for (std::size_t i : which) {
      if (!Continue()) return false;
      Member& m = members_[i];
      if (!OpenChecked(m, true)) continue;
      std::uint64_t h = 0;
      std::int64_t left = size_;
      bool ok = true;
      while (ok && left > 0) {
        if (!Continue()) return false;
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(kStepBytes)));
        ok = ReadFull(m, buffer.get(), n);
        h = ChunkHash(buffer.get(), n) ^ (h * 0x9E3779B97F4A7C15ULL + (h >> 17));
        left -= static_cast<std::int64_t>(n);
      }
      ok = ok && EndsHere(m);
      m.reader.Close();
      if (ok) hashes.push_back({h, i});
    }
    std::sort(hashes.begin(), hashes.end());
    for (std::size_t a = 0; a < hashes.size();) {
      std::size_t b = a + 1;
      while (b < hashes.size() && hashes[b].first == hashes[a].first) ++b;
      if (b - a >= 2) {
        std::vector<std::size_t> part;
        for (std::size_t k = a; k < b; ++k) part.push_back(hashes[k].second);
        if (!(part.size() <= kOpenFilesAtOnce ? CompareOpen(part, false, out) : CompareWithFirst(part, out)))
          return false;
      }
      a = b;
    }
    return true;
  }

  // Compares every file of a part against its first file, two files open at a
  // time; the files that differ from it (a hash that met other bytes, or a file
  // that changed) go on as a part of their own. False when interrupted.
  bool CompareWithFirst(std::vector<std::size_t> part, SortedSet& out) {
    Buffer mine(new std::uint8_t[kStepBytes]), theirs(new std::uint8_t[kStepBytes]);
    while (part.size() >= 2) {
      if (!Continue()) return false;
      Member& head = members_[part[0]];
      std::vector<std::size_t> same, rest;
      if (OpenChecked(head, false)) {
        same.push_back(part[0]);
        for (std::size_t k = 1; k < part.size(); ++k) {
          Member& m = members_[part[k]];
          if (!Continue()) return false;
          if (!OpenChecked(m, false)) continue;
          bool equal = head.reader.Seek(0);
          for (std::int64_t at = 0; equal && at < size_;) {
            if (!Continue()) return false;
            const auto n =
                static_cast<std::size_t>(std::min<std::int64_t>(size_ - at, static_cast<std::int64_t>(kStepBytes)));
            equal = ReadFull(head, mine.get(), n) && ReadFull(m, theirs.get(), n) &&
                    std::memcmp(mine.get(), theirs.get(), n) == 0;
            at += static_cast<std::int64_t>(n);
          }
          if (equal && EndsHere(m)) same.push_back(part[k]);
          else rest.push_back(part[k]);
          m.reader.Close();
        }
        const bool headEnds = head.reader.Seek(size_) && EndsHere(head);
        head.reader.Close();
        if (!headEnds) {
          // The first file grew: the others may still agree among themselves.
          same.erase(same.begin());
          rest.insert(rest.end(), same.begin(), same.end());
          std::sort(rest.begin(), rest.end());
          same.clear();
        }
      } else {
        rest.assign(part.begin() + 1, part.end());
      }
      if (same.size() >= 2) out.classes.push_back(std::move(same));
      part = std::move(rest);
    }
    return true;
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
        if (!ReadFull(members_[i], scratch.get(), n)) {
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
    for (std::size_t i : c.members) {
      if (EndsHere(members_[i])) kept.push_back(i);
      Drop(i);
    }
    if (kept.size() >= 2) out.classes.push_back(std::move(kept));
  }

  const std::int64_t size_;
  const ContinueCheck& keepGoing_;
  const OpenForReading& open_;
  std::vector<Member> members_;
  std::vector<Buffer> free_;
  std::size_t chunk_ = kFirstStepBytes;
  bool interrupted_ = false;
};

}  // namespace

std::vector<CopyClasses> ConfirmCopySets(const std::vector<CopySet>& sets, FingerprintKinds kinds,
                                         const ContinueCheck& keepGoing, const OpenForReading& open) {
  auto interrupted = [&] {
    std::vector<CopyClasses> out(sets.size());
    for (CopyClasses& c : out) c.interrupted = true;
    return out;
  };
  std::vector<SortedSet> sorted;
  sorted.reserve(sets.size());
  for (const CopySet& set : sets) {
    sorted.push_back(SetReader(set.paths, set.size, keepGoing, open).Run());
    if (sorted.back().interrupted) return interrupted();
  }

  // One file of each class (its head) is fingerprinted, read beside another
  // (its witness), which must still hold the same bytes: a file rewritten in
  // place since the comparison keeps its size and identity, and its new bytes'
  // texts must not be shown for its copies. When the two no longer agree, the
  // pair alone cannot tell which one changed: the head tries the class's next
  // file as its witness, and the witnesses it disagreed with leave the class
  // once it agrees with one; a head that agrees with none leaves the class
  // itself, and the rest try again. A class left with one file is no class.
  struct Pending {
    std::size_t set, cls;
    std::size_t witness = 1;  // position of the witness in the class's members
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
      const std::size_t head = members[0], witness = members[p.witness];
      files.push_back({sets[p.set].paths[head], sets[p.set].size, sorted[p.set].identities[head],
                       sets[p.set].paths[witness], sorted[p.set].identities[witness]});
    }
    std::vector<FileFingerprints> got = FingerprintFilesTogether(files, kinds, keepGoing, open);
    std::vector<Pending> again;
    for (std::size_t j = 0; j < round.size(); ++j) {
      Pending p = round[j];
      std::vector<std::size_t>& members = sorted[p.set].classes[p.cls];
      if (got[j].outcome == FileFingerprints::Outcome::Interrupted) return interrupted();
      if (got[j].outcome == FileFingerprints::Outcome::Done) {
        // The witnesses before this one disagreed with a head that still
        // agrees with a copy: they are the files that changed.
        members.erase(members.begin() + 1, members.begin() + static_cast<std::ptrdiff_t>(p.witness));
        prints[p.set][p.cls] = std::move(got[j]);
        continue;
      }
      if (p.witness + 1 < members.size()) {
        ++p.witness;
        again.push_back(p);
        continue;
      }
      members.erase(members.begin());
      if (members.size() >= 2) again.push_back({p.set, p.cls, 1});
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
                          const ContinueCheck& keepGoing, const OpenForReading& open) {
  std::vector<CopySet> sets(1);
  sets[0].paths = paths;
  sets[0].size = size;
  return std::move(ConfirmCopySets(sets, kinds, keepGoing, open).front());
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

// Confirming copies: the files of a set are compared chunk by chunk at equal
// offsets, and a class that splits goes on as its parts. Each class's bytes
// are fingerprinted as they are compared, from the chunk its files agreed on,
// so the texts are those of the very bytes every file of the class showed.
// MD5 runs in SIMD lanes, one class in each, so a batch's classes are read
// side by side: each step reads one chunk of every class in reading, then
// hashes all of those chunks at once.

#include "engine/confirm_copies.hpp"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <unordered_map>

#include "engine/file_system.hpp"
#include "engine/md5_lanes.hpp"

namespace vantrel {
namespace {

// Chunk bytes per step: small enough that the chunks of a set's files stay in
// the processor's cache while they are compared.
constexpr std::size_t kStepBytes = 64 * 1024;
// Steps are multiples of this (the sets' files already agree on their first
// block), so the classes' bytes go to MD5 in whole 64-byte blocks until their
// last step.
constexpr std::size_t kStepGranule = 4096;
// Bytes of chunks one set may hold at once (the chunk shrinks as sets grow).
constexpr std::size_t kChunkBudget = 1u << 20;
// Above this many files in a class, chunks are found by hash, not by scanning.
constexpr std::size_t kLinearCompareUpTo = 8;
constexpr std::size_t kMd5Block = 64;

using Buffer = std::unique_ptr<std::uint8_t[]>;

struct Member {
  const Text* path = nullptr;
  FileReader reader;
  FileIdentity identity;  // learnt at the first opening when it will be opened again
  bool open = false;
};

// One set of the batch and what was found in it.
struct SetState {
  std::int64_t size = 0;
  std::size_t chunk = kStepGranule;  // bytes per step
  std::unique_ptr<Member[]> members;
  std::size_t files = 0;
  std::vector<std::vector<std::size_t>> classes;  // each ascending
  std::vector<FileFingerprints> prints;           // per class
};

// Files of one set that agree on every byte read so far, and their
// fingerprints up to there.
struct Reading {
  std::size_t set = 0;
  std::vector<std::size_t> members;  // ascending
  std::int64_t offset = 0;
  Md5State md5{};
  std::unique_ptr<FingerprintStream> others;  // SHA-1 and CRC-32, when asked for
  Buffer bytes;          // the bytes of the last step, which its files agreed on
  std::size_t held = 0;  // how many
};

// Files of a set still to be opened and read together.
struct Waiting {
  std::size_t set = 0;
  std::vector<std::size_t> members;  // ascending
  bool first = true;                 // none of them was opened before
};

// Sorts the sets of a batch into classes of identical bytes and fingerprints
// the classes. A set of up to kOpenFilesAtOnce files is read with every file
// open, a chunk of each at a time, beside other sets' classes: as many as
// there are MD5 lanes, as far as kOpenFilesAtOnce open files allow. A larger
// set is first read one file at a time, each in full, and split by a hash of
// its bytes; each part is then read like a small set when it is small enough,
// else against its first file, two files open at a time. So every file is
// opened a few times at most, never once per chunk, and no more than
// kOpenFilesAtOnce files are open at once.
class BatchReader {
 public:
  BatchReader(const std::vector<CopySet>& sets, FingerprintKinds kinds, const ContinueCheck& keepGoing,
              const OpenForReading& open)
      : kinds_(kinds), keepGoing_(keepGoing), open_(open), sets_(sets.size()) {
    for (std::size_t s = 0; s < sets.size(); ++s) {
      SetState& set = sets_[s];
      set.size = sets[s].size;
      set.files = sets[s].paths.size();
      set.members.reset(new Member[set.files]);
      for (std::size_t i = 0; i < sets[s].paths.size(); ++i) set.members[i].path = sets[s].paths[i];
      const std::size_t atOnce = std::min(sets[s].paths.size(), kOpenFilesAtOnce);
      const std::size_t chunk = std::clamp<std::size_t>(kChunkBudget / std::max<std::size_t>(atOnce, 1),
                                                        kStepGranule, kStepBytes);
      set.chunk = chunk / kStepGranule * kStepGranule;
    }
    lanes_ = std::clamp<std::size_t>(Md5LaneWidth(), 1, kMd5MaxLanes);
  }

  // The classes of every set, in order; all interrupted when keepGoing said stop.
  std::vector<CopyClasses> Run() {
    // Longest first, so the long files do not run on alone at the end.
    std::vector<std::size_t> order(sets_.size());
    for (std::size_t s = 0; s < order.size(); ++s) order[s] = s;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return sets_[a].size > sets_[b].size; });
    for (std::size_t s : order) {
      Waiting w;
      w.set = s;
      for (std::size_t i = 0; i < sets_[s].files; ++i) w.members.push_back(i);
      if (w.members.size() >= 2) waiting_.push_back(std::move(w));
    }
    std::vector<Reading> reading, next;
    for (;;) {
      if (!Admit(reading)) return Interrupted();
      if (reading.empty()) break;
      next.clear();
      for (Reading& r : reading)
        if (!Step(r, next)) return Interrupted();
      HashSteps(next);
      reading.clear();
      for (Reading& r : next) {
        if (r.offset == sets_[r.set].size) Finish(r);
        GiveBack(r.set, std::move(r.bytes));
        if (r.offset < sets_[r.set].size) reading.push_back(std::move(r));
      }
    }
    std::vector<CopyClasses> out(sets_.size());
    for (std::size_t s = 0; s < sets_.size(); ++s) {
      out[s].classOf.assign(sets_[s].files, -1);
      for (std::size_t k = 0; k < sets_[s].classes.size(); ++k) {
        for (std::size_t m : sets_[s].classes[k]) out[s].classOf[m] = static_cast<int>(k);
        out[s].fingerprints.push_back(std::move(sets_[s].prints[k]));
      }
    }
    return out;
  }

 private:
  bool Continue() {
    if (keepGoing_ && !keepGoing_()) interrupted_ = true;
    return !interrupted_;
  }
  std::vector<CopyClasses> Interrupted() const {
    std::vector<CopyClasses> out(sets_.size());
    for (CopyClasses& c : out) c.interrupted = true;
    return out;
  }

  // Opens the member; a first opening learns its identity when asked to
  // (the file will be opened again), a later one must find the same file.
  // Both must find it of the set's size.
  bool OpenChecked(SetState& set, std::size_t i, bool first, bool learn) {
    Member& m = set.members[i];
    if (!OpenWith(open_, m.reader, *m.path) || m.reader.Size() != set.size) {
      m.reader.Close();
      return false;
    }
    if (first) {
      if (learn) m.identity = m.reader.Identity();
    } else if (!(m.reader.Identity() == m.identity)) {
      m.reader.Close();
      return false;
    }
    m.open = true;
    ++openFiles_;
    return true;
  }

  void Drop(SetState& set, std::size_t i) {
    Member& m = set.members[i];
    m.reader.Close();
    if (m.open) --openFiles_;
    m.open = false;
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

  Buffer TakeBuffer(std::size_t set) {
    std::vector<Buffer>& pool = free_[sets_[set].chunk];
    if (pool.empty()) return Buffer(new std::uint8_t[sets_[set].chunk]);
    Buffer b = std::move(pool.back());
    pool.pop_back();
    return b;
  }
  void GiveBack(std::size_t set, Buffer b) {
    if (b) free_[sets_[set].chunk].push_back(std::move(b));
  }

  // Opens waiting files into readings while fewer classes are in reading
  // than there are MD5 lanes and their files fit in kOpenFilesAtOnce (one
  // set always goes in when nothing is being read). A set too large to open
  // at once is split first. False when interrupted.
  bool Admit(std::vector<Reading>& reading) {
    while (!waiting_.empty()) {
      Waiting& front = waiting_.front();
      if (!reading.empty() &&
          (reading.size() >= lanes_ || openFiles_ + front.members.size() > kOpenFilesAtOnce))
        return true;
      Waiting w = std::move(front);
      waiting_.pop_front();
      SetState& set = sets_[w.set];
      if (w.members.size() > kOpenFilesAtOnce) {
        if (!(w.first ? SplitByHash(w) : CompareWithFirst(w))) return false;
        continue;
      }
      Reading r;
      r.set = w.set;
      for (std::size_t i : w.members) {
        if (!Continue()) return false;
        if (OpenChecked(set, i, w.first, false)) r.members.push_back(i);
      }
      if (r.members.size() < 2) {
        for (std::size_t i : r.members) Drop(set, i);
        continue;
      }
      Md5Start(r.md5);
      if (kinds_.sha1 || kinds_.crc32)
        r.others = std::make_unique<FingerprintStream>(kinds_.sha1, kinds_.crc32, /*withMd5=*/false);
      reading.push_back(std::move(r));
    }
    return true;
  }

  // Reads the next chunk of every file of r and sorts them by their bytes:
  // each group of two or more goes on into next (r itself when none split
  // off), holding the chunk its files agree on; a file alone, unreadable or
  // short is dropped. False when interrupted.
  bool Step(Reading& r, std::vector<Reading>& next) {
    SetState& set = sets_[r.set];
    if (r.offset == set.size) {  // nothing to read (files of no bytes)
      next.push_back(std::move(r));
      return true;
    }
    const std::int64_t left = set.size - r.offset;
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(set.chunk)));
    const bool hashed = r.members.size() > kLinearCompareUpTo;
    std::vector<Buffer> reps;
    std::vector<std::vector<std::size_t>> parts;
    std::unordered_multimap<std::uint64_t, std::size_t> byHash;
    Buffer scratch = TakeBuffer(r.set);
    for (std::size_t i : r.members) {
      if (!Continue()) return false;
      if (!ReadFull(set.members[i], scratch.get(), n)) {
        Drop(set, i);
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
        scratch = TakeBuffer(r.set);
        parts.push_back({i});
      } else {
        parts[found].push_back(i);
      }
    }
    GiveBack(r.set, std::move(scratch));
    r.offset += static_cast<std::int64_t>(n);
    // The parts take the class's fingerprints so far, as their bytes up to
    // here are the class's: the last of them takes r's own, the others copies.
    std::size_t goingOn = 0;
    for (auto& part : parts) goingOn += part.size() >= 2 ? 1 : 0;
    for (std::size_t j = 0; j < parts.size(); ++j) {
      if (parts[j].size() < 2) {
        for (std::size_t i : parts[j]) Drop(set, i);
        GiveBack(r.set, std::move(reps[j]));
        continue;
      }
      Reading part;
      part.set = r.set;
      part.members = std::move(parts[j]);
      part.offset = r.offset;
      part.md5 = r.md5;
      if (--goingOn > 0) {
        if (r.others) part.others = r.others->Copy();
      } else {
        part.others = std::move(r.others);
      }
      part.bytes = std::move(reps[j]);
      part.held = n;
      next.push_back(std::move(part));
    }
    return true;
  }

  // Advances the fingerprints of every reading over the bytes it holds: MD5
  // in lanes over the whole blocks, the last partial block left for Finish.
  void HashSteps(std::vector<Reading>& readings) {
    struct Lane {
      Reading* reading;
      const std::uint8_t* at;
      std::size_t blocks;
    };
    std::vector<Lane> todo;
    for (Reading& r : readings) {
      if (r.others && r.held > 0) r.others->Update(r.bytes.get(), r.held);
      if (r.held >= kMd5Block) todo.push_back({&r, r.bytes.get(), r.held / kMd5Block});
    }
    // The readings with the most blocks go together, a call's worth at a
    // time, each call as far as the fewest of its readings hold; so the
    // lanes of a call stay busy for as long as the blocks allow.
    Md5State states[kMd5MaxLanes];
    const std::uint8_t* data[kMd5MaxLanes];
    while (!todo.empty()) {
      std::stable_sort(todo.begin(), todo.end(), [](const Lane& a, const Lane& b) { return a.blocks > b.blocks; });
      for (std::size_t first = 0; first < todo.size(); first += kMd5MaxLanes) {
        const std::size_t count = std::min(kMd5MaxLanes, todo.size() - first);
        const std::size_t fewest = todo[first + count - 1].blocks;
        for (std::size_t j = 0; j < count; ++j) {
          states[j] = todo[first + j].reading->md5;
          data[j] = todo[first + j].at;
        }
        Md5Blocks(states, data, count, fewest);
        for (std::size_t j = 0; j < count; ++j) {
          Lane& lane = todo[first + j];
          lane.reading->md5 = states[j];
          lane.at += fewest * kMd5Block;
          lane.blocks -= fewest;
        }
      }
      todo.erase(std::remove_if(todo.begin(), todo.end(), [](const Lane& l) { return l.blocks == 0; }), todo.end());
    }
  }


  // True when the open member ends where it is read to (it did not grow
  // meanwhile) and its path still leads to it (it was not deleted or
  // replaced at its name while it was read): the path holds the bytes read.
  static bool EndsHereAsNamed(Member& m) { return EndsHere(m) && m.reader.StillAt(*m.path); }

  // A reading that reached the set's size: its files that end there, still
  // at their paths, are a class when two or more are, with the texts of the
  // bytes they agreed on.
  void Finish(Reading& r) {
    SetState& set = sets_[r.set];
    std::vector<std::size_t> kept;
    for (std::size_t i : r.members) {
      if (EndsHereAsNamed(set.members[i])) kept.push_back(i);
      Drop(set, i);
    }
    if (kept.size() < 2) return;
    const std::size_t tail = r.held % kMd5Block;
    const std::uint8_t none = 0;
    const std::uint8_t* last = r.bytes ? r.bytes.get() + (r.held - tail) : &none;
    FileFingerprints f;
    if (!Fingerprints(r.md5, last, tail, set.size, r.others.get(), f)) return;
    set.classes.push_back(std::move(kept));
    set.prints.push_back(std::move(f));
  }

  // Finishes MD5 over the tail and the other texts into f; false when a digest failed.
  static bool Fingerprints(Md5State md5, const std::uint8_t* tail, std::size_t tailBytes, std::int64_t size,
                           FingerprintStream* others, FileFingerprints& f) {
    std::uint8_t digest[16];
    Md5End(md5, tail, tailBytes, static_cast<std::uint64_t>(size), digest);
    if (others && !others->Finish(f)) return false;
    f.md5 = HexDigestText(digest, sizeof digest);
    f.size = size;
    f.outcome = FileFingerprints::Outcome::Done;
    return true;
  }

  // A set too large to keep open: each file is opened once and hashed in full,
  // and the files that share a hash wait to be compared. False when interrupted.
  bool SplitByHash(const Waiting& w) {
    SetState& set = sets_[w.set];
    std::vector<std::pair<std::uint64_t, std::size_t>> hashes;
    hashes.reserve(w.members.size());
    Buffer buffer(new std::uint8_t[kStepBytes]);
    for (std::size_t i : w.members) {
      if (!Continue()) return false;
      Member& m = set.members[i];
      if (!OpenChecked(set, i, true, true)) continue;
      std::uint64_t h = 0;
      std::int64_t left = set.size;
      bool ok = true;
      while (ok && left > 0) {
        if (!Continue()) return false;
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(kStepBytes)));
        ok = ReadFull(m, buffer.get(), n);
        h = ChunkHash(buffer.get(), n) ^ (h * 0x9E3779B97F4A7C15ULL + (h >> 17));
        left -= static_cast<std::int64_t>(n);
      }
      ok = ok && EndsHere(m);
      Drop(set, i);
      if (ok) hashes.push_back({h, i});
    }
    std::sort(hashes.begin(), hashes.end());
    for (std::size_t a = 0; a < hashes.size();) {
      std::size_t b = a + 1;
      while (b < hashes.size() && hashes[b].first == hashes[a].first) ++b;
      if (b - a >= 2) {
        Waiting part;
        part.set = w.set;
        part.first = false;
        for (std::size_t k = a; k < b; ++k) part.members.push_back(hashes[k].second);
        std::sort(part.members.begin(), part.members.end());
        waiting_.push_front(std::move(part));
      }
      a = b;
    }
    return true;
  }

  // Compares every file of a part against its first file, two files open at a
  // time; the files that differ from it (a hash that met other bytes, or a file
  // that changed) go on as a part of their own. The first file's texts come
  // from its first pass; each later pass must find it with the same bytes
  // (by a hash of its chunks), or it leaves the class. False when interrupted.
  bool CompareWithFirst(const Waiting& w) {
    SetState& set = sets_[w.set];
    std::vector<std::size_t> part = w.members;
    Buffer mine(new std::uint8_t[kStepBytes]), theirs(new std::uint8_t[kStepBytes]);
    while (part.size() >= 2) {
      if (!Continue()) return false;
      const std::size_t headAt = part[0];
      Member& head = set.members[headAt];
      std::vector<std::size_t> same, rest;
      std::vector<std::uint64_t> headChunks;  // the hash of each chunk of its first pass
      Md5State md5;
      Md5Start(md5);
      std::unique_ptr<FingerprintStream> others;
      if (kinds_.sha1 || kinds_.crc32)
        others = std::make_unique<FingerprintStream>(kinds_.sha1, kinds_.crc32, /*withMd5=*/false);
      std::uint8_t tail[kMd5Block];  // its last bytes short of a whole block
      std::size_t tailBytes = 0;
      bool headSound = OpenChecked(set, headAt, false, false);
      if (headSound) {
        same.push_back(headAt);
        for (std::size_t k = 1; headSound && k < part.size(); ++k) {
          if (!Continue()) return false;
          const bool firstPass = k == 1;
          const bool theirsOpen = OpenChecked(set, part[k], false, false);
          Member& m = set.members[part[k]];
          bool equal = theirsOpen;
          headSound = head.reader.Seek(0);
          std::size_t chunk = 0;
          for (std::int64_t at = 0; headSound && at < set.size; ++chunk) {
            if (!Continue()) return false;
            const auto n = static_cast<std::size_t>(
                std::min<std::int64_t>(set.size - at, static_cast<std::int64_t>(kStepBytes)));
            headSound = ReadFull(head, mine.get(), n);
            if (!headSound) break;
            const std::uint64_t h = ChunkHash(mine.get(), n);
            if (firstPass) {
              headChunks.push_back(h);
              const std::uint8_t* bytes = mine.get();
              Md5Blocks(&md5, &bytes, 1, n / kMd5Block);
              if (others) others->Update(bytes, n);
              tailBytes = n % kMd5Block;
              std::memcpy(tail, bytes + (n - tailBytes), tailBytes);
            } else {
              headSound = headChunks[chunk] == h;
            }
            equal = equal && ReadFull(m, theirs.get(), n) && std::memcmp(mine.get(), theirs.get(), n) == 0;
            at += static_cast<std::int64_t>(n);
          }
          headSound = headSound && EndsHereAsNamed(head);
          if (equal && EndsHereAsNamed(m)) same.push_back(part[k]);
          else rest.push_back(part[k]);
          if (theirsOpen) Drop(set, part[k]);
        }
        Drop(set, headAt);
      }
      if (headSound && same.size() >= 2) {
        FileFingerprints f;
        if (Fingerprints(md5, tail, tailBytes, set.size, others.get(), f)) {
          set.classes.push_back(std::move(same));
          set.prints.push_back(std::move(f));
        }
        part = std::move(rest);
      } else {
        // The first file is unreadable or changed: the others may still agree among themselves.
        part.erase(part.begin());
      }
    }
    return true;
  }

  const FingerprintKinds kinds_;
  const ContinueCheck& keepGoing_;
  const OpenForReading& open_;
  std::vector<SetState> sets_;
  std::deque<Waiting> waiting_;
  std::unordered_map<std::size_t, std::vector<Buffer>> free_;  // by chunk size
  std::size_t lanes_ = 1;
  std::size_t openFiles_ = 0;
  bool interrupted_ = false;
};

}  // namespace

std::vector<CopyClasses> ConfirmCopySets(const std::vector<CopySet>& sets, FingerprintKinds kinds,
                                         const ContinueCheck& keepGoing, const OpenForReading& open) {
  return BatchReader(sets, kinds, keepGoing, open).Run();
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

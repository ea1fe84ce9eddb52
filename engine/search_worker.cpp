// The detection pass. The steps keep the observable results of the simple
// quadratic pass (which files are reported, the rows and their order, the
// progress values) while sorting and hashing instead of comparing every pair,
// reading each file once for all its fingerprints, and never reading a file in
// full when its size or its first block already shows it has no twin.

#include "engine/search_worker.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <system_error>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "engine/file_system.hpp"
#include "engine/size_text.hpp"

namespace vantrel {

PassIo PassIo::Platform() {
  PassIo io;
  io.probe = ProbeFile;
  io.firstBlock = [](const Text& path) { return FirstBlockHash(path); };
  io.confirm = [](const std::vector<CopySet>& sets, FingerprintKinds kinds, const ContinueCheck& keepGoing) {
    return ConfirmCopySets(sets, kinds, keepGoing);
  };
  return io;
}

void SearchRun::Post(std::function<void(SearchWindow&)> fn) {
  // The task holds the run, so it stays valid whenever the window runs it.
  SearchWindow* target = window;
  auto self = shared_from_this();
  window->PostToWindow([self, target, fn = std::move(fn)] {
    if (self->live.load()) fn(*target);
  });
}

bool SearchRun::PostAndWait(std::function<void(SearchWindow&)> fn, bool last) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  SearchGate* gateOf = &gate;
  SearchRun* self = this;
  Post([done, gateOf, self, last, fn = std::move(fn)](SearchWindow& w) {
    fn(w);
    done->store(true);
    gateOf->Notify();
    if (last && self->live.load()) self->End(w);
  });
  return gate.WaitFor([&] { return done->load(); });
}

void SearchRun::PostLast(std::function<void(SearchWindow&)> fn) {
  SearchRun* self = this;
  Post([self, fn = std::move(fn)](SearchWindow& w) {
    fn(w);
    self->End(w);
  });
}

void SearchRun::End(SearchWindow& w) {
  over.store(true);
  w.SearchStateChanged();
}

int ProgressValue(std::int64_t counter, float divisor) {
  if (!(divisor > 0.0f)) return 0;
  double value = static_cast<double>(counter) / static_cast<double>(divisor) / 2.0;
  return static_cast<int>(std::nearbyint(value));  // the default rounding: half to even
}

std::vector<SizeEntry> SelectEqualSizes(const std::vector<SizeEntry>& sorted,
                                        const std::function<void(std::size_t)>& each) {
  std::vector<SizeEntry> out;
  std::size_t run = 0;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (i > 0 && sorted[i].size == sorted[i - 1].size) {
      out.push_back(sorted[i]);
      ++run;
    } else {
      if (run == 1) out.pop_back();  // the previous size turned out to be alone
      out.push_back(sorted[i]);
      run = 1;
    }
    if (each) each(i);
  }
  if (run == 1) out.pop_back();
  return out;
}

namespace {

struct IdentityHash {
  std::size_t operator()(const FileIdentity& id) const {
    return std::hash<std::uint64_t>()((id.volume * 0x9E3779B97F4A7C15ULL ^ id.index) * 31 ^ id.indexHigh);
  }
};

enum : std::uint8_t { kLinkUnknown, kLink, kNotLink };

// A candidate as the pass holds it, one for every readable candidate at once,
// so it is packed: the path stays in the candidate list and the entry only
// points to it, the identity's fields lie inline, and the first block's hash
// is cut to 32 bits (it only sorts files into buckets that are compared).
struct PassEntry {
  Text* path = nullptr;
  std::int64_t size = 0;
  std::uint64_t volume = 0, index = 0, indexHigh = 0;
  std::uint32_t firstBlockHash = 0;  // 0: none
  bool known = false;                // the identity was read
  std::uint8_t link = kLinkUnknown;  // whether the path is a symbolic link, once asked
  FileIdentity Identity() const { return {known, volume, index, indexHigh}; }
  void SetIdentity(const FileIdentity& id) {
    known = id.known;
    volume = id.volume;
    index = id.index;
    indexHigh = id.indexHigh;
  }
};

// The probe's hash as a 32-bit key that is never 0 (0 stands for none).
std::uint32_t FirstBlockKey(std::uint64_t hash) {
  return static_cast<std::uint32_t>(hash ^ (hash >> 32)) | 1u;
}

// As SelectEqualSizes, in place: the kept entries move to the front.
void KeepEqualSizes(std::vector<PassEntry>& sorted, const std::function<void(std::size_t)>& each) {
  std::size_t out = 0;
  const std::size_t n = sorted.size();
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i;
    while (j < n && sorted[j].size == sorted[i].size) ++j;
    if (j - i >= 2)
      for (std::size_t k = i; k < j; ++k, ++out)
        if (out != k) sorted[out] = std::move(sorted[k]);
    if (each)
      for (std::size_t k = i; k < j; ++k) each(k);
    i = j;
  }
  sorted.resize(out);
}

bool IsLink(PassEntry& e) {
  if (e.link == kLinkUnknown) e.link = IsSymbolicLink(*e.path) ? kLink : kNotLink;
  return e.link == kLink;
}

// As DistinctFiles, in place; false when keepGoing said stop. Of the paths of
// one file, the first that is not a symbolic link stands for it (the first
// path when all are links): a link met before its target never hides the
// target's own path. Links are asked about only for files met twice.
bool KeepDistinctFiles(std::vector<PassEntry>& entries, const std::function<bool()>& keepGoing) {
  // An open-addressed table of positions: no allocation per file.
  std::size_t capacity = 16;
  while (capacity < entries.size() * 2) capacity *= 2;
  constexpr std::uint32_t kEmpty = static_cast<std::uint32_t>(-1);
  std::vector<std::uint32_t> table(capacity, kEmpty);
  std::unordered_set<Text> seenPaths;  // files whose identity is not known (rare)
  std::vector<std::uint32_t> replaced;  // kept links that a later path of their file took over
  IdentityHash hash;
  std::size_t out = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (keepGoing && (i & 1023) == 0 && !keepGoing()) return false;
    const FileIdentity id = entries[i].Identity();
    bool first;
    if (id.known) {
      std::size_t slot = hash(id) & (capacity - 1);
      while (table[slot] != kEmpty && !(entries[table[slot]].Identity() == id))
        slot = (slot + 1) & (capacity - 1);
      first = table[slot] == kEmpty;
      if (!first && IsLink(entries[table[slot]]) && !IsLink(entries[i])) {
        replaced.push_back(table[slot]);
        first = true;
      }
      if (first) table[slot] = static_cast<std::uint32_t>(out);
    } else {
      first = seenPaths.insert(*entries[i].path).second;
    }
    if (!first) continue;
    if (out != i) entries[out] = std::move(entries[i]);
    ++out;
  }
  entries.resize(out);
  if (!replaced.empty()) {
    std::sort(replaced.begin(), replaced.end());
    std::size_t kept = 0, r = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (r < replaced.size() && replaced[r] == i) {
        ++r;
        continue;
      }
      if (kept != i) entries[kept] = std::move(entries[i]);
      ++kept;
    }
    entries.resize(kept);
  }
  return keepGoing ? keepGoing() : true;
}

}  // namespace

std::vector<SizeEntry> DistinctFiles(const std::vector<SizeEntry>& entries,
                                     const std::function<bool()>& keepGoing) {
  // One path names one file, so the identity alone decides; the path text
  // decides only for files whose identity cannot be read.
  std::vector<SizeEntry> out;
  out.reserve(entries.size());
  std::unordered_set<FileIdentity, IdentityHash> seenFiles;
  std::unordered_set<TextView> seenPaths;
  seenFiles.reserve(entries.size());
  for (const SizeEntry& e : entries) {
    if (keepGoing && !keepGoing()) return {};
    const FileIdentity& id = e.identity;
    bool first = id.known ? seenFiles.insert(id).second : seenPaths.insert(TextView(e.path)).second;
    if (first) out.push_back(e);
  }
  return out;
}

Text ExtensionOf(const Text& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    Char c = path[i - 1];
    if (c == static_cast<Char>('\\') || c == static_cast<Char>('/')) return Text();
    if (c == static_cast<Char>('.')) {
      std::size_t end = path.find(static_cast<Char>('"'), i);
      return path.substr(i, end == Text::npos ? Text::npos : end - i);
    }
  }
  return Text();
}

bool PassesTypeFilter(const Text& path, const Text& fileTypes) {
  if (fileTypes.empty()) return true;
  Text extension = ExtensionOf(path);
  if (extension.empty()) return false;
  const Char space = static_cast<Char>(' ');
  Text haystack = space + fileTypes + space;
  Text needle = space + extension + space;
  return haystack.find(needle) != Text::npos;
}

ResultRowList GroupRows(std::vector<FileEntry>& entries, std::size_t* groups,
                        const std::function<bool()>& keepGoing) {
  const std::size_t n = entries.size();
  // Files agree when size text and every fingerprint agree; firstOfKey names
  // each such set by the position of its first member.
  auto sameKey = [&](std::size_t a, std::size_t b) {
    const FileEntry& x = entries[a];
    const FileEntry& y = entries[b];
    return x.md5 == y.md5 && x.sizeText == y.sizeText && x.crc32 == y.crc32 && x.sha1 == y.sha1;
  };
  auto keyHash = [&](std::size_t a) {
    const FileEntry& x = entries[a];
    std::hash<Text> h;
    std::size_t v = h(x.md5);
    for (const Text* t : {&x.sizeText, &x.crc32, &x.sha1}) v = v * 1000003u ^ h(*t);
    return v;
  };
  std::unordered_map<std::size_t, std::size_t, decltype(keyHash), decltype(sameKey)> keyIndex(
      n, keyHash, sameKey);
  std::vector<std::size_t> firstOfKey(n);
  std::vector<std::size_t> members(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    auto [it, inserted] = keyIndex.emplace(i, i);
    firstOfKey[i] = it->second;
    ++members[it->second];
  }
  if (keepGoing && !keepGoing()) return {};

  // Descending MD5 text; files of one MD5 stay in admission order, except that
  // sets which only share the MD5 (a collision) stay apart as their own groups.
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    int c = entries[a].md5.compare(entries[b].md5);
    if (c != 0) return c > 0;
    return firstOfKey[a] < firstOfKey[b];
  });

  std::size_t shown = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (members[firstOfKey[i]] >= 2) ++shown;
  ResultRowList rows;
  rows.reserve(shown * kResultColumns);
  std::size_t group = 0;
  std::size_t lastKey = n;  // none yet
  Text groupText;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = order[k];
    if (members[firstOfKey[i]] < 2) continue;
    if (firstOfKey[i] != lastKey) {
      lastKey = firstOfKey[i];
      groupText = DecimalText(static_cast<std::int64_t>(++group));
    }
    // Each entry is written once, so its texts can move into the row.
    FileEntry& e = entries[i];
    rows.push_back(groupText);
    rows.push_back(std::move(e.path));
    rows.push_back(FormatSizeText(e.size));
    rows.push_back(e.md5);
    rows.push_back(std::move(e.sha1));
    rows.push_back(std::move(e.crc32));
  }
  if (groups) *groups = group;
  return rows;
}

namespace {

// Posts progress values to the window, each value once.
class ProgressBar {
 public:
  explicit ProgressBar(SearchRun& run) : run_(run) {}
  void Offer(int value) {
    if (value < 1 || value == last_) return;
    last_ = value;
    run_.Post([value](SearchWindow& w) { w.SetProgress(value); });
  }
  void Offer(int value, int offset) {
    if (value >= 1) Offer(value + offset);
  }

 private:
  SearchRun& run_;
  int last_ = 0;
};

void InsertRows(SearchWindow& w, const ResultRowList& cells) { w.InsertResultRows(cells); }

// Walks every directory of the search list and admits what it finds.
bool WalkAndAdmit(SearchRun& r, const std::function<bool()>& keepGoing) {
  std::size_t found = 0;
  for (const Text& directory : r.searchList) {
    if (!keepGoing()) return false;
    // Each row of the search list is walked in full, even inside another row
    // (the pass then keeps one path per file); within a row no folder is
    // walked twice, so links to ancestors cannot make the walk endless.
    WalkedDirectories walked;
    WalkControl control{keepGoing, &walked, r.io.directoryReached};
    std::size_t from = r.scanList->size();
    if (r.settings->searchSubdirectories == 1)
      ScanDirectoryTree(*r.slots, *r.scanList, directory, 0, control);
    else
      ScanDirectoryFiles(*r.slots, *r.scanList, directory, control);
    if (!keepGoing()) return false;
    found += r.scanList->size() - from;
    if (r.flavour == SearchFlavour::Windows) {
      AdmitByAttributes(*r.scanList, from, r.settings->attributeCode, *r.candidateList, control);
    } else if (r.candidateList->empty()) {
      // Every file found is a candidate: the list changes hands, no path is copied.
      r.candidateList->swap(*r.scanList);
      r.scanList->clear();
    } else {
      r.candidateList->insert(r.candidateList->end(),
                              std::make_move_iterator(r.scanList->begin() + static_cast<std::ptrdiff_t>(from)),
                              std::make_move_iterator(r.scanList->end()));
      r.scanList->erase(r.scanList->begin() + static_cast<std::ptrdiff_t>(from), r.scanList->end());
    }
  }
  r.stats.filesFound = found;
  r.scanList->clear();
  return keepGoing();
}

// The second half of the bar: one step for each file that passed the filters,
// in their order, whichever thread read them.
class SecondHalf {
 public:
  SecondHalf(ProgressBar& bar, float divisor) : bar_(bar), divisor_(divisor) {}
  void Step() { bar_.Offer(ProgressValue(++counter_, divisor_), 50); }

 private:
  ProgressBar& bar_;
  float divisor_;
  std::int64_t counter_ = 0;
};

// Reads each file that may have a twin on its own through io.fingerprint, in
// order, on the worker alone; files are then grouped by their texts.
bool ReadOneByOne(SearchRun& r, const std::function<bool()>& keepGoing, std::vector<PassEntry>& passing,
                  FingerprintKinds kinds, SecondHalf& second, FingerprintList& fingerprintList) {
  const PassIo& io = r.io;
  // Which files can have a twin: a size that only one file has cannot, and
  // neither can a larger file whose first block differs from all its peers'.
  std::unordered_map<std::int64_t, std::vector<std::size_t>> bySize;
  for (std::size_t i = 0; i < passing.size(); ++i) bySize[passing[i].size].push_back(i);
  enum : std::uint8_t { kUnknown, kAlone, kMaybeTwin };
  std::vector<std::uint8_t> verdict(passing.size(), kUnknown);
  auto screen = [&](const std::vector<std::size_t>& peers) -> bool {
    if (peers.size() < 2) {
      for (std::size_t j : peers) verdict[j] = kAlone;
      return true;
    }
    if (passing[peers[0]].size <= static_cast<std::int64_t>(kFirstBlockBytes)) {
      for (std::size_t j : peers) verdict[j] = kMaybeTwin;
      return true;
    }
    std::vector<std::optional<std::uint64_t>> hashes;
    std::unordered_map<std::uint64_t, int> seen;
    for (std::size_t j : peers) {
      if (!keepGoing()) return false;
      hashes.push_back(io.firstBlock(*passing[j].path));
      if (hashes.back()) ++seen[*hashes.back()];
    }
    for (std::size_t k = 0; k < peers.size(); ++k)
      verdict[peers[k]] = hashes[k] && seen[*hashes[k]] >= 2 ? kMaybeTwin : kAlone;
    return true;
  };

  if (io.stageReached) io.stageReached(kStageFingerprints);
  for (std::size_t i = 0; i < passing.size(); ++i) {
    if (!keepGoing()) return false;
    if (verdict[i] == kUnknown && !screen(bySize[passing[i].size])) return false;
    if (verdict[i] == kMaybeTwin) {
      // The reading's own open is the readability probe: a file that does not
      // open, or cannot be read to its end, gets no entry and is never grouped.
      const Text& path = *passing[i].path;
      FileFingerprints f = io.fingerprint(path, kinds.sha1, kinds.crc32, keepGoing);
      if (f.outcome == FileFingerprints::Outcome::Interrupted) return false;
      if (f.outcome == FileFingerprints::Outcome::Done && f.size >= 0)
        fingerprintList.push_back({path, DecimalText(f.size), std::move(f.md5), std::move(f.crc32),
                                   std::move(f.sha1), f.size});
    }
    second.Step();
  }
  return true;
}

// Runs job(i) for every i below count on the worker and `helpers` helper
// threads; the worker calls between() after each of its jobs. The helpers take
// the worker's priority and look at the same pause count and stop flag between
// chunks, so Pause and Stop hold them all. False when a job was stopped.
bool ShareOut(SearchRun& r, std::size_t count, const std::function<bool(std::size_t)>& job,
              const std::function<void()>& between, std::size_t helpers = 1) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  auto work = [&](bool onWorker) {
    while (!stopped.load()) {
      std::size_t i = next.fetch_add(1);
      if (i >= count) return;
      if (!job(i)) {
        stopped.store(true);
        return;
      }
      if (onWorker && between) between();
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t h = 0; h < helpers && h + 1 < count; ++h) {
    try {
      threads.emplace_back([&] {
        if (r.onWorkerStart) r.onWorkerStart();
        work(false);
      });
    } catch (const std::system_error&) {
      break;  // fewer threads: the worker and those made do every job
    }
  }
  work(true);
  for (std::thread& t : threads) t.join();
  return !stopped.load();
}

// Batches of sets for the reading threads: about this many in a pass, none
// smaller than kMinBatchBytes of files nor holding more than kMaxSetsPerBatch sets.
constexpr std::uint64_t kBatchesPerPass = 32;
constexpr std::size_t kProbeHelpers = kProbeThreads - 1;
constexpr std::uint64_t kMinBatchBytes = 4u << 20;
constexpr std::size_t kMaxSetsPerBatch = 1024;

// Reads the files that may have a twin set by set (one set: the files of one
// size), two threads at a time, and builds the rows from the classes of
// identical files that ConfirmCopySets finds.
bool ReadSetsTogether(SearchRun& r, const std::function<bool()>& keepGoing, std::vector<PassEntry>& passing,
                      FingerprintKinds kinds, SecondHalf& second, ResultRowList& rows) {
  const PassIo& io = r.io;
  struct SizeRun {
    std::size_t begin, end;
  };
  std::vector<SizeRun> runs;  // passing is sorted by size
  for (std::size_t i = 0; i < passing.size();) {
    std::size_t j = i + 1;
    while (j < passing.size() && passing[j].size == passing[i].size) ++j;
    runs.push_back({i, j});
    i = j;
  }

  // Only a file of a size that another passing file shares can still have a
  // twin: its first block is read now, and only now, on the probing threads
  // (on a cold disk these small reads are most of the waiting), and the files
  // of one size are split by it. A file whose first block cannot be read is
  // dropped.
  std::vector<std::uint32_t> toRead;
  std::vector<std::size_t> screened;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    if (runs[k].end - runs[k].begin < 2) continue;
    screened.push_back(k);
    for (std::size_t m = runs[k].begin; m < runs[k].end; ++m) toRead.push_back(static_cast<std::uint32_t>(m));
  }
  constexpr std::size_t kReadBlock = 256;
  auto readFirstBlocks = [&](std::size_t b) {
    const std::size_t end = std::min(toRead.size(), (b + 1) * kReadBlock);
    for (std::size_t i = b * kReadBlock; i < end; ++i) {
      if (!keepGoing()) return false;
      PassEntry& e = passing[toRead[i]];
      std::optional<std::uint64_t> h = io.firstBlock(*e.path);
      e.firstBlockHash = h ? FirstBlockKey(*h) : 0;
    }
    return true;
  };
  if (!ShareOut(r, (toRead.size() + kReadBlock - 1) / kReadBlock, readFirstBlocks, {}, kProbeHelpers)) return false;
  std::vector<std::uint32_t>().swap(toRead);
  // Members of the sets, as positions in passing: each run of one size owns
  // its stretch of `members`, where screening leaves the files of each bucket
  // of shared first-block hashes together (bucketStart marks where each
  // begins) and keptOf says how many files went on.
  std::vector<std::uint32_t> members(passing.size());
  for (std::size_t i = 0; i < members.size(); ++i) members[i] = static_cast<std::uint32_t>(i);
  std::vector<std::uint8_t> bucketStart(passing.size(), 0);
  std::vector<std::uint32_t> keptOf(screened.size(), 0);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> hashes;
  for (std::size_t s = 0; s < screened.size(); ++s) {
    if (!keepGoing()) return false;
    const SizeRun& run = runs[screened[s]];
    hashes.clear();
    for (std::size_t m = run.begin; m < run.end; ++m)
      if (passing[m].firstBlockHash != 0) hashes.push_back({passing[m].firstBlockHash, static_cast<std::uint32_t>(m)});
    std::sort(hashes.begin(), hashes.end());
    std::size_t out = run.begin;
    for (std::size_t a = 0; a < hashes.size();) {
      std::size_t b = a + 1;
      while (b < hashes.size() && hashes[b].first == hashes[a].first) ++b;
      if (b - a >= 2) {
        bucketStart[out] = 1;
        for (std::size_t k = a; k < b; ++k) members[out++] = hashes[k].second;
      }
      a = b;
    }
    keptOf[s] = static_cast<std::uint32_t>(out - run.begin);
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(hashes);

  struct Task {
    std::uint32_t run;
    std::uint32_t begin, end;  // its members: members[begin..end), ascending
  };
  std::vector<Task> tasks;
  std::unique_ptr<std::atomic<int>[]> remaining(new std::atomic<int>[runs.size()]());
  for (std::size_t k = 0, s = 0; k < runs.size(); ++k) {
    const SizeRun& run = runs[k];
    const auto runIndex = static_cast<std::uint32_t>(k);
    if (s < screened.size() && screened[s] == k) {
      const std::size_t end = run.begin + keptOf[s];
      int sets = 0;
      for (std::size_t a = run.begin; a < end;) {
        std::size_t b = a + 1;
        while (b < end && !bucketStart[b]) ++b;
        tasks.push_back({runIndex, static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)});
        ++sets;
        a = b;
      }
      remaining[k].store(sets);
      ++s;
    }
  }
  std::vector<std::uint8_t>().swap(bucketStart);
  std::vector<std::uint32_t>().swap(keptOf);
  auto sizeOf = [&](const Task& task) { return passing[members[task.begin]].size; };
  auto bytesOf = [&](const Task& task) {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(sizeOf(task), 1)) * (task.end - task.begin);
  };

  // The sets go out in batches, each batch to one thread: its sets are
  // compared and then all their classes fingerprinted together, so the MD5
  // lanes have many files to work on. Batches are cut by bytes, many more
  // than there are threads, so neither thread is left alone with a long tail.
  std::uint64_t totalBytes = 0;
  for (const Task& task : tasks) totalBytes += bytesOf(task);
  const std::uint64_t batchBytes = std::max<std::uint64_t>(totalBytes / kBatchesPerPass, kMinBatchBytes);
  std::vector<std::size_t> batchStart;  // first task of each batch
  std::uint64_t bytes = 0;
  for (std::size_t t = 0; t < tasks.size(); ++t) {
    if (t == 0 || bytes >= batchBytes || t - batchStart.back() >= kMaxSetsPerBatch) {
      batchStart.push_back(t);
      bytes = 0;
    }
    bytes += bytesOf(tasks[t]);
  }
  batchStart.push_back(tasks.size());

  // The bar moves over the sets in their order, as far as they are all read.
  std::size_t nextRun = 0;
  auto advance = [&] {
    while (nextRun < runs.size() && remaining[nextRun].load(std::memory_order_acquire) == 0) {
      for (std::size_t m = runs[nextRun].begin; m < runs[nextRun].end; ++m) second.Step();
      ++nextRun;
    }
  };
  advance();
  // What the batches found: each file's class (an index into prints) and
  // each class's fingerprints; a batch's own lists go as soon as it is done.
  constexpr std::uint32_t kNoClass = static_cast<std::uint32_t>(-1);
  std::vector<std::uint32_t> classOf(passing.size(), kNoClass);
  std::vector<FileFingerprints> prints;
  std::mutex printsMutex;
  auto read = [&](std::size_t b) {
    std::vector<CopySet> sets;
    for (std::size_t t = batchStart[b]; t < batchStart[b + 1]; ++t) {
      CopySet set;
      set.size = sizeOf(tasks[t]);
      set.paths.reserve(tasks[t].end - tasks[t].begin);
      for (std::uint32_t j = tasks[t].begin; j < tasks[t].end; ++j) set.paths.push_back(passing[members[j]].path);
      sets.push_back(std::move(set));
    }
    std::vector<CopyClasses> results = io.confirm(sets, kinds, keepGoing);
    if (results.size() != sets.size()) return false;
    for (const CopyClasses& result : results)
      if (result.interrupted) return false;
    {
      std::lock_guard lock(printsMutex);
      for (std::size_t t = batchStart[b]; t < batchStart[b + 1]; ++t) {
        CopyClasses& result = results[t - batchStart[b]];
        const std::size_t base = prints.size();
        for (FileFingerprints& f : result.fingerprints) prints.push_back(std::move(f));
        for (std::size_t j = 0; j < result.classOf.size(); ++j)
          if (result.classOf[j] >= 0)
            classOf[members[tasks[t].begin + j]] =
                static_cast<std::uint32_t>(base + static_cast<std::size_t>(result.classOf[j]));
      }
    }
    for (std::size_t t = batchStart[b]; t < batchStart[b + 1]; ++t)
      remaining[tasks[t].run].fetch_sub(1, std::memory_order_release);
    return true;
  };
  if (!ShareOut(r, batchStart.size() - 1, read, advance)) return false;
  if (!keepGoing()) return false;
  advance();

  if (r.io.stageReached) r.io.stageReached(kStageOutput);

  std::vector<Task>().swap(tasks);
  std::vector<std::uint32_t>().swap(members);

  // Rows: classes by descending MD5 text, classes of one MD5 text (a
  // collision) by their first file; within a class the files keep their order.
  struct FoundClass {
    std::size_t first = static_cast<std::size_t>(-1);  // position in passing of its first file
    std::size_t count = 0;
    std::size_t start = 0;  // where its files begin in the rows
  };
  std::vector<FoundClass> classes(prints.size());
  for (std::size_t i = 0; i < passing.size(); ++i) {
    if (classOf[i] == kNoClass) continue;
    FoundClass& c = classes[classOf[i]];
    c.first = std::min(c.first, i);
    ++c.count;
  }
  std::vector<std::size_t> order(classes.size());
  for (std::size_t g = 0; g < order.size(); ++g) order[g] = g;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    int c = prints[a].md5.compare(prints[b].md5);
    if (c != 0) return c > 0;
    return classes[a].first < classes[b].first;
  });
  if (!keepGoing()) return false;
  std::size_t total = 0;
  for (std::size_t g : order) {
    classes[g].start = total;
    total += classes[g].count;
  }
  // The paths of the files in classes move out in row order; every other
  // entry and path goes before the rows are built.
  std::vector<Text> memberPaths(total);
  {
    std::vector<std::size_t> fill(classes.size());
    for (std::size_t g = 0; g < classes.size(); ++g) fill[g] = classes[g].start;
    for (std::size_t i = 0; i < passing.size(); ++i)
      if (classOf[i] != kNoClass) memberPaths[fill[classOf[i]]++] = std::move(*passing[i].path);
  }
  std::vector<std::uint32_t>().swap(classOf);
  std::vector<PassEntry>().swap(passing);
  CandidateList().swap(*r.candidateList);  // the paths of the files in no class
  rows.clear();
  rows.reserve(total * kResultColumns);
  std::size_t group = 0;
  for (std::size_t g : order) {
    FoundClass& c = classes[g];
    FileFingerprints& f = prints[g];
    const Text groupText = DecimalText(static_cast<std::int64_t>(++group));
    Text sizeText = FormatSizeText(f.size);
    // Every file of the class shows the same texts: copies for all but the
    // last file, which takes them.
    for (std::size_t k = 0; k < c.count; ++k) {
      const bool last = k + 1 == c.count;
      auto take = [last](Text& t) -> Text {
        if (last) return std::move(t);
        return t;
      };
      rows.push_back(groupText);
      rows.push_back(std::move(memberPaths[c.start + k]));
      rows.push_back(take(sizeText));
      rows.push_back(take(f.md5));
      rows.push_back(take(f.sha1));
      rows.push_back(take(f.crc32));
    }
  }
  r.stats.groups = group;
  return keepGoing();
}

// The pass's steps 1 to 3 after the walk: sizes, selection, reading, rows.
// Returns false when the search was stopped.
bool DetectDuplicates(SearchRun& r, const std::function<bool()>& keepGoing, ResultRowList& rows) {
  const PassIo& io = r.io;
  SearchSettings& settings = *r.settings;
  auto stage = [&io](int which) {
    if (io.stageReached) io.stageReached(which);
  };
  CandidateList& candidates = *r.candidateList;
  r.stats.candidates = candidates.size();
  ProgressBar progress(r);

  // Readable files with their sizes; the first half of the bar counts them
  // against every candidate, readable or not. One opening of each file tells
  // readability, size and identity. The worker and its probing helpers take
  // a block of candidates at a time; each probe goes straight into its entry,
  // and unreadable entries are then squeezed out. The paths stay where they
  // are, in the candidate list, until the rows take them; the list's spare
  // room from the walk goes first.
  candidates.shrink_to_fit();
  std::vector<PassEntry> sizeList(candidates.size());
  std::vector<std::uint8_t> readable(candidates.size(), 0);
  constexpr std::size_t kProbeBlock = 256;
  auto probeBlock = [&](std::size_t b) {
    const std::size_t end = std::min(candidates.size(), (b + 1) * kProbeBlock);
    for (std::size_t i = b * kProbeBlock; i < end; ++i) {
      if (!keepGoing()) return false;
      FileProbe probe = io.probe(candidates[i]);
      if (!probe.readable) continue;
      readable[i] = 1;
      PassEntry& e = sizeList[i];
      e.size = probe.size;
      e.SetIdentity(probe.identity);
    }
    return true;
  };
  if (!ShareOut(r, (candidates.size() + kProbeBlock - 1) / kProbeBlock, probeBlock, {}, kProbeHelpers)) return false;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!readable[i]) continue;
    if (kept != i) sizeList[kept] = sizeList[i];
    sizeList[kept++].path = &candidates[i];
  }
  sizeList.resize(kept);
  readable = {};
  const float firstDivisor = static_cast<float>(static_cast<double>(candidates.size()) / 100.0);

  // Largest first, files of one size in candidate order: the paths lie in the
  // candidate list in that order, so their addresses break ties and the sort
  // needs no buffer beside the entries.
  std::sort(sizeList.begin(), sizeList.end(), [](const PassEntry& a, const PassEntry& b) {
    return a.size != b.size ? a.size > b.size : std::less<const Text*>()(a.path, b.path);
  });
  std::int64_t firstCounter = 0;
  KeepEqualSizes(sizeList, [&](std::size_t) { progress.Offer(ProgressValue(++firstCounter, firstDivisor)); });
  if (!keepGoing()) return false;
  if (!KeepDistinctFiles(sizeList, keepGoing)) return false;

  // Size limits, strict at both ends; an upper limit of 0 means none at all.
  // The sizes are those of the probe: a file that changes from here on is
  // caught when it is read (its size is taken again then).
  const std::int64_t lower = settings.minSize != 0 ? settings.minSize : -1;
  const bool hasUpper = settings.maxSize != 0;
  const std::int64_t upper = settings.maxSize;
  std::vector<PassEntry>& passing = sizeList;
  kept = 0;
  for (PassEntry& e : passing) {
    if (!keepGoing()) return false;
    if (e.size < 0 || e.size <= lower || (hasUpper && e.size >= upper)) continue;
    if (!PassesTypeFilter(*e.path, settings.fileTypes)) continue;
    if (&passing[kept] != &e) passing[kept] = std::move(e);
    ++kept;
  }
  passing.resize(kept);
  const float secondDivisor = static_cast<float>(static_cast<double>(passing.size()) / 100.0);
  SecondHalf second(progress, secondDivisor);
  const FingerprintKinds kinds{settings.sha1Enabled == 1, settings.crc32Enabled == 1};
  if (io.fingerprint) {
    FingerprintList fingerprintList;
    if (!ReadOneByOne(r, keepGoing, passing, kinds, second, fingerprintList)) return false;
    passing.clear();
    candidates.clear();
    stage(kStageOutput);
    rows = GroupRows(fingerprintList, &r.stats.groups, keepGoing);
    return keepGoing();
  }
  stage(kStageFingerprints);
  if (!ReadSetsTogether(r, keepGoing, passing, kinds, second, rows)) return false;
  candidates.clear();  // the rows have taken the paths they show
  return true;
}

}  // namespace

int SearchWorker(const std::shared_ptr<SearchRun>& run) {
  SearchRun& r = *run;
  if (r.onWorkerStart) r.onWorkerStart();
  auto keepGoing = [&r] { return r.gate.Checkpoint(); };
  const PassIo& io = r.io;
  SearchSettings& settings = *r.settings;
  auto stage = [&io](int which) {
    if (io.stageReached) io.stageReached(which);
  };
  stage(kStageWalk);
  if (r.walkOnWorker && !WalkAndAdmit(r, keepGoing)) return 0;
  stage(kStageSizes);
  ResultRowList rows;
  if (!DetectDuplicates(r, keepGoing, rows)) return 0;
  const std::size_t rowCount = rows.size() / kResultColumns;
  r.stats.rows = rowCount;

  // Completion: every window change goes through the window's thread, in the
  // order each program shows it; a Stop from here on discards what is queued.
  // The shared lists are already empty (the pass emptied them).
  auto resultRowList = std::make_shared<ResultRowList>(std::move(rows));
  settings.minSize = 0;
  settings.maxSize = 0;
  if (r.flavour == SearchFlavour::Windows) {
    if (rowCount > 0) r.Post([resultRowList](SearchWindow& w) { InsertRows(w, *resultRowList); });
    r.Post([](SearchWindow& w) { w.SetProgress(0); });
    if (rowCount == 0 && !r.PostAndWait([](SearchWindow& w) { w.ShowNoDuplicates(); })) return 0;
    r.PostLast([rowCount](SearchWindow& w) {
      w.SetPanelEnabled(true);
      if (rowCount > 0) w.SelectPanelTab(1);
    });
  } else {
    r.Post([](SearchWindow& w) { w.SetProgress(0); });
    // The Mac programs hand over the box, or the tab, the panel and the rows,
    // in one call each, and go on only once the window has taken it.
    SearchRun* self = &r;
    bool handedOver = rowCount == 0 ? r.PostAndWait(
                                          [self](SearchWindow& w) {
                                            w.ShowNoDuplicates();
                                            // The box is modal: a Stop (and a new
                                            // search) may have come while it showed.
                                            if (self->live.load()) w.SetPanelEnabled(true);
                                          },
                                          true)
                                    : r.PostAndWait(
                                          [resultRowList](SearchWindow& w) {
                                            w.SelectPanelTab(1);
                                            w.SetPanelEnabled(true);
                                            InsertRows(w, *resultRowList);
                                          },
                                          true);
    if (!handedOver) return 0;
  }
  return 1;
}

}  // namespace vantrel

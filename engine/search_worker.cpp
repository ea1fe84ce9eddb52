// The detection pass. The steps keep the observable results of the simple
// quadratic pass (which files are reported, the rows and their order, the
// progress values) while sorting and hashing instead of comparing every pair,
// reading each file once for all its fingerprints, and never reading a file in
// full when its size or its first block already shows it has no twin.

#include "engine/search_worker.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "engine/file_system.hpp"
#include "engine/size_text.hpp"

namespace vantrel {

PassIo PassIo::Platform() {
  PassIo io;
  io.probe = ProbeFile;
  io.prefixHash = FilePrefixHash;
  io.fingerprint = FingerprintFile;
  return io;
}

std::optional<std::uint64_t> FilePrefixHash(const Text& path) {
  FileReader reader;
  if (!reader.Open(path)) return std::nullopt;
  std::uint8_t buffer[kPrefixBytes];
  std::int64_t got = reader.Read(buffer, sizeof buffer);
  if (got < 0) return std::nullopt;
  std::uint64_t hash = 1469598103934665603ULL;  // FNV-1a
  for (std::int64_t i = 0; i < got; ++i) {
    hash ^= buffer[i];
    hash *= 1099511628211ULL;
  }
  return hash;
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
    if (r.flavour == SearchFlavour::Windows) {
      AdmitByAttributes(*r.scanList, from, r.settings->attributeCode, *r.candidateList, control);
    } else {
      r.candidateList->insert(r.candidateList->end(), r.scanList->begin() + static_cast<std::ptrdiff_t>(from),
                              r.scanList->end());
    }
  }
  r.stats.filesFound = r.scanList->size();
  r.scanList->clear();
  return keepGoing();
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
  CandidateList& candidates = *r.candidateList;
  r.stats.candidates = candidates.size();
  ProgressBar progress(r);

  // Readable files with their sizes; the first half of the bar counts them
  // against every candidate, readable or not. One opening of each file tells
  // readability, size and identity.
  SizeList sizeList;
  for (const Text& path : candidates) {
    if (!keepGoing()) return 0;
    FileProbe probe = io.probe(path);
    if (probe.readable) sizeList.push_back({path, probe.size, probe.identity});
  }
  const float firstDivisor = static_cast<float>(static_cast<double>(candidates.size()) / 100.0);
  candidates.clear();

  std::stable_sort(sizeList.begin(), sizeList.end(),
                   [](const SizeEntry& a, const SizeEntry& b) { return a.size > b.size; });
  std::int64_t firstCounter = 0;
  std::vector<SizeEntry> shared = SelectEqualSizes(sizeList, [&](std::size_t) {
    progress.Offer(ProgressValue(++firstCounter, firstDivisor));
  });
  sizeList.clear();
  if (!keepGoing()) return 0;

  std::vector<SizeEntry> distinct = DistinctFiles(shared, keepGoing);
  if (!keepGoing()) return 0;
  shared.clear();

  // Size limits, strict at both ends; an upper limit of 0 means none at all.
  // The sizes are those of the probe: a file that changes from here on is
  // caught when it is read (its size is taken again then).
  const std::int64_t lower = settings.minSize != 0 ? settings.minSize : -1;
  const bool hasUpper = settings.maxSize != 0;
  const std::int64_t upper = settings.maxSize;
  std::vector<SizeEntry> passing;
  for (SizeEntry& e : distinct) {
    if (!keepGoing()) return 0;
    if (e.size < 0 || e.size <= lower || (hasUpper && e.size >= upper)) continue;
    if (!PassesTypeFilter(e.path, settings.fileTypes)) continue;
    passing.push_back(std::move(e));
  }
  distinct.clear();
  const float secondDivisor = static_cast<float>(static_cast<double>(passing.size()) / 100.0);

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
    if (passing[peers[0]].size <= static_cast<std::int64_t>(kPrefixBytes)) {
      for (std::size_t j : peers) verdict[j] = kMaybeTwin;
      return true;
    }
    std::vector<std::optional<std::uint64_t>> hashes;
    std::unordered_map<std::uint64_t, int> seen;
    for (std::size_t j : peers) {
      if (!keepGoing()) return false;
      hashes.push_back(io.prefixHash(passing[j].path));
      if (hashes.back()) ++seen[*hashes.back()];
    }
    for (std::size_t k = 0; k < peers.size(); ++k)
      verdict[peers[k]] = hashes[k] && seen[*hashes[k]] >= 2 ? kMaybeTwin : kAlone;
    return true;
  };

  const bool withSha1 = settings.sha1Enabled == 1;
  const bool withCrc32 = settings.crc32Enabled == 1;
  FingerprintList fingerprintList;
  std::int64_t secondCounter = 0;
  stage(kStageFingerprints);
  for (std::size_t i = 0; i < passing.size(); ++i) {
    ++secondCounter;
    if (!keepGoing()) return 0;
    if (verdict[i] == kUnknown && !screen(bySize[passing[i].size])) return 0;
    if (verdict[i] == kMaybeTwin) {
      // The reading's own open is the readability probe: a file that does not
      // open, or cannot be read to its end, gets no entry and is never grouped.
      const Text& path = passing[i].path;
      FileFingerprints f = io.fingerprint(path, withSha1, withCrc32, keepGoing);
      if (f.outcome == FileFingerprints::Outcome::Interrupted) return 0;
      if (f.outcome == FileFingerprints::Outcome::Done && f.size >= 0)
        fingerprintList.push_back({path, DecimalText(f.size), std::move(f.md5), std::move(f.crc32),
                                 std::move(f.sha1), f.size});
    }
    progress.Offer(ProgressValue(secondCounter, secondDivisor), 50);
  }
  passing.clear();

  stage(kStageOutput);
  ResultRowList rows = GroupRows(fingerprintList, &r.stats.groups, keepGoing);
  if (!keepGoing()) return 0;
  fingerprintList.clear();
  const std::size_t rowCount = rows.size() / kResultColumns;
  r.stats.rows = rowCount;

  // Completion: every window change goes through the window's thread, in the
  // order each program shows it; a Stop from here on discards what is queued.
  // The shared lists are already empty (the walk and step 1 emptied them).
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
  r.finished.store(true);
  return 1;
}

}  // namespace vantrel

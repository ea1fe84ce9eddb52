// The detection pass on 1,000,000 synthetic candidates: every file stands
// behind PassIo, so the figures are the pass's own work (sorting, selecting,
// de-duplicating, planning, building rows), not the disk's.

#include <benchmark/benchmark.h>

#include <memory>

#include "engine/search_worker.hpp"

namespace {

using namespace vantrel;

constexpr std::size_t kEntries = 1000000;

// File i holds contents c = i % 250000, so most contents have four copies;
// sizes are spread so that different contents also share sizes.
std::size_t IndexOf(const Text& path) {
  std::size_t i = 0;
  for (Char ch : path)
    if (ch >= '0' && ch <= '9') i = i * 10 + static_cast<std::size_t>(ch - '0');
  return i;
}
std::size_t ContentOf(std::size_t i) { return i % 250000; }
std::int64_t SizeOf(std::size_t c) { return 5000 + static_cast<std::int64_t>((c * 7919) % 200000); }

PassIo SyntheticIo() {
  PassIo io;
  io.probe = [](const Text& p, const FileIdentity&) {
    std::size_t i = IndexOf(p);
    // The first block tells the contents apart, as it mostly does on disk.
    return FileProbe{true, SizeOf(ContentOf(i)), FileIdentity{true, 1, i}};
  };
  io.firstBlock = [](const Text& p) -> std::optional<std::uint64_t> { return ContentOf(IndexOf(p)); };
  // The probe's first-block hash is the content, so a set reaches confirm
  // split by content already: its files with the first one's content form the
  // class (the bench's own cost stays small beside the pass's).
  io.confirm = [](const std::vector<CopySet>& sets, FingerprintKinds, const ContinueCheck&) {
    std::vector<CopyClasses> results;
    results.reserve(sets.size());
    for (const CopySet& set : sets) {
      CopyClasses out;
      const std::size_t c = ContentOf(IndexOf(*set.paths.front()));
      std::size_t same = 0;
      for (const Text* p : set.paths) {
        bool match = ContentOf(IndexOf(*p)) == c;
        same += match;
        out.classOf.push_back(match ? 0 : -1);
      }
      if (same < 2) {
        out.classOf.assign(set.paths.size(), -1);
      } else {
        std::uint8_t digest[16] = {};
        std::uint64_t v = c * 0x9E3779B97F4A7C15ULL;
        for (int k = 0; k < 8; ++k) digest[k] = static_cast<std::uint8_t>(v >> (8 * k));
        FileFingerprints f;
        f.outcome = FileFingerprints::Outcome::Done;
        f.size = set.size;
        f.md5 = HexDigestText(digest, 16);
        out.fingerprints.push_back(std::move(f));
      }
      results.push_back(std::move(out));
    }
    return results;
  };
  return io;
}

// Runs every posted task at once on the caller's thread.
class InlineWindow : public SearchWindow {
 public:
  void PostToWindow(std::function<void()> task) override { task(); }
  void SetProgress(int) override {}
  void InsertResultRow(int, const Text&) override { ++rows; }
  void SetResultText(int, int, const Text&) override {}
  void SetPanelEnabled(bool) override {}
  void SelectPanelTab(int) override {}
  void ShowNoDuplicates() override {}
  std::size_t rows = 0;
};

PathTable SyntheticCandidates() {
  PathTable list;
  for (std::size_t i = 0; i < kEntries; ++i)
    list.Add(TextFromAscii("/synthetic/dir" + std::to_string(i % 1000) + "/file-" + std::to_string(i)));
  return list;
}

void BM_PassOnSyntheticEntries(benchmark::State& state) {
  std::size_t rows = 0, groups = 0;
  for (auto _ : state) {
    state.PauseTiming();
    InlineWindow window;
    SearchSettings settings;
    PathTable scan;
    PathTable work = SyntheticCandidates();
    auto run = std::make_shared<SearchRun>();
    run->flavour = SearchFlavour::Mac;
    run->window = &window;
    run->settings = &settings;
    run->scanList = &scan;
    run->candidateList = &work;
    run->walkOnWorker = false;
    run->io = SyntheticIo();
    state.ResumeTiming();
    SearchWorker(run);
    rows = window.rows;
    groups = run->stats.groups;
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["groups"] = static_cast<double>(groups);
}
BENCHMARK(BM_PassOnSyntheticEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

// Entries as the probe leaves them, with their paths in paths.
PassList SyntheticEntries(const PathTable& paths) {
  PassList entries(paths.size());
  auto probe = SyntheticIo().probe;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    FileProbe p = probe(paths.PathAt(i), FileIdentity{});
    entries[i].path = static_cast<std::uint32_t>(i);
    entries[i].size = p.size;
    entries[i].SetIdentity(p.identity);
  }
  return entries;
}

void BM_KeepEqualSizes(benchmark::State& state) {
  PathTable paths = SyntheticCandidates();
  PassList sorted = SyntheticEntries(paths);
  SortBySize(sorted);
  for (auto _ : state) {
    state.PauseTiming();
    PassList entries = sorted;
    state.ResumeTiming();
    KeepEqualSizes(entries);
    benchmark::DoNotOptimize(entries.data());
  }
}
BENCHMARK(BM_KeepEqualSizes)->Unit(benchmark::kMillisecond);

void BM_KeepDistinctFiles(benchmark::State& state) {
  PathTable paths = SyntheticCandidates();
  const PassList base = SyntheticEntries(paths);
  for (auto _ : state) {
    state.PauseTiming();
    PassList entries = base;
    state.ResumeTiming();
    KeepDistinctFiles(entries, paths);
    benchmark::DoNotOptimize(entries.data());
  }
}
BENCHMARK(BM_KeepDistinctFiles)->Unit(benchmark::kMillisecond);

void BM_BuildRows(benchmark::State& state) {
  // Every file in the class of its contents, as the reading would find them.
  FoundClasses found;
  found.classOf.resize(kEntries);
  std::vector<std::size_t> classOfContent(kEntries, static_cast<std::size_t>(-1));
  for (std::size_t i = 0; i < kEntries; ++i) {
    const std::size_t c = ContentOf(i);
    if (classOfContent[c] == static_cast<std::size_t>(-1)) {
      classOfContent[c] = found.prints.size();
      std::uint8_t digest[16] = {};
      std::uint64_t v = c * 0x9E3779B97F4A7C15ULL;
      for (int k = 0; k < 8; ++k) digest[k] = static_cast<std::uint8_t>(v >> (8 * k));
      FileFingerprints f;
      f.outcome = FileFingerprints::Outcome::Done;
      f.size = SizeOf(c);
      f.md5 = HexDigestText(digest, 16);
      found.prints.push_back(std::move(f));
    }
    found.classOf[i] = static_cast<std::uint32_t>(classOfContent[c]);
  }
  for (auto _ : state) {
    state.PauseTiming();
    PathTable paths = SyntheticCandidates();
    PassList entries = SyntheticEntries(paths);
    FoundClasses classes = found;
    std::size_t groups = 0;
    state.ResumeTiming();
    benchmark::DoNotOptimize(BuildRows(entries, paths, classes, groups));
  }
}
BENCHMARK(BM_BuildRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

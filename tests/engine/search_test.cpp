// Whole searches over real trees of files: which files are reported, how the
// rows are grouped and ordered, what the window is told and in which order,
// and how Pause and Stop act on a running search.

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <cstring>
#include <set>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/search_control.hpp"
#include "tests/support/recording_window.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::RecordingWindow;
using testing::T;
using testing::TempTree;

using Row = std::vector<std::string>;  // group, relative path, size, md5, sha1, crc32

class Search {
 public:
  explicit Search(SearchFlavour flavour = SearchFlavour::Windows) : control(window, flavour) {}

  // Starts a search over the named directories of tree ("" is the root) and
  // pumps the window until the worker has finished.
  void Run(const TempTree& tree, const std::vector<std::string>& dirs, const SearchOptions& options) {
    root = tree.RootText();
    ASSERT_EQ(control.Start(Dirs(tree, dirs), options), SearchControl::StartResult::Started);
    ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
    window.PumpPending();
  }

  static std::vector<Text> Dirs(const TempTree& tree, const std::vector<std::string>& dirs) {
    std::vector<Text> out;
    for (const auto& d : dirs) out.push_back(tree.PathOf(d));
    return out;
  }

  std::vector<Row> Rows() const {
    std::vector<Row> out;
    for (const auto& cells : window.rows) {
      Row row;
      for (const Text& c : cells) row.push_back(Bytes(c));
      row[1] = testing::RelativeTo(root, {cells[1]})[0];
      out.push_back(row);
    }
    return out;
  }

  // Relative paths of the rows, in order.
  std::vector<std::string> Paths() const {
    std::vector<std::string> out;
    for (const auto& r : Rows()) out.push_back(r[1]);
    return out;
  }

  RecordingWindow window;
  SearchControl control;
  Text root;
};

const char* kMd5Alpha = "2c1743a391305fbf367df8e4f069f9f9";
const char* kMd5Beta = "987bcab01b929eb2c07877b224215c92";
const char* kMd5Empty = "d41d8cd98f00b204e9800998ecf8427e";

// One file per directory, so the search list fixes the order of admission.
TempTree GroupingTree() {
  return TempTree({{"d1/one", "beta"},
                   {"d2/two", "alpha"},
                   {"d3/three", "gamma"},  // same size as alpha, other contents
                   {"d4/four", "alpha"},
                   {"d5/five", "beta"},
                   {"d6/six", "aaaa"},     // same size as beta, other contents
                   {"d7/seven", "bbbb"},
                   {"d8/eight", "alpha"},
                   {"d9/nine", ""},
                   {"d10/ten", ""}});
}
const std::vector<std::string> kGroupingDirs = {"d1", "d2", "d3", "d4", "d5",
                                                "d6", "d7", "d8", "d9", "d10"};

TEST(Search, GroupsByDescendingMd5NumberedFromOneInAdmissionOrder) {
  TempTree tree = GroupingTree();
  Search s;
  SearchOptions o;
  o.sha1 = true;
  o.crc32 = true;
  s.Run(tree, kGroupingDirs, o);
  const std::vector<Row> expected = {
      {"1", "d9/nine", "0 Byte", kMd5Empty, "da39a3ee5e6b4b0d3255bfef95601890afd80709", "0"},
      {"1", "d10/ten", "0 Byte", kMd5Empty, "da39a3ee5e6b4b0d3255bfef95601890afd80709", "0"},
      {"2", "d1/one", "4 Byte", kMd5Beta, "a295e0bdde1938d1fbfd343e5a3e569e868e1465", "8F910463"},
      {"2", "d5/five", "4 Byte", kMd5Beta, "a295e0bdde1938d1fbfd343e5a3e569e868e1465", "8F910463"},
      {"3", "d2/two", "5 Byte", kMd5Alpha, "be76331b95dfc399cd776d2fc68021e0db03cc4f", "D0E0396A"},
      {"3", "d4/four", "5 Byte", kMd5Alpha, "be76331b95dfc399cd776d2fc68021e0db03cc4f", "D0E0396A"},
      {"3", "d8/eight", "5 Byte", kMd5Alpha, "be76331b95dfc399cd776d2fc68021e0db03cc4f", "D0E0396A"},
  };
  EXPECT_EQ(s.Rows(), expected);
  EXPECT_FALSE(s.control.IsAlive());
  const SearchStats& stats = s.control.CurrentRun()->stats;
  EXPECT_EQ(stats.filesFound, 10u);
  EXPECT_EQ(stats.candidates, 10u);
  EXPECT_EQ(stats.rows, 7u);
  EXPECT_EQ(stats.groups, 3u);
}

TEST(Search, OptionalColumnsStayEmptyWithMd5Alone) {
  TempTree tree({{"a/x", "beta"}, {"b/y", "beta"}});
  Search s;
  s.Run(tree, {"a", "b"}, {});
  const std::vector<Row> expected = {{"1", "a/x", "4 Byte", kMd5Beta, "", ""},
                                     {"1", "b/y", "4 Byte", kMd5Beta, "", ""}};
  EXPECT_EQ(s.Rows(), expected);
}

TEST(Search, WindowHearsRowsThenProgressZeroThenPanelThenResultsTab) {
  TempTree tree = GroupingTree();
  Search s;
  s.Run(tree, kGroupingDirs, {});
  std::vector<std::string> tail(s.window.events.end() - 4, s.window.events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"rows", "progress 0", "panel on", "tab 1"}));
  EXPECT_EQ(s.window.events.front(), "panel off");
  EXPECT_EQ(s.window.boxes, 0);
  EXPECT_TRUE(s.window.panelEnabled);
}

TEST(Search, NothingFoundShowsTheBoxBeforeThePanelComesBack) {
  struct Case {
    SearchFlavour flavour;
    std::vector<testing::TreeEntry> files;
  } cases[] = {
      {SearchFlavour::Windows, {}},
      {SearchFlavour::Windows, {{"d/a", "one"}, {"d/b", "two"}}},
      {SearchFlavour::Mac, {{"d/a", "one"}, {"d/b", "two"}}},
  };
  for (const auto& c : cases) {
    TempTree tree(c.files);
    tree.Add({"d/", ""});
    Search s(c.flavour);
    s.Run(tree, {"d"}, {});
    EXPECT_TRUE(s.window.rows.empty());
    EXPECT_EQ(s.window.boxes, 1);
    std::vector<std::string> tail(s.window.events.end() - 3, s.window.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"progress 0", "no duplicates box", "panel on"}));
  }
}

TEST(Search, MacHandOverGivesTabPanelThenRowsAndWaitsUntilTheyAreShown) {
  TempTree tree = GroupingTree();
  Search s(SearchFlavour::Mac);
  ASSERT_EQ(s.control.Start(Search::Dirs(tree, kGroupingDirs), {}),
            SearchControl::StartResult::Started);
  s.root = tree.RootText();
  // Pump until the hand-over is the only thing left to run: the worker must
  // still be alive then, waiting for the window to take the rows.
  ASSERT_TRUE(s.window.PumpUntil([&] { return !s.window.progress.empty() && s.window.progress.back() == 0; }));
  ASSERT_TRUE(s.window.WaitForQueued());
  EXPECT_TRUE(s.window.rows.empty());
  EXPECT_TRUE(s.control.IsAlive());
  ASSERT_TRUE(s.window.PumpUntil([&] { return s.window.stateChanges > 0; }));
  EXPECT_EQ(s.Paths(), (std::vector<std::string>{"d9/nine", "d10/ten", "d1/one", "d5/five", "d2/two",
                                                 "d4/four", "d8/eight"}));
  std::vector<std::string> tail(s.window.events.end() - 4, s.window.events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"progress 0", "tab 1", "panel on", "rows"}));
}

TEST(Search, SizeLimitsAreStrictAndOnlyAppliedWhenChecked) {
  TempTree tree({{"d/e1", ""},
                 {"d/e2", ""},
                 {"d/s99a", std::string(99, 'a')},
                 {"d/s99b", std::string(99, 'a')},
                 {"d/s100a", std::string(100, 'b')},
                 {"d/s100b", std::string(100, 'b')},
                 {"d/s101a", std::string(101, 'c')},
                 {"d/s101b", std::string(101, 'c')}});
  struct Case {
    bool checked;
    std::int32_t min, max;
    std::set<std::string> sizes;
  } cases[] = {
      {false, 100, 100, {"0 Byte", "99 Byte", "100 Byte", "101 Byte"}},
      {true, 0, 0, {"0 Byte", "99 Byte", "100 Byte", "101 Byte"}},
      {true, 1, 0, {"99 Byte", "100 Byte", "101 Byte"}},
      {true, 100, 0, {"101 Byte"}},
      {true, 0, 100, {"0 Byte", "99 Byte"}},
      {true, 99, 101, {"100 Byte"}},
      {true, 100, 100, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.checked) + " " + std::to_string(c.min) + " " + std::to_string(c.max));
    Search s;
    SearchOptions o;
    o.sizeLimit = c.checked;
    o.minSize = c.min;
    o.maxSize = c.max;
    s.Run(tree, {"d"}, o);
    std::set<std::string> sizes;
    for (const auto& r : s.Rows()) sizes.insert(r[2]);
    EXPECT_EQ(sizes, c.sizes);
    EXPECT_EQ(s.window.boxes, c.sizes.empty() ? 1 : 0);
    // Every search ends with the limits back at zero, so the next one without
    // the box checked uses none.
    EXPECT_EQ(s.control.Settings().minSize, 0);
    EXPECT_EQ(s.control.Settings().maxSize, 0);
  }
}

TEST(Search, TypeFilterMatchesWholeLowerCaseExtensions) {
  TempTree tree({{"d/a.jpg", "1"},   {"d/b.jpg", "1"},   {"d/c.JPG", "22"}, {"d/d.JPG", "22"},
                 {"d/noext", "333"}, {"d/noext2", "333"}, {"d/e.png", "4444"}, {"d/f.png", "4444"},
                 {"d/g.jpeg", "55555"}, {"d/h.jpeg", "55555"}});
  struct Case {
    bool checked;
    const char* input;
    std::set<std::string> files;
  } cases[] = {
      {false, "jpg", {"d/a.jpg", "d/b.jpg", "d/c.JPG", "d/d.JPG", "d/noext", "d/noext2", "d/e.png",
                      "d/f.png", "d/g.jpeg", "d/h.jpeg"}},
      {true, "", {"d/a.jpg", "d/b.jpg", "d/c.JPG", "d/d.JPG", "d/noext", "d/noext2", "d/e.png",
                  "d/f.png", "d/g.jpeg", "d/h.jpeg"}},
      {true, "jpg", {"d/a.jpg", "d/b.jpg"}},
      {true, "JPG", {"d/a.jpg", "d/b.jpg"}},  // stored lower case; capital extensions never match
      {true, "jpg png", {"d/a.jpg", "d/b.jpg", "d/e.png", "d/f.png"}},
      {true, "jpg  png", {"d/a.jpg", "d/b.jpg"}},
      {true, " jpg", {}},
      {true, "   ", {}},
      {true, "jp", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.checked ? "on '" : "off '") + c.input + "'");
    Search s;
    SearchOptions o;
    o.fileTypes = c.checked;
    o.fileTypesInput = T(c.input);
    s.Run(tree, {"d"}, o);
    auto paths = s.Paths();
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()), c.files);
  }
}

TEST(Search, ExtensionOfTakesTheLastDotOfTheLastComponent) {
  struct Case {
    const char* path;
    const char* ext;
  } cases[] = {{"/a/b.txt", "txt"}, {"/a.d/b", ""},      {"C:\\a.d\\b", ""},  {"x.tar.gz", "gz"},
               {"x.", ""},          {"x\"y.ab\"c", "ab"}, {".profile", "profile"}};
  for (const auto& c : cases) EXPECT_EQ(Bytes(ExtensionOf(T(c.path))), c.ext) << c.path;
}

TEST(Search, AFileReachedTwiceThroughOverlappingEntriesIsOneCandidate) {
  TempTree tree({{"top/a", "same"}, {"top/sub/b", "same"}, {"top/sub/c", "lone"}});
  Search s;
  SearchOptions o;
  o.searchSubdirectories = true;
  // The sub directory twice more: as its own entry and spelled another way.
  s.Run(tree, {"top", "top/sub", "top/sub/../sub"}, o);
  const auto paths = s.Paths();
  EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()),
            (std::set<std::string>{"top/a", "top/sub/b"}));
  EXPECT_EQ(paths.size(), 2u);
  EXPECT_EQ(s.control.CurrentRun()->stats.candidates, 7u);  // 3 + 2 + 2 paths admitted
}

TEST(Search, HardLinkedFileIsNeverItsOwnDuplicate) {
  TempTree tree({{"d/original", "contents"}, {"d/copy", "contents"}, {"e/only", "unique!"}});
  fs::create_hard_link(tree.Root() / "d" / "original", tree.Root() / "d" / "link");
  fs::create_hard_link(tree.Root() / "e" / "only", tree.Root() / "e" / "only-link");
  Search s;
  s.Run(tree, {"d", "e"}, {});
  // original and link are one file: a group of two paths, never three, and the
  // lone file with its link forms no group at all.
  ASSERT_EQ(s.Rows().size(), 2u);
  const auto rowPaths = s.Paths();
  std::set<std::string> paths(rowPaths.begin(), rowPaths.end());
  EXPECT_TRUE(paths.count("d/copy"));
  EXPECT_EQ(paths.count("d/original") + paths.count("d/link"), 1u);
}

TEST(Search, FilesThatVanishOrFailToReadAreDroppedNeverGroupedByEmptyTexts) {
  TempTree tree({{"a/gone-before-probe", "pair-one"},
                 {"b/twin-of-gone", "pair-one"},
                 {"c/gone-before-read", "pair-two"},
                 {"d/twin-of-gone-read", "pair-two"},
                 {"e/fails-1", "pair-three"},
                 {"f/fails-2", "pair-three"},  // a copy of fails-1: both fail to read
                 {"g/kept-1", "triple"},
                 {"h/kept-2", "triple"},
                 {"i/fails-3", "triple"}});
  Search s;
  PassIo io = PassIo::Platform();
  auto nameIs = [](const Text& p, const char* n) {
    std::string b = Bytes(p);
    return b.size() >= std::strlen(n) && b.compare(b.size() - std::strlen(n), std::string::npos, n) == 0;
  };
  io.probe = [&](const Text& p, const FileIdentity&) {
    if (nameIs(p, "gone-before-probe")) fs::remove(testing::FsPath(p));
    return ProbeFile(p);
  };
  // The reading opens files through its own hook: one file goes just before
  // it is read, three fail as a reading that breaks off would.
  auto open = [&](FileReader& reader, const Text& p) {
    if (nameIs(p, "gone-before-read")) fs::remove(testing::FsPath(p));
    if (nameIs(p, "fails-1") || nameIs(p, "fails-2") || nameIs(p, "fails-3")) return false;
    return reader.Open(p);
  };
  io.confirm = [&](const std::vector<CopySet>& sets, FingerprintKinds kinds, const ContinueCheck& k) {
    return ConfirmCopySets(sets, kinds, k, open);
  };
  s.control.SetPassIo(io);
  s.Run(tree, {"a", "b", "c", "d", "e", "f", "g", "h", "i"}, {});
  EXPECT_EQ(s.Paths(), (std::vector<std::string>{"g/kept-1", "h/kept-2"}));
}

TEST(Search, OnlyFilesThatCanStillHaveATwinAreRead) {
  // The probe reads no byte; a first block is read only of a file whose size
  // another passing file shares, and a file is read on only when its first
  // block is another's too. A lone size, the size limits and the type filter
  // keep a file from being read at all.
  const std::string x(5000, 'x');
  const std::string q = std::string(kFirstBlockBytes, 'q');
  TempTree tree({{"a/big-x.dat", x},
                 {"b/big-y.dat", std::string(5000, 'y')},  // same size, first block differs
                 {"c/big-x-again.dat", x},
                 {"d/lone-size.dat", std::string(6000, 'z')},
                 {"e/tail-a.dat", q + "aaaa"},  // same first block, different ends
                 {"f/tail-b.dat", q + "bbbb"},
                 {"g/small-1.txt", "small"},
                 {"h/small-2.txt", "small"}});
  using Names = std::set<std::string>;
  struct Case {
    const char* what;
    bool sizeLimit;
    const char* types;
    Names firstBlocks, readOn;
    std::vector<std::string> rows;
  } cases[] = {
      {"no filter", false, nullptr,
       Names{"a/big-x.dat", "b/big-y.dat", "c/big-x-again.dat", "e/tail-a.dat", "f/tail-b.dat", "g/small-1.txt",
             "h/small-2.txt"},
       Names{"a/big-x.dat", "c/big-x-again.dat", "e/tail-a.dat", "f/tail-b.dat", "g/small-1.txt", "h/small-2.txt"},
       {"g/small-1.txt", "h/small-2.txt", "a/big-x.dat", "c/big-x-again.dat"}},  // by descending MD5
      {"a lower size limit", true, nullptr,
       Names{"a/big-x.dat", "b/big-y.dat", "c/big-x-again.dat", "e/tail-a.dat", "f/tail-b.dat"},
       Names{"a/big-x.dat", "c/big-x-again.dat", "e/tail-a.dat", "f/tail-b.dat"},
       {"a/big-x.dat", "c/big-x-again.dat"}},
      {"only txt files", false, "txt", Names{"g/small-1.txt", "h/small-2.txt"},
       Names{"g/small-1.txt", "h/small-2.txt"}, {"g/small-1.txt", "h/small-2.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Search s;
    PassIo io = PassIo::Platform();
    std::mutex mutex;
    Names firstBlocks, readOn;
    auto relative = [&](const Text& p) { return testing::RelativeTo(tree.RootText(), {p})[0]; };
    io.firstBlock = [&](const Text& p) {
      {
        std::lock_guard lock(mutex);
        firstBlocks.insert(relative(p));
      }
      return FirstBlockHash(p);
    };
    io.confirm = [&](const std::vector<CopySet>& sets, FingerprintKinds kinds, const ContinueCheck& k) {
      {
        std::lock_guard lock(mutex);
        for (const CopySet& set : sets)
          for (const Text* p : set.paths) readOn.insert(relative(*p));
      }
      return ConfirmCopySets(sets, kinds, k);
    };
    s.control.SetPassIo(io);
    SearchOptions o;
    o.sizeLimit = c.sizeLimit;
    o.minSize = 100;
    o.fileTypes = c.types != nullptr;
    if (c.types) o.fileTypesInput = T(c.types);
    s.Run(tree, {"a", "b", "c", "d", "e", "f", "g", "h"}, o);
    EXPECT_EQ(s.Paths(), c.rows);
    EXPECT_EQ(firstBlocks, c.firstBlocks);
    EXPECT_EQ(readOn, c.readOn);
  }
}

TEST(Search, ProgressRunsInTwoHalvesRoundingHalvesToEven) {
  struct Case {
    bool oneUnreadable;
    std::vector<int> progress;
  } cases[] = {
      // 4 candidates; the divisor 0.04 held in single precision is a little
      // below 0.04, so 1 gives 12.5000003 -> 13; then the same for 4 files.
      {false, {13, 25, 38, 50, 63, 75, 88, 100, 0}},
      // 5 candidates, one unreadable: the first half ends at 40.
      {true, {10, 20, 30, 40, 63, 75, 88, 100, 0}},
  };
  for (const auto& c : cases) {
    TempTree tree({{"a/1", "aa"}, {"b/2", "aa"}, {"c/3", "bbb"}, {"d/4", "bbb"}, {"e/5", "cccc"}});
    std::vector<std::string> dirs = {"a", "b", "c", "d"};
    Search s;
    if (c.oneUnreadable) {
      dirs.push_back("e");
      PassIo io = PassIo::Platform();
      io.probe = [](const Text& p, const FileIdentity&) { return Bytes(p).back() == '5' ? FileProbe{} : ProbeFile(p); };
      s.control.SetPassIo(io);
    }
    s.Run(tree, dirs, {});
    EXPECT_EQ(s.window.progress, c.progress);
    EXPECT_EQ(s.Rows().size(), 4u);
  }
}

TEST(Search, ProgressValueUsesASinglePrecisionDivisorAndHalfToEven) {
  EXPECT_EQ(ProgressValue(1, 0.04f), 13);  // 0.04f < 0.04: 12.5000003
  EXPECT_EQ(ProgressValue(3, 0.04f), 38);
  EXPECT_EQ(ProgressValue(1, 0.02f), 25);
  EXPECT_EQ(ProgressValue(0, 0.5f), 0);
  EXPECT_EQ(ProgressValue(1, 1.0f), 0);  // 0.5 rounds to the even 0: the bar stays
  EXPECT_EQ(ProgressValue(3, 1.0f), 2);  // 1.5 rounds to 2
  EXPECT_EQ(ProgressValue(5, 1.0f), 2);  // 2.5 rounds to the even 2
  EXPECT_EQ(ProgressValue(7, 1.0f), 4);  // 3.5 rounds to 4
  EXPECT_EQ(ProgressValue(5, 0.0f), 0);
  // 3 entries: the divisor 0.03 is not exact in single precision, yet 3 gives 50.
  EXPECT_EQ(ProgressValue(3, static_cast<float>(3 / 100.0)), 50);
}

// Entries of the given sizes and paths, in order; the paths go into table.
PassList EntriesOf(PathTable& table, const std::vector<Text>& paths, const std::vector<std::int64_t>& sizes) {
  PassList out;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    PassEntry e;
    e.path = static_cast<std::uint32_t>(table.size());
    table.Add(paths[i]);
    e.size = sizes[i];
    out.push_back(e);
  }
  return out;
}

TEST(SizeScreen, KeepEqualSizesKeepsRunsOfTwoOrMore) {
  struct Case {
    std::vector<std::int64_t> sorted, kept;
  } cases[] = {
      {{500, 300, 300, 100, 100, 100, 50}, {300, 300, 100, 100, 100}},
      {{1}, {}},
      {{2, 1}, {}},
      {{7, 7}, {7, 7}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    PathTable table;
    PassList entries = EntriesOf(table, std::vector<Text>(c.sorted.size(), T("p")), c.sorted);
    std::size_t calls = 0;
    KeepEqualSizes(entries, [&] { ++calls; });
    std::vector<std::int64_t> kept;
    for (const PassEntry& e : entries) kept.push_back(e.size);
    EXPECT_EQ(kept, c.kept);
    EXPECT_EQ(calls, c.sorted.size());  // every entry counts for the bar
  }
}

TEST(SizeScreen, SortBySizeIsLargestFirstAndKeepsCandidateOrderWithinASize) {
  PathTable table;
  PassList entries = EntriesOf(table, {T("a"), T("b"), T("c"), T("d"), T("e")}, {5, 9, 5, 9, 1});
  std::reverse(entries.begin(), entries.end());
  SortBySize(entries);
  std::string order;
  for (const PassEntry& e : entries) order += Bytes(table.PathAt(e.path));
  EXPECT_EQ(order, "bdace");
}

TEST(ResultRows, FilesSharingOnlyAnMd5StayInSeparateGroups) {
  // Two classes with one MD5 text but different sizes (as a collision would
  // give): the rows keep them apart instead of numbering them as one group,
  // each class by its first file; within a group the files keep their order.
  PathTable candidates;
  PassList entries = EntriesOf(candidates, {T("a"), T("b"), T("c"), T("d"), T("e"), T("f")}, {6, 5, 6, 5, 7, 7});
  FoundClasses found;
  auto print = [](const char* md5, std::int64_t size) {
    FileFingerprints f;
    f.outcome = FileFingerprints::Outcome::Done;
    f.md5 = T(md5);
    f.size = size;
    return f;
  };
  found.prints = {print("ffff", 5), print("ffff", 6), print("0000", 7)};
  found.classOf = {1, 0, 1, 0, 2, 2};
  std::size_t groups = 0;
  ResultRowList rows = BuildRows(entries, candidates, found, groups);
  std::vector<std::string> flat;
  for (std::size_t i = 0; i < rows.size(); i += kResultColumns)
    flat.push_back(Bytes(rows[i]) + ":" + Bytes(rows[i + 1]) + ":" + Bytes(rows[i + 2]) + ":" + Bytes(rows[i + 3]));
  EXPECT_EQ(flat, (std::vector<std::string>{"1:a:6 Byte:ffff", "1:c:6 Byte:ffff", "2:b:5 Byte:ffff",
                                            "2:d:5 Byte:ffff", "3:e:7 Byte:0000", "3:f:7 Byte:0000"}));
  EXPECT_EQ(groups, 3u);
  EXPECT_TRUE(entries.empty());
}

// --- Pause and Stop -------------------------------------------------------

// Stops the worker at a stage: it pauses itself there, and the test (the
// window's thread) sees the pause take hold.
struct StageTrap {
  explicit StageTrap(int trapStage) : stage(trapStage) {}
  void Arm(SearchControl& control, PassIo io = PassIo::Platform()) {
    io.stageReached = [this, &control](int reached) {
      if (reached == stage) control.CurrentRun()->gate.AddPause();
    };
    control.SetPassIo(io);
  }
  int stage;
};

TEST(Search, StopInAnyStageLeavesNoRowsProgressOrMessage) {
  const std::string big(3 * kFingerprintChunk, 'b');
  for (int stage : {kStageWalk, kStageSizes, kStageFingerprints, kStageOutput}) {
    for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
      SCOPED_TRACE(stage);
      TempTree tree({{"d/a", big}, {"d/b", big}, {"d/c", "x"}, {"d/e", "x"}});
      Search s(flavour);
      StageTrap trap(stage);
      trap.Arm(s.control);
      SearchOptions o;
      o.sizeLimit = true;
      o.minSize = 1;
      o.maxSize = 1 << 30;
      ASSERT_EQ(s.control.Start(Search::Dirs(tree, {"d"}), o), SearchControl::StartResult::Started);
      ASSERT_TRUE(s.control.CurrentRun()->gate.WaitUntilHalted(60000));
      EXPECT_TRUE(s.control.SearchPaused());
      std::size_t eventsBefore = s.window.events.size();
      s.control.Stop();
      EXPECT_FALSE(s.control.IsAlive());
      s.window.PumpPending();  // whatever the worker queued must now do nothing
      EXPECT_TRUE(s.window.rows.empty());
      EXPECT_EQ(s.window.boxes, 0);
      EXPECT_EQ(s.window.progress.empty() ? 0 : s.window.progress.back(), 0);
      EXPECT_TRUE(s.window.panelEnabled);
      EXPECT_EQ(s.control.Settings().minSize, 0);
      EXPECT_EQ(s.control.Settings().maxSize, 0);
      EXPECT_TRUE(s.control.Candidates().empty());
      EXPECT_TRUE(s.control.Scanned().empty());
      // After Stop's own clean-up (progress 0, panel on) nothing else arrives.
      std::vector<std::string> after(s.window.events.begin() + static_cast<std::ptrdiff_t>(eventsBefore),
                                     s.window.events.end());
      for (const auto& e : after) EXPECT_TRUE(e == "progress 0" || e == "panel on") << e;
    }
  }
}

TEST(Search, StopWhileTheMacHandOverWaitsShowsNoRows) {
  TempTree tree = GroupingTree();
  Search s(SearchFlavour::Mac);
  ASSERT_EQ(s.control.Start(Search::Dirs(tree, kGroupingDirs), {}), SearchControl::StartResult::Started);
  // Wait until the worker sits in the hand-over, without letting the window run it.
  ASSERT_TRUE(s.window.PumpUntil([&] { return !s.window.progress.empty() && s.window.progress.back() == 0; }));
  ASSERT_TRUE(s.window.WaitForQueued());
  s.control.Stop();
  s.window.PumpPending();
  EXPECT_TRUE(s.window.rows.empty());
  EXPECT_TRUE(s.window.panelEnabled);
}

TEST(Search, GatePutsPausedThreadsToSleepUntilResumeOrStopWakesThem) {
  for (bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "Stop" : "Resume");
    SearchGate gate;
    gate.AddPause();
    gate.AddPause();
    std::atomic<int> passed{0}, stopped{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
      threads.emplace_back([&] { (gate.Checkpoint() ? passed : stopped)++; });
    ASSERT_TRUE(gate.WaitUntilSleeping(4, 60000));
    // Neither a sleeper falling asleep nor a task's Notify wakes the others.
    gate.Notify();
    EXPECT_TRUE(gate.RemovePause());
    EXPECT_EQ(gate.SleepingThreads(), 4);  // one pause still holds them
    if (stop) gate.RequestStop();
    else EXPECT_TRUE(gate.RemovePause());
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(gate.WakeupsWhilePaused(), 0);
    EXPECT_EQ(gate.SleepingThreads(), 0);
    EXPECT_EQ(passed.load(), stop ? 0 : 4);
    EXPECT_EQ(stopped.load(), stop ? 4 : 0);
  }
}

TEST(Search, PausesNestAndEachResumeTakesOneAway) {
  TempTree tree = GroupingTree();
  Search s;
  StageTrap trap(kStageSizes);
  trap.Arm(s.control);
  ASSERT_EQ(s.control.Start(Search::Dirs(tree, kGroupingDirs), {}), SearchControl::StartResult::Started);
  SearchGate& gate = s.control.CurrentRun()->gate;
  ASSERT_TRUE(gate.WaitUntilHalted(60000));
  s.control.Pause();  // a second suspension
  EXPECT_EQ(s.control.PauseCount(), 2);
  // Start while a worker is alive resumes it instead of starting another.
  EXPECT_EQ(s.control.Start(Search::Dirs(tree, kGroupingDirs), {}), SearchControl::StartResult::Resumed);
  EXPECT_EQ(s.control.PauseCount(), 1);
  EXPECT_TRUE(s.control.SearchPaused());
  EXPECT_TRUE(gate.WaitUntilHalted(1000));  // still held
  EXPECT_TRUE(s.control.IsAlive());
  EXPECT_TRUE(s.window.rows.empty());
  EXPECT_TRUE(s.control.Resume());
  ASSERT_TRUE(s.window.PumpUntil([&] { return s.window.stateChanges > 0; }));
  EXPECT_EQ(s.window.rows.size(), 7u);
  EXPECT_FALSE(s.control.Resume());  // nothing to resume any more
}

TEST(Search, APauseHoldsTheWorkerInTheMiddleOfAFileAndResumeFinishesIt) {
  const std::string big(3 * kFingerprintChunk + 17, 'q');
  TempTree tree({{"a/big", big}, {"b/big", big}});
  Search s;
  PassIo io = PassIo::Platform();
  std::atomic<int> checksAtPause{-1};
  io.confirm = [&](const std::vector<CopySet>& sets, FingerprintKinds kinds, const ContinueCheck& keepGoing) {
    int checks = 0;
    return ConfirmCopySets(sets, kinds, [&] {
      // Pause once both files are open and their first chunks read; Checkpoint then holds.
      if (++checks == 5 && checksAtPause.load() < 0) {
        checksAtPause = checks;
        s.control.CurrentRun()->gate.AddPause();
      }
      return keepGoing();
    });
  };
  s.control.SetPassIo(io);
  ASSERT_EQ(s.control.Start(Search::Dirs(tree, {"a", "b"}), {}), SearchControl::StartResult::Started);
  ASSERT_TRUE(s.control.CurrentRun()->gate.WaitUntilHalted(60000));
  EXPECT_EQ(checksAtPause.load(), 5);
  EXPECT_TRUE(s.control.SearchPaused());
  EXPECT_TRUE(s.control.Resume());
  s.root = tree.RootText();
  ASSERT_TRUE(s.window.PumpUntil([&] { return s.window.stateChanges > 0; }));
  EXPECT_EQ(s.Paths(), (std::vector<std::string>{"a/big", "b/big"}));
}

TEST(Search, MacPauseButtonFollowsTheWorkersRealState) {
  TempTree tree = GroupingTree();
  Search s(SearchFlavour::Mac);
  EXPECT_FALSE(s.control.TogglePause());  // no search: nothing happens
  StageTrap trap(kStageWalk);
  trap.Arm(s.control);
  ASSERT_EQ(s.control.Start(Search::Dirs(tree, kGroupingDirs), {}), SearchControl::StartResult::Started);
  ASSERT_TRUE(s.control.CurrentRun()->gate.WaitUntilHalted(60000));
  EXPECT_TRUE(s.control.SearchPaused());   // held by the trap: the button offers Resume
  EXPECT_FALSE(s.control.TogglePause());   // Resume
  s.control.TogglePause();                 // Pause again
  EXPECT_TRUE(s.control.SearchPaused());
  s.control.Stop();
  EXPECT_FALSE(s.control.SearchPaused());  // Stop resets the button
  EXPECT_FALSE(s.control.IsAlive());
}

TEST(Search, PauseAndStopWithNoSearchDoNothing) {
  Search s;
  s.control.Pause();
  s.control.Stop();
  EXPECT_EQ(s.control.PauseCount(), 0);
  EXPECT_TRUE(s.window.events.empty());
  EXPECT_EQ(s.control.Start({}, {}), SearchControl::StartResult::NoDirectories);
  EXPECT_TRUE(s.window.events.empty());
}

TEST(Search, ANewSearchCanFollowAFinishedOne) {
  TempTree tree = GroupingTree();
  Search s;
  s.Run(tree, kGroupingDirs, {});
  EXPECT_EQ(s.window.rows.size(), 7u);
  s.window.rows.clear();
  s.window.stateChanges = 0;
  s.Run(tree, {"d2", "d4"}, {});
  EXPECT_EQ(s.Paths(), (std::vector<std::string>{"d2/two", "d4/four"}));
}

// A tree whose duplicates lie in several folders, so a walk cut short loses rows.
TempTree WalkTree() {
  return TempTree({{"d/a/1", "alpha"}, {"d/b/2", "alpha"}, {"d/b/c/3", "beta"}, {"d/e/4", "beta"},
                   {"d/f/g/5", "gamma"}, {"d/h/6", "gamma"}, {"d/7", "delta"}, {"d/i/8", "delta"}});
}

// Holds the worker as the walk enters its n-th directory until the test lets it go.
struct WalkTrap {
  void Arm(SearchControl& control, int n) {
    PassIo io = PassIo::Platform();
    io.directoryReached = [this, n](const Text&) {
      std::unique_lock lock(mutex);
      if (++entered != n) return;
      changed.notify_all();
      changed.wait(lock, [&] { return released; });
    };
    control.SetPassIo(io);
  }
  void WaitEntered(int n) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return entered >= n; });
  }
  void Release() {
    std::lock_guard lock(mutex);
    released = true;
    changed.notify_all();
  }
  std::mutex mutex;
  std::condition_variable changed;
  int entered = 0;
  bool released = false;
};

TEST(Search, ButtonsPressedInsideTheWalkLoseNoRows) {
  SearchOptions subdirs;
  subdirs.searchSubdirectories = true;
  // A resumed search keeps what it started with, whatever the options are now.
  SearchOptions other = subdirs;
  other.crc32 = other.sha1 = other.sizeLimit = other.fileTypes = true;
  other.minSize = 1000;
  other.fileTypesInput = T("zzz");

  std::vector<Row> uninterrupted;
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    TempTree tree = WalkTree();
    Search plain(flavour);
    plain.Run(tree, {"d"}, subdirs);
    if (uninterrupted.empty()) uninterrupted = plain.Rows();
    EXPECT_EQ(plain.Rows(), uninterrupted);
  }
  ASSERT_EQ(uninterrupted.size(), 8u);

  enum Press { kStop, kStartAsResume, kMacToggle, kStartWhileRunning };
  for (Press press : {kStop, kStartAsResume, kMacToggle, kStartWhileRunning}) {
    SCOPED_TRACE(press);
    TempTree tree = WalkTree();
    Search s(press == kMacToggle ? SearchFlavour::Mac : SearchFlavour::Windows);
    s.root = tree.RootText();
    WalkTrap trap;
    trap.Arm(s.control, 3);
    auto dirs = Search::Dirs(tree, {"d"});
    ASSERT_EQ(s.control.Start(dirs, subdirs), SearchControl::StartResult::Started);
    trap.WaitEntered(3);
    if (press == kStartWhileRunning) {
      // Twice, quickly, while the walk holds its listings.
      EXPECT_EQ(s.control.Start(dirs, other), SearchControl::StartResult::Resumed);
      EXPECT_EQ(s.control.Start(dirs, other), SearchControl::StartResult::Resumed);
      trap.Release();
    } else {
      if (press == kMacToggle) {
        EXPECT_TRUE(s.control.TogglePause());
      } else {
        s.control.Pause();
      }
      trap.Release();
      ASSERT_TRUE(s.control.CurrentRun()->gate.WaitUntilHalted(60000));
      if (press == kStop) s.control.Stop();
      if (press == kStartAsResume) {
        EXPECT_EQ(s.control.Start(dirs, other), SearchControl::StartResult::Resumed);
      }
      if (press == kMacToggle) {
        EXPECT_FALSE(s.control.TogglePause());
      }
    }
    if (press == kStop) {
      s.window.PumpPending();
      EXPECT_TRUE(s.window.rows.empty());
      EXPECT_FALSE(s.control.IsAlive());
      continue;
    }
    ASSERT_TRUE(s.window.PumpUntil([&] { return s.window.stateChanges > 0; }));
    EXPECT_EQ(s.Rows(), uninterrupted);
    EXPECT_EQ(s.control.Settings().crc32Enabled, 0);
  }
}

TEST(Search, StartFromTheSearchsLastWindowStepStartsANewSearch) {
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    for (bool found : {true, false}) {
      SCOPED_TRACE(std::to_string(found) + (flavour == SearchFlavour::Mac ? " mac" : " windows"));
      TempTree tree({{"d/a", "same"}, {"d/b", found ? "same" : "diff"}});
      Search s(flavour);
      s.root = tree.RootText();
      auto dirs = Search::Dirs(tree, {"d"});
      std::vector<SearchControl::StartResult> results;
      s.window.onStateChanged = [&] {
        if (results.empty()) {
          EXPECT_FALSE(s.control.IsAlive());
          s.window.rows.clear();
          results.push_back(s.control.Start(dirs, {}));
        }
      };
      ASSERT_EQ(s.control.Start(dirs, {}), SearchControl::StartResult::Started);
      ASSERT_TRUE(s.window.PumpUntil([&] { return s.window.stateChanges >= 2; }));
      ASSERT_EQ(results.size(), 1u);
      EXPECT_EQ(results[0], SearchControl::StartResult::Started);
      EXPECT_EQ(s.window.rows.size(), found ? 2u : 0u);
      EXPECT_EQ(s.window.boxes, found ? 0 : 2);
      EXPECT_TRUE(s.window.panelEnabled);
      EXPECT_FALSE(s.control.IsAlive());
    }
  }
}


// The user stops the finished search from inside its "No duplicates found."
// box and starts a new one before closing the box. Closing the box belongs to
// the old search: it must not give the panel back while the new one runs.
TEST(Search, StopAndStartInsideTheNoDuplicatesBoxKeepThePanelOfTheNewSearchDisabled) {
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    SCOPED_TRACE(flavour == SearchFlavour::Mac ? "mac" : "windows");
    TempTree tree({{"d/a", "one"}, {"d/b", "two"}});
    Search s(flavour);
    s.root = tree.RootText();
    auto dirs = Search::Dirs(tree, {"d"});
    WalkTrap trap;
    trap.Arm(s.control, 2);  // holds the second search in its walk
    SearchControl::StartResult second = SearchControl::StartResult::Failed;
    s.window.onBox = [&] {
      if (s.window.boxes != 1) return;
      s.control.Stop();
      second = s.control.Start(dirs, {});
    };
    ASSERT_EQ(s.control.Start(dirs, {}), SearchControl::StartResult::Started);
    ASSERT_TRUE(s.window.PumpUntil([&] { return s.window.boxes >= 1; }));
    s.window.PumpPending();
    ASSERT_EQ(second, SearchControl::StartResult::Started);
    EXPECT_TRUE(s.control.IsAlive());
    EXPECT_FALSE(s.window.panelEnabled) << "the old search's box gave the panel back during the new search";
    trap.Release();
    ASSERT_TRUE(s.window.PumpUntil([&] { return !s.control.IsAlive(); }));
    s.window.PumpPending();
  }
}

}  // namespace
}  // namespace vantrel

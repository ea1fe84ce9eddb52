// Searches over POSIX trees with what only POSIX file systems have here:
// symbolic links, permission bits, and sparse files of several gigabytes.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

#include <filesystem>
#include <set>

#include "engine/confirm_copies.hpp"
#include "engine/search_control.hpp"
#include "tests/support/recording_window.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::RecordingWindow;
using testing::RelativeTo;
using testing::TempTree;

struct Found {
  std::vector<std::string> paths;
  std::vector<std::string> sizes;
  std::vector<std::string> groups;
};

Found RunSearch(const TempTree& tree, const std::vector<Text>& dirs, SearchOptions options = {}) {
  RecordingWindow window;
  SearchControl control(window, SearchFlavour::Mac);
  Found found;
  EXPECT_EQ(control.Start(dirs, options), SearchControl::StartResult::Started);
  EXPECT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }, 600000));
  for (const auto& row : window.rows) {
    found.groups.push_back(Bytes(row[0]));
    found.paths.push_back(RelativeTo(tree.RootText(), {row[1]})[0]);
    found.sizes.push_back(Bytes(row[2]));
  }
  return found;
}

std::set<std::string> AsSet(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

TEST(PosixSearch, ALinkToAFileInTheTreeIsThatFileNotItsDuplicate) {
  TempTree tree({{"d/target", "contents"}, {"d/real-copy", "contents"}, {"d/alone", "solo!!!!"}});
  fs::create_symlink(tree.Root() / "d" / "target", tree.Root() / "d" / "link-to-target");
  fs::create_symlink(tree.Root() / "d" / "alone", tree.Root() / "d" / "link-to-alone");
  Found f = RunSearch(tree, {tree.PathOf("d")});
  // One of target and its link stands for the file (whichever was listed
  // first); the lone file and its link make no group.
  ASSERT_EQ(f.paths.size(), 2u);
  auto paths = AsSet(f.paths);
  EXPECT_TRUE(paths.count("d/real-copy"));
  EXPECT_EQ(paths.count("d/target") + paths.count("d/link-to-target"), 1u);
}

TEST(PosixSearch, AFileMetThroughALinkFirstIsShownByItsOwnPath) {
  // The links' folder comes first in the search list, so each file is met
  // through a link before its own path; the path that is no link stands for it.
  TempTree tree({{"real/target", "contents"}, {"real/copy", "contents"}, {"real/alone", "solo!!!!"},
                 {"other/copy", "contents"}});
  fs::create_directory(tree.Root() / "links");
  fs::create_symlink(tree.Root() / "real" / "target", tree.Root() / "links" / "to-target");
  fs::create_symlink(tree.Root() / "real" / "alone", tree.Root() / "links" / "to-alone");
  fs::create_symlink(tree.Root() / "real" / "target", tree.Root() / "links" / "to-target-again");
  Found f = RunSearch(tree, {tree.PathOf("links"), tree.PathOf("real")});
  EXPECT_EQ(f.paths.size(), 2u);
  EXPECT_EQ(AsSet(f.paths), (std::set<std::string>{"real/target", "real/copy"}));
  // Where only links reach a file, one of them stands for it.
  Found onlyLinks = RunSearch(tree, {tree.PathOf("links"), tree.PathOf("other")});
  ASSERT_EQ(onlyLinks.paths.size(), 2u);
  auto paths = AsSet(onlyLinks.paths);
  EXPECT_TRUE(paths.count("other/copy"));
  EXPECT_EQ(paths.count("links/to-target") + paths.count("links/to-target-again"), 1u);
}

// Returns the number of descriptors this process has open.
int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST(PosixSearch, ASetOfMoreFilesThanStayOpenKeepsAtMostThatManyOpen) {
  // 150 files of one size: 100 copies and 25 pairs.
  TempTree tree;
  std::vector<Text> paths;
  for (int i = 0; i < 150; ++i) {
    const unsigned contents = i < 100 ? 1u : 2u + static_cast<unsigned>(i - 100) / 2;
    tree.Add({"f" + std::to_string(i), testing::PatternBytes(200 * 1024, contents)});
    paths.push_back(tree.PathOf("f" + std::to_string(i)));
  }
  std::vector<const Text*> pointers;
  for (const Text& p : paths) pointers.push_back(&p);
  const int before = OpenDescriptors();
  int most = 0;
  auto open = [&](FileReader& reader, const Text& path) {
    most = std::max(most, OpenDescriptors() - before);
    return reader.Open(path);
  };
  CopyClasses got = ConfirmCopies(pointers, 200 * 1024, {}, {}, open);
  EXPECT_EQ(got.fingerprints.size(), 26u);
  EXPECT_LE(most, static_cast<int>(kOpenFilesAtOnce));
}

TEST(PosixSearch, ADirectoryReachedThroughALinkIsSearchedOnce) {
  TempTree tree({{"real/a", "same"}, {"real/b", "same"}});
  fs::create_directory_symlink(tree.Root() / "real", tree.Root() / "alias");
  SearchOptions o;
  o.searchSubdirectories = true;
  Found f = RunSearch(tree, {tree.PathOf("real"), tree.PathOf("alias")}, o);
  EXPECT_EQ(f.paths.size(), 2u);
  EXPECT_EQ(AsSet(f.paths), (std::set<std::string>{"real/a", "real/b"}));
}

TEST(PosixSearch, SparseGigabyteFilesKeepTheirTrueSizes) {
  TempTree tree;
  tree.AddSparse("big1/a", 3LL << 30);
  tree.AddSparse("big2/b", 3LL << 30);
  tree.AddSparse("edge1/a", 2147483647LL);
  tree.AddSparse("edge2/b", 2147483647LL);
  // No upper limit means none: the files of exactly 2147483647 bytes are found.
  Found f = RunSearch(tree, {tree.PathOf("big1"), tree.PathOf("big2"), tree.PathOf("edge1"),
                             tree.PathOf("edge2")});
  EXPECT_EQ(f.paths, (std::vector<std::string>{"big1/a", "big2/b", "edge1/a", "edge2/b"}));
  EXPECT_EQ(f.sizes, (std::vector<std::string>{"3.00 GB", "3.00 GB", "2.00 GB", "2.00 GB"}));
  // The MD5s of 3 GiB and of 2 GiB - 1 zero bytes differ, so two groups.
  EXPECT_EQ(f.groups[0] == f.groups[2], false);
}

// Root reads every file, so this runs for real in the unprivileged ctest entry.
// Returns the process's address space in use now, in bytes (0 when unknown).
rlim_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  unsigned long pages = 0;
  statm >> pages;
  return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

// A Start whose worker thread could not be made (no memory left for its
// stack) must leave no trace: the next search, with the size limit off,
// applies no size limit. Run in a fresh process, so no thread stack is cached.
TEST(PosixSearch, AStartWithoutAThreadLeavesNoSizeLimitsForTheNextSearch) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto startWithoutThreadThenSearch = [] {
        TempTree tree({{"d/a", "small"}, {"d/b", "small"}});
        RecordingWindow window;
        SearchControl control(window, SearchFlavour::Mac);
        SearchOptions limited;
        limited.sizeLimit = true;
        limited.minSize = 1000;
        limited.maxSize = 2000;
        rlimit old{};
        getrlimit(RLIMIT_AS, &old);
        rlimit tight{AddressSpaceInUse() + (2u << 20), old.rlim_max};
        setrlimit(RLIMIT_AS, &tight);
        SearchControl::StartResult first = control.Start({tree.PathOf("d")}, limited);
        setrlimit(RLIMIT_AS, &old);
        if (first != SearchControl::StartResult::Failed) {
          fprintf(stderr, "could not make the thread fail\n");
          _exit(3);
        }
        if (!window.panelEnabled) _exit(4);
        if (control.Start({tree.PathOf("d")}, SearchOptions{}) != SearchControl::StartResult::Started) _exit(5);
        window.PumpUntil([&] { return window.stateChanges > 0; }, 60000);
        fprintf(stderr, "rows %zu minSize %d maxSize %d\n", window.rows.size(),
                static_cast<int>(control.Settings().minSize), static_cast<int>(control.Settings().maxSize));
        _exit(window.rows.size() == 2 ? 0 : 1);
  };
  EXPECT_EXIT(startWithoutThreadThenSearch(), ::testing::ExitedWithCode(0), "");
}

TEST(PosixUnprivilegedSearch, UnreadableFilesAreSkippedSilently) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file; this case runs again as nobody";
  TempTree tree({{"d/a", "pair"}, {"d/b", "pair"}, {"d/locked", "pair"}, {"d/x", "trio"}, {"d/y", "trio"}});
  fs::permissions(tree.Root() / "d" / "locked", fs::perms::none);
  Found f = RunSearch(tree, {tree.PathOf("d")});
  EXPECT_EQ(AsSet(f.paths), (std::set<std::string>{"d/a", "d/b", "d/x", "d/y"}));
}

}  // namespace
}  // namespace vantrel

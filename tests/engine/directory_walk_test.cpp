#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/directory_walk.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

using testing::Bytes;
using testing::RelativeTo;
using testing::Sorted;
using testing::TempTree;
using testing::T;
using testing::TextOf;

const std::vector<testing::TreeEntry> kTree = {
    {"a.txt", "1"},         {"b.jpg", "2"},          {"sub/c.txt", "3"},
    {"sub/deeper/d", "4"},  {".hidden/e.txt", "5"},  {"sub/.dotfile", "6"},
    {"empty/", ""},         {"other/f.txt", "7"},
};

TEST(ScanDirectoryTree, FindsEveryFileBelowTheDirectoryIncludingDotDirectories) {
  TempTree tree(kTree);
  ListingSlots slots;
  ScanList found;
  ScanDirectoryTree(slots, found, tree.RootText(), 0);
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), found)),
            Sorted({"a.txt", "b.jpg", "sub/c.txt", "sub/deeper/d", ".hidden/e.txt",
                    "sub/.dotfile", "other/f.txt"}));
}

TEST(ScanDirectoryTree, WalksDepthFirstSoASubtreeIsContiguous) {
  TempTree tree(kTree);
  ListingSlots slots;
  ScanList found;
  ScanDirectoryTree(slots, found, tree.RootText(), 0);
  auto rel = RelativeTo(tree.RootText(), found);
  // Every path under sub/ stands in one unbroken run, sub/deeper/ within it.
  auto isUnder = [&](const std::string& prefix) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < rel.size(); ++i)
      if (rel[i].rfind(prefix, 0) == 0) at.push_back(i);
    return at.empty() || at.back() - at.front() + 1 == at.size();
  };
  EXPECT_TRUE(isUnder("sub/"));
  EXPECT_TRUE(isUnder("sub/deeper/"));
  EXPECT_TRUE(isUnder("other/"));
}

TEST(ScanDirectoryTree, TrailingSeparatorOrNotGivesTheSamePaths) {
  TempTree tree(kTree);
  ListingSlots slots;
  ScanList with, without;
  ScanDirectoryTree(slots, with, tree.RootText(), 0);
  CloseLeftoverListings(slots);
  ScanDirectoryTree(slots, without, TextOf(tree.Root()), 0);
  EXPECT_EQ(with, without);
  EXPECT_EQ(with.front().substr(0, tree.RootText().size()), tree.RootText());
}

// The files of one directory's own listing, in that listing's order, with each
// subdirectory's files in its place: the pre-order the walk must give.
void ExpectedPreOrder(const Text& directory, ScanList& out) {
  ListingSlots slots;
  ASSERT_TRUE(slots.OpenListing(0, directory, TextFromAscii("*.*")));
  std::vector<std::pair<int, Text>> entries;
  while (slots.NextListingEntry(0) == 1) entries.push_back({slots.ListingEntryKind(0), slots.ListingEntryName(0)});
  slots.CloseListing(0);
  for (const auto& [kind, name] : entries) {
    if (kind == 1) out.push_back(directory + name);
    if (kind == 2 && name != TextFromAscii(".") && name != TextFromAscii(".."))
      ExpectedPreOrder(directory + name + PathSeparator(), out);
  }
}

TEST(ScanDirectoryTree, FollowsEachDirectorysOwnListingOrderInPreOrder) {
  TempTree tree({{"m/1", "1"}, {"m/z/2", "2"}, {"m/a/3", "3"}, {"m/a/b/4", "4"}, {"m/a/5", "5"},
                 {"q", "6"}, {"c/d/e/f/7", "7"}, {"c/8", "8"}, {"0", "9"}});
  ListingSlots slots;
  ScanList found, expected;
  ScanDirectoryTree(slots, found, tree.RootText(), 0);
  ExpectedPreOrder(tree.RootText(), expected);
  EXPECT_EQ(found.size(), 9u);
  EXPECT_EQ(found, expected);
}

// What a search walks into: the table must give back every path, in order,
// as the list does.
std::vector<Text> PathsOf(const PathTable& table) {
  std::vector<Text> out;
  for (std::size_t i = 0; i < table.size(); ++i) out.push_back(table.PathAt(i));
  return out;
}

TEST(PathTable, AWalkIntoATableGivesTheListsPathsInItsOrder) {
  TempTree tree({{"m/1", "1"}, {"m/z/2", "2"}, {"m/a/3", "3"}, {"m/a/b/4", "4"}, {"m/a/5", "5"},
                 {"q", "6"}, {"c/d/e/f/7", "7"}, {"c/8", "8"}, {"0", "9"}, {"empty/", ""}});
  ListingSlots slots;
  ScanList list;
  PathTable table;
  ScanDirectoryTree(slots, list, tree.RootText(), 0);
  ScanDirectoryTree(slots, table, tree.RootText(), 0);
  EXPECT_EQ(PathsOf(table), list);
  ScanList files;
  PathTable fileTable;
  ScanDirectoryFiles(slots, files, tree.RootText() + T("m"));
  ScanDirectoryFiles(slots, fileTable, tree.RootText() + T("m"));
  EXPECT_EQ(PathsOf(fileTable), files);
  // Where the listing tells a file's identity (Windows), it is the one the
  // file itself gives, with or without the walk's guard against loops.
  WalkedDirectories walked;
  WalkControl guarded;
  guarded.walked = &walked;
  PathTable guardedTable;
  ScanDirectoryTree(slots, guardedTable, tree.RootText(), 0, guarded);
  for (const PathTable* t : {&table, &fileTable, &guardedTable}) {
    for (std::size_t i = 0; i < t->size(); ++i) {
      const FileIdentity listed = t->ListedIdentity(i);
#ifdef _WIN32
      EXPECT_TRUE(listed.known) << Bytes(t->PathAt(i));
#endif
      if (listed.known) {
        EXPECT_EQ(listed, FileIdentityOf(t->PathAt(i))) << Bytes(t->PathAt(i));
      }
    }
  }
}

TEST(PathTable, ListedIdentitiesStayWithTheirFiles) {
  // Files with and without an identity from the listing, a name longer than
  // a block, and the moves between tables the search makes.
  const FileIdentity none;
  const FileIdentity one{true, 1, 11, 0}, two{true, 1, 22, 0}, three{true, 2, 33, 0};
  PathTable table;
  table.Add(T("/plain"));
  const std::uint32_t d = table.AddDirectory(T("/d/"));
  table.AddName(d, T("one"), one);
  table.AddName(d, T("unknown"));
  table.AddName(d, Text(70000, static_cast<Char>('x')), two);
  table.AddName(d, T("three"), three);
  const std::vector<FileIdentity> expected = {none, one, none, two, three};
  auto identities = [](const PathTable& t) {
    std::vector<FileIdentity> out;
    for (std::size_t i = 0; i < t.size(); ++i) out.push_back(t.ListedIdentity(i));
    return out;
  };
  EXPECT_EQ(identities(table), expected);
  PathTable first;  // the first file with one
  first.AddName(first.AddDirectory(T("/e/")), T("x"), one);
  first.Add(T("/e/y"));
  EXPECT_EQ(identities(first), (std::vector<FileIdentity>{one, none}));

  PathTable copied;
  for (std::size_t i = 0; i < table.size(); ++i) copied.AddFrom(table, i);
  EXPECT_EQ(identities(copied), expected);
  PathTable names;  // a table of names alone, then one that knows identities
  names.Add(T("/first"));
  names.Append(std::move(copied));
  std::vector<FileIdentity> both = {none};
  both.insert(both.end(), expected.begin(), expected.end());
  EXPECT_EQ(identities(names), both);
  PathTable empty;
  empty.Append(std::move(names));
  EXPECT_EQ(identities(empty), both);
  EXPECT_EQ(empty.PathAt(4), T("/d/") + Text(70000, static_cast<Char>('x')));
}

TEST(PathTable, EveryPathComesBackWhateverItsLengthAndWhereverItIsCut) {
  // Names that fill the pool's blocks to their ends, a name longer than a
  // block, paths without a separator or ending in one, and moves between tables.
  std::vector<Text> paths = {T("/a/b"), T("c"), T("/a/"), T(""), T("/a/b\\c")};
  for (std::size_t n : {std::size_t{1}, std::size_t{1000}, std::size_t{65535}, std::size_t{65536},
                        std::size_t{70000}, std::size_t{40000}, std::size_t{40000}})
    paths.push_back(T("/d/") + Text(n, static_cast<Char>('x' + n % 3)));
  PathTable table;
  for (const Text& p : paths) table.Add(p);
  EXPECT_EQ(PathsOf(table), paths);

  PathTable copied, moved;
  for (std::size_t i = 0; i < table.size(); ++i) copied.AddFrom(table, i);
  EXPECT_EQ(PathsOf(copied), paths);
  moved.Add(T("/first"));
  moved.Append(std::move(copied));
  EXPECT_TRUE(copied.empty());
  std::vector<Text> both = {T("/first")};
  both.insert(both.end(), paths.begin(), paths.end());
  EXPECT_EQ(PathsOf(moved), both);
}

TEST(ScanDirectoryTree, ClosesEverySlotItOpenedWhetherFinishedOrStopped) {
  TempTree tree({{"x/y/z/file", "1"}, {"x/y/z/more", "2"}});
  for (int stopAfter : {1000, 3}) {
    SCOPED_TRACE(stopAfter);
    int asked = 0;
    ListingSlots slots;
    ScanList found;
    WalkControl control;
    control.keepGoing = [&] { return ++asked < stopAfter; };
    ScanDirectoryTree(slots, found, tree.RootText(), 0, control);
    EXPECT_EQ(found.size(), stopAfter == 1000 ? 2u : 0u);
    for (int depth = 0; depth <= 4; ++depth) EXPECT_FALSE(slots.IsListingOpen(depth)) << depth;
  }
}

TEST(ScanDirectoryTree, WalksADirectoryOnlyOncePerSearch) {
  TempTree tree({{"top/a", "1"}, {"top/inner/b", "2"}});
  ListingSlots slots;
  ScanList found;
  WalkedDirectories walked;
  std::vector<std::string> entered;
  WalkControl control;
  control.walked = &walked;
  control.directoryEntered = [&](const Text& d) { entered.push_back(Bytes(d)); };
  // The inner folder first, then its parent, then the parent again.
  ScanDirectoryTree(slots, found, tree.PathOf("top/inner"), 0, control);
  ScanDirectoryTree(slots, found, tree.PathOf("top"), 0, control);
  ScanDirectoryTree(slots, found, tree.RootText() + T("top"), 0, control);
  EXPECT_EQ(RelativeTo(tree.RootText(), found), (std::vector<std::string>{"top/inner/b", "top/a"}));
  EXPECT_EQ(entered.size(), 2u);
}

TEST(ScanDirectoryFiles, TakesOnlyTheFilesDirectlyInTheDirectoryAndClosesItsSlot) {
  TempTree tree(kTree);
  ListingSlots slots;
  ScanList found;
  ScanDirectoryFiles(slots, found, tree.RootText(), {});
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), found)), Sorted({"a.txt", "b.jpg"}));
  EXPECT_FALSE(slots.IsListingOpen(0));
}

TEST(DirectoryWalk, MissingOrVanishedDirectoriesContributeNothing) {
  TempTree tree({{"keep/a", "1"}, {"gone/b", "2"}});
  Text gone = tree.PathOf("gone");
  std::filesystem::remove_all(tree.Root() / "gone");
  ListingSlots slots;
  ScanList found;
  ScanDirectoryTree(slots, found, gone, 0);
  ScanDirectoryFiles(slots, found, gone, {});
  ScanDirectoryTree(slots, found, tree.PathOf("never-was"), 0);
  EXPECT_TRUE(found.empty());
  EXPECT_FALSE(slots.IsListingOpen(0));
  ScanDirectoryTree(slots, found, tree.RootText(), 0);
  EXPECT_EQ(RelativeTo(tree.RootText(), found), std::vector<std::string>{"keep/a"});
}

TEST(DirectoryWalk, AStopRequestEndsTheWalkEarly) {
  TempTree tree({{"a", "1"}, {"b", "2"}, {"c/d", "3"}});
  int asked = 0;
  ListingSlots slots;
  ScanList found;
  WalkControl control;
  control.keepGoing = [&] { return ++asked < 2; };
  ScanDirectoryTree(slots, found, tree.RootText(), 0, control);
  EXPECT_EQ(asked, 2);
  EXPECT_LE(found.size(), 1u);
}

TEST(ListingSlots, ReopeningASlotReplacesItsListingAndEmptySlotsSayNothing) {
  TempTree tree({{"one/a", "1"}, {"two/b", "2"}});
  ListingSlots slots;
  EXPECT_EQ(slots.ListingEntryKind(7), 0);
  EXPECT_EQ(slots.NextListingEntry(7), 0);
  EXPECT_TRUE(slots.ListingEntryName(7).empty());
  ASSERT_TRUE(slots.OpenListing(0, tree.PathOf("one"), TextFromAscii("*.*")));
  ASSERT_TRUE(slots.OpenListing(0, tree.PathOf("two"), TextFromAscii("*.*")));
  std::vector<std::string> names;
  while (slots.NextListingEntry(0) == 1) {
    if (slots.ListingEntryKind(0) == 1) names.push_back(Bytes(slots.ListingEntryName(0)));
  }
  EXPECT_EQ(names, std::vector<std::string>{"b"});
  slots.CloseListing(0);
  EXPECT_FALSE(slots.IsListingOpen(0));
}

}  // namespace
}  // namespace vantrel

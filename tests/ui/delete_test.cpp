// Whole searches through the program, then Delete: the files the user checked
// go, one file of every group stays, and a file is deleted only while it is
// still a copy of the file kept beside it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "engine/file_system.hpp"
#include "tests/support/temp_tree.hpp"
#include "tests/ui/app_fixture.hpp"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::Bytes;
using testing::RelativeTo;
using testing::Sorted;
using testing::T;
using testing::TempTree;
using testing::WalkTree;

// Adds the tree's root, searches its subfolders and waits for the rows.
void Search(App& app, const TempTree& tree) {
  app.Type(GadgetDirectoryInput, tree.RootText());
  app.Click(GadgetAdd);
  app.Check(GadgetSubdirs, true);
  app.Click(GadgetStart);
  ASSERT_TRUE(app.FinishSearch());
}

std::vector<std::string> FilesLeft(const TempTree& tree) {
  return Sorted(RelativeTo(tree.RootText(), WalkTree(tree)));
}

std::vector<std::string> RowPaths(App& app, const TempTree& tree) {
  return RelativeTo(tree.RootText(), app.RowTexts(GadgetResults, 1));
}

int RowOf(App& app, const TempTree& tree, const std::string& relative) {
  auto paths = RowPaths(app, tree);
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (paths[i] == relative) return static_cast<int>(i);
  return -1;
}

void Write(const TempTree& tree, const std::string& relative, const std::string& contents) {
  std::ofstream(tree.Root() / fs::path(relative), std::ios::binary | std::ios::trunc) << contents;
}

TEST(WholeSearch, SelectAllButOneThenDeleteLeavesOneFileOfEveryGroup) {
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    const bool mac = flavour == SearchFlavour::Mac;
    SCOPED_TRACE(mac);
    TempTree tree({{"a/one", "alpha"}, {"b/two", "alpha"}, {"b/c/three", "alpha"}, {"d/four", "beta!"},
                   {"five", "beta!"}, {"six", "lonely"}});
    App app(flavour);
    Search(app, tree);
    ASSERT_EQ(app.host.RowCount(GadgetResults), 5);
    EXPECT_EQ(app.host.At(GadgetPanel).selectedTab, kResultsTab);
    app.Click(GadgetSelectAllButOne);
    app.host.QueueAnswer(kAnswerYes);
    app.Click(GadgetDeleteSelected);
    ASSERT_EQ(app.Boxes().size(), 1u);
    EXPECT_EQ(app.Boxes()[0].title, mac ? T("Delete files?") : T("Delete selected files?"));
    EXPECT_EQ(app.Boxes()[0].text,
              mac ? T("Delete selected files from disk?") : T("Do you really want to delete the selected files?"));
    EXPECT_EQ(app.host.log, (std::vector<std::string>(mac ? std::vector<std::string>{"window off", "window on"}
                                                           : std::vector<std::string>{"window off", "window on", "front"})));
    // One of each group is left, with its row; the lone file was never shown.
    EXPECT_EQ(FilesLeft(tree).size(), 3u);
    EXPECT_EQ(app.host.RowCount(GadgetResults), 2);
    std::vector<std::string> left = FilesLeft(tree);
    for (const std::string& row : RowPaths(app, tree)) EXPECT_NE(std::find(left.begin(), left.end(), row), left.end());
    EXPECT_NE(std::find(left.begin(), left.end(), "six"), left.end());
    EXPECT_EQ(app.States(GadgetResults), (std::vector<int>{0, 0}));
  }
}

TEST(WholeSearch, NothingFoundShowsTheInformationBoxAndGivesThePanelBack) {
  TempTree tree({{"a", "one"}, {"b", "two"}});
  App app(SearchFlavour::Mac);
  app.host.QueueAnswer(kAnswerOk);
  Search(app, tree);
  ASSERT_EQ(app.Boxes().size(), 1u);
  EXPECT_EQ(app.Boxes()[0].kind, BoxKind::Information);
  EXPECT_EQ(app.Boxes()[0].title, T("Information"));
  EXPECT_EQ(app.Boxes()[0].text, T("No duplicates found."));
  EXPECT_TRUE(app.host.At(GadgetPanel).enabled);
  EXPECT_EQ(app.host.At(GadgetPanel).selectedTab, kOptionsTab);
}

TEST(Delete, AnsweredNoTouchesNothing) {
  TempTree tree({{"a", "same"}, {"b", "same"}});
  App app(SearchFlavour::Windows);
  Search(app, tree);
  app.Click(GadgetSelectAll);
  app.host.QueueAnswer(kAnswerNo);
  app.Click(GadgetDeleteSelected);
  EXPECT_EQ(FilesLeft(tree).size(), 2u);
  EXPECT_EQ(app.States(GadgetResults), (std::vector<int>{kRowChecked, kRowChecked}));
}

// Each case: a search over {keep, gone} and {x, y} (same contents in pairs), the
// row of "gone" checked, then a change made behind the program's back.
TEST(Delete, ACheckedFileGoesOnlyWhileItIsStillACopyOfTheFileKept) {
  struct Case {
    const char* what;
    std::function<bool(const TempTree&)> change;  // false: not possible here
    bool goneDeleted;
    bool keepRowStays;
  } cases[] = {
      {"nothing changed", [](const TempTree&) { return true; }, true, true},
      {"the checked file changed, same size",
       [](const TempTree& t) {
         Write(t, "gone", "samE contents");
         return true;
       },
       false, true},
      {"the kept file was removed",
       [](const TempTree& t) {
         fs::remove(t.Root() / "keep");
         return true;
       },
       false, false},
      {"the checked file is now a link to the kept one",
       [](const TempTree& t) {
         fs::remove(t.Root() / "gone");
         std::error_code ec;
         fs::create_symlink(t.Root() / "keep", t.Root() / "gone", ec);
         return !ec;
       },
       false, true},
      {"the checked file is now a hard link to the kept one",
       [](const TempTree& t) {
         fs::remove(t.Root() / "gone");
         std::error_code ec;
         fs::create_hard_link(t.Root() / "keep", t.Root() / "gone", ec);
         return !ec;
       },
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree tree({{"keep", "same contents"}, {"gone", "same contents"}, {"x", "pair"}, {"y", "pair"}});
    App app(SearchFlavour::Windows);
    Search(app, tree);
    ASSERT_EQ(app.host.RowCount(GadgetResults), 4);
    const int gone = RowOf(app, tree, "gone");
    const int keep = RowOf(app, tree, "keep");
    ASSERT_GE(gone, 0);
    // Make sure "gone" is the checked one and "keep" the kept one, whatever their order.
    app.host.SetRowState(GadgetResults, gone, kRowChecked | kRowHighlighted);
    app.host.SetRowState(GadgetResults, RowOf(app, tree, "y"), kRowChecked);
    if (!c.change(tree)) {
      std::cout << "skipped here: " << c.what << "\n";
      continue;
    }
    const std::string goneBefore = fs::is_symlink(tree.Root() / "gone") ? "link" : "file";
    app.host.QueueAnswer(kAnswerYes);
    app.Click(GadgetDeleteSelected);
    EXPECT_EQ(fs::exists(fs::symlink_status(tree.Root() / "gone")), !c.goneDeleted) << goneBefore;
    EXPECT_FALSE(fs::exists(tree.Root() / "y"));  // the untouched pair is deleted as asked
    EXPECT_TRUE(fs::exists(tree.Root() / "x"));
    const int goneRow = RowOf(app, tree, "gone");
    EXPECT_EQ(goneRow >= 0, !c.goneDeleted);
    if (goneRow >= 0) {
      EXPECT_TRUE(app.host.RowState(GadgetResults, goneRow) & kRowChecked);
    }
    EXPECT_EQ(RowOf(app, tree, "keep") >= 0, c.keepRowStays);
    (void)keep;
  }
}

TEST(Delete, AFailedDeletionKeepsItsCheckedRowAndTheOthersStillGo) {
  TempTree tree({{"a", "same"}, {"b", "same"}, {"c", "same"}});
  App app(SearchFlavour::Windows);
  Search(app, tree);
  HostFiles files = HostFiles::Platform();
  const Text refused = tree.PathOf("b");
  auto realDelete = files.deleteFile;
  files.deleteFile = [&](const Text& path) { return path == refused ? false : realDelete(path); };
  app.program->SetHostFiles(files);
  app.Click(GadgetSelectAll);  // a whole group checked: deleted as asked
  app.host.QueueAnswer(kAnswerYes);
  app.Click(GadgetDeleteSelected);
  EXPECT_EQ(FilesLeft(tree), std::vector<std::string>{"b"});
  EXPECT_EQ(RowPaths(app, tree), std::vector<std::string>{"b"});
  EXPECT_EQ(app.States(GadgetResults), std::vector<int>{kRowChecked});
}

TEST(Delete, RowsOfFilesRemovedByHandGoWithTheNextDelete) {
  TempTree tree({{"a", "same"}, {"b", "same"}, {"c", "pair"}, {"d", "pair"}});
  App app(SearchFlavour::Mac);
  Search(app, tree);
  fs::remove(tree.Root() / "c");
  const int a = RowOf(app, tree, "a");
  const int b = RowOf(app, tree, "b");
  app.host.SetRowState(GadgetResults, b > a ? b : a, kRowChecked);
  app.host.QueueAnswer(kAnswerYes);
  app.Click(GadgetDeleteSelected);
  EXPECT_EQ(Sorted(RowPaths(app, tree)), (std::vector<std::string>{b > a ? "a" : "b", "d"}));
  EXPECT_EQ(FilesLeft(tree), (std::vector<std::string>{b > a ? "a" : "b", "d"}));
}


// Names that end in a blank are ordinary names on POSIX (and on Windows by the
// long path form). After Delete, a row goes with its own file: the row of a
// deleted file does not stay because a file without the blank exists, and the
// row of the kept file does not go because none does.
TEST(Delete, RowsFollowTheirOwnFilesWhenNamesEndInABlank) {
  struct Case {
    const char* what;
    std::vector<testing::TreeEntry> files;
    std::string kept;     // the group's first row (in folder b)
    std::string deleted;  // the checked row (in folder a)
  } cases[] = {
      {"the deleted file's name ends in a blank, a file without it stays",
       {{"b/keep", "same!"}, {"a/dup ", "same!"}, {"a/dup", "another size"}}, "b/keep", "a/dup "},
      {"the kept file's name ends in a blank",
       {{"b/keep ", "same!"}, {"a/x", "same!"}}, "b/keep ", "a/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree tree(c.files);
    if (FilesLeft(tree).size() != c.files.size()) {
      // Made through the plain path form, a trailing blank is dropped on Windows.
      std::cout << "skipped here: this host's test fixture cannot make the names\n";
      continue;
    }
    App app(SearchFlavour::Mac);
    // Folder b first, so its file is the one kept.
    app.host.AppendRow(GadgetSearchList, tree.PathOf("b"));
    app.host.AppendRow(GadgetSearchList, tree.PathOf("a"));
    app.Click(GadgetStart);
    ASSERT_TRUE(app.FinishSearch());
    ASSERT_EQ(RowPaths(app, tree), (std::vector<std::string>{c.kept, c.deleted}));
    app.Click(GadgetSelectAllButOne);
    app.host.QueueAnswer(kAnswerYes);
    app.Click(GadgetDeleteSelected);
    EXPECT_FALSE(fs::exists(tree.Root() / c.deleted));
    EXPECT_TRUE(fs::exists(tree.Root() / c.kept));
    EXPECT_EQ(RowPaths(app, tree), std::vector<std::string>{c.kept});
  }
}

}  // namespace
}  // namespace vantrel

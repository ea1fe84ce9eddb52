// Whole searches through the program, then Delete: the files the user checked
// go, one file of every group stays, and a file is deleted only while it is
// still a copy of the file kept beside it.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <mutex>
#include <thread>

#include "engine/file_system.hpp"
#include "tests/support/temp_tree.hpp"
#include "tests/support/held_deletes.hpp"
#include "tests/ui/app_fixture.hpp"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::Bytes;
using testing::HeldDeletes;
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

// Clicks Delete (its answer queued) and waits for it: the click only starts
// the job on the worker, and the rows change when its last step arrives.
void DeleteAndWait(App& app) {
  app.Click(GadgetDeleteSelected);
  EXPECT_TRUE(app.program->Search().RunningJob());
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
    DeleteAndWait(app);
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
    DeleteAndWait(app);
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
  DeleteAndWait(app);
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
  DeleteAndWait(app);
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
    std::vector<std::string> names;
    for (const auto& f : c.files) names.push_back(f.path);
    if (FilesLeft(tree) != Sorted(names)) {
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
    DeleteAndWait(app);
    EXPECT_FALSE(fs::exists(tree.Root() / c.deleted));
    EXPECT_TRUE(fs::exists(tree.Root() / c.kept));
    EXPECT_EQ(RowPaths(app, tree), std::vector<std::string>{c.kept});
  }
}

// --- Delete on the worker ----------------------------------------------------


// Two groups, four and three copies: Select all except one checks five.
TempTree SevenCopies() {
  return TempTree({{"a/1", "alpha"}, {"a/2", "alpha"}, {"a/3", "alpha"}, {"a/4", "alpha"},
                   {"b/1", "beta!"}, {"b/2", "beta!"}, {"b/3", "beta!"}});
}

// After a Delete ended early: every row left is the row of a file that exists,
// and every file left has its row (none was removed while its file stayed).
void ExpectRowsMatchTheFilesLeft(App& app, const TempTree& tree) {
  EXPECT_EQ(Sorted(RowPaths(app, tree)), FilesLeft(tree));
}

TEST(DeleteOnTheWorker, StopEndsItBetweenTwoFilesAndStartStartsNothing) {
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    SCOPED_TRACE(flavour == SearchFlavour::Mac);
    TempTree tree = SevenCopies();
    App app(flavour);
    Search(app, tree);
    ASSERT_EQ(app.host.RowCount(GadgetResults), 7);
    HeldDeletes held(2);
    app.program->SetHostFiles(held.Files());
    app.Click(GadgetSelectAllButOne);
    const std::vector<int> checkedBefore = app.States(GadgetResults);
    app.host.QueueAnswer(kAnswerYes);
    app.Click(GadgetDeleteSelected);
    ASSERT_TRUE(held.WaitReached());
    // The window's thread is free; the panel is disabled as during a search.
    EXPECT_FALSE(app.host.At(GadgetPanel).enabled);
    app.host.PumpPending();
    app.Click(GadgetStart);  // no question, no new search, no row lost
    EXPECT_EQ(app.Boxes().size(), 1u);
    EXPECT_EQ(app.host.RowCount(GadgetResults), 7);
    EXPECT_TRUE(app.program->Search().RunningJob());
    app.Click(GadgetStop);
    held.Release();
    ASSERT_TRUE(app.FinishSearch());

    const std::vector<Text> deleted = held.Deleted();
    ASSERT_EQ(deleted.size(), 2u);
    // The files before the Stop are gone with their rows; the other checked
    // rows stay checked, with their files.
    for (const Text& path : deleted) EXPECT_FALSE(fs::exists(testing::FsPath(path)));
    EXPECT_EQ(FilesLeft(tree).size(), 5u);
    ExpectRowsMatchTheFilesLeft(app, tree);
    int checked = 0;
    for (int state : app.States(GadgetResults)) checked += (state & kRowChecked) ? 1 : 0;
    EXPECT_EQ(checked, 3);
    EXPECT_EQ(std::count(checkedBefore.begin(), checkedBefore.end(), kRowChecked), 5);
    EXPECT_TRUE(app.host.At(GadgetPanel).enabled);
    EXPECT_EQ(app.host.progress.back(), 0);
    EXPECT_FALSE(app.host.At(GadgetProgress).busy);
    if (flavour == SearchFlavour::Mac) {
      EXPECT_EQ(app.host.TextOf(GadgetMacPause), T("Pause"));
    }
    // Stop after the end does nothing; a new Delete finishes the job.
    app.Click(GadgetStop);
    app.program->SetHostFiles(HostFiles::Platform());
    app.host.QueueAnswer(kAnswerYes);
    DeleteAndWait(app);
    EXPECT_EQ(FilesLeft(tree).size(), 2u);
    ExpectRowsMatchTheFilesLeft(app, tree);
  }
}

TEST(DeleteOnTheWorker, PauseHoldsItBeforeTheNextFileAndStartResumesIt) {
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    const bool mac = flavour == SearchFlavour::Mac;
    SCOPED_TRACE(mac);
    TempTree tree = SevenCopies();
    App app(flavour);
    Search(app, tree);
    HeldDeletes held(1);
    app.program->SetHostFiles(held.Files());
    app.Click(GadgetSelectAllButOne);
    app.host.QueueAnswer(kAnswerYes);
    app.Click(GadgetDeleteSelected);
    ASSERT_TRUE(held.WaitReached());
    app.Click(mac ? GadgetMacPause : GadgetPause);
    EXPECT_TRUE(app.program->Search().SearchPaused());
    if (mac) {
      EXPECT_EQ(app.host.TextOf(GadgetMacPause), T("Resume"));
    }
    held.Release();
    ASSERT_TRUE(app.program->Search().CurrentRun()->gate.WaitUntilHalted(60000));
    app.host.PumpPending();
    EXPECT_EQ(held.Deleted().size(), 1u);  // nothing more while paused
    EXPECT_EQ(app.host.RowCount(GadgetResults), 7);
    EXPECT_FALSE(app.host.At(GadgetPanel).enabled);
    // Start goes on with the Delete: no question, no search, every row kept.
    app.Click(GadgetStart);
    EXPECT_FALSE(app.program->Search().SearchPaused());
    if (mac) {
      EXPECT_EQ(app.host.TextOf(GadgetMacPause), T("Pause"));
    }
    EXPECT_EQ(app.Boxes().size(), 1u);
    ASSERT_TRUE(app.FinishSearch());
    EXPECT_EQ(held.Deleted().size(), 5u);
    EXPECT_EQ(FilesLeft(tree).size(), 2u);
    ExpectRowsMatchTheFilesLeft(app, tree);
    EXPECT_EQ(app.States(GadgetResults), (std::vector<int>{0, 0}));
    EXPECT_TRUE(app.host.At(GadgetPanel).enabled);
  }
}

TEST(DeleteOnTheWorker, TheCloseRequestEndsAtOnceWithoutWaitingForIt) {
  TempTree tree = SevenCopies();
  App app(SearchFlavour::Mac);
  Search(app, tree);
  HeldDeletes held(1);
  app.program->SetHostFiles(held.Files());
  app.Click(GadgetSelectAll);
  app.host.QueueAnswer(kAnswerYes);
  app.Click(GadgetDeleteSelected);
  ASSERT_TRUE(held.WaitReached());
  // The worker is inside a deletion; the close request does not wait for it.
  app.program->OnCloseRequest();
  EXPECT_TRUE(app.host.ended);
  EXPECT_TRUE(app.program->Ended());
  EXPECT_EQ(app.Boxes().size(), 1u);
  EXPECT_TRUE(app.program->Search().RunningJob());
  held.Release();
  app.program.reset();  // what the process's end does to the worker, here
  EXPECT_EQ(held.Deleted().size() + FilesLeft(tree).size(), 7u);
}

// Counts the bytes read from each file and how often it was opened.
class CountingSource final : public DeleteSource {
 public:
  struct Counts {
    std::mutex mutex;
    std::map<std::string, std::int64_t> bytes;
    std::map<std::string, int> opens;
  };
  explicit CountingSource(std::shared_ptr<Counts> counts)
      : counts_(std::move(counts)), inner_(DeleteIo::Platform().source()) {}
  bool Open(const Text& path) override {
    name_ = Bytes(path);
    std::lock_guard lock(counts_->mutex);
    ++counts_->opens[name_];
    return inner_->Open(path);
  }
  std::int64_t Read(void* buffer, std::size_t size) override {
    const std::int64_t got = inner_->Read(buffer, size);
    std::lock_guard lock(counts_->mutex);
    counts_->bytes[name_] += std::max<std::int64_t>(got, 0);
    return got;
  }
  bool Seek(std::int64_t offset) override { return inner_->Seek(offset); }
  void Close() override { inner_->Close(); }
  std::int64_t Size() const override { return inner_->Size(); }
  FileIdentity Identity() const override { return inner_->Identity(); }

 private:
  std::shared_ptr<Counts> counts_;
  std::unique_ptr<DeleteSource> inner_;
  std::string name_;
};

TEST(DeleteOnTheWorker, TheKeptCopyIsReadOnceForAllItsCheckedFiles) {
  struct Case {
    const char* what;
    int checked;
    std::size_t size;
  } cases[] = {
      {"three checked files of several chunks", 3, (5u << 19) + 7},
      {"more checked files than are kept open at once", static_cast<int>(kDeleteOpenAtOnce) + 6, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bytes = testing::PatternBytes(c.size, 7);
    TempTree tree({{"k/keep", bytes}});
    for (int i = 0; i < c.checked; ++i) tree.Add({"d/" + std::to_string(i), bytes});
    App app(SearchFlavour::Mac);
    // Folder k first, so its file is the group's first row, the one kept.
    app.host.AppendRow(GadgetSearchList, tree.PathOf("k"));
    app.host.AppendRow(GadgetSearchList, tree.PathOf("d"));
    app.Click(GadgetStart);
    ASSERT_TRUE(app.FinishSearch());
    ASSERT_EQ(app.host.RowCount(GadgetResults), c.checked + 1);
    ASSERT_EQ(RowPaths(app, tree).front(), "k/keep");
    // One checked file changes in its last byte behind the program's back.
    std::string changed = bytes;
    changed.back() = static_cast<char>(changed.back() ^ 1);
    Write(tree, "d/1", changed);

    auto counts = std::make_shared<CountingSource::Counts>();
    HostFiles files = HostFiles::Platform();
    files.source = [counts] { return std::unique_ptr<DeleteSource>(new CountingSource(counts)); };
    app.program->SetHostFiles(files);
    app.Click(GadgetSelectAllButOne);
    app.host.QueueAnswer(kAnswerYes);
    DeleteAndWait(app);

    EXPECT_EQ(FilesLeft(tree), (std::vector<std::string>{"d/1", "k/keep"}));
    EXPECT_EQ(RowPaths(app, tree), (std::vector<std::string>{"k/keep", "d/1"}));
    EXPECT_EQ(app.States(GadgetResults), (std::vector<int>{0, kRowChecked}));
    const std::string keep = Bytes(tree.PathOf("k/keep"));
    EXPECT_EQ(counts->opens[keep], 1);
    EXPECT_EQ(counts->bytes[keep], static_cast<std::int64_t>(c.size));
    for (int i = 0; i < c.checked; ++i)
      EXPECT_EQ(counts->bytes[Bytes(tree.PathOf("d/" + std::to_string(i)))], static_cast<std::int64_t>(c.size)) << i;
  }
}

// A group of one kept and three checked files; the Delete is paused after the
// first checked file went, and the files change behind the program's back
// before Start lets it go on. Each file left is compared again when its turn
// comes: the pause may have lasted an hour.
TEST(DeleteOnTheWorker, AFileThatChangedDuringAPauseIsComparedAgainBeforeItGoes) {
  struct Case {
    const char* what;
    // Changes the tree; next and last are the two checked files still to go.
    // False: not possible here.
    std::function<bool(const TempTree&, const std::string& next, const std::string& last)> change;
    bool nextStays;
    bool lastStays;
  } cases[] = {
      {"the kept file was removed",
       [](const TempTree& t, const std::string&, const std::string&) {
         fs::remove(t.Root() / "k/keep");
         return true;
       },
       true, true},
      {"the kept file was rewritten, same size",
       [](const TempTree& t, const std::string&, const std::string&) {
         Write(t, "k/keep", "Same contents");
         return true;
       },
       true, true},
      {"the kept file is now a link to the next checked file",
       [](const TempTree& t, const std::string& next, const std::string&) {
         fs::remove(t.Root() / "k/keep");
         std::error_code ec;
         fs::create_symlink(t.Root() / next, t.Root() / "k/keep", ec);
         return !ec;
       },
       true, false},
      {"the next checked file was rewritten, same size",
       [](const TempTree& t, const std::string& next, const std::string&) {
         Write(t, next, "Same contents");
         return true;
       },
       true, false},
  };
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    const bool mac = flavour == SearchFlavour::Mac;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (mac ? " (Mac)" : " (Windows)"));
      TempTree tree({{"k/keep", "same contents"},
                     {"d/1", "same contents"},
                     {"d/2", "same contents"},
                     {"d/3", "same contents"}});
      App app(flavour);
      // Folder k first, so its file is the group's first row, the one kept.
      app.host.AppendRow(GadgetSearchList, tree.PathOf("k"));
      app.host.AppendRow(GadgetSearchList, tree.PathOf("d"));
      app.Click(GadgetStart);
      ASSERT_TRUE(app.FinishSearch());
      const std::vector<std::string> rows = RowPaths(app, tree);
      ASSERT_EQ(rows.size(), 4u);
      ASSERT_EQ(rows.front(), "k/keep");
      HeldDeletes held(1);
      app.program->SetHostFiles(held.Files());
      app.Click(GadgetSelectAllButOne);
      app.host.QueueAnswer(kAnswerYes);
      app.Click(GadgetDeleteSelected);
      ASSERT_TRUE(held.WaitReached());
      app.Click(mac ? GadgetMacPause : GadgetPause);
      held.Release();
      ASSERT_TRUE(app.program->Search().CurrentRun()->gate.WaitUntilHalted(60000));
      ASSERT_EQ(held.Deleted().size(), 1u);
      ASSERT_FALSE(fs::exists(tree.Root() / rows[1]));
      if (!c.change(tree, rows[2], rows[3])) {
        std::cout << "skipped here: " << c.what << "\n";
        app.Click(GadgetStop);
        ASSERT_TRUE(app.FinishSearch());
        continue;
      }
      app.Click(GadgetStart);  // goes on with the Delete
      ASSERT_TRUE(app.FinishSearch());
      EXPECT_EQ(fs::exists(tree.Root() / rows[2]), c.nextStays) << rows[2];
      EXPECT_EQ(fs::exists(tree.Root() / rows[3]), c.lastStays) << rows[3];
      // Whatever was kept, some file still holds the bytes the group was found by.
      bool original = false;
      for (const std::string& f : FilesLeft(tree)) {
        std::ifstream in(tree.Root() / fs::path(f), std::ios::binary);
        std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (contents == "same contents") original = true;
      }
      EXPECT_TRUE(original) << "every copy of the group's contents was deleted";
    }
  }
}

// Stop ends the Delete: a Start pressed right after it is a Start like any
// other, with its question about the rows, and the search it starts shows its
// own rows, none taken away by the Delete that was stopped.
TEST(DeleteOnTheWorker, StartRightAfterStopAsksAndStartsANewSearch) {
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    SCOPED_TRACE(flavour == SearchFlavour::Mac);
    TempTree tree = SevenCopies();
    App app(flavour);
    Search(app, tree);
    ASSERT_EQ(app.host.RowCount(GadgetResults), 7);
    HeldDeletes held(1);
    app.program->SetHostFiles(held.Files());
    app.Click(GadgetSelectAllButOne);
    app.host.QueueAnswer(kAnswerYes);
    app.Click(GadgetDeleteSelected);
    ASSERT_TRUE(held.WaitReached());
    app.Click(GadgetStop);
    held.Release();
    app.host.QueueAnswer(kAnswerYes);  // New search?
    app.Click(GadgetStart);
    ASSERT_TRUE(app.FinishSearch());
    ASSERT_TRUE(app.FinishSearch());
    ASSERT_EQ(app.Boxes().size(), 2u) << "the Start after the Stop was lost";
    EXPECT_EQ(app.Boxes()[1].text, T("Do you want to reset the list and start a new search?"));
    // One file went before the Stop; the new search shows the six left.
    EXPECT_EQ(held.Deleted().size(), 1u);
    EXPECT_EQ(FilesLeft(tree).size(), 6u);
    ExpectRowsMatchTheFilesLeft(app, tree);
    EXPECT_EQ(app.States(GadgetResults), std::vector<int>(6, 0));
  }
}

// Reads through the platform, holding the worker inside the given read (from
// 1) of one file until the test releases it.
class HeldReads {
 public:
  HeldReads(Text path, int holdAt) : hold_(holdAt), path_(std::make_shared<Text>(std::move(path))) {}
  std::function<std::unique_ptr<DeleteSource>()> Source() const {
    return [hold = hold_, path = path_] { return std::unique_ptr<DeleteSource>(new Holding(hold, path)); };
  }
  bool WaitReached() { return hold_.WaitReached(); }
  void Release() { hold_.Release(); }

 private:
  class Holding final : public DeleteSource {
   public:
    Holding(testing::HoldPoint hold, std::shared_ptr<const Text> path)
        : hold_(std::move(hold)), path_(std::move(path)), inner_(DeleteIo::Platform().source()) {}
    bool Open(const Text& path) override {
      mine_ = path == *path_;
      return inner_->Open(path);
    }
    std::int64_t Read(void* buffer, std::size_t size) override {
      if (mine_) hold_.Pass();
      return inner_->Read(buffer, size);
    }
    bool Seek(std::int64_t offset) override { return inner_->Seek(offset); }
    void Close() override { inner_->Close(); }
    std::int64_t Size() const override { return inner_->Size(); }
    FileIdentity Identity() const override { return inner_->Identity(); }

   private:
    testing::HoldPoint hold_;
    std::shared_ptr<const Text> path_;
    std::unique_ptr<DeleteSource> inner_;
    bool mine_ = false;
  };
  testing::HoldPoint hold_;
  std::shared_ptr<const Text> path_;
};

// One kept and one checked file of three chunks; the Delete is paused while it
// compares them, after their first chunk, and one of them changes in its first
// byte before Start lets it go on. The checked file no longer holds the kept
// file's bytes, so it stays.
TEST(DeleteOnTheWorker, AFileThatChangedDuringAPauseInItsComparisonStays) {
  const std::string bytes = testing::PatternBytes((3u << 20) + 11, 5);
  std::string changed = bytes;
  changed.front() = static_cast<char>(changed.front() ^ 1);
  for (const char* which : {"k/keep", "d/copy"}) {
    SCOPED_TRACE(which);
    TempTree tree({{"k/keep", bytes}, {"d/copy", bytes}});
    App app(SearchFlavour::Windows);
    app.host.AppendRow(GadgetSearchList, tree.PathOf("k"));
    app.host.AppendRow(GadgetSearchList, tree.PathOf("d"));
    app.Click(GadgetStart);
    ASSERT_TRUE(app.FinishSearch());
    ASSERT_EQ(RowPaths(app, tree), (std::vector<std::string>{"k/keep", "d/copy"}));
    // Held as it begins the kept file's second chunk.
    HeldReads held(tree.PathOf("k/keep"), 2);
    HostFiles files = HostFiles::Platform();
    files.source = held.Source();
    app.program->SetHostFiles(files);
    app.Click(GadgetSelectAllButOne);
    app.host.QueueAnswer(kAnswerYes);
    app.Click(GadgetDeleteSelected);
    ASSERT_TRUE(held.WaitReached());
    app.Click(GadgetPause);
    held.Release();
    ASSERT_TRUE(app.program->Search().CurrentRun()->gate.WaitUntilHalted(60000));
    Write(tree, which, changed);
    // Windows lets nobody write to a file while the comparison holds it open:
    // then nothing changed, and the copy goes as an unchanged one does.
    std::ifstream in(tree.Root() / fs::path(which), std::ios::binary);
    const bool wrote = std::string(std::istreambuf_iterator<char>(in), {}) == changed;
    in.close();
    app.Click(GadgetStart);
    ASSERT_TRUE(app.FinishSearch());
    EXPECT_EQ(fs::exists(tree.Root() / "d/copy"), wrote);
    EXPECT_EQ(RowPaths(app, tree), wrote ? (std::vector<std::string>{"k/keep", "d/copy"})
                                         : (std::vector<std::string>{"k/keep"}));
  }
}

TEST(Bar, IsBusyFromTheStartUntilTheFirstValueOfASearchAndOfADelete) {
  TempTree tree = SevenCopies();
  App app(SearchFlavour::Windows);
  app.host.AppendRow(GadgetSearchList, tree.PathOf("a"));
  auto walking = std::make_shared<std::atomic<bool>>(false);
  auto release = std::make_shared<std::atomic<bool>>(false);
  PassIo io = PassIo::Platform();
  io.stageReached = [walking, release](int stage) {
    if (stage != kStageWalk) return;
    walking->store(true);
    while (!release->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  app.program->Search().SetPassIo(io);
  app.Click(GadgetStart);
  while (!walking->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // Before the walk: busy, no value.
  EXPECT_TRUE(app.host.At(GadgetProgress).busy);
  EXPECT_EQ(app.host.bar, std::vector<std::string>{"busy"});
  release->store(true);
  ASSERT_TRUE(app.FinishSearch());

  // The first value ends the busy state; values follow as before, then 0.
  auto expectBusyThenValues = [&](const std::vector<std::string>& bar) {
    ASSERT_GE(bar.size(), 4u);
    EXPECT_EQ(bar[0], "busy");
    EXPECT_EQ(bar[1], "idle");
    EXPECT_GE(std::stoi(bar[2]), 1);
    EXPECT_EQ(bar.back(), "0");
    EXPECT_EQ(std::count(bar.begin(), bar.end(), "busy"), 1);
    EXPECT_EQ(std::count(bar.begin(), bar.end(), "idle"), 1);
    EXPECT_FALSE(app.host.At(GadgetProgress).busy);
  };
  expectBusyThenValues(app.host.bar);
  ASSERT_EQ(app.host.RowCount(GadgetResults), 4);

  app.host.bar.clear();
  app.Click(GadgetSelectAllButOne);
  app.host.QueueAnswer(kAnswerYes);
  app.Click(GadgetDeleteSelected);
  EXPECT_EQ(app.host.bar, std::vector<std::string>{"busy"});  // nothing shown yet
  ASSERT_TRUE(app.FinishSearch());
  expectBusyThenValues(app.host.bar);
  EXPECT_EQ(app.host.bar[app.host.bar.size() - 2], "100");
  EXPECT_EQ(FilesLeft(tree).size(), 4u);
}

}  // namespace
}  // namespace vantrel

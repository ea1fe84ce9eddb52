// The commands, each clicked as a user would, with boxes and the folder
// chooser answered through the seam.

#include <gtest/gtest.h>

#include "engine/file_system.hpp"
#include "tests/support/temp_tree.hpp"
#include "tests/ui/app_fixture.hpp"

namespace vantrel {
namespace {

using testing::App;
using testing::T;
using testing::TempTree;

Text WithSeparator(Text t) {
  AddTrailingSeparator(t);
  return t;
}

TEST(Add, RefusesWhatIsNoFolderKeepsTheInputAndSkipsFoldersAlreadyListed) {
  TempTree tree({{"data/ABCDEF/", ""}, {"data/XYZUVW/", ""}, {"data/file.txt", "x"}, {"data/sub/", ""}});
  const Text data = tree.PathOf("data");
  struct Case {
    const char* what;
    std::vector<Text> listed;
    Text input;
    bool errorBox;
    bool added;
  } cases[] = {
      {"empty input does nothing", {}, Text(), false, false},
      {"a file", {}, tree.PathOf("data/file.txt"), true, false},
      {"a missing folder", {}, tree.PathOf("data/never"), true, false},
      {"one character", {}, T("."), true, false},
      {"a new folder", {}, data, false, true},
      {"the listed folder without its separator", {WithSeparator(data)}, data, false, false},
      {"the listed folder with its separator", {data}, WithSeparator(data), false, false},
      {"the listed folder's short form", {data}, ShortPathOf(data), false, false},
      {"a folder of the same length", {tree.PathOf("data/ABCDEF")}, tree.PathOf("data/XYZUVW"), false, true},
      {"a folder inside a listed one", {data}, tree.PathOf("data/sub"), false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    App app(SearchFlavour::Windows);
    for (const Text& row : c.listed) app.host.AppendRow(GadgetSearchList, row);
    app.Type(GadgetDirectoryInput, c.input);
    app.Click(GadgetAdd);
    std::vector<Text> expected = c.listed;
    if (c.added) expected.push_back(c.input);
    EXPECT_EQ(app.RowTexts(GadgetSearchList), expected);
    ASSERT_EQ(app.Boxes().size(), c.errorBox ? 1u : 0u);
    if (c.errorBox) {
      EXPECT_EQ(app.Boxes()[0].kind, BoxKind::Error);
      EXPECT_EQ(app.Boxes()[0].title, TextFromAscii("Error!"));
      EXPECT_EQ(app.Boxes()[0].text, TextFromAscii("The selected directory is not valid."));
    }
    // Only a refused input stays for the user to correct.
    EXPECT_EQ(app.host.TextOf(GadgetDirectoryInput), c.errorBox ? c.input : Text());
  }
}

TEST(Add, MacProgramsCompareTheTextsCaseSensitively) {
  TempTree tree({{"Users/x/", ""}});
  App app(SearchFlavour::Mac);
  app.host.AppendRow(GadgetSearchList, WithSeparator(tree.PathOf("Users/x")));
  app.Type(GadgetDirectoryInput, tree.PathOf("Users/x"));
  app.Click(GadgetAdd);
  EXPECT_EQ(app.host.RowCount(GadgetSearchList), 1);
  EXPECT_TRUE(app.host.TextOf(GadgetDirectoryInput).empty());
}

TEST(Browse, PutsAValidChoiceInTheInputAndRemembersIt) {
  TempTree tree({{"pick/", ""}});
  {
    App app(SearchFlavour::Windows);
    app.host.QueueFolder(tree.PathOf("pick"));
    app.Click(GadgetBrowse);
    EXPECT_EQ(app.host.TextOf(GadgetDirectoryInput), WithSeparator(tree.PathOf("pick")));
    EXPECT_EQ(app.program->CurrentFolder(), WithSeparator(tree.PathOf("pick")));
    EXPECT_EQ(app.host.RowCount(GadgetSearchList), 0);  // Browse does not add
    app.Click(GadgetAdd);
    EXPECT_EQ(app.RowTexts(GadgetSearchList), std::vector<Text>{WithSeparator(tree.PathOf("pick"))});
  }
  {
    // Cancelled: nothing changes. The chooser opened at the current folder.
    App app(SearchFlavour::Windows);
    app.Type(GadgetDirectoryInput, T("typed"));
    const Text before = app.program->CurrentFolder();
    app.Click(GadgetBrowse);
    EXPECT_EQ(app.host.unexpectedChoosers, 1);
    Text start = before;
    if (start.size() > 3) start.pop_back();
    EXPECT_EQ(app.host.chooserStart, start);
    EXPECT_EQ(app.host.TextOf(GadgetDirectoryInput), T("typed"));
    EXPECT_EQ(app.program->CurrentFolder(), before);
  }
  {
    // A choice that is no folder: the error box, nothing else.
    App app(SearchFlavour::Mac);
    app.host.QueueFolder(tree.PathOf("gone"));
    app.Click(GadgetBrowse);
    ASSERT_EQ(app.Boxes().size(), 1u);
    EXPECT_EQ(app.Boxes()[0].text, TextFromAscii("The selected directory is not valid."));
    EXPECT_TRUE(app.host.TextOf(GadgetDirectoryInput).empty());
  }
}

TEST(Remove, RemovesOnlyTheFirstSelectedRow) {
  App app(SearchFlavour::Windows);
  for (const char* row : {"a", "b", "c", "d"}) app.host.AppendRow(GadgetSearchList, T(row));
  app.host.SetRowState(GadgetSearchList, 1, kRowHighlighted);
  app.host.SetRowState(GadgetSearchList, 3, kRowHighlighted);
  app.Click(GadgetRemove);
  EXPECT_EQ(app.RowTexts(GadgetSearchList), (std::vector<Text>{T("a"), T("c"), T("d")}));
  app.host.SetRowState(GadgetSearchList, 2, 0);
  app.Click(GadgetRemove);  // nothing selected: nothing happens
  EXPECT_EQ(app.host.RowCount(GadgetSearchList), 3);
}

TEST(Options, TogglesEnableTheirFieldsAndTheMinimumPullsTheMaximumUp) {
  App app(SearchFlavour::Windows);
  auto& h = app.host;
  app.Check(GadgetSizeLimit, true);
  EXPECT_TRUE(h.At(GadgetMinSize).enabled);
  EXPECT_TRUE(h.At(GadgetMaxSize).enabled);
  app.Type(GadgetMaxSize, T("100"));
  app.Type(GadgetMinSize, T("500"));
  app.Click(GadgetMinSize);
  EXPECT_EQ(h.TextOf(GadgetMaxSize), T("500"));
  app.Type(GadgetMaxSize, T("50"));
  app.Click(GadgetMaxSize);  // the maximum has no handler
  EXPECT_EQ(h.TextOf(GadgetMaxSize), T("50"));
  app.Check(GadgetSizeLimit, false);
  EXPECT_FALSE(h.At(GadgetMinSize).enabled);
  EXPECT_EQ(h.TextOf(GadgetMinSize), T("500"));  // values are kept

  app.Type(GadgetFileTypesInput, T("jpg"));
  app.Check(GadgetFileTypes, true);
  EXPECT_TRUE(h.At(GadgetFileTypesInput).enabled);
  app.Check(GadgetFileTypes, false);
  EXPECT_FALSE(h.At(GadgetFileTypesInput).enabled);
  EXPECT_EQ(h.TextOf(GadgetFileTypesInput), T("jpg"));

  app.Check(GadgetAlwaysOnTop, true);
  EXPECT_TRUE(h.alwaysOnTop);
  app.Check(GadgetAlwaysOnTop, false);
  EXPECT_FALSE(h.alwaysOnTop);
}

TEST(Start, AsksBeforeDroppingRowsAndRefusesAnEmptySearchList) {
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    const bool mac = flavour == SearchFlavour::Mac;
    SCOPED_TRACE(mac);
    const Text noDirectories = TextFromAscii(mac ? "Please select one or more directories to search."
                                                 : "Please select one Or more directories To search.");
    {
      App app(flavour);
      app.Click(GadgetStart);
      ASSERT_EQ(app.Boxes().size(), 1u);
      EXPECT_EQ(app.Boxes()[0].kind, BoxKind::Error);
      EXPECT_EQ(app.Boxes()[0].text, noDirectories);
    }
    const std::vector<Text> row = {T("1"), T("/x"), T("1 Byte"), T("m"), T(""), T("")};
    {
      App app(flavour);
      app.host.AppendRows(GadgetResults, row);
      app.host.QueueAnswer(kAnswerNo);
      app.Click(GadgetStart);
      ASSERT_EQ(app.Boxes().size(), 1u);
      EXPECT_EQ(app.Boxes()[0].title, TextFromAscii("New search"));
      EXPECT_EQ(app.Boxes()[0].text, TextFromAscii("Do you want to reset the list and start a new search?"));
      EXPECT_EQ(app.host.RowCount(GadgetResults), 1);
    }
    {
      App app(flavour);
      app.host.AppendRows(GadgetResults, row);
      app.host.QueueAnswer(kAnswerYes);
      app.host.QueueAnswer(kAnswerOk);
      app.Click(GadgetStart);
      ASSERT_EQ(app.Boxes().size(), 2u);
      EXPECT_EQ(app.Boxes()[1].text, noDirectories);
      EXPECT_EQ(app.host.RowCount(GadgetResults), 0);
    }
  }
}

TEST(Close, EndsAtOnceEvenWhileASearchIsPaused) {
  TempTree tree({{"d/a", "same"}, {"d/b", "same"}});
  App app(SearchFlavour::Mac);
  app.host.AppendRow(GadgetSearchList, tree.PathOf("d"));
  PassIo io = PassIo::Platform();
  io.stageReached = [&](int stage) {
    if (stage == kStageSizes) app.program->Search().CurrentRun()->gate.AddPause();
  };
  app.program->Search().SetPassIo(io);
  app.Click(GadgetStart);
  ASSERT_TRUE(app.program->Search().CurrentRun()->gate.WaitUntilHalted(60000));
  app.program->OnCloseRequest();
  EXPECT_TRUE(app.host.ended);
  EXPECT_TRUE(app.Boxes().empty());
  EXPECT_TRUE(app.program->Search().IsAlive());  // not stopped, not waited for
  app.Click(GadgetStart);                        // nothing runs after the end
  EXPECT_TRUE(app.program->Search().SearchPaused());
}

// --- Pause, Resume and Stop --------------------------------------------------

// Starts a search over a small tree that halts as it reaches its sizes.
struct HeldSearch {
  explicit HeldSearch(App& app) : tree({{"d/a", "same"}, {"d/b", "same"}, {"d/c", "other"}}) {
    app.host.AppendRow(GadgetSearchList, tree.PathOf("d"));
    PassIo io = PassIo::Platform();
    io.stageReached = [&app](int stage) {
      if (stage == kStageSizes) app.program->Search().CurrentRun()->gate.AddPause();
    };
    app.program->Search().SetPassIo(io);
    app.Click(GadgetStart);
    halted = app.program->Search().CurrentRun()->gate.WaitUntilHalted(60000);
  }
  TempTree tree;
  bool halted = false;
};

TEST(Pause, WindowsPausesNestAndStartTakesOneAway) {
  App app(SearchFlavour::Windows);
  HeldSearch search(app);
  ASSERT_TRUE(search.halted);
  EXPECT_FALSE(app.host.At(GadgetPanel).enabled);
  app.Click(GadgetPause);
  EXPECT_EQ(app.program->Search().PauseCount(), 2);
  app.Click(GadgetStart);
  EXPECT_EQ(app.program->Search().PauseCount(), 1);
  EXPECT_TRUE(app.Boxes().empty());
  app.Click(GadgetStart);
  ASSERT_TRUE(app.FinishSearch());
  EXPECT_EQ(app.host.RowCount(GadgetResults), 2);
  EXPECT_TRUE(app.host.At(GadgetPanel).enabled);
  EXPECT_EQ(app.host.At(GadgetPanel).selectedTab, kResultsTab);
  EXPECT_EQ(app.host.TextOf(GadgetPause), TextFromAscii("Pause"));  // never changes on Windows
}

TEST(Pause, MacButtonTogglesWithItsTextAndStopResetsIt) {
  App app(SearchFlavour::Mac);
  const Text pause = TextFromAscii("Pause");
  const Text resume = TextFromAscii("Resume");
  app.Click(GadgetMacPause);  // no search: nothing
  EXPECT_EQ(app.host.TextOf(GadgetMacPause), pause);
  HeldSearch search(app);
  ASSERT_TRUE(search.halted);
  app.program->Search().Resume();  // the trap's own pause
  app.Click(GadgetMacPause);
  EXPECT_EQ(app.host.TextOf(GadgetMacPause), resume);
  EXPECT_TRUE(app.program->Search().SearchPaused());
  app.Click(GadgetMacPause);
  EXPECT_EQ(app.host.TextOf(GadgetMacPause), pause);
  app.Click(GadgetMacPause);
  EXPECT_EQ(app.host.TextOf(GadgetMacPause), resume);
  // Stop while paused: the button offers Pause, the panel is back, no rows.
  app.Click(GadgetStop);
  EXPECT_EQ(app.host.TextOf(GadgetMacPause), pause);
  EXPECT_FALSE(app.program->Search().IsAlive());
  app.host.PumpPending();
  EXPECT_TRUE(app.host.At(GadgetPanel).enabled);
  EXPECT_EQ(app.host.RowCount(GadgetResults), 0);
  EXPECT_EQ(app.host.At(GadgetPanel).selectedTab, kOptionsTab);
  EXPECT_TRUE(app.Boxes().empty());
}

TEST(Pause, MacStartResumesAPausedSearchAndTheButtonFollows) {
  App app(SearchFlavour::Mac);
  HeldSearch search(app);
  ASSERT_TRUE(search.halted);
  app.program->Search().Resume();  // the trap's own pause
  app.Click(GadgetMacPause);
  EXPECT_EQ(app.host.TextOf(GadgetMacPause), TextFromAscii("Resume"));
  app.Click(GadgetStart);
  EXPECT_EQ(app.host.TextOf(GadgetMacPause), TextFromAscii("Pause"));
  ASSERT_TRUE(app.FinishSearch());
  EXPECT_EQ(app.host.RowCount(GadgetResults), 2);
}

// --- The marking commands and Clear list -------------------------------------

std::vector<Text> Rows(const std::vector<const char*>& groups) {
  std::vector<Text> cells;
  int n = 0;
  for (const char* g : groups) {
    for (const Text& t : {T(g), T("/f" + std::to_string(n++)), T("1 Byte"), T("m"), T(""), T("")}) cells.push_back(t);
  }
  return cells;
}

TEST(Marking, SelectAllButOneLeavesTheFirstOfEachRunAndTheOthersSetEveryRow) {
  const struct {
    std::vector<const char*> groups;
    std::vector<int> butOne;
  } cases[] = {
      {{"1", "1", "1", "2", "2"}, {0, 2, 2, 0, 2}},
      {{"", "", "1", "1"}, {0, 2, 0, 2}},        // empty group texts form one run
      {{"2", "2", "3"}, {0, 2, 0}},              // after deletions the first left stays
      {{"1"}, {0}},
  };
  for (const auto& c : cases) {
    App app(SearchFlavour::Windows);
    app.host.AppendRows(GadgetResults, Rows(c.groups));
    app.host.SetRowState(GadgetResults, 0, kRowHighlighted | kRowChecked);
    app.Click(GadgetSelectAllButOne);
    EXPECT_EQ(app.States(GadgetResults), c.butOne);
    app.Click(GadgetSelectAll);
    EXPECT_EQ(app.States(GadgetResults), std::vector<int>(c.groups.size(), kRowChecked));
    app.Click(GadgetReverseSelection);
    EXPECT_EQ(app.States(GadgetResults), std::vector<int>(c.groups.size(), 0));
  }
  App empty(SearchFlavour::Windows);
  for (int g : {GadgetSelectAll, GadgetSelectAllButOne, GadgetReverseSelection, GadgetClearList, GadgetDeleteSelected})
    empty.Click(g);
  EXPECT_TRUE(empty.Boxes().empty());
}

TEST(ClearList, AsksAndOnlyYesEmptiesTheList) {
  App app(SearchFlavour::Windows, "Deutsch");
  app.host.AppendRows(GadgetResults, Rows({"1", "1"}));
  app.host.QueueAnswer(kAnswerNo);
  app.Click(GadgetClearList);
  EXPECT_EQ(app.host.RowCount(GadgetResults), 2);
  ASSERT_EQ(app.Boxes().size(), 1u);
  EXPECT_EQ(app.Boxes()[0].kind, BoxKind::Question);
  EXPECT_EQ(app.Boxes()[0].title, TextFromUtf16(u"Liste Löschen"));
  EXPECT_EQ(app.Boxes()[0].text, TextFromUtf16(u"Sollen alle Elemente aus der Liste gelöscht werden?"));
  app.host.QueueAnswer(kAnswerYes);
  app.Click(GadgetClearList);
  EXPECT_EQ(app.host.RowCount(GadgetResults), 0);
}

}  // namespace
}  // namespace vantrel

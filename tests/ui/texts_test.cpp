// The text sets and the language rule.

#include <gtest/gtest.h>

#include "tests/ui/app_fixture.hpp"

namespace vantrel {
namespace {

using testing::App;

TEST(Language, GermanOnlyForNamesWhoseFirstSevenLettersAreDeutsch) {
  const struct {
    const char* name;
    bool german;
  } cases[] = {
      {"Deutsch (Deutschland)", true}, {"DEUTSCH", true}, {"deutsch", true}, {"DeUtScHland", true},
      {"Deutsc", false},               {"", false},       {"German", false}, {"        ", false},
      {"Deutch", false},               {"xDeutsch", false},
  };
  for (const auto& c : cases) EXPECT_EQ(SelectsGerman(TextFromAscii(c.name)), c.german) << c.name;
}

TEST(Language, TheWindowsProgramShowsTheChosenSetTheMacProgramsTheirEnglish) {
  App german(SearchFlavour::Windows, "Deutsch (Österreich)");
  EXPECT_EQ(german.host.TextOf(GadgetAdd), TextFromUtf16(u"Hinzufügen"));
  EXPECT_EQ(german.host.TextOf(GadgetDirectoryLabel), TextFromAscii("   Verzeichnis"));
  EXPECT_EQ(german.host.TextOf(GadgetMethodLabel), TextFromAscii("Metode"));
  EXPECT_EQ(german.host.TextOf(GadgetClearList), TextFromUtf16(u"Liste Löschen"));
  EXPECT_EQ(german.host.At(GadgetPanel).tabs[1], TextFromAscii("Ergebnisse"));
  EXPECT_EQ(german.host.At(GadgetResults).columns[2].first, TextFromUtf16(u"Größe"));
  EXPECT_EQ(german.host.title, TextFromAscii(" Vantrel v1.4"));
  EXPECT_EQ(german.host.TextOf(GadgetStart), TextFromAscii("Start"));

  App english(SearchFlavour::Windows, "English (United States)");
  EXPECT_EQ(english.host.TextOf(GadgetDirectoryLabel), TextFromAscii("     Directory"));
  EXPECT_EQ(english.host.TextOf(GadgetSizeLimit), TextFromAscii("Filesize limit"));
  EXPECT_EQ(english.program->Texts().TextNoDirectories,
            TextFromAscii("Please select one Or more directories To search."));

  App mac(SearchFlavour::Mac, "Deutsch");
  EXPECT_EQ(mac.host.TextOf(GadgetAdd), TextFromAscii("Add"));
  EXPECT_EQ(mac.program->Texts().TextNoDirectories, TextFromAscii("Please select one or more directories to search."));
  EXPECT_EQ(mac.program->Texts().TextResume, TextFromAscii("Resume"));
  EXPECT_EQ(mac.host.At(GadgetMacPause).tooltip, TextFromAscii("Pause/Resume searching"));
}

TEST(StartUp, CurrentFolderIsTheWorkingDirectoryWithOneTrailingSeparator) {
  for (const char* cwd : {"/work/dir", "/work/dir/", "/"}) {
    testing::RecordingHost host;
    host.workingDirectory = TextFromAscii(cwd);
    Program program(host, SearchFlavour::Mac);
    ASSERT_TRUE(program.StartUp());
    Text expected = TextFromAscii(cwd);
    AddTrailingSeparator(expected);
    EXPECT_EQ(program.CurrentFolder(), expected) << cwd;
    EXPECT_EQ(program.CurrentFolder().back(), PathSeparator());
  }
}

}  // namespace
}  // namespace vantrel

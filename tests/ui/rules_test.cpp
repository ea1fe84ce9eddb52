// The rules the window layers share: the spin field, the folder chooser's
// answer and the control kinds.

#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/file_system.hpp"
#include "tests/support/temp_tree.hpp"
#include "tests/ui/app_fixture.hpp"
#include "ui/chooser_rules.hpp"
#include "ui/control_kinds.hpp"
#include "ui/spin_rules.hpp"

namespace vantrel {
namespace {

using testing::App;
using testing::Bytes;
using testing::T;
using testing::TempTree;

TEST(SpinRules, TypedTextReadsAsAWholeNumberHeldToTheRange) {
  const struct {
    const char* text;
    std::optional<std::int64_t> read;
  } cases[] = {
      {"0", 0},
      {"500", 500},
      {"  42 ", 42},
      {"\t7", 7},
      {"+9", 9},
      {"-5", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999999999", 2147483647},
      {"-99999999999999999999999999", 0},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"+", std::nullopt},
      {"1 2", std::nullopt},
      {"12k", std::nullopt},
      {"0x10", std::nullopt},
      {"1.5", std::nullopt},
      {"--1", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadSpinText(T(c.text)), c.read);
    EXPECT_EQ(SpinValueOfText(T(c.text)), c.read.value_or(0));
  }
}

TEST(SpinRules, ArrowsStepFromTheTypedNumberElseFromTheirValueAndStopAtTheEnds) {
  const struct {
    const char* text;
    std::int64_t arrows;
    int steps;
    std::int64_t next;
  } cases[] = {
      {"10", 3, 1, 11},         {"10", 3, -1, 9},         {"abc", 3, 1, 4},       {"", 0, -1, 0},
      {"0", 0, -1, 0},          {"2147483647", 0, 1, 2147483647}, {"5000000000", 0, -1, 2147483646},
      {"junk", 99999999999, 1, 2147483647},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SpinStep(T(c.text), c.arrows, c.steps), c.next);
  }
  EXPECT_EQ(SpinText(-3), T("0"));
  EXPECT_EQ(SpinText(123456), T("123456"));
  EXPECT_EQ(SpinText(1LL << 40), T("2147483647"));
}

TEST(SpinRules, TheProgramReadsTheLimitsItSearchesWithByThem) {
  App app(SearchFlavour::Mac);
  app.Check(GadgetSizeLimit, true);
  app.Type(GadgetMinSize, T(" +700 "));
  app.Type(GadgetMaxSize, T("600"));
  app.Click(GadgetMinSize);  // the maximum follows a larger minimum
  EXPECT_EQ(app.host.TextOf(GadgetMaxSize), T("700"));
  app.Type(GadgetMinSize, T("7OO"));
  app.Click(GadgetMinSize);  // a slip reads as 0: nothing to follow
  EXPECT_EQ(app.host.TextOf(GadgetMaxSize), T("700"));
}

TEST(ChooserRules, TheStartFolderAndTheAnswer) {
  // 259 characters cut it inside a name.
  std::string longFolder = "C:\\";
  while (longFolder.size() < 300) longFolder += "abcdefghi\\";
  const struct {
    SearchFlavour flavour;
    std::string current;
    std::string start;
  } cases[] = {
      {SearchFlavour::Windows, "C:\\Data\\", "C:\\Data"},
      {SearchFlavour::Windows, "C:\\", "C:\\"},
      {SearchFlavour::Windows, longFolder, longFolder.substr(0, 259)},
      {SearchFlavour::Mac, "/home/x/", "/home/x/"},
      {SearchFlavour::Mac, longFolder, longFolder},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.current);
    Text current = TextFromAscii(c.current);
    // The separator dropped is the host's, so build the case from it.
    for (Char& ch : current)
      if (ch == static_cast<Char>('\\')) ch = PathSeparator();
    Text start = TextFromAscii(c.start);
    for (Char& ch : start)
      if (ch == static_cast<Char>('\\')) ch = PathSeparator();
    EXPECT_EQ(ChooserStartFolder(current, c.flavour), start);
    EXPECT_LE(ChooserStartFolder(current, SearchFlavour::Windows).size(), kChooserStartLimit);
  }
  Text sep(1, PathSeparator());
  EXPECT_EQ(ChooserAnswer(Text()), Text());
  EXPECT_EQ(ChooserAnswer(T("x")), T("x") + sep);
  EXPECT_EQ(ChooserAnswer(T("x") + sep), T("x") + sep);
  EXPECT_EQ(ChooserAnswer(sep), sep);
}

TEST(ChooserRules, BrowseTakesTheAnswerWithOneTrailingSeparator) {
  TempTree tree({{"pick/", ""}});
  App app(SearchFlavour::Mac);
  Text sep(1, PathSeparator());
  for (Text answer : {tree.PathOf("pick"), tree.PathOf("pick") + sep}) {
    app.host.QueueFolder(answer);
    app.Click(GadgetBrowse);
    EXPECT_EQ(app.host.TextOf(GadgetDirectoryInput), tree.PathOf("pick") + sep);
    EXPECT_EQ(app.program->CurrentFolder(), tree.PathOf("pick") + sep);
  }
}

// The toolkit's view of a name: each run of units beyond ASCII shows as one
// marker (so "caf\xC3\xA9" shows as "caf#" in either text width).
Text ShownWithMarks(const Text& name) {
  Text out;
  bool marked = false;
  for (Char c : name) {
    const bool beyond = static_cast<std::uint32_t>(c) >= 0x80;
    if (beyond && !marked) out += T("#");
    if (!beyond) out.push_back(c);
    marked = beyond;
  }
  return out;
}

TEST(ChooserRules, ANameTheToolkitCannotShowStandsForTheOneEntryItCanBe) {
  TempTree tree({{"caf\xC3\xA9/in/", ""}, {"two\xC3\xA8/", ""}, {"two\xC3\xA9/", ""}, {"plain/", ""}});
  const Text root = tree.PathOf("");
  const Text sep(1, PathSeparator());
  const Text marker = T("#");
  EXPECT_EQ(Bytes(ResolveShownFolder(root + sep + T("caf#") + sep + T("in"), marker, ShownWithMarks)),
            Bytes(tree.PathOf("caf\xC3\xA9/in")));
  // Two entries show alike: the answer names neither.
  EXPECT_EQ(ResolveShownFolder(root + sep + T("two#"), marker, ShownWithMarks), Text());
  EXPECT_EQ(ResolveShownFolder(root + sep + T("none#"), marker, ShownWithMarks), Text());
  // An answer without the marker comes back as it is.
  EXPECT_EQ(ResolveShownFolder(tree.PathOf("plain") + sep, marker, ShownWithMarks), tree.PathOf("plain") + sep);
}

TEST(ControlKinds, EachKindTakesItsOwnOperations) {
  using K = ControlKind;
  using O = ControlOperation;
  const struct {
    O operation;
    std::vector<K> kinds;
  } cases[] = {
      {O::ReadText, {K::Frame, K::Label, K::TextField, K::Button, K::CheckBox, K::SpinField}},
      {O::WriteText, {K::Frame, K::Label, K::TextField, K::Button, K::CheckBox, K::SpinField}},
      {O::Check, {K::CheckBox}},
      {O::Value, {K::SpinField, K::ProgressBar}},
      {O::Busy, {K::ProgressBar}},
      {O::Tabs, {K::Panel}},
      {O::Columns, {K::ResultList}},
      {O::Rows, {K::ListBox, K::ResultList}},
      {O::AppendRow, {K::ListBox}},
      {O::AppendRows, {K::ResultList}},
  };
  const K all[] = {K::Frame, K::Label,     K::TextField,  K::Button,     K::CheckBox,
                   K::ListBox, K::Panel, K::SpinField, K::ResultList, K::ProgressBar};
  for (const auto& c : cases) {
    for (K kind : all) {
      const bool takes = std::find(c.kinds.begin(), c.kinds.end(), kind) != c.kinds.end();
      EXPECT_EQ(ControlTakes(kind, c.operation), takes) << OperationName(c.operation) << " on " << KindName(kind);
    }
  }
}

int wrongKindCalls = 0;
void CountWrongKind(int, ControlKind, ControlOperation) { ++wrongKindCalls; }

TEST(ControlKinds, AWrongKindIsReportedAndInTestsFailsLoudly) {
  wrongKindCalls = 0;
  SetWrongKindHandler(CountWrongKind);
  EXPECT_TRUE(CheckControlKind(GadgetSizeLimit, ControlKind::CheckBox, ControlOperation::Check));
  EXPECT_FALSE(CheckControlKind(GadgetAdd, ControlKind::Button, ControlOperation::Check));
  EXPECT_EQ(wrongKindCalls, 1);
  SetWrongKindHandler(nullptr);
  EXPECT_FALSE(CheckControlKind(GadgetAdd, ControlKind::Button, ControlOperation::Check));
  EXPECT_EQ(wrongKindCalls, 1);
  EXPECT_THROW(ThrowOnWrongKind(GadgetAdd, ControlKind::Button, ControlOperation::Check), std::logic_error);

  // The recording window takes only what the kinds take, as the layers do.
  App app(SearchFlavour::Windows);
  EXPECT_THROW(app.host.SetChecked(GadgetAdd, true), std::logic_error);
  EXPECT_THROW(app.host.AppendRow(GadgetResults, T("x")), std::logic_error);
  EXPECT_THROW(app.host.RowCount(GadgetDirectoryInput), std::logic_error);
  EXPECT_THROW(app.host.SetValue(GadgetSubdirs, 1), std::logic_error);
  EXPECT_NO_THROW(app.host.SetValue(GadgetMinSize, 1));
}

}  // namespace
}  // namespace vantrel

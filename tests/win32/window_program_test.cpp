// The Windows program in its Win32 window: the places of the real controls,
// both languages, and a whole search clicked through the controls, with the
// boxes and the folder chooser answered through the window's seam.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/file_id_win32.hpp"
#include "platform/win32/window_win32.hpp"
#include "tests/support/drop_win32.hpp"
#include "tests/support/temp_tree.hpp"
#include "ui/gadgets.hpp"
#include "ui/program.hpp"

namespace vantrel {
namespace {

using testing::TempTree;

// A control's place relative to its parent, as Windows has it.
Rect PlaceOfWindow(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Text WindowText(HWND hwnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(hwnd, buffer, 512);
  return buffer;
}

class ProgramWindow : public ::testing::Test {
 protected:
  void Open(const Text* languageName = nullptr) {
    if (languageName != nullptr) host.OverrideLanguageName(*languageName);
    host.OverrideEnd([this] { ended = true; });
    ASSERT_TRUE(program.StartUp());
    host.PumpPending();
  }
  HWND Handle(int gadget) {
    HWND hwnd = host.ControlHandle(gadget);
    EXPECT_NE(hwnd, nullptr) << gadget;
    return hwnd;
  }
  // Clicks a button or check box as a person could: it must be shown and
  // enabled, and so must everything it lies on.
  void Click(int gadget) {
    HWND hwnd = Handle(gadget);
    ASSERT_TRUE(IsWindowVisible(hwnd)) << "gadget " << gadget << " is not shown";
    for (HWND w = hwnd; w != nullptr; w = GetParent(w)) {
      ASSERT_TRUE(IsWindowEnabled(w)) << "gadget " << gadget << " cannot be clicked";
    }
    SendMessageW(hwnd, BM_CLICK, 0, 0);
    host.PumpPending();
  }
  void Type(int gadget, const Text& text) {
    SetWindowTextW(Handle(gadget), text.c_str());
    host.PumpPending();
  }
  // Clicks a tab of the panel where the tab control shows it.
  void ClickTab(int tab) {
    HWND panel = Handle(GadgetPanel);
    RECT item{};
    SendMessageW(panel, TCM_GETITEMRECT, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item));
    LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(panel, WM_LBUTTONUP, 0, at);
    host.PumpPending();
  }
  void ResizeClientTo(int width, int height) {
    HWND window = host.WindowHandle();
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    host.PumpPending();
  }
  // Runs the window until the search has ended and the panel is back.
  void WaitForSearchEnd() {
    ASSERT_TRUE(host.PumpUntil(
        [&] { return !program.Search().IsAlive() && IsWindowEnabled(host.ControlHandle(GadgetPanel)); }, 60000));
    host.PumpPending();
  }
  std::vector<Text> ResultColumn(int column) {
    std::vector<Text> cells;
    for (int row = 0; row < host.RowCount(GadgetResults); ++row) cells.push_back(host.RowText(GadgetResults, row, column));
    return cells;
  }

  Win32Window host;
  Program program{host, SearchFlavour::Windows};
  bool ended = false;
};

// --- Places -------------------------------------------------------------------

enum Field { X, Y, W, H };

struct Expected {
  int gadget;
  Field field;
  int opening;   // at 972 x 700
  int smallest;  // at 810 x 645
};

int FieldOf(const Rect& r, Field f) { return f == X ? r.x : f == Y ? r.y : f == W ? r.w : r.h; }

const std::vector<Expected>& ExpectedPlaces() {
  static const std::vector<Expected> table = {
      // The frames stack from the top.
      {GadgetDirectoryFrame, W, 962, 800}, {GadgetDirectoryFrame, Y, 0, 0}, {GadgetDirectoryFrame, H, 44, 41},
      {GadgetSearchListFrame, W, 962, 800}, {GadgetSearchListFrame, Y, 44, 41}, {GadgetSearchListFrame, H, 110, 102},
      {GadgetPanelFrame, W, 962, 800}, {GadgetPanelFrame, Y, 154, 143}, {GadgetPanelFrame, H, 438, 403},
      {GadgetProgressFrame, W, 962, 800}, {GadgetProgressFrame, Y, 592, 546}, {GadgetProgressFrame, H, 49, 45},
      {GadgetSearchControlFrame, W, 962, 800}, {GadgetSearchControlFrame, Y, 641, 591},
      {GadgetSearchControlFrame, H, 49, 45},
      // The directory and the search list.
      {GadgetAdd, Y, 63, 56}, {GadgetRemove, Y, 104, 97}, {GadgetSearchList, Y, 64, 57},
      {GadgetSearchList, W, 839, 677}, {GadgetBrowse, X, 809, 647}, {GadgetDirectoryInput, W, 687, 525},
      // The panel, the progress bar and the search buttons.
      {GadgetPanel, Y, 184, 156}, {GadgetPanel, W, 952, 790}, {GadgetPanel, H, 383, 383},
      {GadgetProgress, Y, 610, 562}, {GadgetProgress, W, 952, 790},
      {GadgetStart, Y, 656, 604}, {GadgetPause, Y, 656, 604}, {GadgetStop, Y, 656, 604},
      {GadgetStart, X, 10, 10}, {GadgetPause, X, 330, 275}, {GadgetStop, X, 650, 540},
      {GadgetStart, W, 311, 259}, {GadgetPause, W, 311, 259}, {GadgetStop, W, 311, 259},
      // The Options page.
      {GadgetHidden, X, 78, 65}, {GadgetSystem, X, 78, 65}, {GadgetSubdirs, X, 78, 65},
      {GadgetSizeLimit, X, 78, 65}, {GadgetMaxLabel, X, 78, 65}, {GadgetMinLabel, X, 78, 65},
      {GadgetMinSize, X, 118, 105}, {GadgetMaxSize, X, 118, 105},
      {GadgetMinUnitLabel, X, 223, 210}, {GadgetMaxUnitLabel, X, 223, 210},
      {GadgetAlwaysOnTop, X, 535, 446}, {GadgetHighPriority, X, 535, 446}, {GadgetFileTypes, X, 535, 446},
      {GadgetFileTypesInput, X, 630, 541},
      {GadgetOptionsFrame, W, 940, 778}, {GadgetSearchOptionsFrame, W, 907, 745},
      {GadgetOtherOptionsFrame, W, 907, 745},
      // The Results page.
      {GadgetResults, W, 940, 778}, {GadgetResults, H, 320, 320},
      {GadgetSelectAll, X, 2, 2}, {GadgetSelectAllButOne, X, 193, 160}, {GadgetReverseSelection, X, 384, 318},
      {GadgetClearList, X, 575, 476}, {GadgetDeleteSelected, X, 766, 634},
      {GadgetSelectAll, W, 179, 148}, {GadgetSelectAllButOne, W, 179, 148}, {GadgetReverseSelection, W, 179, 148},
      {GadgetClearList, W, 179, 148}, {GadgetDeleteSelected, W, 179, 148},
  };
  return table;
}

// Each page covers the panel's display area: the panel less its tab strip.
void ExpectPagesFollowThePanel(Win32Window& host) {
  HWND panel = host.ControlHandle(GadgetPanel);
  RECT area{};
  GetClientRect(panel, &area);
  SendMessageW(panel, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  MapWindowPoints(panel, HWND_DESKTOP, reinterpret_cast<POINT*>(&area), 2);
  RECT panelRect{};
  GetWindowRect(panel, &panelRect);
  for (int tab : {kOptionsTab, kResultsTab}) {
    HWND page = host.PageHandle(GadgetPanel, tab);
    ASSERT_NE(page, nullptr);
    RECT pageRect{};
    GetWindowRect(page, &pageRect);
    EXPECT_EQ(pageRect.left, area.left) << "tab " << tab;
    EXPECT_EQ(pageRect.top, area.top) << "tab " << tab;
    EXPECT_EQ(pageRect.right, area.right) << "tab " << tab;
    EXPECT_EQ(pageRect.bottom, area.bottom) << "tab " << tab;
    EXPECT_GT(pageRect.top, panelRect.top) << "below the tab strip";
    EXPECT_LE(pageRect.right, panelRect.right);
  }
}

TEST_F(ProgramWindow, ControlsTakeTheirPlacesAtTheOpeningSizeAndAfterAResizeToTheSmallest) {
  Open();
  HWND window = host.WindowHandle();
  RECT client{};
  GetClientRect(window, &client);
  ASSERT_EQ(client.right, 972);
  ASSERT_EQ(client.bottom, 700);
  // Centred on the screen, with a sizing border and both boxes.
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
  auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
            static_cast<DWORD>(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_NE(GetClassLongPtrW(window, GCLP_HICON), 0);  // the program's icon

  for (const Expected& e : ExpectedPlaces()) {
    EXPECT_EQ(FieldOf(PlaceOfWindow(Handle(e.gadget)), e.field), e.opening)
        << "gadget " << e.gadget << " field " << e.field << " at 972 x 700";
  }
  // The method check boxes stand apart, left to right MD5, SHA1, CRC32.
  int md5 = PlaceOfWindow(Handle(GadgetMd5)).x;
  EXPECT_EQ(PlaceOfWindow(Handle(GadgetSha1)).x, md5 + 60);
  EXPECT_EQ(PlaceOfWindow(Handle(GadgetCrc32)).x, md5 + 120);
  ExpectPagesFollowThePanel(host);

  ResizeClientTo(810, 645);
  GetClientRect(window, &client);
  ASSERT_EQ(client.right, 810);
  ASSERT_EQ(client.bottom, 645);
  for (const Expected& e : ExpectedPlaces()) {
    EXPECT_EQ(FieldOf(PlaceOfWindow(Handle(e.gadget)), e.field), e.smallest)
        << "gadget " << e.gadget << " field " << e.field << " at 810 x 645";
  }
  ExpectPagesFollowThePanel(host);

  // Every tip is on the one tooltip control, in the program's words.
  HWND tips = host.ToolTipHandle();
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 21);
  struct Tip {
    int gadget;
    const wchar_t* text;
  };
  for (const Tip& tip : {Tip{GadgetBrowse, L"Select a directory"}, Tip{GadgetStop, L"Stop searching"},
                         Tip{GadgetHidden, L"Include hidden files"}, Tip{GadgetDeleteSelected, L"Delete selected files"}}) {
    wchar_t buffer[200] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = GetParent(Handle(tip.gadget));
    tool.uId = reinterpret_cast<UINT_PTR>(Handle(tip.gadget));
    tool.lpszText = buffer;
    SendMessageW(tips, TTM_GETTEXTW, 200, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(Text(buffer), tip.text) << "gadget " << tip.gadget;
  }

  // Smaller than the smallest: the window's limits hold.
  ResizeClientTo(500, 400);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 810);
  EXPECT_EQ(client.bottom, 645);
}

// --- Languages ------------------------------------------------------------------

struct Shown {
  int gadget;
  const wchar_t* english;
  const wchar_t* german;
};

const std::vector<Shown>& ShownTexts() {
  static const std::vector<Shown> table = {
      {GadgetDirectoryLabel, L"     Directory", L"   Verzeichnis"},
      {GadgetBrowse, L"Browse", L"Suchen"},
      {GadgetAdd, L"Add", L"Hinzuf\u00fcgen"},
      {GadgetRemove, L"Remove", L"Entfernen"},
      {GadgetSearchOptionsFrame, L"Search options", L"Suchoptionen"},
      {GadgetHidden, L"Include hidden files", L"Versteckte Dateien durchsuchen"},
      {GadgetMethodLabel, L"Method", L"Metode"},
      {GadgetSizeLimit, L"Filesize limit", L"Gr\u00f6\u00dfenbegrenzung"},
      {GadgetHighPriority, L"High Priority", L"Hohe Priorit\u00e4t"},
      {GadgetSelectAllButOne, L"Select all except one", L"Duplikate ausw\u00e4hlen"},
      {GadgetClearList, L"Clear list", L"Liste L\u00f6schen"},
      {GadgetDeleteSelected, L"Delete selected files", L"Auswahl l\u00f6schen"},
      {GadgetStart, L"Start", L"Start"},
      {GadgetMinUnitLabel, L"Bytes", L"Bytes"},
  };
  return table;
}

std::vector<Text> TabTitles(HWND panel) {
  std::vector<Text> titles;
  for (int tab = 0; tab < TabCtrl_GetItemCount(panel); ++tab) {
    wchar_t buffer[100] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 100;
    SendMessageW(panel, TCM_GETITEMW, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item));
    titles.push_back(buffer);
  }
  return titles;
}

std::vector<Text> ColumnTitles(HWND list) {
  std::vector<Text> titles;
  for (int column = 0;; ++column) {
    wchar_t buffer[100] = {};
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 100;
    if (!SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item))) break;
    titles.push_back(buffer);
  }
  return titles;
}

void ExpectLanguage(ProgramWindow& test, Win32Window& host, bool german) {
  EXPECT_EQ(WindowText(host.WindowHandle()), L" Vantrel v1.4");
  for (const Shown& s : ShownTexts()) {
    EXPECT_EQ(WindowText(host.ControlHandle(s.gadget)), german ? s.german : s.english) << "gadget " << s.gadget;
  }
  const std::vector<Text> tabs = german ? std::vector<Text>{L"Optionen", L"Ergebnisse"}
                                        : std::vector<Text>{L"Options", L"Results"};
  EXPECT_EQ(TabTitles(host.ControlHandle(GadgetPanel)), tabs);
  const std::vector<Text> columns =
      german ? std::vector<Text>{L"Gruppe", L"Dateiname", L"Gr\u00f6\u00dfe", L"MD5", L"SHA1", L"CRC32"}
             : std::vector<Text>{L"Group", L"Filename", L"Size", L"MD5", L"SHA1", L"CRC32"};
  EXPECT_EQ(ColumnTitles(host.ControlHandle(GadgetResults)), columns);
  (void)test;
}

TEST_F(ProgramWindow, GermanWindowsNameSelectsTheGermanTexts) {
  const Text name = L"Deutsch (Deutschland)";
  Open(&name);
  ExpectLanguage(*this, host, true);
}

TEST_F(ProgramWindow, EnglishNameSelectsTheEnglishTexts) {
  const Text name = L"English (United States)";
  Open(&name);
  ExpectLanguage(*this, host, false);
}

// Runs once in English and once with a German locale (see CMakeLists). Wine
// names every language in English, so under Wine the chain ends in the English
// texts even for German; a German Windows names German "Deutsch ...".
TEST_F(ProgramWindow, LanguageChainFollowsTheUsersLanguage) {
  // The locale as POSIX takes it: LC_ALL before LANG.
  wchar_t lang[64] = {};
  if (GetEnvironmentVariableW(L"LC_ALL", lang, 64) == 0) GetEnvironmentVariableW(L"LANG", lang, 64);
  const Text langText = lang;
  LANGID expected = langText.rfind(L"de_DE", 0) == 0 ? 0x0407 : 0x0409;
  EXPECT_EQ(Win32Window::UserLanguageId(), expected) << "locale " << testing::Bytes(langText);

  wchar_t system[256] = {};
  VerLanguageNameW(expected, system, 256);
  Text name = host.UserLanguageName();
  EXPECT_EQ(name, Text(system));
  EXPECT_FALSE(name.empty());
  Open();
  ExpectLanguage(*this, host, SelectsGerman(name));
}

// --- A whole search ---------------------------------------------------------------

void SetAttributes(const TempTree& tree, const std::string& relative, DWORD attributes) {
  ASSERT_TRUE(SetFileAttributesW(tree.PathOf(relative).c_str(), attributes)) << relative;
}

std::set<std::string> FilesLeft(const TempTree& tree) {
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.Root())) {
    if (entry.is_regular_file()) left.insert(entry.path().lexically_relative(tree.Root()).generic_string());
  }
  return left;
}

std::set<std::string> Relative(const TempTree& tree, const std::vector<Text>& paths) {
  std::set<std::string> relative;
  for (const Text& path : paths) {
    relative.insert(std::filesystem::path(path).lexically_relative(tree.Root()).generic_string());
  }
  return relative;
}

TEST_F(ProgramWindow, AWholeSearchThroughTheControlsDeletesTheCopiesAndNothingElse) {
  TempTree tree({{"a/one.txt", "alpha contents"},
                 {"a/two.txt", "alpha contents"},
                 {"a/hidden.txt", "alpha contents"},
                 {"a/system.txt", "alpha contents"},
                 {"a/lone.txt", "beta contents"},
                 {"a/h1.txt", "gamma contents"},
                 {"a/h2.txt", "gamma contents"},
                 {"a/sub/deep.txt", "alpha contents"}});
  SetAttributes(tree, "a/hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(tree, "a/system.txt", FILE_ATTRIBUTE_SYSTEM);
  SetAttributes(tree, "a/h1.txt", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(tree, "a/h2.txt", FILE_ATTRIBUTE_HIDDEN);
  Open();

  // Browse chooses the folder, Add puts it on the list; the same folder
  // typed without its backslash is not added twice.
  const Text folder = tree.PathOf("a");
  host.QueueFolder(folder);
  Click(GadgetBrowse);
  EXPECT_EQ(WindowText(Handle(GadgetDirectoryInput)), folder + L"\\");
  Click(GadgetAdd);
  Type(GadgetDirectoryInput, folder);
  Click(GadgetAdd);
  EXPECT_EQ(WindowText(Handle(GadgetDirectoryInput)), L"");
  ASSERT_EQ(host.RowCount(GadgetSearchList), 1);
  EXPECT_EQ(host.RowText(GadgetSearchList, 0, 0), folder + L"\\");

  // Without the hidden and system options, and without subfolders.
  Click(GadgetStart);
  WaitForSearchEnd();
  EXPECT_EQ(SendMessageW(Handle(GadgetPanel), TCM_GETCURSEL, 0, 0), kResultsTab);
  EXPECT_TRUE(IsWindowVisible(Handle(GadgetResults)));
  EXPECT_EQ(Relative(tree, ResultColumn(1)), (std::set<std::string>{"a/one.txt", "a/two.txt"}));
  EXPECT_EQ(SendMessageW(Handle(GadgetResults), LVM_GETITEMCOUNT, 0, 0), 2);
  Text kept = host.RowText(GadgetResults, 0, 1);

  Click(GadgetSelectAllButOne);
  EXPECT_EQ(host.RowState(GadgetResults, 0), 0);
  EXPECT_EQ(host.RowState(GadgetResults, 1), kRowChecked);
  host.QueueAnswer(kAnswerYes);
  Click(GadgetDeleteSelected);
  WaitForSearchEnd();
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].title, L"Delete selected files?");
  ASSERT_EQ(host.RowCount(GadgetResults), 1);
  EXPECT_EQ(host.RowText(GadgetResults, 0, 1), kept);
  std::set<std::string> expected = {"a/hidden.txt", "a/system.txt", "a/lone.txt", "a/h1.txt", "a/h2.txt",
                                    "a/sub/deep.txt"};
  expected.insert(*Relative(tree, {kept}).begin());
  EXPECT_EQ(FilesLeft(tree), expected);

  // With hidden and system files and subfolders: the new search asks first.
  ClickTab(kOptionsTab);
  Click(GadgetHidden);
  Click(GadgetSystem);
  Click(GadgetSubdirs);
  host.QueueAnswer(kAnswerYes);
  Click(GadgetStart);
  EXPECT_EQ(host.Boxes().back().title, L"New search");
  WaitForSearchEnd();
  std::set<std::string> found = Relative(tree, ResultColumn(1));
  std::set<std::string> alpha = {*Relative(tree, {kept}).begin(), "a/hidden.txt", "a/system.txt", "a/sub/deep.txt"};
  std::set<std::string> all = alpha;
  all.insert({"a/h1.txt", "a/h2.txt"});
  EXPECT_EQ(found, all);

  // The first row of each group stays; the others go, from disk too.
  Click(GadgetSelectAllButOne);
  std::set<std::string> survivors = {"a/lone.txt"};
  std::vector<Text> groups = ResultColumn(0);
  std::vector<Text> paths = ResultColumn(1);
  for (std::size_t row = 0; row < paths.size(); ++row) {
    if (row == 0 || groups[row] != groups[row - 1]) survivors.insert(*Relative(tree, {paths[row]}).begin());
  }
  EXPECT_EQ(survivors.size(), 3u);
  host.QueueAnswer(kAnswerYes);
  Click(GadgetDeleteSelected);
  WaitForSearchEnd();
  EXPECT_EQ(FilesLeft(tree), survivors);
  EXPECT_EQ(host.RowCount(GadgetResults), 2);
  EXPECT_EQ(host.QueuedAnswers(), 0u);
}

TEST_F(ProgramWindow, BadDirectoriesInTheInputGiveTheErrorBoxAndKeepTheText) {
  TempTree tree({{"file.txt", "x"}, {"dir/", ""}});
  Open();
  for (const Text& input : {tree.PathOf("file.txt"), tree.PathOf("missing"), Text(L"x")}) {
    host.QueueAnswer(kAnswerOk);
    Type(GadgetDirectoryInput, input);
    Click(GadgetAdd);
    ASSERT_FALSE(host.Boxes().empty());
    EXPECT_EQ(host.Boxes().back().kind, BoxKind::Error);
    EXPECT_EQ(host.Boxes().back().text, L"The selected directory is not valid.");
    EXPECT_EQ(WindowText(Handle(GadgetDirectoryInput)), input);
  }
  EXPECT_EQ(host.RowCount(GadgetSearchList), 0);
  EXPECT_EQ(host.Boxes().size(), 3u);
}

bool ZeroFileIds(void*, FileId128& out) {
  out = FileId128{};
  out.volume = 1;
  return true;
}

TEST_F(ProgramWindow, DeleteRemovesACheckedCopyOnAVolumeWithoutUsableFileIds) {
  // A share or volume that reports every file id as 0: the search finds the
  // two copies (they are two files), the user checks one and answers Yes. The
  // copy holds the kept file's bytes, so it must go; it stays, and its row
  // with it, and nothing tells the user why.
  TempTree tree({{"a/one.txt", "alpha contents"}, {"a/two.txt", "alpha contents"}});
  struct Restore {
    ~Restore() { SetFileIdQueryForTesting(nullptr); }
  } restore;
  SetFileIdQueryForTesting(ZeroFileIds);
  Open();
  Type(GadgetDirectoryInput, tree.PathOf("a"));
  Click(GadgetAdd);
  Click(GadgetStart);
  WaitForSearchEnd();
  ASSERT_EQ(Relative(tree, ResultColumn(1)), (std::set<std::string>{"a/one.txt", "a/two.txt"}));
  Click(GadgetSelectAllButOne);
  ASSERT_EQ(host.RowState(GadgetResults, 1), kRowChecked);
  const Text copy = host.RowText(GadgetResults, 1, 1);
  host.QueueAnswer(kAnswerYes);
  Click(GadgetDeleteSelected);
  WaitForSearchEnd();
  EXPECT_EQ(FilesLeft(tree).size(), 1u) << "the checked copy is still on disk";
  EXPECT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(host.RowCount(GadgetResults), 1);
}

TEST_F(ProgramWindow, AddReadsADriveWithoutABackslashAsTheDirectoryItLists) {
  // "X:" typed into the input is listed (and later walked) as the drive's
  // root "X:\"; the same-folder test of Add must read it the same way, not as
  // the current directory of drive X.
  TempTree tree({{"cwd/file.txt", "x"}});
  const Text cwd = tree.PathOf("cwd");
  const Text drive = cwd.substr(0, 2);
  ASSERT_EQ(drive[1], L':');
  wchar_t saved[MAX_PATH * 2] = {};
  GetCurrentDirectoryW(MAX_PATH * 2, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(cwd.c_str()));
  struct Restore {
    const wchar_t* to;
    ~Restore() { SetCurrentDirectoryW(to); }
  } restore{saved};
  Open();

  struct Case {
    const char* what;
    Text listed;     // the row already in the search list
    bool added;      // whether the drive typed without its backslash is added
  } cases[] = {
      {"beside the current directory, the root is another folder", cwd, true},
      {"beside the root itself, it is the same folder", drive + L"\\", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.ClearRows(GadgetSearchList);
    Type(GadgetDirectoryInput, c.listed);
    Click(GadgetAdd);
    ASSERT_EQ(host.RowCount(GadgetSearchList), 1);
    Type(GadgetDirectoryInput, drive);
    Click(GadgetAdd);
    EXPECT_TRUE(host.Boxes().empty()) << "the drive is a valid directory";
    EXPECT_EQ(host.RowCount(GadgetSearchList), c.added ? 2 : 1);
  }
}

// vantrel.exe itself: its resources, its window, and the close that ends it
// with exit code 0. CTest gives its path in VANTREL_EXE.
// --- A person at the result list ----------------------------------------------

// Shows rows of the files of tree as a search would: each group's paths in order.
void ShowGroups(Program& program, Win32Window& host, const TempTree& tree,
                const std::vector<std::vector<std::string>>& groups) {
  std::vector<Text> cells;
  int number = 0;
  for (const auto& group : groups) {
    ++number;
    for (const std::string& file : group)
      for (const Text& cell : {DecimalText(number), tree.PathOf(file), Text(L"1 B"), Text(L"md5"), Text(), Text()})
        cells.push_back(cell);
  }
  program.InsertResultRows(cells);
  program.SelectPanelTab(kResultsTab);
  host.PumpPending();
}

// A key pressed on the result list, through the window's loop.
void PressOn(Win32Window& host, HWND list, WPARAM key) {
  SetFocus(list);
  PostMessageW(list, WM_KEYDOWN, key, 1);
  PostMessageW(list, WM_KEYUP, key, 0xC0000001);
  host.PumpPending();
}

// Selects rows and focuses one as clicks with Ctrl would, in the list view itself.
void SelectInView(HWND list, const std::vector<int>& rows, int focused) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  item.state = LVIS_SELECTED;
  for (int row : rows) SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  item.stateMask = item.state = LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(focused), reinterpret_cast<LPARAM>(&item));
}

std::vector<int> Checked(Win32Window& host) {
  std::vector<int> rows;
  for (int row = 0; row < host.RowCount(GadgetResults); ++row)
    if (host.RowState(GadgetResults, row) & kRowChecked) rows.push_back(row);
  return rows;
}

TEST_F(ProgramWindow, TheSpaceBarMarksTheFocusedRowAndWithItEverySelectedRow) {
  TempTree tree({{"a/1", "x"}, {"a/2", "x"}, {"a/3", "x"}, {"a/4", "y"}, {"a/5", "y"}});
  Open();
  ShowGroups(program, host, tree, {{"a/1", "a/2", "a/3"}, {"a/4", "a/5"}});
  HWND list = Handle(GadgetResults);
  SelectInView(list, {1, 2}, 2);
  PressOn(host, list, VK_SPACE);
  EXPECT_EQ(Checked(host), (std::vector<int>{1, 2}));
  SelectInView(list, {1, 2}, 4);  // focused, not selected: that row alone
  PressOn(host, list, VK_SPACE);
  EXPECT_EQ(Checked(host), (std::vector<int>{1, 2, 4}));
  SelectInView(list, {0, 1, 2}, 1);  // the focused row's new mark for every selected row
  PressOn(host, list, VK_SPACE);
  EXPECT_EQ(Checked(host), (std::vector<int>{4}));
  PressOn(host, list, VK_SPACE);
  EXPECT_EQ(Checked(host), (std::vector<int>{0, 1, 2, 4}));
  for (int row : {0, 1, 2}) EXPECT_EQ(host.RowState(GadgetResults, row), kRowChecked | kRowHighlighted) << row;
}

// A click, or a click with Shift or Ctrl held, on a row's path, as the mouse
// gives it to the list view.
void ClickRow(Win32Window& host, HWND list, int row, WPARAM keys = 0) {
  RECT cell{};
  cell.top = 1;
  cell.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
  const LPARAM at = MAKELPARAM(cell.left + 10, (cell.top + cell.bottom) / 2);
  BYTE keyboard[256] = {};
  GetKeyboardState(keyboard);
  keyboard[VK_SHIFT] = static_cast<BYTE>((keys & MK_SHIFT) ? 0x80 : 0);
  keyboard[VK_CONTROL] = static_cast<BYTE>((keys & MK_CONTROL) ? 0x80 : 0);
  SetKeyboardState(keyboard);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
  PostMessageW(list, WM_LBUTTONUP, keys, at);
  host.PumpPending();
  keyboard[VK_SHIFT] = keyboard[VK_CONTROL] = 0;
  SetKeyboardState(keyboard);
}

// A key pressed with Shift or Ctrl held.
void PressWith(Win32Window& host, HWND list, BYTE modifier, WPARAM key) {
  BYTE keyboard[256] = {};
  GetKeyboardState(keyboard);
  keyboard[modifier] = 0x80;
  SetKeyboardState(keyboard);
  PressOn(host, list, key);
  keyboard[modifier] = 0;
  SetKeyboardState(keyboard);
}

// The space bar after the selection was made with the mouse and the keys a
// person uses: a Shift+click range, Ctrl+clicks, Shift+arrows. It marks the
// rows the list shows selected, never others.
TEST_F(ProgramWindow, TheSpaceBarMarksTheRowsSelectedByClicksAndKeys) {
  TempTree tree({{"a/1", "x"}, {"a/2", "x"}, {"a/3", "x"}, {"a/4", "x"}, {"a/5", "x"}, {"a/6", "x"}});
  Open();
  ShowGroups(program, host, tree, {{"a/1", "a/2", "a/3", "a/4", "a/5", "a/6"}});
  HWND list = Handle(GadgetResults);
  SetFocus(list);
  auto selectedInView = [&] {
    std::vector<int> rows;
    for (int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         row >= 0; row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)))
      rows.push_back(row);
    return rows;
  };
  // A Shift+click range.
  ClickRow(host, list, 1);
  ClickRow(host, list, 3, MK_SHIFT);
  ASSERT_EQ(selectedInView(), (std::vector<int>{1, 2, 3}));
  PressOn(host, list, VK_SPACE);
  EXPECT_EQ(Checked(host), (std::vector<int>{1, 2, 3}));
  // A Ctrl+click takes row 2 out of the selection; the space bar on row 2
  // (focused, not selected) flips it alone.
  ClickRow(host, list, 2, MK_CONTROL);
  ASSERT_EQ(selectedInView(), (std::vector<int>{1, 3}));
  PressOn(host, list, VK_SPACE);
  EXPECT_EQ(Checked(host), (std::vector<int>{1, 3}));
  // Shift+Down from a clicked row.
  ClickRow(host, list, 4);
  PressWith(host, list, VK_SHIFT, VK_DOWN);
  ASSERT_EQ(selectedInView(), (std::vector<int>{4, 5}));
  PressOn(host, list, VK_SPACE);
  EXPECT_EQ(Checked(host), (std::vector<int>{1, 3, 4, 5}));
}

// Ctrl+Space and Shift+Space are the keys of a Windows list's selection:
// Ctrl+Space adds the focused row to the selection or takes it out, Shift+Space
// selects from the anchor to it. Neither marks files for deletion.
TEST_F(ProgramWindow, CtrlSpaceAndShiftSpaceChangeTheSelectionAndMarkNothing) {
  TempTree tree({{"a/1", "x"}, {"a/2", "x"}, {"a/3", "x"}, {"a/4", "x"}});
  Open();
  ShowGroups(program, host, tree, {{"a/1", "a/2", "a/3", "a/4"}});
  HWND list = Handle(GadgetResults);
  SelectInView(list, {0}, 0);
  PressWith(host, list, VK_CONTROL, VK_DOWN);  // the focus moves, the selection stays
  PressWith(host, list, VK_CONTROL, VK_DOWN);
  PressWith(host, list, VK_CONTROL, VK_SPACE);
  EXPECT_TRUE(Checked(host).empty()) << "Ctrl+Space checked rows";
  for (int row = 0; row < 4; ++row) host.SetRowState(GadgetResults, row, 0);
  SelectInView(list, {0}, 2);
  PressWith(host, list, VK_SHIFT, VK_SPACE);
  EXPECT_TRUE(Checked(host).empty()) << "Shift+Space checked rows";
}

// A cell's tip belongs to the list it shows a cell of: when the list goes
// from view (the panel turned to its other page from the keyboard, the
// pointer resting where it was), the tip goes with it, and does not stay over
// the page now shown.
TEST_F(ProgramWindow, ACellsTipGoesWhenItsListIsTurnedOutOfView) {
  std::string deep = "a";
  while (deep.size() < 150) deep += "/folder with a long name";
  TempTree tree({{deep + "/1", "x"}, {"b/1", "x"}});
  Open();
  ShowGroups(program, host, tree, {{deep + "/1", "b/1"}});
  HWND list = Handle(GadgetResults);
  RECT cell{};
  cell.top = 1;
  cell.left = LVIR_BOUNDS;
  ASSERT_TRUE(SendMessageW(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)));
  const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
  SendMessageW(list, WM_MOUSEMOVE, 0, at);
  SendMessageW(list, WM_MOUSEHOVER, 0, at);
  ASSERT_TRUE(IsWindowVisible(host.CellTipHandle()));
  program.SelectPanelTab(kOptionsTab);
  host.PumpPending();
  ASSERT_FALSE(IsWindowVisible(list));
  EXPECT_FALSE(IsWindowVisible(host.CellTipHandle())) << "the tip stays over the options page";
}

TEST_F(ProgramWindow, TheContextMenuInGermanOffersTheRowCommandsAndActsOnTheRow) {
  TempTree tree({{"a/one.txt", "1"}, {"b/one.txt", "1"}, {"a/two.txt", "2"}, {"b/two.txt", "2"},
                 {"b/sub/two.txt", "2"}});
  const Text german = L"Deutsch (Deutschland)";
  Open(&german);
  ShowGroups(program, host, tree, {{"a/one.txt", "b/one.txt"}, {"a/two.txt", "b/two.txt", "b/sub/two.txt"}});
  HWND list = Handle(GadgetResults);
  auto menuOn = [&](int row, int choice) {
    SelectInView(list, {}, row);
    host.QueueMenuChoice(choice);
    SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);  // the menu key
    host.PumpPending();
  };
  // "Check all duplicates in this folder" on b/two.txt: the files directly in b.
  menuOn(3, 4);
  ASSERT_EQ(host.Menus().size(), 1u);
  EXPECT_EQ(host.Menus()[0],
            (std::vector<Text>{L"\u00d6ffnen", L"Enthaltenden Ordner \u00f6ffnen", L"Pfad kopieren", L"",
                               L"Alle Duplikate in diesem Ordner ausw\u00e4hlen", L"Auswahl in diesem Ordner aufheben",
                               L"Alle Duplikate in diesem Ordner und seinen Unterordnern ausw\u00e4hlen",
                               L"Auswahl in diesem Ordner und seinen Unterordnern aufheben"}));
  EXPECT_EQ(Checked(host), (std::vector<int>{1, 3}));
  EXPECT_EQ(host.RowState(GadgetResults, 3), kRowChecked | kRowHighlighted);  // the menu's row is selected
  menuOn(3, 5);  // "Uncheck all in this folder"
  EXPECT_TRUE(Checked(host).empty());
  // With a/two.txt checked, every unchecked file of group 2 lies in b or
  // below: "... and its subfolders" on b leaves the first of them, b/two.txt.
  SelectInView(list, {}, 2);
  PressOn(host, list, VK_SPACE);
  menuOn(3, 6);
  EXPECT_EQ(Checked(host), (std::vector<int>{1, 2, 4}));
  // "Copy path".
  menuOn(4, 2);
  ASSERT_TRUE(OpenClipboard(host.WindowHandle()));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(Text(static_cast<const wchar_t*>(GlobalLock(data))), tree.PathOf("b/sub/two.txt"));
  GlobalUnlock(data);
  CloseClipboard();

  // Return on a file removed since the search: the error box, in German.
  ASSERT_TRUE(DeleteFileW(tree.PathOf("a/one.txt").c_str()));
  SelectInView(list, {0}, 0);
  host.QueueAnswer(kAnswerOk);
  PressOn(host, list, VK_RETURN);
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].kind, BoxKind::Error);
  EXPECT_EQ(host.Boxes()[0].text, L"Die Datei konnte nicht ge\u00f6ffnet werden:\n" + tree.PathOf("a/one.txt"));
  EXPECT_EQ(host.RowCount(GadgetResults), 5);  // nothing else changes
}

TEST_F(ProgramWindow, FoldersDroppedOnTheWindowGoOnTheSearchListAsAddPutsThem) {
  TempTree tree({{"a/x.txt", "x"}, {"b/y.txt", "y"}});
  Open();
  const std::vector<Text> paths = {tree.PathOf("a"), tree.PathOf("b/y.txt"), tree.PathOf("missing")};
  HGLOBAL memory = testing::MakeDrop(paths);
  ASSERT_NE(memory, nullptr);
  host.QueueAnswer(kAnswerOk);
  SendMessageW(host.WindowHandle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  host.PumpPending();
  ASSERT_EQ(host.RowCount(GadgetSearchList), 2);
  EXPECT_EQ(host.RowText(GadgetSearchList, 0, 0).rfind(tree.PathOf("a"), 0), 0u);
  EXPECT_EQ(host.RowText(GadgetSearchList, 1, 0), tree.PathOf("b") + L"\\");
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].kind, BoxKind::Error);
}

TEST(WindowsProgram, OpensItsWindowShipsItsResourcesAndEndsWithExitCode0OnClose) {
  wchar_t unixPath[1024] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"VANTREL_EXE", unixPath, 1024), 0u) << "VANTREL_EXE is not set";
  Text exe = L"Z:" + Text(unixPath);
  std::replace(exe.begin(), exe.end(), L'/', L'\\');

  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> version(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, version.data()));
  for (const auto& [key, value] : {std::pair{L"ProductName", L"Vantrel"}, std::pair{L"FileVersion", L"1.4"}}) {
    wchar_t* text = nullptr;
    UINT length = 0;
    Text query = Text(L"\\StringFileInfo\\040904B0\\") + key;
    ASSERT_TRUE(VerQueryValueW(version.data(), query.c_str(), reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(Text(text), value);
  }
  HMODULE image = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  HRSRC manifest = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  std::string manifestText(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                           SizeofResource(image, manifest));
  EXPECT_NE(manifestText.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)), nullptr);  // the icon group
  FreeLibrary(image);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  HWND window = nullptr;
  for (int tries = 0; tries < 600 && window == nullptr; ++tries) {
    window = FindWindowW(L"VantrelWindow", L" Vantrel v1.4");
    if (window == nullptr) Sleep(50);
  }
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);
  if (exitCode == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

TEST_F(ProgramWindow, TheCloseRequestEndsTheProgram) {
  Open();
  SendMessageW(host.WindowHandle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace vantrel

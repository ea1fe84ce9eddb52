// The Win32 window layer on its own: the controls it builds answer the way the
// program expects, read back from the Win32 controls themselves.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>
#include <vector>

#include "platform/win32/window_win32.hpp"
#include "tests/support/drop_win32.hpp"

namespace vantrel {
namespace {

// Every test here (the layer's and the program's) fails when a call
// addresses a control of a kind that does not take it, which the programs
// ignore. Recorded, not thrown: the calls run inside window procedures.
std::vector<std::pair<int, ControlOperation>> wrongKinds;
void RecordWrongKind(int gadget, ControlKind, ControlOperation operation) { wrongKinds.push_back({gadget, operation}); }

class WrongKindCheck : public ::testing::Environment {
 public:
  void SetUp() override { SetWrongKindHandler(RecordWrongKind); }
  void TearDown() override {
    EXPECT_TRUE(wrongKinds.empty()) << wrongKinds.size() << " calls on controls whose kind does not take them";
    SetWrongKindHandler(nullptr);
  }
};
[[maybe_unused]] ::testing::Environment* const wrongKindCheck = ::testing::AddGlobalTestEnvironment(new WrongKindCheck);

struct RowEvent {
  int gadget;
  RowAction action;
  int row;
  friend bool operator==(const RowEvent&, const RowEvent&) = default;
};

std::ostream& operator<<(std::ostream& out, const RowEvent& e) {
  return out << "{" << e.gadget << ", action " << static_cast<int>(e.action) << ", row " << e.row << "}";
}

struct RecordingEvents : WindowEvents {
  void OnControlEvent(int gadget) override { controls.push_back(gadget); }
  void OnSizeEvent() override { ++sizes; }
  void OnCloseRequest() override { ++closes; }
  void OnRowAction(int gadget, RowAction action, int row) override { rows.push_back({gadget, action, row}); }
  void OnDrop(const std::vector<Text>& paths) override { drops.push_back(paths); }
  int Count(int gadget) const { return static_cast<int>(std::count(controls.begin(), controls.end(), gadget)); }
  std::vector<int> controls;
  std::vector<RowEvent> rows;
  std::vector<std::vector<Text>> drops;
  int sizes = 0;
  int closes = 0;
};

class WindowLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.OpenWindow(L" test", 700, 500, true));
    host.SetEventSink(&events);
  }
  Win32Window host;
  RecordingEvents events;
};

Text CellOfView(HWND list, int row, int column) {
  wchar_t buffer[300] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 300;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

TEST_F(WindowLayer, SpinFieldAcceptsAnyTextAndItsArrowsStepWithinTheRange) {
  host.CreateControl(118, ControlKind::SpinField, {10, 10, 98, 20}, L"");
  HWND field = host.ControlHandle(118);
  EXPECT_EQ(host.TextOf(118), L"0");
  EXPECT_EQ(host.PlaceOf(118), (Rect{10, 10, 98, 20}));
  RECT outer{};
  GetWindowRect(field, &outer);
  EXPECT_EQ(outer.right - outer.left, 98 - 10);  // the arrows take h / 2

  SetWindowTextW(field, L"12ab");
  EXPECT_EQ(host.TextOf(118), L"12ab");
  EXPECT_GE(events.Count(118), 1);

  struct Step {
    std::int64_t from;
    WPARAM key;
    const wchar_t* expected;
  };
  for (const Step& step : {Step{41, VK_UP, L"42"}, Step{41, VK_DOWN, L"40"}, Step{0, VK_DOWN, L"0"},
                           Step{2147483647, VK_UP, L"2147483647"}, Step{2147483647, VK_DOWN, L"2147483646"},
                           Step{1234567, VK_UP, L"1234568"}}) {
    host.SetValue(118, step.from);
    EXPECT_EQ(host.TextOf(118), DecimalText(step.from));
    int before = events.Count(118);
    SendMessageW(field, WM_KEYDOWN, step.key, 0);
    SendMessageW(field, WM_KEYUP, step.key, 0);
    EXPECT_EQ(host.TextOf(118), step.expected) << step.from;
    if (host.TextOf(118) != DecimalText(step.from)) {
      EXPECT_GT(events.Count(118), before);
    }
  }

  host.SetPlace(118, {40, 50, 120, 24});
  EXPECT_EQ(host.PlaceOf(118), (Rect{40, 50, 120, 24}));
  GetWindowRect(field, &outer);
  EXPECT_EQ(outer.right - outer.left, 120 - 12);
}

TEST_F(WindowLayer, TextFieldsTakeTextOfAnyLength) {
  host.CreateControl(36, ControlKind::TextField, {10, 10, 170, 20}, L"");
  const Text types = [] {
    Text t;
    for (int i = 0; i < 12000; ++i) t += L"jpg ";
    return t;
  }();
  SendMessageW(host.ControlHandle(36), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(types.c_str()));  // a paste
  EXPECT_EQ(host.TextOf(36).size(), types.size());
  EXPECT_GE(events.Count(36), 1);
}

TEST_F(WindowLayer, ResultListShowsItsRowsAndKeepsCheckMarksApartFromTheSelection) {
  host.CreateControl(19, ControlKind::ResultList, {0, 0, 650, 300}, L"");
  for (int column = 0; column < 6; ++column) host.AddColumn(19, L"C" + DecimalText(column), 100);
  host.ShowAndActivate();
  std::vector<Text> cells;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 6; ++column) cells.push_back(L"r" + DecimalText(row) + L"c" + DecimalText(column));
  }
  host.AppendRows(19, cells);
  HWND list = host.ControlHandle(19);
  ASSERT_EQ(host.RowCount(19), 4);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(CellOfView(list, 2, 1), L"r2c1");
  EXPECT_EQ(host.RowText(19, 3, 5), L"r3c5");

  // A click on row 1's check box marks it and leaves the selection alone.
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&bounds)));
  POINT onBox{-1, (bounds.top + bounds.bottom) / 2};
  for (int x = bounds.left; x < bounds.left + 40 && onBox.x < 0; ++x) {
    LVHITTESTINFO hit{};
    hit.pt = {x, onBox.y};
    if (SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == 1 &&
        (hit.flags & LVHT_ONITEMSTATEICON) != 0) {
      onBox.x = x + 2;
    }
  }
  ASSERT_GE(onBox.x, 0) << "no check box found in row 1";
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(onBox.x, onBox.y));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(onBox.x, onBox.y));
  EXPECT_EQ(host.RowState(19, 1), kRowChecked);
  EXPECT_GE(events.Count(19), 1);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 1, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));

  // The space bar reports the focused row to the program and marks nothing
  // itself; the program's rule is tested with the program.
  host.SetRowState(19, 0, kRowHighlighted);
  host.SetRowState(19, 2, kRowHighlighted);
  LVITEMW item{};
  item.stateMask = LVIS_FOCUSED;
  item.state = LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&item));
  SetFocus(list);
  SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageW(list, WM_CHAR, L' ', 0);
  SendMessageW(list, WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(events.rows, (std::vector<RowEvent>{{19, RowAction::ToggleCheck, 2}}));
  EXPECT_EQ(host.RowState(19, 0), kRowHighlighted);
  EXPECT_EQ(host.RowState(19, 1), kRowChecked);
  EXPECT_EQ(host.RowState(19, 2), kRowHighlighted);
  EXPECT_EQ(host.RowState(19, 3), 0);
  EXPECT_EQ(host.FocusedRow(19), 2);

  // States are set exactly, both marks at once.
  for (int state : {0, kRowChecked, kRowHighlighted, kRowHighlighted | kRowChecked, 0}) {
    host.SetRowState(19, 3, state);
    EXPECT_EQ(host.RowState(19, 3), state);
  }

  // A click on a row's text selects it, also after the layer last saw no
  // row selected.
  for (int row = 0; row < 4; ++row) host.SetRowState(19, row, 0);
  EXPECT_EQ(host.RowState(19, 1), 0);
  RECT label{};
  label.left = LVIR_LABEL;
  ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&label)));
  LPARAM onText = MAKELPARAM(label.left + 20, (label.top + label.bottom) / 2);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, onText);
  SendMessageW(list, WM_LBUTTONUP, 0, onText);
  EXPECT_EQ(host.RowState(19, 1), kRowHighlighted);
  EXPECT_EQ(host.RowState(19, 0), 0);

  // Rows go from the last to the first, as Delete removes them, and in any order.
  host.SetRowState(19, 3, kRowChecked);
  host.RemoveRow(19, 2);
  host.RemoveRow(19, 0);
  ASSERT_EQ(host.RowCount(19), 2);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(host.RowText(19, 0, 0), L"r1c0");
  EXPECT_EQ(host.RowState(19, 0), kRowHighlighted);  // the selection moves with its row
  EXPECT_EQ(host.RowText(19, 1, 0), L"r3c0");
  EXPECT_EQ(host.RowState(19, 1), kRowChecked);
  EXPECT_EQ(CellOfView(list, 1, 4), L"r3c4");
  host.ClearRows(19);
  EXPECT_EQ(host.RowCount(19), 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(WindowLayer, TasksPostedFromAnotherThreadRunInOrderOnTheWindowsThreadAndWakeTheLoop) {
  DWORD windowThread = GetCurrentThreadId();
  std::vector<int> ran;
  std::atomic<bool> elsewhere{false};
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i) {
      host.PostToWindowThread([&, i] {
        if (GetCurrentThreadId() != windowThread) elsewhere = true;
        ran.push_back(i);
      });
    }
    // The loop sleeps in GetMessage; only the post can wake it to end.
    host.PostToWindowThread([] { PostQuitMessage(0); });
  });
  EXPECT_EQ(host.RunEventLoop(), 0);
  worker.join();
  EXPECT_FALSE(elsewhere);
  ASSERT_EQ(ran.size(), 2000u);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(ran[static_cast<std::size_t>(i)], i);
}

TEST_F(WindowLayer, BoxesShowTheirButtonsAndGiveTheButtonPressed) {
  struct Case {
    BoxKind kind;
    const wchar_t* title;
    int press;
    int present;
    int absent;
    int answer;
  };
  for (const Case& c : {Case{BoxKind::Question, L"Box question", IDNO, IDYES, IDOK, kAnswerNo},
                        Case{BoxKind::Question, L"Box question yes", IDYES, IDNO, IDOK, kAnswerYes},
                        Case{BoxKind::Error, L"Box error", IDOK, IDOK, IDYES, kAnswerOk},
                        Case{BoxKind::Information, L"Box information", IDOK, IDOK, IDNO, kAnswerOk}}) {
    std::atomic<bool> present{false};
    std::atomic<bool> absent{false};
    std::thread person([&] {
      for (int tries = 0; tries < 400; ++tries) {
        HWND box = FindWindowW(L"#32770", c.title);
        if (box != nullptr && IsWindowVisible(box)) {
          present = IsWindowVisible(GetDlgItem(box, c.present)) != FALSE;
          HWND other = GetDlgItem(box, c.absent);
          absent = other == nullptr || !IsWindowVisible(other);
          PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(c.press), 0);
          return;
        }
        Sleep(25);
      }
    });
    int answer = host.Ask(c.kind, c.title, L"text");
    person.join();
    EXPECT_EQ(answer, c.answer) << static_cast<int>(c.kind) << " " << c.press;
    EXPECT_TRUE(present);
    EXPECT_TRUE(absent);
  }
}

TEST_F(WindowLayer, SizeEventsAndTheCloseRequestReachTheProgram) {
  host.SetSizeLimits({600, 400}, {900, 700});
  host.ShowAndActivate();
  host.PumpPending();
  int before = events.sizes;
  HWND window = host.WindowHandle();
  SetWindowPos(window, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  host.PumpPending();
  EXPECT_GT(events.sizes, before);
  // Too small: the limits, given for the client area, hold.
  EXPECT_EQ(host.ClientSize().width, 600);
  EXPECT_EQ(host.ClientSize().height, 400);
  before = events.sizes;
  ShowWindow(window, SW_MINIMIZE);
  host.PumpPending();
  EXPECT_EQ(events.sizes, before);
  ShowWindow(window, SW_RESTORE);
  host.PumpPending();
  EXPECT_GT(events.sizes, before);

  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(events.closes, 1);
  EXPECT_TRUE(IsWindow(window));  // the program decides; the window does not close itself
}

TEST_F(WindowLayer, ProgressBarMovesOnItsOwnWhileBusyAndShowsValuesAfterwards) {
  host.CreateControl(23, ControlKind::ProgressBar, {10, 10, 300, 16}, L"");
  HWND bar = host.ControlHandle(23);
  auto marquee = [bar] { return (GetWindowLongPtrW(bar, GWL_STYLE) & PBS_MARQUEE) != 0; };
  EXPECT_FALSE(marquee());
  host.SetBusy(23, true);
  EXPECT_TRUE(marquee());
  host.SetBusy(23, false);
  EXPECT_FALSE(marquee());
  host.SetValue(23, 40);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 40);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 100);
  host.SetValue(23, 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
}

TEST_F(WindowLayer, RemovingRowsKeepsTheTopRowTheFocusedRowAndTheSelection) {
  // Every second row goes, as a Delete of each pair's second file removes it:
  // row 2k stays and becomes row k; row 2k + 1 goes, and row 2k + 2 (now k + 1)
  // takes its place.
  struct Case {
    const char* what;
    int top, focused, selected;
    int topAfter, focusedAfter, selectedAfter;  // -1: nothing selected
  } cases[] = {
      {"rows that stay", 120, 150, 140, 60, 75, 70},
      {"rows that go", 121, 131, 141, 61, 66, -1},
  };
  host.CreateControl(19, ControlKind::ResultList, {0, 0, 650, 300}, L"");
  for (int column = 0; column < 6; ++column) host.AddColumn(19, L"C" + DecimalText(column), 100);
  host.ShowAndActivate();
  HWND list = host.ControlHandle(19);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.ClearRows(19);
    std::vector<Text> cells;
    std::vector<int> odd;
    for (int row = 0; row < 300; ++row) {
      for (int column = 0; column < 6; ++column) cells.push_back(L"r" + DecimalText(row));
      if (row % 2 == 1) odd.push_back(row);
    }
    host.AppendRows(19, cells);
    host.SetRowState(19, c.selected, kRowHighlighted);
    LVITEMW focus{};
    focus.stateMask = focus.state = LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(c.focused), reinterpret_cast<LPARAM>(&focus));
    SendMessageW(list, LVM_ENSUREVISIBLE, 299, FALSE);
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(c.top), FALSE);
    ASSERT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), c.top);

    host.RemoveRows(19, odd);
    host.PumpPending();
    ASSERT_EQ(host.RowCount(19), 150);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 150);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), c.topAfter);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), c.focusedAfter);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), c.selectedAfter);
    EXPECT_EQ(host.RowText(19, c.topAfter, 1), L"r" + DecimalText(2 * c.topAfter));
    for (int row = 0; row < 150; ++row)
      EXPECT_EQ((host.RowState(19, row) & kRowHighlighted) != 0, row == c.selectedAfter) << row;
  }
}

// --- What a person does to the rows ----------------------------------------------

class ResultListRows : public WindowLayer {
 protected:
  void SetUp() override {
    WindowLayer::SetUp();
    host.CreateControl(19, ControlKind::ResultList, {0, 0, 650, 300}, L"");
    for (int column = 0; column < 6; ++column) host.AddColumn(19, L"C" + DecimalText(column), 100);
    host.ShowAndActivate();
    list = host.ControlHandle(19);
  }
  void Fill(int rows) {
    std::vector<Text> cells;
    for (int row = 0; row < rows; ++row)
      for (int column = 0; column < 6; ++column) cells.push_back(L"r" + DecimalText(row));
    host.AppendRows(19, cells);
  }
  // A key pressed while the list has the focus, through the window's loop
  // (where the dialog manager sees it first).
  void Press(WPARAM key) {
    SetFocus(list);
    PostMessageW(list, WM_KEYDOWN, key, 1);
    PostMessageW(list, WM_KEYUP, key, 0xC0000001);
    host.PumpPending();
  }
  void Focus(int row) {
    LVITEMW item{};
    item.stateMask = item.state = LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
  // The middle of a row's cell, in the list's client coordinates.
  POINT CellPoint(int row, int column) {
    RECT cell{};
    cell.top = column;
    cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    EXPECT_TRUE(SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell)));
    return {(cell.left + std::min<LONG>(cell.right, 600)) / 2, (cell.top + cell.bottom) / 2};
  }
  std::vector<int> Selected() {
    std::vector<int> rows;
    for (int row = 0; row < host.RowCount(19); ++row)
      if (host.RowState(19, row) & kRowHighlighted) rows.push_back(row);
    return rows;
  }
  HWND list = nullptr;
};

TEST_F(ResultListRows, KeysReportTheFocusedRowAndHomeAndEndMoveToTheEnds) {
  Fill(40);
  Focus(5);
  Press(VK_RETURN);
  Press(VK_SPACE);
  EXPECT_EQ(events.rows, (std::vector<RowEvent>{{19, RowAction::Open, 5}, {19, RowAction::ToggleCheck, 5}}));
  EXPECT_EQ(host.RowState(19, 5) & kRowChecked, 0);  // the program marks, not the layer

  // Home and End move the focus and the selection as an arrow key does.
  host.SetRowState(19, 5, kRowHighlighted);
  host.SetRowState(19, 7, kRowHighlighted);
  Press(VK_END);
  EXPECT_EQ(host.FocusedRow(19), 39);
  EXPECT_EQ(Selected(), (std::vector<int>{39}));
  EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0) + SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0), 40);
  Press(VK_HOME);
  EXPECT_EQ(host.FocusedRow(19), 0);
  EXPECT_EQ(Selected(), (std::vector<int>{0}));
  EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
  Press(VK_DOWN);
  EXPECT_EQ(Selected(), (std::vector<int>{1}));
  events.rows.clear();
  Press(VK_RETURN);
  EXPECT_EQ(events.rows, (std::vector<RowEvent>{{19, RowAction::Open, 1}}));
}

TEST_F(ResultListRows, ADoubleClickOpensTheRowAndOneOnItsCheckBoxOnlyFlipsTheMark) {
  Fill(10);
  const POINT onText = CellPoint(3, 1);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(onText.x, onText.y));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(onText.x, onText.y));
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(onText.x, onText.y));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(onText.x, onText.y));
  host.PumpPending();
  EXPECT_EQ(events.rows, (std::vector<RowEvent>{{19, RowAction::Open, 3}}));
  EXPECT_EQ(host.RowState(19, 3), kRowHighlighted);

  events.rows.clear();
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETITEMRECT, 6, reinterpret_cast<LPARAM>(&bounds));
  POINT onBox{-1, (bounds.top + bounds.bottom) / 2};
  for (int x = bounds.left; x < bounds.left + 40 && onBox.x < 0; ++x) {
    LVHITTESTINFO hit{};
    hit.pt = {x, onBox.y};
    if (SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == 6 &&
        (hit.flags & LVHT_ONITEMSTATEICON) != 0)
      onBox.x = x + 2;
  }
  ASSERT_GE(onBox.x, 0);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(onBox.x, onBox.y));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(onBox.x, onBox.y));
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(onBox.x, onBox.y));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(onBox.x, onBox.y));
  host.PumpPending();
  EXPECT_TRUE(events.rows.empty());
  EXPECT_EQ(host.RowState(19, 6), 0);  // flipped twice, the selection untouched
  EXPECT_EQ(host.RowState(19, 3), kRowHighlighted);
}

TEST_F(ResultListRows, TheContextMenuIsAskedForTheRowItOpensOnWhichBecomesFocused) {
  Fill(12);
  struct Case {
    const char* what;
    std::vector<int> selectedBefore;
    int focusedBefore;
    int pointAt;  // -1: from the keyboard
    int reported;
    std::vector<int> selectedAfter;
  } cases[] = {
      {"keyboard: the focused row", {2}, 2, -1, 2, {2}},
      {"keyboard: a focused row not selected", {4}, 9, -1, 9, {9}},
      {"pointer on a row not selected: it alone", {1, 2}, 1, 7, 7, {7}},
      {"pointer on a selected row: the selection stays", {1, 2, 3}, 1, 3, 3, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    events.rows.clear();
    for (int row = 0; row < 12; ++row)
      host.SetRowState(19, row, std::count(c.selectedBefore.begin(), c.selectedBefore.end(), row) ? kRowHighlighted : 0);
    host.PumpPending();
    Focus(c.focusedBefore);
    LPARAM where = -1;
    if (c.pointAt >= 0) {
      POINT at = CellPoint(c.pointAt, 1);
      ClientToScreen(list, &at);
      where = MAKELPARAM(at.x, at.y);
    }
    SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), where);
    EXPECT_EQ(events.rows, (std::vector<RowEvent>{{19, RowAction::Menu, c.reported}}));
    EXPECT_EQ(host.FocusedRow(19), c.reported);
    EXPECT_EQ(Selected(), c.selectedAfter);
  }
  // Below the last row there is no row to ask about.
  events.rows.clear();
  POINT below{100, 290};
  ClientToScreen(list, &below);
  SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(below.x, below.y));
  EXPECT_TRUE(events.rows.empty());
}

TEST_F(ResultListRows, ThePopupMenuShowsTheEntriesWithSeparatorsAndGivesTheChoice) {
  Fill(3);
  Focus(1);
  const std::vector<Text> entries = {L"\u00d6ffnen", L"Pfad kopieren", L"", L"Auswahl aufheben"};
  struct Case {
    int downs;  // arrow presses before Return; -1: Escape
    int answer;
  };
  for (const Case& c : {Case{1, 0}, Case{3, 3}, Case{-1, -1}}) {
    std::atomic<bool> shown{false};
    std::vector<Text> texts;
    std::vector<bool> separators;
    std::thread person([&] {
      for (int tries = 0; tries < 400; ++tries) {
        HWND popup = FindWindowW(L"#32768", nullptr);
        HMENU menu = host.OpenMenu();
        if (popup != nullptr && IsWindowVisible(popup) && menu != nullptr) {
          for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[100] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 100, MF_BYPOSITION);
            texts.push_back(text);
            separators.push_back((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0);
          }
          shown = true;
          auto key = [&](WPARAM k) {
            PostMessageW(popup, WM_KEYDOWN, k, 1);
            PostMessageW(popup, WM_KEYUP, k, 0xC0000001);
          };
          if (c.downs < 0) {
            key(VK_ESCAPE);
          } else {
            for (int i = 0; i < c.downs; ++i) key(VK_DOWN);
            key(VK_RETURN);
          }
          return;
        }
        Sleep(25);
      }
    });
    // The pointer rested on a cut-off cell just before the menu opened: its
    // hover comes inside the menu's loop and must not put a tip over the menu.
    host.AppendRows(19, {L"1", Text(300, L'x'), L"", L"", L"", L""});
    PostMessageW(list, WM_MOUSEHOVER, 0, MAKELPARAM(CellPoint(host.RowCount(19) - 1, 1).x,
                                                    CellPoint(host.RowCount(19) - 1, 1).y));
    const int answer = host.ChooseFromMenu(19, 1, entries);
    person.join();
    EXPECT_FALSE(IsWindowVisible(host.CellTipHandle()));
    ASSERT_TRUE(shown);
    EXPECT_EQ(answer, c.answer) << c.downs;
    EXPECT_EQ(texts, entries);
    EXPECT_EQ(separators, (std::vector<bool>{false, false, true, false}));
    EXPECT_EQ(host.OpenMenu(), nullptr);
  }
}

// The tip shown over the list after the pointer rested at a point: its text,
// or "" when no tip shows.
Text TipAfterRest(Win32Window& host, HWND list, POINT at) {
  SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(list, WM_MOUSEHOVER, 0, MAKELPARAM(at.x, at.y));
  HWND tip = host.CellTipHandle();
  if (!IsWindowVisible(tip)) return {};
  wchar_t text[600] = {};
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = host.WindowHandle();
  tool.uId = 1;
  tool.lpszText = text;
  SendMessageW(tip, TTM_GETTEXTW, 600, reinterpret_cast<LPARAM>(&tool));
  return text;
}

TEST_F(ResultListRows, ACutOffCellShowsItsWholeTextAsATipAndAWholeCellNone) {
  const Text longPath = L"C:\\Users\\Public\\Pictures\\Archive 2019\\Summer holidays\\IMG_20190811_143210.JPG";
  host.SetPlace(19, {0, 0, 560, 300});
  host.AppendRows(19, {L"1", longPath, L"12 KB", L"d41d8cd98f00b204e9800998ecf8427e", L"", L"0a1b2c3d",
                       L"1234567890123456789012345678", L"C:\\a.txt", L"1 B", L"", L"", L"9f8e7d6c"});
  struct Case {
    const char* what;
    int row, column;
    Text tip;
  } cases[] = {
      {"a long path", 0, 1, longPath},
      {"a short size", 0, 2, L""},
      {"a long digest", 0, 3, L"d41d8cd98f00b204e9800998ecf8427e"},
      {"an empty cell", 0, 4, L""},
      {"a cell half out of view", 0, 5, L"0a1b2c3d"},
      {"a long group text", 1, 0, L"1234567890123456789012345678"},
      {"a short path", 1, 1, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(TipAfterRest(host, list, CellPoint(c.row, c.column)), c.tip);
  }
  // Moving on takes the tip away; leaving the list too.
  EXPECT_FALSE(TipAfterRest(host, list, CellPoint(0, 1)).empty());
  const POINT other = CellPoint(1, 1);
  SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(other.x, other.y));
  EXPECT_FALSE(IsWindowVisible(host.CellTipHandle()));
  EXPECT_FALSE(TipAfterRest(host, list, CellPoint(0, 1)).empty());
  SendMessageW(list, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(host.CellTipHandle()));
}

// A cell's tip goes where the screen holds it whole, and never under the
// resting pointer: a tip there would take the click meant for the row and,
// with the next move of the pointer, go (to come back at the next rest). The
// cases: a long path near the screen's right edge, a path wider than the
// screen, and the lowest row with its foot at the screen's foot, where "just
// below the cell" is off the screen.
TEST_F(ResultListRows, ACellsTipLiesOnTheScreenAndNeverUnderThePointer) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  Text longPath = L"C:\\Archive";
  while (static_cast<int>(longPath.size()) < 120) longPath += L"\\Folder" + DecimalText(static_cast<int>(longPath.size()));
  Text widerThanTheScreen = L"\\\\?\\D:\\Backup";
  while (static_cast<int>(widerThanTheScreen.size()) < 560)
    widerThanTheScreen += L"\\Folder_" + DecimalText(static_cast<int>(widerThanTheScreen.size()));
  host.AppendRows(19, {L"1", longPath, L"", L"", L"", L"", L"1", widerThanTheScreen, L"", L"", L"", L""});
  RECT frame{};
  GetWindowRect(host.WindowHandle(), &frame);
  const int frameWidth = frame.right - frame.left;
  const struct {
    const char* what;
    int x, y;  // where the window's frame goes; y -1: the row's foot 3 px above the screen's
    int row;
  } cases[] = {
      {"a long path, the window at the screen's right edge", screenWidth - frameWidth, 0, 0},
      {"a path wider than the screen", 0, 0, 1},
      {"the row at the screen's foot, a tip of one line", 0, -1, 0},
      {"the row at the screen's foot, a tip of two lines", 0, -1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int y = c.y;
    if (y < 0) {
      SetWindowPos(host.WindowHandle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      RECT bounds{};
      bounds.left = LVIR_BOUNDS;
      SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(c.row), reinterpret_cast<LPARAM>(&bounds));
      POINT foot{0, bounds.bottom};
      ClientToScreen(list, &foot);
      y = screenHeight - 3 - foot.y;
    }
    SetWindowPos(host.WindowHandle(), nullptr, c.x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    host.PumpPending();
    SendMessageW(list, WM_MOUSELEAVE, 0, 0);
    const POINT at = CellPoint(c.row, 1);
    POINT pointer = at;
    ClientToScreen(list, &pointer);
    ASSERT_LT(pointer.y, screenHeight);
    ASSERT_FALSE(TipAfterRest(host, list, at).empty());
    RECT place{};
    GetWindowRect(host.CellTipHandle(), &place);
    EXPECT_GE(place.left, -1);  // the tip's shadow edge may reach a pixel past the screen
    EXPECT_GE(place.top, 0);
    EXPECT_LE(place.right, screenWidth);
    EXPECT_LE(place.bottom, screenHeight);
    EXPECT_FALSE(PtInRect(&place, pointer)) << "the tip (" << place.left << "," << place.top << " - " << place.right
                                            << "," << place.bottom << ") lies under the pointer at " << pointer.x
                                            << "," << pointer.y;
    // The row under the pointer still takes the click.
    EXPECT_EQ(WindowFromPoint(pointer), list);
  }
}

TEST_F(WindowLayer, AnEntryWiderThanTheSearchListShowsItsWholeTextAsATip) {
  host.CreateControl(7, ControlKind::ListBox, {10, 10, 220, 76}, L"");
  host.ShowAndActivate();
  const Text wide = L"D:\\Backup\\Photos from the old laptop\\2015\\Family\\";
  host.AppendRow(7, L"C:\\Data\\");
  host.AppendRow(7, wide);
  HWND box = host.ControlHandle(7);
  auto middle = [&](int row) {
    RECT item{};
    SendMessageW(box, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  };
  EXPECT_EQ(TipAfterRest(host, box, middle(0)), L"");
  EXPECT_EQ(TipAfterRest(host, box, middle(1)), wide);
  EXPECT_EQ(TipAfterRest(host, box, {20, 70}), L"");  // below the entries
}

// An entry's tip goes with the entry: Remove (pressed from the keyboard, the
// pointer still resting on the list) takes the entry away, and a tip left
// showing would name a folder no longer searched. The result list's removal
// does take its tip away; the search list's must too.
TEST_F(WindowLayer, AnEntrysTipGoesWhenTheEntryIsRemoved) {
  host.CreateControl(7, ControlKind::ListBox, {10, 10, 220, 76}, L"");
  host.ShowAndActivate();
  const Text wide = L"D:\\Backup\\Photos from the old laptop\\2015\\Family\\";
  HWND box = host.ControlHandle(7);
  auto middle = [&](int row) {
    RECT item{};
    SendMessageW(box, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  };
  for (const char* how : {"RemoveRow", "ClearRows"}) {
    SCOPED_TRACE(how);
    host.ClearRows(7);
    host.AppendRow(7, L"C:\\Data\\");
    host.AppendRow(7, wide);
    SendMessageW(box, WM_MOUSELEAVE, 0, 0);
    ASSERT_EQ(TipAfterRest(host, box, middle(1)), wide);
    if (how[0] == 'R')
      host.RemoveRow(7, 1);
    else
      host.ClearRows(7);
    host.PumpPending();
    EXPECT_FALSE(IsWindowVisible(host.CellTipHandle())) << "the tip of a removed entry still shows";
  }
}

// A right click on a column header is no click on a row: the header's menu
// request reaches the list (as DefWindowProc passes it to the parent), and the
// list must not take it for a row's, open the row menu on the row lying under
// the header, and make that row the one selected row in place of the user's.
TEST_F(ResultListRows, ARightClickOnAColumnHeaderOpensNoRowMenuAndKeepsTheSelection) {
  Fill(6);
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  host.SetRowState(19, 4, kRowHighlighted);
  Focus(4);
  SetFocus(list);  // the list in use, as after a click on a row
  host.PumpPending();
  for (int column : {0, 1, 5}) {
    SCOPED_TRACE(column);
    events.rows.clear();
    RECT item{};
    SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(header, WM_RBUTTONDOWN, MK_RBUTTON, at);
    SendMessageW(header, WM_RBUTTONUP, 0, at);
    host.PumpPending();
    EXPECT_TRUE(events.rows.empty()) << "a row menu was asked for row " << (events.rows.empty() ? -1 : events.rows[0].row);
    EXPECT_EQ(Selected(), (std::vector<int>{4}));
    EXPECT_EQ(host.FocusedRow(19), 4);
  }
}

TEST_F(WindowLayer, FilesDroppedOnTheWindowReachTheProgramInOrder) {
  EXPECT_NE(GetWindowLongW(host.WindowHandle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
  const std::vector<Text> paths = {L"C:\\Users\\Public\\Music\\", L"D:\\Fotos\\M\u00fcnchen 2019",
                                   L"\\\\server\\share\\file.txt"};
  HGLOBAL memory = testing::MakeDrop(paths);
  ASSERT_NE(memory, nullptr);
  SendMessageW(host.WindowHandle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  EXPECT_EQ(events.drops, (std::vector<std::vector<Text>>{paths}));
}

TEST_F(WindowLayer, TheClipboardTakesATextAndMissingFilesAreNotOpened) {
  const Text path = L"C:\\Users\\Public\\M\u00fcnchen\\IMG_0001.JPG";
  host.CopyToClipboard(path);
  ASSERT_TRUE(OpenClipboard(host.WindowHandle()));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(Text(static_cast<const wchar_t*>(GlobalLock(data))), path);
  GlobalUnlock(data);
  CloseClipboard();

  EXPECT_FALSE(host.OpenFile(L"C:\\no such folder here\\no such file.txt"));
  EXPECT_FALSE(host.RevealFile(L"C:\\no such folder here\\no such file.txt"));
  EXPECT_FALSE(host.OpenFile(L""));
}

// A folder whose name ends in "." is reached only in the "\\?\" form: in
// the usual form Windows trims the dot and reaches the folder beside it. The
// file is gone, so Reveal would fall back to showing its folder; that folder
// cannot be shown as named, and the folder beside it must not be shown instead.
TEST_F(WindowLayer, RevealRefusesAFolderThatWindowsWouldReachByAnotherName) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const Text base = Text(temp) + L"vantrel reveal " + DecimalText(static_cast<int>(GetCurrentProcessId()));
  const Text dotted = base + L"\\photos.";
  const Text plain = base + L"\\photos";
  for (const Text& folder : {base, dotted, plain}) ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
  EXPECT_FALSE(host.RevealFile(dotted + L"\\gone.jpg"));
  for (const Text& folder : {plain, dotted, base}) RemoveDirectoryW((L"\\\\?\\" + folder).c_str());
}

TEST_F(WindowLayer, RemovingRowsOfTheSearchListKeepsTheTopEntryTheCaretAndTheSelection) {
  host.CreateControl(7, ControlKind::ListBox, {10, 10, 300, 76}, L"");
  HWND box = host.ControlHandle(7);
  for (int row = 0; row < 60; ++row) host.AppendRow(7, L"e" + DecimalText(row));
  for (int row : {20, 30, 31}) host.SetRowState(7, row, kRowHighlighted);
  SendMessageW(box, LB_SETCARETINDEX, 30, FALSE);
  SendMessageW(box, LB_SETTOPINDEX, 24, 0);
  // Every third entry goes: 0, 3, ..., 57.
  std::vector<int> gone;
  for (int row = 0; row < 60; row += 3) gone.push_back(row);
  host.RemoveRows(7, gone);
  ASSERT_EQ(host.RowCount(7), 40);
  EXPECT_EQ(host.RowText(7, 0, 0), L"e1");
  EXPECT_EQ(SendMessageW(box, LB_GETTOPINDEX, 0, 0), RowTable::NumberAfterRemoval(24, gone));  // e25, now 16
  EXPECT_EQ(host.RowText(7, 16, 0), L"e25");
  EXPECT_EQ(host.FocusedRow(7), RowTable::NumberAfterRemoval(30, gone));  // e30 went: e31 takes its place
  std::vector<Text> selected;
  for (int row = 0; row < 40; ++row)
    if (host.RowState(7, row) & kRowHighlighted) selected.push_back(host.RowText(7, row, 0));
  EXPECT_EQ(selected, (std::vector<Text>{L"e20", L"e31"}));
}

TEST_F(WindowLayer, ACallAControlsKindDoesNotTakeIsReportedAndDoesNothing) {
  host.CreateControl(7, ControlKind::ListBox, {10, 10, 200, 76}, L"");
  host.CreateControl(12, ControlKind::CheckBox, {10, 100, 200, 20}, L"box");
  host.AppendRow(7, L"C:\\");
  wrongKinds.clear();
  host.SetChecked(7, true);      // a list box has no check
  host.SetText(7, L"changed");   // nor a text
  host.AppendRow(12, L"row");    // a check box has no rows
  host.AppendRows(7, {L"1", L"2", L"3", L"4", L"5", L"6"});
  const auto reported = wrongKinds;
  wrongKinds.clear();  // asked for here: not a fault of this binary
  EXPECT_EQ(reported, (std::vector<std::pair<int, ControlOperation>>{{7, ControlOperation::Check},
                                                                       {7, ControlOperation::WriteText},
                                                                       {12, ControlOperation::AppendRow},
                                                                       {7, ControlOperation::AppendRows}}));
  EXPECT_EQ(host.RowCount(7), 1);
  EXPECT_EQ(host.RowText(7, 0, 0), L"C:\\");
  wchar_t caption[20] = {};
  GetWindowTextW(host.ControlHandle(12), caption, 20);
  EXPECT_EQ(Text(caption), L"box");
  EXPECT_EQ(SendMessageW(host.ControlHandle(12), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

}  // namespace
}  // namespace vantrel

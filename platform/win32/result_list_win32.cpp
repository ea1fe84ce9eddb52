// The rows of the list box and of the result list, and what a person does to
// a row of the result list.
//
// The result list view owns no data (LVS_OWNERDATA): its texts and check marks
// come from a RowTable through LVN_GETDISPINFO. A list view that owns no data
// keeps no check marks, so a click on a row's check box is handled here, on
// the table. The selection is the list view's own (it draws it and the user
// changes it), and the table's highlight bits hold a copy of it.
//
// The selection commands go over every row, and under Wine each message to the
// list view costs a tenth of a millisecond. So the copy is read once, after
// the user or the list view may have changed the selection (a message per
// selected row), and every row's state is then answered from the table. A
// change the program makes is made to the table and handed to the list view
// once, after the command, as a change of check marks redraws the list once;
// any input to the list hands it over first, so the user always acts on the
// selection the program left. (Wine sends no notice for a Shift+click range
// of an owner-data list, so the copy is not kept by notices alone.)

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "platform/win32/window_win32.hpp"

namespace vantrel {

namespace {

// The row the list view has focused; -1 when none.
int FocusedOf(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

// Ctrl, Shift or Alt held down with the key being handled.
bool AnyModifierHeld() {
  for (int key : {VK_CONTROL, VK_SHIFT, VK_MENU})
    if (GetKeyState(key) < 0) return true;
  return false;
}

// A menu request that came from the list's column header: by the header's
// own window (it passes WM_CONTEXTMENU on to the list), or at a point on it.
bool FromHeader(HWND list, WPARAM wParam, LPARAM lParam) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  if (header == nullptr) return false;
  if (reinterpret_cast<HWND>(wParam) == header) return true;
  if (lParam == -1 || !IsWindowVisible(header)) return false;
  RECT place{};
  GetWindowRect(header, &place);
  const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  return PtInRect(&place, at) != FALSE;
}

void SetItemState(HWND list, int row, UINT mask, UINT state) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

Win32Window::Control* Win32Window::FindFor(int gadget, ControlOperation operation) {
  Control* control = Find(gadget);
  if (control == nullptr || !CheckControlKind(gadget, control->kind, operation)) return nullptr;
  return control;
}

void Win32Window::KnowSelection(Control& list) {
  // A change the program made and the list view has yet to take comes first.
  if (list.selectionToPush) PushSelection(list);
  if (list.selectionKnown) return;
  RowTable& rows = *list.rows;
  const int count = rows.Count();
  const int selected = count == 0 ? 0 : static_cast<int>(SendMessageW(list.hwnd, LVM_GETSELECTEDCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    const int state = rows.State(row);
    const bool highlighted = selected == count;
    if (((state & kRowHighlighted) != 0) != highlighted)
      rows.SetState(row, highlighted ? state | kRowHighlighted : state & ~kRowHighlighted);
  }
  if (selected > 0 && selected < count) {
    for (int row = static_cast<int>(SendMessageW(list.hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
         row >= 0 && row < count;
         row = static_cast<int>(SendMessageW(list.hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)))
      rows.SetState(row, rows.State(row) | kRowHighlighted);
  }
  list.selectionKnown = true;
}

void Win32Window::PushSelection(Control& list) {
  if (!list.selectionToPush) return;
  list.selectionToPush = false;
  // The list view's notices of these changes are the program's own.
  pushingSelection_ = true;
  SetItemState(list.hwnd, -1, LVIS_SELECTED, 0);
  const int count = list.rows->Count();
  for (int row = 0; row < count; ++row)
    if (list.rows->State(row) & kRowHighlighted) SetItemState(list.hwnd, row, LVIS_SELECTED, LVIS_SELECTED);
  pushingSelection_ = false;
  list.selectionKnown = true;
}

void Win32Window::SyncRowsLater(Control& list, int gadget) {
  if (list.syncPosted) return;
  list.syncPosted = PostMessageW(window_, kSyncRows, static_cast<WPARAM>(gadget), 0) != FALSE;
  if (!list.syncPosted) {
    PushSelection(list);
    InvalidateRect(list.hwnd, nullptr, FALSE);
  }
}

int Win32Window::RowCount(int gadget) {
  Control* control = FindFor(gadget, ControlOperation::Rows);
  if (control == nullptr) return 0;
  if (control->rows) return control->rows->Count();
  return std::max(0, static_cast<int>(SendMessageW(control->hwnd, LB_GETCOUNT, 0, 0)));
}

Text Win32Window::RowText(int gadget, int row, int column) {
  Control* control = FindFor(gadget, ControlOperation::Rows);
  if (control == nullptr) return {};
  if (control->rows) return Text(control->rows->Cell(row, column));
  auto length = static_cast<int>(SendMessageW(control->hwnd, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0));
  if (length <= 0) return {};
  Text text(static_cast<std::size_t>(length) + 1, L'\0');
  length = static_cast<int>(SendMessageW(control->hwnd, LB_GETTEXT, static_cast<WPARAM>(row),
                                         reinterpret_cast<LPARAM>(text.data())));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

int Win32Window::RowState(int gadget, int row) {
  Control* control = FindFor(gadget, ControlOperation::Rows);
  if (control == nullptr || row < 0 || row >= RowCount(gadget)) return 0;
  if (control->rows) {
    KnowSelection(*control);
    return control->rows->State(row);
  }
  return SendMessageW(control->hwnd, LB_GETSEL, static_cast<WPARAM>(row), 0) > 0 ? kRowHighlighted : 0;
}

void Win32Window::SetRowState(int gadget, int row, int state) {
  Control* control = FindFor(gadget, ControlOperation::Rows);
  if (control == nullptr || row < 0 || row >= RowCount(gadget)) return;
  if (!control->rows) {
    SendMessageW(control->hwnd, LB_SETSEL, (state & kRowHighlighted) ? TRUE : FALSE, static_cast<LPARAM>(row));
    return;
  }
  KnowSelection(*control);
  const int changed = control->rows->SetState(row, state);
  if (changed & kRowHighlighted) control->selectionToPush = true;
  if (changed != 0) SyncRowsLater(*control, gadget);
}

void Win32Window::AppendRow(int gadget, const Text& text) {
  Control* control = FindFor(gadget, ControlOperation::AppendRow);
  if (control == nullptr) return;
  SendMessageW(control->hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32Window::AppendRows(int gadget, const std::vector<Text>& cells) {
  Control* control = FindFor(gadget, ControlOperation::AppendRows);
  if (control == nullptr) return;
  // New rows come unselected, as the list view adds them.
  control->rows->Append(cells);
  SendMessageW(control->hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(control->rows->Count()),
               LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void Win32Window::RemoveRow(int gadget, int row) { RemoveRows(gadget, {row}); }

void Win32Window::RemoveRows(int gadget, const std::vector<int>& rows) {
  Control* control = FindFor(gadget, ControlOperation::Rows);
  if (control == nullptr || rows.empty()) return;
  // A tip left showing would name a row no longer there.
  HideCellTip(*control);
  HWND list = control->hwnd;
  // What the user sees, by row: the row at the top, the focused row and the
  // selected rows. The list controls keep them by number, so they are set
  // again for the rows' new numbers once the rows have closed up.
  if (!control->rows) {
    const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    const int caret = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));
    // The list box moves each entry's selection with it.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(*it), 0);
    const int left = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    if (left > 0) {
      if (caret >= 0)
        SendMessageW(list, LB_SETCARETINDEX,
                     static_cast<WPARAM>(std::min(RowTable::NumberAfterRemoval(caret, rows), left - 1)), FALSE);
      SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(std::min(RowTable::NumberAfterRemoval(top, rows), left - 1)),
                   0);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return;
  }
  const int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
  const int focused = FocusedOf(list);
  // The selection moves with its rows in the table's bits.
  KnowSelection(*control);
  control->rows->Remove(rows);
  const int left = control->rows->Count();
  SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(left), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  control->selectionToPush = true;
  PushSelection(*control);
  pushingSelection_ = true;
  SetItemState(list, -1, LVIS_FOCUSED, 0);
  if (left > 0 && focused >= 0) {
    const int now = std::min(RowTable::NumberAfterRemoval(focused, rows), left - 1);
    SetItemState(list, now, LVIS_FOCUSED, LVIS_FOCUSED);
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(now));
  }
  pushingSelection_ = false;
  if (left > 0 && top >= 0) {
    const int wanted = std::min(RowTable::NumberAfterRemoval(top, rows), left - 1);
    const int shown = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    RECT from{LVIR_BOUNDS, 0, 0, 0};
    RECT to{LVIR_BOUNDS, 0, 0, 0};
    if (shown != wanted &&
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(shown), reinterpret_cast<LPARAM>(&from)) &&
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(wanted), reinterpret_cast<LPARAM>(&to)))
      SendMessageW(list, LVM_SCROLL, 0, to.top - from.top);
  }
  InvalidateRect(list, nullptr, FALSE);
}

void Win32Window::ClearRows(int gadget) {
  Control* control = FindFor(gadget, ControlOperation::Rows);
  if (control == nullptr) return;
  HideCellTip(*control);
  if (control->rows) {
    control->rows->Clear();
    control->selectionToPush = false;
    SendMessageW(control->hwnd, LVM_DELETEALLITEMS, 0, 0);
    control->selectionKnown = false;
  } else {
    SendMessageW(control->hwnd, LB_RESETCONTENT, 0, 0);
  }
}

int Win32Window::FocusedRow(int gadget) {
  Control* control = FindFor(gadget, ControlOperation::Rows);
  if (control == nullptr) return -1;
  if (!control->rows) {
    if (SendMessageW(control->hwnd, LB_GETCOUNT, 0, 0) <= 0) return -1;
    return static_cast<int>(SendMessageW(control->hwnd, LB_GETCARETINDEX, 0, 0));
  }
  const int row = FocusedOf(control->hwnd);
  return row < control->rows->Count() ? row : -1;
}

// --- What a person does to the rows ------------------------------------------------

void Win32Window::ToggleCheck(Control& list, int gadget, int row) {
  const int state = list.rows->State(row);
  list.rows->SetState(row, state ^ kRowChecked);
  SyncRowsLater(list, gadget);
  Report(gadget);
}

void Win32Window::ReportRow(int gadget, RowAction action, int row) {
  if (events_ != nullptr) events_->OnRowAction(gadget, action, row);
}

void Win32Window::HandleContextMenu(Control& list, int gadget, LPARAM lParam) {
  const int count = list.rows->Count();
  int row = -1;
  menuPoint_.reset();
  if (lParam == -1) {
    // From the keyboard (the menu key, Shift+F10): the focused row.
    row = FocusedOf(list.hwnd);
    if (row < 0 || row >= count) return;
    SendMessageW(list.hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  } else {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    POINT inList = at;
    ScreenToClient(list.hwnd, &inList);
    LVHITTESTINFO hit{};
    hit.pt = inList;
    row = static_cast<int>(SendMessageW(list.hwnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || row >= count) return;
    menuPoint_ = at;
  }
  // As a list does: the row asked about becomes the focused one and, unless
  // it is selected already, the one selected row.
  KnowSelection(list);
  pushingSelection_ = true;
  if (!(list.rows->State(row) & kRowHighlighted)) {
    SetItemState(list.hwnd, -1, LVIS_SELECTED, 0);
    SetItemState(list.hwnd, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  } else {
    SetItemState(list.hwnd, row, LVIS_FOCUSED, LVIS_FOCUSED);
  }
  SendMessageW(list.hwnd, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(row));
  pushingSelection_ = false;
  list.selectionKnown = false;
  ReportRow(gadget, RowAction::Menu, row);
  menuPoint_.reset();
}

bool Win32Window::HandleResultListInput(Control& list, int gadget, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      LVHITTESTINFO hit{};
      hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      auto row = static_cast<int>(SendMessageW(list.hwnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
      if (row < 0 || row >= list.rows->Count() || hit.iSubItem != 0 || (hit.flags & LVHT_ONITEMSTATEICON) == 0)
        return false;
      // A click on a check box flips that row alone.
      SetFocus(list.hwnd);
      ToggleCheck(list, gadget, row);
      return true;
    }
    case WM_KEYDOWN: {
      if (wParam != VK_SPACE && wParam != VK_RETURN) return false;
      // Ctrl+Space and Shift+Space are the list view's own: they change the
      // selection. The program decides what the plain space bar marks; Return opens.
      if (wParam == VK_SPACE && AnyModifierHeld()) return false;
      const int row = FocusedOf(list.hwnd);
      if (row >= 0 && row < list.rows->Count())
        ReportRow(gadget, wParam == VK_SPACE ? RowAction::ToggleCheck : RowAction::Open, row);
      return true;
    }
    case WM_CHAR:
      // No search for a row starting with a blank, and no beep for Return.
      // (The list view changes the selection for Ctrl+Space and Shift+Space on
      // WM_KEYDOWN, so the blank is the search's alone.)
      return wParam == L' ' || wParam == L'\r';
    default:
      return false;
  }
}

LRESULT CALLBACK Win32Window::ResultListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
  auto* window = reinterpret_cast<Win32Window*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, ResultListProc, 1);
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  int gadget = 0;
  Control* list = window->FindByWindow(hwnd, &gadget);
  if (list == nullptr || !list->rows) return DefSubclassProc(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_GETDLGCODE: {
      // Return belongs to the list (it opens the focused row), not to the
      // window's default button.
      const auto* asked = reinterpret_cast<const MSG*>(lParam);
      LRESULT code = DefSubclassProc(hwnd, message, wParam, lParam);
      if (asked != nullptr && asked->message == WM_KEYDOWN && asked->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_CONTEXTMENU:
      window->HideCellTip(*list);
      // A column header has no row menu, and the selection stays the user's.
      if (FromHeader(hwnd, wParam, lParam)) return 0;
      window->PushSelection(*list);
      window->HandleContextMenu(*list, gadget, lParam);
      return 0;
    case WM_MOUSEHOVER:
      window->TipHover(*list, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return DefSubclassProc(hwnd, message, wParam, lParam);
    case WM_MOUSEMOVE:
      window->TipMove(*list, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return DefSubclassProc(hwnd, message, wParam, lParam);
    case WM_MOUSELEAVE:
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
    case WM_HSCROLL:
      window->HideCellTip(*list);
      return DefSubclassProc(hwnd, message, wParam, lParam);
    default:
      break;
  }
  const bool input = (message >= WM_LBUTTONDOWN && message <= WM_MOUSELAST && message != WM_MOUSEWHEEL) ||
                     (message >= WM_KEYFIRST && message <= WM_KEYLAST);
  if (!input) return DefSubclassProc(hwnd, message, wParam, lParam);
  // The user acts on the selection the program left, and may change it.
  window->PushSelection(*list);
  window->HideCellTip(*list);
  list->selectionKnown = false;
  if (window->HandleResultListInput(*list, gadget, message, wParam, lParam)) return 0;
  LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
  // The list may be gone (a command the input ran ended the window).
  if (Control* still = window->FindByWindow(hwnd, &gadget)) still->selectionKnown = false;
  return result;
}

}  // namespace vantrel

// The rows of the list box and of the result list.
//
// The result list view owns no data (LVS_OWNERDATA): its texts and check marks
// come from ResultRows through LVN_GETDISPINFO, and only the selection is kept
// by the list view itself. A list view that owns no data does not keep check
// marks either, so a click on a row's check box and the space bar are handled
// here, on the rows.
//
// The selection commands go over every row, and under Wine each message to the
// list view costs a tenth of a millisecond. So the rows are read and marked
// without messages where that is safe: the number of selected rows is kept
// until the user or the list changes the selection (when none is selected, no
// row needs asking), and a change of check marks redraws the list once, after
// the command.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "platform/win32/result_rows_win32.hpp"
#include "platform/win32/window_win32.hpp"

namespace vantrel {


int Win32Window::RowCount(int gadget) {
  Control* control = Find(gadget);
  if (control == nullptr) return 0;
  if (control->rows) return control->rows->Count();
  if (control->kind == ControlKind::ListBox) {
    return std::max(0, static_cast<int>(SendMessageW(control->hwnd, LB_GETCOUNT, 0, 0)));
  }
  return 0;
}

Text Win32Window::RowText(int gadget, int row, int column) {
  Control* control = Find(gadget);
  if (control == nullptr) return {};
  if (control->rows) return control->rows->Cell(row, column);
  if (control->kind != ControlKind::ListBox) return {};
  auto length = static_cast<int>(SendMessageW(control->hwnd, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0));
  if (length <= 0) return {};
  Text text(static_cast<std::size_t>(length) + 1, L'\0');
  length = static_cast<int>(SendMessageW(control->hwnd, LB_GETTEXT, static_cast<WPARAM>(row),
                                         reinterpret_cast<LPARAM>(text.data())));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

bool Win32Window::IsSelected(Control& list, int row) {
  if (list.selectedCount < 0) list.selectedCount = static_cast<int>(SendMessageW(list.hwnd, LVM_GETSELECTEDCOUNT, 0, 0));
  if (list.selectedCount == 0) return false;
  return SendMessageW(list.hwnd, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0;
}

void Win32Window::RedrawRowsLater(Control& list, int gadget) {
  if (list.redrawPosted) return;
  list.redrawPosted = PostMessageW(window_, kRedrawRows, static_cast<WPARAM>(gadget), 0) != FALSE;
  if (!list.redrawPosted) InvalidateRect(list.hwnd, nullptr, FALSE);
}

int Win32Window::RowState(int gadget, int row) {
  Control* control = Find(gadget);
  if (control == nullptr || row < 0 || row >= RowCount(gadget)) return 0;
  if (control->rows) {
    return (IsSelected(*control, row) ? kRowHighlighted : 0) | (control->rows->Checked(row) ? kRowChecked : 0);
  }
  return SendMessageW(control->hwnd, LB_GETSEL, static_cast<WPARAM>(row), 0) > 0 ? kRowHighlighted : 0;
}

void Win32Window::SetRowState(int gadget, int row, int state) {
  Control* control = Find(gadget);
  if (control == nullptr || row < 0 || row >= RowCount(gadget)) return;
  bool highlighted = (state & kRowHighlighted) != 0;
  if (!control->rows) {
    SendMessageW(control->hwnd, LB_SETSEL, highlighted ? TRUE : FALSE, static_cast<LPARAM>(row));
    return;
  }
  // Only what changes is set.
  if (IsSelected(*control, row) != highlighted) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = highlighted ? LVIS_SELECTED : 0;
    SendMessageW(control->hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    control->selectedCount = -1;
  }
  bool checked = (state & kRowChecked) != 0;
  if (control->rows->Checked(row) != checked) {
    control->rows->SetChecked(row, checked);
    RedrawRowsLater(*control, gadget);
  }
}

void Win32Window::AppendRow(int gadget, const Text& text) {
  Control* control = Find(gadget);
  if (control == nullptr) return;
  if (control->rows) {
    std::vector<Text> cells(ResultRows::kColumns);
    cells[0] = text;
    AppendRows(gadget, cells);
    return;
  }
  SendMessageW(control->hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32Window::AppendRows(int gadget, const std::vector<Text>& cells) {
  Control* control = Find(gadget);
  if (control == nullptr || !control->rows) return;
  control->rows->Append(cells);
  control->selectedCount = -1;
  SendMessageW(control->hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(control->rows->Count()),
               LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void Win32Window::RemoveRow(int gadget, int row) {
  Control* control = Find(gadget);
  if (control == nullptr || row < 0 || row >= RowCount(gadget)) return;
  if (control->rows) {
    control->rows->Remove(row);
    SendMessageW(control->hwnd, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    control->selectedCount = -1;
  } else {
    SendMessageW(control->hwnd, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
  }
}

void Win32Window::RemoveRows(int gadget, const std::vector<int>& rows) {
  Control* control = Find(gadget);
  if (control == nullptr || !control->rows) {
    WindowHost::RemoveRows(gadget, rows);
    return;
  }
  if (rows.empty()) return;
  HWND list = control->hwnd;
  auto nextSelected = [list](int after) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
  };
  // What the user sees, by row: the row at the top, the focused row and the
  // selected rows. The list view keeps them by number, so they are set again
  // for the rows' new numbers once the rows have closed up.
  const int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
  const int focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  std::vector<int> selected;
  for (int row = nextSelected(-1); row >= 0; row = nextSelected(row)) selected.push_back(row);
  // A row's number once the rows before it are gone; a removed row's number
  // is that of the row which takes its place.
  auto newNumber = [&rows](int row) {
    return row - static_cast<int>(std::lower_bound(rows.begin(), rows.end(), row) - rows.begin());
  };
  auto removed = [&rows](int row) { return std::binary_search(rows.begin(), rows.end(), row); };

  // From the last to the first: the rows only mark the removals, and close
  // up once.
  const int before = control->rows->Count();
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    if (*it >= 0 && *it < before) control->rows->Remove(*it);
  const int left = control->rows->Count();
  SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(left), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  item.stateMask = item.state = LVIS_SELECTED;
  for (int row : selected)
    if (!removed(row)) SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(newNumber(row)), reinterpret_cast<LPARAM>(&item));
  if (left > 0 && focused >= 0) {
    item.stateMask = item.state = LVIS_FOCUSED;
    const int now = std::min(newNumber(focused), left - 1);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(now), reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(now));
  }
  if (left > 0 && top >= 0) {
    const int wanted = std::min(newNumber(top), left - 1);
    const int shown = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    RECT from{LVIR_BOUNDS, 0, 0, 0};
    RECT to{LVIR_BOUNDS, 0, 0, 0};
    if (shown != wanted && SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(shown), reinterpret_cast<LPARAM>(&from)) &&
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(wanted), reinterpret_cast<LPARAM>(&to)))
      SendMessageW(list, LVM_SCROLL, 0, to.top - from.top);
  }
  control->selectedCount = -1;
  InvalidateRect(list, nullptr, FALSE);
}

void Win32Window::ClearRows(int gadget) {
  Control* control = Find(gadget);
  if (control == nullptr) return;
  if (control->rows) {
    control->rows->Clear();
    SendMessageW(control->hwnd, LVM_DELETEALLITEMS, 0, 0);
    control->selectedCount = -1;
  } else if (control->kind == ControlKind::ListBox) {
    SendMessageW(control->hwnd, LB_RESETCONTENT, 0, 0);
  }
}

// --- Check marks by mouse and keyboard -------------------------------------------

void Win32Window::ToggleChecks(Control& list, int gadget, int row, bool withSelection) {
  bool checked = !list.rows->Checked(row);
  list.rows->SetChecked(row, checked);
  RedrawRowsLater(list, gadget);
  if (withSelection && IsSelected(list, row)) {
    auto next = [&](int after) {
      return static_cast<int>(SendMessageW(list.hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
    };
    for (int other = next(-1); other >= 0; other = next(other)) {
      list.rows->SetChecked(other, checked);
    }
  }
  Report(gadget);
}

bool Win32Window::HandleResultListInput(Control& list, UINT message, WPARAM wParam, LPARAM lParam) {
  int gadget = 0;
  if (FindByWindow(list.hwnd, &gadget) == nullptr) return false;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      LVHITTESTINFO hit{};
      hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      auto row = static_cast<int>(SendMessageW(list.hwnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
      if (row < 0 || hit.iSubItem != 0 || (hit.flags & LVHT_ONITEMSTATEICON) == 0) return false;
      SetFocus(list.hwnd);
      ToggleChecks(list, gadget, row, false);
      return true;
    }
    case WM_KEYDOWN:
      if (wParam != VK_SPACE) return false;
      {
        auto row = static_cast<int>(SendMessageW(list.hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        // Like a list that keeps its own check marks: the space bar on a
        // selected row marks every selected row alike.
        if (row >= 0) ToggleChecks(list, gadget, row, true);
      }
      return true;
    case WM_CHAR:
      return wParam == L' ';  // no search for a row starting with a blank
    default:
      return false;
  }
}

LRESULT CALLBACK Win32Window::ResultListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
  auto* window = reinterpret_cast<Win32Window*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, ResultListProc, 1);
  } else if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
             (message >= WM_KEYFIRST && message <= WM_KEYLAST)) {
    int gadget = 0;
    Control* list = window->FindByWindow(hwnd, &gadget);
    if (list != nullptr && list->rows) {
      // The user may change the selection from here on.
      list->selectedCount = -1;
      if (window->HandleResultListInput(*list, message, wParam, lParam)) return 0;
    }
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace vantrel

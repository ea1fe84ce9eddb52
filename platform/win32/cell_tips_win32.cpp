// Tips that show a list's cut-off cell whole: in the result list any column,
// in the search list any entry wider than the box. A cell shown whole gets no
// tip.
//
// The list view's own label tips cover its first column only, so the window
// keeps one tracking tooltip of its own. The pointer resting on a cell
// (WM_MOUSEHOVER, armed with TrackMouseEvent on every move) measures the cell:
// when its text is wider than the part of the cell the list shows, the tip is
// put just below the cell with the whole text (above it when the work area
// ends below, and never over the cell, where the pointer rests). Moving to another cell, onto
// the tip, leaving the list, a click or a key takes it away; no tip shows
// while a menu is open. While it shows, the controls' own
// tips are held back, so the search list's tip and an entry's never overlap.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "platform/win32/window_win32.hpp"

namespace vantrel {

namespace {

// What the list controls leave around a cell's text when they draw it.
constexpr int kListViewTextPadding = 12;
constexpr int kListBoxTextPadding = 3;

struct Cell {
  int row = -1;
  int column = -1;
};

Cell CellAt(HWND list, bool resultList, POINT point) {
  if (resultList) {
    LVHITTESTINFO hit{};
    hit.pt = point;
    int row = static_cast<int>(SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || (hit.flags & LVHT_ONITEM) == 0) return {};
    return {row, hit.iSubItem};
  }
  LRESULT found = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
  if (HIWORD(found) != 0) return {};  // below the last entry
  return {static_cast<int>(LOWORD(found)), 0};
}

}  // namespace

void Win32Window::TipMove(Control& list, POINT point) {
  const Cell cell = CellAt(list.hwnd, list.rows != nullptr, point);
  if (cell.row != list.tipRow || cell.column != list.tipColumn) {
    HideCellTip(list);
    list.tipRow = cell.row;
    list.tipColumn = cell.column;
  }
  if (list.tipShown) return;
  // Hover fires once the pointer rests; each move starts the wait again.
  TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, list.hwnd, HOVER_DEFAULT};
  TrackMouseEvent(&track);
}

void Win32Window::TipHover(Control& list, POINT point) {
  // A hover armed before a menu opened may fire inside the menu's loop.
  if (cellTip_ == nullptr || openMenu_ != nullptr) return;
  const bool resultList = list.rows != nullptr;
  const Cell cell = CellAt(list.hwnd, resultList, point);
  list.tipRow = cell.row;
  list.tipColumn = cell.column;
  if (cell.row < 0 || list.tipShown) return;

  RECT client{};
  GetClientRect(list.hwnd, &client);
  RECT place{};
  Text text;
  int needed = 0;
  if (resultList) {
    if (cell.row >= list.rows->Count()) return;
    text = Text(list.rows->Cell(cell.row, cell.column));
    place.top = cell.column;
    place.left = cell.column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    if (!SendMessageW(list.hwnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(cell.row), reinterpret_cast<LPARAM>(&place)))
      return;
    needed = static_cast<int>(SendMessageW(list.hwnd, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str()))) +
             kListViewTextPadding;
  } else {
    text = RowText(gadgetOf_[list.hwnd], cell.row, 0);
    if (SendMessageW(list.hwnd, LB_GETITEMRECT, static_cast<WPARAM>(cell.row), reinterpret_cast<LPARAM>(&place)) ==
        LB_ERR)
      return;
    needed = MeasureText(text).width + kListBoxTextPadding;
  }
  // What the list shows of the cell: a cell half scrolled out of view is cut too.
  const int shown = std::min(place.right, client.right) - std::max(place.left, client.left);
  if (text.empty() || needed <= shown) return;

  cellTipText_ = text;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window_;
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(cellTipText_.c_str());
  // The cell's text in screen coordinates, and the work area of its monitor.
  RECT textPlace{place.left + (resultList ? kListViewTextPadding / 2 : 1), place.top, place.right, place.bottom};
  MapWindowPoints(list.hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&textPlace), 2);
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (GetMonitorInfoW(MonitorFromPoint({textPlace.left, textPlace.top}, MONITOR_DEFAULTTONEAREST), &monitor))
    work = monitor.rcWork;
  // The tip's size, measured as the tooltip lays its text out (in the same
  // font): a text wider than the work area wraps there, the tip's edges included.
  RECT edges{0, 0, 0, 0};
  SendMessageW(cellTip_, TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&edges));
  const LONG widest = std::max(1L, work.right - work.left - (edges.right - edges.left) - 2);
  SendMessageW(cellTip_, TTM_SETMAXTIPWIDTH, 0, widest);
  SendMessageW(cellTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  RECT size{0, 0, widest, 0};
  DrawTextW(measuring_, cellTipText_.c_str(), -1, &size,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXTERNALLEADING);
  SendMessageW(cellTip_, TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&size));
  const LONG width = size.right - size.left;
  const LONG height = size.bottom - size.top;
  // The tip's text in line with the cell's, moved left as far as the work
  // area needs.
  SendMessageW(cellTip_, TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&textPlace));
  const LONG left = std::max(work.left + 1, std::min(textPlace.left, work.right - 1 - width));
  // Just below the cell, or just above it when below leaves the work area;
  // never over the cell: the pointer rests there, and a tip under it would
  // take its clicks and moves. Where neither side holds it, the side with
  // more room, kept on the work area.
  RECT onScreen{place.left, place.top, place.right, place.bottom};
  MapWindowPoints(list.hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&onScreen), 2);
  const LONG below = onScreen.bottom + 1;
  const LONG above = onScreen.top - 1 - height;
  LONG top = below;
  if (below + height > work.bottom) {
    if (above >= work.top)
      top = above;
    else if (onScreen.top - work.top > work.bottom - onScreen.bottom)
      top = work.top;
    else
      top = std::max(work.top, work.bottom - height);
  }
  SendMessageW(cellTip_, TTM_TRACKPOSITION, 0, MAKELPARAM(left, top));
  if (toolTips_ != nullptr) SendMessageW(toolTips_, TTM_ACTIVATE, FALSE, 0);
  SendMessageW(cellTip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  list.tipShown = true;
}

void Win32Window::HideCellTip(Control& list) {
  list.tipRow = -1;
  list.tipColumn = -1;
  if (!list.tipShown) return;
  list.tipShown = false;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window_;
  tool.uId = 1;
  if (cellTip_ != nullptr) SendMessageW(cellTip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
  if (toolTips_ != nullptr) SendMessageW(toolTips_, TTM_ACTIVATE, TRUE, 0);
}

void Win32Window::HideCellTips() {
  for (auto& entry : controls_)
    if (entry.second.tipShown) HideCellTip(entry.second);
}

LRESULT CALLBACK Win32Window::CellTipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, CellTipProc, 1);
  } else if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
    // The pointer came onto the tip: it has left the cell.
    reinterpret_cast<Win32Window*>(self)->HideCellTips();
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Win32Window::SearchListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
  auto* window = reinterpret_cast<Win32Window*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, SearchListProc, 1);
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  int gadget = 0;
  Control* list = window->FindByWindow(hwnd, &gadget);
  if (list != nullptr) {
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (message == WM_MOUSEMOVE) {
      window->TipMove(*list, at);
    } else if (message == WM_MOUSEHOVER) {
      window->TipHover(*list, at);
    } else if (message == WM_MOUSELEAVE || message == WM_MOUSEWHEEL || message == WM_VSCROLL ||
               (message > WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
               (message >= WM_KEYFIRST && message <= WM_KEYLAST)) {
      window->HideCellTip(*list);
    }
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace vantrel

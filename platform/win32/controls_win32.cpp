// The controls of the window: each kind made of one or two common controls,
// placed, enabled, checked and written by gadget number.
//
// A panel is a tab control whose pages are child windows of it; the page of the
// tab added last is the container of the controls created next, so their
// places are relative to the page. A spin field is an edit field with an
// up-down control beside it; a press of an arrow writes the field's text as
// ui/spin_rules says, and any other text typed into the field stays there for
// the program to read. Every call on a control asks ui/control_kinds first
// whether the control's kind takes it.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "platform/win32/window_win32.hpp"
#include "ui/spin_rules.hpp"

namespace vantrel {

namespace {

constexpr wchar_t kPageClass[] = L"VantrelPage";
// The texts of a result row: columns 0 to 5, as AppendRows takes them.
constexpr int kResultCells = 6;

RECT PlaceIn(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

Text WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  Text text(static_cast<std::size_t>(length) + 1, L'\0');
  length = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

}  // namespace

Win32Window::Control* Win32Window::Find(int gadget) {
  auto found = controls_.find(gadget);
  return found == controls_.end() ? nullptr : &found->second;
}

const Win32Window::Control* Win32Window::Find(int gadget) const {
  auto found = controls_.find(gadget);
  return found == controls_.end() ? nullptr : &found->second;
}

Win32Window::Control* Win32Window::FindByWindow(HWND hwnd, int* gadget) {
  auto found = gadgetOf_.find(hwnd);
  if (found == gadgetOf_.end()) return nullptr;
  *gadget = found->second;
  return Find(found->second);
}

HWND Win32Window::CurrentContainer() const { return container_ != nullptr ? container_ : window_; }

HWND Win32Window::ControlHandle(int gadget) const {
  const Control* control = Find(gadget);
  return control != nullptr ? control->hwnd : nullptr;
}

HWND Win32Window::PageHandle(int panel, int tab) const {
  const Control* control = Find(panel);
  if (control == nullptr || tab < 0 || tab >= static_cast<int>(control->pages.size())) return nullptr;
  return control->pages[static_cast<std::size_t>(tab)];
}

void Win32Window::CreateControl(int gadget, ControlKind kind, Rect place, const Text& text) {
  if (window_ == nullptr || controls_.count(gadget) != 0) return;
  HWND parent = CurrentContainer();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto make = [&](DWORD exStyle, const wchar_t* windowClass, DWORD style, Rect at) {
    HWND hwnd = CreateWindowExW(exStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, at.x, at.y,
                                at.w, at.h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(gadget)),
                                instance, nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return hwnd;
  };

  Control control;
  control.kind = kind;
  switch (kind) {
    case ControlKind::Frame:
      control.hwnd = make(0, WC_BUTTONW, BS_GROUPBOX | WS_CLIPSIBLINGS, place);
      break;
    case ControlKind::Label:
      control.hwnd = make(0, WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOPREFIX, place);
      break;
    case ControlKind::TextField:
      control.hwnd = make(WS_EX_CLIENTEDGE, WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, place);
      SendMessageW(control.hwnd, EM_SETLIMITTEXT, 0, 0);  // no limit on what the user types or pastes
      break;
    case ControlKind::Button:
      control.hwnd = make(0, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, place);
      break;
    case ControlKind::CheckBox:
      control.hwnd = make(0, WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, place);
      break;
    case ControlKind::ListBox:
      control.hwnd = make(WS_EX_CLIENTEDGE, WC_LISTBOXW,
                          LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, place);
      SetWindowSubclass(control.hwnd, SearchListProc, 1, reinterpret_cast<DWORD_PTR>(this));
      break;
    case ControlKind::Panel:
      control.hwnd = make(WS_EX_CONTROLPARENT, WC_TABCONTROLW, WS_CLIPCHILDREN | WS_TABSTOP, place);
      break;
    case ControlKind::SpinField: {
      int arrowsWidth = place.h / 2;
      control.hwnd = make(WS_EX_CLIENTEDGE, WC_EDITW, ES_RIGHT | ES_AUTOHSCROLL | WS_TABSTOP,
                          {place.x, place.y, place.w - arrowsWidth, place.h});
      // The arrows do not write the field themselves (UDS_SETBUDDYINT): each
      // step is the program's rule, written in UDN_DELTAPOS.
      control.arrows = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                       WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                                       place.x + place.w - arrowsWidth, place.y, arrowsWidth, place.h, parent,
                                       nullptr, instance, nullptr);
      SendMessageW(control.arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(control.hwnd), 0);
      SendMessageW(control.arrows, UDM_SETRANGE32, static_cast<WPARAM>(kSpinSmallest),
                   static_cast<LPARAM>(kSpinLargest));
      SendMessageW(control.arrows, UDM_SETPOS32, 0, static_cast<LPARAM>(SpinValueOfText(text)));
      if (text.empty()) SetWindowTextW(control.hwnd, SpinText(0).c_str());
      // Wine's up-down takes its default width when it gets a buddy.
      SetWindowPos(control.arrows, nullptr, place.x + place.w - arrowsWidth, place.y, arrowsWidth, place.h,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case ControlKind::ResultList:
      control.hwnd = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW,
                          LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA | WS_TABSTOP, place);
      SendMessageW(control.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
      // The check marks live in the rows; the list view asks for them.
      SendMessageW(control.hwnd, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
      SetWindowSubclass(control.hwnd, ResultListProc, 1, reinterpret_cast<DWORD_PTR>(this));
      control.rows = std::make_unique<RowTable>(kResultCells);
      break;
    case ControlKind::ProgressBar:
      control.hwnd = make(0, PROGRESS_CLASSW, 0, place);
      SendMessageW(control.hwnd, PBM_SETRANGE32, 0, 100);
      SendMessageW(control.hwnd, PBM_SETPOS, 0, 0);
      break;
  }
  if (control.hwnd == nullptr) return;
  // Z-order, top to bottom: the other controls in the order they were made
  // (the order Tab follows), then the frames, a later one above an earlier
  // one. A group box fills its inside and would hide what lies on it.
  HWND& lastControl = lastControlIn_[parent];
  HWND after = lastControl != nullptr ? lastControl : HWND_TOP;
  constexpr UINT zOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(control.hwnd, after, 0, 0, 0, 0, zOnly);
  if (kind != ControlKind::Frame) {
    lastControl = control.hwnd;
    if (control.arrows != nullptr) {
      SetWindowPos(control.arrows, control.hwnd, 0, 0, 0, 0, zOnly);
      lastControl = control.arrows;
    }
  }
  gadgetOf_[control.hwnd] = gadget;
  if (control.arrows != nullptr) gadgetOf_[control.arrows] = gadget;
  controls_[gadget] = std::move(control);
}

LRESULT CALLBACK Win32Window::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  // A page's controls report to the page; their events are the window's.
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr) {
    if (message == WM_COMMAND && self->HandleCommand(wParam, lParam)) return 0;
    if (message == WM_NOTIFY) {
      LRESULT result = 0;
      if (self->HandleNotify(reinterpret_cast<const NMHDR*>(lParam), &result)) return result;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32Window::AddTab(int panel, const Text& title) {
  Control* control = FindFor(panel, ControlOperation::Tabs);
  if (control == nullptr) return;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW pageClass{};
  if (!GetClassInfoExW(instance, kPageClass, &pageClass)) {
    pageClass = {};
    pageClass.cbSize = sizeof(pageClass);
    pageClass.lpfnWndProc = PageProc;
    pageClass.hInstance = instance;
    pageClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    pageClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    pageClass.lpszClassName = kPageClass;
    RegisterClassExW(&pageClass);
  }
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(title.c_str());
  auto index = static_cast<int>(control->pages.size());
  SendMessageW(control->hwnd, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, nullptr, WS_CHILD | WS_CLIPSIBLINGS,
                              0, 0, 0, 0, control->hwnd, nullptr, instance, this);
  control->pages.push_back(page);
  PlacePages(*control);
  ShowSelectedPage(*control);
  container_ = page;
}

void Win32Window::EndTabs(int panel) {
  if (FindFor(panel, ControlOperation::Tabs) != nullptr) container_ = nullptr;
}

void Win32Window::PlacePages(Control& panel) {
  RECT area{};
  GetClientRect(panel.hwnd, &area);
  SendMessageW(panel.hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (HWND page : panel.pages) {
    SetWindowPos(page, nullptr, area.left, area.top, std::max(0L, area.right - area.left),
                 std::max(0L, area.bottom - area.top), SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32Window::ShowSelectedPage(Control& panel) {
  // A cell's tip goes with its list when the panel turns to another page.
  HideCellTips();
  auto selected = static_cast<int>(SendMessageW(panel.hwnd, TCM_GETCURSEL, 0, 0));
  for (std::size_t i = 0; i < panel.pages.size(); ++i) {
    ShowWindow(panel.pages[i], static_cast<int>(i) == selected ? SW_SHOW : SW_HIDE);
  }
}

void Win32Window::SelectTab(int panel, int tab) {
  Control* control = FindFor(panel, ControlOperation::Tabs);
  if (control == nullptr) return;
  SendMessageW(control->hwnd, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
  ShowSelectedPage(*control);
}

void Win32Window::AddColumn(int gadget, const Text& title, int width) {
  Control* control = FindFor(gadget, ControlOperation::Columns);
  if (control == nullptr) return;
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = const_cast<wchar_t*>(title.c_str());
  column.iSubItem = control->columns;
  SendMessageW(control->hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(control->columns),
               reinterpret_cast<LPARAM>(&column));
  ++control->columns;
}

void Win32Window::SetToolTip(int gadget, const Text& text) {
  Control* control = Find(gadget);
  if (control == nullptr || toolTips_ == nullptr) return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(control->hwnd);
  tool.uId = reinterpret_cast<UINT_PTR>(control->hwnd);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(toolTips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

Extent Win32Window::MeasureText(const Text& text) {
  if (text.empty() || measuring_ == nullptr) return {};
  SIZE size{};
  GetTextExtentPoint32W(measuring_, text.c_str(), static_cast<int>(text.size()), &size);
  return {size.cx, size.cy};
}

Rect Win32Window::PlaceOf(int gadget) {
  Control* control = Find(gadget);
  if (control == nullptr) return {};
  RECT rect = PlaceIn(control->hwnd);
  if (control->arrows != nullptr) rect.right = PlaceIn(control->arrows).right;
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void Win32Window::SetPlace(int gadget, Rect place) {
  Control* control = Find(gadget);
  if (control == nullptr) return;
  constexpr UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (control->arrows != nullptr) {
    int arrowsWidth = place.h / 2;
    SetWindowPos(control->hwnd, nullptr, place.x, place.y, place.w - arrowsWidth, place.h, flags);
    SetWindowPos(control->arrows, nullptr, place.x + place.w - arrowsWidth, place.y, arrowsWidth, place.h, flags);
    return;
  }
  SetWindowPos(control->hwnd, nullptr, place.x, place.y, place.w, place.h, flags);
  if (control->kind == ControlKind::Panel) PlacePages(*control);
}

void Win32Window::SetEnabled(int gadget, bool enabled) {
  Control* control = Find(gadget);
  if (control == nullptr) return;
  EnableWindow(control->hwnd, enabled ? TRUE : FALSE);
  if (control->arrows != nullptr) EnableWindow(control->arrows, enabled ? TRUE : FALSE);
  // A disabled panel takes its pages' controls with it.
  for (HWND page : control->pages) EnableWindow(page, enabled ? TRUE : FALSE);
}

bool Win32Window::IsChecked(int gadget) {
  Control* control = FindFor(gadget, ControlOperation::Check);
  return control != nullptr && SendMessageW(control->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Window::SetChecked(int gadget, bool checked) {
  if (Control* control = FindFor(gadget, ControlOperation::Check)) {
    SendMessageW(control->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

Text Win32Window::TextOf(int gadget) {
  Control* control = FindFor(gadget, ControlOperation::ReadText);
  return control != nullptr ? WindowText(control->hwnd) : Text();
}

void Win32Window::SetText(int gadget, const Text& text) {
  if (Control* control = FindFor(gadget, ControlOperation::WriteText)) SetWindowTextW(control->hwnd, text.c_str());
}

void Win32Window::SetValue(int gadget, std::int64_t value) {
  Control* control = FindFor(gadget, ControlOperation::Value);
  if (control == nullptr) return;
  if (control->kind == ControlKind::ProgressBar) {
    SendMessageW(control->hwnd, PBM_SETPOS, static_cast<WPARAM>(std::clamp<std::int64_t>(value, 0, 100)), 0);
  } else {
    SendMessageW(control->arrows, UDM_SETPOS32, 0, static_cast<LPARAM>(ClampSpinValue(value)));
    const Text shown = SpinText(value);
    if (WindowText(control->hwnd) != shown) SetWindowTextW(control->hwnd, shown.c_str());
  }
}

void Win32Window::SetBusy(int gadget, bool busy) {
  Control* control = FindFor(gadget, ControlOperation::Busy);
  if (control == nullptr) return;
  // A marquee bar moves on its own and shows no position; the style decides
  // the mode and PBM_SETMARQUEE starts or stops the motion.
  const LONG_PTR style = GetWindowLongPtrW(control->hwnd, GWL_STYLE);
  SetWindowLongPtrW(control->hwnd, GWL_STYLE, busy ? (style | PBS_MARQUEE) : (style & ~LONG_PTR{PBS_MARQUEE}));
  SendMessageW(control->hwnd, PBM_SETMARQUEE, busy ? TRUE : FALSE, 0);
}

// --- What the controls report ---------------------------------------------------

bool Win32Window::HandleCommand(WPARAM wParam, LPARAM lParam) {
  int gadget = 0;
  Control* control = FindByWindow(reinterpret_cast<HWND>(lParam), &gadget);
  if (control == nullptr) return false;
  WORD code = HIWORD(wParam);
  switch (control->kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
      if (code == BN_CLICKED) Report(gadget);
      break;
    case ControlKind::TextField:
    case ControlKind::SpinField:
      if (code == EN_CHANGE) Report(gadget);
      break;
    case ControlKind::ListBox:
      if (code == LBN_SELCHANGE || code == LBN_DBLCLK) Report(gadget);
      break;
    default:
      break;
  }
  return true;
}

bool Win32Window::HandleNotify(const NMHDR* header, LRESULT* result) {
  int gadget = 0;
  Control* control = FindByWindow(header->hwndFrom, &gadget);
  if (control == nullptr) return false;
  if (control->kind == ControlKind::Panel) {
    if (header->code == TCN_SELCHANGE) {
      ShowSelectedPage(*control);
      Report(gadget);
    }
    *result = 0;
    return true;
  }
  if (control->kind == ControlKind::SpinField) {
    // The step is the program's rule (it stops at the ends of the range,
    // where Wine's up-down would wrap); the arrows take the value and the
    // field its text, whose EN_CHANGE reports the step.
    *result = 0;
    if (header->code == UDN_DELTAPOS) {
      const auto* step = reinterpret_cast<const NMUPDOWN*>(header);
      const std::int64_t next = SpinStep(WindowText(control->hwnd), step->iPos, step->iDelta);
      SendMessageW(control->arrows, UDM_SETPOS32, 0, static_cast<LPARAM>(next));
      const Text shown = SpinText(next);
      if (WindowText(control->hwnd) != shown) SetWindowTextW(control->hwnd, shown.c_str());
      *result = 1;  // the up-down's own change is not made
    }
    return true;
  }
  if (control->kind == ControlKind::ResultList) {
    switch (header->code) {
      case LVN_GETDISPINFOW: {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header))->item;
        if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
          // The cells hold no terminator: the list view's buffer gets a copy.
          const TextView cell = control->rows->Cell(item.iItem, item.iSubItem);
          const std::size_t length = std::min(cell.size(), static_cast<std::size_t>(item.cchTextMax - 1));
          std::copy_n(cell.data(), length, item.pszText);
          item.pszText[length] = L'\0';
        }
        if (item.mask & LVIF_STATE) {
          const bool checked = (control->rows->State(item.iItem) & kRowChecked) != 0;
          item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
          item.stateMask |= LVIS_STATEIMAGEMASK;
        }
        break;
      }
      case LVN_ITEMCHANGED:
      case LVN_ODSTATECHANGED:
        if (!pushingSelection_) control->selectionKnown = false;
        break;
      case NM_CLICK:
        Report(gadget);
        break;
      case NM_DBLCLK: {
        // A double-click on a row opens it (one on its check box never gets here).
        const int row = reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem;
        control->selectionKnown = false;
        Report(gadget);
        if (row >= 0 && row < control->rows->Count()) ReportRow(gadget, RowAction::Open, row);
        break;
      }
      default:
        break;
    }
    *result = 0;
    return true;
  }
  return false;
}

}  // namespace vantrel

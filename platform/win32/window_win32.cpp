// The main window, its message loop and what the worker posts to it.
//
// The worker never touches a window: PostToWindowThread queues its task under a
// mutex and posts kRunTasks to the main window, whose procedure runs every
// queued task in order on the window's thread. One message stands for all the
// tasks queued until it is handled, so a burst of tasks costs one wake-up.
// Modal boxes run their own message loop, which dispatches kRunTasks as well.

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/win32/window_win32.hpp"

namespace vantrel {

namespace {

constexpr wchar_t kWindowClass[] = L"VantrelWindow";

}  // namespace

Win32Window::Win32Window() {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                                    ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
}

Win32Window::~Win32Window() {
  if (toolTips_ != nullptr) DestroyWindow(toolTips_);
  if (cellTip_ != nullptr) DestroyWindow(cellTip_);
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (measuring_ != nullptr) {
    SelectObject(measuring_, measuringOld_);
    SelectObject(measuring_, measuringOldBitmap_);
    DeleteObject(measuringBitmap_);
    DeleteDC(measuring_);
  }
  if (font_ != nullptr) DeleteObject(font_);
}

bool Win32Window::OpenWindow(const Text& title, int width, int height, bool sizable) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  if (!GetClassInfoExW(instance, kWindowClass, &windowClass)) {
    windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass)) return false;
  }

  // No WS_CLIPCHILDREN: group boxes do not paint their inside, so the window
  // paints it, as it does in a dialog.
  style_ = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  if (sizable) style_ |= WS_THICKFRAME | WS_MAXIMIZEBOX;
  exStyle_ = WS_EX_CONTROLPARENT;
  Extent outer = OuterSize({width, height});
  Extent screen = ScreenSize();
  outer.width = std::min(outer.width, screen.width);
  outer.height = std::min(outer.height, screen.height);
  window_ = CreateWindowExW(exStyle_, kWindowClass, title.c_str(), style_, (screen.width - outer.width) / 2,
                            (screen.height - outer.height) / 2, outer.width, outer.height, nullptr, nullptr,
                            instance, this);
  if (window_ == nullptr) return false;
  // Opened is shown, in the normal state; its first size event goes to no one
  // yet, and the program lays its controls out for the size it reads.
  ShowWindow(window_, SW_SHOWNORMAL);

  // The UI font: Verdana, 8 points at the screen's vertical resolution.
  HDC screenDc = GetDC(nullptr);
  int pixelsPerInch = GetDeviceCaps(screenDc, LOGPIXELSY);
  font_ = CreateFontW(-MulDiv(8, pixelsPerInch, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                      L"Verdana");
  // Text is measured off screen in that font.
  measuring_ = CreateCompatibleDC(screenDc);
  measuringBitmap_ = CreateCompatibleBitmap(screenDc, 800, 600);
  measuringOldBitmap_ = SelectObject(measuring_, measuringBitmap_);
  measuringOld_ = SelectObject(measuring_, font_);
  ReleaseDC(nullptr, screenDc);

  toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                              instance, nullptr);
  SendMessageW(toolTips_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  // The tip of a cell a list shows cut off (see cell_tips_win32.cpp), placed
  // and shown by the window.
  cellTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance,
                             nullptr);
  SendMessageW(cellTip_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageW(cellTip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
  TOOLINFOW cellTool{};
  cellTool.cbSize = sizeof(cellTool);
  cellTool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  cellTool.hwnd = window_;
  cellTool.uId = 1;
  cellTool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(cellTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&cellTool));
  SetWindowSubclass(cellTip_, CellTipProc, 1, reinterpret_cast<DWORD_PTR>(this));

  // Files and folders dropped anywhere on the window reach it.
  DragAcceptFiles(window_, TRUE);
  return true;
}

Extent Win32Window::OuterSize(Extent client) const {
  RECT rect{0, 0, client.width, client.height};
  AdjustWindowRectEx(&rect, style_, FALSE, exStyle_);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

void Win32Window::SetEventSink(WindowEvents* events) { events_ = events; }

Extent Win32Window::ClientSize() {
  RECT rect{};
  GetClientRect(window_, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

Extent Win32Window::ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void Win32Window::SetSizeLimits(Extent smallest, Extent largest) {
  smallest_ = smallest;
  largest_ = largest;
}

void Win32Window::ShowAndActivate() {
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
}

void Win32Window::SetAlwaysOnTop(bool onTop) {
  SetWindowPos(window_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Win32Window::SetWindowEnabled(bool enabled) { EnableWindow(window_, enabled ? TRUE : FALSE); }

void Win32Window::BringToFront() { SetForegroundWindow(window_); }

int Win32Window::RunEventLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move between controls as in a dialog.
    if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

void Win32Window::EndProgram() {
  if (endOverride_) {
    endOverride_();
    return;
  }
  std::fflush(nullptr);
  // Ends the worker with the process: nothing waits for it.
  ExitProcess(0);
}

void Win32Window::PostToWindowThread(std::function<void()> task) {
  std::lock_guard lock(tasksMutex_);
  tasks_.push_back(std::move(task));
  if (!wakePosted_ && window_ != nullptr && PostMessageW(window_, kRunTasks, 0, 0)) wakePosted_ = true;
}

void Win32Window::RunPostedTasks() {
  {
    std::lock_guard lock(tasksMutex_);
    wakePosted_ = false;
  }
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard lock(tasksMutex_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

bool Win32Window::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    PumpPending();
    if (done()) return true;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= static_cast<DWORD>(timeoutMs)) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(50, static_cast<DWORD>(timeoutMs) - elapsed),
                              QS_ALLINPUT);
  }
}

void Win32Window::PumpPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // Tasks queued while no message could be posted (or by this thread itself).
  bool waiting;
  {
    std::lock_guard lock(tasksMutex_);
    waiting = !tasks_.empty() && !wakePosted_;
  }
  if (waiting) RunPostedTasks();
}

void Win32Window::Report(int gadget) {
  if (events_ != nullptr) events_->OnControlEvent(gadget);
}

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<Win32Window*>(create->lpCreateParams)->window_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->HandleWindowMessage(message, wParam, lParam);
}

LRESULT Win32Window::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && events_ != nullptr) events_->OnSizeEvent();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (smallest_) {
        Extent outer = OuterSize(*smallest_);
        info->ptMinTrackSize = {outer.width, outer.height};
      }
      if (largest_) {
        Extent outer = OuterSize(*largest_);
        info->ptMaxTrackSize = {outer.width, outer.height};
      }
      return 0;
    }
    case WM_CLOSE:
      if (events_ != nullptr) events_->OnCloseRequest();
      else DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    case kRunTasks:
      RunPostedTasks();
      return 0;
    case kSyncRows:
      if (Control* list = Find(static_cast<int>(wParam)); list != nullptr && list->rows) {
        list->syncPosted = false;
        PushSelection(*list);
        InvalidateRect(list->hwnd, nullptr, FALSE);
      }
      return 0;
    case WM_DROPFILES:
      HandleDrop(reinterpret_cast<HANDLE>(wParam));
      return 0;
    case WM_COMMAND:
      if (HandleCommand(wParam, lParam)) return 0;
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (HandleNotify(reinterpret_cast<const NMHDR*>(lParam), &result)) return result;
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

// --- Boxes, the folder chooser and what the system says ------------------------

int Win32Window::ShowBox(BoxKind kind, const Text& title, const Text& text) {
  UINT type = kind == BoxKind::Error ? MB_OK | MB_ICONERROR : kind == BoxKind::Question ? MB_YESNO : MB_OK;
  // Owned by the window when it is in front; otherwise the box still keeps the
  // thread's windows disabled while it is open.
  HWND owner = GetForegroundWindow() == window_ ? window_ : nullptr;
  if (owner == nullptr) type |= MB_TASKMODAL;
  int answer = MessageBoxW(owner, text.c_str(), title.c_str(), type);
  if (answer == IDYES) return kAnswerYes;
  if (answer == IDNO || (answer == 0 && kind == BoxKind::Question)) return kAnswerNo;
  return kAnswerOk;
}

namespace {

int CALLBACK FolderChooserStarted(HWND chooser, UINT message, LPARAM, LPARAM startFolder) {
  if (message == BFFM_INITIALIZED && startFolder != 0) SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, startFolder);
  return 0;
}

}  // namespace

Text Win32Window::ShowFolderChooser(const Text& prompt, const Text& startFolder) {
  // The new dialog style needs OLE on this thread; initialising twice is harmless.
  OleInitialize(nullptr);
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = window_;
  info.pszDisplayName = displayName;
  info.lpszTitle = prompt.c_str();
  info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
  info.lpfn = FolderChooserStarted;
  info.lParam = startFolder.empty() ? 0 : reinterpret_cast<LPARAM>(startFolder.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (chosen == nullptr) return {};
  wchar_t path[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  return ok ? Text(path) : Text();
}

LANGID Win32Window::UserLanguageId() { return GetUserDefaultLangID(); }

Text Win32Window::UserLanguageName() {
  if (languageOverride_) return *languageOverride_;
  // The whole name: the program takes the part it looks at. (Asked for less,
  // Windows cuts the name but Wine gives nothing.)
  wchar_t name[256] = {};
  // Wine counts the terminating NUL in what it returns; the text ends there.
  if (VerLanguageNameW(UserLanguageId(), name, 256) == 0) return {};
  name[255] = L'\0';
  return Text(name);
}

Text Win32Window::WorkingDirectory() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  Text directory(size, L'\0');
  DWORD length = GetCurrentDirectoryW(size, directory.data());
  directory.resize(length < size ? length : 0);
  return directory;
}

}  // namespace vantrel

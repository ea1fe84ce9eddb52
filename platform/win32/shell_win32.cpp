// What the window hands to the desktop and takes from it: opening a file with
// its program, showing it in the file manager, the clipboard, the context
// menu, and files dropped onto the window.
//
// The paths come as the result list shows them, in the user's form. A path
// with a name Windows would trim (a trailing "." or " ") reaches the file
// only in its "\\?\" form, so such a path goes in that form alone.
// The shell's folder view is a COM object: the calls that reach it make sure
// COM is initialised on the window's thread, which is an apartment thread.

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/win32/path_win32.hpp"
#include "platform/win32/window_win32.hpp"

namespace vantrel {

namespace {

bool Exists(const Text& path) {
  const Text extended = ExtendedPathOf(path);
  return !extended.empty() && GetFileAttributesW(extended.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder part of a file's path, with its trailing backslash; "" for a bare name.
Text FolderOf(const Text& path) {
  const std::size_t last = path.find_last_of(L"\\/");
  return last == Text::npos ? Text() : path.substr(0, last + 1);
}

// Whether a name in the path ends in "." or " ": Windows trims it off such a
// name, and the path in its usual form reaches another file or none.
bool HasTrimmedName(const Text& path) {
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find_first_of(L"\\/", start);
    if (end == Text::npos) end = path.size();
    const std::size_t length = end - start;
    const bool dots = path.compare(start, length, L".") == 0 || path.compare(start, length, L"..") == 0;
    if (length > 0 && !dots && (path[end - 1] == L'.' || path[end - 1] == L' ')) return true;
    start = end + 1;
  }
  return false;
}

bool ShellOpen(const wchar_t* file, const wchar_t* parameters) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", file, parameters, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

// COM on this thread for the length of a call; harmless when it is on already.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

}  // namespace

bool Win32Window::OpenFile(const Text& path) {
  const Text plain = PlainPathOf(path);
  if (plain.empty() || !Exists(plain)) return false;
  // Handlers the shell starts may use COM before the call returns.
  ComScope com;
  // Windows trims a trailing "." or " " off a name, and would open another
  // file: a path with such a name goes in its "\\?\" form only.
  if (!HasTrimmedName(plain) && ShellOpen(plain.c_str(), nullptr)) return true;
  const Text extended = ExtendedPathOf(plain);
  return extended != plain && ShellOpen(extended.c_str(), nullptr);
}

bool Win32Window::RevealFile(const Text& path) {
  const Text plain = PlainPathOf(path);
  const Text folder = FolderOf(plain);
  if (folder.empty() || !Exists(folder)) return false;
  ComScope com;
  // As in OpenFile: a path with a name Windows would trim goes in its "\\?\"
  // form only; in its usual form the file manager would select another file.
  const bool trimmed = HasTrimmedName(plain);
  if (Exists(plain)) {
    const Text name = trimmed ? ExtendedPathOf(plain) : plain;
    PIDLIST_ABSOLUTE item = nullptr;
    if (!name.empty() && SUCCEEDED(SHParseDisplayName(name.c_str(), nullptr, &item, 0, nullptr)) && item != nullptr) {
      const HRESULT shown = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
      CoTaskMemFree(item);
      if (SUCCEEDED(shown)) return true;
    }
    // The file manager selects the file itself when told so.
    const Text select = L"/select,\"" + plain + L"\"";
    if (!trimmed && ShellOpen(L"explorer.exe", select.c_str())) return true;
  }
  // The file is gone, or nothing could select it: its folder at least, unless
  // the folder's own path would reach another folder (the caller tells the user).
  if (HasTrimmedName(folder)) return false;
  return ShellOpen(folder.c_str(), nullptr);
}

void Win32Window::CopyToClipboard(const Text& text) {
  // Another program may hold the clipboard for a moment.
  bool open = false;
  for (int attempt = 0; attempt < 10 && !open; ++attempt) {
    open = OpenClipboard(window_) != FALSE;
    if (!open) Sleep(10);
  }
  if (!open) return;
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory != nullptr) {
    if (void* at = GlobalLock(memory)) {
      CopyMemory(at, text.c_str(), bytes);
      GlobalUnlock(memory);
      // The clipboard owns the memory once it takes it.
      if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

int Win32Window::ShowMenu(int gadget, int row, const std::vector<Text>& entries) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return -1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].empty())
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(i + 1), entries[i].c_str());
  }
  POINT at{};
  if (menuPoint_) {
    at = *menuPoint_;
  } else {
    // Opened by key: beside the row, below the start of its text.
    Control* control = Find(gadget);
    RECT place{LVIR_LABEL, 0, 0, 0};
    if (control != nullptr && control->rows &&
        SendMessageW(control->hwnd, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&place))) {
      at = {place.left + 16, place.bottom};
      ClientToScreen(control->hwnd, &at);
    } else if (control != nullptr) {
      RECT whole{};
      GetWindowRect(control->hwnd, &whole);
      at = {whole.left, whole.top};
    } else {
      GetCursorPos(&at);
    }
  }
  // The window must be in front for the menu to close when the user clicks elsewhere.
  SetForegroundWindow(window_);
  openMenu_ = menu;
  const int chosen = static_cast<int>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_NONOTIFY, at.x, at.y,
                     0, window_, nullptr));
  openMenu_ = nullptr;
  DestroyMenu(menu);
  return chosen > 0 && chosen <= static_cast<int>(entries.size()) ? chosen - 1 : -1;
}

void Win32Window::HandleDrop(HANDLE handle) {
  auto drop = static_cast<HDROP>(handle);
  std::vector<Text> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0) continue;
    Text path(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT copied = DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(copied);
    paths.push_back(std::move(path));
  }
  DragFinish(drop);
  if (events_ != nullptr && !paths.empty()) events_->OnDrop(paths);
}

}  // namespace vantrel

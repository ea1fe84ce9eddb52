// Puts the Windows program's window into a state worth looking at, for the
// screenshots tests/win32/screenshots.sh takes under Xvfb:
//   screenshot_scenes [--german] [--results] [--small] READY_FILE
// --results runs a search over a small tree of copies first, so the Results
// tab shows groups; --small resizes the window to its smallest size. The
// window stays open while READY_FILE, made once the window has been drawn,
// exists; the scene ends when the file is removed.

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/window_win32.hpp"
#include "tests/support/temp_tree.hpp"
#include "ui/gadgets.hpp"
#include "ui/program.hpp"

using namespace vantrel;

int wmain(int argc, wchar_t** argv) {
  bool german = false, results = false, small = false;
  std::wstring ready;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--german") german = true;
    else if (arg == L"--results") results = true;
    else if (arg == L"--small") small = true;
    else ready = arg;
  }
  if (ready.empty()) return 2;

  testing::TempTree tree({{"Fotos/urlaub.jpg", std::string(48000, 'u')},
                          {"Fotos/kopie von urlaub.jpg", std::string(48000, 'u')},
                          {"Fotos/2023/urlaub (1).jpg", std::string(48000, 'u')},
                          {"Fotos/strand.png", std::string(2100000, 's')},
                          {"Fotos/Backup/strand.png", std::string(2100000, 's')},
                          {"Fotos/notizen.txt", "Einkaufsliste"},
                          {"Fotos/Backup/notizen.txt", "Einkaufsliste"},
                          {"Fotos/einzeln.txt", "nur einmal"}});
  Win32Window host;
  if (german) host.OverrideLanguageName(L"Deutsch (Deutschland)");
  Program program(host, SearchFlavour::Windows);
  if (!program.StartUp()) return 1;
  host.PumpPending();

  HWND window = host.WindowHandle();
  auto click = [&](int gadget) {
    SendMessageW(host.ControlHandle(gadget), BM_CLICK, 0, 0);
    host.PumpPending();
  };
  SetWindowTextW(host.ControlHandle(GadgetDirectoryInput), tree.PathOf("Fotos").c_str());
  click(GadgetAdd);
  click(GadgetSubdirs);
  click(GadgetSha1);
  if (results) {
    click(GadgetStart);
    host.PumpUntil([&] { return !program.Search().IsAlive() && IsWindowEnabled(host.ControlHandle(GadgetPanel)); },
                   60000);
    click(GadgetSelectAllButOne);
  }
  SetWindowTextW(host.ControlHandle(GadgetDirectoryInput), L"C:\\Users\\Public\\Pictures");
  if (small) {
    RECT outer{0, 0, 810, 645};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
  }
  host.PumpUntil([] { return false; }, 1500);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  host.PumpUntil([] { return false; }, 500);
  if (FILE* marker = _wfopen(ready.c_str(), L"w")) std::fclose(marker);
  host.PumpUntil([&] { return GetFileAttributesW(ready.c_str()) == INVALID_FILE_ATTRIBUTES; }, 120000);
  return 0;
}

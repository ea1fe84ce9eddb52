// The Windows program with 100,000 result rows: how long from the pass's last
// post until the rows are shown, and how long the window then takes to answer
// a click on a check box, a resize, a scroll to the end and the selection
// buttons. Run under Wine (under Xvfb the window is really drawn):
//   wine build/mingw/bench/result_list_bench_win32.exe [ROWS]
// Each figure includes drawing the window afterwards.

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "platform/win32/window_win32.hpp"
#include "ui/gadgets.hpp"
#include "ui/program.hpp"

using namespace vantrel;

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// Paints, now, everything the step left to be painted.
void DrawNow(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_ALLCHILDREN | RDW_UPDATENOW); }

Text Hex(unsigned value, std::size_t digits) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  Text text(digits, L'0');
  for (std::size_t i = digits; i-- > 0; value /= 16) text[i] = kDigits[value % 16];
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rows = argc > 1 ? _wtoi(argv[1]) : 100000;
  Win32Window host;
  Program program(host, SearchFlavour::Windows);
  if (!program.StartUp()) return 1;
  host.PumpPending();
  HWND window = host.WindowHandle();
  HWND list = host.ControlHandle(GadgetResults);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);

  // Groups of two, as a search over a large photo collection gives them.
  std::vector<Text> cells;
  cells.reserve(static_cast<std::size_t>(rows) * 6);
  for (int row = 0; row < rows; ++row) {
    unsigned group = static_cast<unsigned>(row / 2);
    cells.push_back(DecimalText(group + 1));
    cells.push_back(L"C:\\Users\\Public\\Pictures\\Archive " + DecimalText(group % 97) + L"\\IMG_" +
                    DecimalText(row) + L".JPG");
    cells.push_back(DecimalText(2000 + group % 5000) + L".00 KB");
    cells.push_back(Hex(group * 2654435761u, 8) + Hex(group, 8) + Hex(~group, 8) + Hex(group * 40503u, 8));
    cells.push_back(Text());
    cells.push_back(Text());
  }

  struct Figure {
    const char* what;
    double ms;
  };
  std::vector<Figure> figures;
  auto measure = [&](const char* what, const std::function<void()>& act) {
    auto start = std::chrono::steady_clock::now();
    act();
    host.PumpPending();
    DrawNow(window);
    figures.push_back({what, Milliseconds(start)});
  };

  // The pass ends on its worker: one post carries the rows, the panel and the tab.
  measure("rows shown after the pass's last post", [&] {
    std::thread worker([&] {
      program.PostToWindow([&] {
        program.SetProgress(0);
        program.InsertResultRows(cells);
        program.SetPanelEnabled(true);
        program.SelectPanelTab(kResultsTab);
      });
    });
    worker.join();
    host.PumpUntil([&] { return host.RowCount(GadgetResults) == rows; }, 60000);
  });

  measure("click on a row's check box", [&] {
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&bounds));
    for (int x = bounds.left; x < bounds.left + 40; ++x) {
      LVHITTESTINFO hit{};
      hit.pt = {x, (bounds.top + bounds.bottom) / 2};
      if (SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == 3 &&
          (hit.flags & LVHT_ONITEMSTATEICON) != 0) {
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x + 2, hit.pt.y));
        SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x + 2, hit.pt.y));
        break;
      }
    }
  });
  const bool clicked = (host.RowState(GadgetResults, 3) & kRowChecked) != 0;

  auto resize = [&](int width, int height) {
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
  };
  measure("resize to 810 x 645", [&] { resize(810, 645); });
  measure("resize to 972 x 700", [&] { resize(972, 700); });
  measure("scroll to the last row", [&] { SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows - 1), FALSE); });
  auto click = [&](int gadget) { SendMessageW(host.ControlHandle(gadget), BM_CLICK, 0, 0); };
  measure("Select all except one", [&] { click(GadgetSelectAllButOne); });
  measure("Select all", [&] { click(GadgetSelectAll); });
  measure("Reverse selection", [&] { click(GadgetReverseSelection); });
  // 1,000 rows selected by the user, the space bar on one of them: the
  // program reads the selection and marks each.
  LVITEMW selected{};
  selected.stateMask = selected.state = LVIS_SELECTED;
  for (int row = 1000; row < 2000 && row < rows; ++row)
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&selected));
  LVITEMW focused{};
  focused.stateMask = focused.state = LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, 1500, reinterpret_cast<LPARAM>(&focused));
  measure("space bar on 1,000 selected rows", [&] {
    SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(list, WM_KEYUP, VK_SPACE, 0);
  });
  const bool spaced = rows < 2000 || (host.RowState(GadgetResults, 1999) & kRowChecked) != 0;
  host.QueueAnswer(kAnswerYes);
  measure("Clear list", [&] { click(GadgetClearList); });

  std::printf("%d result rows, client area 972 x 700\n", rows);
  for (const Figure& f : figures) std::printf("  %-40s %9.1f ms\n", f.what, f.ms);
  double answered = figures[0].ms + figures[1].ms + figures[2].ms;
  std::printf("  %-40s %9.1f ms\n", "shown, then a click and a resize", answered);
  if (!clicked) std::printf("  (the click did not reach the check box)\n");
  if (!spaced) std::printf("  (the space bar did not mark the selected rows)\n");
  return clicked && spaced && host.RowCount(GadgetResults) == 0 ? 0 : 1;
}

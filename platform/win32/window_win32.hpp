#pragma once
// The program's window on raw Win32: one top-level window, its controls, the
// tooltips, the boxes and the folder chooser. Every operation is one or two
// Win32 calls; what to do and when is the program's business.
//
// Controls are addressed by their gadget number, which is also their control
// id. A tab control's pages are child windows of the tab control, so a control
// created on a page is placed relative to that page and moves with the panel.
// The result list owns no data: it is an LVS_OWNERDATA list view that reads
// its rows and check marks from a RowTable, so 100,000 rows cost one call.

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <deque>
#include <optional>
#include <vector>

#include "ui/control_kinds.hpp"
#include "ui/row_table.hpp"
#include "ui/window_host.hpp"

namespace vantrel {

class Win32Window final : public WindowHost {
 public:
  Win32Window();
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  bool OpenWindow(const Text& title, int width, int height, bool sizable) override;
  void SetEventSink(WindowEvents* events) override;
  Extent ClientSize() override;
  Extent ScreenSize() override;
  void SetSizeLimits(Extent smallest, Extent largest) override;
  void ShowAndActivate() override;
  void SetAlwaysOnTop(bool onTop) override;
  void SetWindowEnabled(bool enabled) override;
  void BringToFront() override;
  int RunEventLoop() override;
  void EndProgram() override;
  void PostToWindowThread(std::function<void()> task) override;

  void CreateControl(int gadget, ControlKind kind, Rect place, const Text& text) override;
  void AddTab(int panel, const Text& title) override;
  void EndTabs(int panel) override;
  void AddColumn(int gadget, const Text& title, int width) override;
  void SetToolTip(int gadget, const Text& text) override;
  Extent MeasureText(const Text& text) override;

  Rect PlaceOf(int gadget) override;
  void SetPlace(int gadget, Rect place) override;
  void SetEnabled(int gadget, bool enabled) override;
  bool IsChecked(int gadget) override;
  void SetChecked(int gadget, bool checked) override;
  Text TextOf(int gadget) override;
  void SetText(int gadget, const Text& text) override;
  void SetValue(int gadget, std::int64_t value) override;
  void SetBusy(int gadget, bool busy) override;
  void SelectTab(int panel, int tab) override;

  int RowCount(int gadget) override;
  Text RowText(int gadget, int row, int column) override;
  int RowState(int gadget, int row) override;
  void SetRowState(int gadget, int row, int state) override;
  void AppendRow(int gadget, const Text& text) override;
  void AppendRows(int gadget, const std::vector<Text>& cells) override;
  void RemoveRow(int gadget, int row) override;
  void RemoveRows(int gadget, const std::vector<int>& rows) override;
  void ClearRows(int gadget) override;
  int FocusedRow(int gadget) override;

  Text UserLanguageName() override;
  Text WorkingDirectory() override;
  bool OpenFile(const Text& path) override;
  bool RevealFile(const Text& path) override;
  void CopyToClipboard(const Text& text) override;

  // --- Seams for tests and benchmarks -----------------------------------------
  // Makes UserLanguageName give name instead of asking the system (a German
  // Windows says "Deutsch (Deutschland)"; Wine names every language in English).
  void OverrideLanguageName(const Text& name) { languageOverride_ = name; }
  // The user's default language identifier, as UserLanguageName asks for it.
  static LANGID UserLanguageId();
  // Makes EndProgram call end instead of ending the process.
  void OverrideEnd(std::function<void()> end) { endOverride_ = std::move(end); }
  HWND WindowHandle() const { return window_; }
  // The control's window (a spin field's text field); nullptr when unknown.
  HWND ControlHandle(int gadget) const;
  // The one tooltip control that holds every control's tip.
  HWND ToolTipHandle() const { return toolTips_; }
  // The tooltip that shows a list's cut-off cell whole.
  HWND CellTipHandle() const { return cellTip_; }
  // The popup menu ShowMenu has open, or nullptr.
  HMENU OpenMenu() const { return openMenu_; }
  // The page window of a panel's tab; nullptr when unknown.
  HWND PageHandle(int panel, int tab) const;
  // Dispatches the thread's messages until done() holds or timeoutMs passed;
  // returns done().
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs);
  // Dispatches every message waiting now, and the tasks they bring.
  void PumpPending();

 private:
  // Messages the window posts to itself.
  static constexpr UINT kRunTasks = WM_APP + 1;    // run the tasks queued for the window's thread
  static constexpr UINT kSyncRows = WM_APP + 2;  // bring a result list in step with its rows (wParam: its gadget)

  struct Control {
    ControlKind kind = ControlKind::Label;
    HWND hwnd = nullptr;
    HWND arrows = nullptr;        // the up-down control of a spin field
    std::vector<HWND> pages;      // the pages of a panel, one per tab
    int columns = 0;              // the columns of a result list
    std::unique_ptr<RowTable> rows;  // the rows of a result list, with their marks
    // The rows' highlight bits hold the list view's selection (read from it
    // when asked after the user or the list view may have changed it).
    bool selectionKnown = false;
    bool selectionToPush = false;  // the bits changed; the list view's selection follows
    bool syncPosted = false;       // a kSyncRows is on its way
    // The cell under the pointer whose tip is shown or armed (-1: none).
    int tipRow = -1;
    int tipColumn = -1;
    bool tipShown = false;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ResultListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK CellTipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);
  static LRESULT CALLBACK SearchListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
  LRESULT HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Routes a control's notification; true when it was a control's.
  bool HandleCommand(WPARAM wParam, LPARAM lParam);
  bool HandleNotify(const NMHDR* header, LRESULT* result);
  bool HandleResultListInput(Control& list, int gadget, UINT message, WPARAM wParam, LPARAM lParam);
  void HandleContextMenu(Control& list, int gadget, LPARAM lParam);
  void HandleDrop(HANDLE drop);  // an HDROP
  void Report(int gadget);
  void ReportRow(int gadget, RowAction action, int row);
  void RunPostedTasks();

  Control* Find(int gadget);
  const Control* Find(int gadget) const;
  Control* FindByWindow(HWND hwnd, int* gadget);
  HWND CurrentContainer() const;
  void PlacePages(Control& panel);
  void ShowSelectedPage(Control& panel);
  // Found and of the kind that takes operation (see ui/control_kinds).
  Control* FindFor(int gadget, ControlOperation operation);
  void ToggleCheck(Control& list, int gadget, int row);
  // Reads the list view's selection into the rows' highlight bits when they
  // may be out of date.
  void KnowSelection(Control& list);
  // Gives the list view the selection the rows' bits hold, when they changed.
  void PushSelection(Control& list);
  void SyncRowsLater(Control& list, int gadget);
  // Tips of cells the list shows cut off: the pointer rested at point (client
  // coordinates) or moved there, or left the list.
  void TipHover(Control& list, POINT point);
  void TipMove(Control& list, POINT point);
  void HideCellTip(Control& list);
  void HideCellTips();  // every list's
  Extent OuterSize(Extent client) const;

 protected:
  int ShowBox(BoxKind kind, const Text& title, const Text& text) override;
  Text ShowFolderChooser(const Text& prompt, const Text& startFolder) override;
  int ShowMenu(int gadget, int row, const std::vector<Text>& entries) override;

 private:
  HWND window_ = nullptr;
  DWORD style_ = 0;
  DWORD exStyle_ = 0;
  WindowEvents* events_ = nullptr;
  std::optional<Extent> smallest_;
  std::optional<Extent> largest_;
  HFONT font_ = nullptr;
  HDC measuring_ = nullptr;
  HBITMAP measuringBitmap_ = nullptr;
  HGDIOBJ measuringOld_ = nullptr;
  HGDIOBJ measuringOldBitmap_ = nullptr;
  HWND toolTips_ = nullptr;
  HWND cellTip_ = nullptr;   // a tracking tooltip placed over a cut-off cell
  Text cellTipText_;
  std::optional<POINT> menuPoint_;  // where the pointer asked for the context menu (screen)
  HMENU openMenu_ = nullptr;
  bool pushingSelection_ = false;  // the list view's selection notices are the program's own
  std::map<int, Control> controls_;
  std::map<HWND, int> gadgetOf_;
  std::map<HWND, HWND> lastControlIn_;  // per container: the lowest control that is not a frame
  HWND container_ = nullptr;  // the page controls are created on, or null for the window
  std::optional<Text> languageOverride_;
  std::function<void()> endOverride_;

  std::mutex tasksMutex_;
  std::deque<std::function<void()>> tasks_;
  bool wakePosted_ = false;
};

}  // namespace vantrel

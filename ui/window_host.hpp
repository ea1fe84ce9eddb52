#pragma once
// What the program needs of its window, written once for every toolkit. Each
// window layer (Win32, Qt) implements it, and tests use a recording one. Every
// call names a control by its gadget number; no call decides anything: when to
// enable, what to show and what an answer means is the program's business.
// All calls but PostToWindowThread are made on the window's thread.

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "engine/text.hpp"

namespace vantrel {

enum class ControlKind {
  Frame,        // a group box with an optional caption; contains nothing
  Label,        // one line of static text
  TextField,    // one line of editable text
  Button,       // a push button
  CheckBox,     // a two-state check box, text right of the box
  ListBox,      // single-column list, extended multiple selection
  Panel,        // a tab control whose pages hold controls
  SpinField,    // a text field with up and down arrows, 0 to 2147483647
  ResultList,   // report list with a check box in front of every row
  ProgressBar,  // 0 to 100
};

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Extent {
  int width = 0;
  int height = 0;
};

enum class BoxKind {
  Error,        // OK button, error icon
  Question,     // Yes and No, no icon
  Information,  // OK, no icon
};

// The answers a box gives.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// Row states of the list controls: highlighted (selected) and checked, as bits.
inline constexpr int kRowHighlighted = 1;
inline constexpr int kRowChecked = 2;

// What a person does to one row of a list, as the layer reports it. The
// program decides what each means.
enum class RowAction {
  ToggleCheck,  // the space bar on the focused row (a click on a check box is not one: it flips that row alone)
  Open,         // a double-click on a row, or Return on the focused row
  Menu,         // the context menu asked for on a row (right click, the menu key, Shift+F10)
};

// What the window layer reports to the program.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  // A control was clicked, changed or typed into.
  virtual void OnControlEvent(int gadget) = 0;
  // The client area changed size (shown, resized, maximised, restored).
  virtual void OnSizeEvent() = 0;
  // The user asked to close the window.
  virtual void OnCloseRequest() = 0;
  // A person acted on a row of a list (row is a valid row number).
  virtual void OnRowAction(int gadget, RowAction action, int row) = 0;
  // Files or folders were dropped onto the window: their paths as the host
  // names them (the forms the user would type), in the order given.
  virtual void OnDrop(const std::vector<Text>& paths) = 0;
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;

  // --- The window ---------------------------------------------------------
  // Opens the main window centred on the primary screen with a client area of
  // width x height (cut to the screen), sizable or fixed. False on failure.
  virtual bool OpenWindow(const Text& title, int width, int height, bool sizable) = 0;
  // Sends the window's events to events from now on.
  virtual void SetEventSink(WindowEvents* events) = 0;
  // The client area's current size.
  virtual Extent ClientSize() = 0;
  // The primary display's size in pixels.
  virtual Extent ScreenSize() = 0;
  // Limits the client area's size (the layer adds its frame and caption).
  virtual void SetSizeLimits(Extent smallest, Extent largest) = 0;
  // Shows the window and makes it the active one.
  virtual void ShowAndActivate() = 0;
  // Keeps the window above ordinary windows, or makes it ordinary again.
  virtual void SetAlwaysOnTop(bool onTop) = 0;
  // Enables or disables the whole window (around a modal question).
  virtual void SetWindowEnabled(bool enabled) = 0;
  // Brings the window to the foreground.
  virtual void BringToFront() = 0;
  // Runs the event loop until EndProgram; returns the exit code.
  virtual int RunEventLoop() = 0;
  // Ends the program at once with exit code 0, without waiting for any thread.
  virtual void EndProgram() = 0;
  // Queues task for the window's thread and wakes it. Callable from any thread.
  virtual void PostToWindowThread(std::function<void()> task) = 0;

  // --- Building controls ---------------------------------------------------
  // Creates a control in the current container (the window, or the page of
  // the tab added last). text is the caption, label or initial text.
  virtual void CreateControl(int gadget, ControlKind kind, Rect place, const Text& text) = 0;
  // Adds a tab to the panel; controls created next lie on its page.
  virtual void AddTab(int panel, const Text& title) = 0;
  // Ends the panel's pages: controls created next lie on the window.
  virtual void EndTabs(int panel) = 0;
  // Adds a column to the result list.
  virtual void AddColumn(int gadget, const Text& title, int width) = 0;
  // Attaches a tooltip to a control.
  virtual void SetToolTip(int gadget, const Text& text) = 0;
  // The extent of a text drawn in the window's font; 0 x 0 for "".
  virtual Extent MeasureText(const Text& text) = 0;

  // --- Controls --------------------------------------------------------------
  // A control's position relative to its container, and its size.
  virtual Rect PlaceOf(int gadget) = 0;
  virtual void SetPlace(int gadget, Rect place) = 0;
  virtual void SetEnabled(int gadget, bool enabled) = 0;
  virtual bool IsChecked(int gadget) = 0;
  virtual void SetChecked(int gadget, bool checked) = 0;
  // A control's text (text field, spin field, button, label).
  virtual Text TextOf(int gadget) = 0;
  virtual void SetText(int gadget, const Text& text) = 0;
  // Sets a progress bar's value, or a spin field's value (arrows and text).
  virtual void SetValue(int gadget, std::int64_t value) = 0;
  // Puts a progress bar into its busy state (moving, showing no value), or
  // back to showing its value.
  virtual void SetBusy(int gadget, bool busy) = 0;
  // Shows a tab of the panel.
  virtual void SelectTab(int panel, int tab) = 0;

  // --- Rows of the list box and the result list ------------------------------
  virtual int RowCount(int gadget) = 0;
  // A cell's text (column 0 for the list box).
  virtual Text RowText(int gadget, int row, int column) = 0;
  // kRowHighlighted | kRowChecked bits of a row.
  virtual int RowState(int gadget, int row) = 0;
  // Sets a row's state exactly (its check mark and its highlight).
  virtual void SetRowState(int gadget, int row, int state) = 0;
  // Appends a row to the list box.
  virtual void AppendRow(int gadget, const Text& text) = 0;
  // Appends result rows: cells holds six texts a row, columns 0 to 5.
  virtual void AppendRows(int gadget, const std::vector<Text>& cells) = 0;
  virtual void RemoveRow(int gadget, int row) = 0;
  // Removes the given rows (ascending, no repeats) in one go. The row at the
  // top of the view, the focused row and the selected rows stay the same rows
  // where they are left, else the rows that take their places
  // (RowTable::NumberAfterRemoval).
  virtual void RemoveRows(int gadget, const std::vector<int>& rows) = 0;
  virtual void ClearRows(int gadget) = 0;
  // The focused row of a list, -1 when none.
  virtual int FocusedRow(int gadget) = 0;

  // --- What the host offers besides controls ---------------------------------
  // The name of the user's language in the system's own display language
  // (empty when the host gives none).
  virtual Text UserLanguageName() = 0;
  // The process's working directory.
  virtual Text WorkingDirectory() = 0;
  // Opens a file with the desktop's default program for it. False when the
  // host could not hand it over (no such file, no program for it).
  virtual bool OpenFile(const Text& path) = 0;
  // Shows a file's folder in the file manager, the file selected where the
  // system can. False when the folder could not be shown.
  virtual bool RevealFile(const Text& path) = 0;
  // Puts a text on the clipboard.
  virtual void CopyToClipboard(const Text& text) = 0;

  // --- Boxes and the folder chooser, with their test seam -----------------
  // Shows a modal box and returns kAnswerOk, kAnswerYes or kAnswerNo; when an
  // answer was queued, takes it instead of showing anything. Records each box.
  int Ask(BoxKind kind, const Text& title, const Text& text);
  // Opens the folder chooser; returns the chosen folder or "" when cancelled;
  // when a folder was queued, takes it instead.
  Text ChooseFolder(const Text& prompt, const Text& startFolder);

  // Shows a context menu of entries at row of a list (at the pointer when the
  // pointer asked for it, else beside the row); an empty entry is a separator.
  // Returns the chosen entry's index, or -1 when the menu was dismissed; when
  // a choice was queued, takes it instead. Records each menu.
  int ChooseFromMenu(int gadget, int row, const std::vector<Text>& entries);

  void QueueAnswer(int answer) { answers_.push_back(answer); }
  void QueueFolder(const Text& folder) { folders_.push_back(folder); }
  void QueueMenuChoice(int index) { menuChoices_.push_back(index); }
  struct BoxRecord {
    BoxKind kind;
    Text title;
    Text text;
    int answer;
  };
  // Every box asked, in order (tests read it).
  const std::vector<BoxRecord>& Boxes() const { return boxes_; }
  // Every menu shown, in order: its entries (tests read it).
  const std::vector<std::vector<Text>>& Menus() const { return menus_; }
  std::size_t QueuedAnswers() const { return answers_.size(); }

 protected:
  virtual int ShowBox(BoxKind kind, const Text& title, const Text& text) = 0;
  virtual Text ShowFolderChooser(const Text& prompt, const Text& startFolder) = 0;
  virtual int ShowMenu(int gadget, int row, const std::vector<Text>& entries) = 0;

 private:
  std::deque<int> answers_;
  std::deque<Text> folders_;
  std::vector<BoxRecord> boxes_;
  std::deque<int> menuChoices_;
  std::vector<std::vector<Text>> menus_;
};

}  // namespace vantrel

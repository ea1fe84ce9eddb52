#pragma once
// A window for tests of the program: every control is a record in memory,
// boxes and the folder chooser are answered from the seam's queues (a box
// nobody queued an answer for is noted and answered No), and tasks posted for
// the window's thread wait until the test pumps them. Text extents follow a
// fixed rule: 7 pixels a character, 13 high. The rows of the lists are kept
// in RowTables, as the window layers keep them, and a call that the
// control's kind does not take throws (CheckControlKind with ThrowOnWrongKind).

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/task_queue.hpp"
#include "ui/control_kinds.hpp"
#include "ui/gadgets.hpp"
#include "ui/row_table.hpp"
#include "ui/spin_rules.hpp"
#include "ui/window_host.hpp"

namespace vantrel::testing {

class RecordingHost : public WindowHost {
 public:
  struct Control {
    ControlKind kind{};
    int container = -1;  // -1 the window, else the tab's index
    Rect place;
    Text text;
    bool enabled = true;
    bool checked = false;
    std::int64_t value = 0;
    bool busy = false;
    Text tooltip;
    std::vector<std::pair<Text, int>> columns;
    // The rows of a list box (one cell) or the result list (six cells).
    RowTable rows{1};
    std::vector<Text> tabs;
    int selectedTab = 0;
    int focused = -1;
  };

  // --- WindowHost ------------------------------------------------------------
  bool OpenWindow(const Text& t, int width, int height, bool isSizable) override {
    if (failToOpen) return false;
    title = t;
    client = {width, height};
    sizable = isSizable;
    opened = true;
    return true;
  }
  void SetEventSink(WindowEvents* e) override { events = e; }
  Extent ClientSize() override { return client; }
  Extent ScreenSize() override { return screen; }
  void SetSizeLimits(Extent smallest, Extent largest) override {
    minClient = smallest;
    maxClient = largest;
  }
  void ShowAndActivate() override { activated = true; }
  void SetAlwaysOnTop(bool onTop) override { alwaysOnTop = onTop; }
  void SetWindowEnabled(bool enabled) override { log.push_back(enabled ? "window on" : "window off"); }
  void BringToFront() override { log.push_back("front"); }
  int RunEventLoop() override { return 0; }
  void EndProgram() override { ended = true; }
  void PostToWindowThread(std::function<void()> task) override { tasks_.Post(std::move(task)); }

  void CreateControl(int gadget, ControlKind kind, Rect place, const Text& text) override {
    Control& c = controls[gadget];
    c.kind = kind;
    c.rows = RowTable(kind == ControlKind::ResultList ? 6 : 1);
    c.place = place;
    c.text = text;
    c.container = container_;
    created.push_back(gadget);
  }
  void AddTab(int panel, const Text& t) override {
    Control& c = Taking(panel, ControlOperation::Tabs);
    c.tabs.push_back(t);
    container_ = static_cast<int>(c.tabs.size()) - 1;
  }
  void EndTabs(int panel) override {
    Taking(panel, ControlOperation::Tabs);
    container_ = -1;
  }
  void AddColumn(int gadget, const Text& t, int width) override {
    Taking(gadget, ControlOperation::Columns).columns.push_back({t, width});
  }
  void SetToolTip(int gadget, const Text& t) override {
    controls.at(gadget).tooltip = t;
    tooltipOrder.push_back(gadget);
  }
  Extent MeasureText(const Text& t) override {
    return t.empty() ? Extent{0, 0} : Extent{7 * static_cast<int>(t.size()), 13};
  }

  Rect PlaceOf(int gadget) override { return At(gadget).place; }
  void SetPlace(int gadget, Rect place) override { At(gadget).place = place; }
  void SetEnabled(int gadget, bool enabled) override { At(gadget).enabled = enabled; }
  bool IsChecked(int gadget) override { return Taking(gadget, ControlOperation::Check).checked; }
  void SetChecked(int gadget, bool checked) override { Taking(gadget, ControlOperation::Check).checked = checked; }
  Text TextOf(int gadget) override { return Taking(gadget, ControlOperation::ReadText).text; }
  void SetText(int gadget, const Text& t) override { Taking(gadget, ControlOperation::WriteText).text = t; }
  void SetValue(int gadget, std::int64_t value) override {
    Control& c = Taking(gadget, ControlOperation::Value);
    c.value = value;
    if (c.kind == ControlKind::SpinField) c.text = SpinText(value);
    if (gadget == GadgetProgress) {
      progress.push_back(static_cast<int>(value));
      bar.push_back(std::to_string(value));
    }
  }
  void SetBusy(int gadget, bool busy) override {
    Taking(gadget, ControlOperation::Busy).busy = busy;
    if (gadget == GadgetProgress) bar.push_back(busy ? "busy" : "idle");
  }
  void SelectTab(int panel, int tab) override { Taking(panel, ControlOperation::Tabs).selectedTab = tab; }

  int RowCount(int gadget) override { return Rows(gadget).Count(); }
  // A row out of range is a fault of the command that asked: it throws.
  Text RowText(int gadget, int row, int column) override {
    RowTable& rows = Rows(gadget);
    if (row < 0 || row >= rows.Count() || column < 0 || column >= rows.CellsPerRow())
      throw std::out_of_range("no cell " + std::to_string(row) + "," + std::to_string(column));
    return Text(rows.Cell(row, column));
  }
  int RowState(int gadget, int row) override { return Rows(gadget).State(InRange(gadget, row)); }
  void SetRowState(int gadget, int row, int state) override { Rows(gadget).SetState(InRange(gadget, row), state); }
  void AppendRow(int gadget, const Text& t) override { Taking(gadget, ControlOperation::AppendRow).rows.AppendOne(t); }
  void AppendRows(int gadget, const std::vector<Text>& cells) override {
    Taking(gadget, ControlOperation::AppendRows).rows.Append(cells);
  }
  void RemoveRow(int gadget, int row) override { Rows(gadget).Remove({InRange(gadget, row)}); }
  void RemoveRows(int gadget, const std::vector<int>& rows) override {
    RowTable& table = Rows(gadget);
    Control& c = At(gadget);
    if (c.focused >= 0) c.focused = RowTable::NumberAfterRemoval(c.focused, rows);
    table.Remove(rows);
    if (c.focused >= table.Count()) c.focused = table.Count() - 1;
  }
  void ClearRows(int gadget) override {
    Rows(gadget).Clear();
    At(gadget).focused = -1;
  }
  int FocusedRow(int gadget) override { return Taking(gadget, ControlOperation::Rows).focused; }

  Text UserLanguageName() override { return languageName; }
  Text WorkingDirectory() override { return workingDirectory; }
  bool OpenFile(const Text& path) override {
    openedFiles.push_back(path);
    return openSucceeds;
  }
  bool RevealFile(const Text& path) override {
    revealedFiles.push_back(path);
    return revealSucceeds;
  }
  void CopyToClipboard(const Text& text) override { clipboard = text; }

  // --- Test helpers ------------------------------------------------------------
  Control& At(int gadget) {
    auto it = controls.find(gadget);
    if (it == controls.end()) throw std::out_of_range("no control " + std::to_string(gadget));
    return it->second;
  }
  // The control, when its kind takes the operation; else it throws.
  Control& Taking(int gadget, ControlOperation operation) {
    Control& c = At(gadget);
    if (!ControlTakes(c.kind, operation)) ThrowOnWrongKind(gadget, c.kind, operation);
    return c;
  }
  RowTable& Rows(int gadget) { return Taking(gadget, ControlOperation::Rows).rows; }
  int InRange(int gadget, int row) {
    if (row < 0 || row >= Rows(gadget).Count()) throw std::out_of_range("no row " + std::to_string(row));
    return row;
  }
  // The window's thread, run by the test (see TaskQueue).
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 120000) {
    return tasks_.PumpUntil(done, timeoutMs);
  }
  bool WaitForQueued(int timeoutMs = 120000) { return tasks_.WaitForQueued(timeoutMs); }
  void PumpPending() { tasks_.PumpPending(); }
  std::size_t Queued() { return tasks_.Queued(); }

  std::map<int, Control> controls;
  std::vector<int> created;
  std::vector<int> tooltipOrder;
  std::vector<std::string> log;
  std::vector<int> progress;
  // The progress bar's changes in order: its values, "busy" and "idle".
  std::vector<std::string> bar;
  WindowEvents* events = nullptr;
  // What the host was asked to open, reveal and copy, and what it answers.
  std::vector<Text> openedFiles;
  std::vector<Text> revealedFiles;
  Text clipboard;
  bool openSucceeds = true;
  bool revealSucceeds = true;
  Text title;
  Extent client{0, 0};
  Extent screen{1920, 1080};
  Extent minClient{0, 0};
  Extent maxClient{0, 0};
  bool sizable = false;
  bool opened = false;
  bool failToOpen = false;
  bool activated = false;
  bool alwaysOnTop = false;
  bool ended = false;
  Text languageName;
  Text workingDirectory;
  int unexpectedBoxes = 0;
  int unexpectedChoosers = 0;

 protected:
  int ShowBox(BoxKind, const Text&, const Text&) override {
    ++unexpectedBoxes;
    return kAnswerNo;
  }
  Text ShowFolderChooser(const Text&, const Text& start) override {
    ++unexpectedChoosers;
    chooserStart = start;
    return Text();
  }
  // A menu nobody queued a choice for is dismissed.
  int ShowMenu(int, int, const std::vector<Text>&) override { return -1; }

 public:
  Text chooserStart;

 private:
  int container_ = -1;
  TaskQueue tasks_;
};

}  // namespace vantrel::testing

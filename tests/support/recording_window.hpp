#pragma once
// A window for tests: tasks posted by the worker wait in a queue until the
// test's own thread (acting as the window's thread) pumps them, and every
// control change is recorded in order.

#include <functional>
#include <string>
#include <vector>

#include "engine/search_window.hpp"
#include "tests/support/task_queue.hpp"

namespace vantrel::testing {

class RecordingWindow : public SearchWindow {
 public:
  void PostToWindow(std::function<void()> task) override { tasks_.Post(std::move(task)); }

  void SetProgress(int value) override {
    progress.push_back(value);
    events.push_back("progress " + std::to_string(value));
  }
  void InsertResultRow(int position, const Text& groupText) override {
    rows.insert(rows.begin() + position, std::vector<Text>(6));
    rows[static_cast<std::size_t>(position)][0] = groupText;
    if (events.empty() || events.back() != "rows") events.push_back("rows");
  }
  void SetResultText(int row, int column, const Text& text) override {
    rows.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column)) = text;
  }
  void SetPanelEnabled(bool enabled) override {
    panelEnabled = enabled;
    events.push_back(enabled ? "panel on" : "panel off");
  }
  void SelectPanelTab(int tab) override { events.push_back("tab " + std::to_string(tab)); }
  void ShowNoDuplicates() override {
    ++boxes;
    events.push_back("no duplicates box");
    if (onBox) onBox();
  }
  void SearchStateChanged() override {
    ++stateChanges;
    if (onStateChanged) onStateChanged();
  }

  // The window's thread, run by the test (see TaskQueue).
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 120000) {
    return tasks_.PumpUntil(done, timeoutMs);
  }
  bool WaitForQueued(int timeoutMs = 120000) { return tasks_.WaitForQueued(timeoutMs); }
  void PumpPending() { tasks_.PumpPending(); }
  std::size_t Queued() { return tasks_.Queued(); }

  std::vector<std::string> events;
  std::vector<int> progress;
  std::vector<std::vector<Text>> rows;
  bool panelEnabled = true;
  int boxes = 0;
  int stateChanges = 0;
  std::function<void()> onBox;
  std::function<void()> onStateChanged;

 private:
  TaskQueue tasks_;
};

}  // namespace vantrel::testing

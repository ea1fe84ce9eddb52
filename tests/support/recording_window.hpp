#pragma once
// A window for tests: tasks posted by the worker wait in a queue until the
// test's own thread (acting as the window's thread) pumps them, and every
// control change is recorded in order.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/search_window.hpp"

namespace vantrel::testing {

class RecordingWindow : public SearchWindow {
 public:
  void PostToWindow(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
    posted_.notify_all();
  }

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

  // Runs queued tasks until done() holds; false when it did not within timeout.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 120000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (done()) return true;
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        if (posted_.wait_until(lock, deadline, [&] { return !queue_.empty(); })) {
          task = std::move(queue_.front());
          queue_.pop_front();
        }
      }
      if (!task) return done();
      task();
    }
  }
  // Waits until a task is queued, without running anything.
  bool WaitForQueued(int timeoutMs = 120000) {
    std::unique_lock lock(mutex_);
    return posted_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty(); });
  }
  // Runs whatever is queued now.
  void PumpPending() {
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        task = std::move(queue_.front());
        queue_.pop_front();
      }
      task();
    }
  }
  std::size_t Queued() {
    std::lock_guard lock(mutex_);
    return queue_.size();
  }

  std::vector<std::string> events;
  std::vector<int> progress;
  std::vector<std::vector<Text>> rows;
  bool panelEnabled = true;
  int boxes = 0;
  int stateChanges = 0;
  std::function<void()> onBox;
  std::function<void()> onStateChanged;

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace vantrel::testing

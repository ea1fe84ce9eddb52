#pragma once
// What a search needs of the window, implemented by each window layer (Win32,
// Qt) and by the tests' recorder. The worker never calls the control methods
// itself: it posts tasks, and every method but PostToWindow runs on the
// window's thread.

#include <functional>

#include <vector>

#include "engine/text.hpp"

namespace vantrel {

class SearchWindow {
 public:
  virtual ~SearchWindow() = default;

  // Queues task to run on the window's thread after every task queued before
  // it, and wakes that thread at once. Callable from any thread.
  virtual void PostToWindow(std::function<void()> task) = 0;

  // Sets the progress bar (0 to 100).
  virtual void SetProgress(int value) = 0;
  // Inserts a result row at position with groupText in column 0 (used by the
  // default InsertResultRows only).
  virtual void InsertResultRow(int /*position*/, const Text& /*groupText*/) {}
  // Sets the text of one cell of the result list, columns 1 to 5 (likewise).
  virtual void SetResultText(int /*row*/, int /*column*/, const Text& /*text*/) {}
  // Appends result rows to the (empty) result list: six cells a row, in column
  // order. The window layers take them in one go; the default adds them a cell
  // at a time.
  virtual void InsertResultRows(const std::vector<Text>& cells) {
    int row = 0;
    for (std::size_t i = 0; i + 6 <= cells.size(); i += 6, ++row) {
      InsertResultRow(row, cells[i]);
      for (int column = 1; column < 6; ++column) SetResultText(row, column, cells[i + static_cast<std::size_t>(column)]);
    }
  }
  // Enables or disables the options-and-results panel.
  virtual void SetPanelEnabled(bool enabled) = 0;
  // Shows a tab of the panel (1 is the results tab).
  virtual void SelectPanelTab(int tab) = 0;
  // Shows the modal "No duplicates found." information box; returns when it is closed.
  virtual void ShowNoDuplicates() = 0;
  // Tells the window that the search has ended or stopped, so it can refresh
  // what follows the search state (the Pause button's text on the Mac programs).
  virtual void SearchStateChanged() {}
};

}  // namespace vantrel

#pragma once
// The rows behind the result list view: six texts and a check mark a row. The
// list view (LVS_OWNERDATA) asks for what it draws, so appending 100,000 rows
// is one copy and one item count.
//
// Delete removes rows from the last to the first; a removal below every earlier
// one is only marked, and the rows are closed up once something asks for a row
// at or above a marked one. A sweep over 100,000 rows therefore moves each row
// once instead of once per removal.

#include <cstddef>
#include <vector>

#include "engine/text.hpp"

namespace vantrel {

class ResultRows {
 public:
  static constexpr int kColumns = 6;

  int Count() const { return static_cast<int>(rows_.size() - removed_.size()); }
  // Appends rows from cells, six texts a row (a short last row is dropped).
  void Append(const std::vector<Text>& cells);
  // A cell's text; empty for a row or column out of range.
  const Text& Cell(int row, int column);
  bool Checked(int row);
  void SetChecked(int row, bool checked);
  void Remove(int row);
  void Clear();

 private:
  struct Row {
    Text cells[kColumns];
    bool checked = false;
  };
  // The row at index, closing up marked removals first when needed; null when
  // out of range.
  Row* At(int row);
  void CloseUp();

  std::vector<Row> rows_;
  // Marked removals, each below the one before it (so still valid indices).
  std::vector<std::size_t> removed_;
  Text empty_;
};

}  // namespace vantrel

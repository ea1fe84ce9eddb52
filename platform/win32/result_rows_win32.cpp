#include "platform/win32/result_rows_win32.hpp"

#include <algorithm>

namespace vantrel {

void ResultRows::Append(const std::vector<Text>& cells) {
  CloseUp();
  rows_.reserve(rows_.size() + cells.size() / kColumns);
  for (std::size_t i = 0; i + kColumns <= cells.size(); i += kColumns) {
    Row row;
    for (int column = 0; column < kColumns; ++column) row.cells[column] = cells[i + static_cast<std::size_t>(column)];
    rows_.push_back(std::move(row));
  }
}

ResultRows::Row* ResultRows::At(int row) {
  if (row < 0 || row >= Count()) return nullptr;
  if (!removed_.empty() && static_cast<std::size_t>(row) >= removed_.back()) CloseUp();
  return &rows_[static_cast<std::size_t>(row)];
}

void ResultRows::CloseUp() {
  if (removed_.empty()) return;
  // removed_ is descending: walk it from its end for an ascending merge.
  std::size_t write = removed_.back();
  std::size_t next = removed_.size();
  for (std::size_t read = write; read < rows_.size(); ++read) {
    if (next > 0 && removed_[next - 1] == read) {
      --next;
      continue;
    }
    rows_[write++] = std::move(rows_[read]);
  }
  rows_.resize(write);
  removed_.clear();
}

const Text& ResultRows::Cell(int row, int column) {
  Row* r = At(row);
  if (r == nullptr || column < 0 || column >= kColumns) return empty_;
  return r->cells[column];
}

bool ResultRows::Checked(int row) {
  Row* r = At(row);
  return r != nullptr && r->checked;
}

void ResultRows::SetChecked(int row, bool checked) {
  if (Row* r = At(row)) r->checked = checked;
}

void ResultRows::Remove(int row) {
  if (row < 0 || row >= Count()) return;
  auto index = static_cast<std::size_t>(row);
  if (!removed_.empty() && index >= removed_.back()) CloseUp();
  removed_.push_back(index);
}

void ResultRows::Clear() {
  rows_.clear();
  removed_.clear();
}

}  // namespace vantrel

#include "ui/row_table.hpp"

#include <algorithm>

#include "ui/window_host.hpp"

namespace vantrel {

RowTable::RowTable(int cellsPerRow) : cellsPerRow_(std::max(cellsPerRow, 1)) {}

TextView RowTable::Cell(int row, int cell) const {
  if (row < 0 || row >= Count() || cell < 0 || cell >= cellsPerRow_) return {};
  const Span& span = cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(cellsPerRow_) +
                            static_cast<std::size_t>(cell)];
  return TextView(pool_.data() + span.start, span.length);
}

int RowTable::State(int row) const {
  if (row < 0 || row >= Count()) return 0;
  return states_[static_cast<std::size_t>(row)];
}

int RowTable::SetState(int row, int state) {
  if (row < 0 || row >= Count()) return 0;
  std::uint8_t& bits = states_[static_cast<std::size_t>(row)];
  const int now = state & (kRowHighlighted | kRowChecked);
  const int changed = bits ^ now;
  bits = static_cast<std::uint8_t>(now);
  return changed;
}

void RowTable::Append(const std::vector<Text>& cells) {
  const std::size_t per = static_cast<std::size_t>(cellsPerRow_);
  const std::size_t count = cells.size() / per;
  if (count == 0) return;
  const std::size_t used = per * count;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < used; ++i) characters += cells[i].size();
  pool_.reserve(pool_.size() + characters);
  cells_.reserve(cells_.size() + used);
  for (std::size_t i = 0; i < used; ++i) {
    cells_.push_back({pool_.size(), cells[i].size()});
    pool_.insert(pool_.end(), cells[i].begin(), cells[i].end());
  }
  states_.resize(states_.size() + count, 0);
}

void RowTable::AppendOne(const Text& text) {
  std::vector<Text> cells(static_cast<std::size_t>(cellsPerRow_));
  cells[0] = text;
  Append(cells);
}

void RowTable::Remove(const std::vector<int>& rows) {
  if (rows.empty()) return;
  const std::size_t per = static_cast<std::size_t>(cellsPerRow_);
  std::vector<Char> pool;
  std::vector<Span> cells;
  cells.reserve(cells_.size());
  std::size_t next = 0;  // the next entry of rows still ahead
  std::size_t kept = 0;
  for (std::size_t row = 0; row < states_.size(); ++row) {
    while (next < rows.size() && (rows[next] < 0 || static_cast<std::size_t>(rows[next]) < row)) ++next;
    if (next < rows.size() && static_cast<std::size_t>(rows[next]) == row) continue;
    for (std::size_t i = row * per; i < (row + 1) * per; ++i) {
      const Span& span = cells_[i];
      cells.push_back({pool.size(), span.length});
      pool.insert(pool.end(), pool_.begin() + static_cast<std::ptrdiff_t>(span.start),
                  pool_.begin() + static_cast<std::ptrdiff_t>(span.start + span.length));
    }
    states_[kept++] = states_[row];
  }
  states_.resize(kept);
  pool_ = std::move(pool);
  cells_ = std::move(cells);
}

void RowTable::Clear() {
  pool_ = {};
  cells_ = {};
  states_ = {};
}

int RowTable::NumberAfterRemoval(int row, const std::vector<int>& removed) {
  return row - static_cast<int>(std::lower_bound(removed.begin(), removed.end(), row) - removed.begin());
}

}  // namespace vantrel

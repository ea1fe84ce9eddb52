#pragma once
// The rows of a list control: a fixed number of texts a row and the row's
// state bits (kRowHighlighted, kRowChecked). Every window layer keeps the rows
// of its result list (and of any list it draws itself) in one of these and
// draws from it, so appending, reading, marking and removing rows follow one
// set of rules in every program. The tests' recording window keeps its rows
// here too.
//
// Cells are stored in one character pool, so that 100,000 rows go in without
// an allocation per cell. A layer whose view keeps a copy of a bit (the Win32
// list view keeps the selection) keeps that copy in step with the table.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/text.hpp"

namespace vantrel {

class RowTable {
 public:
  // cellsPerRow texts a row, at least 1.
  explicit RowTable(int cellsPerRow);

  int CellsPerRow() const { return cellsPerRow_; }
  int Count() const { return static_cast<int>(states_.size()); }
  // A cell's text; empty for a row or cell out of range.
  TextView Cell(int row, int cell) const;
  // A row's bits; 0 for a row out of range.
  int State(int row) const;
  // Sets a row's bits (other bits are dropped); returns the bits that changed,
  // 0 for a row out of range.
  int SetState(int row, int state);

  // Appends cells.size() / CellsPerRow() rows, a row's texts one after the
  // other (a short last row is dropped); new rows have no bits set.
  void Append(const std::vector<Text>& cells);
  // Appends one row whose first cell is text and whose other cells are empty.
  void AppendOne(const Text& text);
  // Removes the given rows (ascending, no repeats; numbers out of range are
  // ignored) in one pass: the rows left close up in their order with their
  // bits, and the pool keeps only their characters.
  void Remove(const std::vector<int>& rows);
  void Clear();

  // The number row has once the rows in removed (ascending) are gone; a
  // removed row gets the number of the row that takes its place. Callers cut
  // the answer to the rows left.
  static int NumberAfterRemoval(int row, const std::vector<int>& removed);

 private:
  struct Span {
    std::size_t start;
    std::size_t length;
  };
  int cellsPerRow_;
  std::vector<Char> pool_;
  std::vector<Span> cells_;
  std::vector<std::uint8_t> states_;
};

}  // namespace vantrel

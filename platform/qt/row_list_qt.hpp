#pragma once
// The rows of the search list and of the result list. The rows live in the
// program's RowTable, which the model reads, so a row reads back exactly as it
// was given (a name with bytes that are not UTF-8 included), and the view draws
// only the rows on screen: a result list of 100,000 rows appears at once.
//
// Each row has two state bits, highlighted (selected) and checked; the table
// holds both. The program sets them one row at a time, possibly for every row
// of the list; the view's selection and check marks follow in one update when
// the window's thread next runs its loop, not row by row. A selection the user
// makes goes straight into the bits.

#include <QAbstractItemView>
#include <QAbstractTableModel>
#include <QItemSelection>

#include <cstdint>
#include <vector>

#include "engine/text.hpp"
#include "ui/row_table.hpp"

namespace vantrel {

class RowModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  // cellsPerRow texts a row; checkColumn puts a check-box column first.
  RowModel(int cellsPerRow, bool checkColumn, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Adds a titled column after the ones there.
  void AddColumn(const Text& title);
  // The view column of a cell column.
  int ViewColumn(int cell) const { return cell + (checkColumn_ ? 1 : 0); }
  bool HasCheckColumn() const { return checkColumn_; }

  const RowTable& Table() const { return table_; }
  int Rows() const { return table_.Count(); }
  TextView Cell(int row, int cell) const { return table_.Cell(row, cell); }
  int State(int row) const { return table_.State(row); }
  // Sets the bits without telling the view (RowList does, in one go).
  void SetStateQuietly(int row, int state) { table_.SetState(row, state); }
  // Appends rows: cellsPerRow texts each.
  void AppendRows(const std::vector<Text>& cells);
  void RemoveRow(int row);
  // Removes the given rows (ascending, no repeats) in one pass (RowTable::Remove);
  // the view starts over from the model.
  void RemoveRows(const std::vector<int>& rows);
  void Clear();
  // Tells the view that the check marks of rows first to last changed.
  void ShowStates(int first, int last);

 Q_SIGNALS:
  // The user checked or unchecked a row.
  void CheckToggled();

 private:
  bool checkColumn_;
  std::vector<Text> titles_;
  RowTable table_;
};

class RowList final : public QObject {
  Q_OBJECT

 public:
  // Takes the view and a model made for it; the view shows the model.
  RowList(QAbstractItemView* view, RowModel* model);

  RowModel& Model() { return *model_; }
  QAbstractItemView& View() { return *view_; }
  int State(int row) const;
  // Sets a row's bits at once; the view follows when the loop next runs.
  void SetState(int row, int state);
  void AppendRows(const std::vector<Text>& cells);
  void RemoveRow(int row);
  // Removes the given rows (ascending) at once; the rows left keep their bits,
  // and the current row and the row at the top of the view stay the same rows
  // where those rows are left, else the rows that take their places
  // (RowTable::NumberAfterRemoval).
  void RemoveRows(const std::vector<int>& rows);
  void Clear();
  // The whole text of the cell at a point of the view's viewport when the
  // cell is too narrow to show it all; empty over a cell shown whole.
  QString CutCellTip(const QPoint& at) const;

 private:
  void TakeUserSelection(const QItemSelection& selected, const QItemSelection& deselected);
  void ScheduleShow();
  void ShowStates();

  QAbstractItemView* view_;
  RowModel* model_;
  bool showScheduled_ = false;
  bool showing_ = false;
  bool highlightChanged_ = false;
  int firstChanged_ = -1;
  int lastChanged_ = -1;
};

}  // namespace vantrel

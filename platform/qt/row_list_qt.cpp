#include "platform/qt/row_list_qt.hpp"

#include <QItemSelectionModel>
#include <QMetaObject>
#include <QScrollBar>
#include <QStyle>

#include "platform/qt/text_qt.hpp"
#include "ui/window_host.hpp"

namespace vantrel {
namespace {

// A cell shows on one line: a line break, tab or other control character
// appears as its visible symbol (U+2400 onwards), for display only.
QString OneLine(QString text) {
  for (QChar& c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20) c = QChar(static_cast<char16_t>(0x2400 + u));
    else if (u == 0x7f) c = QChar(static_cast<char16_t>(0x2421));
  }
  return text;
}

}  // namespace

RowModel::RowModel(int cellsPerRow, bool checkColumn, QObject* parent)
    : QAbstractTableModel(parent), checkColumn_(checkColumn), table_(cellsPerRow) {}

int RowModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

int RowModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  // A list without titled columns still shows its first cell.
  const int cells = titles_.empty() ? 1 : static_cast<int>(titles_.size());
  return cells + (checkColumn_ ? 1 : 0);
}

QVariant RowModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Rows()) return {};
  if (checkColumn_ && index.column() == 0) {
    if (role == Qt::CheckStateRole)
      return (State(index.row()) & kRowChecked) ? Qt::Checked : Qt::Unchecked;
    return {};
  }
  // The tip is the whole text; the view shows it only over a cell it cuts.
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return OneLine(ToQString(Cell(index.row(), index.column() - (checkColumn_ ? 1 : 0))));
  return {};
}

QVariant RowModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  const int cell = section - (checkColumn_ ? 1 : 0);
  if (cell < 0 || cell >= static_cast<int>(titles_.size())) return QString();
  return ToQString(titles_[static_cast<std::size_t>(cell)]);
}

Qt::ItemFlags RowModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (checkColumn_ && index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

bool RowModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!checkColumn_ || index.column() != 0 || role != Qt::CheckStateRole || index.row() >= Rows())
    return false;
  const int state = State(index.row());
  const bool checked = value.value<Qt::CheckState>() == Qt::Checked;
  SetStateQuietly(index.row(), checked ? (state | kRowChecked) : (state & ~kRowChecked));
  Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
  Q_EMIT CheckToggled();
  return true;
}

void RowModel::AddColumn(const Text& title) {
  const int column = columnCount();
  // The first title names the column that stood untitled.
  if (titles_.empty()) {
    titles_.push_back(title);
    Q_EMIT headerDataChanged(Qt::Horizontal, column - 1, column - 1);
    return;
  }
  beginInsertColumns({}, column, column);
  titles_.push_back(title);
  endInsertColumns();
}

void RowModel::AppendRows(const std::vector<Text>& cells) {
  const int count = static_cast<int>(cells.size() / static_cast<std::size_t>(table_.CellsPerRow()));
  if (count == 0) return;
  beginInsertRows({}, Rows(), Rows() + count - 1);
  table_.Append(cells);
  endInsertRows();
}

void RowModel::RemoveRow(int row) {
  beginRemoveRows({}, row, row);
  table_.Remove({row});
  endRemoveRows();
}

void RowModel::RemoveRows(const std::vector<int>& rows) {
  if (rows.empty()) return;
  beginResetModel();
  table_.Remove(rows);
  endResetModel();
}

void RowModel::Clear() {
  beginResetModel();
  table_.Clear();
  endResetModel();
}

void RowModel::ShowStates(int first, int last) {
  if (!checkColumn_ || first > last) return;
  Q_EMIT dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
}

RowList::RowList(QAbstractItemView* view, RowModel* model) : QObject(view), view_(view), model_(model) {
  view_->setModel(model_);
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &RowList::TakeUserSelection);
}

int RowList::State(int row) const {
  if (row < 0 || row >= model_->Rows()) return 0;
  return model_->State(row);
}

void RowList::SetState(int row, int state) {
  if (row < 0 || row >= model_->Rows()) return;
  const int before = model_->State(row);
  state &= kRowHighlighted | kRowChecked;
  if (before == state) return;
  model_->SetStateQuietly(row, state);
  if ((before ^ state) & kRowHighlighted) highlightChanged_ = true;
  if ((before ^ state) & kRowChecked) {
    firstChanged_ = firstChanged_ < 0 ? row : std::min(firstChanged_, row);
    lastChanged_ = std::max(lastChanged_, row);
  }
  if (!showScheduled_) {
    showScheduled_ = true;
    QMetaObject::invokeMethod(this, &RowList::ShowStates, Qt::QueuedConnection);
  }
}

void RowList::AppendRows(const std::vector<Text>& cells) { model_->AppendRows(cells); }

void RowList::RemoveRow(int row) {
  if (row < 0 || row >= model_->Rows()) return;
  model_->RemoveRow(row);
}

void RowList::RemoveRows(const std::vector<int>& rows) {
  if (rows.empty()) return;
  const int before = model_->Rows();
  // The current row and the row at the top of the view keep their rows, or
  // take the rows that take their places; the view stays scrolled sideways.
  const int current = view_->currentIndex().row();
  const int currentColumn = std::max(view_->currentIndex().column(), 0);
  const int top = view_->indexAt(QPoint(0, 0)).row();
  const int sideways = view_->horizontalScrollBar()->value();
  showing_ = true;
  model_->RemoveRows(rows);
  showing_ = false;
  const int left = model_->Rows();
  // The model started over: the view's check marks read it anew, and its
  // selection follows the bits of the rows left.
  firstChanged_ = lastChanged_ = -1;
  highlightChanged_ = false;
  for (int row = 0; row < left && !highlightChanged_; ++row)
    highlightChanged_ = (model_->State(row) & kRowHighlighted) != 0;
  if (current >= 0 && current < before && left > 0) {
    showing_ = true;
    const int after = std::min(RowTable::NumberAfterRemoval(current, rows), left - 1);
    view_->selectionModel()->setCurrentIndex(model_->index(after, currentColumn), QItemSelectionModel::NoUpdate);
    showing_ = false;
  }
  if (top >= 0 && left > 0) {
    const int after = std::min(RowTable::NumberAfterRemoval(top, rows), left - 1);
    view_->scrollTo(model_->index(after, 0), QAbstractItemView::PositionAtTop);
    view_->horizontalScrollBar()->setValue(sideways);
  }
  if (highlightChanged_) ShowStates();
}

QString RowList::CutCellTip(const QPoint& at) const {
  const QModelIndex index = view_->indexAt(at);
  if (!index.isValid()) return {};
  const QString text = index.data(Qt::DisplayRole).toString();
  if (text.isEmpty()) return {};
  // The view draws a cell's text inside a margin on either side (the style's
  // focus frame margin and one pixel), as the item delegate does.
  const int margin = view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1;
  const int room = view_->visualRect(index).width() - 2 * margin;
  if (view_->fontMetrics().horizontalAdvance(text) <= room) return {};
  return index.data(Qt::ToolTipRole).toString();
}

void RowList::Clear() {
  model_->Clear();
  firstChanged_ = lastChanged_ = -1;
  highlightChanged_ = false;
}

void RowList::TakeUserSelection(const QItemSelection& selected, const QItemSelection& deselected) {
  if (showing_) return;
  auto mark = [this](const QItemSelection& ranges, bool on) {
    for (const QItemSelectionRange& range : ranges) {
      for (int row = range.top(); row <= range.bottom() && row < model_->Rows(); ++row) {
        const int state = model_->State(row);
        model_->SetStateQuietly(row, on ? (state | kRowHighlighted) : (state & ~kRowHighlighted));
      }
    }
  };
  mark(deselected, false);
  mark(selected, true);
}

void RowList::ShowStates() {
  showScheduled_ = false;
  const int rows = model_->Rows();
  if (firstChanged_ >= 0 && firstChanged_ < rows)
    model_->ShowStates(firstChanged_, std::min(lastChanged_, rows - 1));
  firstChanged_ = lastChanged_ = -1;
  if (!highlightChanged_) return;
  highlightChanged_ = false;

  // Whole rows, one range per run of highlighted rows; handing the selection
  // model ready rows (not the Rows flag) keeps this linear in the rows.
  QItemSelection selection;
  const int lastColumn = model_->columnCount() - 1;
  int runStart = -1;
  for (int row = 0; row <= rows; ++row) {
    const bool on = row < rows && (model_->State(row) & kRowHighlighted);
    if (on && runStart < 0) runStart = row;
    if (!on && runStart >= 0) {
      selection.append(QItemSelectionRange(model_->index(runStart, 0), model_->index(row - 1, lastColumn)));
      runStart = -1;
    }
  }
  showing_ = true;
  QItemSelectionModel* sm = view_->selectionModel();
  sm->clearSelection();
  if (!selection.isEmpty()) sm->select(selection, QItemSelectionModel::Select);
  showing_ = false;
}

}  // namespace vantrel

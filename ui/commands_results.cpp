// The result list's commands: the three marking commands, Clear list and
// Delete selected files.

#include <unordered_map>

#include "engine/file_system.hpp"
#include "ui/delete_check.hpp"
#include "ui/program.hpp"

namespace vantrel {
namespace {

// The leading decimal number of a group text, 0 when it holds none.
std::int64_t GroupValue(const Text& text) {
  std::int64_t value = 0;
  for (Char c : text) {
    auto u = static_cast<std::uint32_t>(c);
    if (u < '0' || u > '9' || value > (INT64_MAX - 9) / 10) break;
    value = value * 10 + (u - '0');
  }
  return value;
}

}  // namespace

void Program::SelectAll() {
  const int rows = host_.RowCount(GadgetResults);
  for (int row = 0; row < rows; ++row) host_.SetRowState(GadgetResults, row, kRowChecked);
}

void Program::SelectAllButOne() {
  const int rows = host_.RowCount(GadgetResults);
  std::int64_t previous = 0;
  for (int row = 0; row < rows; ++row) {
    std::int64_t value = GroupValue(host_.RowText(GadgetResults, row, 0));
    host_.SetRowState(GadgetResults, row, row > 0 && value == previous ? kRowChecked : 0);
    previous = value;
  }
}

void Program::ReverseSelection() {
  const int rows = host_.RowCount(GadgetResults);
  for (int row = 0; row < rows; ++row) host_.SetRowState(GadgetResults, row, 0);
}

void Program::ClearList() {
  if (host_.RowCount(GadgetResults) == 0) return;
  if (host_.Ask(BoxKind::Question, texts_.TextClearList, texts_.TextClearListQuestion) == kAnswerYes)
    host_.ClearRows(GadgetResults);
}

int Program::ConfirmDeleteFiles() {
  return host_.Ask(BoxKind::Question, TextFromAscii("Delete files?"),
                   TextFromAscii("Delete selected files from disk?"));
}

void Program::DeleteSelectedFiles() {
  // A row counts as checked by its check mark, highlighted or not.
  const int rows = host_.RowCount(GadgetResults);
  std::vector<int> deletionList;
  for (int row = 0; row < rows; ++row)
    if (host_.RowState(GadgetResults, row) & kRowChecked) deletionList.push_back(row);
  if (deletionList.empty()) return;

  host_.SetWindowEnabled(false);
  int answer;
  if (IsMac()) {
    answer = ConfirmDeleteFiles();
  } else {
    Text title = texts_.TextDeleteSelected;
    title.push_back(static_cast<Char>('?'));
    answer = host_.Ask(BoxKind::Question, title, texts_.TextDeleteQuestion);
  }
  host_.SetWindowEnabled(true);
  if (!IsMac()) host_.BringToFront();
  if (answer != kAnswerYes) return;

  // The first unchecked row of each group is the copy the user keeps. A
  // checked file goes only while it still holds that copy's bytes; a group
  // the user checked entirely goes as asked.
  std::unordered_map<Text, int> keptOfGroup;
  for (int row = 0; row < rows; ++row) {
    if (host_.RowState(GadgetResults, row) & kRowChecked) continue;
    keptOfGroup.emplace(host_.RowText(GadgetResults, row, 0), row);
  }
  for (int row : deletionList) {
    const Text path = host_.RowText(GadgetResults, row, 1);
    auto kept = keptOfGroup.find(host_.RowText(GadgetResults, row, 0));
    if (kept != keptOfGroup.end() && !StillACopyOf(path, host_.RowText(GadgetResults, kept->second, 1)))
      continue;  // kept with its row, as a failed deletion is
    files_.deleteFile(path);
  }
  // Rows of files that cannot be opened any more go, deleted here or not.
  // The path is taken as it stands: a blank at either end is part of a name,
  // and trimming it would ask about another file.
  std::vector<int> gone;
  const int left = host_.RowCount(GadgetResults);
  for (int row = 0; row < left; ++row)
    if (CanOpenFile(host_.RowText(GadgetResults, row, 1)) != 1) gone.push_back(row);
  host_.RemoveRows(GadgetResults, gone);
}

}  // namespace vantrel

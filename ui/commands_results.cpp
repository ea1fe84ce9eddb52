// The result list's commands: the three marking commands, Clear list and
// Delete selected files.

#include <memory>
#include <unordered_map>

#include "engine/file_system.hpp"
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

void Program::ToggleRowCheck(int row) {
  // A running Delete works on the rows' marks as they were when it began.
  const int rows = host_.RowCount(GadgetResults);
  if (search_.RunningJob() || row < 0 || row >= rows) return;
  const int state = host_.RowState(GadgetResults, row);
  const int mark = (state & kRowChecked) ? 0 : kRowChecked;
  if (!(state & kRowHighlighted)) {
    host_.SetRowState(GadgetResults, row, (state & ~kRowChecked) | mark);
    return;
  }
  for (int other = 0; other < rows; ++other) {
    const int bits = host_.RowState(GadgetResults, other);
    if (bits & kRowHighlighted) host_.SetRowState(GadgetResults, other, (bits & ~kRowChecked) | mark);
  }
}

void Program::ClearList() {
  // A running Delete removes rows by their numbers when it ends.
  if (search_.RunningJob() || host_.RowCount(GadgetResults) == 0) return;
  if (host_.Ask(BoxKind::Question, texts_.TextClearList, texts_.TextClearListQuestion) == kAnswerYes)
    host_.ClearRows(GadgetResults);
}

int Program::ConfirmDeleteFiles() {
  return host_.Ask(BoxKind::Question, TextFromAscii("Delete files?"),
                   TextFromAscii("Delete selected files from disk?"));
}

void Program::DeleteSelectedFiles() {
  // One long command at a time: a search or a Delete holds the worker (and
  // keeps the panel with this button disabled).
  search_.FinishStoppedJob();
  if (search_.IsAlive()) return;
  // A row counts as checked by its check mark, highlighted or not.
  const int rows = host_.RowCount(GadgetResults);
  auto request = std::make_shared<DeleteRequest>();
  for (int row = 0; row < rows; ++row)
    if (host_.RowState(GadgetResults, row) & kRowChecked) request->deletionList.push_back(row);
  if (request->deletionList.empty()) return;

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
  // the user checked entirely goes as asked. The rows cannot change while the
  // job runs (the panel is disabled), so the job works on this copy of them.
  std::unordered_map<Text, int> keptOfGroup;
  request->rowPaths.reserve(static_cast<std::size_t>(rows));
  for (int row = 0; row < rows; ++row) {
    request->rowPaths.push_back(host_.RowText(GadgetResults, row, 1));
    if (host_.RowState(GadgetResults, row) & kRowChecked) continue;
    keptOfGroup.emplace(host_.RowText(GadgetResults, row, 0), row);
  }
  for (int row : request->deletionList) {
    auto kept = keptOfGroup.find(host_.RowText(GadgetResults, row, 0));
    request->keptRow.push_back(kept != keptOfGroup.end() ? kept->second : -1);
  }
  DeleteIo io = DeleteIo::Platform();
  io.deleteFile = files_.deleteFile;
  if (files_.source) io.source = files_.source;

  // The files are compared and deleted on the worker; the bar is busy until
  // the job has sized its work and shows the first value.
  ShowBusy(true);
  Program* self = this;
  const bool started = search_.StartJob([request, io, self](SearchRun& run) {
    auto keepGoing = [&run] { return run.gate.Checkpoint(); };
    auto progress = [&run](int value) { run.Post([value](SearchWindow& w) { w.SetProgress(value); }); };
    auto held = [&run, seen = run.gate.TimesHeld()]() mutable {
      const long now = run.gate.TimesHeld();
      const bool was = now != seen;
      seen = now;
      return was;
    };
    auto outcome = std::make_shared<DeleteOutcome>(RunDelete(*request, io, keepGoing, progress, held));
    run.PostLast([self, outcome](SearchWindow&) { self->FinishDelete(*outcome); });
  });
  if (!started) {
    // No thread: the Delete runs here, as the user asked, with the window
    // waiting for it.
    FinishDelete(RunDelete(*request, io, {}, [this](int value) { SetProgress(value); }));
  }
}

void Program::FinishDelete(const DeleteOutcome& outcome) {
  // Rows of files that cannot be opened any more go, in one call.
  host_.RemoveRows(GadgetResults, outcome.goneRows);
  SetProgress(0);
  SetPanelEnabled(true);
}

}  // namespace vantrel

// Start, Pause and Stop: the window's side of the search control.

#include "ui/program.hpp"
#include "ui/spin_rules.hpp"

namespace vantrel {

std::int64_t Program::SpinValue(int gadget) { return SpinValueOfText(host_.TextOf(gadget)); }

SearchOptions Program::ReadOptions() {
  SearchOptions o;
  if (!IsMac()) {
    o.includeHidden = host_.IsChecked(GadgetHidden);
    o.includeSystem = host_.IsChecked(GadgetSystem);
  }
  o.searchSubdirectories = host_.IsChecked(GadgetSubdirs);
  o.crc32 = host_.IsChecked(GadgetCrc32);
  o.sha1 = host_.IsChecked(GadgetSha1);
  o.sizeLimit = host_.IsChecked(GadgetSizeLimit);
  if (o.sizeLimit) {
    o.minSize = static_cast<std::int32_t>(SpinValue(GadgetMinSize));
    o.maxSize = static_cast<std::int32_t>(SpinValue(GadgetMaxSize));
  }
  o.fileTypes = host_.IsChecked(GadgetFileTypes);
  if (o.fileTypes) o.fileTypesInput = host_.TextOf(GadgetFileTypesInput);
  o.highPriority = host_.IsChecked(GadgetHighPriority);
  return o;
}

void Program::Start() {
  // A Start right after a Stop of a Delete is an ordinary Start: the stopped
  // Delete takes its last steps (its rows) first.
  search_.FinishStoppedJob();
  // During a Delete, Start starts nothing and asks nothing; like a paused
  // search, a paused Delete goes on.
  if (search_.RunningJob()) {
    search_.Resume();
    ShowPauseState();
    return;
  }
  if (host_.RowCount(GadgetResults) > 0) {
    if (host_.Ask(BoxKind::Question, texts_.TextNewSearchTitle, texts_.TextNewSearchQuestion) != kAnswerYes)
      return;
    host_.ClearRows(GadgetResults);
  }
  std::vector<Text> searchList;
  const int rows = host_.RowCount(GadgetSearchList);
  for (int row = 0; row < rows; ++row) searchList.push_back(host_.RowText(GadgetSearchList, row, 0));
  // A new search shows the bar busy until the pass gives its first value: the
  // walk and the probe come first, and they have no measure.
  const bool starts = !search_.IsAlive() && !searchList.empty();
  if (starts) ShowBusy(true);
  // A live search is resumed (one pause taken away) and keeps the options it
  // started with; the Mac programs' button then shows the worker's real state.
  const SearchControl::StartResult result = search_.Start(searchList, ReadOptions());
  if (starts && result != SearchControl::StartResult::Started) ShowBusy(false);
  if (result == SearchControl::StartResult::NoDirectories)
    host_.Ask(BoxKind::Error, texts_.TextErrorTitle, texts_.TextNoDirectories);
  ShowPauseState();
}

void Program::Pause() {
  if (IsMac())
    search_.TogglePause();
  else
    search_.Pause();
  ShowPauseState();
}

void Program::Stop() {
  search_.Stop();
  ShowPauseState();
}

}  // namespace vantrel

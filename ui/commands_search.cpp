// Start, Pause and Stop: the window's side of the search control.

#include <limits>

#include "ui/program.hpp"

namespace vantrel {

std::int64_t Program::SpinValue(int gadget) {
  // A spin field holds what was typed. Blanks around a whole number are
  // ignored and the number is held to 0 .. 2147483647; any other text reads
  // as 0, that is no limit, so a typing slip never hides files.
  Text text = host_.TextOf(gadget);
  const Char blank = static_cast<Char>(' ');
  std::size_t begin = text.find_first_not_of(blank);
  if (begin == Text::npos) return 0;
  std::size_t end = text.find_last_not_of(blank) + 1;
  constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    auto c = static_cast<std::uint32_t>(text[i]);
    if (c < '0' || c > '9') return 0;
    value = std::min<std::int64_t>(kLargest, value * 10 + (c - '0'));
  }
  return value;
}

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

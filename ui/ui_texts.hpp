#pragma once
// Every text the user sees, filled once at start-up from the chosen set.

#include <string_view>

#include "engine/text.hpp"

namespace vantrel {

struct UiTexts {
  Text TextDirectory, TextBrowse, TextAdd, TextRemove, TextOptionsTab, TextResultsTab,
      TextSearchOptions, TextIncludeHidden, TextIncludeSystem, TextSubdirectories, TextFileTypes,
      TextMethod, TextOtherOptions, TextSizeLimit, TextAlwaysOnTop, TextHighPriority,
      TextColumnGroup, TextColumnFilename, TextColumnSize, TextSelectAll, TextSelectAllButOne,
      TextReverseSelection, TextClearList, TextDeleteSelected, TextDirectoryTip, TextAddTip,
      TextRemoveTip, TextSearchListTip, TextFileTypesTip, TextStartTip, TextPauseTip, TextStopTip,
      TextBrowseTitle, TextErrorTitle, TextInvalidDirectory, TextNoDirectories,
      TextNewSearchTitle, TextNewSearchQuestion, TextClearListQuestion, TextDeleteQuestion,
      TextNoDuplicates;
  Text TextWindowTitle, TextInformationTitle;
  Text TextResume;  // the Mac programs' Pause button while paused
  // The result list's context menu, and the boxes of its Open and Open
  // containing folder (the path follows on the next line).
  Text TextMenuOpen, TextMenuReveal, TextMenuCopyPath, TextMenuCheckFolder, TextMenuUncheckFolder,
      TextMenuCheckTree, TextMenuUncheckTree, TextOpenFailed, TextRevealFailed;
};

// The Windows program's English and German sets.
UiTexts EnglishTexts();
UiTexts GermanTexts();
// The Mac programs' one set: English with their own differences.
UiTexts MacTexts();

// Tells whether a language name selects the German set: its first seven
// characters, lower-cased, are "deutsch".
bool SelectsGerman(const Text& languageName);

// Returns the text of a literal given as UTF-16 code units (Latin-1 for 8-bit text).
Text TextFromUtf16(std::u16string_view text);

}  // namespace vantrel

#pragma once
// The number of every control of the main window. Commands, the layout and the
// window layers address controls by these numbers alone.

namespace vantrel {

enum Gadget : int {
  GadgetDirectoryFrame = 0,
  GadgetDirectoryLabel = 1,
  GadgetDirectoryInput = 2,
  GadgetBrowse = 3,
  GadgetSearchListFrame = 4,
  GadgetAdd = 5,
  GadgetRemove = 6,
  GadgetSearchList = 7,
  GadgetPanelFrame = 8,  // Windows program only
  GadgetPanel = 9,
  GadgetOptionsFrame = 10,  // Windows program only
  GadgetSearchOptionsFrame = 11,
  GadgetHidden = 12,  // Windows program only
  GadgetSystem = 13,  // Windows program only
  GadgetSubdirs = 14,
  GadgetOtherOptionsFrame = 15,
  GadgetProgressFrame = 16,  // Windows program only
  GadgetSizeLimit = 17,
  GadgetMaxSize = 18,
  GadgetResults = 19,
  GadgetSelectAll = 20,
  GadgetReverseSelection = 21,
  GadgetDeleteSelected = 22,
  GadgetProgress = 23,
  GadgetSearchControlFrame = 24,  // Windows program only
  GadgetStart = 25,
  GadgetPause = 26,  // the Windows program's Pause; the Mac programs use GadgetMacPause
  GadgetStop = 27,
  GadgetMaxLabel = 28,
  GadgetMinUnitLabel = 29,
  GadgetAlwaysOnTop = 30,
  GadgetHighPriority = 31,
  GadgetSelectAllButOne = 32,
  GadgetClearList = 33,
  GadgetMacPause = 34,  // the Mac programs' Pause/Resume button
  GadgetFileTypes = 35,
  GadgetFileTypesInput = 36,
  GadgetMethodLabel = 37,
  GadgetMd5 = 38,
  GadgetCrc32 = 39,
  GadgetSha1 = 40,
  GadgetMinSize = 118,
  GadgetMinLabel = 128,
  GadgetMaxUnitLabel = 129,
};

// The pages of GadgetPanel.
inline constexpr int kOptionsTab = 0;
inline constexpr int kResultsTab = 1;

}  // namespace vantrel

// The commands that build the search list, and the options that act at once.

#include "engine/file_system.hpp"
#include "ui/program.hpp"

namespace vantrel {

bool Program::IsValidDirectory(const Text& text) {
  // A folder is valid when it can be listed, and a lone character (a
  // separator, a drive letter without its colon) never is.
  bool listed = slots_.OpenListing(0, text, Text());
  slots_.CloseListing(0);
  return listed && text.size() >= 2;
}

bool Program::SameDirectory(const Text& input, const Text& row) {
  // Compared in the host's short form with one trailing separator, so long
  // and short names and a trailing separator or none name one folder. The
  // separator goes on first, as the listing puts it on: "C:" is the folder
  // the validity test listed, the drive's root, not the drive's current
  // folder. A row whose folder is gone has no short form and matches nothing.
  Text a = input;
  Text b = row;
  AddTrailingSeparator(a);
  AddTrailingSeparator(b);
  a = files_.shortPath(a);
  b = files_.shortPath(b);
  if (a.empty() || b.empty()) return false;
  AddTrailingSeparator(a);
  AddTrailingSeparator(b);
  return a == b;
}

void Program::Browse() {
  Text start = currentFolder_;
  if (!IsMac()) {
    // The chooser takes at most 259 characters, without a trailing backslash
    // unless the folder is a drive's root.
    if (start.size() > 259) start.resize(259);
    if (start.size() > 3 && start.back() == PathSeparator()) start.pop_back();
  }
  Text chosen = host_.ChooseFolder(texts_.TextBrowseTitle, start);
  if (chosen.empty()) return;
  AddTrailingSeparator(chosen);
  if (!IsValidDirectory(chosen)) {
    host_.Ask(BoxKind::Error, texts_.TextErrorTitle, texts_.TextInvalidDirectory);
    return;
  }
  host_.SetText(GadgetDirectoryInput, chosen);
  currentFolder_ = chosen;
}

void Program::Add() {
  Text input = host_.TextOf(GadgetDirectoryInput);
  if (input.empty()) return;
  if (!IsValidDirectory(input)) {
    host_.Ask(BoxKind::Error, texts_.TextErrorTitle, texts_.TextInvalidDirectory);
    return;
  }
  const int rows = host_.RowCount(GadgetSearchList);
  for (int row = 0; row < rows; ++row) {
    if (SameDirectory(input, host_.RowText(GadgetSearchList, row, 0))) {
      host_.SetText(GadgetDirectoryInput, Text());
      return;
    }
  }
  host_.SetText(GadgetDirectoryInput, Text());
  host_.AppendRow(GadgetSearchList, input);
}

void Program::Remove() {
  // One press removes one row: the first selected one.
  const int rows = host_.RowCount(GadgetSearchList);
  for (int row = 0; row < rows; ++row) {
    if (host_.RowState(GadgetSearchList, row) & kRowHighlighted) {
      host_.RemoveRow(GadgetSearchList, row);
      return;
    }
  }
}

void Program::SizeLimitToggle() {
  const bool on = host_.IsChecked(GadgetSizeLimit);
  host_.SetEnabled(GadgetMinSize, on);
  host_.SetEnabled(GadgetMaxSize, on);
}

void Program::MinimumFollows() {
  std::int64_t minimum = SpinValue(GadgetMinSize);
  if (minimum > SpinValue(GadgetMaxSize)) host_.SetValue(GadgetMaxSize, minimum);
}

void Program::FileTypesToggle() { host_.SetEnabled(GadgetFileTypesInput, host_.IsChecked(GadgetFileTypes)); }

void Program::AlwaysOnTop() { host_.SetAlwaysOnTop(host_.IsChecked(GadgetAlwaysOnTop)); }

}  // namespace vantrel

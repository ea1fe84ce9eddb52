// The commands that build the search list, and the options that act at once.

#include "engine/file_system.hpp"
#include "ui/chooser_rules.hpp"
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
  Text chosen = ChooserAnswer(host_.ChooseFolder(texts_.TextBrowseTitle, ChooserStartFolder(currentFolder_, flavour_)));
  if (chosen.empty()) return;
  if (!IsValidDirectory(chosen)) {
    host_.Ask(BoxKind::Error, texts_.TextErrorTitle, texts_.TextInvalidDirectory);
    return;
  }
  host_.SetText(GadgetDirectoryInput, chosen);
  currentFolder_ = chosen;
}

Program::AddOutcome Program::AddToSearchList(const Text& folder) {
  if (!IsValidDirectory(folder)) {
    host_.Ask(BoxKind::Error, texts_.TextErrorTitle, texts_.TextInvalidDirectory);
    return AddOutcome::Invalid;
  }
  const int rows = host_.RowCount(GadgetSearchList);
  for (int row = 0; row < rows; ++row)
    if (SameDirectory(folder, host_.RowText(GadgetSearchList, row, 0))) return AddOutcome::Duplicate;
  host_.AppendRow(GadgetSearchList, folder);
  return AddOutcome::Added;
}

void Program::Add() {
  Text input = host_.TextOf(GadgetDirectoryInput);
  if (input.empty()) return;
  // An invalid folder stays in the field for the user to correct.
  if (AddToSearchList(input) != AddOutcome::Invalid) host_.SetText(GadgetDirectoryInput, Text());
}

void Program::OnDrop(const std::vector<Text>& paths) {
  // Each dropped folder goes in as Add takes a typed one, with the same
  // boxes; a dropped file brings its folder. The directory input keeps what
  // the user was typing.
  if (ended_) return;
  for (const Text& path : paths) {
    if (path.empty()) continue;
    Text folder = path;
    if (FileSizeOf(path) >= 0) {
      const std::size_t last = folder.find_last_of(PathSeparator());
      if (last == Text::npos) continue;  // a bare name names no folder
      folder.resize(last + 1);
    }
    AddToSearchList(folder);
  }
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

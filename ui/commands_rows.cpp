// The commands a person gives on one row of the result list: open its file,
// show its folder, copy its path, and check or uncheck the duplicates in its
// folder; and the context menu that offers them.

#include <unordered_map>

#include "engine/file_system.hpp"
#include "ui/program.hpp"
#include "ui/row_paths.hpp"

namespace vantrel {

Text Program::RowPath(int row) { return ShownPath(host_.RowText(GadgetResults, row, 1), flavour_); }

namespace {

// The box text: the message, then the path on a line of its own.
Text WithPath(const Text& message, const Text& path) {
  Text text = message;
  text.push_back(static_cast<Char>('\n'));
  text += path;
  return text;
}

}  // namespace

void Program::OpenRow(int row) {
  if (row < 0 || row >= host_.RowCount(GadgetResults)) return;
  const Text path = RowPath(row);
  if (!host_.OpenFile(path)) host_.Ask(BoxKind::Error, texts_.TextErrorTitle, WithPath(texts_.TextOpenFailed, path));
}

void Program::RevealRow(int row) {
  if (row < 0 || row >= host_.RowCount(GadgetResults)) return;
  const Text path = RowPath(row);
  if (!host_.RevealFile(path))
    host_.Ask(BoxKind::Error, texts_.TextErrorTitle, WithPath(texts_.TextRevealFailed, path));
}

void Program::CopyRowPath(int row) {
  if (row < 0 || row >= host_.RowCount(GadgetResults)) return;
  host_.CopyToClipboard(RowPath(row));
}

void Program::CheckByFolder(int row, bool orBelow) { MarkByFolder(row, orBelow, true); }

void Program::UncheckByFolder(int row, bool orBelow) { MarkByFolder(row, orBelow, false); }

void Program::MarkByFolder(int row, bool orBelow, bool check) {
  // A running Delete works on the rows' marks as they were when it began.
  const int rows = host_.RowCount(GadgetResults);
  if (search_.RunningJob() || row < 0 || row >= rows) return;
  // Rows may name one folder by different paths (a search folder reached
  // through a link or written with "..", another case or a short name on
  // Windows): each row's folder is taken as the file system reaches it, so
  // "uncheck everything in here" misses no file that lies here. A folder that
  // cannot be reached any more is taken as its rows spell it.
  std::unordered_map<Text, FolderKey> keys;
  auto keyOf = [&](int r) -> const FolderKey& {
    const Text path = ShownPath(host_.RowText(GadgetResults, r, 1), flavour_);
    const Text spelled = FolderTextOf(path, flavour_);
    auto it = keys.find(spelled);
    if (it != keys.end()) return it->second;
    Text real = spelled.empty() || !files_.realFolder ? Text() : files_.realFolder(spelled);
    // The host writes the folder with its own separator, which every
    // flavour's comparison takes as '/'.
    for (Char& c : real)
      if (c == PathSeparator()) c = static_cast<Char>('/');
    return keys.emplace(spelled, real.empty() ? FolderOfFile(path, flavour_) : FolderKeyOf(real, flavour_))
        .first->second;
  };
  const FolderKey folder = keyOf(row);
  std::vector<bool> inFolder(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) inFolder[static_cast<std::size_t>(r)] = FolderWithin(keyOf(r), folder, orBelow);
  if (!check) {
    for (int r = 0; r < rows; ++r) {
      if (!inFolder[static_cast<std::size_t>(r)]) continue;
      const int state = host_.RowState(GadgetResults, r);
      if (state & kRowChecked) host_.SetRowState(GadgetResults, r, state & ~kRowChecked);
    }
    return;
  }
  // Never the last copy: a group whose every unchecked file lies in the
  // folder keeps its first such file (in the group's order) unchecked. A
  // group is the rows with one group text, as Delete takes them.
  struct Group {
    int keep = -1;          // the first unchecked row in the folder
    bool keptElsewhere = false;  // an unchecked row outside the folder
  };
  std::unordered_map<Text, Group> groups;
  for (int r = 0; r < rows; ++r) {
    if (host_.RowState(GadgetResults, r) & kRowChecked) continue;
    Group& g = groups[host_.RowText(GadgetResults, r, 0)];
    if (!inFolder[static_cast<std::size_t>(r)])
      g.keptElsewhere = true;
    else if (g.keep < 0)
      g.keep = r;
  }
  for (int r = 0; r < rows; ++r) {
    if (!inFolder[static_cast<std::size_t>(r)]) continue;
    const int state = host_.RowState(GadgetResults, r);
    if (state & kRowChecked) continue;
    const Group& g = groups[host_.RowText(GadgetResults, r, 0)];
    if (!g.keptElsewhere && g.keep == r) continue;
    host_.SetRowState(GadgetResults, r, state | kRowChecked);
  }
}

std::vector<Text> Program::RowMenuEntries() const {
  return {texts_.TextMenuOpen,         texts_.TextMenuReveal,        texts_.TextMenuCopyPath,
          Text(),                      texts_.TextMenuCheckFolder,   texts_.TextMenuUncheckFolder,
          texts_.TextMenuCheckTree,    texts_.TextMenuUncheckTree};
}

void Program::RowMenu(int row) {
  if (row < 0 || row >= host_.RowCount(GadgetResults)) return;
  const Text path = host_.RowText(GadgetResults, row, 1);
  const int choice = host_.ChooseFromMenu(GadgetResults, row, RowMenuEntries());
  // The menu ran its own loop: a Delete that ended meanwhile may have taken
  // the row, and the entry then acts on nothing.
  if (ended_ || row >= host_.RowCount(GadgetResults) || host_.RowText(GadgetResults, row, 1) != path) return;
  switch (choice) {
    case MenuOpen: OpenRow(row); break;
    case MenuReveal: RevealRow(row); break;
    case MenuCopyPath: CopyRowPath(row); break;
    case MenuCheckFolder: CheckByFolder(row, false); break;
    case MenuUncheckFolder: UncheckByFolder(row, false); break;
    case MenuCheckTree: CheckByFolder(row, true); break;
    case MenuUncheckTree: UncheckByFolder(row, true); break;
    default: break;
  }
}

}  // namespace vantrel

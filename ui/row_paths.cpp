#include "ui/row_paths.hpp"

#include "engine/file_system.hpp"

namespace vantrel {
namespace {

bool IsSeparator(Char c, SearchFlavour flavour) {
  return c == static_cast<Char>('/') || (flavour == SearchFlavour::Windows && c == static_cast<Char>('\\'));
}

bool StartsWith(const Text& text, const char* ascii) {
  const Text prefix = TextFromAscii(ascii);
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

Text ShownPath(const Text& path, SearchFlavour flavour) {
  if (flavour != SearchFlavour::Windows) return path;
  if (StartsWith(path, "\\\\?\\UNC\\")) return TextFromAscii("\\\\") + path.substr(8);
  // Only a drive's long form: "\\?\Volume{...}" has no shorter name.
  if (StartsWith(path, "\\\\?\\") && path.size() >= 6 && path[5] == static_cast<Char>(':')) return path.substr(4);
  return path;
}

FolderKey FolderOfFile(const Text& path, SearchFlavour flavour) {
  const Text shown = ShownPath(path, flavour);
  FolderKey key;
  std::size_t at = 0;
  while (at < shown.size() && IsSeparator(shown[at], flavour)) ++at;
  key.root = static_cast<int>(std::min<std::size_t>(at, flavour == SearchFlavour::Windows ? 2 : 1));
  std::size_t begin = at;
  for (; at <= shown.size(); ++at) {
    if (at < shown.size() && !IsSeparator(shown[at], flavour)) continue;
    if (at > begin) {
      Text name = shown.substr(begin, at - begin);
      // ".." leaves the folder before it: "/a/empty/../other" is not below
      // "/a/empty". (Where the folder still exists, the caller has the file
      // system resolve it instead, links included.)
      if (name == TextFromAscii("..")) {
        if (!key.names.empty()) key.names.pop_back();
      } else if (name != TextFromAscii(".")) {
        key.names.push_back(flavour == SearchFlavour::Windows ? LowerCaseText(name) : std::move(name));
      }
    }
    begin = at + 1;
  }
  // The last name is the file's own, unless the path ended in a separator.
  const bool endsInSeparator = !shown.empty() && IsSeparator(shown.back(), flavour);
  if (!endsInSeparator && !key.names.empty()) key.names.pop_back();
  return key;
}

Text FolderTextOf(const Text& path, SearchFlavour flavour) {
  for (std::size_t at = path.size(); at > 0; --at)
    if (IsSeparator(path[at - 1], flavour)) return path.substr(0, at);
  return Text();
}

FolderKey FolderKeyOf(Text folder, SearchFlavour flavour) {
  if (folder.empty() || !IsSeparator(folder.back(), flavour))
    folder.push_back(static_cast<Char>(flavour == SearchFlavour::Windows ? '\\' : '/'));
  return FolderOfFile(folder, flavour);
}

bool FolderWithin(const FolderKey& inner, const FolderKey& outer, bool orBelow) {
  if (inner.root != outer.root || inner.names.size() < outer.names.size()) return false;
  if (!orBelow && inner.names.size() != outer.names.size()) return false;
  for (std::size_t i = 0; i < outer.names.size(); ++i)
    if (inner.names[i] != outer.names[i]) return false;
  return true;
}

}  // namespace vantrel

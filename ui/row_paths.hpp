#pragma once
// How the program reads the path of a result row (its column 1) for the row
// commands: the form shown to the user and handed to the host, and the folder
// the file lies in, compared part by part so that "/a/b" holds "/a/b/x" but
// not "/a/bc/x". The Windows program compares without regard to case and takes
// '\' and '/' alike, as its file system does; the Mac programs compare exactly.

#include <vector>

#include "engine/search_run.hpp"
#include "engine/text.hpp"

namespace vantrel {

// The path as the user knows it: the Windows program drops the "\\?\" prefix of
// a long form ("\\?\C:\x" is "C:\x", "\\?\UNC\srv\share\x" is "\\srv\share\x");
// every other path, and every path in the Mac programs, stays as it is.
Text ShownPath(const Text& path, SearchFlavour flavour);

// A folder as the row commands compare it: how the path began (no separator,
// one, or two for a Windows network path) and its names, in the form the
// comparison takes (lower-cased on Windows); "." names are left out and a ".."
// name takes the name before it away.
struct FolderKey {
  int root = 0;
  std::vector<Text> names;
  friend bool operator==(const FolderKey&, const FolderKey&) = default;
};

// The folder the file at path lies in.
FolderKey FolderOfFile(const Text& path, SearchFlavour flavour);
// The text of that folder: path up to and with its last separator; empty when
// path has none.
Text FolderTextOf(const Text& path, SearchFlavour flavour);
// The key of a folder given by its own path (with or without a trailing
// separator).
FolderKey FolderKeyOf(Text folder, SearchFlavour flavour);

// Tells whether inner is outer itself or, with orBelow, a folder below it.
bool FolderWithin(const FolderKey& inner, const FolderKey& outer, bool orBelow);

}  // namespace vantrel

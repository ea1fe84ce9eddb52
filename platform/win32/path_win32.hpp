#pragma once
// How the Win32 layer hands a path to the system. Every file call (listing,
// attributes, open, identity, delete, short path) takes the "\\?\" form, so
// the system uses the names exactly as the walk found them: without it
// Windows trims a trailing "." or " " from the last name, and "d\foo." would
// reach "d\foo". The texts the user sees never change; only the call does.

#include <cstddef>

#include "engine/text.hpp"

namespace vantrel {

// The longest path text the program takes, in characters. One rule
// everywhere: a longer text is no file and no directory to any call, as the
// listing and FileSizeOf say (Windows' own MAX_PATH also counts the
// terminating NUL, so without the "\\?\" form it stops one character earlier).
constexpr std::size_t kPathLimit = 260;

// The "\\?\" form of path ("\\?\UNC\server\share\..." for "\\server\share\..."):
// "/" read as "\", "." and ".." segments resolved, repeated separators merged,
// every name kept as written, a trailing separator kept. A relative path is
// resolved against the current directory first. A path already in a "\\?\"
// or "\\.\" form is returned unchanged. Empty when the path is empty, longer
// than kPathLimit, or names no place (a lone "\\server").
Text ExtendedPathOf(const Text& path);

// The "\\?\" form of a directory's path as CreateFileW opens the directory:
// without the separators the walk ends it with, a root ("\\?\C:\",
// "\\?\UNC\server\share\") keeping its own. Empty as ExtendedPathOf.
Text DirectoryOpenPathOf(const Text& path);

// A path from a "\\?\" call back in its usual form ("\\?\C:\x" as "C:\x",
// "\\?\UNC\s\h\x" as "\\s\h\x"); other texts unchanged.
Text PlainPathOf(const Text& path);

}  // namespace vantrel

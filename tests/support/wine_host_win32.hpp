#pragma once
// What Win32 tests under Wine make the host's way, because Win32 itself
// cannot: under Wine the program is a Linux process, so a Linux symbolic link
// stands for a directory link (Wine lists it as a plain directory, with no
// reparse bit), and a Linux rename makes a second name that differs from an
// existing one only in case. Each call is false when not under Wine.

#include <string>
#include <vector>

#include "engine/text.hpp"

namespace vantrel::testing {

// Tells whether the program runs under Wine.
bool UnderWine();

// Renames from to newName inside directory with the kernel's rename(2).
bool RenameByHost(const Text& from, const Text& directory, const std::string& newName);

// Makes a symbolic link at link that leads to target, with symlink(2).
bool SymlinkByHost(const Text& target, const Text& link);

// Removes a file or a symbolic link (never its target) with unlink(2).
bool RemoveByHost(const Text& path);

// Removes the host links it holds when it goes, so that a tree's own removal
// never walks through them.
struct HostLinks {
  std::vector<Text> links;
  ~HostLinks() {
    for (const Text& link : links) RemoveByHost(link);
  }
  bool Add(const Text& target, const Text& link) {
    if (!SymlinkByHost(target, link)) return false;
    links.push_back(link);
    return true;
  }
};

}  // namespace vantrel::testing

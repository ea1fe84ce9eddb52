#pragma once
// An HDROP as the shell makes it for WM_DROPFILES: DROPFILES, then the paths,
// each ended by a NUL, and one more NUL. The window that takes the message
// frees it (DragFinish).

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "engine/text.hpp"

namespace vantrel::testing {

// Returns the drop's memory, or null when it cannot be had.
inline HGLOBAL MakeDrop(const std::vector<Text>& paths) {
  std::size_t characters = 1;
  for (const Text& path : paths) characters += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
  if (!memory) return nullptr;
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* at = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
  for (const Text& path : paths) {
    std::copy(path.begin(), path.end(), at);
    at += path.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

}  // namespace vantrel::testing

// Text and path conventions on Win32. Text is UTF-16 (wchar_t) as the wide API
// takes it, so paths need no conversion; bytes mean UTF-8, used by tools and
// tests that speak bytes. A lone surrogate has no UTF-8 form and becomes U+FFFD.
// The "\\?\" form the file calls take is made here too (path_win32.hpp).

#include <windows.h>

#include <climits>
#include <vector>

#include "engine/file_system.hpp"
#include "platform/win32/path_win32.hpp"

namespace vantrel {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The end of the segment that starts at from.
std::size_t SegmentEnd(const Text& path, std::size_t from) {
  while (from < path.size() && !IsSeparator(path[from])) ++from;
  return from;
}

// Joins root (ending in "\\") and the segments of rest, resolving "." and "..";
// ".." never climbs above the root.
Text JoinSegments(Text root, const Text& rest) {
  std::vector<Text> segments;
  for (std::size_t at = 0; at < rest.size();) {
    std::size_t end = SegmentEnd(rest, at);
    Text segment = rest.substr(at, end - at);
    if (segment == L"..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != L".") {
      segments.push_back(std::move(segment));
    }
    at = end + 1;
  }
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) root.push_back(L'\\');
    root += segments[i];
  }
  if (!segments.empty() && !rest.empty() && IsSeparator(rest.back())) root.push_back(L'\\');
  return root;
}

// The "\\?\" form of a full path ("X:\..." or "\\server\share..."); empty for
// any other text.
Text ExtendFullPath(const Text& path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]))
    return JoinSegments(Text(L"\\\\?\\") + path.substr(0, 2) + L"\\", path.substr(3));
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::size_t serverEnd = SegmentEnd(path, 2);
    std::size_t shareEnd = serverEnd < path.size() ? SegmentEnd(path, serverEnd + 1) : serverEnd;
    if (serverEnd == 2 || shareEnd <= serverEnd + 1) return Text();
    Text root = L"\\\\?\\UNC\\" + path.substr(2, serverEnd - 2) + L"\\" +
                path.substr(serverEnd + 1, shareEnd - serverEnd - 1) + L"\\";
    return JoinSegments(root, shareEnd < path.size() ? path.substr(shareEnd + 1) : Text());
  }
  return Text();
}

// The full path of a text that holds no name of the user's ("." or "X:" or
// "\\"), so that the system's own trimming has nothing to trim.
Text FullPathOf(const wchar_t* base) {
  wchar_t buffer[MAX_PATH * 4];
  DWORD length = GetFullPathNameW(base, MAX_PATH * 4, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH * 4) return Text();
  return Text(buffer, length);
}

}  // namespace

Text ExtendedPathOf(const Text& path) {
  if (path.empty() || path.size() > kPathLimit) return Text();
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
      (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3]))
    return path;
  Text full = ExtendFullPath(path);
  if (!full.empty() || (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])))
    return full;
  // Relative: only the base comes from the system, the user's names follow as written.
  Text base;
  std::size_t rest = 0;
  if (path.size() >= 2 && path[1] == L':') {
    const wchar_t drive[] = {path[0], L':', L'\0'};
    base = FullPathOf(drive);
    rest = 2;
  } else if (IsSeparator(path[0])) {
    base = FullPathOf(L"\\");
    rest = 1;
  } else {
    base = FullPathOf(L".");
  }
  if (base.empty()) return Text();
  if (!IsSeparator(base.back())) base.push_back(L'\\');
  return ExtendFullPath(base + path.substr(rest));
}

Text PlainPathOf(const Text& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
  if (path.size() >= 6 && path.compare(0, 4, L"\\\\?\\") == 0 && path[5] == L':') return path.substr(4);
  return path;
}

Char PathSeparator() { return L'\\'; }

int AddTrailingSeparator(Text& path) {
  if (path.empty() || path.back() != L'\\') path.push_back(L'\\');
  return 1;
}

Text LowerCaseText(const Text& text) {
  Text out = text;
  if (!out.empty() && out.size() <= MAXDWORD)
    CharLowerBuffW(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

std::string SystemBytesFromText(const Text& text) {
  if (text.empty() || text.size() > INT_MAX / 3) return std::string();
  const int units = static_cast<int>(text.size());
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string out(static_cast<std::size_t>(length), '\0');
  length = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, out.data(), length, nullptr, nullptr);
  out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return out;
}

Text TextFromSystemBytes(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return Text();
  const int count = static_cast<int>(bytes.size());
  int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), count, nullptr, 0);
  if (length <= 0) return Text();
  Text out(static_cast<std::size_t>(length), L'\0');
  length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), count, out.data(), length);
  out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return out;
}

Text DirectoryOpenPathOf(const Text& path) {
  Text target = ExtendedPathOf(path);
  // The length of the root, its separator included: 7 for "\\?\C:\", up
  // to the share's separator for "\\?\UNC\server\share\"; the whole
  // text for any other form, which is then taken as it is.
  std::size_t keep = target.size();
  if (target.size() >= 7 && target[5] == L':') {
    keep = 7;
  } else if (target.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    std::size_t server = target.find(L'\\', 8);
    std::size_t share = server == Text::npos ? Text::npos : target.find(L'\\', server + 1);
    if (share != Text::npos) keep = share + 1;
  }
  while (target.size() > keep && target.back() == L'\\') target.pop_back();
  return target;
}

}  // namespace vantrel

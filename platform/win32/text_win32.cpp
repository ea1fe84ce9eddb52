// Text and path conventions on Win32. Text is UTF-16 (wchar_t) as the wide API
// takes it, so paths need no conversion; bytes mean UTF-8, used by tools and
// tests that speak bytes. A lone surrogate has no UTF-8 form and becomes U+FFFD.

#include <windows.h>

#include <climits>

#include "engine/file_system.hpp"

namespace vantrel {

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

}  // namespace vantrel

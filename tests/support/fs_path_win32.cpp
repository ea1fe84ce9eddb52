#include <windows.h>

#include "tests/support/temp_tree.hpp"
#include "tests/support/wine_host_win32.hpp"

namespace vantrel::testing {

// Text is wchar_t on Windows, the native path type itself.
std::filesystem::path FsPath(const Text& text) { return std::filesystem::path(text); }

Text TextOf(const std::filesystem::path& path) { return path.native(); }

namespace {

using UnixNameOf = char*(CDECL*)(LPCWSTR);

UnixNameOf WineUnixNameOf() {
  FARPROC exported = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  return exported ? reinterpret_cast<UnixNameOf>(reinterpret_cast<void (*)()>(exported)) : nullptr;
}

// The host's name of a Windows path; "" when there is none. The parent must
// exist; the last name need not.
std::string UnixPathOf(const Text& path) {
  UnixNameOf unixName = WineUnixNameOf();
  if (!unixName) return "";
  char* name = unixName(path.c_str());
  std::string out = name ? name : "";
  HeapFree(GetProcessHeap(), 0, name);
  return out;
}

// A two-argument Linux system call on x86-64.
long HostCall(long number, const char* first, const char* second) {
  long result = number;
  asm volatile("syscall" : "+a"(result) : "D"(first), "S"(second) : "rcx", "r11", "memory");
  return result;
}

constexpr long kLinuxRename = 82;
constexpr long kLinuxUnlink = 87;
constexpr long kLinuxSymlink = 88;

}  // namespace

bool UnderWine() { return WineUnixNameOf() != nullptr; }

bool RenameByHost(const Text& from, const Text& directory, const std::string& newName) {
  std::string source = UnixPathOf(from);
  std::string target = UnixPathOf(directory);
  if (source.empty() || target.empty()) return false;
  target += "/" + newName;
  return HostCall(kLinuxRename, source.c_str(), target.c_str()) == 0;
}

bool SymlinkByHost(const Text& target, const Text& link) {
  std::string to = UnixPathOf(target);
  std::string at = UnixPathOf(link);
  if (to.empty() || at.empty()) return false;
  return HostCall(kLinuxSymlink, to.c_str(), at.c_str()) == 0;
}

bool RemoveByHost(const Text& path) {
  std::string at = UnixPathOf(path);
  return !at.empty() && HostCall(kLinuxUnlink, at.c_str(), nullptr) == 0;
}

}  // namespace vantrel::testing

// The Win32 file system layer with real trees under Wine: hidden and system
// bits, the 260-character limit, drives, share modes, non-ASCII and case-only
// names, hard links.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "engine/directory_walk.hpp"
#include "engine/file_system.hpp"
#include "engine/fingerprint.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

using testing::Bytes;
using testing::RelativeTo;
using testing::Sorted;
using testing::WalkTree;
using testing::T;
using testing::TempTree;

// Closes a handle the test opened when the case ends, however it ends.
struct Handle {
  HANDLE h;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

// The name of one entry directly below the root whose full path has exactly
// length characters, or "" when the root is too long to make one.
std::string NameForPathLength(const TempTree& tree, std::size_t length) {
  std::size_t root = tree.PathOf("").size() + 1;  // and its separator
  if (length <= root || length - root > 255) return "";
  return std::string(length - root, 'n');
}

TEST(Win32Text, ConvertsBetweenUtf16AndUtf8) {
  struct Case {
    std::string utf8;
    std::wstring utf16;
  } cases[] = {
      {"", L""},
      {"plain.txt", L"plain.txt"},
      {"Gr\xc3\xb6\xc3\x9f" "e.txt", L"Gr\u00f6\u00dfe.txt"},
      {"\xe6\x97\xa5\xe6\x9c\xac", L"\u65e5\u672c"},
      {"\xf0\x9f\x98\x80", L"\xd83d\xde00"},  // beyond 16 bits: a surrogate pair
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextFromSystemBytes(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(SystemBytesFromText(c.utf16), c.utf8) << c.utf8;
  }
  EXPECT_EQ(LowerCaseText(L"JPG \u00c4\u00d6 Png"), L"jpg \u00e4\u00f6 png");
}

TEST(Win32Attributes, AdmissionFollowsTheHiddenAndSystemBits) {
  TempTree tree({{"plain.txt", "1"}, {"hidden.txt", "2"}, {"system.txt", "3"}, {"both.txt", "4"}});
  ASSERT_TRUE(SetFileAttributesW(tree.PathOf("hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesW(tree.PathOf("system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(SetFileAttributesW(tree.PathOf("both.txt").c_str(),
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ScanList scanned = WalkTree(tree);
  ASSERT_EQ(scanned.size(), 4u);
  // A file that vanished after the walk: its attributes cannot be read.
  scanned.push_back(tree.PathOf("gone.txt"));
  EXPECT_EQ(FileAttributesOf(tree.PathOf("gone.txt")), 0xFFFFFFFFu);

  struct Case {
    const char* code;
    std::vector<std::string> admitted;
  } cases[] = {
      {"00", {"plain.txt"}},
      {"10", {"hidden.txt", "plain.txt"}},
      {"01", {"plain.txt", "system.txt"}},
      {"11", {"both.txt", "gone.txt", "hidden.txt", "plain.txt", "system.txt"}},
  };
  for (const auto& c : cases) {
    CandidateList candidates;
    AdmitByAttributes(scanned, 0, T(c.code), candidates);
    EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), candidates)), c.admitted) << c.code;
  }
}

TEST(Win32Listing, SearchTextOfMoreThan260CharactersIsRefused) {
  TempTree tree;
  struct Case {
    std::size_t searchLength;  // directory, its separator and the pattern
    bool directoryEndsInSeparator;
    const char* pattern;
    bool opens;
  } cases[] = {
      {260, false, "*.*", true},
      {261, false, "*.*", false},
      {260, true, "*.*", true},  // no second separator is added
      {261, true, "*.*", false},
      {260, false, "", true},    // an empty pattern means "*.*"
      {261, false, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.searchLength << " " << c.directoryEndsInSeparator << " '"
                                    << c.pattern << "'");
    std::string name = NameForPathLength(tree, c.searchLength - 4);
    ASSERT_FALSE(name.empty()) << "temporary directory too long for this case";
    tree.Add({name + "/", ""});
    Text directory = tree.PathOf(name);
    if (c.directoryEndsInSeparator) directory.push_back(L'\\');
    ListingSlots slots;
    EXPECT_EQ(slots.OpenListing(0, directory, T(c.pattern)), c.opens);
    EXPECT_EQ(slots.IsListingOpen(0), c.opens);
    EXPECT_EQ(slots.NextListingEntry(0), c.opens ? 1 : 0);  // "." at least
  }
}

TEST(Win32Listing, TheOpensOwnEntryComesFirstAndNothingMatchingIsAnEmptyListing) {
  TempTree tree({{"dir/a.txt", "1"}, {"dir/b.txt", "2"}, {"dir/c.bin", "3"}});
  struct Case {
    const wchar_t* pattern;
    std::vector<std::string> names;
  } cases[] = {
      {L"a.txt", {"a.txt"}},  // the open finds the only entry itself
      {L"*.txt", {"a.txt", "b.txt"}},
      {L"*.none", {}},
  };
  ListingSlots slots;
  for (const auto& c : cases) {
    SCOPED_TRACE(Bytes(c.pattern));
    ASSERT_TRUE(slots.OpenListing(0, tree.PathOf("dir"), c.pattern));
    EXPECT_TRUE(slots.IsListingOpen(0));
    std::vector<std::string> names;
    while (slots.NextListingEntry(0) == 1) {
      EXPECT_EQ(slots.ListingEntryKind(0), 1);
      names.push_back(Bytes(slots.ListingEntryName(0)));
    }
    EXPECT_EQ(Sorted(names), c.names);
    EXPECT_EQ(slots.NextListingEntry(0), 0);  // and stays at the end
    EXPECT_EQ(slots.ListingEntryKind(0), 0);
    EXPECT_TRUE(slots.IsListingOpen(0));
  }
}

TEST(Win32Listing, AFailedOpenLeavesTheSlotHoldingNothing) {
  TempTree tree({{"dir/a.txt", "1"}});
  ListingSlots slots;
  ASSERT_TRUE(slots.OpenListing(1, tree.PathOf("dir"), L"*.*"));
  ASSERT_EQ(slots.NextListingEntry(1), 1);
  for (const char* what : {"missing", "dir/a.txt"}) {
    EXPECT_FALSE(slots.OpenListing(1, tree.PathOf(what), L"*.*")) << what;
    EXPECT_FALSE(slots.IsListingOpen(1)) << what;
    EXPECT_EQ(slots.NextListingEntry(1), 0) << what;
    EXPECT_EQ(slots.ListingEntryKind(1), 0) << what;
  }
}

TEST(Win32FileSize, DrivesSeparatorsAndThe260CharacterLimit) {
  TempTree tree({{"dir/", ""}, {"three", "abc"}});
  std::string at260 = NameForPathLength(tree, 260);
  std::string at261 = NameForPathLength(tree, 261);
  ASSERT_FALSE(at260.empty() || at261.empty()) << "temporary directory too long for this case";
  tree.Add({at260, "seven!!"});
  tree.Add({at261, "seven!!"});
  ASSERT_EQ(tree.PathOf(at261).size(), 261u);

  // A drive letter that names no drive here.
  wchar_t unused = 0;
  DWORD drives = GetLogicalDrives();
  for (int i = 25; i >= 0 && !unused; --i)
    if (!(drives & (1u << i))) unused = static_cast<wchar_t>(L'A' + i);
  ASSERT_NE(unused, 0);

  struct Case {
    Text path;
    std::int64_t size;
  } cases[] = {
      {L"C:", -2},
      {L"C:\\", -2},
      {Text{unused, L':'}, -1},
      {Text{unused, L':', L'\\'}, -1},
      // A volume root named through a path that begins with two backslashes
      // has no directory entry, but its attributes say directory.
      {L"\\\\?\\C:\\", -2},
      {L"\\\\?\\" + tree.PathOf("missing"), -1},
      // Too long for a drive name, and without the network prefix the
      // attributes are not asked: "C:" has no entry of its own under Wine.
      {L"C:\\\\", -1},
      {tree.PathOf("dir") + L"\\\\\\", -2},  // every trailing separator goes
      {tree.PathOf("three") + L"\\", 3},
      {tree.PathOf(at260), 7},
      {tree.PathOf(at261), -1},  // the file exists, but its path is too long
  };
  for (const auto& c : cases) EXPECT_EQ(FileSizeOf(c.path), c.size) << Bytes(c.path);
}

TEST(Win32Files, FilesHeldOpenForWritingCannotBeOpenedForReading) {
  TempTree tree({{"f.txt", "abc"}});
  Text path = tree.PathOf("f.txt");
  struct Case {
    const char* holder;
    DWORD access;
    DWORD share;
    int canOpen;
  } cases[] = {
      {"writer sharing nothing", GENERIC_WRITE, 0, 0},
      {"writer sharing reads", GENERIC_WRITE, FILE_SHARE_READ, 0},
      {"writer sharing reads and writes", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0},
      {"reader sharing reads", GENERIC_READ, FILE_SHARE_READ, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.holder);
    {
      Handle held{CreateFileW(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)};
      ASSERT_NE(held.h, INVALID_HANDLE_VALUE);
      EXPECT_EQ(CanOpenFile(path), c.canOpen);
      FileReader reader;
      EXPECT_EQ(reader.Open(path), c.canOpen == 1);
      EXPECT_EQ(Md5FileText(path).empty(), c.canOpen == 0);
    }
    EXPECT_EQ(CanOpenFile(path), 1);  // once the holder lets go
  }
}

TEST(Win32Files, DeviceNamesInADirectoryAreNotFiles) {
  TempTree tree({{"dir/", ""}});
  // "nul" anywhere in a path opens the null device, whose reads end at once.
  for (const char* name : {"nul", "NUL.txt"}) {
    Text path = tree.PathOf(std::string("dir/") + name);
    EXPECT_EQ(CanOpenFile(path), 0) << name;
    FileReader reader;
    EXPECT_FALSE(reader.Open(path)) << name;
  }
}

TEST(Win32Files, HardLinksShareOneIdentityAndCopiesDoNot) {
  TempTree tree({{"a.txt", "same"}, {"copy.txt", "same"}, {"dir/", ""}});
  ASSERT_TRUE(CreateHardLinkW(tree.PathOf("link.txt").c_str(), tree.PathOf("a.txt").c_str(), nullptr));
  FileIdentity a = FileIdentityOf(tree.PathOf("a.txt"));
  ASSERT_TRUE(a.known);
  struct Case {
    const char* other;
    bool same;
  } cases[] = {{"link.txt", true}, {"A.TXT", true}, {"copy.txt", false}, {"dir", false}};
  for (const auto& c : cases) {
    FileIdentity other = FileIdentityOf(tree.PathOf(c.other));
    EXPECT_TRUE(other.known) << c.other;
    EXPECT_EQ(other == a, c.same) << c.other;
  }
  EXPECT_FALSE(FileIdentityOf(tree.PathOf("missing.txt")).known);
  // A file that another program holds open, sharing nothing, still has an identity.
  Handle held{CreateFileW(tree.PathOf("a.txt").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)};
  ASSERT_NE(held.h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileIdentityOf(tree.PathOf("a.txt")), a);
}

TEST(Win32Names, NonAsciiNamesAreFoundAndRead) {
  struct Case {
    std::string name;
    std::string contents;
    const char* md5;
  } cases[] = {
      {"Gr\xc3\xb6\xc3\x9f" "e.txt", "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"sub/\xe6\x97\xa5\xe6\x9c\xac.txt", "a", "0cc175b9c0f1b6a831c399e269772661"},
      {"\xf0\x9f\x98\x80/x.bin", "", "d41d8cd98f00b204e9800998ecf8427e"},
  };
  TempTree tree;
  for (const auto& c : cases) tree.Add({c.name, c.contents});
  ScanList found = WalkTree(tree);
  std::vector<std::string> names;
  for (const auto& c : cases) names.push_back(c.name);
  ASSERT_EQ(Sorted(RelativeTo(tree.RootText(), found)), Sorted(names));
  for (const auto& c : cases) {
    Text path = tree.PathOf(c.name);
    ASSERT_NE(std::find(found.begin(), found.end(), path), found.end()) << c.name;
    EXPECT_EQ(Bytes(Md5FileText(path)), c.md5) << c.name;
    EXPECT_EQ(FileSizeOf(path), static_cast<std::int64_t>(c.contents.size())) << c.name;
  }
  // The 16-bit name is the letters themselves, not their UTF-8 bytes.
  EXPECT_EQ(tree.PathOf(cases[0].name).substr(tree.RootText().size()), L"Gr\u00f6\u00dfe.txt");
}

// Wine runs this program as a Linux process, and its own name lookup ignores
// case even with POSIX semantics. So a second name that differs from an
// existing one only in case is made the host's way: the kernel's rename(2) on
// the host's paths. Returns false when not under Wine or the rename failed.
bool RenameByHost(const Text& from, const Text& directory, const std::string& newName) {
  FARPROC exported = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  if (!exported) return false;
  auto unixName = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(reinterpret_cast<void (*)()>(exported));
  auto unixPath = [&](const Text& path) {
    char* name = unixName(path.c_str());
    std::string out = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return out;
  };
  std::string source = unixPath(from);
  std::string target = unixPath(directory);
  if (source.empty() || target.empty()) return false;
  target += "/" + newName;
  long result = 82;  // x86-64 Linux: rename
  asm volatile("syscall"
               : "+a"(result)
               : "D"(source.c_str()), "S"(target.c_str())
               : "rcx", "r11", "memory");
  return result == 0;
}

TEST(Win32Names, NamesThatDifferOnlyInCaseAreTwoFiles) {
  TempTree tree({{"Name.txt", "upper"}, {"staged", "lower!"}});
  if (!GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"))
    GTEST_SKIP() << "not under Wine: no host rename to make a second name differing in case";
  ASSERT_TRUE(RenameByHost(tree.PathOf("staged"), tree.PathOf(""), "name.txt"));
  ScanList found = WalkTree(tree);
  std::vector<std::string> names = RelativeTo(tree.RootText(), found);
  ASSERT_EQ(Sorted(names), Sorted({"Name.txt", "name.txt"}));
  // The walk's exact names reach each file's own contents.
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(FileSizeOf(found[i]), names[i] == "Name.txt" ? 5 : 6) << names[i];
    EXPECT_EQ(Bytes(Md5FileText(found[i])), names[i] == "Name.txt"
                                                ? "0122b4c2c01ee1c698ecc309d2b8eb5a"   // upper
                                                : "a089ba5244b6bb7ef400a6d19012eaaf")  // lower!
        << names[i];
  }
  EXPECT_NE(FileIdentityOf(found[0]), FileIdentityOf(found[1]));
}

}  // namespace
}  // namespace vantrel

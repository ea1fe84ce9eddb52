// The Win32 file system layer with real trees under Wine: hidden and system
// bits, the 260-character limit, drives, share modes, non-ASCII and case-only
// names and names ending in a dot or space, hard links, directory links, file
// ids, deleting, short paths and the CNG providers.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "engine/directory_walk.hpp"
#include "engine/file_system.hpp"
#include "engine/fingerprint.hpp"
#include "platform/win32/digest_cng_win32.hpp"
#include "platform/win32/file_id_win32.hpp"
#include "platform/win32/path_win32.hpp"
#include "tests/support/temp_tree.hpp"
#include "tests/support/wine_host_win32.hpp"

namespace vantrel {
namespace {

using testing::Bytes;
using testing::RelativeTo;
using testing::Sorted;
using testing::WalkTree;
using testing::T;
using testing::TempTree;
using testing::HostLinks;
using testing::RenameByHost;
using testing::UnderWine;

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

TEST(Win32Listing, EveryEntryListsWhatAPatternMatchingEveryNameLists) {
  // "*.*" reads the open directory, any other pattern goes to FindFirstFileW
  // ("?*" matches every name): both name the same folder and the same entries,
  // a drive given without its separator being that drive's root. ("." and
  // ".." come as each call gives them, and every caller passes over them: at
  // a drive's root FindFirstFileW leaves them out, and under Wine the
  // directory's own reading gives ".".)
  TempTree tree({{"dir/a.txt", "1"}, {"dir/no dot", "2"}, {"dir/sub/c", "3"}, {"dir/empty/", ""}});
  wchar_t previous[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
  auto entries = [](const Text& directory, const wchar_t* pattern) {
    ListingSlots slots;
    std::vector<std::string> names;
    if (!slots.OpenListing(0, directory, pattern)) return std::vector<std::string>{"<not listed>"};
    while (slots.NextListingEntry(0) == 1) {
      const std::string name = Bytes(slots.ListingEntryName(0));
      if (name != "." && name != "..") names.push_back(name + (slots.ListingEntryKind(0) == 2 ? "/" : ""));
    }
    return Sorted(names);
  };
  for (const Text& directory : {tree.PathOf("dir"), tree.PathOf("dir") + L"\\", tree.PathOf("dir/empty"),
                                Text(L"C:"), Text(L"C:\\")}) {
    SCOPED_TRACE(Bytes(directory));
    const std::vector<std::string> every = entries(directory, L"*.*");
    EXPECT_EQ(every, entries(directory, L"?*"));
    EXPECT_EQ(every, entries(directory, L""));
    const bool driveRoot = directory == L"C:" || directory == L"C:\\";
    EXPECT_EQ(std::find(every.begin(), every.end(), "windows/") != every.end(), driveRoot);
  }
  EXPECT_EQ(entries(tree.PathOf("dir"), L"*.*"), (std::vector<std::string>{"a.txt", "empty/", "no dot", "sub/"}));
  SetCurrentDirectoryW(previous);
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

// Wine's own name lookup ignores case even with POSIX semantics, so a second
// name that differs from an existing one only in case is made the host's way.
TEST(Win32Names, NamesThatDifferOnlyInCaseAreTwoFiles) {
  TempTree tree({{"Name.txt", "upper"}, {"staged", "lower!"}});
  if (!UnderWine())
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

// Writes a file through its "\\?\" form: the only way Win32 makes a name that
// ends in a dot or a space.
bool WriteExactly(const Text& path, const std::string& contents) {
  Handle h{CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr)};
  DWORD written = 0;
  return h.h != INVALID_HANDLE_VALUE &&
         WriteFile(h.h, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
         written == contents.size();
}

std::string ContentsOf(const Text& path) {
  std::string out;
  FileReader reader;
  if (!reader.Open(path)) return "<unreadable>";
  char buffer[64];
  for (std::int64_t got; (got = reader.Read(buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<std::size_t>(got));
  return out;
}

TEST(Win32Paths, EveryCallTakesTheExtendedFormWithTheNamesAsWritten) {
  wchar_t cwd[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, cwd), 0u);
  Text here = L"\\\\?\\" + Text(cwd);
  if (here.back() != L'\\') here.push_back(L'\\');
  struct Case {
    Text path;
    Text extended;
  } cases[] = {
      {L"C:\\a\\b.txt", L"\\\\?\\C:\\a\\b.txt"},
      {L"C:\\a\\foo.", L"\\\\?\\C:\\a\\foo."},  // the dot and the space stay
      {L"C:\\a \\foo ", L"\\\\?\\C:\\a \\foo "},
      {L"c:/a//b/./c/../d.", L"\\\\?\\c:\\a\\b\\d."},
      {L"C:\\dir\\", L"\\\\?\\C:\\dir\\"},  // a trailing separator stays
      {L"C:\\", L"\\\\?\\C:\\"},
      {L"C:\\..\\x", L"\\\\?\\C:\\x"},  // never above the root
      {L"\\\\server\\share\\x\\y.", L"\\\\?\\UNC\\server\\share\\x\\y."},
      {L"\\\\server\\share", L"\\\\?\\UNC\\server\\share\\"},
      {L"\\\\server", L""},  // no share: no place
      {L"\\\\?\\C:\\x.", L"\\\\?\\C:\\x."},  // already extended
      {L"rel\\foo.", here + L"rel\\foo."},  // the base resolved, the names kept
      {L"", L""},
      {L"C:\\" + Text(257, L'n'), L"\\\\?\\C:\\" + Text(257, L'n')},  // 260 characters
      {L"C:\\" + Text(258, L'n'), L""},                           // 261 characters
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedPathOf(c.path), c.extended) << Bytes(c.path);

  // And back, for what the system answers in the extended form.
  struct Back {
    Text extended;
    Text plain;
  } backs[] = {
      {L"\\\\?\\C:\\a\\foo.", L"C:\\a\\foo."},
      {L"\\\\?\\UNC\\server\\share\\x", L"\\\\server\\share\\x"},
      {L"C:\\a", L"C:\\a"},
      {L"\\\\.\\nul", L"\\\\.\\nul"},
  };
  for (const auto& b : backs) EXPECT_EQ(PlainPathOf(b.extended), b.plain) << Bytes(b.extended);
}

TEST(Win32Names, ANameEndingInADotOrASpaceIsItsOwnFile) {
  TempTree tree({{"d/foo", "plain"}, {"d/other", "dot!"}});
  ASSERT_TRUE(WriteExactly(tree.PathOf("d/foo."), "dot!"));
  ASSERT_TRUE(WriteExactly(tree.PathOf("d/foo "), "space!!"));
  // The hazard itself: without the "\\?\" form Windows, and Wine, trim the
  // name, and "d\foo." reaches "d\foo".
  WIN32_FILE_ATTRIBUTE_DATA legacy;
  ASSERT_TRUE(GetFileAttributesExW(tree.PathOf("d/foo.").c_str(), GetFileExInfoStandard, &legacy));
  EXPECT_EQ(legacy.nFileSizeLow, 5u) << "the trimmed name reads foo";

  ScanList found = WalkTree(tree);
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), found)),
            Sorted({"d/foo", "d/foo.", "d/foo ", "d/other"}));
  struct Case {
    const char* name;
    std::string contents;
  } cases[] = {{"d/foo", "plain"}, {"d/foo.", "dot!"}, {"d/foo ", "space!!"}};
  for (const auto& c : cases) {
    Text path = tree.PathOf(c.name);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CanOpenFile(path), 1);
    EXPECT_EQ(FileSizeOf(path), static_cast<std::int64_t>(c.contents.size()));
    EXPECT_EQ(ContentsOf(path), c.contents);
    EXPECT_EQ(FileAttributesOf(path) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(FileIdentityOf(path).known);
  }
  EXPECT_NE(FileIdentityOf(tree.PathOf("d/foo.")), FileIdentityOf(tree.PathOf("d/foo")));
  EXPECT_EQ(Md5FileText(tree.PathOf("d/foo.")), Md5FileText(tree.PathOf("d/other")));

  // Deleting either never touches foo.
  for (const char* name : {"d/foo.", "d/foo "}) {
    EXPECT_TRUE(DeleteFileAt(tree.PathOf(name))) << name;
    EXPECT_EQ(CanOpenFile(tree.PathOf(name)), 0) << name;
    EXPECT_EQ(ContentsOf(tree.PathOf("d/foo")), "plain") << name;
  }
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), WalkTree(tree))), Sorted({"d/foo", "d/other"}));
}

TEST(Win32Paths, TheLimitOf260CharactersHoldsForEveryCall) {
  // Windows without the "\\?\" form opens a file path of 259 characters but
  // not one of 260 (MAX_PATH counts the terminating NUL); Wine opens all three.
  // With the "\\?\" form and the program's own limit, both find the files of
  // 259 and 260 characters and drop the one of 261: no size, not readable.
  TempTree tree;
  for (std::size_t length : {259u, 260u, 261u}) {
    SCOPED_TRACE(length);
    std::string name = NameForPathLength(tree, length);
    ASSERT_FALSE(name.empty()) << "temporary directory too long for this case";
    tree.Add({name, "seven!!"});
    Text path = tree.PathOf(name);
    ASSERT_EQ(path.size(), length);
    bool inside = length <= 260;
    EXPECT_EQ(FileSizeOf(path), inside ? 7 : -1);
    EXPECT_EQ(CanOpenFile(path), inside ? 1 : 0);
    FileReader reader;
    EXPECT_EQ(reader.Open(path), inside);
    EXPECT_EQ(Md5FileText(path).empty(), !inside);
    EXPECT_EQ(FileIdentityOf(path).known, inside);
    EXPECT_EQ(FileAttributesOf(path) == INVALID_FILE_ATTRIBUTES, !inside);
    reader.Close();
    EXPECT_EQ(DeleteFileAt(path), inside);
    EXPECT_EQ(std::filesystem::exists(std::filesystem::path(path)), !inside);
  }
}

TEST(Win32Identity, DirectoriesHaveOneIdentityHoweverTheyAreNamed) {
  TempTree tree({{"a/x", "1"}, {"b/", ""}});
  FileIdentity a = FileIdentityOf(tree.PathOf("a"));
  ASSERT_TRUE(a.known);
  EXPECT_EQ(FileIdentityOf(tree.PathOf("a") + L"\\"), a);
  EXPECT_EQ(FileIdentityOf(tree.PathOf("a/x/..")), a);
  EXPECT_EQ(FileIdentityOf(tree.PathOf("A")), a);
  EXPECT_NE(FileIdentityOf(tree.PathOf("b")), a);
  EXPECT_NE(FileIdentityOf(tree.PathOf("a/x")), a);
  EXPECT_TRUE(FileIdentityOf(L"C:\\").known);  // a volume root keeps its separator
}

// The id query's answer for every file while a case runs.
FileId128 forcedId;
bool ForcedIdQuery(void*, FileId128& out) {
  out = forcedId;
  return true;
}
bool NoIdQuery(void*, FileId128&) { return false; }

struct RestoreFileIdQuery {
  ~RestoreFileIdQuery() { SetFileIdQueryForTesting(nullptr); }
};

TEST(Win32Identity, AnIdOfZeroOrAllOnesGivesWayToThePathAndThe64BitIndexServesWhenThereIsNo128) {
  TempTree tree({{"a.txt", "same"}, {"copy.txt", "same"}, {"dir/", ""}});
  ASSERT_TRUE(CreateHardLinkW(tree.PathOf("link.txt").c_str(), tree.PathOf("a.txt").c_str(), nullptr));
  RestoreFileIdQuery restore;
  for (bool wide : {true, false}) {
    SCOPED_TRACE(wide ? "128-bit id" : "64-bit index");
    SetFileIdQueryForTesting(wide ? nullptr : NoIdQuery);
    FileIdentity a = FileIdentityOf(tree.PathOf("a.txt"));
    ASSERT_TRUE(a.known);
    EXPECT_EQ(FileIdentityOf(tree.PathOf("link.txt")), a);
    EXPECT_NE(FileIdentityOf(tree.PathOf("copy.txt")), a);
    EXPECT_NE(FileIdentityOf(tree.PathOf("dir")), a);
    FileReader reader;
    ASSERT_TRUE(reader.Open(tree.PathOf("link.txt")));
    EXPECT_EQ(reader.Identity(), a);
    if (!wide) {
      EXPECT_EQ(a.indexHigh, 0u);
    }
  }

  struct Case {
    const char* what;
    std::uint8_t low, high;  // every byte of the id's two halves
    bool usable;
  } cases[] = {
      {"zero", 0x00, 0x00, false},
      {"all ones", 0xFF, 0xFF, false},
      {"ones in the low half only", 0xFF, 0x00, true},
      {"zero in the low half only", 0x00, 0x01, true},
  };
  SetFileIdQueryForTesting(ForcedIdQuery);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    forcedId.volume = 7;
    std::memset(forcedId.id, c.low, 8);
    std::memset(forcedId.id + 8, c.high, 8);
    // An id that is no id gives way to the identity of the file's path.
    const std::uint64_t volume = c.usable ? 7 : kPathIdentityVolume;
    for (const char* name : {"a.txt", "dir"}) {
      FileIdentity id = FileIdentityOf(tree.PathOf(name));
      EXPECT_TRUE(id.known) << name;
      EXPECT_EQ(id.volume, volume) << name;
    }
    FileReader reader;
    ASSERT_TRUE(reader.Open(tree.PathOf("a.txt")));
    EXPECT_TRUE(reader.Identity().known);
    EXPECT_EQ(reader.Identity().volume, volume);
    EXPECT_EQ(reader.Identity(), FileIdentityOf(tree.PathOf("a.txt")));
    if (c.usable) {
      EXPECT_EQ(reader.Identity().indexHigh, 0x0101010101010101u * c.high);
    }
  }
}

bool ZeroIdQuery(void*, FileId128& out) {
  out = FileId128{};
  out.volume = 1;
  return true;
}

TEST(Win32Identity, WithoutUsableIdsTheFinalPathIsTheIdentity) {
  // On a volume that reports every id as 0 a file is known by the path the
  // system resolves it to: every spelling of it and every link to it is that
  // file, and any other file, a hard link among them, is another.
  TempTree tree({{"a.txt", "same"}, {"copy.txt", "same"}, {"dir/x", "1"}, {"other/", ""}});
  ASSERT_TRUE(CreateHardLinkW(tree.PathOf("hard.txt").c_str(), tree.PathOf("a.txt").c_str(), nullptr));
  HostLinks links;
  const bool linked = UnderWine();
  if (linked) {
    ASSERT_TRUE(links.Add(tree.PathOf("a.txt"), tree.PathOf("link.txt")));
    ASSERT_TRUE(links.Add(tree.PathOf("dir"), tree.PathOf("other/up")));
  }
  RestoreFileIdQuery restore;
  SetFileIdQueryForTesting(ZeroIdQuery);
  const FileIdentity file = FileIdentityOf(tree.PathOf("a.txt"));
  const FileIdentity dir = FileIdentityOf(tree.PathOf("dir"));
  ASSERT_TRUE(file.known);
  ASSERT_EQ(file.volume, kPathIdentityVolume);
  struct Case {
    const char* path;
    const FileIdentity* same;  // null: another identity than both
    bool needsLinks;
  } cases[] = {
      {"A.TXT", &file, false},           {"dir/../a.txt", &file, false},
      {"link.txt", &file, true},         {"DIR/", &dir, false},
      {"other/up", &dir, true},          {"other/UP/", &dir, true},
      {"copy.txt", nullptr, false},      {"hard.txt", nullptr, false},
      {"dir/x", nullptr, false},         {"other", nullptr, false},
  };
  for (const Case& c : cases) {
    if (c.needsLinks && !linked) continue;
    SCOPED_TRACE(c.path);
    FileIdentity id = FileIdentityOf(tree.PathOf(c.path));
    EXPECT_TRUE(id.known);
    if (c.same) {
      EXPECT_EQ(id, *c.same);
    } else {
      EXPECT_NE(id, file);
      EXPECT_NE(id, dir);
    }
  }
  // The reader of a file knows it by the same identity, whatever name opened it.
  for (const char* name : {"a.txt", "A.TXT", linked ? "link.txt" : "a.txt"}) {
    FileReader reader;
    ASSERT_TRUE(reader.Open(tree.PathOf(name))) << name;
    EXPECT_EQ(reader.Identity(), file) << name;
  }
  EXPECT_FALSE(FileIdentityOf(tree.PathOf("missing.txt")).known);
}

TEST(Win32Listing, EveryEntryTellsTheIdentityThatOpeningTheFileWould) {
  // The probe takes a file's identity, and the walk a subdirectory's, from the
  // directory's listing instead of asking the open file; the two must be one
  // identity, or a hard link would be shown as a copy of itself and a link to
  // an ancestor would be walked again.
  TempTree tree({{"dir/a.txt", "same"}, {"dir/copy.txt", "same"}, {"dir/sub/b.txt", "b"}});
  ASSERT_TRUE(CreateHardLinkW(tree.PathOf("dir/link.txt").c_str(), tree.PathOf("dir/a.txt").c_str(), nullptr));
  RestoreFileIdQuery restore;
  for (bool wide : {true, false}) {
    SCOPED_TRACE(wide ? "128-bit id" : "64-bit index");
    SetFileIdQueryForTesting(wide ? nullptr : NoIdQuery);
    const FileIdentity dir = FileIdentityOf(tree.PathOf("dir"));
    ASSERT_TRUE(dir.known);
    ListingSlots slots;
    ASSERT_TRUE(slots.OpenListing(0, tree.PathOf("dir"), L"*.*"));
    std::map<std::string, FileIdentity> listed;
    while (slots.NextListingEntry(0) == 1) {
      const ListingSlots::EntryFacts facts = slots.ListingEntryFacts(0);
      EXPECT_TRUE(facts.known);
      EXPECT_EQ((facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, slots.ListingEntryKind(0) == 2);
      const std::string name = Bytes(slots.ListingEntryName(0));
      if (name != "." && name != "..") listed[name] = ListedIdentityOf(dir, facts);
    }
    EXPECT_FALSE(slots.ListingEntryFacts(0).known);  // past the end
    ASSERT_EQ(listed.size(), 4u);  // a subdirectory too: the walk takes its identity from here
    for (const auto& [name, id] : listed) {
      EXPECT_TRUE(id.known) << name;
      EXPECT_EQ(id, FileIdentityOf(tree.PathOf("dir/" + name))) << name;
      if (name == "sub") continue;
      FileProbe probe = ProbeListedFile(tree.PathOf("dir/" + name), id);
      EXPECT_TRUE(probe.readable) << name;
      EXPECT_EQ(probe.size, 4) << name;
      EXPECT_EQ(probe.identity, id) << name;
    }
    EXPECT_EQ(listed["link.txt"], listed["a.txt"]);
    EXPECT_NE(listed["copy.txt"], listed["a.txt"]);
  }

  // Where the listing cannot stand for the file, it tells no identity and the
  // file is asked: a link (its own id is not its target's), an id that is no
  // id, a directory of unknown identity, one on a volume of 128-bit ids or of
  // path identities.
  SetFileIdQueryForTesting(nullptr);
  const FileIdentity dir = FileIdentityOf(tree.PathOf("dir"));
  struct Case {
    const char* what;
    FileIdentity directory;
    ListingSlots::EntryFacts facts;
  } cases[] = {
      {"no facts", dir, {}},
      {"a link", dir, {true, FILE_ATTRIBUTE_REPARSE_POINT, 77}},
      {"id zero", dir, {true, 0, 0}},
      {"id all ones", dir, {true, 0, ~std::uint64_t{0}}},
      {"directory unknown", {}, {true, 0, 77}},
      {"128-bit volume", {true, dir.volume, dir.index, 5}, {true, 0, 77}},
      {"path identities", {true, kPathIdentityVolume, 1, 0}, {true, 0, 77}},
  };
  for (const auto& c : cases) EXPECT_FALSE(ListedIdentityOf(c.directory, c.facts).known) << c.what;
  EXPECT_EQ(ListedIdentityOf(dir, {true, FILE_ATTRIBUTE_ARCHIVE, 77}), (FileIdentity{true, dir.volume, 77, 0}));

  // A listing by pattern tells names only; a file gone since it was listed
  // is not readable.
  ListingSlots slots;
  ASSERT_TRUE(slots.OpenListing(0, tree.PathOf("dir"), L"*.txt"));
  ASSERT_EQ(slots.NextListingEntry(0), 1);
  EXPECT_FALSE(slots.ListingEntryFacts(0).known);
  EXPECT_FALSE(ProbeListedFile(tree.PathOf("dir/missing.txt"), dir).readable);
}

TEST(Win32Listing, ManyEntriesOddNamesAndFilesListAsTheFilesThemselvesWould) {
  // More entries than one query of the directory returns, names of one
  // character, of odd lengths, outside the basic plane, and ending in a dot
  // or a space: each is listed once, with the identity the file itself gives.
  TempTree tree({{"dir/", ""}, {"file.txt", "x"}});
  std::vector<Text> names;
  for (int i = 0; i < 400; ++i) names.push_back(Text(170 + (i % 7), static_cast<wchar_t>(L'a' + i % 26)) + std::to_wstring(i));
  names.push_back(L"z");
  names.push_back(L"\U0001F600\u00e9");
  names.push_back(L"dot.");
  names.push_back(L"space ");
  for (const Text& name : names) {
    Text path = ExtendedPathOf(tree.PathOf("dir") + L"\\" + name);
    ASSERT_FALSE(path.empty()) << Bytes(name);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << Bytes(name);
    CloseHandle(h);
  }
  const FileIdentity dir = FileIdentityOf(tree.PathOf("dir"));
  ASSERT_TRUE(dir.known);
  ListingSlots slots;
  ASSERT_TRUE(slots.OpenListing(0, tree.PathOf("dir"), L"*.*"));
  std::map<Text, int> seen;
  int entries = 0;
  while (slots.NextListingEntry(0) == 1) {
    ASSERT_LT(++entries, 10000) << "the listing does not end";
    const Text name = slots.ListingEntryName(0);
    if (name == L"." || name == L"..") continue;
    ++seen[name];
    const FileIdentity listed = ListedIdentityOf(dir, slots.ListingEntryFacts(0));
    const FileIdentity own = FileIdentityOf(tree.PathOf("dir") + L"\\" + name);
    EXPECT_TRUE(listed.known) << Bytes(name);
    EXPECT_EQ(listed, own) << Bytes(name);
  }
  EXPECT_EQ(seen.size(), names.size());
  for (const Text& name : names) EXPECT_EQ(seen[name], 1) << Bytes(name);

  // A file is no directory: it lists nothing, and the slot is free again.
  EXPECT_FALSE(slots.OpenListing(0, tree.PathOf("file.txt"), L"*.*"));
  EXPECT_FALSE(slots.IsListingOpen(0));
  EXPECT_FALSE(slots.OpenListing(0, tree.PathOf("missing"), L"*.*"));
  // The tree's own removal does not take names ending in a dot or a space.
  for (const Text& name : names) DeleteFileW(ExtendedPathOf(tree.PathOf("dir") + L"\\" + name).c_str());
}

TEST(Win32Listing, ALinkListedAsAPlainFileGivesItsTargetsIdentity) {
  if (!UnderWine()) GTEST_SKIP() << "the links are made as Linux symbolic links";
  // Under Wine a Linux symbolic link lists as a plain file or directory with
  // no reparse bit. Whatever its listing tells, the identity taken from it is
  // the one the file reached through the link gives, or none: a target on
  // the same file system and one on another (/dev/shm is tmpfs).
  TempTree tree({{"dir/target", "same"}, {"dir/sub/x", "1"}});
  const std::filesystem::path elsewhere =
      std::filesystem::path("/dev/shm") / ("vantrel-listing-" + std::to_string(GetCurrentProcessId()));
  const Text elsewhereText = L"Z:" + elsewhere.wstring();
  Text elsewhereWin = elsewhereText;
  std::replace(elsewhereWin.begin(), elsewhereWin.end(), L'/', L'\\');
  ASSERT_TRUE(CreateDirectoryW(elsewhereWin.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  struct Cleanup {
    Text dir;
    ~Cleanup() {
      DeleteFileW((dir + L"\\far").c_str());
      DeleteFileW((dir + L"\\d\\y").c_str());
      RemoveDirectoryW((dir + L"\\d").c_str());
      RemoveDirectoryW(dir.c_str());
    }
  } cleanup{elsewhereWin};
  {
    HANDLE h = CreateFileW((elsewhereWin + L"\\far").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "same", 4, &written, nullptr);
    CloseHandle(h);
    ASSERT_TRUE(CreateDirectoryW((elsewhereWin + L"\\d").c_str(), nullptr));
  }
  HostLinks links;
  ASSERT_TRUE(links.Add(tree.PathOf("dir/target"), tree.PathOf("dir/near")));
  ASSERT_TRUE(links.Add(elsewhereWin + L"\\far", tree.PathOf("dir/far")));
  ASSERT_TRUE(links.Add(tree.PathOf("dir/sub"), tree.PathOf("dir/nearsub")));
  ASSERT_TRUE(links.Add(elsewhereWin + L"\\d", tree.PathOf("dir/farsub")));
  const FileIdentity dir = FileIdentityOf(tree.PathOf("dir"));
  ASSERT_TRUE(dir.known);
  ListingSlots slots;
  ASSERT_TRUE(slots.OpenListing(0, tree.PathOf("dir"), L"*.*"));
  int links_seen = 0;
  while (slots.NextListingEntry(0) == 1) {
    const Text name = slots.ListingEntryName(0);
    if (name == L"." || name == L"..") continue;
    const FileIdentity listed = ListedIdentityOf(dir, slots.ListingEntryFacts(0));
    const FileIdentity own = FileIdentityOf(tree.PathOf("dir") + L"\\" + name + L"\\");
    ASSERT_TRUE(own.known) << Bytes(name);
    if (listed.known) {
      EXPECT_EQ(listed, own) << Bytes(name) << " volume " << listed.volume << " / " << own.volume;
    }
    if (name == L"near" || name == L"far" || name == L"nearsub" || name == L"farsub") ++links_seen;
  }
  EXPECT_EQ(links_seen, 4);
}

TEST(Win32Walk, DirectoryLinksToTheDirectoryItselfOrAnAncestorDoNotLoop) {
  if (!UnderWine()) GTEST_SKIP() << "the links are made as Linux symbolic links";
  // Under Wine a Linux symbolic link to a directory lists as a plain directory,
  // as a junction or a directory link lists on Windows (there with the reparse
  // bit, which the walk does not need). A self-link and two links to an ancestor.
  TempTree tree({{"a/x", "1"}, {"a/b/y", "2"}, {"a/b/c/z", "3"}});
  HostLinks links;
  ASSERT_TRUE(links.Add(tree.PathOf("a"), tree.PathOf("a/self")));
  ASSERT_TRUE(links.Add(tree.PathOf("a"), tree.PathOf("a/b/up")));
  ASSERT_TRUE(links.Add(tree.PathOf("a"), tree.PathOf("a/b/c/up")));
  EXPECT_EQ(FileSizeOf(tree.PathOf("a/b/up")), -2);
  EXPECT_EQ(FileIdentityOf(tree.PathOf("a/b/up\\")), FileIdentityOf(tree.PathOf("a")));

  ListingSlots slots;
  ScanList found;
  WalkedDirectories walked;
  WalkControl control;
  control.walked = &walked;
  ScanDirectoryTree(slots, found, tree.RootText(), 0, control);
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), found)), Sorted({"a/x", "a/b/y", "a/b/c/z"}));
  for (int depth = 0; depth < 8; ++depth) EXPECT_FALSE(slots.IsListingOpen(depth)) << depth;

  // Entered through a link, the walk lists the tree once under the link's name.
  found.clear();
  WalkedDirectories again;
  control.walked = &again;
  ScanDirectoryTree(slots, found, tree.PathOf("a/b/up"), 0, control);
  EXPECT_EQ(Sorted(RelativeTo(tree.PathOf("a/b/up") + L"\\", found)), Sorted({"x", "b/y", "b/c/z"}));
}

TEST(Win32Walk, DirectoryLinksEndTheWalkOnAVolumeWithoutUsableFileIds) {
  if (!UnderWine()) GTEST_SKIP() << "the links are made as Linux symbolic links";
  // A share or a volume that reports every file id as 0 still has junctions
  // and directory links. With no identity to go by, two links to an ancestor
  // must not make the walk run until the paths reach 260 characters: that is
  // some 2^100 directories, a search that never ends.
  TempTree tree({{"a/x", "1"}, {"a/b/y", "2"}});
  HostLinks links;
  ASSERT_TRUE(links.Add(tree.PathOf("a"), tree.PathOf("a/up")));
  ASSERT_TRUE(links.Add(tree.PathOf("a"), tree.PathOf("a/b/up")));
  RestoreFileIdQuery restore;
  SetFileIdQueryForTesting(ZeroIdQuery);
  ASSERT_EQ(FileIdentityOf(tree.PathOf("a")).volume, kPathIdentityVolume) << "the id was used";

  ListingSlots slots;
  ScanList found;
  WalkedDirectories walked;
  WalkControl control;
  control.walked = &walked;
  // A bound on the entries looked at, so that the case itself ends: the tree
  // has eight entries.
  int entries = 0;
  bool cutOff = false;
  control.keepGoing = [&] {
    if (++entries > 5000) cutOff = true;
    return !cutOff;
  };
  ScanDirectoryTree(slots, found, tree.PathOf("a"), 0, control);
  EXPECT_FALSE(cutOff) << "the walk was still going after " << entries << " entries, with "
                       << found.size() << " file paths found";
  EXPECT_LE(found.size(), 2u);
}

TEST(Win32Delete, DeletesAFileButNotAReadOnlyOneADirectoryOrNothing) {
  TempTree tree({{"plain", "1"}, {"readonly", "2"}, {"dir/", ""}});
  ASSERT_TRUE(SetFileAttributesW(tree.PathOf("readonly").c_str(), FILE_ATTRIBUTE_READONLY));
  struct Case {
    const char* name;
    bool deleted;
  } cases[] = {{"plain", true}, {"readonly", false}, {"dir", false}, {"missing", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(DeleteFileAt(tree.PathOf(c.name)), c.deleted) << c.name;
    EXPECT_EQ(FileSizeOf(tree.PathOf(c.name)) != -1, c.name != std::string("plain") &&
                                                         c.name != std::string("missing"))
        << c.name;
  }
  EXPECT_EQ(ContentsOf(tree.PathOf("readonly")), "2");
  SetFileAttributesW(tree.PathOf("readonly").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32ShortPath, ALongNameHasAShortFormAndAMissingPathNone) {
  TempTree tree({{"a long directory name/a long file name.text", "x"}, {"short/", ""}});
  Text longFile = tree.PathOf("a long directory name/a long file name.text");
  Text shortFile = ShortPathOf(longFile);
  ASSERT_FALSE(shortFile.empty());
  EXPECT_NE(shortFile, longFile);
  EXPECT_NE(shortFile.substr(0, 4), L"\\\\?\\") << "the caller's own form comes back";
  EXPECT_EQ(FileIdentityOf(shortFile), FileIdentityOf(longFile));
  // One directory, however it is spelt, has one short form.
  Text dir = tree.PathOf("a long directory name");
  EXPECT_EQ(ShortPathOf(dir), ShortPathOf(ShortPathOf(dir)));
  Text shortDir = ShortPathOf(tree.PathOf("short"));
  EXPECT_EQ(shortDir.substr(shortDir.size() - 6), L"\\short");  // a short name is its own short form
  EXPECT_EQ(ShortPathOf(tree.PathOf("missing")), L"");
  EXPECT_EQ(ShortPathOf(L""), L"");
}

// An opener that fails as a policy or a broken provider would, counting its calls.
int failedOpens = 0;
long FailingOpener(void**, const wchar_t*) {
  ++failedOpens;
  return static_cast<long>(0xC0000001L);  // STATUS_UNSUCCESSFUL
}

TEST(Win32Digest, AProviderThatFailedToOpenIsTriedAgainOnTheNextUse) {
  TempTree tree({{"abc", "abc"}});
  Text path = tree.PathOf("abc");
  ForgetProvidersForTesting();
  SetProviderOpenerForTesting(FailingOpener);
  failedOpens = 0;
  EXPECT_EQ(Md5FileText(path), L"");
  EXPECT_EQ(Sha1FileText(path), L"");
  EXPECT_EQ(Md5FileText(path), L"");
  EXPECT_GE(failedOpens, 3) << "every use asks the system again";
  SetProviderOpenerForTesting(nullptr);
  EXPECT_EQ(Bytes(Md5FileText(path)), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Bytes(Sha1FileText(path)), "a9993e364706816aba3e25717850c26c9cd0d89d");
  // Once open, a provider stays open: a later failure of the opener changes nothing.
  SetProviderOpenerForTesting(FailingOpener);
  failedOpens = 0;
  EXPECT_EQ(Bytes(Md5FileText(path)), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(failedOpens, 0);
  SetProviderOpenerForTesting(nullptr);
}

}  // namespace
}  // namespace vantrel

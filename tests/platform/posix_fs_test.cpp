// The POSIX file system layer with real trees: symbolic links, names in any
// bytes, special files, permissions and read failures.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "engine/directory_walk.hpp"
#include "engine/file_system.hpp"
#include "engine/fingerprint.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::RelativeTo;
using testing::Sorted;
using testing::WalkTree;
using testing::T;
using testing::TempTree;

TEST(PosixWalk, SymbolicLinksAreFilesAndAreNeverDescendedInto) {
  TempTree tree({{"real/data.txt", "abc"}, {"other/x", "1"}});
  fs::create_symlink(tree.Root() / "real" / "data.txt", tree.Root() / "link-to-file");
  fs::create_directory_symlink(tree.Root() / "other", tree.Root() / "link-to-dir");
  fs::create_symlink(tree.Root() / "nowhere", tree.Root() / "dangling");
  ScanList found = WalkTree(tree);
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), found)),
            Sorted({"real/data.txt", "other/x", "link-to-file", "link-to-dir", "dangling"}));

  // A link reads and measures as its target; a link to a directory or to
  // nothing is not a readable file.
  EXPECT_EQ(CanOpenFile(tree.PathOf("link-to-file")), 1);
  EXPECT_EQ(FileSizeOf(tree.PathOf("link-to-file")), 3);
  EXPECT_EQ(Md5FileText(tree.PathOf("link-to-file")), Md5FileText(tree.PathOf("real/data.txt")));
  EXPECT_EQ(FileIdentityOf(tree.PathOf("link-to-file")), FileIdentityOf(tree.PathOf("real/data.txt")));
  EXPECT_EQ(CanOpenFile(tree.PathOf("link-to-dir")), 0);
  EXPECT_EQ(FileSizeOf(tree.PathOf("link-to-dir")), -2);
  EXPECT_EQ(CanOpenFile(tree.PathOf("dangling")), 0);
  EXPECT_EQ(FileSizeOf(tree.PathOf("dangling")), -1);
}

TEST(PosixWalk, LinkToAnAncestorDoesNotLoop) {
  TempTree tree({{"a/b/f", "1"}});
  fs::create_directory_symlink(tree.Root() / "a", tree.Root() / "a" / "b" / "up");
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), WalkTree(tree))), Sorted({"a/b/f", "a/b/up"}));
}

TEST(PosixNames, NonAsciiUtf8NameIsFoundAndRead) {
  TempTree tree({{"Größe.txt", "abc"}});
  ScanList found = WalkTree(tree);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(RelativeTo(tree.RootText(), found)[0], "Größe.txt");
  if constexpr (sizeof(Char) == 2) {
    // In 16-bit text the name is the five letters, ö and ß one code unit each.
    Text name = found[0].substr(tree.RootText().size());
    EXPECT_EQ(std::u16string(name.begin(), name.end()), u"Gr\u00f6\u00dfe.txt");
  }
  EXPECT_EQ(Bytes(Md5FileText(found[0])), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(PosixNames, NameBytesThatAreNotUtf8AreFoundAndReadUnchanged) {
  const std::string raw = "bad\xff\xfe-\xc3(.bin";
  TempTree tree({{raw, "abc"}});
  ScanList found = WalkTree(tree);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(RelativeTo(tree.RootText(), found)[0], raw);
  if constexpr (sizeof(Char) == 1) {
    EXPECT_EQ(found[0].substr(tree.RootText().size()), raw);  // the very bytes
  }
  EXPECT_EQ(CanOpenFile(found[0]), 1);
  EXPECT_EQ(FileSizeOf(found[0]), 3);
  EXPECT_EQ(Bytes(Md5FileText(found[0])), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(PosixFiles, SpecialFilesAreListedButNeverOpened) {
  TempTree tree;
  ASSERT_EQ(mkfifo((tree.Root() / "pipe").c_str(), 0600), 0);
  ScanList found = WalkTree(tree);
  EXPECT_EQ(RelativeTo(tree.RootText(), found), std::vector<std::string>{"pipe"});
  // Opening a FIFO for reading would wait for a writer forever.
  EXPECT_EQ(CanOpenFile(tree.PathOf("pipe")), 0);
  EXPECT_EQ(FingerprintFile(tree.PathOf("pipe"), true, true).outcome,
            FileFingerprints::Outcome::Unreadable);
  EXPECT_EQ(CanOpenFile(T("/dev/null")), 0);
}

TEST(PosixFiles, AReadThatFailsAfterAGoodOpenGivesNoFingerprint) {
  // /proc/self/mem opens as a regular file, but reading at offset 0 fails.
  Text mem = T("/proc/self/mem");
  if (CanOpenFile(mem) != 1) GTEST_SKIP() << "/proc/self/mem is not readable here";
  EXPECT_TRUE(Md5FileText(mem).empty());
  EXPECT_TRUE(Sha1FileText(mem).empty());
  EXPECT_TRUE(FileCrc32Text(mem).empty());
  EXPECT_EQ(FingerprintFile(mem, true, true).outcome, FileFingerprints::Outcome::Unreadable);
}

TEST(PosixFiles, HardLinksShareOneIdentityAndCopiesDoNot) {
  TempTree tree({{"a", "same"}, {"copy", "same"}});
  fs::create_hard_link(tree.Root() / "a", tree.Root() / "hard");
  FileIdentity a = FileIdentityOf(tree.PathOf("a"));
  EXPECT_TRUE(a.known);
  EXPECT_EQ(a, FileIdentityOf(tree.PathOf("hard")));
  EXPECT_NE(a, FileIdentityOf(tree.PathOf("copy")));
  EXPECT_FALSE(FileIdentityOf(tree.PathOf("missing")).known);
}

TEST(PosixText, TrailingSlashAndLowerCase) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"", "/"}, {"/", "/"}, {"/a", "/a/"}, {"/a/", "/a/"}, {"a//", "a//"}};
  for (const auto& c : cases) {
    Text t = T(c.in);
    EXPECT_EQ(AddTrailingSlash(t), 1);
    EXPECT_EQ(Bytes(t), c.out) << c.in;
  }
  EXPECT_EQ(Bytes(LowerCaseText(T("JPG Png.TXT"))), "jpg png.txt");
}

TEST(PosixText, EveryByteSequenceRoundTrips) {
  const std::string samples[] = {"plain", "Größe", "\xff", "\xed\xa0\x80", "\xf0\x9f\x98\x80 ok",
                                 "\xc0\xaf", std::string("\x80\x81\xfe", 3)};
  for (const auto& s : samples) EXPECT_EQ(SystemBytesFromText(TextFromSystemBytes(s)), s);
}

// Root reads every file, so these run for real in the unprivileged ctest entry.
TEST(PosixUnprivileged, UnreadableFilesAndDirectories) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file; this case runs again as nobody";
  TempTree tree({{"locked.txt", "secret"}, {"closed/inside.txt", "x"}, {"open.txt", "y"}});
  fs::permissions(tree.Root() / "locked.txt", fs::perms::none);
  fs::permissions(tree.Root() / "closed", fs::perms::none);
  EXPECT_EQ(CanOpenFile(tree.PathOf("locked.txt")), 0);
  EXPECT_EQ(FileSizeOf(tree.PathOf("locked.txt")), 6);  // metadata is still readable
  EXPECT_TRUE(Md5FileText(tree.PathOf("locked.txt")).empty());
  EXPECT_EQ(FingerprintFile(tree.PathOf("locked.txt"), false, false).outcome,
            FileFingerprints::Outcome::Unreadable);
  // The closed directory contributes nothing; the walk goes on around it.
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), WalkTree(tree))), Sorted({"locked.txt", "open.txt"}));
}

TEST(PosixUnprivileged, ADirectoryThatCanBeListedButNotSearchedGivesNoFiles) {
  if (geteuid() == 0) GTEST_SKIP() << "root searches every directory; this case runs again as nobody";
  TempTree tree({{"listable/a", "1"}, {"listable/b", "1"}, {"listable/sub/c", "1"}, {"open/d", "1"}});
  fs::permissions(tree.Root() / "listable", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // lstat of its entries fails, so the walk finds none of them: they would
  // otherwise count as candidates that cannot be opened.
  std::vector<Text> found = WalkTree(tree);
  fs::permissions(tree.Root() / "listable", fs::perms::owner_all);
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), found)), Sorted({"open/d"}));
}

TEST(PosixWalk, AFileWhosePathIsTooLongForTheSystemIsNotFound) {
  // Folders nested until the path is just short of the limit, then two names:
  // one that still fits, one that does not.
  TempTree tree({{"top/", ""}});
  std::string dir = (tree.Root() / "top").string();
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  const std::size_t limit = PATH_MAX;
  while (dir.size() + 1 + 200 < limit - 40) {
    const std::string name(200, 'd');
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
    int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
    dir += "/" + name;
  }
  // dir + "/" + name, and its end: PATH_MAX - 1 bytes fit, PATH_MAX do not.
  const std::string fits(limit - 1 - dir.size() - 1, 'f');
  const std::string tooLong(limit - dir.size() - 1, 'g');
  for (const std::string& name : {fits, tooLong}) {
    int file = ::openat(fd, name.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(file, 0);
    ::close(file);
  }
  ::close(fd);
  std::vector<Text> found = WalkTree(tree);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(Bytes(found[0]).size(), limit - 1);
  std::error_code ignored;
  fs::remove_all(tree.Root() / "top", ignored);
}

TEST(PosixDelete, RemovesAFileOrALinkButNeverALinksTargetNorADirectory) {
  TempTree tree({{"plain", "1"}, {"target", "2"}, {"dir/", ""}});
  fs::create_symlink(tree.Root() / "target", tree.Root() / "link");
  fs::create_directory_symlink(tree.Root() / "dir", tree.Root() / "dir-link");
  struct Case {
    const char* name;
    bool deleted;
  } cases[] = {{"plain", true}, {"link", true}, {"dir-link", true}, {"dir", false}, {"missing", false}};
  for (const auto& c : cases) EXPECT_EQ(DeleteFileAt(tree.PathOf(c.name)), c.deleted) << c.name;
  EXPECT_EQ(Sorted(RelativeTo(tree.RootText(), WalkTree(tree))), Sorted({"target"}));
  EXPECT_EQ(Md5FileText(tree.PathOf("target")), T("c81e728d9d4c2f636f067f89cc14862c"));
  EXPECT_TRUE(fs::is_directory(tree.Root() / "dir"));
}

TEST(PosixShortPath, APathIsItsOwnShortForm) {
  TempTree tree({{"a long directory name/", ""}});
  for (const Text& path : {tree.PathOf("a long directory name"), tree.PathOf("missing"), Text()})
    EXPECT_EQ(ShortPathOf(path), path) << Bytes(path);
}

}  // namespace
}  // namespace vantrel

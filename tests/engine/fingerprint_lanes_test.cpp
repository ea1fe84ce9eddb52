// Fingerprints of many files at once: the texts of every file, whatever its
// length and whichever MD5 kernel runs, are those of its own reading; a file
// that changed since it was compared gives none, even rewritten in place; a
// stop gives none at all; and a class whose first file changed takes its
// texts from the next.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/confirm_copies.hpp"
#include "engine/fingerprint_lanes.hpp"
#include "engine/md5_lanes.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

using testing::Bytes;
using testing::PatternBytes;
using testing::FsPath;
using testing::TempTree;

// Overwrites the file's bytes where it stands: same file, same size.
void RewriteInPlace(const Text& path, const std::string& bytes) {
  std::fstream f(FsPath(path), std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(f.is_open());
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class FingerprintLanes : public ::testing::TestWithParam<std::size_t> {
 protected:
  void SetUp() override {
    if (!UseMd5Kernel(GetParam())) GTEST_SKIP() << "no " << GetParam() << "-lane kernel on this processor";
  }
  void TearDown() override { UseMd5Kernel(0); }
};

TEST_P(FingerprintLanes, EveryFileGetsTheTextsOfItsOwnReading) {
  // More files than lanes, of lengths around the block, the chunk and the
  // end-of-message padding limits, so lanes finish and refill at odd times.
  const std::vector<std::size_t> sizes = {0,     1,     55,    56,    63,    64,         65,        127,
                                          4096,  kLaneChunk - 1,   kLaneChunk, kLaneChunk + 1,
                                          3 * kLaneChunk + 17,   700 * 1024, 100,       2000,
                                          64 * 1024 + 56,        9,          1000000,   33};
  TempTree tree;
  std::vector<Text> paths;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    tree.Add({"f" + std::to_string(i), PatternBytes(sizes[i], static_cast<unsigned>(i))});
    paths.push_back(tree.PathOf("f" + std::to_string(i)));
  }
  for (FingerprintKinds kinds : {FingerprintKinds{false, false}, FingerprintKinds{true, true}}) {
    std::vector<LaneFile> files;
    for (std::size_t i = 0; i < paths.size(); ++i)
      files.push_back({&paths[i], static_cast<std::int64_t>(sizes[i]), FileIdentityOf(paths[i]), nullptr, {}});
    std::vector<FileFingerprints> got = FingerprintFilesTogether(files, kinds);
    ASSERT_EQ(got.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      SCOPED_TRACE("size " + std::to_string(sizes[i]) + (kinds.sha1 ? " with SHA-1 and CRC-32" : ""));
      FileFingerprints own = FingerprintFile(paths[i], kinds.sha1, kinds.crc32);
      EXPECT_EQ(got[i].outcome, FileFingerprints::Outcome::Done);
      EXPECT_EQ(got[i].size, static_cast<std::int64_t>(sizes[i]));
      EXPECT_EQ(Bytes(got[i].md5), Bytes(own.md5));
      EXPECT_EQ(Bytes(got[i].sha1), Bytes(own.sha1));
      EXPECT_EQ(Bytes(got[i].crc32), Bytes(own.crc32));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, FingerprintLanes, ::testing::Values(1, 8, 16));

TEST(FingerprintLanesChecks, AFileThatChangedSinceItWasComparedGivesNoTexts) {
  const std::string bytes = PatternBytes(100000, 1);
  TempTree tree({{"same", bytes}, {"grown", bytes}, {"shrunk", bytes}, {"replaced", bytes}, {"gone", bytes},
                 {"other", bytes}});
  auto path = [&](const char* name) { return tree.PathOf(name); };
  std::vector<Text> paths = {path("same"), path("grown"), path("shrunk"), path("replaced"), path("gone"),
                             path("other")};
  std::vector<LaneFile> files;
  for (const Text& p : paths) files.push_back({&p, 100000, FileIdentityOf(p), nullptr, {}});
  // After the comparison: one grows, one shrinks, one is a new file of the
  // same size under the old name, one is removed, and one is named in place
  // of another file it was never compared as.
  tree.Add({"grown", bytes + "x"});
  tree.Add({"shrunk", bytes.substr(1)});
  tree.Add({"replacement", bytes});  // a file of its own, then renamed over the old one
  std::filesystem::rename(FsPath(path("replacement")), FsPath(path("replaced")));
  std::filesystem::remove(FsPath(path("gone")));
  files[5].identity = files[0].identity;
  std::vector<FileFingerprints> got = FingerprintFilesTogether(files, {true, true});
  ASSERT_EQ(got.size(), files.size());
  EXPECT_EQ(got[0].outcome, FileFingerprints::Outcome::Done);
  for (std::size_t i = 1; i < got.size(); ++i) {
    SCOPED_TRACE(Bytes(paths[i]));
    EXPECT_EQ(got[i].outcome, FileFingerprints::Outcome::Unreadable);
    EXPECT_TRUE(got[i].md5.empty());
  }
}

TEST(FingerprintLanesChecks, AStopLeavesEveryFileInterrupted) {
  TempTree tree({{"a", PatternBytes(300000, 1)}, {"b", PatternBytes(10, 2)}});
  std::vector<Text> paths = {tree.PathOf("a"), tree.PathOf("b")};
  std::vector<LaneFile> files = {{&paths[0], 300000, {}, nullptr, {}}, {&paths[1], 10, {}, nullptr, {}}};
  int checks = 0;
  std::vector<FileFingerprints> got = FingerprintFilesTogether(files, {}, [&] { return ++checks < 3; });
  ASSERT_EQ(got.size(), 2u);
  for (const FileFingerprints& f : got) {
    EXPECT_EQ(f.outcome, FileFingerprints::Outcome::Interrupted);
    EXPECT_TRUE(f.md5.empty());
  }
}

TEST(FingerprintLanesChecks, AClassWhoseFirstFileChangesAfterTheComparisonTakesTheNextOnesTexts) {
  // The first file is replaced by other bytes once comparing is over (the
  // checks go on while the classes are fingerprinted): it leaves its class,
  // and the two left keep theirs with their own texts.
  const std::string bytes = PatternBytes(4000, 3);  // one chunk
  TempTree tree({{"a", bytes}, {"b", bytes}, {"c", bytes}, {"d", PatternBytes(4000, 4)}});
  std::vector<Text> paths = {tree.PathOf("a"), tree.PathOf("b"), tree.PathOf("c"), tree.PathOf("d")};
  std::vector<const Text*> pointers = {&paths[0], &paths[1], &paths[2], &paths[3]};
  int checks = 0;
  bool replaced = false;
  // Four opening checks and four chunk checks compare the set; the next one
  // comes from the fingerprinting.
  CopyClasses c = ConfirmCopies(pointers, 4000, {true, true}, [&] {
    if (++checks == 9) {
      tree.Add({"a2", PatternBytes(4000, 5)});
      std::filesystem::rename(FsPath(tree.PathOf("a2")), FsPath(paths[0]));
      replaced = true;
    }
    return true;
  });
  ASSERT_TRUE(replaced);
  ASSERT_FALSE(c.interrupted);
  EXPECT_EQ(c.classOf, (std::vector<int>{-1, 0, 0, -1}));
  ASSERT_EQ(c.fingerprints.size(), 1u);
  FileFingerprints own = FingerprintFile(paths[1], true, true);
  EXPECT_EQ(Bytes(c.fingerprints[0].md5), Bytes(own.md5));
  EXPECT_EQ(Bytes(c.fingerprints[0].sha1), Bytes(own.sha1));
  EXPECT_EQ(Bytes(c.fingerprints[0].crc32), Bytes(own.crc32));
}

TEST(FingerprintLanesChecks, AFileOrItsWitnessRewrittenInPlaceGivesNoTexts) {
  const std::string bytes = PatternBytes(50000, 6);
  TempTree tree({{"a", bytes}, {"b", bytes}, {"c", bytes}, {"d", bytes}, {"e", bytes}, {"f", bytes}});
  std::vector<Text> paths;
  for (const char* name : {"a", "b", "c", "d", "e", "f"}) paths.push_back(tree.PathOf(name));
  auto file = [&](std::size_t i, std::size_t witness) {
    return LaneFile{&paths[i], 50000, FileIdentityOf(paths[i]), &paths[witness], FileIdentityOf(paths[witness])};
  };
  // a with witness b, c (rewritten) with witness d, e with witness f (rewritten, at its end).
  std::vector<LaneFile> files = {file(0, 1), file(2, 3), file(4, 5)};
  RewriteInPlace(paths[2], PatternBytes(50000, 7));
  std::string last = bytes;
  last.back() = static_cast<char>(~last.back());
  RewriteInPlace(paths[5], last);
  std::vector<FileFingerprints> got = FingerprintFilesTogether(files, {});
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].outcome, FileFingerprints::Outcome::Done);
  EXPECT_EQ(Bytes(got[0].md5), Bytes(FingerprintFile(paths[0], false, false).md5));
  EXPECT_EQ(got[1].outcome, FileFingerprints::Outcome::Unreadable);
  EXPECT_EQ(got[2].outcome, FileFingerprints::Outcome::Unreadable);
}

TEST(FingerprintLanesChecks, AFileRewrittenInPlaceAfterTheComparisonNeverLendsItsTextsToItsCopies) {
  // Same size, same file: only its bytes tell. The first file of the class is
  // rewritten once comparing is over (the checks after the openings and the
  // one chunk of each file come from the fingerprinting).
  const std::string bytes = PatternBytes(4000, 8);
  struct Case {
    std::vector<std::string> names;
    std::vector<int> classOf;
  } cases[] = {
      {{"a", "b", "c"}, {-1, 0, 0}},  // b and c remain copies, with their own texts
      {{"a", "b"}, {-1, -1}},         // a pair that no longer agrees is no class
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.names.size()) + " files");
    TempTree tree;
    std::vector<Text> paths;
    for (const std::string& n : c.names) {
      tree.Add({n, bytes});
      paths.push_back(tree.PathOf(n));
    }
    std::vector<const Text*> pointers;
    for (const Text& p : paths) pointers.push_back(&p);
    const int comparing = 2 * static_cast<int>(paths.size());
    int checks = 0;
    CopyClasses got = ConfirmCopies(pointers, 4000, {true, true}, [&] {
      if (++checks == comparing + 1) RewriteInPlace(paths[0], PatternBytes(4000, 9));
      return true;
    });
    ASSERT_GT(checks, comparing);
    EXPECT_EQ(got.classOf, c.classOf);
    if (got.fingerprints.size() == 1) {
      FileFingerprints own = FingerprintFile(paths[1], true, true);
      EXPECT_EQ(Bytes(got.fingerprints[0].md5), Bytes(own.md5));
      EXPECT_EQ(Bytes(got.fingerprints[0].sha1), Bytes(own.sha1));
      EXPECT_EQ(Bytes(got.fingerprints[0].crc32), Bytes(own.crc32));
    } else {
      EXPECT_TRUE(got.fingerprints.empty());
    }
  }
}

}  // namespace
}  // namespace vantrel

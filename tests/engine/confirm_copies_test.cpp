// Confirming copies among files of one size: classes of identical bytes, one
// set of fingerprints per class equal to each file's own whichever MD5 kernel
// runs, files that differ anywhere (or only in bytes an MD5 collision hides)
// kept apart, a file that changes while it is read dropped, and a search
// whose reading threads all stop when paused.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "engine/candidate_probe.hpp"
#include "engine/confirm_copies.hpp"
#include "engine/md5_lanes.hpp"
#include "engine/search_control.hpp"
#include "tests/support/recording_window.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

using testing::Bytes;
using testing::PatternBytes;
using testing::RecordingWindow;
using testing::TempTree;
using testing::TreeEntry;

std::string FromHex(const char* hex) {
  std::string out;
  for (const char* p = hex; p[0] && p[1]; p += 2)
    out.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
  return out;
}

// Two different 128-byte blocks with one MD5 (Wang and Yu's published pair).
const std::string kCollisionA = FromHex(
    "d131dd02c5e6eec4693d9a0698aff95c2fcab58712467eab4004583eb8fb7f89"
    "55ad340609f4b30283e488832571415a085125e8f7cdc99fd91dbdf280373c5b"
    "d8823e3156348f5bae6dacd436c919c6dd53e2b487da03fd02396306d248cda0"
    "e99f33420f577ee8ce54b67080a80d1ec69821bcb6a8839396f9652b6ff72a70");
const std::string kCollisionB = FromHex(
    "d131dd02c5e6eec4693d9a0698aff95c2fcab50712467eab4004583eb8fb7f89"
    "55ad340609f4b30283e4888325f1415a085125e8f7cdc99fd91dbd7280373c5b"
    "d8823e3156348f5bae6dacd436c919c6dd53e23487da03fd02396306d248cda0"
    "e99f33420f577ee8ce54b67080280d1ec69821bcb6a8839396f965ab6ff72a70");

std::string Flipped(std::string s, std::size_t at) {
  s[at] = static_cast<char>(~s[at]);
  return s;
}

// Runs ConfirmCopies over the named files of tree and returns, per file, the
// name of the first file of its class ("-" for none), checking that every
// class's texts are those FingerprintFile gives each of its files.
std::vector<std::string> Classes(const TempTree& tree, const std::vector<std::string>& names, std::int64_t size,
                                 FingerprintKinds kinds = {true, true}) {
  std::vector<Text> paths;
  for (const auto& n : names) paths.push_back(tree.PathOf(n));
  std::vector<const Text*> pointers;
  for (const Text& p : paths) pointers.push_back(&p);
  CopyClasses c = ConfirmCopies(pointers, size, kinds);
  EXPECT_FALSE(c.interrupted);
  std::vector<std::string> out;
  std::vector<std::string> firstOf(c.fingerprints.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (c.classOf[i] < 0) {
      out.push_back("-");
      continue;
    }
    const FileFingerprints& f = c.fingerprints[static_cast<std::size_t>(c.classOf[i])];
    FileFingerprints own = FingerprintFile(paths[i], kinds.sha1, kinds.crc32);
    EXPECT_EQ(Bytes(f.md5), Bytes(own.md5)) << names[i];
    EXPECT_EQ(Bytes(f.sha1), Bytes(own.sha1)) << names[i];
    EXPECT_EQ(Bytes(f.crc32), Bytes(own.crc32)) << names[i];
    EXPECT_EQ(f.size, size);
    std::string& first = firstOf[static_cast<std::size_t>(c.classOf[i])];
    if (first.empty()) first = names[i];
    out.push_back(first);
  }
  return out;
}

TEST(ConfirmCopies, FilesShareAClassOnlyWhenEveryByteAgrees) {
  const std::size_t big = 700 * 1024;  // several chunks
  const std::string x = PatternBytes(big, 1);
  const std::string start = PatternBytes(300 * 1024, 2);  // a long common start, then three ways
  const std::string p = start + PatternBytes(big - start.size(), 3);
  const std::string q = start + PatternBytes(big - start.size(), 4);
  const std::string lone = start + PatternBytes(big - start.size(), 5);
  struct Case {
    const char* what;
    std::vector<TreeEntry> files;
    std::int64_t size;
    std::vector<std::string> expected;  // per file: first file of its class, or "-"
  };
  const std::vector<Case> cases = {
      {"differs at the first, a middle or the last byte",
       {{"a", x}, {"b", x}, {"first", Flipped(x, 0)}, {"middle", Flipped(x, big / 2)}, {"last", Flipped(x, big - 1)}},
       static_cast<std::int64_t>(big),
       {"a", "a", "-", "-", "-"}},
      {"two classes split from a file that goes its own way after a long common start",
       {{"lone", lone}, {"p1", p}, {"q1", q}, {"p2", p}, {"q2", q}},
       static_cast<std::int64_t>(big),
       {"-", "p1", "q1", "p1", "q1"}},
      {"an MD5 collision", {{"a1", kCollisionA}, {"b1", kCollisionB}, {"a2", kCollisionA}, {"b2", kCollisionB}},
       128, {"a1", "b1", "a1", "b1"}},
      {"empty files", {{"e1", ""}, {"e2", ""}}, 0, {"e1", "e1"}},
      {"a missing file and one no longer of the set's size",
       {{"a", PatternBytes(5000, 6)}, {"grown", PatternBytes(6000, 6)}, {"b", PatternBytes(5000, 6)}},
       5000,
       {"a", "-", "a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree tree(c.files);
    std::vector<std::string> names;
    for (const auto& f : c.files) names.push_back(f.path);
    if (c.what[2] == 'm') names.push_back("never-made");
    std::vector<std::string> expected = c.expected;
    if (c.what[2] == 'm') expected.push_back("-");
    EXPECT_EQ(Classes(tree, names, c.size), expected);
  }
}

TEST(ConfirmCopies, ACollisionKeepsItsTwoClassesUnderOneMd5Text) {
  TempTree tree({{"a1", kCollisionA}, {"b1", kCollisionB}, {"a2", kCollisionA}, {"b2", kCollisionB}});
  std::vector<Text> paths = {tree.PathOf("a1"), tree.PathOf("b1"), tree.PathOf("a2"), tree.PathOf("b2")};
  std::vector<const Text*> pointers = {&paths[0], &paths[1], &paths[2], &paths[3]};
  CopyClasses c = ConfirmCopies(pointers, 128, {});
  ASSERT_EQ(c.fingerprints.size(), 2u);
  EXPECT_EQ(Bytes(c.fingerprints[0].md5), "79054025255fb1a26e4bc422aef54eb4");
  EXPECT_EQ(c.fingerprints[0].md5, c.fingerprints[1].md5);
}

TEST(ConfirmCopies, LargerSetsThanStayOpenAreSplitByHashThenComparedByteByByte) {
  // 70 files of 30 contents: more than kOpenFilesAtOnce, so the files are
  // hashed one at a time and each part of two or three compared.
  TempTree tree;
  std::vector<std::string> names, expected;
  for (int i = 0; i < 70; ++i) {
    std::string name = "f" + std::to_string(i);
    tree.Add({name, PatternBytes(300 * 1024, static_cast<unsigned>(i % 30))});
    names.push_back(name);
    expected.push_back("f" + std::to_string(i % 30));
  }
  static_assert(kOpenFilesAtOnce < 70);
  EXPECT_EQ(Classes(tree, names, 300 * 1024, {false, false}), expected);
}

// Counts the openings of each file.
struct OpenCounter {
  OpenForReading Hook() {
    return [this](FileReader& reader, const Text& path) {
      {
        std::lock_guard lock(mutex);
        ++opens[Bytes(path)];
      }
      return reader.Open(path);
    };
  }
  int Most() const {
    int most = 0;
    for (const auto& [path, n] : opens) most = std::max(most, n);
    return most;
  }
  std::mutex mutex;
  std::map<std::string, int> opens;
};

TEST(ConfirmCopies, ASetLargerThanStaysOpenOpensEachFileAFewTimesOnly) {
  // More files of one size than are kept open at once: identical ones (one
  // class of 66), pairs, and files that differ from the big class at their
  // last byte only. Reading chunk by chunk across them would reopen each file
  // for every chunk (hundreds of times for files of several chunks).
  const std::size_t size = 512 * 1024;
  const std::string same = PatternBytes(size, 1);
  struct Case {
    const char* what;
    int copies, pairs, nearMisses;
  } cases[] = {{"one class of 66", 66, 0, 0}, {"one class of 66 and 10 near misses", 66, 0, 10},
               {"40 pairs", 0, 40, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree tree;
    std::vector<std::string> names, expected;
    for (int i = 0; i < c.copies; ++i) {
      names.push_back("copy" + std::to_string(i));
      tree.Add({names.back(), same});
      expected.push_back("copy0");
    }
    for (int i = 0; i < c.nearMisses; ++i) {
      names.push_back("near" + std::to_string(i));
      tree.Add({names.back(), Flipped(same, size - 1 - static_cast<std::size_t>(i))});
      expected.push_back("-");
    }
    for (int i = 0; i < c.pairs; ++i)
      for (const char* half : {"a", "b"}) {
        names.push_back("pair" + std::to_string(i) + half);
        tree.Add({names.back(), PatternBytes(size, 100 + static_cast<unsigned>(i))});
        expected.push_back("pair" + std::to_string(i) + "a");
      }
    ASSERT_GT(names.size(), kOpenFilesAtOnce);
    std::vector<Text> paths;
    for (const auto& n : names) paths.push_back(tree.PathOf(n));
    std::vector<const Text*> pointers;
    for (const Text& p : paths) pointers.push_back(&p);
    OpenCounter counter;
    CopyClasses got = ConfirmCopies(pointers, static_cast<std::int64_t>(size), {}, {}, counter.Hook());
    std::vector<std::string> firstOf(got.fingerprints.size()), classes;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (got.classOf[i] < 0) {
        classes.push_back("-");
        continue;
      }
      std::string& first = firstOf[static_cast<std::size_t>(got.classOf[i])];
      if (first.empty()) first = names[i];
      classes.push_back(first);
    }
    EXPECT_EQ(classes, expected);
    // Once to hash it, once to compare it.
    EXPECT_LE(counter.Most(), 2);
  }
}

// Overwrites one byte of the file where it stands (same file, same size);
// false when the file cannot be opened for writing.
bool FlipByteInPlace(const Text& path, std::size_t at, char old) {
  std::fstream f(testing::FsPath(path), std::ios::in | std::ios::out | std::ios::binary);
  if (!f.is_open()) return false;
  f.seekp(static_cast<std::streamoff>(at));
  f.put(static_cast<char>(~old));
  f.flush();
  return f.good();
}

// Windows lets no one write to a file that is open for reading here: a file
// the search reads cannot change under it.
#ifdef _WIN32
constexpr bool kReadFilesCanBeWritten = false;
#else
constexpr bool kReadFilesCanBeWritten = true;
#endif

TEST(ConfirmCopies, AFileThatChangesWhileItsClassIsReadIsTheOneDropped) {
  // {a, b, c} of several chunks. Once each has given its first chunk, one of
  // them is rewritten in place further on (same size, same file); or one is
  // deleted before it is opened. Whichever it is, the two that still agree
  // stay a class, with the texts of their own bytes. (Where a file being
  // read cannot be written, the rewriting is refused and the class stays.)
  const std::size_t size = 300 * 1024;
  const std::string bytes = PatternBytes(size, 3);
  struct Case {
    std::size_t changed;
    bool deleted;
    std::vector<int> classOf;
  } cases[] = {
      {1, false, {0, -1, 0}}, {0, false, {-1, 0, 0}}, {2, false, {0, 0, -1}},
      {1, true, {0, -1, 0}},  {0, true, {-1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("file " + std::to_string(c.changed) + (c.deleted ? " deleted" : " rewritten"));
    TempTree tree({{"a", bytes}, {"b", bytes}, {"c", bytes}});
    std::vector<Text> paths = {tree.PathOf("a"), tree.PathOf("b"), tree.PathOf("c")};
    std::vector<const Text*> pointers = {&paths[0], &paths[1], &paths[2]};
    // The reading asks before each opening (three), then before each file's
    // chunk of each step.
    const int when = c.deleted ? static_cast<int>(c.changed) + 1 : 7;
    int checks = 0;
    bool reached = false, changed = false;
    auto keepGoing = [&] {
      if (++checks == when) {
        reached = true;
        changed = c.deleted ? std::filesystem::remove(testing::FsPath(paths[c.changed]))
                            : FlipByteInPlace(paths[c.changed], 200000, bytes[200000]);
      }
      return true;
    };
    CopyClasses got = ConfirmCopies(pointers, static_cast<std::int64_t>(size), {true, true}, keepGoing);
    ASSERT_TRUE(reached);
    EXPECT_EQ(changed, c.deleted || kReadFilesCanBeWritten);
    const std::vector<int> whole = {0, 0, 0};
    EXPECT_EQ(got.classOf, changed ? c.classOf : whole);
    ASSERT_EQ(got.fingerprints.size(), 1u);
    const std::size_t kept = c.changed == 0 ? 1 : 0;
    FileFingerprints own = FingerprintFile(paths[kept], true, true);
    EXPECT_EQ(Bytes(got.fingerprints[0].md5), Bytes(own.md5));
    EXPECT_EQ(Bytes(got.fingerprints[0].sha1), Bytes(own.sha1));
    EXPECT_EQ(Bytes(got.fingerprints[0].crc32), Bytes(own.crc32));
  }
}

TEST(ConfirmCopies, InALargeClassAFirstFileThatChangesBetweenItsComparisonsLeavesIt) {
  // 66 identical files: too many to keep open, so each is compared with the
  // first, which is read again for each. It is rewritten in place after its
  // first comparison: its texts, taken then, are no longer its bytes, and the
  // files compared later would be compared with other bytes. It leaves; the
  // other 65 are a class with their own texts. (Where a file being read
  // cannot be written, the rewriting is refused and all 66 stay a class.)
  const std::size_t size = 512 * 1024;
  const std::string same = PatternBytes(size, 1);
  TempTree tree;
  std::vector<Text> paths;
  for (int i = 0; i < 66; ++i) {
    tree.Add({"copy" + std::to_string(i), same});
    paths.push_back(tree.PathOf("copy" + std::to_string(i)));
  }
  std::vector<const Text*> pointers;
  for (const Text& p : paths) pointers.push_back(&p);
  OpenCounter counter;
  OpenForReading counted = counter.Hook();
  bool reached = false, rewritten = false;
  // Every file is opened once to be hashed; the second opening of copy2 is
  // its comparison with copy0, after copy1's.
  auto open = [&](FileReader& reader, const Text& path) {
    if (path == paths[2] && !reached && counter.opens[Bytes(path)] == 1) {
      reached = true;
      rewritten = FlipByteInPlace(paths[0], size / 2, same[size / 2]);
    }
    return counted(reader, path);
  };
  CopyClasses got = ConfirmCopies(pointers, static_cast<std::int64_t>(size), {true, true}, {}, open);
  ASSERT_TRUE(reached);
  EXPECT_EQ(rewritten, kReadFilesCanBeWritten);
  std::vector<int> expected(66, 0);
  if (rewritten) expected[0] = -1;
  EXPECT_EQ(got.classOf, expected);
  ASSERT_EQ(got.fingerprints.size(), 1u);
  FileFingerprints own = FingerprintFile(paths[rewritten ? 1 : 0], true, true);
  EXPECT_EQ(Bytes(got.fingerprints[0].md5), Bytes(own.md5));
  EXPECT_EQ(Bytes(got.fingerprints[0].sha1), Bytes(own.sha1));
  EXPECT_LE(counter.Most(), 3);
}

class ConfirmCopiesKernels : public ::testing::TestWithParam<std::size_t> {
 protected:
  void SetUp() override {
    if (!UseMd5Kernel(GetParam())) GTEST_SKIP() << "no " << GetParam() << "-lane kernel on this processor";
  }
  void TearDown() override { UseMd5Kernel(0); }
};

TEST_P(ConfirmCopiesKernels, EveryClassGetsTheTextsOfItsOwnBytes) {
  // More sets than lanes, of lengths around the block, the chunk and the
  // end-of-message padding limits, so classes finish and others take their
  // lanes at odd times; each set a pair and a file that differs from it at
  // its last byte.
  const std::vector<std::size_t> sizes = {0,         1,         55,          56,        63,   64,   65,
                                          127,       4096,      65535,       65536,     65537, 3 * 65536 + 17,
                                          700 * 1024, 100,      2000,        65536 + 56, 9,    1000000, 33};
  TempTree tree;
  std::vector<std::vector<Text>> paths(sizes.size());
  for (std::size_t s = 0; s < sizes.size(); ++s) {
    const std::string bytes = PatternBytes(sizes[s], static_cast<unsigned>(s));
    for (const char* name : {"a", "b", "c"}) {
      const std::string path = "s" + std::to_string(s) + name;
      tree.Add({path, name[0] == 'c' && !bytes.empty() ? Flipped(bytes, bytes.size() - 1) : bytes});
      paths[s].push_back(tree.PathOf(path));
    }
  }
  for (FingerprintKinds kinds : {FingerprintKinds{false, false}, FingerprintKinds{true, true}}) {
    std::vector<CopySet> sets(sizes.size());
    for (std::size_t s = 0; s < sizes.size(); ++s) {
      sets[s].size = static_cast<std::int64_t>(sizes[s]);
      for (const Text& p : paths[s]) sets[s].paths.push_back(&p);
    }
    std::vector<CopyClasses> got = ConfirmCopySets(sets, kinds);
    ASSERT_EQ(got.size(), sets.size());
    for (std::size_t s = 0; s < sizes.size(); ++s) {
      SCOPED_TRACE("size " + std::to_string(sizes[s]) + (kinds.sha1 ? " with SHA-1 and CRC-32" : ""));
      EXPECT_EQ(got[s].classOf, (sizes[s] == 0 ? std::vector<int>{0, 0, 0} : std::vector<int>{0, 0, -1}));
      ASSERT_EQ(got[s].fingerprints.size(), 1u);
      const FileFingerprints& f = got[s].fingerprints[0];
      FileFingerprints own = FingerprintFile(paths[s][0], kinds.sha1, kinds.crc32);
      EXPECT_EQ(f.outcome, FileFingerprints::Outcome::Done);
      EXPECT_EQ(f.size, static_cast<std::int64_t>(sizes[s]));
      EXPECT_EQ(Bytes(f.md5), Bytes(own.md5));
      EXPECT_EQ(Bytes(f.sha1), Bytes(own.sha1));
      EXPECT_EQ(Bytes(f.crc32), Bytes(own.crc32));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, ConfirmCopiesKernels, ::testing::Values(1, 8, 16));

TEST(ConfirmCopies, StopsWhenAskedBetweenChunks) {
  TempTree tree({{"a", PatternBytes(600 * 1024, 1)}, {"b", PatternBytes(600 * 1024, 1)}});
  std::vector<Text> paths = {tree.PathOf("a"), tree.PathOf("b")};
  std::vector<const Text*> pointers = {&paths[0], &paths[1]};
  int checks = 0;
  CopyClasses c = ConfirmCopies(pointers, 600 * 1024, {}, [&] { return ++checks < 4; });
  EXPECT_TRUE(c.interrupted);
  EXPECT_EQ(checks, 4);
}

// Files this process has open now (POSIX: the entries of /proc/self/fd,
// less the one listing them); -1 where that cannot be told.
int OpenDescriptors() {
#ifdef _WIN32
  return -1;
#else
  std::error_code error;
  std::filesystem::directory_iterator it("/proc/self/fd", error);
  if (error) return -1;
  int n = 0;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) ++n;
  return n - 1;
#endif
}

// Sets of many sizes and counts in one call, each split into classes by
// bytes that differ at several offsets (so classes split mid-file into parts
// of two or more, and the first file may go its own way); the classes must be
// those of equal contents, with the texts FingerprintFile gives, and no more
// than kOpenFilesAtOnce files open at any time.
struct MixedSets {
  struct Set {
    std::int64_t size;
    std::vector<Text> paths;
    std::vector<std::string> contents;
  };
  TempTree tree;
  std::vector<Set> sets;

  MixedSets(const std::vector<std::size_t>& sizes, const std::vector<std::size_t>& counts) {
    unsigned seed = 0;
    for (std::size_t size : sizes)
      for (std::size_t count : counts) {
        Set set;
        set.size = static_cast<std::int64_t>(size);
        const std::string base = PatternBytes(size, ++seed);
        const std::size_t variants = std::max<std::size_t>(2, std::min<std::size_t>(5, count / 2));
        for (std::size_t i = 0; i < count; ++i) {
          std::string bytes = base;
          if (size > 0) {
            if (i == 0 && count > 2 && seed % 2 == 0) {
              bytes = Flipped(bytes, size / 2);  // the first file goes its own way
            } else {
              const std::size_t v = (i * 7 + seed) % variants;
              if (v > 0) bytes = Flipped(bytes, size * v / (variants + 1));
              if (v > 1) bytes = Flipped(bytes, size - 1);
            }
          }
          const std::string name = "s" + std::to_string(sets.size()) + "/f" + std::to_string(i);
          tree.Add({name, bytes});
          set.paths.push_back(tree.PathOf(name));
          set.contents.push_back(bytes);
        }
        sets.push_back(std::move(set));
      }
  }

  std::vector<CopySet> CopySets() const {
    std::vector<CopySet> out(sets.size());
    for (std::size_t s = 0; s < sets.size(); ++s) {
      out[s].size = sets[s].size;
      for (const Text& p : sets[s].paths) out[s].paths.push_back(&p);
    }
    return out;
  }

  // Checks got against the contents: same class exactly when same bytes
  // (and another file has them), texts as FingerprintFile gives.
  void Check(const std::vector<CopyClasses>& got, FingerprintKinds kinds) const {
    ASSERT_EQ(got.size(), sets.size());
    for (std::size_t s = 0; s < sets.size(); ++s) {
      const Set& set = sets[s];
      SCOPED_TRACE("set " + std::to_string(s) + " of " + std::to_string(set.paths.size()) + " files of " +
                   std::to_string(set.size) + " bytes");
      ASSERT_FALSE(got[s].interrupted);
      ASSERT_EQ(got[s].classOf.size(), set.paths.size());
      std::map<std::string, int> copies;
      for (const std::string& c : set.contents) ++copies[c];
      std::map<std::string, int> classOfContents;
      for (std::size_t i = 0; i < set.paths.size(); ++i) {
        const int k = got[s].classOf[i];
        if (copies[set.contents[i]] < 2) {
          EXPECT_EQ(k, -1) << "file " << i;
          continue;
        }
        ASSERT_GE(k, 0) << "file " << i;
        ASSERT_LT(static_cast<std::size_t>(k), got[s].fingerprints.size());
        auto [it, fresh] = classOfContents.insert({set.contents[i], k});
        EXPECT_EQ(it->second, k) << "file " << i;
        const FileFingerprints& f = got[s].fingerprints[static_cast<std::size_t>(k)];
        if (fresh) {
          FileFingerprints own = FingerprintFile(set.paths[i], kinds.sha1, kinds.crc32);
          EXPECT_EQ(f.outcome, FileFingerprints::Outcome::Done);
          EXPECT_EQ(f.size, set.size);
          EXPECT_EQ(Bytes(f.md5), Bytes(own.md5)) << "file " << i;
          EXPECT_EQ(Bytes(f.sha1), Bytes(own.sha1)) << "file " << i;
          EXPECT_EQ(Bytes(f.crc32), Bytes(own.crc32)) << "file " << i;
        }
      }
      EXPECT_EQ(classOfContents.size(), got[s].fingerprints.size());
    }
  }
};

TEST_P(ConfirmCopiesKernels, ManySetsOfOddSizesAndCountsSplitIntoTheirClassesWithinTheOpenBound) {
  MixedSets mixed({0, 1, 63, 64, 65, 4095, 4097, 16385, 57345, 65537, 200003}, {2, 3, 17, 64, 65});
  const int before = OpenDescriptors();  // -1 where it cannot be told: the classes are still checked
  int most = 0;
  auto watch = [&] {
    most = std::max(most, OpenDescriptors() - before);
    return true;
  };
  OpenForReading open = [&](FileReader& reader, const Text& path) {
    watch();
    return reader.Open(path);
  };
  for (FingerprintKinds kinds : {FingerprintKinds{false, false}, FingerprintKinds{true, true}}) {
    SCOPED_TRACE(kinds.sha1 ? "with SHA-1 and CRC-32" : "MD5 only");
    most = 0;
    std::vector<CopyClasses> got = ConfirmCopySets(mixed.CopySets(), kinds, watch, open);
    mixed.Check(got, kinds);
    if (before >= 0) {
      EXPECT_LE(most, static_cast<int>(kOpenFilesAtOnce));
      EXPECT_EQ(OpenDescriptors(), before);
    }
  }
}

TEST(ConfirmCopies, AStopAtAnyCheckInterruptsEverySetAndLeavesNoFileOpen) {
  MixedSets mixed({1, 65, 70000, 150001}, {2, 3, 17, 66});
  const int before = OpenDescriptors();
  if (before < 0) GTEST_SKIP() << "no /proc/self/fd";
  int total = 0;
  ConfirmCopySets(mixed.CopySets(), {true, true}, [&] { return ++total > 0; });
  ASSERT_GT(total, 10);
  const int step = std::max(1, total / 100);
  for (int n = 1; n <= total; n += (n < 60 ? 1 : step)) {
    SCOPED_TRACE("stopped at check " + std::to_string(n) + " of " + std::to_string(total));
    int checks = 0, most = 0;
    auto keepGoing = [&] {
      most = std::max(most, OpenDescriptors() - before);
      return ++checks < n;
    };
    std::vector<CopyClasses> got = ConfirmCopySets(mixed.CopySets(), {true, true}, keepGoing);
    ASSERT_EQ(got.size(), mixed.sets.size());
    for (const CopyClasses& c : got) EXPECT_TRUE(c.interrupted);
    EXPECT_LE(most, static_cast<int>(kOpenFilesAtOnce));
    ASSERT_EQ(OpenDescriptors(), before);
  }
}

TEST(ConfirmCopies, AFileChangedOrReplacedAfterItsLastOpeningLeavesItsClass) {
  // Identical files; right after one of them is opened for the last time
  // (for a large set, its comparison after the hash), it is cut short, grown,
  // rewritten ahead of the reading, deleted, or its path is taken by another
  // file of the same size (renamed over it, or a link to it). The path then
  // no longer holds the bytes that were compared: it leaves the class, and
  // the others stay one with their own texts.
#ifdef _WIN32
  GTEST_SKIP() << "a file open for reading can be neither written, deleted nor renamed over here";
#endif
  const std::size_t size = 300 * 1024;
  const std::string bytes = PatternBytes(size, 7);
  const std::string other = PatternBytes(size, 8);
  enum class Change { Shrink, Grow, Rewrite, Delete, RenameOver, LinkOver };
  const std::pair<Change, const char*> changes[] = {
      {Change::Shrink, "cut short"}, {Change::Grow, "grown"},        {Change::Rewrite, "rewritten ahead"},
      {Change::Delete, "deleted"},   {Change::RenameOver, "renamed over"}, {Change::LinkOver, "replaced by a link"}};
  const std::size_t counts[] = {2, 3, 66};
  for (std::size_t count : counts)
    for (const auto& [change, what] : changes) {
      const std::size_t victim = count == 2 ? 1 : count == 3 ? 1 : 5;
      SCOPED_TRACE(std::to_string(count) + " files, file " + std::to_string(victim) + " " + what);
      TempTree tree({{"other", other}});
      std::vector<Text> paths;
      for (std::size_t i = 0; i < count; ++i) {
        tree.Add({"f" + std::to_string(i), bytes});
        paths.push_back(tree.PathOf("f" + std::to_string(i)));
      }
      std::vector<const Text*> pointers;
      for (const Text& p : paths) pointers.push_back(&p);
      const int lastOpening = count > kOpenFilesAtOnce ? 2 : 1;
      int openings = 0;
      bool changed = false;
      OpenForReading open = [&](FileReader& reader, const Text& path) {
        const bool ok = reader.Open(path);
        if (path == paths[victim] && ++openings == lastOpening) {
          const std::filesystem::path at = testing::FsPath(path);
          switch (change) {
            case Change::Shrink:
              std::filesystem::resize_file(at, size / 2);
              break;
            case Change::Grow:
              std::ofstream(at, std::ios::binary | std::ios::app) << "more";
              break;
            case Change::Rewrite: {
              std::fstream f(at, std::ios::in | std::ios::out | std::ios::binary);
              f.seekp(size - 10);
              f.put(static_cast<char>(~bytes[size - 10]));
              break;
            }
            case Change::Delete:
              std::filesystem::remove(at);
              break;
            case Change::RenameOver:
              std::filesystem::copy_file((tree.Root() / "other"), (tree.Root() / "other-copy"));
              std::filesystem::rename((tree.Root() / "other-copy"), at);
              break;
            case Change::LinkOver:
              std::filesystem::remove(at);
              std::filesystem::create_symlink((tree.Root() / "other"), at);
              break;
          }
          changed = true;
        }
        return ok;
      };
      CopyClasses got = ConfirmCopies(pointers, static_cast<std::int64_t>(size), {true, true}, {}, open);
      ASSERT_TRUE(changed);
      std::vector<int> expected(count, 0);
      expected[victim] = -1;
      if (count == 2) expected = {-1, -1};
      EXPECT_EQ(got.classOf, expected);
      if (count > 2) {
        ASSERT_EQ(got.fingerprints.size(), 1u);
        FileFingerprints own = FingerprintFile(paths[0], true, true);
        EXPECT_EQ(Bytes(got.fingerprints[0].md5), Bytes(own.md5));
        EXPECT_EQ(Bytes(got.fingerprints[0].sha1), Bytes(own.sha1));
      }
    }
}

// A whole search: the rows of an MD5 collision.
TEST(ConfirmCopiesSearch, FilesWithOneMd5AndDifferentBytesAreNeverOneGroup) {
  TempTree tree({{"d1/a", kCollisionA}, {"d2/b", kCollisionB}, {"d3/a-copy", kCollisionA}, {"d4/b-copy", kCollisionB}});
  RecordingWindow window;
  SearchControl control(window, SearchFlavour::Windows);
  std::vector<Text> dirs = {tree.PathOf("d1"), tree.PathOf("d2"), tree.PathOf("d3"), tree.PathOf("d4")};
  ASSERT_EQ(control.Start(dirs, {}), SearchControl::StartResult::Started);
  ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
  std::vector<std::string> rows;
  for (const auto& r : window.rows)
    rows.push_back(Bytes(r[0]) + " " + testing::RelativeTo(tree.RootText(), {r[1]})[0] + " " + Bytes(r[3]));
  const std::string m = " 79054025255fb1a26e4bc422aef54eb4";
  EXPECT_EQ(rows, (std::vector<std::string>{"1 d1/a" + m, "1 d3/a-copy" + m, "2 d2/b" + m, "2 d4/b-copy" + m}));
}

TEST(ConfirmCopiesSearch, ManySetsThatSplitAcrossBothReadingThreadsGiveOneGroupPerContents) {
  // Sets of many sizes, each splitting mid-file into two classes and a lone
  // file, and one set larger than stays open: more sets than batches and
  // lanes, read by both threads. Every contents of two or more files is one
  // group, with the texts of its files.
  TempTree tree;
  std::map<std::string, std::string> contentsOf;  // relative path -> bytes
  auto add = [&](const std::string& path, const std::string& bytes) {
    tree.Add({path, bytes});
    contentsOf[path] = bytes;
  };
  for (unsigned s = 0; s < 120; ++s) {
    const std::size_t size = 1 + s * 2311 % 150000;
    const std::string a = PatternBytes(size, s);
    const std::string d = "d" + std::to_string(s % 7) + "/";
    for (int k = 0; k < 3; ++k) add(d + "a" + std::to_string(s) + "-" + std::to_string(k), a);
    if (size > 1) {
      for (int k = 0; k < 2; ++k) add(d + "b" + std::to_string(s) + "-" + std::to_string(k), Flipped(a, size / 2));
      add(d + "lone" + std::to_string(s), Flipped(a, size - 1));
    }
  }
  const std::string big = PatternBytes(70000, 999);
  for (int k = 0; k < 68; ++k) add("big/" + std::to_string(k), k % 40 == 0 ? Flipped(big, 40000) : big);
  RecordingWindow window;
  SearchControl control(window, SearchFlavour::Windows);
  SearchOptions options;
  options.searchSubdirectories = true;
  options.sha1 = true;
  options.crc32 = true;
  ASSERT_EQ(control.Start({tree.RootText()}, options), SearchControl::StartResult::Started);
  ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
  window.PumpPending();
  std::map<std::string, std::set<std::string>> groups;  // group -> paths
  std::map<std::string, std::string> groupOfContents;
  for (const auto& r : window.rows) {
    const std::string path = testing::RelativeTo(tree.RootText(), {r[1]})[0];
    ASSERT_TRUE(contentsOf.count(path)) << path;
    groups[Bytes(r[0])].insert(path);
    auto [it, fresh] = groupOfContents.insert({contentsOf[path], Bytes(r[0])});
    EXPECT_EQ(it->second, Bytes(r[0])) << path;
    FileFingerprints own = FingerprintFile(r[1], true, true);
    EXPECT_EQ(Bytes(r[3]), Bytes(own.md5)) << path;
    EXPECT_EQ(Bytes(r[4]), Bytes(own.sha1)) << path;
    EXPECT_EQ(Bytes(r[5]), Bytes(own.crc32)) << path;
  }
  std::map<std::string, int> copies;
  for (const auto& [path, bytes] : contentsOf) ++copies[bytes];
  std::size_t reported = 0, expected = 0, expectedGroups = 0;
  for (const auto& [bytes, n] : copies)
    if (n >= 2) {
      expected += static_cast<std::size_t>(n);
      ++expectedGroups;
    }
  for (const auto& [g, paths] : groups) reported += paths.size();
  EXPECT_EQ(reported, expected);
  EXPECT_EQ(groups.size(), expectedGroups);
}

TEST(ConfirmCopiesSearch, APauseHoldsEveryReadingThreadAndResumeFinishes) {
  // Twelve pairs of multi-chunk files, each pair its own size: work for both
  // threads. Each chunk check is slowed so that a thread that ignored the
  // pause would be seen going on.
  TempTree tree;
  std::vector<Text> dirs;
  for (int i = 0; i < 12; ++i) {
    std::string contents = PatternBytes(3 * 256 * 1024 + static_cast<std::size_t>(i), static_cast<unsigned>(i));
    tree.Add({"d" + std::to_string(i) + "/x", contents});
    tree.Add({"d" + std::to_string(i) + "/y", contents});
    dirs.push_back(tree.PathOf("d" + std::to_string(i)));
  }
  RecordingWindow window;
  SearchControl control(window, SearchFlavour::Windows);
  std::atomic<int> checks{0};
  std::mutex mutex;
  std::set<std::thread::id> threads;
  PassIo io = PassIo::Platform();
  io.confirm = [&](const std::vector<CopySet>& sets, FingerprintKinds kinds, const ContinueCheck& keepGoing) {
    return ConfirmCopySets(sets, kinds, [&] {
      {
        std::lock_guard lock(mutex);
        threads.insert(std::this_thread::get_id());
      }
      if (++checks == 3) control.CurrentRun()->gate.AddPause();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return keepGoing();
    });
  };
  control.SetPassIo(io);
  ASSERT_EQ(control.Start(dirs, {}), SearchControl::StartResult::Started);
  ASSERT_TRUE(control.CurrentRun()->gate.WaitUntilHalted(60000));
  // Wait until the helper has come to its own first check too.
  for (int i = 0; i < 1000; ++i) {
    {
      std::lock_guard lock(mutex);
      if (threads.size() == 2) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  {
    std::lock_guard lock(mutex);
    ASSERT_EQ(threads.size(), 2u);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const int held = checks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(checks.load(), held);
  EXPECT_TRUE(window.rows.empty());
  EXPECT_TRUE(control.Resume());
  ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
  EXPECT_EQ(window.rows.size(), 24u);
}

TEST(ConfirmCopiesSearch, APausePutsEveryProbingThreadToSleepAndResumeFinishes) {
  // Enough files for every probing thread to hold a block of them when the
  // pause comes: each then sleeps at its next file, and none wakes until
  // Resume (a paused search costs no processor time).
  TempTree tree;
  for (int i = 0; i < 3000; ++i) tree.Add({"d/f" + std::to_string(i), std::string(1 + i % 1000, 'x')});
  RecordingWindow window;
  SearchControl control(window, SearchFlavour::Windows);
  std::atomic<int> probes{0};
  PassIo io = PassIo::Platform();
  io.probe = [&](const Text& path, const FileIdentity&) {
    if (++probes == 100) control.CurrentRun()->gate.AddPause();
    return ProbeFile(path);
  };
  control.SetPassIo(io);
  ASSERT_EQ(control.Start({tree.PathOf("d")}, {}), SearchControl::StartResult::Started);
  SearchGate& gate = control.CurrentRun()->gate;
  ASSERT_TRUE(gate.WaitUntilSleeping(static_cast<int>(kProbeThreads), 60000));
  const int held = probes.load();
  EXPECT_EQ(gate.SleepingThreads(), static_cast<int>(kProbeThreads));
  EXPECT_EQ(gate.WakeupsWhilePaused(), 0);
  EXPECT_EQ(probes.load(), held);
  EXPECT_TRUE(control.Resume());
  ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
  EXPECT_EQ(gate.SleepingThreads(), 0);
  EXPECT_EQ(probes.load(), 3000);
  EXPECT_EQ(window.rows.size(), 3000u);  // 1000 sizes, three files of each
}

}  // namespace
}  // namespace vantrel

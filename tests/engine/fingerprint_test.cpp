#include <gtest/gtest.h>

#include <string>

#include "engine/file_system.hpp"
#include "engine/fingerprint.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

using testing::Bytes;
using testing::TempTree;

struct Vector {
  std::string contents;
  const char* md5;
  const char* sha1;  // nullptr: not a published SHA-1 vector
  const char* crc32;
};

const std::string kMillionA(1000000, 'a');

// RFC 1321's suite, FIPS 180-1's examples, and the usual CRC-32 check values.
const Vector kVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709", "0"},
    {"a", "0cc175b9c0f1b6a831c399e269772661", nullptr, "E8B7BE43"},
    {"c", "4a8a08f09d37b73795649038408b5f33", nullptr, "6B9DF6F"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d",
     "352441C2"},
    {"123456789", "25f9e794323b453885f5181f1b624d0b", nullptr, "CBF43926"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0", nullptr, nullptr},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b", nullptr, nullptr},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f", nullptr, nullptr},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a", nullptr, nullptr},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "8215ef0796a20bcaaae116d3876c664a",
     "84983e441c3bd26ebaae4aa1f95129e5e54670f1", nullptr},
    // Exactly one MD5 chunk: the read after it returns nothing.
    {kMillionA, "7707d6ae4e027c70eea2a935c2296f21", "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
     nullptr},
};

TEST(Fingerprints, PublishedVectorsGiveTheirTextsThroughEveryReader) {
  TempTree tree;
  int i = 0;
  for (const auto& v : kVectors) {
    std::string name = "v" + std::to_string(i++);
    tree.Add({name, v.contents});
    Text path = tree.PathOf(name);
    SCOPED_TRACE(name);
    EXPECT_EQ(Bytes(Md5FileText(path)), v.md5);
    FileFingerprints all = FingerprintFile(path, true, true);
    ASSERT_EQ(all.outcome, FileFingerprints::Outcome::Done);
    EXPECT_EQ(Bytes(all.md5), v.md5);
    if (v.sha1) {
      EXPECT_EQ(Bytes(Sha1FileText(path)), v.sha1);
      EXPECT_EQ(Bytes(all.sha1), v.sha1);
    }
    if (v.crc32) {
      EXPECT_EQ(Bytes(FileCrc32Text(path)), v.crc32);
      EXPECT_EQ(Bytes(all.crc32), v.crc32);
    }
  }
}

// Contents that differ at every position, so a chunk read twice or skipped shows.
std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  std::uint32_t x = 2463534242u;
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return s;
}

TEST(Fingerprints, OnePassAgreesWithEachFingerprintAroundEveryChunkBoundary) {
  TempTree tree;
  const std::size_t sizes[] = {1,       4095,    4096,    4097,    524287,  524288,
                               524289,  999999,  1000000, 1000001, 1048576, 1048577,
                               2097152, 2500001};
  for (std::size_t size : sizes) {
    std::string name = "p" + std::to_string(size);
    tree.Add({name, Pattern(size)});
    Text path = tree.PathOf(name);
    SCOPED_TRACE(size);
    FileFingerprints all = FingerprintFile(path, true, true);
    ASSERT_EQ(all.outcome, FileFingerprints::Outcome::Done);
    EXPECT_EQ(all.md5, Md5FileText(path));
    EXPECT_EQ(all.sha1, Sha1FileText(path));
    EXPECT_EQ(all.crc32, Crc32Text(Crc32OfFile(path)));
    EXPECT_EQ(all.crc32, FileCrc32Text(path));
  }
}

TEST(Fingerprints, OptionalFingerprintsStayEmptyUnlessAskedFor) {
  TempTree tree({{"f", "abc"}});
  FileFingerprints md5Only = FingerprintFile(tree.PathOf("f"), false, false);
  EXPECT_EQ(md5Only.outcome, FileFingerprints::Outcome::Done);
  EXPECT_EQ(Bytes(md5Only.md5), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_TRUE(md5Only.sha1.empty());
  EXPECT_TRUE(md5Only.crc32.empty());
}

TEST(Fingerprints, MissingFilesAndDirectoriesGiveEmptyTextsAndZero) {
  TempTree tree({{"dir/", ""}});
  for (const Text& path : {tree.PathOf("missing"), tree.PathOf("dir"), Text()}) {
    SCOPED_TRACE(Bytes(path));
    EXPECT_EQ(CanOpenFile(path), 0);
    EXPECT_TRUE(Md5FileText(path).empty());
    EXPECT_TRUE(Sha1FileText(path).empty());
    EXPECT_EQ(Crc32OfFile(path), 0u);
    EXPECT_TRUE(FileCrc32Text(path).empty());
    EXPECT_EQ(FingerprintFile(path, true, true).outcome, FileFingerprints::Outcome::Unreadable);
  }
}

TEST(Fingerprints, ReadingStopsBetweenChunksWhenAsked) {
  TempTree tree({{"big", Pattern(3 * kFingerprintChunk)}});
  int asked = 0;
  FileFingerprints r = FingerprintFile(tree.PathOf("big"), true, true, [&] { return ++asked < 2; });
  EXPECT_EQ(r.outcome, FileFingerprints::Outcome::Interrupted);
  EXPECT_EQ(asked, 2);  // one chunk was read, the stop came before the second
  EXPECT_TRUE(r.md5.empty());
}

TEST(Fingerprints, TextForms) {
  struct Case {
    std::uint32_t crc;
    const char* text;
  } cases[] = {{0, "0"}, {0xF, "F"}, {0x6B9DF6F, "6B9DF6F"}, {0xE8B7BE43, "E8B7BE43"},
               {0xFFFFFFFF, "FFFFFFFF"}};
  for (const auto& c : cases) EXPECT_EQ(Bytes(Crc32Text(c.crc)), c.text);
  const std::uint8_t bytes[] = {0x00, 0x0a, 0xf0, 0xff};
  EXPECT_EQ(Bytes(HexDigestText(bytes, 4)), "000af0ff");
}

TEST(ProbeFile, OneOpeningTellsReadabilitySizeAndIdentity) {
  TempTree tree({{"ten", "0123456789"}, {"other", "0123456789"}, {"dir/", ""}});
  FileProbe ten = ProbeFile(tree.PathOf("ten"));
  EXPECT_TRUE(ten.readable);
  EXPECT_EQ(ten.size, 10);
  EXPECT_TRUE(ten.identity.known);
  EXPECT_EQ(ten.identity, FileIdentityOf(tree.PathOf("ten")));
  EXPECT_NE(ten.identity, ProbeFile(tree.PathOf("other")).identity);
  for (const Text& path : {tree.PathOf("dir"), tree.PathOf("missing")}) {
    FileProbe p = ProbeFile(path);
    EXPECT_FALSE(p.readable);
    EXPECT_EQ(p.size, -1);
    EXPECT_FALSE(p.identity.known);
  }
  EXPECT_EQ(FingerprintFile(tree.PathOf("ten"), false, false).size, 10);
}

TEST(FileSizeOf, FilesDirectoriesAndMissingPaths) {
  TempTree tree({{"empty", ""}, {"ten", "0123456789"}, {"dir/", ""}});
  EXPECT_EQ(FileSizeOf(tree.PathOf("empty")), 0);
  EXPECT_EQ(FileSizeOf(tree.PathOf("ten")), 10);
  EXPECT_EQ(FileSizeOf(tree.PathOf("dir")), -2);
  Text withSeparator = tree.PathOf("dir");
  AddTrailingSeparator(withSeparator);
  EXPECT_EQ(FileSizeOf(withSeparator), -2);
  EXPECT_EQ(FileSizeOf(tree.PathOf("missing")), -1);
  EXPECT_EQ(FileSizeOf(Text()), -1);
}

TEST(FileSizeOf, SparseFileOfFiveGibibytesKeepsItsFullSize) {
  TempTree tree;
  tree.AddSparse("huge.bin", 5ULL << 30);
  EXPECT_EQ(FileSizeOf(tree.PathOf("huge.bin")), 5LL << 30);
}

}  // namespace
}  // namespace vantrel

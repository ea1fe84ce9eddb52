#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/digest.hpp"
#include "engine/md5_lanes.hpp"

namespace vantrel {
namespace {

// `size` bytes at `bytes`, hashed as one stream.
struct Stream {
  const std::uint8_t* bytes;
  std::size_t size;
};

std::string Hex(const std::uint8_t* digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t k = 0; k < 16; ++k) {
    text += kDigits[digest[k] >> 4];
    text += kDigits[digest[k] & 15];
  }
  return text;
}

std::string HostMd5(const Stream& stream) {
  Digest digest(DigestKind::Md5);
  EXPECT_TRUE(digest.Ok());
  digest.Update(stream.bytes, stream.size);
  std::array<std::uint8_t, 20> out{};
  EXPECT_EQ(digest.Finish(out), 16u);
  return Hex(out.data());
}

// Block counts the caller advances by, in turn; mixed with the lane counts
// 1..16 they put every kernel through short and long calls, full and part-full.
constexpr std::size_t kPieces[] = {1, 3, 2, 7, 1, 5, 16, 250};

// Hashes the streams as a reading loop would: a changing number of streams
// (1, 2, ..., 16, 1, ...) advance together by a changing number of blocks,
// a stream is finished once less than a block is left and its lane goes to
// the next stream waiting.
std::vector<std::string> LaneMd5(const std::vector<Stream>& streams) {
  struct Open {
    std::size_t index;
    std::size_t done;
    Md5State state;
  };
  std::vector<std::string> digests(streams.size());
  auto finish = [&](Open& open) {
    const Stream& s = streams[open.index];
    std::uint8_t out[16];
    Md5End(open.state, s.bytes + open.done, s.size - open.done, s.size, out);
    digests[open.index] = Hex(out);
  };
  std::vector<Open> open;
  std::size_t next = 0;
  for (std::size_t call = 0;; ++call) {
    const std::size_t lanes = call % kMd5MaxLanes + 1;
    while (open.size() < lanes && next < streams.size()) {
      Open fresh{next++, 0, {}};
      Md5Start(fresh.state);
      if (streams[fresh.index].size < 64)
        finish(fresh);
      else
        open.push_back(fresh);
    }
    if (open.empty()) break;
    const std::size_t count = std::min(lanes, open.size());
    std::size_t blocks = kPieces[call % std::size(kPieces)];
    Md5State states[kMd5MaxLanes];
    const std::uint8_t* data[kMd5MaxLanes];
    for (std::size_t i = 0; i < count; ++i) {
      const Stream& s = streams[open[i].index];
      blocks = std::min(blocks, (s.size - open[i].done) / 64);
      states[i] = open[i].state;
      data[i] = s.bytes + open[i].done;
    }
    Md5Blocks(states, data, count, blocks);
    for (std::size_t i = 0; i < count; ++i) {
      open[i].state = states[i];
      open[i].done += 64 * blocks;
    }
    std::vector<Open> waiting;
    for (Open& o : open) {
      if (streams[o.index].size - o.done < 64)
        finish(o);
      else
        waiting.push_back(o);
    }
    open = std::move(waiting);
  }
  return digests;
}

std::vector<std::uint8_t> RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

void ExpectHostDigests(const std::vector<Stream>& streams) {
  const std::vector<std::string> digests = LaneMd5(streams);
  for (std::size_t i = 0; i < streams.size(); ++i)
    ASSERT_EQ(digests[i], HostMd5(streams[i])) << "stream " << i << " of " << streams[i].size << " bytes";
}

// Runs each test once per kernel width; a width this processor lacks is skipped.
class Md5Lanes : public ::testing::TestWithParam<std::size_t> {
 protected:
  void SetUp() override {
    if (!UseMd5Kernel(GetParam())) GTEST_SKIP() << "no kernel of width " << GetParam() << " here";
    ASSERT_EQ(Md5LaneWidth(), GetParam());
  }
  void TearDown() override { UseMd5Kernel(0); }
};

TEST_P(Md5Lanes, PublishedVectorsGiveTheirDigests) {
  struct Vector {
    std::string contents;
    const char* md5;
  };
  // RFC 1321's suite and a million 'a'.
  const Vector vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
  };
  std::vector<Stream> streams;
  for (const Vector& v : vectors)
    streams.push_back({reinterpret_cast<const std::uint8_t*>(v.contents.data()), v.contents.size()});
  // Twice over: once alone in its call, once beside the others.
  std::vector<Stream> twice = {streams.back()};
  twice.insert(twice.end(), streams.begin(), streams.end());
  const std::vector<std::string> digests = LaneMd5(twice);
  EXPECT_EQ(digests[0], vectors[std::size(vectors) - 1].md5);
  for (std::size_t i = 0; i < std::size(vectors); ++i)
    EXPECT_EQ(digests[i + 1], vectors[i].md5) << "\"" << vectors[i].contents.substr(0, 80) << "\"";
}

TEST_P(Md5Lanes, EveryLengthUpTo4096MatchesTheHostDigest) {
  const std::vector<std::uint8_t> pool = RandomBytes(1 << 20, 1321);
  std::vector<Stream> streams;
  for (std::size_t size = 0; size <= 4096; ++size) {
    // Odd, scattered start offsets; streams overlap in the pool.
    const Stream s{pool.data() + (size * 7919) % (pool.size() - 4096), size};
    streams.push_back(s);
    // Some streams twice in a row, so that one call sees the same pointer in two lanes.
    if (size % 5 == 3) streams.push_back(s);
  }
  ExpectHostDigests(streams);
}

TEST_P(Md5Lanes, MultiMegabyteStreamsMatchTheHostDigest) {
  const std::vector<std::uint8_t> pool = RandomBytes(8 << 20, 1992);
  const std::uint8_t* p = pool.data();
  ExpectHostDigests({{p, 5 << 20},
                     {p + 1, (5 << 20) + 13},
                     {p + 333, (3 << 20) + 63},
                     {p, 5 << 20},
                     {p + 4097, (7 << 20) + 1},
                     {p + 64, (6 << 20) + 56}});
}

INSTANTIATE_TEST_SUITE_P(Md5Kernels, Md5Lanes, ::testing::Values(1, 8, 16),
                         [](const ::testing::TestParamInfo<std::size_t>& kernel) {
                           return "Width" + std::to_string(kernel.param);
                         });

TEST(Md5LaneKernels, TheBestKernelIsTheWidestThisProcessorRuns) {
  EXPECT_TRUE(UseMd5Kernel(1));
  std::size_t widest = 0;
  for (std::size_t width : {1, 8, 16}) {
    if (!UseMd5Kernel(width)) continue;
    EXPECT_EQ(Md5LaneWidth(), width);
    widest = width;
  }
  for (std::size_t width : {2, 4, 17, 32}) {
    EXPECT_FALSE(UseMd5Kernel(width)) << width;
    EXPECT_EQ(Md5LaneWidth(), widest) << "refusing width " << width << " changed the kernel";
  }
  ASSERT_TRUE(UseMd5Kernel(0));
  EXPECT_EQ(Md5LaneWidth(), widest);
}

}  // namespace
}  // namespace vantrel

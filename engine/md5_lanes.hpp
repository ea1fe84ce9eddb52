#pragma once
// MD5 over several independent streams at once: one stream per SIMD lane, so
// that a set of equal-sized files is fingerprinted for about the cost of one.
// The caller owns the streams' bytes and feeds whole 64-byte blocks; the last
// partial block and the length go through Md5End. The kernel (portable, AVX2
// or AVX-512) is chosen at first use from what the processor offers.

#include <cstddef>
#include <cstdint>

namespace vantrel {

// The four chaining words of one stream, in MD5's order a, b, c, d.
struct Md5State {
  std::uint32_t h[4];
};

// The most streams one Md5Blocks call takes.
inline constexpr std::size_t kMd5MaxLanes = 16;

// Sets the state to MD5's initial values.
void Md5Start(Md5State& state);

// Advances states[i] over `blocks` consecutive 64-byte blocks starting at data[i], for every i < count
// (count <= kMd5MaxLanes; data pointers arbitrary, unaligned, may repeat). All lanes advance the same
// number of blocks.
void Md5Blocks(Md5State* states, const std::uint8_t* const* data, std::size_t count, std::size_t blocks);

// Finishes a stream: `tail` holds its last size % 64 bytes (size < 64 here), totalBytes is the
// stream's whole length; writes the 16 digest bytes.
void Md5End(Md5State& state, const std::uint8_t* tail, std::size_t size, std::uint64_t totalBytes,
            std::uint8_t out[16]);

// Returns the number of streams the kernel in use advances for about the cost of one: 16 (AVX-512),
// 8 (AVX2) or 1 (portable).
std::size_t Md5LaneWidth();

// Switches, for tests and benchmarks, to the kernel of the given width (1, 8 or 16; 0 = the best
// available). Returns false, and keeps the kernel in use, when this processor lacks it.
bool UseMd5Kernel(std::size_t width);

}  // namespace vantrel

// MD5 throughput on 64 KiB buffers that stay in the caches: the host's
// single-stream digest against each multi-stream kernel with as many streams
// as its lanes, and the AVX2 kernel given 16 streams, which it runs as two
// sets of 8. Bytes per second count every stream's bytes.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "engine/digest.hpp"
#include "engine/md5_lanes.hpp"

namespace {

using namespace vantrel;

constexpr std::size_t kBufferBytes = 64 << 10;

std::vector<std::uint8_t> Buffers(std::size_t count) {
  std::vector<std::uint8_t> bytes(count * kBufferBytes);
  std::uint32_t x = 2463534242u;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return bytes;
}

void BM_HostMd5OneStream(benchmark::State& state) {
  const std::vector<std::uint8_t> bytes = Buffers(1);
  for (auto _ : state) {
    Digest digest(DigestKind::Md5);
    digest.Update(bytes.data(), bytes.size());
    std::array<std::uint8_t, 20> out;
    benchmark::DoNotOptimize(digest.Finish(out));
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferBytes));
}
BENCHMARK(BM_HostMd5OneStream);

// Arguments: kernel width, streams hashed together.
void BM_Md5Lanes(benchmark::State& state) {
  const auto width = static_cast<std::size_t>(state.range(0));
  const auto streams = static_cast<std::size_t>(state.range(1));
  if (!UseMd5Kernel(width)) {
    state.SkipWithError("this processor has no kernel of that width");
    return;
  }
  const std::vector<std::uint8_t> bytes = Buffers(streams);
  std::vector<const std::uint8_t*> data;
  for (std::size_t i = 0; i < streams; ++i) data.push_back(bytes.data() + i * kBufferBytes);
  std::vector<Md5State> states(streams);
  for (auto _ : state) {
    for (Md5State& s : states) Md5Start(s);
    Md5Blocks(states.data(), data.data(), streams, kBufferBytes / 64);
    std::uint8_t out[16];
    for (Md5State& s : states) Md5End(s, nullptr, 0, kBufferBytes, out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * streams * kBufferBytes));
  UseMd5Kernel(0);
}
BENCHMARK(BM_Md5Lanes)
    ->ArgNames({"width", "streams"})
    ->Args({1, 1})
    ->Args({8, 8})
    ->Args({16, 16})
    ->Args({8, 16});

}  // namespace

BENCHMARK_MAIN();

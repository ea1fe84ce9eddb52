// Throughput of the one-pass reader against one read per fingerprint, on a
// 64 MiB file that stays in the page cache: what a search pays per byte.

#include <benchmark/benchmark.h>

#include "engine/fingerprint.hpp"
#include "tests/support/temp_tree.hpp"

namespace {

using vantrel::testing::TempTree;

TempTree& Fixture() {
  static TempTree tree({{"data.bin", std::string(64u << 20, 'x')}});
  return tree;
}

void BM_OnePassAllFingerprints(benchmark::State& state) {
  auto path = Fixture().PathOf("data.bin");
  for (auto _ : state) benchmark::DoNotOptimize(vantrel::FingerprintFile(path, true, true));
  state.SetBytesProcessed(state.iterations() * (64LL << 20));
}

void BM_OneReadPerFingerprint(benchmark::State& state) {
  auto path = Fixture().PathOf("data.bin");
  for (auto _ : state) {
    benchmark::DoNotOptimize(vantrel::Md5FileText(path));
    benchmark::DoNotOptimize(vantrel::Sha1FileText(path));
    benchmark::DoNotOptimize(vantrel::FileCrc32Text(path));
  }
  state.SetBytesProcessed(state.iterations() * (64LL << 20));
}

BENCHMARK(BM_OnePassAllFingerprints)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneReadPerFingerprint)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

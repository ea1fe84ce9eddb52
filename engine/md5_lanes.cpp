// MD5 in three kernels: portable C++ (one stream), AVX2 (8 streams) and
// AVX-512 (16 streams). The SIMD kernels are single functions compiled for
// their instruction set through target attributes, so the rest of the program
// keeps the baseline flags and still runs on any x86-64; the kernel is chosen
// once, at first use, by __builtin_cpu_supports, which also checks that the
// operating system saves the wide registers. Other processors get the
// portable kernel alone.
//
// A SIMD kernel loads one 64-byte block per lane and transposes it in
// registers, so that vector k holds message word k of every lane; the rounds
// are then MD5's, one lane per stream. Spare lanes of a call with fewer
// streams than the kernel's width repeat the call's first stream, whose bytes
// are known to be there, and their results are dropped.
//
// On Windows the stack is only 16-byte aligned and GCC cannot realign it, yet
// it has been known to spill 32- and 64-byte vectors there with aligned moves,
// which fault. Both SIMD kernels spill (the AVX2 one cannot keep its sixteen
// message words in sixteen registers), so the Windows build assembles this
// file with -Wa,-muse-unaligned-vector-move (cmake/VantrelCore.cmake), which
// makes every aligned vector move an unaligned one, of the same speed.

#include "engine/md5_lanes.hpp"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#define VANTREL_MD5_X86 1
#include <immintrin.h>
#endif

namespace vantrel {
namespace {

// floor(|sin(i + 1)| * 2^32), the additive constant of step i.
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr std::uint32_t kInitial[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The rotation of step i.
constexpr int Shift(std::size_t i) { return kShifts[i / 16][i % 4]; }

// The message word step i adds.
constexpr std::size_t MessageWord(std::size_t i) {
  switch (i / 16) {
    case 0: return i;
    case 1: return (5 * i + 1) % 16;
    case 2: return (3 * i + 5) % 16;
    default: return (7 * i) % 16;
  }
}

// The chaining word step i rewrites (a, d, c, b, a, ...); the next three in
// turn play b, c and d.
constexpr std::size_t Target(std::size_t i) { return (4 - i % 4) % 4; }

// The working form of one call's streams: chaining word k of lane j is h[k][j].
struct Lanes {
  std::uint32_t h[4][kMd5MaxLanes];
  const std::uint8_t* data[kMd5MaxLanes];
};

std::uint32_t LoadLittle32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// ---- portable kernel ------------------------------------------------------

template <std::size_t I>
[[gnu::always_inline]] inline void ScalarStep(std::uint32_t (&v)[4], const std::uint32_t (&w)[16]) {
  constexpr std::size_t t = Target(I);
  const std::uint32_t b = v[(t + 1) % 4], c = v[(t + 2) % 4], d = v[(t + 3) % 4];
  // As in the SIMD kernels, b, the previous step's result, enters last; G's
  // two halves have no bit in common, so they are added apart.
  std::uint32_t early = v[t] + w[MessageWord(I)] + kSine[I], f;
  if constexpr (I < 16) {
    f = d ^ (b & (c ^ d));
  } else if constexpr (I < 32) {
    early += c & ~d;
    f = b & d;
  } else if constexpr (I < 48) {
    f = (c ^ d) ^ b;
  } else {
    f = c ^ (b | ~d);
  }
  v[t] = b + std::rotl(early + f, Shift(I));
}

template <std::size_t... I>
[[gnu::always_inline]] inline void ScalarRounds(std::uint32_t (&v)[4], const std::uint32_t (&w)[16],
                                                std::index_sequence<I...>) {
  (ScalarStep<I>(v, w), ...);
}

void ScalarBlock(std::uint32_t (&h)[4], const std::uint8_t* block) {
  std::uint32_t w[16];
  for (std::size_t k = 0; k < 16; ++k) w[k] = LoadLittle32(block + 4 * k);
  std::uint32_t v[4] = {h[0], h[1], h[2], h[3]};
  ScalarRounds(v, w, std::make_index_sequence<64>());
  for (std::size_t k = 0; k < 4; ++k) h[k] += v[k];
}

void PortableKernel(Lanes& lanes, std::size_t blocks) {
  std::uint32_t h[4] = {lanes.h[0][0], lanes.h[1][0], lanes.h[2][0], lanes.h[3][0]};
  for (std::size_t b = 0; b < blocks; ++b) ScalarBlock(h, lanes.data[0] + 64 * b);
  for (std::size_t k = 0; k < 4; ++k) lanes.h[k][0] = h[k];
}

#ifdef VANTREL_MD5_X86

// A step adds a + w + k, which is ready early, and then the round function of
// b, c and d, where b is the previous step's result. GCC would reassociate the
// four additions into a balanced tree that puts two of them after the round
// function; passing the early sum through an empty asm keeps it one.
template <typename Vector>
[[gnu::always_inline]] inline void KeepApart(Vector& x) {
  asm("" : "+v"(x));
}

// Returns kSine through a pointer GCC cannot see into, once per block: each
// step then broadcasts its constant straight from memory, one load, instead of
// moving it through a general register, and GCC does not hoist 64 broadcast
// constants out of the block loop into the registers the rounds need.
[[gnu::always_inline]] inline const std::uint32_t* SineTable() {
  const std::uint32_t* table = kSine;
  asm volatile("" : "+r"(table));
  return table;
}

// ---- AVX2 kernel, 8 lanes -------------------------------------------------

template <int S>
__attribute__((target("avx2"), always_inline)) inline __m256i Rotl8(__m256i x) {
  return _mm256_or_si256(_mm256_slli_epi32(x, S), _mm256_srli_epi32(x, 32 - S));
}

// Each round function is written so that the operand just computed (b) comes
// last: the rest is off the dependency chain that runs through all 64 steps.
template <std::size_t I>
__attribute__((target("avx2"), always_inline)) inline void Step8(__m256i (&v)[4], const __m256i (&w)[16],
                                                                 const std::uint32_t* sine) {
  constexpr std::size_t t = Target(I);
  const __m256i b = v[(t + 1) % 4], c = v[(t + 2) % 4], d = v[(t + 3) % 4];
  __m256i f;
  if constexpr (I < 16)
    f = _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)));
  else if constexpr (I < 32)
    f = _mm256_or_si256(_mm256_andnot_si256(d, c), _mm256_and_si256(b, d));
  else if constexpr (I < 48)
    f = _mm256_xor_si256(_mm256_xor_si256(c, d), b);
  else
    f = _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))));
  const __m256i k = _mm256_set1_epi32(static_cast<int>(sine[I]));
  __m256i partial = _mm256_add_epi32(v[t], _mm256_add_epi32(w[MessageWord(I)], k));
  KeepApart(partial);
  v[t] = _mm256_add_epi32(b, Rotl8<Shift(I)>(_mm256_add_epi32(partial, f)));
}

template <std::size_t... I>
__attribute__((target("avx2"), always_inline)) inline void Rounds8(__m256i (&v)[4], const __m256i (&w)[16],
                                                                   const std::uint32_t* sine,
                                                                   std::index_sequence<I...>) {
  (Step8<I>(v, w, sine), ...);
}

// Turns r[j] = words 0..7 of lane j into out[k] = word k of lanes 0..7.
__attribute__((target("avx2"), always_inline)) inline void Transpose8(const __m256i (&r)[8],
                                                                      __m256i* out) {
  __m256i t[8], u[8];
#pragma GCC unroll 4
  for (std::size_t j = 0; j < 8; j += 2) {
    t[j] = _mm256_unpacklo_epi32(r[j], r[j + 1]);
    t[j + 1] = _mm256_unpackhi_epi32(r[j], r[j + 1]);
  }
  // u[4g + k]: word k (low half) and word k + 4 (high half) of lanes 4g..4g+3.
#pragma GCC unroll 2
  for (std::size_t g = 0; g < 8; g += 4) {
    u[g] = _mm256_unpacklo_epi64(t[g], t[g + 2]);
    u[g + 1] = _mm256_unpackhi_epi64(t[g], t[g + 2]);
    u[g + 2] = _mm256_unpacklo_epi64(t[g + 1], t[g + 3]);
    u[g + 3] = _mm256_unpackhi_epi64(t[g + 1], t[g + 3]);
  }
#pragma GCC unroll 4
  for (std::size_t k = 0; k < 4; ++k) {
    out[k] = _mm256_permute2x128_si256(u[k], u[4 + k], 0x20);
    out[k + 4] = _mm256_permute2x128_si256(u[k], u[4 + k], 0x31);
  }
}

__attribute__((target("avx2"))) void Avx2Kernel(Lanes& lanes, std::size_t blocks) {
  __m256i h[4];
#pragma GCC unroll 4
  for (std::size_t k = 0; k < 4; ++k)
    h[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.h[k]));
  for (std::size_t b = 0; b < blocks; ++b) {
    __m256i w[16];
#pragma GCC unroll 2
    for (std::size_t half = 0; half < 2; ++half) {
      __m256i r[8];
#pragma GCC unroll 8
      for (std::size_t j = 0; j < 8; ++j)
        r[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.data[j] + 64 * b + 32 * half));
      Transpose8(r, w + 8 * half);
    }
    __m256i v[4] = {h[0], h[1], h[2], h[3]};
    Rounds8(v, w, SineTable(), std::make_index_sequence<64>());
#pragma GCC unroll 4
    for (std::size_t k = 0; k < 4; ++k) h[k] = _mm256_add_epi32(h[k], v[k]);
  }
#pragma GCC unroll 4
  for (std::size_t k = 0; k < 4; ++k)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes.h[k]), h[k]);
}

// ---- AVX-512 kernel, 16 lanes ---------------------------------------------

// GCC 12's AVX-512 intrinsics pass a deliberately undefined vector as the
// unused merge source of each operation, which -Wmaybe-uninitialized reports
// once the intrinsic is inlined here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// vpternlogd takes its function as a truth table over its operands (d, c, b)
// here, whose bits are the table's columns 0xF0, 0xCC and 0xAA. The first
// operand is overwritten, so it is d, an old value whose copy is off the chain.
constexpr int kTableB = 0xAA, kTableC = 0xCC, kTableD = 0xF0;
constexpr int kTernary[4] = {
    ((kTableB & kTableC) | (~kTableB & kTableD)) & 0xFF,  // F
    ((kTableB & kTableD) | (kTableC & ~kTableD)) & 0xFF,  // G
    (kTableB ^ kTableC ^ kTableD) & 0xFF,                 // H
    (kTableC ^ (kTableB | ~kTableD)) & 0xFF,              // I
};

template <std::size_t I>
__attribute__((target("avx512f"), always_inline)) inline void Step16(__m512i (&v)[4], const __m512i (&w)[16],
                                                                    const std::uint32_t* sine) {
  constexpr std::size_t t = Target(I);
  const __m512i k = _mm512_set1_epi32(static_cast<int>(sine[I]));
  __m512i partial = _mm512_add_epi32(v[t], _mm512_add_epi32(w[MessageWord(I)], k));
  KeepApart(partial);
  // Named constants: an unoptimised build passes the intrinsics' immediates on
  // as written, and only a constant's name folds to a number there.
  constexpr int table = kTernary[I / 16];
  constexpr int shift = Shift(I);
  const __m512i f = _mm512_ternarylogic_epi32(v[(t + 3) % 4], v[(t + 2) % 4], v[(t + 1) % 4], table);
  v[t] = _mm512_add_epi32(v[(t + 1) % 4], _mm512_rol_epi32(_mm512_add_epi32(partial, f), shift));
}

template <std::size_t... I>
__attribute__((target("avx512f"), always_inline)) inline void Rounds16(__m512i (&v)[4], const __m512i (&w)[16],
                                                                       const std::uint32_t* sine,
                                                                       std::index_sequence<I...>) {
  (Step16<I>(v, w, sine), ...);
}

// Turns r[j] = the 16 words of lane j into w[k] = word k of lanes 0..15, in
// four steps of 16 shuffles.
__attribute__((target("avx512f"), always_inline)) inline void Transpose16(__m512i (&r)[16],
                                                                         __m512i (&w)[16]) {
  __m512i t[16];
#pragma GCC unroll 8
  for (std::size_t j = 0; j < 16; j += 2) {
    t[j] = _mm512_unpacklo_epi32(r[j], r[j + 1]);
    t[j + 1] = _mm512_unpackhi_epi32(r[j], r[j + 1]);
  }
  // r[4g + k]: in each 128-bit chunk c, word 4c + k of lanes 4g..4g+3.
#pragma GCC unroll 4
  for (std::size_t g = 0; g < 16; g += 4) {
    r[g] = _mm512_unpacklo_epi64(t[g], t[g + 2]);
    r[g + 1] = _mm512_unpackhi_epi64(t[g], t[g + 2]);
    r[g + 2] = _mm512_unpacklo_epi64(t[g + 1], t[g + 3]);
    r[g + 3] = _mm512_unpackhi_epi64(t[g + 1], t[g + 3]);
  }
  // What is left is a 4 x 4 transpose of 128-bit chunks for each k.
#pragma GCC unroll 4
  for (std::size_t k = 0; k < 4; ++k) {
    const __m512i low01 = _mm512_shuffle_i32x4(r[k], r[4 + k], 0x44);
    const __m512i high01 = _mm512_shuffle_i32x4(r[k], r[4 + k], 0xEE);
    const __m512i low23 = _mm512_shuffle_i32x4(r[8 + k], r[12 + k], 0x44);
    const __m512i high23 = _mm512_shuffle_i32x4(r[8 + k], r[12 + k], 0xEE);
    w[k] = _mm512_shuffle_i32x4(low01, low23, 0x88);
    w[4 + k] = _mm512_shuffle_i32x4(low01, low23, 0xDD);
    w[8 + k] = _mm512_shuffle_i32x4(high01, high23, 0x88);
    w[12 + k] = _mm512_shuffle_i32x4(high01, high23, 0xDD);
  }
}

__attribute__((target("avx512f"))) void Avx512Kernel(Lanes& lanes, std::size_t blocks) {
  __m512i h[4];
#pragma GCC unroll 4
  for (std::size_t k = 0; k < 4; ++k) h[k] = _mm512_loadu_si512(lanes.h[k]);
  for (std::size_t b = 0; b < blocks; ++b) {
    __m512i r[16], w[16];
#pragma GCC unroll 16
    for (std::size_t j = 0; j < 16; ++j) r[j] = _mm512_loadu_si512(lanes.data[j] + 64 * b);
    Transpose16(r, w);
    __m512i v[4] = {h[0], h[1], h[2], h[3]};
    Rounds16(v, w, SineTable(), std::make_index_sequence<64>());
#pragma GCC unroll 4
    for (std::size_t k = 0; k < 4; ++k) h[k] = _mm512_add_epi32(h[k], v[k]);
  }
#pragma GCC unroll 4
  for (std::size_t k = 0; k < 4; ++k) _mm512_storeu_si512(lanes.h[k], h[k]);
}

#pragma GCC diagnostic pop

#endif  // VANTREL_MD5_X86

// ---- choice of kernel -----------------------------------------------------

struct Kernel {
  std::size_t width;
  void (*run)(Lanes& lanes, std::size_t blocks);
};

constexpr Kernel kPortable{1, PortableKernel};
#ifdef VANTREL_MD5_X86
constexpr Kernel kAvx2{8, Avx2Kernel};
constexpr Kernel kAvx512{16, Avx512Kernel};
#endif

// Returns the kernel of the given width when this processor runs it.
const Kernel* AvailableKernel(std::size_t width) {
  if (width == 1) return &kPortable;
#ifdef VANTREL_MD5_X86
  if (width == 8 && __builtin_cpu_supports("avx2")) return &kAvx2;
  if (width == 16 && __builtin_cpu_supports("avx512f")) return &kAvx512;
#endif
  return nullptr;
}

const Kernel* BestKernel() {
  for (std::size_t width : {std::size_t{16}, std::size_t{8}})
    if (const Kernel* kernel = AvailableKernel(width)) return kernel;
  return &kPortable;
}

// Written by UseMd5Kernel and the first use; a race between two first uses
// stores the same kernel twice.
std::atomic<const Kernel*> activeKernel{nullptr};

const Kernel& ActiveKernel() {
  const Kernel* kernel = activeKernel.load(std::memory_order_acquire);
  if (!kernel) {
    kernel = BestKernel();
    activeKernel.store(kernel, std::memory_order_release);
  }
  return *kernel;
}

}  // namespace

void Md5Start(Md5State& state) { std::copy(std::begin(kInitial), std::end(kInitial), state.h); }

void Md5Blocks(Md5State* states, const std::uint8_t* const* data, std::size_t count, std::size_t blocks) {
  if (count == 0 || blocks == 0) return;
  const Kernel& kernel = ActiveKernel();
  for (std::size_t first = 0; first < count; first += kernel.width) {
    const std::size_t used = std::min(kernel.width, count - first);
    Lanes lanes;
    for (std::size_t j = 0; j < kernel.width; ++j) {
      const std::size_t from = first + (j < used ? j : 0);
      lanes.data[j] = data[from];
      for (std::size_t k = 0; k < 4; ++k) lanes.h[k][j] = states[from].h[k];
    }
    // A stream alone goes through the portable kernel: one busy lane of a
    // SIMD kernel advances slower than scalar code (bench/md5_lanes_bench).
    (used == 1 ? PortableKernel : kernel.run)(lanes, blocks);
    for (std::size_t j = 0; j < used; ++j)
      for (std::size_t k = 0; k < 4; ++k) states[first + j].h[k] = lanes.h[k][j];
  }
}

void Md5End(Md5State& state, const std::uint8_t* tail, std::size_t size, std::uint64_t totalBytes,
            std::uint8_t out[16]) {
  std::uint8_t last[128] = {};
  if (size > 0) std::memcpy(last, tail, size);
  last[size] = 0x80;
  const std::size_t end = size < 56 ? 64 : 128;
  const std::uint64_t bits = totalBytes * 8;  // modulo 2^64, as MD5 counts
  for (std::size_t k = 0; k < 8; ++k) last[end - 8 + k] = static_cast<std::uint8_t>(bits >> (8 * k));
  for (std::size_t at = 0; at < end; at += 64) ScalarBlock(state.h, last + at);
  for (std::size_t k = 0; k < 16; ++k) out[k] = static_cast<std::uint8_t>(state.h[k / 4] >> (8 * (k % 4)));
}

std::size_t Md5LaneWidth() { return ActiveKernel().width; }

bool UseMd5Kernel(std::size_t width) {
  const Kernel* kernel = width == 0 ? BestKernel() : AvailableKernel(width);
  if (!kernel) return false;
  activeKernel.store(kernel, std::memory_order_release);
  return true;
}

}  // namespace vantrel

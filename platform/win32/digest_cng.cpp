// MD5 and SHA-1 through Windows CNG (bcrypt). Opening an algorithm provider is
// slow compared with hashing a small file, so each provider, once open, is
// kept for the life of the process; CNG lets several threads make hash objects
// from one provider at once. An open that failed is not kept: the next Digest
// tries again, so one failure costs one file its fingerprint, not every file.
// Every hash object gets its own buffer of the size the provider asks for.

#include <windows.h>
#include <bcrypt.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "engine/digest.hpp"
#include "platform/win32/digest_cng_win32.hpp"

namespace vantrel {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

long SystemProviderOpener(void** provider, const wchar_t* algorithm) {
  return BCryptOpenAlgorithmProvider(provider, algorithm, nullptr, 0);
}

std::atomic<ProviderOpener> providerOpener{SystemProviderOpener};

// The open providers, by DigestKind; null until an open succeeds. Opening is
// serialised so that two threads never both open and one leaks its handle.
std::atomic<BCRYPT_ALG_HANDLE> providers[2];
std::mutex openingProviders;

// Returns the shared provider of the algorithm, null when CNG would not open it now.
BCRYPT_ALG_HANDLE ProviderFor(DigestKind kind) {
  std::atomic<BCRYPT_ALG_HANDLE>& slot = providers[kind == DigestKind::Md5 ? 0 : 1];
  if (BCRYPT_ALG_HANDLE open = slot.load(std::memory_order_acquire)) return open;
  std::lock_guard<std::mutex> lock(openingProviders);
  if (BCRYPT_ALG_HANDLE open = slot.load(std::memory_order_acquire)) return open;
  void* h = nullptr;
  const wchar_t* algorithm = kind == DigestKind::Md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA1_ALGORITHM;
  if (!Succeeded(providerOpener.load()(&h, algorithm)) || !h) return nullptr;
  slot.store(h, std::memory_order_release);
  return h;
}

}  // namespace

void SetProviderOpenerForTesting(ProviderOpener opener) {
  providerOpener.store(opener ? opener : SystemProviderOpener);
}

void ForgetProvidersForTesting() {
  std::lock_guard<std::mutex> lock(openingProviders);
  for (auto& slot : providers) {
    if (BCRYPT_ALG_HANDLE h = slot.exchange(nullptr)) BCryptCloseAlgorithmProvider(h, 0);
  }
}

struct Digest::State {
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::vector<UCHAR> object;  // CNG's working memory for hash
  DWORD length = 0;           // digest length in bytes
  bool ok = false;
};

Digest::Digest(DigestKind kind) : kind_(kind), state_(std::make_unique<State>()) {
  BCRYPT_ALG_HANDLE provider = ProviderFor(kind);
  if (!provider) return;
  DWORD objectLength = 0;
  DWORD hashLength = 0;
  ULONG got = 0;
  if (!Succeeded(BCryptGetProperty(provider, BCRYPT_OBJECT_LENGTH,
                                   reinterpret_cast<PUCHAR>(&objectLength), sizeof objectLength,
                                   &got, 0)) ||
      !Succeeded(BCryptGetProperty(provider, BCRYPT_HASH_LENGTH,
                                   reinterpret_cast<PUCHAR>(&hashLength), sizeof hashLength, &got,
                                   0)))
    return;
  if (hashLength == 0 || hashLength > 20) return;
  state_->object.resize(objectLength);
  if (!Succeeded(BCryptCreateHash(provider, &state_->hash, state_->object.data(), objectLength,
                                  nullptr, 0, 0))) {
    state_->hash = nullptr;
    return;
  }
  state_->length = hashLength;
  state_->ok = true;
}

Digest::~Digest() {
  if (state_->hash) BCryptDestroyHash(state_->hash);
}

bool Digest::Ok() const { return state_->ok; }

void Digest::Update(const void* data, std::size_t size) {
  auto* bytes = static_cast<const UCHAR*>(data);
  // BCryptHashData takes 32-bit counts.
  while (state_->ok && size > 0) {
    ULONG part = static_cast<ULONG>(size < (1u << 30) ? size : (1u << 30));
    if (!Succeeded(BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), part, 0)))
      state_->ok = false;
    bytes += part;
    size -= part;
  }
}

std::size_t Digest::Finish(std::array<std::uint8_t, 20>& out) {
  if (!state_->ok) return 0;
  // A finished CNG hash takes no more input; nor does this digest.
  state_->ok = false;
  if (!Succeeded(BCryptFinishHash(state_->hash, out.data(), state_->length, 0))) return 0;
  return state_->length;
}

std::unique_ptr<Digest> Digest::Copy() const {
  auto copy = std::make_unique<Digest>(kind_);
  if (!copy->state_->ok) return copy;
  // The copy's own hash object is replaced by a duplicate of this one's, in
  // a buffer of the same size.
  BCryptDestroyHash(copy->state_->hash);
  copy->state_->hash = nullptr;
  copy->state_->ok = false;
  copy->state_->object.resize(state_->object.size());
  if (state_->ok && Succeeded(BCryptDuplicateHash(state_->hash, &copy->state_->hash, copy->state_->object.data(),
                                                  static_cast<ULONG>(copy->state_->object.size()), 0)))
    copy->state_->ok = true;
  else
    copy->state_->hash = nullptr;
  return copy;
}

}  // namespace vantrel

// MD5 and SHA-1 through Windows CNG (bcrypt). Opening an algorithm provider is
// slow compared with hashing a small file, so each provider is opened once and
// kept for the life of the process; CNG lets several threads make hash objects
// from one provider at once.
// Every hash object gets its own buffer of the size the provider asks for.

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "engine/digest.hpp"

namespace vantrel {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// Returns the shared provider of the algorithm, null when CNG does not offer it.
BCRYPT_ALG_HANDLE ProviderFor(DigestKind kind) {
  auto open = [](LPCWSTR algorithm) {
    BCRYPT_ALG_HANDLE h = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&h, algorithm, nullptr, 0))) h = nullptr;
    return h;
  };
  static const BCRYPT_ALG_HANDLE md5 = open(BCRYPT_MD5_ALGORITHM);
  static const BCRYPT_ALG_HANDLE sha1 = open(BCRYPT_SHA1_ALGORITHM);
  return kind == DigestKind::Md5 ? md5 : sha1;
}

}  // namespace

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

}  // namespace vantrel

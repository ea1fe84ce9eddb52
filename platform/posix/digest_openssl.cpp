// MD5 and SHA-1 through OpenSSL's EVP interface.

#include <openssl/evp.h>

#include "engine/digest.hpp"

namespace vantrel {

struct Digest::State {
  EVP_MD_CTX* ctx = nullptr;
  bool ok = false;
};

Digest::Digest(DigestKind kind) : kind_(kind), state_(std::make_unique<State>()) {
  state_->ctx = EVP_MD_CTX_new();
  const EVP_MD* md = kind == DigestKind::Md5 ? EVP_md5() : EVP_sha1();
  state_->ok = state_->ctx && md && EVP_DigestInit_ex(state_->ctx, md, nullptr) == 1;
}

Digest::~Digest() {
  if (state_->ctx) EVP_MD_CTX_free(state_->ctx);
}

bool Digest::Ok() const { return state_->ok; }

void Digest::Update(const void* data, std::size_t size) {
  if (state_->ok && EVP_DigestUpdate(state_->ctx, data, size) != 1) state_->ok = false;
}

std::size_t Digest::Finish(std::array<std::uint8_t, 20>& out) {
  if (!state_->ok) return 0;
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  state_->ok = false;
  if (EVP_DigestFinal_ex(state_->ctx, md, &length) != 1 || length > out.size()) return 0;
  for (unsigned int i = 0; i < length; ++i) out[i] = md[i];
  return length;
}

std::unique_ptr<Digest> Digest::Copy() const {
  auto copy = std::make_unique<Digest>(kind_);
  if (!state_->ok || !copy->state_->ok || EVP_MD_CTX_copy_ex(copy->state_->ctx, state_->ctx) != 1)
    copy->state_->ok = false;
  return copy;
}

}  // namespace vantrel

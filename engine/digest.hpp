#pragma once
// MD5 and SHA-1 as the host provides them (OpenSSL's EVP on POSIX, CNG on
// Windows). The engine feeds bytes and takes the digest; the platform layer
// implements the class. A digest that could not be set up reports !Ok() and
// then ignores its input.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace vantrel {

enum class DigestKind { Md5, Sha1 };

class Digest {
 public:
  explicit Digest(DigestKind kind);
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  // Tells whether the host could provide the algorithm.
  bool Ok() const;
  // Adds bytes to the digest.
  void Update(const void* data, std::size_t size);
  // Finishes the digest and returns its length in bytes (16 or 20), 0 on failure.
  std::size_t Finish(std::array<std::uint8_t, 20>& out);
  // A digest of the same kind that has taken the same bytes so far (so the
  // two can go on with different bytes); !Ok() when this one is not, or the
  // host could not copy it.
  std::unique_ptr<Digest> Copy() const;

  struct State;  // host-specific

 private:
  DigestKind kind_;
  std::unique_ptr<State> state_;
};

}  // namespace vantrel

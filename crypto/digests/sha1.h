// SHA-1 (FIPS 180-4): 160-bit digest, 64-byte blocks, big-endian words.
#pragma once

#include <cstdint>

#include "crypto/hash.h"

namespace crypto {

class Sha1 final : public Hash {
 public:
  static const HashClass kClass;  // id 2, "SHA1", 160 bits
  using Hash::Hash;
  ~Sha1() override;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void AddBytes(const void* data, std::uint32_t n) override;
  void FinishDigest(std::uint8_t* digest) override;
  void WipeDigestState() override;

 private:
  void Compress(const std::uint8_t* block);

  std::uint32_t h_[5] = {};
  std::uint8_t buffer_[64] = {};
  std::uint32_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes
};

// Chooses between the processor's SHA extensions (when it has them) and the
// portable code, so tests can run both; answers whether the extensions exist.
bool Sha1UseShaExtensions(bool enabled);

}  // namespace crypto

// SHA-256 (FIPS 180-4): 256-bit digest, 64-byte blocks, big-endian words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"
#include "crypto/hash.h"

namespace crypto {

class Sha256 final : public Hash {
 public:
  static const HashClass kClass;  // id 44, "SHA256", 256 bits
  using Hash::Hash;
  ~Sha256() override;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void AddBytes(const void* data, std::uint32_t n) override;
  void FinishDigest(std::uint8_t* digest) override;
  void WipeDigestState() override;

 private:
  void Compress(const std::uint8_t* blocks, std::size_t count);

  std::uint32_t h_[8] = {};
  BlockBuffer<64> buffer_;
};

// Chooses between the processor's SHA extensions (when it has them) and the
// portable code, so tests can run both; answers whether the extensions exist.
bool Sha256UseShaExtensions(bool enabled);

}  // namespace crypto

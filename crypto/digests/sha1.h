// SHA-1 (FIPS 180-4): 160-bit digest, 64-byte blocks, big-endian words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"

namespace crypto {

class Sha1 final : public BlockDigest<Sha1, std::uint32_t, 5, 64> {
 public:
  static const HashClass kClass;  // id 2, "SHA1", 160 bits
  using BlockDigest::BlockDigest;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void FinishDigest(std::uint8_t* digest) override;

 private:
  friend BlockDigest;
  void Compress(const std::uint8_t* blocks, std::size_t count);
};

// Chooses between the processor's SHA extensions (when it has them) and the
// portable code, so tests can run both; answers whether the extensions exist.
bool Sha1UseShaExtensions(bool enabled);

}  // namespace crypto

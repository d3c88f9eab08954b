// HAVAL (Zheng, Pieprzyk, Seberry), version 1, 5 passes, 256-bit output:
// 128-byte blocks, little-endian words. This library finalises with the first
// padding byte 0x80 where the published HAVAL writes 0x01, so every digest
// differs from the published values; all else is the published algorithm.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"

namespace crypto {

class Haval final : public BlockDigest<Haval, std::uint32_t, 8, 128> {
 public:
  static const HashClass kClass;  // id 48, "Haval", 256 bits
  using BlockDigest::BlockDigest;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void FinishDigest(std::uint8_t* digest) override;

 private:
  friend BlockDigest;
  friend void PublishedHaval256(const void* data, std::uint32_t n, std::uint8_t* digest);
  void Compress(const std::uint8_t* blocks, std::size_t count);

  std::uint8_t first_pad_ = 0x80;
};

// The published HAVAL-256/5 (first padding byte 0x01), 32 bytes: lets tests
// pin everything but the padding byte to the published values.
void PublishedHaval256(const void* data, std::uint32_t n, std::uint8_t* digest);

}  // namespace crypto

// HAVAL (Zheng, Pieprzyk, Seberry), version 1, 5 passes, 256-bit output:
// 128-byte blocks, little-endian words. This library finalises with the first
// padding byte 0x80 where the published HAVAL writes 0x01, so every digest
// differs from the published values; all else is the published algorithm.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"
#include "crypto/hash.h"

namespace crypto {

class Haval final : public Hash {
 public:
  static const HashClass kClass;  // id 48, "Haval", 256 bits
  using Hash::Hash;
  ~Haval() override;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void AddBytes(const void* data, std::uint32_t n) override;
  void FinishDigest(std::uint8_t* digest) override;
  void WipeDigestState() override;

 private:
  friend void PublishedHaval256(const void* data, std::uint32_t n, std::uint8_t* digest);
  void Compress(const std::uint8_t* blocks, std::size_t count);

  std::uint32_t h_[8] = {};
  BlockBuffer<128> buffer_;
  std::uint8_t first_pad_ = 0x80;
};

// The published HAVAL-256/5 (first padding byte 0x01), 32 bytes: lets tests
// pin everything but the padding byte to the published values.
void PublishedHaval256(const void* data, std::uint32_t n, std::uint8_t* digest);

}  // namespace crypto

// MD4 (RFC 1320): 128-bit digest, 64-byte blocks, little-endian words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"
#include "crypto/hash.h"

namespace crypto {

class Md4 final : public Hash {
 public:
  static const HashClass kClass;  // id 40, "MD4", 128 bits
  using Hash::Hash;
  ~Md4() override;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void AddBytes(const void* data, std::uint32_t n) override;
  void FinishDigest(std::uint8_t* digest) override;
  void WipeDigestState() override;

 private:
  void Compress(const std::uint8_t* blocks, std::size_t count);

  std::uint32_t h_[4] = {};
  BlockBuffer<64> buffer_;
};

}  // namespace crypto

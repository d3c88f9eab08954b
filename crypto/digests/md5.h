// MD5 (RFC 1321): 128-bit digest, 64-byte blocks, little-endian words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"

namespace crypto {

class Md5 final : public BlockDigest<Md5, std::uint32_t, 4, 64> {
 public:
  static const HashClass kClass;  // id 41, "MD5", 128 bits
  using BlockDigest::BlockDigest;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void FinishDigest(std::uint8_t* digest) override;

 private:
  friend BlockDigest;
  void Compress(const std::uint8_t* blocks, std::size_t count);
};

}  // namespace crypto

// RIPEMD-160 (Dobbertin, Bosselaers, Preneel): 160-bit digest, 64-byte blocks,
// little-endian words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"

namespace crypto {

class RipeMd160 final : public BlockDigest<RipeMd160, std::uint32_t, 5, 64> {
 public:
  static const HashClass kClass;  // id 43, "RipeMD160", 160 bits
  using BlockDigest::BlockDigest;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void FinishDigest(std::uint8_t* digest) override;

 private:
  friend BlockDigest;
  void Compress(const std::uint8_t* blocks, std::size_t count);
};

}  // namespace crypto

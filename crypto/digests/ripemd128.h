// RIPEMD-128 (Dobbertin, Bosselaers, Preneel): 128-bit digest, 64-byte blocks,
// little-endian words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"

namespace crypto {

class RipeMd128 final : public BlockDigest<RipeMd128, std::uint32_t, 4, 64> {
 public:
  static const HashClass kClass;  // id 42, "RipeMD128", 128 bits
  using BlockDigest::BlockDigest;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void FinishDigest(std::uint8_t* digest) override;

 private:
  friend BlockDigest;
  void Compress(const std::uint8_t* blocks, std::size_t count);
};

}  // namespace crypto

// Tiger (Anderson and Biham), 3 passes: 192-bit digest, 64-byte blocks,
// little-endian 64-bit words, first padding byte 0x01 (0x80 would be Tiger2).
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"

namespace crypto {

class Tiger final : public BlockDigest<Tiger, std::uint64_t, 3, 64> {
 public:
  static const HashClass kClass;  // id 47, "Tiger", 192 bits
  using BlockDigest::BlockDigest;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void FinishDigest(std::uint8_t* digest) override;

 private:
  friend BlockDigest;
  void Compress(const std::uint8_t* blocks, std::size_t count);
};

}  // namespace crypto

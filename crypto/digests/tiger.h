// Tiger (Anderson and Biham), 3 passes: 192-bit digest, 64-byte blocks,
// little-endian 64-bit words, first padding byte 0x01 (0x80 would be Tiger2).
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"
#include "crypto/hash.h"

namespace crypto {

class Tiger final : public Hash {
 public:
  static const HashClass kClass;  // id 47, "Tiger", 192 bits
  using Hash::Hash;
  ~Tiger() override;
  const HashClass& Class() const override { return kClass; }

  void StartDigest() override;
  void AddBytes(const void* data, std::uint32_t n) override;
  void FinishDigest(std::uint8_t* digest) override;
  void WipeDigestState() override;

 private:
  void Compress(const std::uint8_t* blocks, std::size_t count);

  std::uint64_t h_[3] = {};
  BlockBuffer<64> buffer_;
};

}  // namespace crypto

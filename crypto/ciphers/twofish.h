// Twofish (Schneier et al. 1998): 128-bit blocks, 16 rounds, keys up to 256
// bits. A key is zero-padded on the right to the next of 128, 192 or 256 bits,
// as the paper pads short keys, so the 160-bit key from SHA-1 runs as a
// 192-bit key. Block and key words are little-endian.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Twofish final : public BlockCipher128 {
 public:
  static const CipherClass kClass;  // id 33, "Twofish", 256 key bits, 128-bit blocks
  using BlockCipher128::BlockCipher128;
  ~Twofish() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 private:
  std::uint32_t k_[40] = {};
  // g's key-dependent S-boxes with the MDS multiplication folded in.
  std::uint32_t s_[4][256] = {};
};

}  // namespace crypto

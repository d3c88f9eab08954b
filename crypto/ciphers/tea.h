// TEA (Wheeler and Needham 1994): 64-bit blocks, 128-bit key, 32 cycles.
// Key and block words are big-endian, the order of the published vector
// table. A key shorter than 128 bits is zero-padded on the right.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Tea final : public BlockCipher64 {
 public:
  static const CipherClass kClass;  // id 32, "TEA", 128 key bits, 64-bit blocks
  using BlockCipher64::BlockCipher64;
  ~Tea() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

  static constexpr int kCycles = 32;

 private:
  std::uint32_t k_[4] = {};
};

}  // namespace crypto

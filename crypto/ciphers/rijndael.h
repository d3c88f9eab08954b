// Rijndael with 128-bit blocks (AES, FIPS 197): keys of 128, 192 or 256 bits.
// Any other size up to 256 bits is zero-padded to the next of those, so the
// 160-bit key from SHA-1 runs as a 192-bit key (12 rounds).
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Rijndael final : public BlockCipher128 {
 public:
  static const CipherClass kClass;  // "Rijndael", 256 key bits, 128-bit blocks
  using BlockCipher128::BlockCipher128;
  ~Rijndael() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 private:
  int rounds_ = 0;
  std::uint32_t enc_[60] = {};
  std::uint32_t dec_[60] = {};
};

}  // namespace crypto

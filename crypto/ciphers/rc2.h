// RC2 (RFC 2268): 64-bit blocks, keys of 1 to 128 bytes. The effective key
// bits T1 are 8 x the key's byte count, so the key expansion's reduction step
// keeps every key bit. Words are little-endian.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Rc2 final : public BlockCipher64 {
 public:
  static const CipherClass kClass;  // id 25, "RC2", 1024 key bits, 64-bit blocks
  using BlockCipher64::BlockCipher64;
  ~Rc2() override;
  const CipherClass& Class() const override { return kClass; }

  // A key of fewer than 8 bits (0 whole bytes) runs as the one-byte key 00.
  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 private:
  std::uint16_t k_[64] = {};
};

}  // namespace crypto

// Blowfish (Schneier 1993): 64-bit blocks, keys of up to 448 bits. The key
// bytes are cycled over the P-array; both block halves are big-endian.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Blowfish final : public BlockCipher64 {
 public:
  static const CipherClass kClass;  // id 10, "Blowfish", 448 key bits, 64-bit blocks
  using BlockCipher64::BlockCipher64;
  ~Blowfish() override;
  const CipherClass& Class() const override { return kClass; }

  // Uses bits/8 key bytes (1 to 56); a key of under one byte acts as the key 00.
  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 private:
  void Encrypt(std::uint32_t& left, std::uint32_t& right) const;

  std::uint32_t p_[18] = {};
  std::uint32_t s_[4][256] = {};
};

}  // namespace crypto

// IDEA (Lai and Massey): 64-bit blocks of four big-endian 16-bit words, a
// 128-bit key of eight big-endian 16-bit words. A shorter key is zero-padded
// to 16 bytes.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Idea final : public BlockCipher64 {
 public:
  static const CipherClass kClass;  // id 15, "IDEA", 128 key bits, 64-bit blocks
  using BlockCipher64::BlockCipher64;
  ~Idea() override;
  const CipherClass& Class() const override { return kClass; }

  // Uses bits/8 key bytes.
  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 private:
  static void Crypt(const std::uint16_t* k, const void* in, void* out);

  std::uint16_t enc_[52] = {};
  std::uint16_t dec_[52] = {};
};

}  // namespace crypto

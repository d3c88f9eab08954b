// CAST-128 (RFC 2144): 64-bit blocks, keys of up to 128 bits, big-endian
// throughout. A shorter key is zero-padded on the right to 16 bytes; keys of
// 80 bits or less run 12 rounds, longer ones 16.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Cast128 final : public BlockCipher64 {
 public:
  static const CipherClass kClass;  // id 11, "Cast128", 128 key bits, 64-bit blocks
  using BlockCipher64::BlockCipher64;
  ~Cast128() override;
  const CipherClass& Class() const override { return kClass; }

  // Uses bits/8 key bytes. RFC 2144 starts at 40 bits; anything shorter is
  // padded the same way and also gets 12 rounds.
  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

  int Rounds() const { return rounds_; }

 private:
  int rounds_ = 16;
  std::uint32_t km_[16] = {};
  std::uint32_t kr_[16] = {};
};

}  // namespace crypto

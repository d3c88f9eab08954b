// RC6-32/20/b (Rivest, Robshaw, Sidney, Yin 1998): 128-bit blocks, 20 rounds,
// keys of 0 to 255 bytes (up to 2048 bits). Key and block are little-endian
// 32-bit words; all bits/8 key bytes are used, as the key schedule takes any
// byte count.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Rc6 final : public BlockCipher128 {
 public:
  static const CipherClass kClass;  // id 30, "RC6", 2048 key bits, 128-bit blocks
  using BlockCipher128::BlockCipher128;
  ~Rc6() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

  static constexpr int kRounds = 20;

 private:
  std::uint32_t s_[2 * kRounds + 4] = {};
};

}  // namespace crypto

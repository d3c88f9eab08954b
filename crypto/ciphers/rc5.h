// RC5-32/12/b (Rivest 1994): 64-bit blocks, 12 rounds, keys up to 2048 bits.
// Words are little-endian; all key bytes are used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Rc5 final : public BlockCipher64 {
 public:
  static const CipherClass kClass;  // id 3, "RC5", 2048 key bits, 64-bit blocks
  using BlockCipher64::BlockCipher64;
  ~Rc5() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;
  // 8-bit CFB with the rounds inlined; decryption runs many blocks side by
  // side, on AVX2 where the processor has it.
  void Cfb8Encrypt(const void* in, void* out, std::uint32_t n) override;
  void Cfb8Decrypt(const void* in, void* out, std::uint32_t n) override;

  static constexpr int kRounds = 12;

 private:
  std::uint32_t s_[2 * (kRounds + 1)] = {};
};

// The key expansion RC6 shares with RC5: fills s[0..t) from bits/8 key bytes,
// for keys of up to 2048 bits.
void Rc5ExpandKey(const void* key, std::uint32_t bits, std::uint32_t* s, std::size_t t);

// Chooses between the AVX2 code of 8-bit CFB decryption (where the processor
// has AVX2) and the portable code, so tests can run both; answers whether
// AVX2 exists.
bool Rc5UseAvx2(bool enabled);

}  // namespace crypto

// GOST 28147-89: 64-bit blocks, 256-bit key, 32 rounds, with the S-box set
// id-GostR3411-94-TestParamSet (the set of the GOST R 34.11-94 test example).
// Key = eight little-endian 32-bit words; block = two little-endian words n1,
// n2. A key shorter than 256 bits is zero-padded on the right, so the 160-bit
// key from SHA-1 runs with K5 = K6 = K7 = 0.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Gost final : public BlockCipher64 {
 public:
  static const CipherClass kClass;  // id 34, "GOST", 256 key bits, 64-bit blocks
  using BlockCipher64::BlockCipher64;
  ~Gost() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 private:
  std::uint32_t k_[8] = {};
};

}  // namespace crypto

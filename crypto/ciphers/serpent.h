// Serpent (Anderson, Biham, Knudsen 1998): 128-bit blocks, 32 rounds, keys up
// to 256 bits, in the bitslice form with the NESSIE byte order (the one the
// published libraries share): block and key are little-endian 32-bit words,
// key byte 0 first. A key shorter than 256 bits is padded as the paper pads
// it: the byte 0x01 right after its last byte, then zero bytes.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Serpent final : public BlockCipher128 {
 public:
  static const CipherClass kClass;  // id 31, "Serpent", 256 key bits, 128-bit blocks
  using BlockCipher128::BlockCipher128;
  ~Serpent() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

  static constexpr int kRounds = 32;

 private:
  std::uint32_t k_[kRounds + 1][4] = {};
};

}  // namespace crypto

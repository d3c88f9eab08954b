// MISTY1 (RFC 2994): 64-bit blocks, 128-bit key, 8 rounds. Big-endian
// throughout. A key shorter than 128 bits is zero-padded on the right.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Misty1 final : public BlockCipher64 {
 public:
  static const CipherClass kClass;  // id 24, "MISTY1", 128 key bits, 64-bit blocks
  using BlockCipher64::BlockCipher64;
  ~Misty1() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 private:
  // Per FO round: KO1..KO4 then KI1..KI3; per FL layer: the AND key, then the
  // OR key. All taken from K1..K8 and K'i = FI(Ki, Ki+1) as RFC 2994 orders them.
  std::uint16_t fo_[8][7] = {};
  std::uint16_t fl_[10][2] = {};
};

}  // namespace crypto

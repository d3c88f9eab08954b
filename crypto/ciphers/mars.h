// MARS (IBM 1998): 128-bit blocks, with the original (1998) key schedule, which
// takes keys of 4 to 39 32-bit words (128 to 1248 bits). Key and block words
// are little-endian. A key of fewer than 16 bytes is zero-padded to 16, and one
// that does not end on a word boundary is zero-padded to the next word; the
// 160-bit key from SHA-1 runs as n = 5 words, unpadded.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Mars final : public BlockCipher128 {
 public:
  static const CipherClass kClass;  // id 23, "MARS", 1248 key bits, 128-bit blocks
  using BlockCipher128::BlockCipher128;
  ~Mars() override;
  const CipherClass& Class() const override { return kClass; }

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

  // The S-box S0 || S1 of the MARS paper.
  static const std::uint32_t kSbox[512];

 private:
  std::uint32_t k_[40] = {};
};

}  // namespace crypto

// CAST-256 (RFC 2612): 128-bit blocks, keys of up to 256 bits, big-endian
// words. Every shorter key is zero-padded to 256 bits, as RFC 2612 pads its
// 128- to 224-bit keys, so the 160-bit key from SHA-1 is that key followed by
// twelve zero bytes.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class Cast256 final : public BlockCipher128 {
 public:
  static const CipherClass kClass;  // id 12, "Cast256", 256 key bits, 128-bit blocks
  using BlockCipher128::BlockCipher128;
  ~Cast256() override;
  const CipherClass& Class() const override { return kClass; }

  // Uses bits/8 key bytes. Sizes below 128 bits and off the 32-bit steps of
  // RFC 2612 are padded the same way.
  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 private:
  std::uint32_t km_[12][4] = {};
  std::uint32_t kr_[12][4] = {};
};

}  // namespace crypto

// DES (FIPS 46-3) and the machinery triple DES shares with it: 64-bit blocks,
// standard bit numbering (bit 1 is the top bit of byte 0). Parity bits are
// ignored and weak keys are accepted, since keys taken from a digest can be
// anything.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

// A chain of one or three DES passes between one initial and one final
// permutation. Encryption runs pass s with enc_[s], decryption with dec_[s].
class DesBase : public BlockCipher64 {
 public:
  using BlockCipher64::BlockCipher64;
  ~DesBase() override;

  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

 protected:
  static constexpr int kMaxPasses = 3;
  // Two words per round: the 6-bit pieces of the 48-bit round key for the
  // S-boxes 1, 3, 5, 7 and 2, 4, 6, 8, one per byte.
  using Schedule = std::uint32_t[32];

  // The 16 round keys of the DES key at key[0..7], in encryption order.
  static void RoundKeys(const std::uint8_t* key, Schedule out);
  // The same rounds in the opposite order (encryption <-> decryption).
  static void Reverse(const Schedule in, Schedule out);

  void Run(const Schedule* passes, const void* in, void* out) const;

  int passes_ = 1;
  Schedule enc_[kMaxPasses] = {};
  Schedule dec_[kMaxPasses] = {};
};

class Des final : public DesBase {
 public:
  static const CipherClass kClass;  // id 13, "DES", 64 key bits, 64-bit blocks
  using DesBase::DesBase;
  const CipherClass& Class() const override { return kClass; }

  // Uses bits/8 key bytes, zero-padded to 8.
  void ScheduleKey(const void* key, std::uint32_t bits) override;
};

}  // namespace crypto

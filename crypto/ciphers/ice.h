// The ICE family (Kwan 1997): 64-bit blocks, Feistel rounds with keyed bit
// swapping ("salt"). Level 0 (Thin-ICE) has 8 rounds and a 64-bit key, level n
// >= 1 has 16n rounds and a key of 64n bits. Block halves and key are
// big-endian, as in the certification triplets. A key shorter than the level's
// size is zero-padded on the right.
#pragma once

#include <cstdint>

#include "crypto/block_modes.h"

namespace crypto {

class IceBase : public BlockCipher64 {
 public:
  ~IceBase() override;

  void ScheduleKey(const void* key, std::uint32_t bits) override;
  void EncryptBlock(const void* in, void* out) override;
  void DecryptBlock(const void* in, void* out) override;
  void WipeKey() override;

  int Level() const { return level_; }
  int Rounds() const { return level_ == 0 ? 8 : 16 * level_; }

 protected:
  IceBase(Component* owner, int level) : BlockCipher64(owner), level_(level) {}

 private:
  static constexpr int kMaxRounds = 32;

  int level_;
  // Per round: the two 20-bit key words XORed into the expanded halves, then
  // the 20-bit salt mask.
  std::uint32_t subkeys_[kMaxRounds][3] = {};
};

class Ice final : public IceBase {
 public:
  static const CipherClass kClass;  // id 20, "ICE", 64 key bits, 64-bit blocks
  explicit Ice(Component* owner = nullptr) : IceBase(owner, 1) {}
  const CipherClass& Class() const override { return kClass; }
};

class ThinIce final : public IceBase {
 public:
  static const CipherClass kClass;  // id 21, "ThinICE", 64 key bits, 64-bit blocks
  explicit ThinIce(Component* owner = nullptr) : IceBase(owner, 0) {}
  const CipherClass& Class() const override { return kClass; }
};

class Ice2 final : public IceBase {
 public:
  static const CipherClass kClass;  // id 22, "ICE2", 128 key bits, 64-bit blocks
  explicit Ice2(Component* owner = nullptr) : IceBase(owner, 2) {}
  const CipherClass& Class() const override { return kClass; }
};

}  // namespace crypto

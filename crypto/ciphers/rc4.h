// RC4, the stream cipher: keys of 1 to 256 bytes, used as given; nothing is
// dropped from the keystream. EncryptBytes and DecryptBytes are the same XOR
// with the keystream, which runs on from one call to the next; ResetChain
// restarts it from the key.
#pragma once

#include <cstdint>

#include "crypto/cipher.h"

namespace crypto {

class Rc4 final : public Cipher {
 public:
  static const CipherClass kClass;  // id 26, "RC4", 2048 key bits, stream (block_bits -1)
  using Cipher::Cipher;
  ~Rc4() override;
  const CipherClass& Class() const override { return kClass; }

  // Cipher's size check, then the key schedule over the first bits/8 bytes
  // (a key of fewer than 8 bits runs as the one-byte key 00). iv is ignored.
  void SetKey(const void* key, std::uint32_t bits, const void* iv) override;
  void WipeKey() override;
  // Back to the state right after SetKey; nothing to do without a key.
  void ResetChain() override;
  // Raise CipherError "Cipher not initialized" without a key. in may be out.
  void EncryptBytes(const void* in, void* out, std::uint32_t n) override;
  void DecryptBytes(const void* in, void* out, std::uint32_t n) override;

 private:
  std::uint8_t initial_[256] = {};
  std::uint8_t s_[256] = {};
  std::uint8_t i_ = 0;
  std::uint8_t j_ = 0;
};

}  // namespace crypto

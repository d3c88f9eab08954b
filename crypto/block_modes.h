// The block-size layers: IV, chaining value and the five chaining modes, written
// once for B-byte blocks over the concrete cipher's EncryptBlock/DecryptBlock.
//
// Every mode takes full blocks, then a tail of n mod B bytes. In CBC and block
// CFB the tail is the same when encrypting and decrypting (CV := E(CV); Y := X
// xor CV), so any length encrypts to the same length and back. Input and output
// may be the same buffer. Without a key every operation but WipeKey raises
// BlockCipherError "Cipher not initialized", even for n = 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "crypto/cipher.h"

namespace crypto {

inline void XorInto(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) dst[i] ^= src[i];
}

template <std::size_t B>
class BlockCipherN : public BlockCipher {
 public:
  static constexpr std::size_t kBlockBytes = B;

  explicit BlockCipherN(Component* owner = nullptr) : BlockCipher(owner) {
    std::memset(iv_, 0xFF, B);
    std::memset(cv_, 0xFF, B);
  }
  ~BlockCipherN() override {
    WipeBytes(iv_, B);
    WipeBytes(cv_, B);
  }

  // Without an IV, IV := E_K(zero block).
  void SetKey(const void* key, std::uint32_t bits, const void* iv) override {
    Cipher::SetKey(key, bits, iv);
    ScheduleKey(key, bits);
    if (iv == nullptr) {
      std::memset(iv_, 0, B);
      EncryptBlock(iv_, iv_);
    } else {
      std::memcpy(iv_, iv, B);
    }
    std::memcpy(cv_, iv_, B);
  }

  void WipeKey() override {
    WipeBytes(iv_, B);
    WipeBytes(cv_, B);
    Cipher::WipeKey();
  }

  void ResetChain() override {
    CheckKey();
    std::memcpy(cv_, iv_, B);
  }
  void LoadIV(const void* iv) override {
    CheckKey();
    std::memcpy(iv_, iv, B);
    std::memcpy(cv_, iv_, B);
  }
  void ReadChain(void* out) override {
    CheckKey();
    std::memcpy(out, cv_, B);
  }

  // Adds 1 to CV read as a big-endian number; all 0xFF wraps to all zero.
  void IncrementCounter() {
    for (std::size_t i = B; i-- > 0;) {
      if (++cv_[i] != 0) break;
    }
  }

  void CbcEncrypt(const void* in, void* out, std::uint32_t n) override {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    for (; n >= B; n -= B, x += B, y += B) {
      XorInto(cv_, x, B);
      EncryptBlock(cv_, cv_);
      std::memcpy(y, cv_, B);
    }
    Tail(x, y, n);
  }

  void CbcDecrypt(const void* in, void* out, std::uint32_t n) override {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    std::uint8_t kept[B], t[B];
    for (; n >= B; n -= B, x += B, y += B) {
      std::memcpy(kept, x, B);
      DecryptBlock(kept, t);
      XorInto(t, cv_, B);
      std::memcpy(y, t, B);
      std::memcpy(cv_, kept, B);
    }
    Tail(x, y, n);
  }

  void CfbBlockEncrypt(const void* in, void* out, std::uint32_t n) override {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    for (; n >= B; n -= B, x += B, y += B) {
      EncryptBlock(cv_, cv_);
      XorInto(cv_, x, B);
      std::memcpy(y, cv_, B);
    }
    Tail(x, y, n);
  }

  void CfbBlockDecrypt(const void* in, void* out, std::uint32_t n) override {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    std::uint8_t kept[B];
    for (; n >= B; n -= B, x += B, y += B) {
      std::memcpy(kept, x, B);
      EncryptBlock(cv_, cv_);
      for (std::size_t i = 0; i < B; ++i) y[i] = static_cast<std::uint8_t>(kept[i] ^ cv_[i]);
      std::memcpy(cv_, kept, B);
    }
    Tail(x, y, n);
  }

  void OfbEncrypt(const void* in, void* out, std::uint32_t n) override {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    for (; n >= B; n -= B, x += B, y += B) {
      EncryptBlock(cv_, cv_);
      for (std::size_t i = 0; i < B; ++i) y[i] = static_cast<std::uint8_t>(x[i] ^ cv_[i]);
    }
    Tail(x, y, n);
  }
  void OfbDecrypt(const void* in, void* out, std::uint32_t n) override { OfbEncrypt(in, out, n); }

  void CtrEncrypt(const void* in, void* out, std::uint32_t n) override {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    std::uint8_t t[B];
    while (n > 0) {
      const std::size_t k = n < B ? n : B;
      EncryptBlock(cv_, t);
      IncrementCounter();
      for (std::size_t i = 0; i < k; ++i) y[i] = static_cast<std::uint8_t>(x[i] ^ t[i]);
      x += k;
      y += k;
      n -= static_cast<std::uint32_t>(k);
    }
  }
  void CtrDecrypt(const void* in, void* out, std::uint32_t n) override { CtrEncrypt(in, out, n); }

  // Byte by byte: T := E(CV); out := in xor T[0]; CV shifts left one byte and
  // takes the ciphertext byte.
  void Cfb8Encrypt(const void* in, void* out, std::uint32_t n) override {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    std::uint8_t t[B];
    for (std::uint32_t i = 0; i < n; ++i) {
      EncryptBlock(cv_, t);
      const auto c = static_cast<std::uint8_t>(x[i] ^ t[0]);
      y[i] = c;
      std::memmove(cv_, cv_ + 1, B - 1);
      cv_[B - 1] = c;
    }
  }

  void Cfb8Decrypt(const void* in, void* out, std::uint32_t n) override {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    std::uint8_t t[B];
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::uint8_t c = x[i];
      EncryptBlock(cv_, t);
      y[i] = static_cast<std::uint8_t>(c ^ t[0]);
      std::memmove(cv_, cv_ + 1, B - 1);
      cv_[B - 1] = c;
    }
  }

 protected:
  void CheckKey() const {
    if (!initialised_) throw BlockCipherError(kCipherNotInitialized);
  }

 private:
  // The tail of CBC, block CFB and OFB: CV := E(CV); Y := X xor CV[0..r).
  void Tail(const std::uint8_t* x, std::uint8_t* y, std::size_t r) {
    if (r == 0) return;
    EncryptBlock(cv_, cv_);
    for (std::size_t i = 0; i < r; ++i) y[i] = static_cast<std::uint8_t>(x[i] ^ cv_[i]);
  }

  std::uint8_t iv_[B];
  std::uint8_t cv_[B];
};

using BlockCipher64 = BlockCipherN<8>;
using BlockCipher128 = BlockCipherN<16>;

}  // namespace crypto

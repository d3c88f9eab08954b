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

#include "crypto/bytes.h"
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
    ThroughEncryptBlock first_byte(*this);
    Cfb8<false>(in, out, n, first_byte);
  }

  void Cfb8Decrypt(const void* in, void* out, std::uint32_t n) override {
    ThroughEncryptBlock first_byte(*this);
    Cfb8<true>(in, out, n, first_byte);
  }

 protected:
  void CheckKey() const {
    if (!initialised_) throw BlockCipherError(kCipherNotInitialized);
  }

  // 8-bit CFB with T[0] from first_byte(w), w being CV as B/4 little-endian
  // 32-bit words, so that a cipher can hand in its block function inlined. CV
  // stays in those words from byte to byte: a shift instead of a memmove.
  template <bool Decrypt, class FirstByte>
  void Cfb8(const void* in, void* out, std::uint32_t n, FirstByte& first_byte) {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    std::uint32_t w[kBlockWords];
    LoadChain(w);
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::uint8_t t = first_byte(w);
      const auto c = static_cast<std::uint8_t>(Decrypt ? x[i] : x[i] ^ t);
      y[i] = static_cast<std::uint8_t>(Decrypt ? c ^ t : c);
      for (std::size_t k = 0; k + 1 < kBlockWords; ++k) w[k] = w[k] >> 8 | w[k + 1] << 24;
      w[kBlockWords - 1] = w[kBlockWords - 1] >> 8 | static_cast<std::uint32_t>(c) << 24;
    }
    StoreChain(w);
  }

  // 8-bit CFB decryption with the block encryptions side by side. A byte's
  // register is the B ciphertext bytes before it, all known up front, so the
  // encryptions do not wait on each other. wide(cv, x, y, n) is a cipher's
  // vector code: it may decrypt a leading part of the n bytes, from CV as its
  // B bytes in cv, which it moves on, and answers how many bytes it took (0
  // where it has nothing for this processor). four(w, t) answers T[0] of each
  // of w[0..3] (CV words as for Cfb8) in t[0..3]; the last bytes go through one.
  template <class Wide, class FourBytes, class FirstByte>
  void Cfb8DecryptSideBySide(const void* in, void* out, std::uint32_t n, Wide& wide, FourBytes& four,
                             FirstByte& one) {
    CheckKey();
    const auto* x = static_cast<const std::uint8_t*>(in);
    auto* y = static_cast<std::uint8_t*>(out);
    std::uint32_t i = wide(cv_, x, y, n);
    // c[0..kBlockWords) is CV, c[kBlockWords] the next four ciphertext bytes;
    // register l of the four is bytes l..l+B-1 of c.
    std::uint32_t c[kBlockWords + 1];
    LoadChain(c);
    for (; n - i >= 4; i += 4) {
      c[kBlockWords] = LoadLe32(x + i);  // read first: y may be x
      std::uint32_t w[kBlockWords][4];
#pragma GCC unroll 4
      for (std::size_t k = 0; k < kBlockWords; ++k) {
        w[k][0] = c[k];
#pragma GCC unroll 3
        for (std::size_t l = 1; l < 4; ++l) w[k][l] = c[k] >> 8 * l | c[k + 1] << (32 - 8 * l);
      }
      std::uint8_t t[4];
      four(w, t);
#pragma GCC unroll 4
      for (std::size_t l = 0; l < 4; ++l) y[i + l] = static_cast<std::uint8_t>(c[kBlockWords] >> 8 * l ^ t[l]);
#pragma GCC unroll 4
      for (std::size_t k = 0; k < kBlockWords; ++k) c[k] = c[k + 1];
    }
    StoreChain(c);
    if (i < n) Cfb8<true>(x + i, y + i, n - i, one);
  }

 private:
  static constexpr std::size_t kBlockWords = B / 4;

  // T[0] through EncryptBlock, on CV sliding along a buffer: for each byte
  // only CV's new last word is stored, whole, one byte further on, where
  // EncryptBlock then reads the block. Its load of the last word is forwarded
  // from that one store; the rest of the block was stored for earlier bytes
  // and is in the cache by then. A word whose last byte was just stored alone
  // (a memmove of CV, then a byte store) makes the load wait.
  class ThroughEncryptBlock {
   public:
    explicit ThroughEncryptBlock(BlockCipherN& c) : c_(c) { std::memcpy(run_, c.cv_, B); }
    std::uint8_t operator()(const std::uint32_t* w) {
      if (at_ == kRun) {
        std::memcpy(run_, run_ + kRun, B - 4);
        at_ = 0;
      }
      StoreLe32(run_ + at_ + B - 4, w[kBlockWords - 1]);
      c_.EncryptBlock(run_ + at_, t_);
      ++at_;
      return t_[0];
    }

   private:
    static constexpr std::size_t kRun = 256;
    BlockCipherN& c_;
    std::size_t at_ = 0;
    std::uint8_t run_[kRun + B];
    std::uint8_t t_[B];
  };

  // CV as B/4 little-endian words, in and out.
  void LoadChain(std::uint32_t* w) const {
    for (std::size_t k = 0; k < kBlockWords; ++k) w[k] = LoadLe32(cv_ + 4 * k);
  }
  void StoreChain(const std::uint32_t* w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // GCC 12 builds StoreLe32 calls in a row as one wide store assembled byte
    // by byte, and starts assembling inside the loop.
    std::memcpy(cv_, w, B);
#else
    for (std::size_t k = 0; k < kBlockWords; ++k) StoreLe32(cv_ + 4 * k, w[k]);
#endif
  }

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

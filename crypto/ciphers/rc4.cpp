#include "crypto/ciphers/rc4.h"

#include <cstring>
#include <vector>

#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// RFC 6229: keystream bytes 0 to 31 of its 40- and 128-bit keys.
bool SelfTest() {
  struct KeyStream {
    const char* key;
    const char* stream;
  };
  static const KeyStream kVectors[] = {
      {"0102030405", "b2396305f03dc027ccc3524a0a1118a86982944f18fc82d589c403a47a0d0919"},
      {"0102030405060708090a0b0c0d0e0f10", "9ac7cc9a609d1ef7b2932899cde41b975248c4959014126a6e8a84f11d1a9e1c"},
  };
  try {
    for (const auto& v : kVectors) {
      const auto key = HexBytes(v.key);
      const auto stream = HexBytes(v.stream);
      Rc4 rc4;
      rc4.SetKey(key.data(), static_cast<std::uint32_t>(8 * key.size()), nullptr);
      std::vector<std::uint8_t> buf(stream.size(), 0);
      rc4.EncryptBytes(buf.data(), buf.data(), static_cast<std::uint32_t>(buf.size()));
      if (buf != stream) return false;
      rc4.ResetChain();
      rc4.DecryptBytes(buf.data(), buf.data(), static_cast<std::uint32_t>(buf.size()));
      if (buf != std::vector<std::uint8_t>(stream.size(), 0)) return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

const CipherClass Rc4::kClass = {26, "RC4", 2048, -1, &SelfTest, &CreateCipher<Rc4>};

Rc4::~Rc4() {
  WipeBytes(initial_, sizeof initial_);
  WipeBytes(s_, sizeof s_);
}

void Rc4::SetKey(const void* key, std::uint32_t bits, const void* iv) {
  Cipher::SetKey(key, bits, iv);
  static const std::uint8_t kZero = 0;
  std::size_t n = bits / 8;
  const auto* k = static_cast<const std::uint8_t*>(key);
  if (n == 0) {
    k = &kZero;
    n = 1;
  }
  for (int i = 0; i < 256; ++i) initial_[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (std::size_t i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + initial_[i] + k[i % n]);
    const std::uint8_t t = initial_[i];
    initial_[i] = initial_[j];
    initial_[j] = t;
  }
  std::memcpy(s_, initial_, sizeof s_);
  i_ = j_ = 0;
}

void Rc4::WipeKey() {
  WipeBytes(initial_, sizeof initial_);
  WipeBytes(s_, sizeof s_);
  i_ = j_ = 0;
  Cipher::WipeKey();
}

void Rc4::ResetChain() {
  if (!initialised_) return;
  std::memcpy(s_, initial_, sizeof s_);
  i_ = j_ = 0;
}

void Rc4::EncryptBytes(const void* in, void* out, std::uint32_t n) {
  if (!initialised_) throw CipherError(kCipherNotInitialized);
  const auto* x = static_cast<const std::uint8_t*>(in);
  auto* y = static_cast<std::uint8_t*>(out);
  std::uint8_t i = i_, j = j_;
  for (std::uint32_t k = 0; k < n; ++k) {
    i = static_cast<std::uint8_t>(i + 1);
    const std::uint8_t si = s_[i];
    j = static_cast<std::uint8_t>(j + si);
    const std::uint8_t sj = s_[j];
    s_[i] = sj;
    s_[j] = si;
    y[k] = static_cast<std::uint8_t>(x[k] ^ s_[static_cast<std::uint8_t>(si + sj)]);
  }
  i_ = i;
  j_ = j;
}

void Rc4::DecryptBytes(const void* in, void* out, std::uint32_t n) { EncryptBytes(in, out, n); }

}  // namespace crypto

// Known-answer checks for RunSelfTest: hex key, plaintext and ciphertext of one
// or more ECB blocks; decryption must give the plaintext back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace crypto {

struct KnownAnswer {
  const char* key;
  const char* plain;
  const char* cipher;
};

std::vector<std::uint8_t> HexBytes(const char* hex);

template <class T, std::size_t N>
bool RunKnownAnswers(const KnownAnswer (&vectors)[N]) {
  try {
    for (const auto& v : vectors) {
      const auto key = HexBytes(v.key);
      const auto pt = HexBytes(v.plain);
      const auto ct = HexBytes(v.cipher);
      T cipher;
      cipher.SetKey(key.data(), static_cast<std::uint32_t>(8 * key.size()), nullptr);
      const std::size_t b = T::kBlockBytes;
      std::vector<std::uint8_t> out(pt.size());
      for (std::size_t i = 0; i + b <= pt.size(); i += b) cipher.EncryptBlock(pt.data() + i, out.data() + i);
      if (out != ct) return false;
      for (std::size_t i = 0; i + b <= ct.size(); i += b) cipher.DecryptBlock(ct.data() + i, out.data() + i);
      if (out != pt) return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace crypto

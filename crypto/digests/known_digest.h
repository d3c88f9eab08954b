// Known-answer checks for a digest class's RunSelfTest.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "crypto/ciphers/known_answer.h"

namespace crypto {

struct KnownDigest {
  const char* message;  // ASCII, repeated `repeat` times
  std::uint32_t repeat;
  const char* digest;   // hex
};

template <class T, std::size_t N>
bool RunKnownDigests(const KnownDigest (&vectors)[N]) {
  try {
    for (const auto& v : vectors) {
      T hash;
      hash.StartDigest();
      const auto len = static_cast<std::uint32_t>(std::strlen(v.message));
      for (std::uint32_t i = 0; i < v.repeat; ++i) hash.AddBytes(v.message, len);
      std::vector<std::uint8_t> out(static_cast<std::size_t>(T::kClass.digest_bits) / 8);
      hash.FinishDigest(out.data());
      if (out != HexBytes(v.digest)) return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace crypto

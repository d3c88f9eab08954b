// The library's algorithm numbers 1 to 20 and the cipher class each selects.
#pragma once

#include <cstdint>

#include "crypto/cipher.h"

namespace crypto {

struct CipherEntry {
  std::int32_t number;
  const char* name;
  const CipherClass* cipher;  // null: the number selects nothing yet
};

// Every number outside 1..20 (compared as unsigned) and every row without a
// class selects nothing: null.
const CipherClass* FindCipher(std::int32_t algorithm);

// All twenty rows, in number order.
const CipherEntry* CipherTable();
inline constexpr int kCipherCount = 20;

// Key bits the commands use when keying from SHA-1: MaxKeyBits, at most 160.
std::int32_t KeyBitsFromSha1(const CipherClass& cipher);

}  // namespace crypto

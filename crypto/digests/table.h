// The library's digest numbers 21 to 30 and the hash class each selects
// (31, CRC-32, is no hash class).
#pragma once

#include <cstdint>

#include "crypto/hash.h"

namespace crypto {

struct DigestEntry {
  std::int32_t number;
  const char* name;
  const HashClass* hash;  // null: the number selects nothing yet
};

const HashClass* FindDigest(std::int32_t algorithm);
const DigestEntry* DigestTable();
inline constexpr int kDigestCount = 10;
inline constexpr std::int32_t kFirstDigest = 21;
inline constexpr std::int32_t kCrc32Algorithm = 31;

}  // namespace crypto

// The S-boxes S1 to S4 of CAST-128 (RFC 2144 appendix A). CAST-256 (RFC 2612)
// uses the same four, so both ciphers share this one copy.
#pragma once

#include <cstdint>

#include "crypto/bytes.h"

namespace crypto {
namespace cast {

extern const std::uint32_t kS[4][256];

// The three round functions shared by both ciphers (RFC 2144 section 2.2).
inline std::uint32_t F1(std::uint32_t d, std::uint32_t km, std::uint32_t kr) {
  const std::uint32_t i = Rotl32(km + d, kr);
  return ((kS[0][i >> 24] ^ kS[1][(i >> 16) & 0xFF]) - kS[2][(i >> 8) & 0xFF]) + kS[3][i & 0xFF];
}
inline std::uint32_t F2(std::uint32_t d, std::uint32_t km, std::uint32_t kr) {
  const std::uint32_t i = Rotl32(km ^ d, kr);
  return ((kS[0][i >> 24] - kS[1][(i >> 16) & 0xFF]) + kS[2][(i >> 8) & 0xFF]) ^ kS[3][i & 0xFF];
}
inline std::uint32_t F3(std::uint32_t d, std::uint32_t km, std::uint32_t kr) {
  const std::uint32_t i = Rotl32(km - d, kr);
  return ((kS[0][i >> 24] + kS[1][(i >> 16) & 0xFF]) ^ kS[2][(i >> 8) & 0xFF]) - kS[3][i & 0xFF];
}

}  // namespace cast
}  // namespace crypto

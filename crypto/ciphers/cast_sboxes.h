// The S-boxes S1 to S4 of CAST-128 (RFC 2144 appendix A). CAST-256 (RFC 2612)
// uses the same four, so both ciphers share this one copy.
#pragma once

#include <cstdint>

namespace crypto {
namespace cast {

extern const std::uint32_t kS[4][256];

inline std::uint32_t Rotl(std::uint32_t x, std::uint32_t r) { return (x << (r & 31)) | (x >> (-r & 31)); }

// The three round functions shared by both ciphers (RFC 2144 section 2.2).
inline std::uint32_t F1(std::uint32_t d, std::uint32_t km, std::uint32_t kr) {
  const std::uint32_t i = Rotl(km + d, kr);
  return ((kS[0][i >> 24] ^ kS[1][(i >> 16) & 0xFF]) - kS[2][(i >> 8) & 0xFF]) + kS[3][i & 0xFF];
}
inline std::uint32_t F2(std::uint32_t d, std::uint32_t km, std::uint32_t kr) {
  const std::uint32_t i = Rotl(km ^ d, kr);
  return ((kS[0][i >> 24] - kS[1][(i >> 16) & 0xFF]) + kS[2][(i >> 8) & 0xFF]) ^ kS[3][i & 0xFF];
}
inline std::uint32_t F3(std::uint32_t d, std::uint32_t km, std::uint32_t kr) {
  const std::uint32_t i = Rotl(km - d, kr);
  return ((kS[0][i >> 24] + kS[1][(i >> 16) & 0xFF]) ^ kS[2][(i >> 8) & 0xFF]) - kS[3][i & 0xFF];
}

inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
inline void StoreBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace cast
}  // namespace crypto

#include "crypto/ciphers/known_answer.h"

namespace crypto {

std::vector<std::uint8_t> HexBytes(const char* hex) {
  auto nibble = [](char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
  };
  std::vector<std::uint8_t> out;
  for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2)
    out.push_back(static_cast<std::uint8_t>(nibble(p[0]) << 4 | nibble(p[1])));
  return out;
}

}  // namespace crypto

// Commands 2 and 3: rotations of a 32-bit pattern by the count modulo 32.
#include "crypto/library.h"

namespace crypto {
namespace {
std::uint32_t RotateLeft(std::uint32_t x, std::uint32_t n) {
  n &= 31;
  return n == 0 ? x : (x << n) | (x >> (32 - n));
}
}  // namespace

void CRYPTO_CALL rol(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const auto x = static_cast<std::uint32_t>(ArgInteger(args[0]));
  const auto n = static_cast<std::uint32_t>(ArgInteger(args[1]));
  SetResultInteger(result, static_cast<std::int32_t>(RotateLeft(x, n)));
}

void CRYPTO_CALL ror(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const auto x = static_cast<std::uint32_t>(ArgInteger(args[0]));
  const auto n = static_cast<std::uint32_t>(ArgInteger(args[1]));
  SetResultInteger(result, static_cast<std::int32_t>(RotateLeft(x, 32 - (n & 31))));
}

}  // namespace crypto

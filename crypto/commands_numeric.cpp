// Commands 2 and 3: rotations of a 32-bit pattern by the count modulo 32.
#include <cstring>

#include "crypto/bigint.h"
#include "crypto/bytes.h"
#include "crypto/library.h"

namespace crypto {

void CRYPTO_CALL rol(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const auto x = static_cast<std::uint32_t>(ArgInteger(args[0]));
  const auto n = static_cast<std::uint32_t>(ArgInteger(args[1]));
  SetResultInteger(result, static_cast<std::int32_t>(Rotl32(x, n)));
}

void CRYPTO_CALL ror(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const auto x = static_cast<std::uint32_t>(ArgInteger(args[0]));
  const auto n = static_cast<std::uint32_t>(ArgInteger(args[1]));
  SetResultInteger(result, static_cast<std::int32_t>(Rotr32(x, n)));
}

// Commands 16 and 17: a non-negative integer of any length from decimal text to
// upper-case hex of its shortest bytes ("00" for 0), and from hex text (either
// case, odd lengths allowed) to decimal. Any other character gives the empty text.
void CRYPTO_CALL int2hex(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const char* text = ArgText(args[0]);
  if (text == nullptr) return;
  const std::size_t n = std::strlen(text);
  if (!IsDecimalText(text, n)) return;
  const std::string hex = BytesToHex(BigIntToBytes(DecimalToBigInt(text, n)));
  SetResultPointer(result, CloneText(hex.data(), hex.size()));
}

void CRYPTO_CALL hex2int(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const char* text = ArgText(args[0]);
  if (text == nullptr) return;
  const std::size_t n = std::strlen(text);
  if (!IsHexText(text, n)) return;
  const std::string decimal = BigIntToDecimal(BytesToBigInt(HexToBytes(text, n)));
  SetResultPointer(result, CloneText(decimal.data(), decimal.size()));
}

}  // namespace crypto

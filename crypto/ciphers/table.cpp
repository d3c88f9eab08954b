#include "crypto/ciphers/table.h"

#include <iterator>

#include "crypto/ciphers/rc5.h"
#include "crypto/ciphers/rijndael.h"

namespace crypto {
namespace {

constexpr CipherEntry kCiphers[] = {
    {1, "Blowfish", nullptr},
    {2, "Cast128", nullptr},
    {3, "Cast256", nullptr},
    {4, "DES", nullptr},
    {5, "_3DES", nullptr},
    {6, "Ice", nullptr},
    {7, "ThinIce", nullptr},
    {8, "Ice2", nullptr},
    {9, "IDEA", nullptr},
    {10, "MARS", nullptr},
    {11, "Misty1", nullptr},
    {12, "RC2", nullptr},
    {13, "RC4", nullptr},
    {14, "RC5", &Rc5::kClass},
    {15, "RC6", nullptr},
    {16, "Rijndael_AES", &Rijndael::kClass},
    {17, "Serpent", nullptr},
    {18, "TEA", nullptr},
    {19, "Twofish", nullptr},
    {20, "gost", nullptr},
};
static_assert(std::size(kCiphers) == kCipherCount, "one row per cipher number");

constexpr bool RowsInOrder() {
  for (int i = 0; i < kCipherCount; ++i)
    if (kCiphers[i].number != i + 1) return false;
  return true;
}
static_assert(RowsInOrder(), "row i holds algorithm number i + 1");

}  // namespace

const CipherClass* FindCipher(std::int32_t algorithm) {
  const auto n = static_cast<std::uint32_t>(algorithm);
  if (n < 1 || n > static_cast<std::uint32_t>(kCipherCount)) return nullptr;
  return kCiphers[n - 1].cipher;
}

const CipherEntry* CipherTable() { return kCiphers; }

std::int32_t KeyBitsFromSha1(const CipherClass& cipher) {
  return cipher.max_key_bits < 160 ? cipher.max_key_bits : 160;
}

}  // namespace crypto

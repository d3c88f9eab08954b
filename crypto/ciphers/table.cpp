#include "crypto/ciphers/table.h"

#include <iterator>

#include "crypto/ciphers/blowfish.h"
#include "crypto/ciphers/cast128.h"
#include "crypto/ciphers/cast256.h"
#include "crypto/ciphers/des.h"
#include "crypto/ciphers/gost.h"
#include "crypto/ciphers/ice.h"
#include "crypto/ciphers/idea.h"
#include "crypto/ciphers/mars.h"
#include "crypto/ciphers/misty1.h"
#include "crypto/ciphers/rc2.h"
#include "crypto/ciphers/rc4.h"
#include "crypto/ciphers/rc5.h"
#include "crypto/ciphers/rc6.h"
#include "crypto/ciphers/rijndael.h"
#include "crypto/ciphers/serpent.h"
#include "crypto/ciphers/tea.h"
#include "crypto/ciphers/triple_des.h"
#include "crypto/ciphers/twofish.h"

namespace crypto {
namespace {

constexpr CipherEntry kCiphers[] = {
    {1, "Blowfish", &Blowfish::kClass},
    {2, "Cast128", &Cast128::kClass},
    {3, "Cast256", &Cast256::kClass},
    {4, "DES", &Des::kClass},
    {5, "_3DES", &TripleDes::kClass},
    {6, "Ice", &Ice::kClass},
    {7, "ThinIce", &ThinIce::kClass},
    {8, "Ice2", &Ice2::kClass},
    {9, "IDEA", &Idea::kClass},
    {10, "MARS", &Mars::kClass},
    {11, "Misty1", &Misty1::kClass},
    {12, "RC2", &Rc2::kClass},
    {13, "RC4", &Rc4::kClass},
    {14, "RC5", &Rc5::kClass},
    {15, "RC6", &Rc6::kClass},
    {16, "Rijndael_AES", &Rijndael::kClass},
    {17, "Serpent", &Serpent::kClass},
    {18, "TEA", &Tea::kClass},
    {19, "Twofish", &Twofish::kClass},
    {20, "gost", &Gost::kClass},
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

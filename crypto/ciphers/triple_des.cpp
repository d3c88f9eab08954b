#include "crypto/ciphers/triple_des.h"

#include <cstring>

#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// NIST SP 800-67 Rev. 1 appendix B (three blocks), FIPS 81's DES vector with
// K1 = K2 = K3, and the 20-byte key form from ciphers.txt.
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"0123456789abcdef23456789abcdef01456789abcdef0123", "54686520717566636b2062726f776e20666f78206a756d70",
       "a826fd8ce53b855fcce21c8112256fe668d5c05dd9b6b900"},
      {"0123456789abcdef0123456789abcdef0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
      {"000102030405060708090a0b0c0d0e0f10111213", "0011223344556677", "73229200fd5f15c6"},
  };
  return RunKnownAnswers<TripleDes>(kVectors);
}

}  // namespace

const CipherClass TripleDes::kClass = {14, "3DES", 192, 64, &SelfTest, &CreateCipher<TripleDes>};

void TripleDes::ScheduleKey(const void* key, std::uint32_t bits) {
  std::uint8_t k[24] = {};
  if (bits >= 8) std::memcpy(k, key, bits / 8);  // a key under one byte may come as null
  passes_ = 3;
  Schedule forward[3];
  for (int i = 0; i < 3; ++i) RoundKeys(k + 8 * i, forward[i]);
  // Encryption: E_K1, D_K2, E_K3; decryption: D_K3, E_K2, D_K1.
  std::memcpy(enc_[0], forward[0], sizeof(Schedule));
  Reverse(forward[1], enc_[1]);
  std::memcpy(enc_[2], forward[2], sizeof(Schedule));
  Reverse(forward[2], dec_[0]);
  std::memcpy(dec_[1], forward[1], sizeof(Schedule));
  Reverse(forward[0], dec_[2]);
  WipeBytes(forward, sizeof forward);
  WipeBytes(k, sizeof k);
}

}  // namespace crypto

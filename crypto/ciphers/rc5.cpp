#include "crypto/ciphers/rc5.h"

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

constexpr std::uint32_t kP32 = 0xB7E15163u;
constexpr std::uint32_t kQ32 = 0x9E3779B9u;

// Published RC5-32/12 vectors (Rivest's paper and RFC 2040 style tables).
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"00000000000000000000000000000000", "0000000000000000", "21a5dbee154b8f6d"},
      {"915f4619be41b2516355a50110a9ce91", "21a5dbee154b8f6d", "f7c013ac5b2b8952"},
      {"783348e75aeb0f2fd7b169bb8dc16787", "f7c013ac5b2b8952", "2f42b3b70369fc92"},
  };
  return RunKnownAnswers<Rc5>(kVectors);
}

}  // namespace

const CipherClass Rc5::kClass = {3, "RC5", 2048, 64, &SelfTest, &CreateCipher<Rc5>};

Rc5::~Rc5() { WipeBytes(s_, sizeof s_); }

void Rc5ExpandKey(const void* key, std::uint32_t bits, std::uint32_t* s, std::size_t t) {
  // A key of 4 bits has no whole byte: it runs as the empty key (c = 1, L = 0).
  const std::size_t b = bits / 8;
  const std::size_t c = b == 0 ? 1 : (b + 3) / 4;
  std::uint32_t l[64] = {};
  const auto* k = static_cast<const std::uint8_t*>(key);
  for (std::size_t i = b; i-- > 0;) l[i / 4] = (l[i / 4] << 8) + k[i];
  s[0] = kP32;
  for (std::size_t i = 1; i < t; ++i) s[i] = s[i - 1] + kQ32;
  std::uint32_t a = 0, bb = 0;
  std::size_t i = 0, j = 0;
  const std::size_t passes = 3 * (t > c ? t : c);
  for (std::size_t n = 0; n < passes; ++n) {
    a = s[i] = Rotl32(s[i] + a + bb, 3);
    bb = l[j] = Rotl32(l[j] + a + bb, a + bb);
    i = (i + 1) % t;
    j = (j + 1) % c;
  }
  WipeBytes(l, sizeof l);
}

void Rc5::ScheduleKey(const void* key, std::uint32_t bits) { Rc5ExpandKey(key, bits, s_, 2 * (kRounds + 1)); }

void Rc5::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = LoadLe32(p) + s_[0];
  std::uint32_t b = LoadLe32(p + 4) + s_[1];
#pragma GCC unroll 12
  for (int i = 1; i <= kRounds; ++i) {
    a = Rotl32(a ^ b, b) + s_[2 * i];
    b = Rotl32(b ^ a, a) + s_[2 * i + 1];
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe32(q, a);
  StoreLe32(q + 4, b);
}

void Rc5::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = LoadLe32(p);
  std::uint32_t b = LoadLe32(p + 4);
#pragma GCC unroll 12
  for (int i = kRounds; i >= 1; --i) {
    b = Rotr32(b - s_[2 * i + 1], a) ^ a;
    a = Rotr32(a - s_[2 * i], b) ^ b;
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe32(q, a - s_[0]);
  StoreLe32(q + 4, b - s_[1]);
}

void Rc5::WipeKey() {
  WipeBytes(s_, sizeof s_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

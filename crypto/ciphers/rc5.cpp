#include "crypto/ciphers/rc5.h"

#include <cstring>

#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

constexpr std::uint32_t kP32 = 0xB7E15163u;
constexpr std::uint32_t kQ32 = 0x9E3779B9u;

// The masked form compiles to a single rotate instruction.
inline std::uint32_t Rotl(std::uint32_t x, std::uint32_t r) { return (x << (r & 31)) | (x >> (-r & 31)); }
inline std::uint32_t Rotr(std::uint32_t x, std::uint32_t r) { return (x >> (r & 31)) | (x << (-r & 31)); }
inline std::uint32_t Load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

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

void Rc5::ScheduleKey(const void* key, std::uint32_t bits) {
  constexpr int t = 2 * (kRounds + 1);
  const std::size_t b = bits / 8;
  const std::size_t c = b == 0 ? 1 : (b + 3) / 4;
  std::uint32_t l[64] = {};
  const auto* k = static_cast<const std::uint8_t*>(key);
  for (std::size_t i = b; i-- > 0;) l[i / 4] = (l[i / 4] << 8) + k[i];
  s_[0] = kP32;
  for (int i = 1; i < t; ++i) s_[i] = s_[i - 1] + kQ32;
  std::uint32_t a = 0, bb = 0;
  std::size_t i = 0, j = 0;
  const std::size_t passes = 3 * (static_cast<std::size_t>(t) > c ? static_cast<std::size_t>(t) : c);
  for (std::size_t s = 0; s < passes; ++s) {
    a = s_[i] = Rotl(s_[i] + a + bb, 3);
    bb = l[j] = Rotl(l[j] + a + bb, a + bb);
    i = (i + 1) % t;
    j = (j + 1) % c;
  }
  WipeBytes(l, sizeof l);
}

void Rc5::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = Load32(p) + s_[0];
  std::uint32_t b = Load32(p + 4) + s_[1];
#pragma GCC unroll 12
  for (int i = 1; i <= kRounds; ++i) {
    a = Rotl(a ^ b, b) + s_[2 * i];
    b = Rotl(b ^ a, a) + s_[2 * i + 1];
  }
  auto* q = static_cast<std::uint8_t*>(out);
  Store32(q, a);
  Store32(q + 4, b);
}

void Rc5::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = Load32(p);
  std::uint32_t b = Load32(p + 4);
#pragma GCC unroll 12
  for (int i = kRounds; i >= 1; --i) {
    b = Rotr(b - s_[2 * i + 1], a) ^ a;
    a = Rotr(a - s_[2 * i], b) ^ b;
  }
  auto* q = static_cast<std::uint8_t*>(out);
  Store32(q, a - s_[0]);
  Store32(q + 4, b - s_[1]);
}

void Rc5::WipeKey() {
  WipeBytes(s_, sizeof s_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

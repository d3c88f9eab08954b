#include "crypto/ciphers/rc5.h"

#include <cstring>

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

// One block on its two words; inline, so that the 8-bit CFB loop runs the
// rounds without a call or a trip through memory.
inline void EncryptWords(const std::uint32_t* s, std::uint32_t& a, std::uint32_t& b) {
  a += s[0];
  b += s[1];
#pragma GCC unroll 12
  for (int i = 1; i <= Rc5::kRounds; ++i) {
    a = Rotl32(a ^ b, b) + s[2 * i];
    b = Rotl32(b ^ a, a) + s[2 * i + 1];
  }
}

// T[0] of 8-bit CFB for CV as its two words. Only the low byte of A is used,
// so the compiler drops the last half-round.
inline std::uint8_t FirstByte(const std::uint32_t* s, const std::uint32_t* w) {
  std::uint32_t a = w[0], b = w[1];
  EncryptWords(s, a, b);
  return static_cast<std::uint8_t>(a);
}

// T[0] of four registers at once: four independent chains of rounds, which
// the processor overlaps; one chain alone waits on each rotate.
inline void FirstBytesOfFour(const std::uint32_t* s, const std::uint32_t (&w)[4][2], std::uint8_t* t) {
  std::uint32_t a[4], b[4];
  for (int l = 0; l < 4; ++l) {
    a[l] = w[l][0] + s[0];
    b[l] = w[l][1] + s[1];
  }
#pragma GCC unroll 12
  for (int i = 1; i <= Rc5::kRounds; ++i) {
    for (int l = 0; l < 4; ++l) a[l] = Rotl32(a[l] ^ b[l], b[l]) + s[2 * i];
    for (int l = 0; l < 4; ++l) b[l] = Rotl32(b[l] ^ a[l], a[l]) + s[2 * i + 1];
  }
  for (int l = 0; l < 4; ++l) t[l] = static_cast<std::uint8_t>(a[l]);
}

// The block's words as two 32-bit stores, which loads of the same words are
// forwarded from at once. GCC 12 merges two StoreLe32 into one 64-bit store
// assembled byte by byte, some twenty instructions after the last round.
inline void StoreWords(void* out, std::uint32_t a, std::uint32_t b) {
  auto* q = static_cast<std::uint8_t*>(out);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(q, &a, 4);
  std::memcpy(q + 4, &b, 4);
#else
  StoreLe32(q, a);
  StoreLe32(q + 4, b);
#endif
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
  std::uint32_t a = LoadLe32(p), b = LoadLe32(p + 4);
  EncryptWords(s_, a, b);
  StoreWords(out, a, b);
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
  StoreWords(out, a - s_[0], b - s_[1]);
}

void Rc5::Cfb8Encrypt(const void* in, void* out, std::uint32_t n) {
  auto first_byte = [this](const std::uint32_t* w) { return FirstByte(s_, w); };
  Cfb8<false>(in, out, n, first_byte);
}

void Rc5::Cfb8Decrypt(const void* in, void* out, std::uint32_t n) {
  auto first_byte = [this](const std::uint32_t* w) { return FirstByte(s_, w); };
  auto four = [this](const std::uint32_t (&w)[4][2], std::uint8_t* t) { FirstBytesOfFour(s_, w, t); };
  Cfb8DecryptFour(in, out, n, four, first_byte);
}

void Rc5::WipeKey() {
  WipeBytes(s_, sizeof s_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

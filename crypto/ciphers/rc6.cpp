#include "crypto/ciphers/rc6.h"

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
// f(x) = x(2x + 1) <<< lg w, the data-dependent rotation amount source.
inline std::uint32_t F(std::uint32_t x) { return Rotl(x * (2 * x + 1), 5); }

// The RC6 paper's test vectors (128-, 192- and 256-bit keys).
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"00000000000000000000000000000000", "00000000000000000000000000000000",
       "8fc3a53656b1f778c129df4e9848a41e"},
      {"0123456789abcdef0112233445566778", "02132435465768798a9bacbdcedfe0f1",
       "524e192f4715c6231f51f6367ea43f18"},
      {"0123456789abcdef0112233445566778899aabbccddeeff0", "02132435465768798a9bacbdcedfe0f1",
       "688329d019e505041e52e92af95291d4"},
      {"0123456789abcdef0112233445566778899aabbccddeeff01032547698badcfe",
       "02132435465768798a9bacbdcedfe0f1", "c8241816f0d7e48920ad16a1674e5d48"},
  };
  return RunKnownAnswers<Rc6>(kVectors);
}

}  // namespace

const CipherClass Rc6::kClass = {30, "RC6", 2048, 128, &SelfTest, &CreateCipher<Rc6>};

Rc6::~Rc6() { WipeBytes(s_, sizeof s_); }

void Rc6::ScheduleKey(const void* key, std::uint32_t bits) {
  constexpr std::size_t t = 2 * kRounds + 4;
  // A key of 4 bits has no whole byte: it runs as the empty key (c = 1, L = 0).
  const std::size_t b = bits / 8;
  const std::size_t c = b == 0 ? 1 : (b + 3) / 4;
  std::uint32_t l[64] = {};
  const auto* k = static_cast<const std::uint8_t*>(key);
  for (std::size_t i = b; i-- > 0;) l[i / 4] = (l[i / 4] << 8) + k[i];
  s_[0] = kP32;
  for (std::size_t i = 1; i < t; ++i) s_[i] = s_[i - 1] + kQ32;
  std::uint32_t a = 0, bb = 0;
  std::size_t i = 0, j = 0;
  const std::size_t passes = 3 * (t > c ? t : c);
  for (std::size_t s = 0; s < passes; ++s) {
    a = s_[i] = Rotl(s_[i] + a + bb, 3);
    bb = l[j] = Rotl(l[j] + a + bb, a + bb);
    i = (i + 1) % t;
    j = (j + 1) % c;
  }
  WipeBytes(l, sizeof l);
}

void Rc6::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = Load32(p), b = Load32(p + 4) + s_[0], c = Load32(p + 8), d = Load32(p + 12) + s_[1];
  // Two rounds per pass, so the (A,B,C,D) rotation is two renamings, not moves.
#pragma GCC unroll 10
  for (int i = 1; i <= kRounds; i += 2) {
    std::uint32_t t = F(b), u = F(d);
    a = Rotl(a ^ t, u) + s_[2 * i];
    c = Rotl(c ^ u, t) + s_[2 * i + 1];
    t = F(c);
    u = F(a);
    b = Rotl(b ^ t, u) + s_[2 * i + 2];
    d = Rotl(d ^ u, t) + s_[2 * i + 3];
    std::uint32_t x = a;
    a = c;
    c = x;
    x = b;
    b = d;
    d = x;
  }
  auto* q = static_cast<std::uint8_t*>(out);
  Store32(q, a + s_[2 * kRounds + 2]);
  Store32(q + 4, b);
  Store32(q + 8, c + s_[2 * kRounds + 3]);
  Store32(q + 12, d);
}

void Rc6::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = Load32(p) - s_[2 * kRounds + 2], b = Load32(p + 4), c = Load32(p + 8) - s_[2 * kRounds + 3],
                d = Load32(p + 12);
#pragma GCC unroll 10
  for (int i = kRounds; i >= 1; i -= 2) {
    // Undo round i: (A,B,C,D) := (D,A,B,C), then invert the two updates.
    std::uint32_t x = d;
    d = c;
    c = b;
    b = a;
    a = x;
    std::uint32_t u = F(d), t = F(b);
    c = Rotr(c - s_[2 * i + 1], t) ^ u;
    a = Rotr(a - s_[2 * i], u) ^ t;
    x = d;
    d = c;
    c = b;
    b = a;
    a = x;
    u = F(d);
    t = F(b);
    c = Rotr(c - s_[2 * i - 1], t) ^ u;
    a = Rotr(a - s_[2 * i - 2], u) ^ t;
  }
  auto* q = static_cast<std::uint8_t*>(out);
  Store32(q, a);
  Store32(q + 4, b - s_[0]);
  Store32(q + 8, c);
  Store32(q + 12, d - s_[1]);
}

void Rc6::WipeKey() {
  WipeBytes(s_, sizeof s_);
  BlockCipher128::WipeKey();
}

}  // namespace crypto

#include "crypto/ciphers/rc6.h"

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"
#include "crypto/ciphers/rc5.h"

namespace crypto {
namespace {

// f(x) = x(2x + 1) <<< lg w, the data-dependent rotation amount source.
inline std::uint32_t F(std::uint32_t x) { return Rotl32(x * (2 * x + 1), 5); }

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

void Rc6::ScheduleKey(const void* key, std::uint32_t bits) { Rc5ExpandKey(key, bits, s_, 2 * kRounds + 4); }

void Rc6::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = LoadLe32(p), b = LoadLe32(p + 4) + s_[0], c = LoadLe32(p + 8), d = LoadLe32(p + 12) + s_[1];
  // Two rounds per pass, so the (A,B,C,D) rotation is two renamings, not moves.
#pragma GCC unroll 10
  for (int i = 1; i <= kRounds; i += 2) {
    std::uint32_t t = F(b), u = F(d);
    a = Rotl32(a ^ t, u) + s_[2 * i];
    c = Rotl32(c ^ u, t) + s_[2 * i + 1];
    t = F(c);
    u = F(a);
    b = Rotl32(b ^ t, u) + s_[2 * i + 2];
    d = Rotl32(d ^ u, t) + s_[2 * i + 3];
    std::uint32_t x = a;
    a = c;
    c = x;
    x = b;
    b = d;
    d = x;
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe32(q, a + s_[2 * kRounds + 2]);
  StoreLe32(q + 4, b);
  StoreLe32(q + 8, c + s_[2 * kRounds + 3]);
  StoreLe32(q + 12, d);
}

void Rc6::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = LoadLe32(p) - s_[2 * kRounds + 2], b = LoadLe32(p + 4), c = LoadLe32(p + 8) - s_[2 * kRounds + 3],
                d = LoadLe32(p + 12);
#pragma GCC unroll 10
  for (int i = kRounds; i >= 1; i -= 2) {
    // Undo round i: (A,B,C,D) := (D,A,B,C), then invert the two updates.
    std::uint32_t x = d;
    d = c;
    c = b;
    b = a;
    a = x;
    std::uint32_t u = F(d), t = F(b);
    c = Rotr32(c - s_[2 * i + 1], t) ^ u;
    a = Rotr32(a - s_[2 * i], u) ^ t;
    x = d;
    d = c;
    c = b;
    b = a;
    a = x;
    u = F(d);
    t = F(b);
    c = Rotr32(c - s_[2 * i - 1], t) ^ u;
    a = Rotr32(a - s_[2 * i - 2], u) ^ t;
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe32(q, a);
  StoreLe32(q + 4, b - s_[0]);
  StoreLe32(q + 8, c);
  StoreLe32(q + 12, d - s_[1]);
}

void Rc6::WipeKey() {
  WipeBytes(s_, sizeof s_);
  BlockCipher128::WipeKey();
}

}  // namespace crypto

#include "crypto/ciphers/idea.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// Multiplication modulo 2^16 + 1, where the word 0 stands for 2^16.
inline std::uint32_t Mul(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t p = a * b;
  if (p != 0) {
    const std::uint32_t lo = p & 0xFFFF, hi = p >> 16;
    return (lo - hi + (lo < hi ? 1 : 0)) & 0xFFFF;
  }
  // One factor is 2^16 = -1: the product is 1 - the other.
  return (1 - a - b) & 0xFFFF;
}

// x^(2^16 - 1) = x^-1 in the multiplicative group of order 2^16; 0 and 1
// are their own inverses.
std::uint16_t MulInverse(std::uint16_t x) {
  std::uint32_t result = 1, base = x;
  for (std::uint32_t e = 0xFFFF; e != 0; e >>= 1) {
    if ((e & 1) != 0) result = Mul(result, base);
    base = Mul(base, base);
  }
  return static_cast<std::uint16_t>(result);
}

std::uint16_t AddInverse(std::uint16_t x) { return static_cast<std::uint16_t>(0x10000 - x); }

// Lai's example from his thesis and NESSIE set 1 vector 0.
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"00010002000300040005000600070008", "0000000100020003", "11fbed2b01986de5"},
      {"80000000000000000000000000000000", "0000000000000000", "b1f5f7f87901370f"},
  };
  return RunKnownAnswers<Idea>(kVectors);
}

}  // namespace

const CipherClass Idea::kClass = {15, "IDEA", 128, 64, &SelfTest, &CreateCipher<Idea>};

Idea::~Idea() {
  WipeBytes(enc_, sizeof enc_);
  WipeBytes(dec_, sizeof dec_);
}

void Idea::ScheduleKey(const void* key, std::uint32_t bits) {
  std::uint8_t k[16] = {};
  if (bits >= 8) std::memcpy(k, key, bits / 8);  // a key under one byte may come as null
  std::uint64_t hi = LoadBe64(k), lo = LoadBe64(k + 8);
  // Eight subkeys from the key, then the key rotated left by 25 bits, and so on.
  for (int i = 0; i < 52; ++i) {
    const int j = i % 8;
    const std::uint64_t half = j < 4 ? hi : lo;
    enc_[i] = static_cast<std::uint16_t>(half >> (48 - 16 * (j % 4)));
    if (j == 7) {
      const std::uint64_t h = hi;
      hi = hi << 25 | lo >> 39;
      lo = lo << 25 | h >> 39;
    }
  }
  // Decryption: the inverses in reverse order; the additive keys of the inner
  // rounds swap places because each round but the last swaps the middle words.
  const std::uint16_t* e = enc_;
  std::uint16_t* d = dec_;
  for (int r = 0; r <= 8; ++r) {
    const int src = 6 * (8 - r);  // the mixing keys of round 8 - r
    const bool outer = r == 0 || r == 8;
    d[6 * r + 0] = MulInverse(e[src + 0]);
    d[6 * r + 1] = AddInverse(e[src + (outer ? 1 : 2)]);
    d[6 * r + 2] = AddInverse(e[src + (outer ? 2 : 1)]);
    d[6 * r + 3] = MulInverse(e[src + 3]);
    if (r < 8) {
      d[6 * r + 4] = e[src - 2];
      d[6 * r + 5] = e[src - 1];
    }
  }
  WipeBytes(k, sizeof k);
}

void Idea::Crypt(const std::uint16_t* k, const void* in, void* out) {
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t x1 = LoadBe16(p), x2 = LoadBe16(p + 2), x3 = LoadBe16(p + 4), x4 = LoadBe16(p + 6);
#pragma GCC unroll 8
  for (int r = 0; r < 8; ++r, k += 6) {
    x1 = Mul(x1, k[0]);
    x2 = (x2 + k[1]) & 0xFFFF;
    x3 = (x3 + k[2]) & 0xFFFF;
    x4 = Mul(x4, k[3]);
    std::uint32_t t0 = Mul(x1 ^ x3, k[4]);
    const std::uint32_t t1 = Mul((t0 + (x2 ^ x4)) & 0xFFFF, k[5]);
    t0 = (t0 + t1) & 0xFFFF;
    x1 ^= t1;
    x4 ^= t0;
    const std::uint32_t t = x2 ^ t0;
    x2 = x3 ^ t1;
    x3 = t;
  }
  // The output transformation undoes the last round's swap.
  const std::uint32_t y1 = Mul(x1, k[0]);
  const std::uint32_t y2 = (x3 + k[1]) & 0xFFFF;
  const std::uint32_t y3 = (x2 + k[2]) & 0xFFFF;
  const std::uint32_t y4 = Mul(x4, k[3]);
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe16(q, static_cast<std::uint16_t>(y1));
  StoreBe16(q + 2, static_cast<std::uint16_t>(y2));
  StoreBe16(q + 4, static_cast<std::uint16_t>(y3));
  StoreBe16(q + 6, static_cast<std::uint16_t>(y4));
}

void Idea::EncryptBlock(const void* in, void* out) {
  CheckKey();
  Crypt(enc_, in, out);
}

void Idea::DecryptBlock(const void* in, void* out) {
  CheckKey();
  Crypt(dec_, in, out);
}

void Idea::WipeKey() {
  WipeBytes(enc_, sizeof enc_);
  WipeBytes(dec_, sizeof dec_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

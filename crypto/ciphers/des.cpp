#include "crypto/ciphers/des.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// FIPS 46-3: the S-boxes (row-major, 4 rows of 16), the permutation P and the
// key permutations PC-1 and PC-2. Bit positions count from 1 at the top.
constexpr std::uint8_t kS[8][64] = {
    {14, 4,  13, 1,  2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6,  12, 11, 9,  5,  3,  8,  4,  1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0,  15, 12, 8,  2,  4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7,  2,  13, 12, 0,  5,  10, 3,  13, 4,  7,  15, 2,
     8,  14, 12, 0,  1,  10, 6,  9,  11, 5,  0,  14, 7,  11, 10, 4,  13, 1,  5,  8,  12, 6,
     9,  3,  2,  15, 13, 8,  10, 1,  3,  15, 4,  2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6,  3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,  13, 7,  0,  9,  3,  4,
     6,  10, 2,  8,  5,  14, 12, 11, 15, 1,  13, 6,  4,  9,  8,  15, 3,  0,  11, 1,  2,  12,
     5,  10, 14, 7,  1,  10, 13, 0,  6,  9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3,  0,  6,  9,  10, 1,  2,  8,  5,  11, 12, 4,  15, 13, 8,  11, 5,  6,  15,
     0,  3,  4,  7,  2,  12, 1,  10, 14, 9,  10, 6,  9,  0,  12, 11, 7,  13, 15, 1,  3,  14,
     5,  2,  8,  4,  3,  15, 0,  6,  10, 1,  13, 8,  9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5,  0,  15, 10, 3,  9,  8,  6,  4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0,  14, 11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11, 10, 15, 4,  2,  7,  12,
     9,  5,  6,  1,  13, 14, 0,  11, 3,  8,  9,  14, 15, 5,  2,  8,  12, 3,  7,  0,  4,  10,
     1,  13, 11, 6,  4,  3,  2,  12, 9,  5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0,  8,  13, 3,  12, 9,  7,  5,  10, 6,  1,  13, 0,  11, 7,  4,  9,
     1,  10, 14, 3,  5,  12, 2,  15, 8,  6,  1,  4,  11, 13, 12, 3,  7,  14, 10, 15, 6,  8,
     0,  5,  9,  2,  6,  11, 13, 8,  1,  4,  10, 7,  9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2,  8,  4,  6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,  1,  15, 13, 8,  10, 3,
     7,  4,  12, 5,  6,  11, 0,  14, 9,  2,  7,  11, 4,  1,  9,  12, 14, 2,  0,  6,  10, 13,
     15, 3,  5,  8,  2,  1,  14, 7,  4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11},
};

constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                   10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                   63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                   14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                   26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                   51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// S-box j followed by P, for every 6-bit input: f is then eight look-ups.
struct SpTables {
  std::uint32_t sp[8][64];
};

constexpr SpTables MakeSpTables() {
  SpTables t{};
  for (int j = 0; j < 8; ++j) {
    for (int v = 0; v < 64; ++v) {
      // The outer bits of the input pick the row, the inner four the column.
      const int row = ((v >> 4) & 2) | (v & 1);
      const int col = (v >> 1) & 15;
      const std::uint32_t before = static_cast<std::uint32_t>(kS[j][16 * row + col]) << (28 - 4 * j);
      std::uint32_t after = 0;
      for (int i = 0; i < 32; ++i)
        if ((before >> (32 - kP[i]) & 1) != 0) after |= 1u << (31 - i);
      t.sp[j][v] = after;
    }
  }
  return t;
}

constexpr SpTables kSp = MakeSpTables();

// Exchanges the bits of b selected by m with the bits of a at m << n.
inline void DeltaSwap(std::uint32_t& a, std::uint32_t& b, int n, std::uint32_t m) {
  const std::uint32_t t = ((a >> n) ^ b) & m;
  b ^= t;
  a ^= t << n;
}

// IP as five exchanges of bit groups on the halves; FP = IP^-1 is the same
// exchanges in reverse order.
inline void InitialPermutation(std::uint32_t& l, std::uint32_t& r) {
  DeltaSwap(l, r, 4, 0x0F0F0F0Fu);
  DeltaSwap(l, r, 16, 0x0000FFFFu);
  DeltaSwap(r, l, 2, 0x33333333u);
  DeltaSwap(r, l, 8, 0x00FF00FFu);
  DeltaSwap(l, r, 1, 0x55555555u);
}
inline void FinalPermutation(std::uint32_t& l, std::uint32_t& r) {
  DeltaSwap(l, r, 1, 0x55555555u);
  DeltaSwap(r, l, 8, 0x00FF00FFu);
  DeltaSwap(r, l, 2, 0x33333333u);
  DeltaSwap(l, r, 16, 0x0000FFFFu);
  DeltaSwap(l, r, 4, 0x0F0F0F0Fu);
}

// f(R, K) = P(S(E(R) xor K)). The six input bits of S-box j are bits 4j to
// 4j+5 of R (bit 0 being bit 32), so R rotated right by 3 holds those of the
// odd-numbered boxes in its bytes and R rotated left by 1 those of the even.
inline std::uint32_t F(std::uint32_t r, std::uint32_t k_odd, std::uint32_t k_even) {
  const std::uint32_t a = Rotr32(r, 3) ^ k_odd;
  const std::uint32_t b = Rotl32(r, 1) ^ k_even;
  return kSp.sp[0][a >> 24 & 63] ^ kSp.sp[2][a >> 16 & 63] ^ kSp.sp[4][a >> 8 & 63] ^ kSp.sp[6][a & 63] ^
         kSp.sp[1][b >> 24 & 63] ^ kSp.sp[3][b >> 16 & 63] ^ kSp.sp[5][b >> 8 & 63] ^ kSp.sp[7][b & 63];
}

// FIPS 81 appendix B and NIST SP 800-17 (variable plaintext, variable key and
// substitution table tests; the weak key 0101010101010101 among them).
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
      {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
      {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
      {"7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
  };
  return RunKnownAnswers<Des>(kVectors);
}

}  // namespace

DesBase::~DesBase() {
  WipeBytes(enc_, sizeof enc_);
  WipeBytes(dec_, sizeof dec_);
}

void DesBase::RoundKeys(const std::uint8_t* key, Schedule out) {
  const std::uint64_t k = LoadBe64(key);
  std::uint32_t c = 0, d = 0;  // 28 bits each
  for (int i = 0; i < 28; ++i) {
    c = c << 1 | static_cast<std::uint32_t>(k >> (64 - kPc1[i]) & 1);
    d = d << 1 | static_cast<std::uint32_t>(k >> (64 - kPc1[28 + i]) & 1);
  }
  for (int round = 0; round < 16; ++round) {
    const int s = kShifts[round];
    c = ((c << s) | (c >> (28 - s))) & 0x0FFFFFFFu;
    d = ((d << s) | (d >> (28 - s))) & 0x0FFFFFFFu;
    const std::uint64_t cd = static_cast<std::uint64_t>(c) << 28 | d;
    std::uint64_t sub = 0;
    for (int i = 0; i < 48; ++i) sub = sub << 1 | (cd >> (56 - kPc2[i]) & 1);
    std::uint32_t odd = 0, even = 0;
    for (int j = 0; j < 8; j += 2) {
      odd = odd << 8 | static_cast<std::uint32_t>(sub >> (42 - 6 * j) & 63);
      even = even << 8 | static_cast<std::uint32_t>(sub >> (36 - 6 * j) & 63);
    }
    out[2 * round] = odd;
    out[2 * round + 1] = even;
  }
}

void DesBase::Reverse(const Schedule in, Schedule out) {
  for (int round = 0; round < 16; ++round) {
    out[2 * round] = in[2 * (15 - round)];
    out[2 * round + 1] = in[2 * (15 - round) + 1];
  }
}

void DesBase::Run(const Schedule* passes, const void* in, void* out) const {
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t l = LoadBe32(p), r = LoadBe32(p + 4);
  InitialPermutation(l, r);
  for (int s = 0; s < passes_; ++s) {
    // The final swap of one pass and the next pass's FP-IP pair cancel out
    // except for the swap of the halves.
    if (s > 0) {
      const std::uint32_t t = l;
      l = r;
      r = t;
    }
    const std::uint32_t* k = passes[s];
#pragma GCC unroll 8
    for (int i = 0; i < 32; i += 4) {
      l ^= F(r, k[i], k[i + 1]);
      r ^= F(l, k[i + 2], k[i + 3]);
    }
  }
  // The output is R16 L16.
  FinalPermutation(r, l);
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, r);
  StoreBe32(q + 4, l);
}

void DesBase::EncryptBlock(const void* in, void* out) {
  CheckKey();
  Run(enc_, in, out);
}

void DesBase::DecryptBlock(const void* in, void* out) {
  CheckKey();
  Run(dec_, in, out);
}

void DesBase::WipeKey() {
  WipeBytes(enc_, sizeof enc_);
  WipeBytes(dec_, sizeof dec_);
  BlockCipher64::WipeKey();
}

const CipherClass Des::kClass = {13, "DES", 64, 64, &SelfTest, &CreateCipher<Des>};

void Des::ScheduleKey(const void* key, std::uint32_t bits) {
  std::uint8_t k[8] = {};
  if (bits >= 8) std::memcpy(k, key, bits / 8);  // a key under one byte may come as null
  passes_ = 1;
  RoundKeys(k, enc_[0]);
  Reverse(enc_[0], dec_[0]);
  WipeBytes(k, sizeof k);
}

}  // namespace crypto

#include "crypto/ciphers/twofish.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// The 4-bit permutations from which q0 and q1 are built (paper section 4.3.5).
constexpr std::uint8_t kQt[2][4][16] = {
    {{0x8, 0x1, 0x7, 0xD, 0x6, 0xF, 0x3, 0x2, 0x0, 0xB, 0x5, 0x9, 0xE, 0xC, 0xA, 0x4},
     {0xE, 0xC, 0xB, 0x8, 0x1, 0x2, 0x3, 0x5, 0xF, 0x4, 0xA, 0x6, 0x7, 0x0, 0x9, 0xD},
     {0xB, 0xA, 0x5, 0xE, 0x6, 0xD, 0x9, 0x0, 0xC, 0x8, 0xF, 0x3, 0x2, 0x4, 0x7, 0x1},
     {0xD, 0x7, 0xF, 0x4, 0x1, 0x2, 0x6, 0xE, 0x9, 0xB, 0x3, 0x0, 0x8, 0x5, 0xC, 0xA}},
    {{0x2, 0x8, 0xB, 0xD, 0xF, 0x7, 0x6, 0xE, 0x3, 0x1, 0x9, 0x4, 0x0, 0xA, 0xC, 0x5},
     {0x1, 0xE, 0x2, 0xB, 0x4, 0xC, 0x3, 0x7, 0x6, 0xD, 0xA, 0x5, 0xF, 0x9, 0x0, 0x8},
     {0x4, 0xC, 0x7, 0x5, 0x1, 0x6, 0x9, 0xA, 0x0, 0xE, 0xD, 0x8, 0x2, 0xB, 0x3, 0xF},
     {0xB, 0x9, 0x5, 0x1, 0xC, 0x3, 0xD, 0xE, 0x6, 0x4, 0x7, 0xF, 0x2, 0x0, 0x8, 0xA}},
};

constexpr std::uint8_t Ror4(std::uint8_t x) { return static_cast<std::uint8_t>(((x >> 1) | (x << 3)) & 15); }

constexpr std::uint8_t QPermute(int which, std::uint8_t x) {
  std::uint8_t a = x >> 4, b = x & 15;
  for (int step = 0; step < 2; ++step) {
    const auto a1 = static_cast<std::uint8_t>(a ^ b);
    const auto b1 = static_cast<std::uint8_t>((a ^ Ror4(b) ^ (a << 3)) & 15);
    a = kQt[which][2 * step][a1];
    b = kQt[which][2 * step + 1][b1];
  }
  return static_cast<std::uint8_t>(b << 4 | a);
}

// Multiplication in GF(2^8) modulo the given polynomial.
constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b, unsigned poly) {
  unsigned r = 0, x = a;
  for (; b != 0; b = static_cast<std::uint8_t>(b >> 1)) {
    if ((b & 1) != 0) r ^= x;
    x <<= 1;
    if ((x & 0x100) != 0) x ^= poly;
  }
  return static_cast<std::uint8_t>(r);
}

constexpr unsigned kMdsPoly = 0x169;  // x^8 + x^6 + x^5 + x^3 + 1
constexpr unsigned kRsPoly = 0x14D;   // x^8 + x^6 + x^3 + x^2 + 1

constexpr std::uint8_t kMds[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B}, {0x5B, 0xEF, 0xEF, 0x01}, {0xEF, 0x5B, 0x01, 0xEF}, {0xEF, 0x01, 0xEF, 0x5B}};
constexpr std::uint8_t kRs[4][8] = {{0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
                                    {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
                                    {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
                                    {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03}};

struct Tables {
  std::uint8_t q[2][256];
  // mds[j][y]: column j of the MDS matrix times y, as a little-endian word.
  std::uint32_t mds[4][256];
};

constexpr Tables MakeTables() {
  Tables t{};
  for (int x = 0; x < 256; ++x) {
    t.q[0][x] = QPermute(0, static_cast<std::uint8_t>(x));
    t.q[1][x] = QPermute(1, static_cast<std::uint8_t>(x));
    for (int j = 0; j < 4; ++j) {
      std::uint32_t w = 0;
      for (int i = 0; i < 4; ++i)
        w |= static_cast<std::uint32_t>(GfMul(kMds[i][j], static_cast<std::uint8_t>(x), kMdsPoly)) << (8 * i);
      t.mds[j][x] = w;
    }
  }
  return t;
}

constexpr Tables kT = MakeTables();

inline std::uint8_t Byte(std::uint32_t w, int i) { return static_cast<std::uint8_t>(w >> (8 * i)); }

// The q chains of h for byte position j of the input (paper section 4.3.2):
// which q each stage applies, from the stage keyed by L[3] down to L[0].
constexpr int kChain[4][4] = {{1, 1, 0, 0}, {0, 1, 1, 0}, {0, 0, 0, 1}, {1, 0, 1, 1}};
// The final q after the L[0] addition.
constexpr int kLast[4] = {1, 0, 1, 0};

// h's S-box for byte position j before the MDS step, over the k words of l.
std::uint8_t KeyedSbox(int j, std::uint8_t y, const std::uint32_t* l, int k) {
  for (int stage = k - 1; stage >= 0; --stage)
    y = static_cast<std::uint8_t>(kT.q[kChain[j][3 - stage]][y] ^ Byte(l[stage], j));
  return kT.q[kLast[j]][y];
}

std::uint32_t H(std::uint32_t x, const std::uint32_t* l, int k) {
  std::uint32_t z = 0;
  for (int j = 0; j < 4; ++j) z ^= kT.mds[j][KeyedSbox(j, Byte(x, j), l, k)];
  return z;
}

using KeyedTables = std::uint32_t[4][256];
inline std::uint32_t G0(const KeyedTables& s, std::uint32_t x) {
  return s[0][Byte(x, 0)] ^ s[1][Byte(x, 1)] ^ s[2][Byte(x, 2)] ^ s[3][Byte(x, 3)];
}
// g(x <<< 8) without the rotation: byte i of x feeds S-box i + 1.
inline std::uint32_t G1(const KeyedTables& s, std::uint32_t x) {
  return s[1][Byte(x, 0)] ^ s[2][Byte(x, 1)] ^ s[3][Byte(x, 2)] ^ s[0][Byte(x, 3)];
}

// The paper's examples for 128-, 192- and 256-bit keys.
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"00000000000000000000000000000000", "00000000000000000000000000000000",
       "9f589f5cf6122c32b6bfec2f2ae8c35a"},
      {"0123456789abcdeffedcba98765432100011223344556677", "00000000000000000000000000000000",
       "cfd1d2e5a9be9cdf501f13b892bd2248"},
      {"0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff",
       "00000000000000000000000000000000", "37527be0052334b89f0cfccae87cfa20"},
  };
  return RunKnownAnswers<Twofish>(kVectors);
}

}  // namespace

const CipherClass Twofish::kClass = {33, "Twofish", 256, 128, &SelfTest, &CreateCipher<Twofish>};

Twofish::~Twofish() {
  WipeBytes(k_, sizeof k_);
  WipeBytes(s_, sizeof s_);
}

void Twofish::ScheduleKey(const void* key, std::uint32_t bits) {
  const int k = bits <= 128 ? 2 : bits <= 192 ? 3 : 4;
  std::uint8_t m[32] = {};
  if (bits / 8 > 0) std::memcpy(m, key, bits / 8);
  std::uint32_t me[4] = {}, mo[4] = {}, s[4] = {};
  for (int i = 0; i < k; ++i) {
    me[i] = LoadLe32(m + 8 * i);
    mo[i] = LoadLe32(m + 8 * i + 4);
    // S_(k-1-i) = RS times key bytes 8i..8i+7: g uses S in reverse order.
    std::uint32_t w = 0;
    for (int r = 0; r < 4; ++r) {
      std::uint8_t acc = 0;
      for (int c = 0; c < 8; ++c) acc ^= GfMul(kRs[r][c], m[8 * i + c], kRsPoly);
      w |= static_cast<std::uint32_t>(acc) << (8 * r);
    }
    s[k - 1 - i] = w;
  }
  for (int i = 0; i < 20; ++i) {
    const std::uint32_t a = H(0x02020202u * static_cast<std::uint32_t>(i), me, k);
    const std::uint32_t b = Rotl32(H(0x02020202u * static_cast<std::uint32_t>(i) + 0x01010101u, mo, k), 8);
    k_[2 * i] = a + b;
    k_[2 * i + 1] = Rotl32(a + 2 * b, 9);
  }
  for (int j = 0; j < 4; ++j)
    for (int x = 0; x < 256; ++x) s_[j][x] = kT.mds[j][KeyedSbox(j, static_cast<std::uint8_t>(x), s, k)];
  WipeBytes(m, sizeof m);
  WipeBytes(me, sizeof me);
  WipeBytes(mo, sizeof mo);
  WipeBytes(s, sizeof s);
}

void Twofish::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t r0 = LoadLe32(p) ^ k_[0], r1 = LoadLe32(p + 4) ^ k_[1], r2 = LoadLe32(p + 8) ^ k_[2],
                r3 = LoadLe32(p + 12) ^ k_[3];
  // Two rounds per pass; the halves swap by renaming.
#pragma GCC unroll 8
  for (int r = 0; r < 16; r += 2) {
    std::uint32_t t0 = G0(s_, r0), t1 = G1(s_, r1);
    r2 = Rotr32(r2 ^ (t0 + t1 + k_[2 * r + 8]), 1);
    r3 = Rotl32(r3, 1) ^ (t0 + 2 * t1 + k_[2 * r + 9]);
    t0 = G0(s_, r2);
    t1 = G1(s_, r3);
    r0 = Rotr32(r0 ^ (t0 + t1 + k_[2 * r + 10]), 1);
    r1 = Rotl32(r1, 1) ^ (t0 + 2 * t1 + k_[2 * r + 11]);
  }
  // The last round's swap is undone: the output starts with R2, R3.
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe32(q, r2 ^ k_[4]);
  StoreLe32(q + 4, r3 ^ k_[5]);
  StoreLe32(q + 8, r0 ^ k_[6]);
  StoreLe32(q + 12, r1 ^ k_[7]);
}

void Twofish::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t r2 = LoadLe32(p) ^ k_[4], r3 = LoadLe32(p + 4) ^ k_[5], r0 = LoadLe32(p + 8) ^ k_[6],
                r1 = LoadLe32(p + 12) ^ k_[7];
#pragma GCC unroll 8
  for (int r = 14; r >= 0; r -= 2) {
    std::uint32_t t0 = G0(s_, r2), t1 = G1(s_, r3);
    r0 = Rotl32(r0, 1) ^ (t0 + t1 + k_[2 * r + 10]);
    r1 = Rotr32(r1 ^ (t0 + 2 * t1 + k_[2 * r + 11]), 1);
    t0 = G0(s_, r0);
    t1 = G1(s_, r1);
    r2 = Rotl32(r2, 1) ^ (t0 + t1 + k_[2 * r + 8]);
    r3 = Rotr32(r3 ^ (t0 + 2 * t1 + k_[2 * r + 9]), 1);
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe32(q, r0 ^ k_[0]);
  StoreLe32(q + 4, r1 ^ k_[1]);
  StoreLe32(q + 8, r2 ^ k_[2]);
  StoreLe32(q + 12, r3 ^ k_[3]);
}

void Twofish::WipeKey() {
  WipeBytes(k_, sizeof k_);
  WipeBytes(s_, sizeof s_);
  BlockCipher128::WipeKey();
}

}  // namespace crypto

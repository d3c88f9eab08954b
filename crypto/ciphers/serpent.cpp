#include "crypto/ciphers/serpent.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// The eight S-boxes of the paper. In bitslice form bit j of words x0..x3 is one
// 4-bit input, x0 holding its least significant bit.
constexpr std::uint8_t kSbox[8][16] = {
    {3, 8, 15, 1, 10, 6, 5, 11, 14, 13, 4, 2, 7, 0, 9, 12},
    {15, 12, 2, 7, 9, 0, 5, 10, 1, 11, 14, 8, 6, 13, 3, 4},
    {8, 6, 7, 9, 3, 12, 10, 15, 13, 1, 14, 4, 0, 11, 5, 2},
    {0, 15, 11, 8, 12, 9, 6, 3, 13, 1, 2, 4, 10, 7, 5, 14},
    {1, 15, 8, 3, 12, 0, 11, 6, 2, 5, 4, 10, 9, 14, 7, 13},
    {15, 5, 2, 11, 4, 10, 9, 12, 0, 3, 14, 8, 13, 6, 7, 1},
    {7, 2, 12, 5, 8, 4, 6, 11, 14, 9, 1, 15, 13, 3, 10, 0},
    {1, 13, 15, 0, 14, 8, 2, 11, 7, 4, 12, 10, 9, 3, 5, 6},
};

// Each output bit of a 4-bit S-box as a XOR of products of input bits (its
// algebraic normal form): bit m of anf[b] set means output bit b contains the
// product of the input bits named by the bits of m (m = 0: the constant 1).
// Evaluating that on whole words applies the S-box to 32 inputs at once.
struct Anf {
  std::uint16_t anf[4];
};

constexpr Anf MakeAnf(const std::uint8_t (&table)[16]) {
  Anf a{};
  for (int b = 0; b < 4; ++b) {
    std::uint16_t f = 0;
    for (int x = 0; x < 16; ++x) f = static_cast<std::uint16_t>(f | ((table[x] >> b) & 1) << x);
    // The Moebius transform turns a truth table into its ANF.
    for (int step = 1; step < 16; step <<= 1)
      for (int x = 0; x < 16; ++x)
        if ((x & step) != 0) f = static_cast<std::uint16_t>(f ^ ((f >> (x ^ step)) & 1) << x);
    a.anf[b] = f;
  }
  return a;
}

struct Boxes {
  Anf forward[8];
  Anf inverse[8];
};

constexpr Boxes MakeBoxes() {
  Boxes boxes{};
  for (int i = 0; i < 8; ++i) {
    std::uint8_t inv[16] = {};
    for (int x = 0; x < 16; ++x) inv[kSbox[i][x]] = static_cast<std::uint8_t>(x);
    boxes.forward[i] = MakeAnf(kSbox[i]);
    boxes.inverse[i] = MakeAnf(inv);
  }
  return boxes;
}

constexpr Boxes kBoxes = MakeBoxes();

// Applies the S-box with this ANF to the four words in place. The masks are
// constants, so after unrolling only the products and XORs that the S-box
// needs are left.
template <int Box, bool Inverse = false>
inline void Substitute(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2, std::uint32_t& x3) {
  const std::uint32_t x01 = x0 & x1, x23 = x2 & x3;
  const std::uint32_t m[16] = {~0u,      x0,       x1,       x01,      x2,       x0 & x2,
                               x1 & x2,  x01 & x2, x3,       x0 & x3,  x1 & x3,  x01 & x3,
                               x23,      x0 & x23, x1 & x23, x01 & x23};
  constexpr const Anf& a = Inverse ? kBoxes.inverse[Box] : kBoxes.forward[Box];
  std::uint32_t y[4] = {0, 0, 0, 0};
#pragma GCC unroll 4
  for (int b = 0; b < 4; ++b) {
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i)
      if (((a.anf[b] >> i) & 1) != 0) y[b] ^= m[i];
  }
  x0 = y[0];
  x1 = y[1];
  x2 = y[2];
  x3 = y[3];
}

inline void Transform(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2, std::uint32_t& x3) {
  x0 = Rotl32(x0, 13);
  x2 = Rotl32(x2, 3);
  x1 ^= x0 ^ x2;
  x3 ^= x2 ^ (x0 << 3);
  x1 = Rotl32(x1, 1);
  x3 = Rotl32(x3, 7);
  x0 ^= x1 ^ x3;
  x2 ^= x3 ^ (x1 << 7);
  x0 = Rotl32(x0, 5);
  x2 = Rotl32(x2, 22);
}

inline void InverseTransform(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2, std::uint32_t& x3) {
  x2 = Rotr32(x2, 22);
  x0 = Rotr32(x0, 5);
  x2 ^= x3 ^ (x1 << 7);
  x0 ^= x1 ^ x3;
  x3 = Rotr32(x3, 7);
  x1 = Rotr32(x1, 1);
  x3 ^= x2 ^ (x0 << 3);
  x1 ^= x0 ^ x2;
  x2 = Rotr32(x2, 3);
  x0 = Rotr32(x0, 13);
}

inline void AddKey(std::uint32_t& x0, std::uint32_t& x1, std::uint32_t& x2, std::uint32_t& x3,
                   const std::uint32_t (&k)[4]) {
  x0 ^= k[0];
  x1 ^= k[1];
  x2 ^= k[2];
  x3 ^= k[3];
}

// The S-boxes by number, for the key schedule, which is not speed-critical.
using BoxFunction = void (*)(std::uint32_t&, std::uint32_t&, std::uint32_t&, std::uint32_t&);
constexpr BoxFunction kForward[8] = {
    &Substitute<0>, &Substitute<1>, &Substitute<2>,
    &Substitute<3>, &Substitute<4>, &Substitute<5>,
    &Substitute<6>, &Substitute<7>,
};

// NESSIE set 1 vector 0 at 128, 192 and 256 bits, and the submission's
// ecb_vk.txt I=1 converted to this byte order.
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"80000000000000000000000000000000", "00000000000000000000000000000000",
       "264e5481eff42a4606abda06c0bfda3d"},
      {"800000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
       "9e274ead9b737bb21efcfca548602689"},
      {"8000000000000000000000000000000000000000000000000000000000000000",
       "00000000000000000000000000000000", "a223aa1288463c0e2be38ebd825616c0"},
      {"00000000000000000000000000000080", "00000000000000000000000000000000",
       "ddd26b98a5ffd82c05345a9dadbfaf49"},
  };
  return RunKnownAnswers<Serpent>(kVectors);
}

}  // namespace

const CipherClass Serpent::kClass = {31, "Serpent", 256, 128, &SelfTest, &CreateCipher<Serpent>};

Serpent::~Serpent() { WipeBytes(k_, sizeof k_); }

void Serpent::ScheduleKey(const void* key, std::uint32_t bits) {
  constexpr std::uint32_t kPhi = 0x9E3779B9u;
  // A key of a whole number of bytes is padded after its last byte; a trailing
  // half byte (bits not a multiple of 8) is dropped first, as for every cipher.
  const std::size_t n = bits / 8;
  std::uint8_t k[32] = {};
  if (n > 0) std::memcpy(k, key, n);
  if (n < sizeof k) k[n] = 0x01;
  // w[0..7] is the padded key (the paper's w_-8..w_-1), then the prekeys.
  std::uint32_t w[8 + 4 * (kRounds + 1)];
  for (int i = 0; i < 8; ++i) w[i] = LoadLe32(k + 4 * i);
  for (int i = 8; i < 8 + 4 * (kRounds + 1); ++i)
    w[i] = Rotl32(w[i - 8] ^ w[i - 5] ^ w[i - 3] ^ w[i - 1] ^ kPhi ^ static_cast<std::uint32_t>(i - 8), 11);
  // Round key i comes through S-box (3 - i) mod 8.
  for (int i = 0; i <= kRounds; ++i) {
    std::uint32_t* r = k_[i];
    const std::uint32_t* p = w + 8 + 4 * i;
    r[0] = p[0];
    r[1] = p[1];
    r[2] = p[2];
    r[3] = p[3];
    kForward[(35 - i) % 8](r[0], r[1], r[2], r[3]);
  }
  WipeBytes(k, sizeof k);
  WipeBytes(w, sizeof w);
}

void Serpent::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t x0 = LoadLe32(p), x1 = LoadLe32(p + 4), x2 = LoadLe32(p + 8), x3 = LoadLe32(p + 12);
  // Eight rounds per pass, one per S-box; the last round has a key addition in
  // place of the linear transform.
  for (int r = 0; r < kRounds; r += 8) {
    AddKey(x0, x1, x2, x3, k_[r]);
    Substitute<0>(x0, x1, x2, x3);
    Transform(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 1]);
    Substitute<1>(x0, x1, x2, x3);
    Transform(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 2]);
    Substitute<2>(x0, x1, x2, x3);
    Transform(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 3]);
    Substitute<3>(x0, x1, x2, x3);
    Transform(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 4]);
    Substitute<4>(x0, x1, x2, x3);
    Transform(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 5]);
    Substitute<5>(x0, x1, x2, x3);
    Transform(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 6]);
    Substitute<6>(x0, x1, x2, x3);
    Transform(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 7]);
    Substitute<7>(x0, x1, x2, x3);
    if (r + 8 < kRounds) Transform(x0, x1, x2, x3);
  }
  AddKey(x0, x1, x2, x3, k_[kRounds]);
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe32(q, x0);
  StoreLe32(q + 4, x1);
  StoreLe32(q + 8, x2);
  StoreLe32(q + 12, x3);
}

void Serpent::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t x0 = LoadLe32(p), x1 = LoadLe32(p + 4), x2 = LoadLe32(p + 8), x3 = LoadLe32(p + 12);
  AddKey(x0, x1, x2, x3, k_[kRounds]);
  for (int r = kRounds - 8; r >= 0; r -= 8) {
    if (r + 8 < kRounds) InverseTransform(x0, x1, x2, x3);
    Substitute<7, true>(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 7]);
    InverseTransform(x0, x1, x2, x3);
    Substitute<6, true>(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 6]);
    InverseTransform(x0, x1, x2, x3);
    Substitute<5, true>(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 5]);
    InverseTransform(x0, x1, x2, x3);
    Substitute<4, true>(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 4]);
    InverseTransform(x0, x1, x2, x3);
    Substitute<3, true>(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 3]);
    InverseTransform(x0, x1, x2, x3);
    Substitute<2, true>(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 2]);
    InverseTransform(x0, x1, x2, x3);
    Substitute<1, true>(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r + 1]);
    InverseTransform(x0, x1, x2, x3);
    Substitute<0, true>(x0, x1, x2, x3);
    AddKey(x0, x1, x2, x3, k_[r]);
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe32(q, x0);
  StoreLe32(q + 4, x1);
  StoreLe32(q + 8, x2);
  StoreLe32(q + 12, x3);
}

void Serpent::WipeKey() {
  WipeBytes(k_, sizeof k_);
  BlockCipher128::WipeKey();
}

}  // namespace crypto

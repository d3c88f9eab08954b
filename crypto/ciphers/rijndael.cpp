#include "crypto/ciphers/rijndael.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// Column words are big-endian: byte 0 of a column is the top byte. The round
// tables fold SubBytes and MixColumns (or their inverses) into one look-up per
// byte; table k is table 0 rotated right by 8k bits.
struct Tables {
  std::uint8_t sbox[256];
  std::uint8_t inv_sbox[256];
  std::uint32_t te[4][256];
  std::uint32_t td[4][256];
  std::uint8_t rcon[10];
};

constexpr std::uint8_t Xtime(std::uint8_t x) {
  return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) != 0 ? 0x1B : 0x00));
}

constexpr std::uint8_t Mul(std::uint8_t a, std::uint8_t b) {
  std::uint8_t r = 0;
  while (b != 0) {
    if ((b & 1) != 0) r = static_cast<std::uint8_t>(r ^ a);
    a = Xtime(a);
    b = static_cast<std::uint8_t>(b >> 1);
  }
  return r;
}

constexpr std::uint32_t Word(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return static_cast<std::uint32_t>(b0) << 24 | static_cast<std::uint32_t>(b1) << 16 |
         static_cast<std::uint32_t>(b2) << 8 | b3;
}

constexpr Tables MakeTables() {
  Tables t{};
  // Powers of the generator 3 walk through every non-zero element, which gives
  // the inverses without a search: inv(3^i) = 3^(255-i).
  std::uint8_t exp[256] = {};
  std::uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    exp[i] = x;
    x = static_cast<std::uint8_t>(x ^ Xtime(x));
  }
  std::uint8_t log[256] = {};
  for (int i = 0; i < 255; ++i) log[exp[i]] = static_cast<std::uint8_t>(i);
  for (int a = 0; a < 256; ++a) {
    const std::uint8_t inv = a == 0 ? 0 : exp[(255 - log[a]) % 255];
    // The affine map of FIPS 197 section 5.1.1.
    std::uint8_t s = inv;
    for (int k = 1; k <= 4; ++k) s = static_cast<std::uint8_t>(s ^ ((inv << k) | (inv >> (8 - k))));
    s = static_cast<std::uint8_t>(s ^ 0x63);
    t.sbox[a] = s;
    t.inv_sbox[s] = static_cast<std::uint8_t>(a);
  }
  for (int a = 0; a < 256; ++a) {
    const std::uint8_t s = t.sbox[a];
    const std::uint8_t v = t.inv_sbox[a];
    const std::uint32_t e = Word(Mul(s, 2), s, s, Mul(s, 3));
    const std::uint32_t d = Word(Mul(v, 14), Mul(v, 9), Mul(v, 13), Mul(v, 11));
    for (int k = 0; k < 4; ++k) {
      t.te[k][a] = Rotr32(e, 8 * k);
      t.td[k][a] = Rotr32(d, 8 * k);
    }
  }
  std::uint8_t r = 1;
  for (int i = 0; i < 10; ++i) {
    t.rcon[i] = r;
    r = Xtime(r);
  }
  return t;
}

constexpr Tables kT = MakeTables();
static_assert(kT.sbox[0x00] == 0x63 && kT.sbox[0x53] == 0xED && kT.sbox[0xFF] == 0x16, "S-box");
static_assert(kT.inv_sbox[0x63] == 0x00 && kT.rcon[9] == 0x36, "inverse S-box, round constants");

inline std::uint32_t SubWord(std::uint32_t w) {
  return Word(kT.sbox[w >> 24], kT.sbox[(w >> 16) & 0xFF], kT.sbox[(w >> 8) & 0xFF], kT.sbox[w & 0xFF]);
}
// InvMixColumns alone: td already holds InvSubBytes, so undo it with sbox first.
inline std::uint32_t InvMixColumn(std::uint32_t w) {
  return kT.td[0][kT.sbox[w >> 24]] ^ kT.td[1][kT.sbox[(w >> 16) & 0xFF]] ^
         kT.td[2][kT.sbox[(w >> 8) & 0xFF]] ^ kT.td[3][kT.sbox[w & 0xFF]];
}

// FIPS 197 appendix C.1 to C.3.
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
       "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
       "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
  };
  return RunKnownAnswers<Rijndael>(kVectors);
}

}  // namespace

const CipherClass Rijndael::kClass = {4, "Rijndael", 256, 128, &SelfTest, &CreateCipher<Rijndael>};

Rijndael::~Rijndael() {
  WipeBytes(enc_, sizeof enc_);
  WipeBytes(dec_, sizeof dec_);
}

void Rijndael::ScheduleKey(const void* key, std::uint32_t bits) {
  // The size class follows the bit count, so 132 bits (16 whole bytes) is
  // still a 192-bit key.
  const int nk = bits <= 128 ? 4 : bits <= 192 ? 6 : 8;
  rounds_ = nk + 6;
  std::uint8_t k[32] = {};
  if (bits / 8 > 0) std::memcpy(k, key, bits / 8);
  const int words = 4 * (rounds_ + 1);
  for (int i = 0; i < nk; ++i) enc_[i] = LoadBe32(k + 4 * i);
  for (int i = nk; i < words; ++i) {
    std::uint32_t t = enc_[i - 1];
    if (i % nk == 0)
      t = SubWord(Rotl32(t, 8)) ^ static_cast<std::uint32_t>(kT.rcon[i / nk - 1]) << 24;
    else if (nk > 6 && i % nk == 4)
      t = SubWord(t);
    enc_[i] = enc_[i - nk] ^ t;
  }
  // The equivalent inverse cipher: round keys in reverse order, the inner ones
  // passed through InvMixColumns.
  for (int r = 0; r <= rounds_; ++r) {
    for (int j = 0; j < 4; ++j) {
      const std::uint32_t w = enc_[4 * (rounds_ - r) + j];
      dec_[4 * r + j] = r == 0 || r == rounds_ ? w : InvMixColumn(w);
    }
  }
  WipeBytes(k, sizeof k);
}

void Rijndael::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  const std::uint32_t* rk = enc_;
  std::uint32_t s0 = LoadBe32(p) ^ rk[0];
  std::uint32_t s1 = LoadBe32(p + 4) ^ rk[1];
  std::uint32_t s2 = LoadBe32(p + 8) ^ rk[2];
  std::uint32_t s3 = LoadBe32(p + 12) ^ rk[3];
  const auto& te = kT.te;
  for (int r = 1; r < rounds_; ++r) {
    rk += 4;
    const std::uint32_t t0 =
        te[0][s0 >> 24] ^ te[1][(s1 >> 16) & 0xFF] ^ te[2][(s2 >> 8) & 0xFF] ^ te[3][s3 & 0xFF] ^ rk[0];
    const std::uint32_t t1 =
        te[0][s1 >> 24] ^ te[1][(s2 >> 16) & 0xFF] ^ te[2][(s3 >> 8) & 0xFF] ^ te[3][s0 & 0xFF] ^ rk[1];
    const std::uint32_t t2 =
        te[0][s2 >> 24] ^ te[1][(s3 >> 16) & 0xFF] ^ te[2][(s0 >> 8) & 0xFF] ^ te[3][s1 & 0xFF] ^ rk[2];
    const std::uint32_t t3 =
        te[0][s3 >> 24] ^ te[1][(s0 >> 16) & 0xFF] ^ te[2][(s1 >> 8) & 0xFF] ^ te[3][s2 & 0xFF] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  const auto* s = kT.sbox;
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, Word(s[s0 >> 24], s[(s1 >> 16) & 0xFF], s[(s2 >> 8) & 0xFF], s[s3 & 0xFF]) ^ rk[0]);
  StoreBe32(q + 4, Word(s[s1 >> 24], s[(s2 >> 16) & 0xFF], s[(s3 >> 8) & 0xFF], s[s0 & 0xFF]) ^ rk[1]);
  StoreBe32(q + 8, Word(s[s2 >> 24], s[(s3 >> 16) & 0xFF], s[(s0 >> 8) & 0xFF], s[s1 & 0xFF]) ^ rk[2]);
  StoreBe32(q + 12, Word(s[s3 >> 24], s[(s0 >> 16) & 0xFF], s[(s1 >> 8) & 0xFF], s[s2 & 0xFF]) ^ rk[3]);
}

void Rijndael::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  const std::uint32_t* rk = dec_;
  std::uint32_t s0 = LoadBe32(p) ^ rk[0];
  std::uint32_t s1 = LoadBe32(p + 4) ^ rk[1];
  std::uint32_t s2 = LoadBe32(p + 8) ^ rk[2];
  std::uint32_t s3 = LoadBe32(p + 12) ^ rk[3];
  const auto& td = kT.td;
  for (int r = 1; r < rounds_; ++r) {
    rk += 4;
    const std::uint32_t t0 =
        td[0][s0 >> 24] ^ td[1][(s3 >> 16) & 0xFF] ^ td[2][(s2 >> 8) & 0xFF] ^ td[3][s1 & 0xFF] ^ rk[0];
    const std::uint32_t t1 =
        td[0][s1 >> 24] ^ td[1][(s0 >> 16) & 0xFF] ^ td[2][(s3 >> 8) & 0xFF] ^ td[3][s2 & 0xFF] ^ rk[1];
    const std::uint32_t t2 =
        td[0][s2 >> 24] ^ td[1][(s1 >> 16) & 0xFF] ^ td[2][(s0 >> 8) & 0xFF] ^ td[3][s3 & 0xFF] ^ rk[2];
    const std::uint32_t t3 =
        td[0][s3 >> 24] ^ td[1][(s2 >> 16) & 0xFF] ^ td[2][(s1 >> 8) & 0xFF] ^ td[3][s0 & 0xFF] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  const auto* s = kT.inv_sbox;
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, Word(s[s0 >> 24], s[(s3 >> 16) & 0xFF], s[(s2 >> 8) & 0xFF], s[s1 & 0xFF]) ^ rk[0]);
  StoreBe32(q + 4, Word(s[s1 >> 24], s[(s0 >> 16) & 0xFF], s[(s3 >> 8) & 0xFF], s[s2 & 0xFF]) ^ rk[1]);
  StoreBe32(q + 8, Word(s[s2 >> 24], s[(s1 >> 16) & 0xFF], s[(s0 >> 8) & 0xFF], s[s3 & 0xFF]) ^ rk[2]);
  StoreBe32(q + 12, Word(s[s3 >> 24], s[(s2 >> 16) & 0xFF], s[(s1 >> 8) & 0xFF], s[s0 & 0xFF]) ^ rk[3]);
}

void Rijndael::WipeKey() {
  WipeBytes(enc_, sizeof enc_);
  WipeBytes(dec_, sizeof dec_);
  rounds_ = 0;
  BlockCipher128::WipeKey();
}

}  // namespace crypto

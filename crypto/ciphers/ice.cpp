#include "crypto/ciphers/ice.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// Each S-box maps 10 bits to 8: the outer bits (9 and 0) pick a row, the inner
// eight are XORed with the row's constant and raised to the 7th power in
// GF(2^8) modulo the row's irreducible polynomial. The tables below fold in the
// P-box, so a round is four look-ups ORed together.
constexpr int kMod[4][4] = {
    {333, 313, 505, 369}, {379, 375, 319, 391}, {361, 445, 451, 397}, {397, 425, 395, 505}};
constexpr int kXor[4][4] = {
    {0x83, 0x85, 0x9b, 0xcd}, {0xcc, 0xa7, 0xad, 0x41}, {0x4b, 0x2e, 0xd4, 0x33}, {0xea, 0xcb, 0x2e, 0x04}};
constexpr std::uint32_t kPbox[32] = {
    0x00000001, 0x00000080, 0x00000400, 0x00002000, 0x00080000, 0x00200000, 0x01000000, 0x40000000,
    0x00000008, 0x00000020, 0x00000100, 0x00004000, 0x00010000, 0x00800000, 0x04000000, 0x20000000,
    0x00000004, 0x00000010, 0x00000200, 0x00008000, 0x00020000, 0x00400000, 0x08000000, 0x10000000,
    0x00000002, 0x00000040, 0x00000800, 0x00001000, 0x00040000, 0x00100000, 0x02000000, 0x80000000};
// Which of the four 16-bit key pieces feeds each of the eight rounds of a key block.
constexpr int kKeyRotation[16] = {0, 1, 2, 3, 2, 1, 3, 0, 1, 3, 2, 0, 3, 1, 0, 2};

constexpr unsigned GfMul(unsigned a, unsigned b, unsigned m) {
  unsigned r = 0;
  while (b != 0) {
    if ((b & 1) != 0) r ^= a;
    a <<= 1;
    b >>= 1;
    if (a >= 256) a ^= m;
  }
  return r;
}

constexpr unsigned GfExp7(unsigned b, unsigned m) {
  if (b == 0) return 0;
  const unsigned b2 = GfMul(b, b, m);
  const unsigned b3 = GfMul(b, b2, m);
  const unsigned b6 = GfMul(b3, b3, m);
  return GfMul(b, b6, m);
}

constexpr std::uint32_t Permute(std::uint32_t x) {
  std::uint32_t r = 0;
  for (int i = 0; x != 0; ++i, x >>= 1)
    if ((x & 1) != 0) r |= kPbox[i];
  return r;
}

struct Sboxes {
  std::uint32_t s[4][1024];
};

constexpr Sboxes MakeSboxes() {
  Sboxes t{};
  for (unsigned i = 0; i < 1024; ++i) {
    const unsigned col = (i >> 1) & 0xFF;
    const unsigned row = (i & 1) | ((i & 0x200) >> 8);
    for (int k = 0; k < 4; ++k) {
      const auto v = static_cast<std::uint32_t>(GfExp7(col ^ kXor[k][row], kMod[k][row]));
      t.s[k][i] = Permute(v << (24 - 8 * k));
    }
  }
  return t;
}

constexpr Sboxes kS = MakeSboxes();

// The round function: expand 32 bits to two 20-bit halves, swap the bits the
// salt selects, add the key, then the S-boxes.
inline std::uint32_t F(std::uint32_t p, const std::uint32_t* sk) {
  const std::uint32_t tl = ((p >> 16) & 0x3FF) | (Rotr32(p, 14) & 0xFFC00);
  const std::uint32_t tr = (p & 0x3FF) | ((p << 2) & 0xFFC00);
  std::uint32_t al = sk[2] & (tl ^ tr);
  std::uint32_t ar = al ^ tr;
  al ^= tl;
  al ^= sk[0];
  ar ^= sk[1];
  return kS.s[0][al >> 10] | kS.s[1][al & 0x3FF] | kS.s[2][ar >> 10] | kS.s[3][ar & 0x3FF];
}

// Eight rounds' subkeys from one 64-bit key block, held as four 16-bit pieces
// (piece 3 = the first two key bytes). Each subkey bit takes the low bit of a
// piece, which then rotates right with that bit inverted.
void BuildSchedule(std::uint32_t (*subkeys)[3], std::uint16_t kb[4], const int* rotation) {
  for (int i = 0; i < 8; ++i) {
    std::uint32_t* sk = subkeys[i];
    sk[0] = sk[1] = sk[2] = 0;
    for (int j = 0; j < 15; ++j) {
      std::uint32_t& word = sk[j % 3];
      for (int k = 0; k < 4; ++k) {
        std::uint16_t& piece = kb[(rotation[i] + k) & 3];
        const unsigned bit = piece & 1u;
        word = (word << 1) | bit;
        piece = static_cast<std::uint16_t>((piece >> 1) | ((bit ^ 1u) << 15));
      }
    }
  }
}

// The certification triplets of the ICE description.
bool SelfTestIce() {
  static const KnownAnswer kVectors[] = {{"deadbeef01234567", "fedcba9876543210", "7d6ef1ef30d47a96"}};
  return RunKnownAnswers<Ice>(kVectors);
}
bool SelfTestThinIce() {
  static const KnownAnswer kVectors[] = {{"deadbeef01234567", "fedcba9876543210", "de240d83a00a9cc0"}};
  return RunKnownAnswers<ThinIce>(kVectors);
}
bool SelfTestIce2() {
  static const KnownAnswer kVectors[] = {
      {"00112233445566778899aabbccddeeff", "fedcba9876543210", "f94840d86972f21c"}};
  return RunKnownAnswers<Ice2>(kVectors);
}

}  // namespace

const CipherClass Ice::kClass = {20, "ICE", 64, 64, &SelfTestIce, &CreateCipher<Ice>};
const CipherClass ThinIce::kClass = {21, "ThinICE", 64, 64, &SelfTestThinIce, &CreateCipher<ThinIce>};
const CipherClass Ice2::kClass = {22, "ICE2", 128, 64, &SelfTestIce2, &CreateCipher<Ice2>};

IceBase::~IceBase() { WipeBytes(subkeys_, sizeof subkeys_); }

void IceBase::ScheduleKey(const void* key, std::uint32_t bits) {
  const int blocks = level_ == 0 ? 1 : level_;
  std::uint8_t k[16] = {};  // ICE-2's key, the largest here
  if (bits / 8 > 0) std::memcpy(k, key, bits / 8);
  const int rounds = Rounds();
  std::uint16_t kb[4];
  for (int i = 0; i < blocks; ++i) {
    for (int j = 0; j < 4; ++j)
      kb[3 - j] = LoadBe16(k + 8 * i + 2 * j);
    BuildSchedule(subkeys_ + 8 * i, kb, kKeyRotation);
    // Thin-ICE has only the first eight rounds; the higher levels use each key
    // block a second time, mirrored, for the second half of the rounds.
    if (level_ != 0) BuildSchedule(subkeys_ + rounds - 8 - 8 * i, kb, kKeyRotation + 8);
  }
  WipeBytes(kb, sizeof kb);
  WipeBytes(k, sizeof k);
}

void IceBase::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t l = LoadBe32(p), r = LoadBe32(p + 4);
  const int rounds = Rounds();
  for (int i = 0; i < rounds; i += 2) {
    l ^= F(r, subkeys_[i]);
    r ^= F(l, subkeys_[i + 1]);
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, r);
  StoreBe32(q + 4, l);
}

void IceBase::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t l = LoadBe32(p), r = LoadBe32(p + 4);
  for (int i = Rounds() - 1; i > 0; i -= 2) {
    l ^= F(r, subkeys_[i]);
    r ^= F(l, subkeys_[i - 1]);
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, r);
  StoreBe32(q + 4, l);
}

void IceBase::WipeKey() {
  WipeBytes(subkeys_, sizeof subkeys_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

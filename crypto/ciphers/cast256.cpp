#include "crypto/ciphers/cast256.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/cast_sboxes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

using cast::F1;
using cast::F2;
using cast::F3;

// The key-schedule masking and rotation words Tm and Tr (RFC 2612 section
// 2.4): Cm = 2^30 sqrt(2), Mm = 2^30 sqrt(3), Cr = 19, Mr = 17.
struct ScheduleConstants {
  std::uint32_t tm[24][8];
  std::uint32_t tr[24][8];
};

constexpr ScheduleConstants MakeConstants() {
  ScheduleConstants c{};
  std::uint32_t cm = 0x5A827999u, cr = 19;
  for (int i = 0; i < 24; ++i) {
    for (int j = 0; j < 8; ++j) {
      c.tm[i][j] = cm;
      cm += 0x6ED9EBA1u;
      c.tr[i][j] = cr;
      cr = (cr + 17) % 32;
    }
  }
  return c;
}

constexpr ScheduleConstants kT = MakeConstants();

// RFC 2612 appendix C (128-, 192- and 256-bit keys) and the 160-bit key from
// ciphers.txt that shows the zero padding.
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"2342bb9efa38542c0af75647f29f615d", "00000000000000000000000000000000",
       "c842a08972b43d20836c91d1b7530f6b"},
      {"2342bb9efa38542cbed0ac83940ac298bac77a7717942863", "00000000000000000000000000000000",
       "1b386c0210dcadcbdd0e41aa08a7a7e8"},
      {"2342bb9efa38542cbed0ac83940ac2988d7c47ce264908461cc1b5137ae6b604", "00000000000000000000000000000000",
       "4f6a2038286897b9c9870136553317fa"},
      {"000102030405060708090a0b0c0d0e0f10111213", "00112233445566778899aabbccddeeff",
       "cb0edc3e40bb49cc96c323be547a466e"},
  };
  return RunKnownAnswers<Cast256>(kVectors);
}

}  // namespace

const CipherClass Cast256::kClass = {12, "Cast256", 256, 128, &SelfTest, &CreateCipher<Cast256>};

Cast256::~Cast256() {
  WipeBytes(km_, sizeof km_);
  WipeBytes(kr_, sizeof kr_);
}

void Cast256::ScheduleKey(const void* key, std::uint32_t bits) {
  std::uint8_t padded[32] = {};
  if (bits >= 8) std::memcpy(padded, key, bits / 8);  // a key under one byte may come as null
  // k[0..7] = A..H.
  std::uint32_t k[8];
  for (int i = 0; i < 8; ++i) k[i] = LoadBe32(padded + 4 * i);
  for (int i = 0; i < 12; ++i) {
    for (int w = 2 * i; w <= 2 * i + 1; ++w) {  // the forward octave W(2i), W(2i+1)
      const std::uint32_t* tm = kT.tm[w];
      const std::uint32_t* tr = kT.tr[w];
      k[6] ^= F1(k[7], tm[0], tr[0]);
      k[5] ^= F2(k[6], tm[1], tr[1]);
      k[4] ^= F3(k[5], tm[2], tr[2]);
      k[3] ^= F1(k[4], tm[3], tr[3]);
      k[2] ^= F2(k[3], tm[4], tr[4]);
      k[1] ^= F3(k[2], tm[5], tr[5]);
      k[0] ^= F1(k[1], tm[6], tr[6]);
      k[7] ^= F2(k[0], tm[7], tr[7]);
    }
    kr_[i][0] = k[0] & 31;  // A, C, E, G
    kr_[i][1] = k[2] & 31;
    kr_[i][2] = k[4] & 31;
    kr_[i][3] = k[6] & 31;
    km_[i][0] = k[7];  // H, F, D, B
    km_[i][1] = k[5];
    km_[i][2] = k[3];
    km_[i][3] = k[1];
  }
  WipeBytes(padded, sizeof padded);
  WipeBytes(k, sizeof k);
}

// The forward quad-round Q(i) and the reverse quad-round QBAR(i).
#define CAST_Q(i)                         \
  c ^= F1(d, km_[i][0], kr_[i][0]);       \
  b ^= F2(c, km_[i][1], kr_[i][1]);       \
  a ^= F3(b, km_[i][2], kr_[i][2]);       \
  d ^= F1(a, km_[i][3], kr_[i][3])
#define CAST_QBAR(i)                      \
  d ^= F1(a, km_[i][3], kr_[i][3]);       \
  a ^= F3(b, km_[i][2], kr_[i][2]);       \
  b ^= F2(c, km_[i][1], kr_[i][1]);       \
  c ^= F1(d, km_[i][0], kr_[i][0])

void Cast256::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = LoadBe32(p), b = LoadBe32(p + 4), c = LoadBe32(p + 8), d = LoadBe32(p + 12);
  CAST_Q(0);
  CAST_Q(1);
  CAST_Q(2);
  CAST_Q(3);
  CAST_Q(4);
  CAST_Q(5);
  CAST_QBAR(6);
  CAST_QBAR(7);
  CAST_QBAR(8);
  CAST_QBAR(9);
  CAST_QBAR(10);
  CAST_QBAR(11);
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, a);
  StoreBe32(q + 4, b);
  StoreBe32(q + 8, c);
  StoreBe32(q + 12, d);
}

// Each quad-round undoes the other under the same keys, so decryption runs
// Q(11)..Q(6), then QBAR(5)..QBAR(0).
void Cast256::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = LoadBe32(p), b = LoadBe32(p + 4), c = LoadBe32(p + 8), d = LoadBe32(p + 12);
  CAST_Q(11);
  CAST_Q(10);
  CAST_Q(9);
  CAST_Q(8);
  CAST_Q(7);
  CAST_Q(6);
  CAST_QBAR(5);
  CAST_QBAR(4);
  CAST_QBAR(3);
  CAST_QBAR(2);
  CAST_QBAR(1);
  CAST_QBAR(0);
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, a);
  StoreBe32(q + 4, b);
  StoreBe32(q + 8, c);
  StoreBe32(q + 12, d);
}

#undef CAST_Q
#undef CAST_QBAR

void Cast256::WipeKey() {
  WipeBytes(km_, sizeof km_);
  WipeBytes(kr_, sizeof kr_);
  BlockCipher128::WipeKey();
}

}  // namespace crypto

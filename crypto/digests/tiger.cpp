#include "crypto/digests/tiger.h"

#include "crypto/digests/known_digest.h"

namespace crypto {
namespace {

bool SelfTest() {
  static const KnownDigest kVectors[] = {
      {"", 1, "3293ac630c13f0245f92bbb1766e16167a4e58492dde73f3"},
      {"abc", 1, "2aab1484e8c158f2bfb8c5ff41b57a525129131c957b5f93"},
      {"Tiger", 1, "dd00230799f5009fec6debc838bb6a27df2b9d6f110c7937"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890", 1,
       "1c14795529fd9f207a958f84c52f11e887fa0cabdfd91bfd"},
      {"a", 1000000, "6db0e2729cbead93d715c6a7d36302e9b3cee0d2bc314b41"},
  };
  return RunKnownDigests<Tiger>(kVectors);
}

constexpr std::uint64_t kInitial[3] = {0x0123456789ABCDEFull, 0xFEDCBA9876543210ull, 0xF096A5B4C3B2E187ull};

// The four S-boxes t1..t4 as one table: t[k][i] is entry i of box k + 1.
using Sboxes = std::uint64_t[4][256];

inline unsigned Byte(std::uint64_t x, int i) { return static_cast<unsigned>(x >> (8 * i)) & 0xFF; }

inline void Round(const Sboxes& t, std::uint64_t& a, std::uint64_t& b, std::uint64_t& c, std::uint64_t x,
                  std::uint64_t mul) {
  c ^= x;
  a -= t[0][Byte(c, 0)] ^ t[1][Byte(c, 2)] ^ t[2][Byte(c, 4)] ^ t[3][Byte(c, 6)];
  b += t[3][Byte(c, 1)] ^ t[2][Byte(c, 3)] ^ t[1][Byte(c, 5)] ^ t[0][Byte(c, 7)];
  b *= mul;
}

inline void Pass(const Sboxes& t, std::uint64_t& a, std::uint64_t& b, std::uint64_t& c, const std::uint64_t* x,
                 std::uint64_t mul) {
  Round(t, a, b, c, x[0], mul);
  Round(t, b, c, a, x[1], mul);
  Round(t, c, a, b, x[2], mul);
  Round(t, a, b, c, x[3], mul);
  Round(t, b, c, a, x[4], mul);
  Round(t, c, a, b, x[5], mul);
  Round(t, a, b, c, x[6], mul);
  Round(t, b, c, a, x[7], mul);
}

inline void KeySchedule(std::uint64_t* x) {
  x[0] -= x[7] ^ 0xA5A5A5A5A5A5A5A5ull;
  x[1] ^= x[0];
  x[2] += x[1];
  x[3] -= x[2] ^ (~x[1] << 19);
  x[4] ^= x[3];
  x[5] += x[4];
  x[6] -= x[5] ^ (~x[4] >> 23);
  x[7] ^= x[6];
  x[0] += x[7];
  x[1] -= x[0] ^ (~x[7] << 19);
  x[2] ^= x[1];
  x[3] += x[2];
  x[4] -= x[3] ^ (~x[2] >> 23);
  x[5] ^= x[4];
  x[6] += x[5];
  x[7] -= x[6] ^ 0x0123456789ABCDEFull;
}

inline void CompressBlock(const Sboxes& t, std::uint64_t* h, const std::uint8_t* p) {
  std::uint64_t x[8];
  for (int i = 0; i < 8; ++i) x[i] = LoadLe64(p + 8 * i);
  std::uint64_t a = h[0], b = h[1], c = h[2];
  Pass(t, a, b, c, x, 5);
  KeySchedule(x);
  Pass(t, c, a, b, x, 7);
  KeySchedule(x);
  Pass(t, b, c, a, x, 9);
  h[0] ^= a;
  h[1] = b - h[1];
  h[2] += c;
}

// The S-boxes as the Tiger paper generates them: start with every byte of
// entry i equal to i, then for 5 passes swap bytes column by column at
// positions chosen by the state of Tiger's own compression of the authors'
// 64-character sentence, compressed again after every three swaps with the
// boxes as they are at that moment.
struct GeneratedSboxes {
  Sboxes t;
  GeneratedSboxes() {
    static const char kSentence[] = "Tiger - A Fast New Hash Function, by Ross Anderson and Eli Biham";
    static_assert(sizeof kSentence == 65, "one 64-byte block");
    for (int k = 0; k < 4; ++k)
      for (unsigned i = 0; i < 256; ++i) t[k][i] = 0x0101010101010101ull * i;
    std::uint64_t state[3] = {kInitial[0], kInitial[1], kInitial[2]};
    const auto* block = reinterpret_cast<const std::uint8_t*>(kSentence);
    int abc = 2;
    for (int pass = 0; pass < 5; ++pass) {
      for (unsigned i = 0; i < 256; ++i) {
        for (int k = 0; k < 4; ++k) {
          if (++abc == 3) {
            abc = 0;
            CompressBlock(t, state, block);
          }
          for (int col = 0; col < 8; ++col) {
            const unsigned j = Byte(state[abc], col);
            const std::uint64_t mask = 0xFFull << (8 * col);
            const std::uint64_t bi = t[k][i] & mask, bj = t[k][j] & mask;
            t[k][i] = (t[k][i] & ~mask) | bj;
            t[k][j] = (t[k][j] & ~mask) | bi;
          }
        }
      }
    }
  }
};

const Sboxes& TigerSboxes() {
  static const GeneratedSboxes boxes;
  return boxes.t;
}

}  // namespace

const HashClass Tiger::kClass = {47, "Tiger", 192, &SelfTest, &CreateHash<Tiger>};

void Tiger::StartDigest() { Start(kInitial); }

void Tiger::Compress(const std::uint8_t* p, std::size_t count) {
  const Sboxes& t = TigerSboxes();
  for (; count > 0; --count, p += 64) CompressBlock(t, h_, p);
}

void Tiger::FinishDigest(std::uint8_t* digest) { Finish<ByteOrder::kLittle>(0x01, digest); }

}  // namespace crypto

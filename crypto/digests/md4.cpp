#include "crypto/digests/md4.h"

#include "crypto/digests/known_digest.h"

namespace crypto {
namespace {

bool SelfTest() {
  static const KnownDigest kVectors[] = {
      {"", 1, "31d6cfe0d16ae931b73c59d7e0c089c0"},
      {"abc", 1, "a448017aaf21d8525fc10ae87aa6729d"},
      {"message digest", 1, "d9130a8164549fe818874806e1c7014b"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890", 1,
       "e33b4ddc9c38f2199c3e7b164fcc0536"},
  };
  return RunKnownDigests<Md4>(kVectors);
}

constexpr std::uint32_t kInitial[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

inline std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
inline std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (z & (x | y)); }
inline std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }

// Word order and rotations of rounds 2 and 3 (round 1 takes the words in order).
constexpr int kOrder2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
constexpr int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
constexpr int kShift1[4] = {3, 7, 11, 19};
constexpr int kShift2[4] = {3, 5, 9, 13};
constexpr int kShift3[4] = {3, 9, 11, 15};

}  // namespace

const HashClass Md4::kClass = {40, "MD4", 128, &SelfTest, &CreateHash<Md4>};

void Md4::StartDigest() { Start(kInitial); }

void Md4::Compress(const std::uint8_t* p, std::size_t count) {
  for (; count > 0; --count, p += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(p + 4 * i);
    std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3];
    // After each step the roles rotate: (a, b, c, d) <- (d, a, b, c).
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
      const std::uint32_t t = Rotl32(a + F(b, c, d) + x[i], kShift1[i % 4]);
      a = d, d = c, c = b, b = t;
    }
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
      const std::uint32_t t = Rotl32(a + G(b, c, d) + x[kOrder2[i]] + 0x5A827999u, kShift2[i % 4]);
      a = d, d = c, c = b, b = t;
    }
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
      const std::uint32_t t = Rotl32(a + H(b, c, d) + x[kOrder3[i]] + 0x6ED9EBA1u, kShift3[i % 4]);
      a = d, d = c, c = b, b = t;
    }
    h_[0] += a;
    h_[1] += b;
    h_[2] += c;
    h_[3] += d;
  }
}

void Md4::FinishDigest(std::uint8_t* digest) { Finish<ByteOrder::kLittle>(0x80, digest); }

}  // namespace crypto

#include "crypto/digests/ripemd160.h"

#include "crypto/digests/known_digest.h"
#include "crypto/digests/ripemd_tables.h"

namespace crypto {
namespace {

bool SelfTest() {
  static const KnownDigest kVectors[] = {
      {"", 1, "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
      {"abc", 1, "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1, "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
      {"a", 1000000, "52783243c1697bdbe16d37f97f68f08325dc1528"},
  };
  return RunKnownDigests<RipeMd160>(kVectors);
}

constexpr std::uint32_t kInitial[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

constexpr std::uint32_t kLeftK[5] = {0x00000000u, 0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu, 0xA953FD4Eu};
constexpr std::uint32_t kRightK[5] = {0x50A28BE6u, 0x5C4DD124u, 0x6D703EF3u, 0x7A6D76E9u, 0x00000000u};

// Sixteen steps of round R of both lines, interleaved so that the two
// independent chains overlap in the processor. The left line takes f1..f5 in
// turn, the right line f5..f1. Each line's five words rotate through its array
// instead of moving: at step i word a is s[-i mod 5], then b, c, d, e follow.
template <int R>
inline void Round(std::uint32_t* l, std::uint32_t* r, const std::uint32_t* x) {
#pragma GCC unroll 16
  for (int i = 16 * R; i < 16 * R + 16; ++i) {
    const int a = (80 - i) % 5, b = (81 - i) % 5, c = (82 - i) % 5, d = (83 - i) % 5, e = (84 - i) % 5;
    l[a] =
        Rotl32(l[a] + ripemd::F<R + 1>(l[b], l[c], l[d]) + x[ripemd::kLeftWord[i]] + kLeftK[R], ripemd::kLeftShift[i]) +
        l[e];
    l[c] = Rotl32(l[c], 10);
    r[a] = Rotl32(r[a] + ripemd::F<5 - R>(r[b], r[c], r[d]) + x[ripemd::kRightWord[i]] + kRightK[R],
                  ripemd::kRightShift[i]) +
           r[e];
    r[c] = Rotl32(r[c], 10);
  }
}

}  // namespace

const HashClass RipeMd160::kClass = {43, "RipeMD160", 160, &SelfTest, &CreateHash<RipeMd160>};

void RipeMd160::StartDigest() { Start(kInitial); }

void RipeMd160::Compress(const std::uint8_t* p, std::size_t count) {
  for (; count > 0; --count, p += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(p + 4 * i);
    std::uint32_t l[5] = {h_[0], h_[1], h_[2], h_[3], h_[4]};
    std::uint32_t r[5] = {h_[0], h_[1], h_[2], h_[3], h_[4]};
    Round<0>(l, r, x);
    Round<1>(l, r, x);
    Round<2>(l, r, x);
    Round<3>(l, r, x);
    Round<4>(l, r, x);
    // 80 steps: the words are back in their places.
    const std::uint32_t t = h_[1] + l[2] + r[3];
    h_[1] = h_[2] + l[3] + r[4];
    h_[2] = h_[3] + l[4] + r[0];
    h_[3] = h_[4] + l[0] + r[1];
    h_[4] = h_[0] + l[1] + r[2];
    h_[0] = t;
  }
}

void RipeMd160::FinishDigest(std::uint8_t* digest) { Finish<ByteOrder::kLittle>(0x80, digest); }

}  // namespace crypto

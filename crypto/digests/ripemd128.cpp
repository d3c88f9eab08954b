#include "crypto/digests/ripemd128.h"

#include "crypto/digests/known_digest.h"
#include "crypto/digests/ripemd_tables.h"

namespace crypto {
namespace {

bool SelfTest() {
  static const KnownDigest kVectors[] = {
      {"", 1, "cdf26213a150dc3ecb610f18f6b38b46"},
      {"abc", 1, "c14a12199c66e4ba84636b0f69144c77"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1, "a1aa0689d0fafa2ddc22e88b49133a06"},
      {"a", 1000000, "4a7f5723f954eba1216c9d8f6320431f"},
  };
  return RunKnownDigests<RipeMd128>(kVectors);
}

constexpr std::uint32_t kInitial[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

constexpr std::uint32_t kLeftK[4] = {0x00000000u, 0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu};
constexpr std::uint32_t kRightK[4] = {0x50A28BE6u, 0x5C4DD124u, 0x6D703EF3u, 0x00000000u};

// Sixteen steps of round R of both lines, interleaved so that the two
// independent chains overlap in the processor. The left line takes f1..f4 in
// turn, the right line f4..f1. Each line's four words rotate through its array
// instead of moving: at step i word a is s[-i mod 4], then b, c, d follow.
template <int R>
inline void Round(std::uint32_t* l, std::uint32_t* r, const std::uint32_t* x) {
#pragma GCC unroll 16
  for (int i = 16 * R; i < 16 * R + 16; ++i) {
    const int a = (64 - i) % 4, b = (65 - i) % 4, c = (66 - i) % 4, d = (67 - i) % 4;
    l[a] =
        Rotl32(l[a] + ripemd::F<R + 1>(l[b], l[c], l[d]) + x[ripemd::kLeftWord[i]] + kLeftK[R], ripemd::kLeftShift[i]);
    r[a] = Rotl32(r[a] + ripemd::F<4 - R>(r[b], r[c], r[d]) + x[ripemd::kRightWord[i]] + kRightK[R],
                  ripemd::kRightShift[i]);
  }
}

}  // namespace

const HashClass RipeMd128::kClass = {42, "RipeMD128", 128, &SelfTest, &CreateHash<RipeMd128>};

void RipeMd128::StartDigest() { Start(kInitial); }

void RipeMd128::Compress(const std::uint8_t* p, std::size_t count) {
  for (; count > 0; --count, p += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(p + 4 * i);
    std::uint32_t l[4] = {h_[0], h_[1], h_[2], h_[3]};
    std::uint32_t r[4] = {h_[0], h_[1], h_[2], h_[3]};
    Round<0>(l, r, x);
    Round<1>(l, r, x);
    Round<2>(l, r, x);
    Round<3>(l, r, x);
    // 64 steps: the words are back in their places.
    const std::uint32_t t = h_[1] + l[2] + r[3];
    h_[1] = h_[2] + l[3] + r[0];
    h_[2] = h_[3] + l[0] + r[1];
    h_[3] = h_[0] + l[1] + r[2];
    h_[0] = t;
  }
}

void RipeMd128::FinishDigest(std::uint8_t* digest) { Finish<ByteOrder::kLittle>(0x80, digest); }

}  // namespace crypto

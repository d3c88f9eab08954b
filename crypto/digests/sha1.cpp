#include "crypto/digests/sha1.h"

#include "crypto/cpu_features.h"
#include "crypto/digests/known_digest.h"

#ifdef CRYPTO_X86
#include <immintrin.h>
#endif

namespace crypto {
namespace {

bool SelfTest() {
  static const KnownDigest kVectors[] = {
      {"", 1, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", 1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {"a", 1000000, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  return RunKnownDigests<Sha1>(kVectors);
}

constexpr std::uint32_t kInitial[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

void CompressPortable(std::uint32_t* h, const std::uint8_t* p, std::size_t count) {
  for (; count > 0; --count, p += 64) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) w[i] = LoadBe32(p + 4 * i);
    for (int i = 16; i < 80; ++i) w[i] = Rotl32(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    auto step = [&](std::uint32_t f, std::uint32_t k, std::uint32_t wi) {
      const std::uint32_t t = Rotl32(a, 5) + f + e + k + wi;
      e = d;
      d = c;
      c = Rotl32(b, 30);
      b = a;
      a = t;
    };
    for (int i = 0; i < 20; ++i) step((b & c) | (~b & d), 0x5A827999u, w[i]);
    for (int i = 20; i < 40; ++i) step(b ^ c ^ d, 0x6ED9EBA1u, w[i]);
    for (int i = 40; i < 60; ++i) step((b & c) | (b & d) | (c & d), 0x8F1BBCDCu, w[i]);
    for (int i = 60; i < 80; ++i) step(b ^ c ^ d, 0xCA62C1D6u, w[i]);
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
  }
}

ShaExtensionsSwitch g_sha_extensions;

#ifdef CRYPTO_X86
// The SHA extensions do the same compression several times faster.
__attribute__((target("sha,sse4.1"), always_inline)) inline __m128i Rounds4(__m128i abcd, __m128i e, int group) {
  switch (group / 5) {
    case 0: return _mm_sha1rnds4_epu32(abcd, e, 0);
    case 1: return _mm_sha1rnds4_epu32(abcd, e, 1);
    case 2: return _mm_sha1rnds4_epu32(abcd, e, 2);
    default: return _mm_sha1rnds4_epu32(abcd, e, 3);
  }
}

// The state stays in registers from one block to the next. Lanes 0-2 of e0
// stay zero: the first group adds all four lanes to the schedule words.
__attribute__((target("sha,sse4.1"))) void CompressWithShaExtensions(std::uint32_t* h, const std::uint8_t* p,
                                                                     std::size_t count) {
  const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0);
  for (; count > 0; --count, p += 64) {
    const __m128i abcd_save = abcd, e_save = e0;
    // m[g % 4] holds schedule words 4g..4g+3 once group g has started.
    __m128i m[4];
    __m128i previous = abcd;
#pragma GCC unroll 20
    for (int g = 0; g < 20; ++g) {
      __m128i w;
      if (g < 4) {
        w = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * g)), byte_swap);
      } else {
        w = _mm_sha1msg2_epu32(
            _mm_xor_si128(_mm_sha1msg1_epu32(m[g % 4], m[(g + 1) % 4]), m[(g + 2) % 4]), m[(g + 3) % 4]);
      }
      m[g % 4] = w;
      const __m128i e = g == 0 ? _mm_add_epi32(e0, w) : _mm_sha1nexte_epu32(previous, w);
      previous = abcd;
      abcd = Rounds4(abcd, e, g);
    }
    e0 = _mm_sha1nexte_epu32(previous, e_save);
    abcd = _mm_add_epi32(abcd, abcd_save);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_shuffle_epi32(abcd, 0x1B));
  h[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}
#endif

}  // namespace

bool Sha1UseShaExtensions(bool enabled) { return g_sha_extensions.Set(enabled); }

const HashClass Sha1::kClass = {2, "SHA1", 160, &SelfTest, &CreateHash<Sha1>};

void Sha1::StartDigest() { Start(kInitial); }

void Sha1::Compress(const std::uint8_t* p, std::size_t count) {
#ifdef CRYPTO_X86
  if (g_sha_extensions.On()) return CompressWithShaExtensions(h_, p, count);
#endif
  CompressPortable(h_, p, count);
}

void Sha1::FinishDigest(std::uint8_t* digest) { Finish<ByteOrder::kBig>(0x80, digest); }

}  // namespace crypto

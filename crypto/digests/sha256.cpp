#include "crypto/digests/sha256.h"

#include "crypto/cpu_features.h"
#include "crypto/digests/known_digest.h"

#ifdef CRYPTO_X86
#include <immintrin.h>
#endif

namespace crypto {
namespace {

bool SelfTest() {
  static const KnownDigest kVectors[] = {
      {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a", 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  return RunKnownDigests<Sha256>(kVectors);
}

constexpr std::uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

alignas(16) constexpr std::uint32_t kK[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

void CompressPortable(std::uint32_t* h, const std::uint8_t* p, std::size_t count) {
  for (; count > 0; --count, p += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBe32(p + 4 * i);
    std::uint32_t s[8];
    for (int i = 0; i < 8; ++i) s[i] = h[i];
      // s[(8 - i) & 7] is a at step i: the eight words rotate instead of moving.
#pragma GCC unroll 64
    for (int i = 0; i < 64; ++i) {
      if (i >= 16) {
        const std::uint32_t w15 = w[(i - 15) & 15], w2 = w[(i - 2) & 15];
        w[i & 15] += (Rotr32(w15, 7) ^ Rotr32(w15, 18) ^ (w15 >> 3)) + w[(i - 7) & 15] +
                     (Rotr32(w2, 17) ^ Rotr32(w2, 19) ^ (w2 >> 10));
      }
      std::uint32_t& a = s[(8 - i) & 7];
      std::uint32_t& b = s[(9 - i) & 7];
      std::uint32_t& c = s[(10 - i) & 7];
      std::uint32_t& d = s[(11 - i) & 7];
      std::uint32_t& e = s[(12 - i) & 7];
      std::uint32_t& f = s[(13 - i) & 7];
      std::uint32_t& g = s[(14 - i) & 7];
      std::uint32_t& hh = s[(15 - i) & 7];
      const std::uint32_t t1 =
          hh + (Rotr32(e, 6) ^ Rotr32(e, 11) ^ Rotr32(e, 25)) + (g ^ (e & (f ^ g))) + kK[i] + w[i & 15];
      const std::uint32_t t2 = (Rotr32(a, 2) ^ Rotr32(a, 13) ^ Rotr32(a, 22)) + ((a & b) | (c & (a | b)));
      d += t1;
      hh = t1 + t2;  // becomes a of the next step
    }
    for (int i = 0; i < 8; ++i) h[i] += s[i];
  }
}

ShaExtensionsSwitch g_sha_extensions;

#ifdef CRYPTO_X86
// The SHA extensions run the same compression several times faster.
__attribute__((target("sha,sse4.1"))) void CompressWithShaExtensions(std::uint32_t* h, const std::uint8_t* p,
                                                                     std::size_t count) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  // The instructions keep the state as (a, b, e, f) and (c, d, g, h).
  __m128i t = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0xB1);
  __m128i cdgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 4)), 0x1B);
  __m128i abef = _mm_alignr_epi8(t, cdgh, 8);
  cdgh = _mm_blend_epi16(cdgh, t, 0xF0);
  for (; count > 0; --count, p += 64) {
    const __m128i abef_save = abef, cdgh_save = cdgh;
    __m128i m[4];  // m[g % 4]: schedule words 4g..4g+3
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
      __m128i w;
      if (g < 4) {
        w = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * g)), byte_swap);
      } else {
        w = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(m[g % 4], m[(g + 1) % 4]),
                                               _mm_alignr_epi8(m[(g + 3) % 4], m[(g + 2) % 4], 4)),
                                 m[(g + 3) % 4]);
      }
      m[g % 4] = w;
      const __m128i k = _mm_add_epi32(w, _mm_load_si128(reinterpret_cast<const __m128i*>(kK + 4 * g)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0E));
    }
    abef = _mm_add_epi32(abef, abef_save);
    cdgh = _mm_add_epi32(cdgh, cdgh_save);
  }
  t = _mm_shuffle_epi32(abef, 0x1B);
  cdgh = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_blend_epi16(t, cdgh, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), _mm_alignr_epi8(cdgh, t, 8));
}
#endif

}  // namespace

bool Sha256UseShaExtensions(bool enabled) { return g_sha_extensions.Set(enabled); }

const HashClass Sha256::kClass = {44, "SHA256", 256, &SelfTest, &CreateHash<Sha256>};

void Sha256::StartDigest() { Start(kInitial); }

void Sha256::Compress(const std::uint8_t* p, std::size_t count) {
#ifdef CRYPTO_X86
  if (g_sha_extensions.On()) return CompressWithShaExtensions(h_, p, count);
#endif
  CompressPortable(h_, p, count);
}

void Sha256::FinishDigest(std::uint8_t* digest) { Finish<ByteOrder::kBig>(0x80, digest); }

}  // namespace crypto

#include "crypto/digests/sha1.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define SHA1_HAVE_SHA_NI 1
#endif

#include "crypto/cipher.h"
#include "crypto/digests/known_digest.h"

namespace crypto {
namespace {

inline std::uint32_t Rotl(std::uint32_t x, int r) { return (x << r) | (x >> (32 - r)); }

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

#ifdef SHA1_HAVE_SHA_NI
// The SHA extensions do the same compression several times faster; used when
// the processor has them (and SSSE3/SSE4.1 for the shuffles).
bool CpuHasShaExtensions() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3 = (c & (1u << 9)) != 0, sse41 = (c & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return ssse3 && sse41 && (b & (1u << 29)) != 0;
}
std::atomic<bool> g_use_sha_extensions{CpuHasShaExtensions()};

__attribute__((target("sha,sse4.1"), always_inline)) inline __m128i Rounds4(__m128i abcd, __m128i e, int group) {
  switch (group / 5) {
    case 0: return _mm_sha1rnds4_epu32(abcd, e, 0);
    case 1: return _mm_sha1rnds4_epu32(abcd, e, 1);
    case 2: return _mm_sha1rnds4_epu32(abcd, e, 2);
    default: return _mm_sha1rnds4_epu32(abcd, e, 3);
  }
}

__attribute__((target("sha,sse4.1"))) void CompressWithShaExtensions(std::uint32_t* h, const std::uint8_t* p) {
  const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0);
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
  abcd = _mm_shuffle_epi32(_mm_add_epi32(abcd, abcd_save), 0x1B);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), abcd);
  h[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}
#endif

}  // namespace

bool Sha1UseShaExtensions(bool enabled) {
#ifdef SHA1_HAVE_SHA_NI
  const bool available = CpuHasShaExtensions();
  g_use_sha_extensions.store(enabled && available);
  return available;
#else
  (void)enabled;
  return false;
#endif
}

const HashClass Sha1::kClass = {2, "SHA1", 160, &SelfTest, &CreateHash<Sha1>};

Sha1::~Sha1() {
  if (initialised_) WipeDigestState();
}

void Sha1::StartDigest() {
  h_[0] = 0x67452301u;
  h_[1] = 0xEFCDAB89u;
  h_[2] = 0x98BADCFEu;
  h_[3] = 0x10325476u;
  h_[4] = 0xC3D2E1F0u;
  buffered_ = 0;
  length_ = 0;
  initialised_ = true;
}

void Sha1::Compress(const std::uint8_t* p) {
#ifdef SHA1_HAVE_SHA_NI
  if (g_use_sha_extensions.load(std::memory_order_relaxed)) return CompressWithShaExtensions(h_, p);
#endif
  std::uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = static_cast<std::uint32_t>(p[4 * i]) << 24 | static_cast<std::uint32_t>(p[4 * i + 1]) << 16 |
           static_cast<std::uint32_t>(p[4 * i + 2]) << 8 | p[4 * i + 3];
  for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
  auto step = [&](std::uint32_t f, std::uint32_t k, std::uint32_t wi) {
    const std::uint32_t t = Rotl(a, 5) + f + e + k + wi;
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = t;
  };
  for (int i = 0; i < 20; ++i) step((b & c) | (~b & d), 0x5A827999u, w[i]);
  for (int i = 20; i < 40; ++i) step(b ^ c ^ d, 0x6ED9EBA1u, w[i]);
  for (int i = 40; i < 60; ++i) step((b & c) | (b & d) | (c & d), 0x8F1BBCDCu, w[i]);
  for (int i = 60; i < 80; ++i) step(b ^ c ^ d, 0xCA62C1D6u, w[i]);
  h_[0] += a;
  h_[1] += b;
  h_[2] += c;
  h_[3] += d;
  h_[4] += e;
}

void Sha1::AddBytes(const void* data, std::uint32_t n) {
  if (!initialised_) throw HashError(kHashNotInitialized);
  const auto* p = static_cast<const std::uint8_t*>(data);
  length_ += n;
  if (buffered_ > 0) {
    const std::uint32_t take = n < 64 - buffered_ ? n : 64 - buffered_;
    std::memcpy(buffer_ + buffered_, p, take);
    buffered_ += take;
    p += take;
    n -= take;
    if (buffered_ < 64) return;
    Compress(buffer_);
    buffered_ = 0;
  }
  for (; n >= 64; n -= 64, p += 64) Compress(p);
  if (n > 0) std::memcpy(buffer_, p, n);
  buffered_ = n;
}

void Sha1::FinishDigest(std::uint8_t* digest) {
  if (!initialised_) throw HashError(kHashNotInitialized);
  const std::uint64_t bits = length_ * 8;
  buffer_[buffered_++] = 0x80;
  if (buffered_ > 56) {
    std::memset(buffer_ + buffered_, 0, 64 - buffered_);
    Compress(buffer_);
    buffered_ = 0;
  }
  std::memset(buffer_ + buffered_, 0, 56 - buffered_);
  for (int i = 0; i < 8; ++i) buffer_[56 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  Compress(buffer_);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<std::uint8_t>(h_[i] >> (24 - 8 * j));
  WipeDigestState();
}

void Sha1::WipeDigestState() {
  WipeBytes(h_, sizeof h_);
  WipeBytes(buffer_, sizeof buffer_);
  buffered_ = 0;
  length_ = 0;
  initialised_ = false;
}

}  // namespace crypto

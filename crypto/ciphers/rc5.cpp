#include "crypto/ciphers/rc5.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"
#include "crypto/cpu_features.h"

#ifdef CRYPTO_X86
#include <immintrin.h>
#endif

namespace crypto {
namespace {

constexpr std::uint32_t kP32 = 0xB7E15163u;
constexpr std::uint32_t kQ32 = 0x9E3779B9u;

// Published RC5-32/12 vectors (Rivest's paper and RFC 2040 style tables).
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"00000000000000000000000000000000", "0000000000000000", "21a5dbee154b8f6d"},
      {"915f4619be41b2516355a50110a9ce91", "21a5dbee154b8f6d", "f7c013ac5b2b8952"},
      {"783348e75aeb0f2fd7b169bb8dc16787", "f7c013ac5b2b8952", "2f42b3b70369fc92"},
  };
  return RunKnownAnswers<Rc5>(kVectors);
}

// One block on its two words; inline, so that the 8-bit CFB loop runs the
// rounds without a call or a trip through memory.
inline void EncryptWords(const std::uint32_t* s, std::uint32_t& a, std::uint32_t& b) {
  a += s[0];
  b += s[1];
#pragma GCC unroll 12
  for (int i = 1; i <= Rc5::kRounds; ++i) {
    a = Rotl32(a ^ b, b) + s[2 * i];
    b = Rotl32(b ^ a, a) + s[2 * i + 1];
  }
}

// T[0] of 8-bit CFB for CV as its two words. Only the low byte of A is used,
// so the compiler drops the last half-round.
inline std::uint8_t FirstByte(const std::uint32_t* s, const std::uint32_t* w) {
  std::uint32_t a = w[0], b = w[1];
  EncryptWords(s, a, b);
  return static_cast<std::uint8_t>(a);
}

// T[0] of four registers at once: four independent chains of rounds, which
// the processor overlaps; one chain alone waits on each rotate.
inline void FirstBytesOfFour(const std::uint32_t* s, const std::uint32_t (&w)[2][4], std::uint8_t* t) {
  std::uint32_t a[4], b[4];
#pragma GCC unroll 4
  for (int l = 0; l < 4; ++l) {
    a[l] = w[0][l] + s[0];
    b[l] = w[1][l] + s[1];
  }
#pragma GCC unroll 12
  for (int i = 1; i <= Rc5::kRounds; ++i) {
#pragma GCC unroll 4
    for (int l = 0; l < 4; ++l) a[l] = Rotl32(a[l] ^ b[l], b[l]) + s[2 * i];
#pragma GCC unroll 4
    for (int l = 0; l < 4; ++l) b[l] = Rotl32(b[l] ^ a[l], a[l]) + s[2 * i + 1];
  }
#pragma GCC unroll 4
  for (int l = 0; l < 4; ++l) t[l] = static_cast<std::uint8_t>(a[l]);
}

Avx2Switch g_avx2;

#ifdef CRYPTO_X86
// 8-bit CFB decryption on AVX2: the registers of eight consecutive bytes in
// the lanes of two vectors (first and second words), several such vectors
// side by side, so that each vector instruction does the work of eight
// blocks and the chains of rounds overlap.

// x rotated left by r in each lane. AVX2 shifts each lane by its own count
// but has no such rotation; x >> (32 - r) is taken as (x >> 1) >> (31 - r),
// right for r = 0 too, and needs no constant 32 in a register.
__attribute__((target("avx2"), always_inline)) inline __m256i RotlLanes(__m256i x, __m256i r) {
  const __m256i low5 = _mm256_set1_epi32(31);
  return _mm256_or_si256(_mm256_sllv_epi32(x, _mm256_and_si256(r, low5)),
                         _mm256_srlv_epi32(_mm256_srli_epi32(x, 1), _mm256_andnot_si256(r, low5)));
}

// Vectors side by side. Fewer were clearly slower in both builds (the 32-bit
// one has eight vector registers and keeps some words on the stack, which the
// processor overlaps with the other vectors' rounds); more gained little.
constexpr int kAvx2Vectors = 4;

// Decrypts the bytes in groups of 8 * kAvx2Vectors, from CV in cv, which it
// moves on; answers how many bytes it took.
__attribute__((target("avx2"))) std::uint32_t Cfb8DecryptAvx2(const std::uint32_t* s, std::uint8_t* cv,
                                                              const std::uint8_t* x, std::uint8_t* y,
                                                              std::uint32_t n) {
  constexpr std::uint32_t kGroup = 8 * kAvx2Vectors;
  // From 16 bytes in both halves of a vector, the registers at offsets 0..7
  // (lanes 0..3 from the low half, 4..7 from the high one, as vpshufb picks
  // within a half): first words bytes j..j+3, second words j+4..j+7.
  const __m256i first_words = _mm256_setr_epi8(0, 1, 2, 3, 1, 2, 3, 4, 2, 3, 4, 5, 3, 4, 5, 6,  //
                                               4, 5, 6, 7, 5, 6, 7, 8, 6, 7, 8, 9, 7, 8, 9, 10);
  const __m256i second_words = _mm256_setr_epi8(4, 5, 6, 7, 5, 6, 7, 8, 6, 7, 8, 9, 7, 8, 9, 10,  //
                                                8, 9, 10, 11, 9, 10, 11, 12, 10, 11, 12, 13, 11, 12, 13, 14);
  // The low byte of each lane, four to each half.
  const __m256i low_bytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                             0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  __m128i previous = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cv));
  std::uint32_t i = 0;
  for (; n - i >= kGroup; i += kGroup) {
    // Vector v holds the registers of bytes i + 8v .. i + 8v + 7, which are
    // the 16 bytes from i + 8v - 8 on; its ciphertext is the upper 8 of them.
    // Everything is read before anything is written: y may be x.
    __m256i a[kAvx2Vectors], b[kAvx2Vectors];
    __m128i c[kAvx2Vectors];
#pragma GCC unroll 4
    for (int v = 0; v < kAvx2Vectors; ++v) {
      c[v] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(x + i + 8 * v));
      const __m128i bytes = v == 0 ? _mm_unpacklo_epi64(previous, c[0])
                                   : _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i + 8 * v - 8));
      const __m256i both = _mm256_broadcastsi128_si256(bytes);
      a[v] = _mm256_add_epi32(_mm256_shuffle_epi8(both, first_words), _mm256_set1_epi32(static_cast<int>(s[0])));
      b[v] = _mm256_add_epi32(_mm256_shuffle_epi8(both, second_words), _mm256_set1_epi32(static_cast<int>(s[1])));
    }
    previous = c[kAvx2Vectors - 1];
    // Only A's low byte is used: the last half-round is left out.
#pragma GCC unroll 12
    for (int r = 1; r <= Rc5::kRounds; ++r) {
      const __m256i sa = _mm256_set1_epi32(static_cast<int>(s[2 * r]));
#pragma GCC unroll 4
      for (int v = 0; v < kAvx2Vectors; ++v) a[v] = _mm256_add_epi32(RotlLanes(_mm256_xor_si256(a[v], b[v]), b[v]), sa);
      if (r == Rc5::kRounds) break;
      const __m256i sb = _mm256_set1_epi32(static_cast<int>(s[2 * r + 1]));
#pragma GCC unroll 4
      for (int v = 0; v < kAvx2Vectors; ++v) b[v] = _mm256_add_epi32(RotlLanes(_mm256_xor_si256(b[v], a[v]), a[v]), sb);
    }
#pragma GCC unroll 4
    for (int v = 0; v < kAvx2Vectors; ++v) {
      const __m256i t = _mm256_shuffle_epi8(a[v], low_bytes);
      const __m128i t8 = _mm_unpacklo_epi32(_mm256_castsi256_si128(t), _mm256_extracti128_si256(t, 1));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(y + i + 8 * v), _mm_xor_si128(t8, c[v]));
    }
  }
  _mm_storel_epi64(reinterpret_cast<__m128i*>(cv), previous);
  return i;
}
#endif

// The block's words as two 32-bit stores, which loads of the same words are
// forwarded from at once. GCC 12 merges two StoreLe32 into one 64-bit store
// assembled byte by byte, some twenty instructions after the last round.
inline void StoreWords(void* out, std::uint32_t a, std::uint32_t b) {
  auto* q = static_cast<std::uint8_t*>(out);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(q, &a, 4);
  std::memcpy(q + 4, &b, 4);
#else
  StoreLe32(q, a);
  StoreLe32(q + 4, b);
#endif
}

}  // namespace

bool Rc5UseAvx2(bool enabled) { return g_avx2.Set(enabled); }

const CipherClass Rc5::kClass = {3, "RC5", 2048, 64, &SelfTest, &CreateCipher<Rc5>};

Rc5::~Rc5() { WipeBytes(s_, sizeof s_); }

void Rc5ExpandKey(const void* key, std::uint32_t bits, std::uint32_t* s, std::size_t t) {
  // A key of 4 bits has no whole byte: it runs as the empty key (c = 1, L = 0).
  const std::size_t b = bits / 8;
  const std::size_t c = b == 0 ? 1 : (b + 3) / 4;
  std::uint32_t l[64] = {};
  const auto* k = static_cast<const std::uint8_t*>(key);
  for (std::size_t i = b; i-- > 0;) l[i / 4] = (l[i / 4] << 8) + k[i];
  s[0] = kP32;
  for (std::size_t i = 1; i < t; ++i) s[i] = s[i - 1] + kQ32;
  std::uint32_t a = 0, bb = 0;
  std::size_t i = 0, j = 0;
  const std::size_t passes = 3 * (t > c ? t : c);
  for (std::size_t n = 0; n < passes; ++n) {
    a = s[i] = Rotl32(s[i] + a + bb, 3);
    bb = l[j] = Rotl32(l[j] + a + bb, a + bb);
    i = (i + 1) % t;
    j = (j + 1) % c;
  }
  WipeBytes(l, sizeof l);
}

void Rc5::ScheduleKey(const void* key, std::uint32_t bits) { Rc5ExpandKey(key, bits, s_, 2 * (kRounds + 1)); }

void Rc5::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = LoadLe32(p), b = LoadLe32(p + 4);
  EncryptWords(s_, a, b);
  StoreWords(out, a, b);
}

void Rc5::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t a = LoadLe32(p);
  std::uint32_t b = LoadLe32(p + 4);
#pragma GCC unroll 12
  for (int i = kRounds; i >= 1; --i) {
    b = Rotr32(b - s_[2 * i + 1], a) ^ a;
    a = Rotr32(a - s_[2 * i], b) ^ b;
  }
  StoreWords(out, a - s_[0], b - s_[1]);
}

void Rc5::Cfb8Encrypt(const void* in, void* out, std::uint32_t n) {
  auto first_byte = [this](const std::uint32_t* w) { return FirstByte(s_, w); };
  Cfb8<false>(in, out, n, first_byte);
}

void Rc5::Cfb8Decrypt(const void* in, void* out, std::uint32_t n) {
  auto wide = [this](std::uint8_t* cv, const std::uint8_t* x, std::uint8_t* y, std::uint32_t count) -> std::uint32_t {
#ifdef CRYPTO_X86
    if (g_avx2.On()) return Cfb8DecryptAvx2(s_, cv, x, y, count);
#else
    (void)cv, (void)x, (void)y, (void)count;
#endif
    return 0;
  };
  auto first_byte = [this](const std::uint32_t* w) { return FirstByte(s_, w); };
  auto four = [this](const std::uint32_t (&w)[2][4], std::uint8_t* t) { FirstBytesOfFour(s_, w, t); };
  Cfb8DecryptSideBySide(in, out, n, wide, four, first_byte);
}

void Rc5::WipeKey() {
  WipeBytes(s_, sizeof s_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

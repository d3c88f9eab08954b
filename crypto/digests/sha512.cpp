#include "crypto/digests/sha512.h"

#include <atomic>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "crypto/cpu_features.h"
#include "crypto/digests/known_digest.h"

namespace crypto {
namespace {

// The FIPS 180-2 two-block message of 896 bits.
constexpr char kTwoBlocks[] =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
    "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";

bool SelfTest384() {
  static const KnownDigest kVectors[] = {
      {"", 1, "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b"},
      {"abc", 1, "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
      {kTwoBlocks, 1,
       "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039"},
      {"a", 1000000,
       "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985"},
  };
  return RunKnownDigests<Sha384>(kVectors);
}

bool SelfTest512() {
  static const KnownDigest kVectors[] = {
      {"", 1,
       "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
       "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
      {"abc", 1,
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
      {kTwoBlocks, 1,
       "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
       "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
      {"a", 1000000,
       "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
       "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
  };
  return RunKnownDigests<Sha512>(kVectors);
}

alignas(16) constexpr std::uint64_t kK[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc, 0x3956c25bf348b538,
    0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235,
    0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5, 0x983e5152ee66dfab,
    0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed,
    0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30, 0xd192e819d6ef5218,
    0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373,
    0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b, 0xca273eceea26619c,
    0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc,
    0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

constexpr std::uint64_t kInitial384[8] = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17,
                                          0x152fecd8f70e5939, 0x67332667ffc00b31, 0x8eb44a8768581511,
                                          0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
constexpr std::uint64_t kInitial512[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                          0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                          0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};

// One step; s[(8 - i) & 7] is a at step i: the eight words rotate through the
// array instead of moving. wk is the schedule word plus the round constant.
__attribute__((always_inline)) inline void Step(std::uint64_t* s, std::uint64_t& b_xor_c, int i, std::uint64_t wk) {
  const std::uint64_t a = s[(8 - i) & 7], b = s[(9 - i) & 7];
  std::uint64_t& d = s[(11 - i) & 7];
  const std::uint64_t e = s[(12 - i) & 7], f = s[(13 - i) & 7], g = s[(14 - i) & 7];
  std::uint64_t& h = s[(15 - i) & 7];
  const std::uint64_t t1 = h + (Rotr64(e, 14) ^ Rotr64(e, 18) ^ Rotr64(e, 41)) + (g ^ (e & (f ^ g))) + wk;
  // Maj(a, b, c) = b ^ ((a ^ b) & (b ^ c)); this step's a ^ b is the next one's b ^ c.
  const std::uint64_t a_xor_b = a ^ b;
  const std::uint64_t t2 = (Rotr64(a, 28) ^ Rotr64(a, 34) ^ Rotr64(a, 39)) + (b ^ (a_xor_b & b_xor_c));
  b_xor_c = a_xor_b;
  d += t1;
  h = t1 + t2;  // becomes a of the next step
}

#if defined(__x86_64__)
// x86-64 always has SSE2: the schedule runs two words at a time on the vector
// units, four steps ahead of its use, while the steps keep the integer units
// busy. With the schedule on the integer units too they are the bottleneck.
inline __m128i HighLow(__m128i a, __m128i b) {  // (high word of a, low word of b)
  return _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(a), _mm_castsi128_pd(b), 1));
}
inline __m128i SmallSigma0(__m128i x) {
  return _mm_xor_si128(_mm_xor_si128(_mm_xor_si128(_mm_srli_epi64(x, 1), _mm_slli_epi64(x, 63)),
                                     _mm_xor_si128(_mm_srli_epi64(x, 8), _mm_slli_epi64(x, 56))),
                       _mm_srli_epi64(x, 7));
}
inline __m128i SmallSigma1(__m128i x) {
  return _mm_xor_si128(_mm_xor_si128(_mm_xor_si128(_mm_srli_epi64(x, 19), _mm_slli_epi64(x, 45)),
                                     _mm_xor_si128(_mm_srli_epi64(x, 61), _mm_slli_epi64(x, 3))),
                       _mm_srli_epi64(x, 6));
}

__attribute__((always_inline)) inline void CompressBlocks(std::uint64_t* h, const std::uint8_t* p, std::size_t count) {
  const __m128i* k = reinterpret_cast<const __m128i*>(kK);
  for (; count > 0; --count, p += 128) {
    alignas(16) std::uint64_t wk[80];
    __m128i v[8];  // v[j % 8]: schedule words 2j and 2j + 1
    for (int j = 0; j < 8; ++j) {
      v[j] = _mm_set_epi64x(static_cast<long long>(LoadBe64(p + 16 * j + 8)),
                            static_cast<long long>(LoadBe64(p + 16 * j)));
      _mm_store_si128(reinterpret_cast<__m128i*>(wk + 2 * j), _mm_add_epi64(v[j], _mm_load_si128(k + j)));
    }
    std::uint64_t s[8];
    for (int i = 0; i < 8; ++i) s[i] = h[i];
    std::uint64_t b_xor_c = s[1] ^ s[2];
#pragma GCC unroll 80
    for (int i = 0; i < 80; ++i) {
      if (i % 2 == 0 && i >= 12 && i < 76) {
        const int j = (i + 4) / 2;  // words i + 4 and i + 5
        const __m128i w =
            _mm_add_epi64(_mm_add_epi64(v[(j - 8) % 8], SmallSigma0(HighLow(v[(j - 8) % 8], v[(j - 7) % 8]))),
                          _mm_add_epi64(HighLow(v[(j - 4) % 8], v[(j - 3) % 8]), SmallSigma1(v[(j - 1) % 8])));
        v[j % 8] = w;
        _mm_store_si128(reinterpret_cast<__m128i*>(wk + 2 * j), _mm_add_epi64(w, _mm_load_si128(k + j)));
      }
      Step(s, b_xor_c, i, wk[i]);
    }
    for (int i = 0; i < 8; ++i) h[i] += s[i];
  }
}

// The same code with BMI2's rotations, which leave their source intact and so
// save a move in most steps.
__attribute__((target("bmi2"))) void CompressBmi2(std::uint64_t* h, const std::uint8_t* p, std::size_t count) {
  CompressBlocks(h, p, count);
}
const bool g_has_bmi2 = CpuHasBmi2();
std::atomic<bool> g_use_vector_schedule{true};
#endif

// The schedule on the integer units, one word per step: every processor.
void CompressPortable(std::uint64_t* h, const std::uint8_t* p, std::size_t count) {
  for (; count > 0; --count, p += 128) {
    std::uint64_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBe64(p + 8 * i);
    std::uint64_t s[8];
    for (int i = 0; i < 8; ++i) s[i] = h[i];
    std::uint64_t b_xor_c = s[1] ^ s[2];
    // Sixteen steps at a time, so that every array index is a constant.
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) Step(s, b_xor_c, i, w[i] + kK[i]);
    for (int r = 16; r < 80; r += 16) {
#pragma GCC unroll 16
      for (int i = 0; i < 16; ++i) {
        const std::uint64_t w15 = w[(i + 1) & 15], w2 = w[(i + 14) & 15];
        w[i] += (Rotr64(w15, 1) ^ Rotr64(w15, 8) ^ (w15 >> 7)) + w[(i + 9) & 15] +
                (Rotr64(w2, 19) ^ Rotr64(w2, 61) ^ (w2 >> 6));
        Step(s, b_xor_c, i, w[i] + kK[r + i]);
      }
    }
    for (int i = 0; i < 8; ++i) h[i] += s[i];
  }
}

}  // namespace

bool Sha512UseVectorSchedule(bool enabled) {
#if defined(__x86_64__)
  g_use_vector_schedule.store(enabled);
  return true;
#else
  (void)enabled;
  return false;
#endif
}

const HashClass Sha384::kClass = {45, "SHA384", 384, &SelfTest384, &CreateHash<Sha384>};
const HashClass Sha512::kClass = {46, "SHA512", 512, &SelfTest512, &CreateHash<Sha512>};

const std::uint64_t* Sha384::InitialState() const { return kInitial384; }
const std::uint64_t* Sha512::InitialState() const { return kInitial512; }

void Sha512Base::StartDigest() { Start(InitialState()); }

void Sha512Base::Compress(const std::uint8_t* p, std::size_t count) {
#if defined(__x86_64__)
  if (g_use_vector_schedule.load(std::memory_order_relaxed)) {
    if (g_has_bmi2) return CompressBmi2(h_, p, count);
    return CompressBlocks(h_, p, count);
  }
#endif
  CompressPortable(h_, p, count);
}

void Sha512Base::FinishDigest(std::uint8_t* digest) {
  CheckStarted();
  const std::uint64_t total = buffer_.total;
  buffer_.Pad(0x80, 112, Compressor());
  // The length field is 128 bits: bytes times 8.
  StoreBe64(buffer_.bytes + 112, total >> 61);
  StoreBe64(buffer_.bytes + 120, total << 3);
  CompressBuffer();
  std::uint8_t out[64];
  StoreState<ByteOrder::kBig>(out);
  std::memcpy(digest, out, static_cast<std::size_t>(DigestBits()) / 8);
  WipeBytes(out, sizeof out);
  WipeDigestState();
}

}  // namespace crypto

#include "crypto/digests/sha1.h"

#include <cstring>

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

}  // namespace

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

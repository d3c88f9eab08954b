// What the table-driven runner cannot see: the published HAVAL (padding byte
// 0x01) that this library's HAVAL shares all but one byte with, an
// independent HAVAL that gives the vector lines of both, and the
// portable compressions of SHA-256 and SHA-384/512 (the only ones of the
// 32-bit build) beside the faster ones this processor runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crypto/digests/haval.h"
#include "crypto/digests/sha256.h"
#include "crypto/digests/sha512.h"
#include "tests/support/hex.h"
#include "tests/support/vectors.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::RandomBytes;
using testing_support::ToHex;

// An independent HAVAL-256/5, written from the HAVAL paper: the functions in
// their algebraic normal form, the register moved along one word per step,
// the constants computed from pi, the padding appended to a copy of the
// message. The first padding byte is the parameter (0x01 published, 0x80 this
// library's).
using W = std::uint32_t;

// A fixed-point number: word 0 the integer part, then 32-bit fraction words,
// most significant first.
using Fixed = std::vector<W>;

void DivideBy(Fixed& a, W d) {
  std::uint64_t r = 0;
  for (W& w : a) {
    const std::uint64_t cur = r << 32 | w;
    w = static_cast<W>(cur / d);
    r = cur % d;
  }
}

void AddTo(Fixed& a, const Fixed& b, bool subtract) {
  std::int64_t carry = 0;
  for (std::size_t i = a.size(); i-- > 0;) {
    const std::int64_t v = std::int64_t{a[i]} + (subtract ? -std::int64_t{b[i]} : std::int64_t{b[i]}) + carry;
    carry = v < 0 ? -1 : v >> 32;
    a[i] = static_cast<W>(v);
  }
}

bool IsZero(const Fixed& a) {
  return std::all_of(a.begin(), a.end(), [](W w) { return w == 0; });
}

// sum +/-= k * arctan(1/x), the series of (-1)^i / ((2i + 1) x^(2i + 1)).
void AddArctan(Fixed& sum, W k, W x, bool subtract) {
  Fixed power(sum.size());
  power[0] = k;
  DivideBy(power, x);
  for (W i = 0; !IsZero(power); ++i) {
    Fixed term = power;
    DivideBy(term, 2 * i + 1);
    AddTo(sum, term, subtract != (i % 2 == 1));
    DivideBy(power, x * x);
  }
}

// The first n 32-bit words of pi's fraction: pi = 16 atan(1/5) - 4 atan(1/239),
// with two guard words.
std::vector<W> PiFraction(std::size_t n) {
  Fixed pi(1 + n + 2);
  AddArctan(pi, 16, 5, false);
  AddArctan(pi, 4, 239, true);
  return std::vector<W>(pi.begin() + 1, pi.begin() + 1 + static_cast<std::ptrdiff_t>(n));
}

W F1(W x6, W x5, W x4, W x3, W x2, W x1, W x0) { return (x1 & x4) ^ (x2 & x5) ^ (x3 & x6) ^ (x0 & x1) ^ x0; }
W F2(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  return (x1 & x2 & x3) ^ (x2 & x4 & x5) ^ (x1 & x2) ^ (x1 & x4) ^ (x2 & x6) ^ (x3 & x5) ^ (x4 & x5) ^ (x0 & x2) ^ x0;
}
W F3(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  return (x1 & x2 & x3) ^ (x1 & x4) ^ (x2 & x5) ^ (x3 & x6) ^ (x0 & x3) ^ x0;
}
W F4(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  return (x1 & x2 & x3) ^ (x2 & x4 & x5) ^ (x3 & x4 & x6) ^ (x1 & x4) ^ (x2 & x6) ^ (x3 & x4) ^ (x3 & x5) ^
         (x3 & x6) ^ (x4 & x5) ^ (x4 & x6) ^ (x0 & x4) ^ x0;
}
W F5(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  return (x1 & x4) ^ (x2 & x5) ^ (x3 & x6) ^ (x0 & x1 & x2 & x3) ^ (x0 & x5) ^ x0;
}

// Pass p's function of x6 .. x0 (x[6] .. x[0]) through the permutation phi(p, 5).
W PassFunction(int p, const W* x) {
  switch (p) {
    case 0:
      return F1(x[3], x[4], x[1], x[0], x[5], x[2], x[6]);
    case 1:
      return F2(x[6], x[2], x[1], x[0], x[3], x[4], x[5]);
    case 2:
      return F3(x[2], x[6], x[0], x[4], x[3], x[1], x[5]);
    case 3:
      return F4(x[1], x[5], x[3], x[2], x[0], x[4], x[6]);
    default:
      return F5(x[2], x[5], x[0], x[6], x[4], x[3], x[1]);
  }
}

// The order of the message words in passes 2 to 5 (pass 1 takes them in order).
const int kWordOrder[4][32] = {
    {5, 14, 26, 18, 11, 28, 7, 16, 0, 23, 20, 22, 1, 10, 4, 8, 30, 3, 21, 9, 17, 24, 29, 6, 19, 12, 15, 13, 2, 25, 31, 27},
    {19, 9, 4, 20, 28, 17, 8, 22, 29, 14, 25, 12, 24, 30, 16, 26, 31, 15, 7, 3, 1, 0, 18, 27, 13, 6, 21, 10, 23, 11, 5, 2},
    {24, 4, 0, 14, 2, 7, 28, 23, 26, 6, 30, 20, 18, 25, 19, 3, 22, 11, 31, 21, 8, 27, 12, 9, 1, 29, 5, 15, 17, 10, 16, 13},
    {27, 3, 21, 26, 17, 11, 20, 29, 19, 0, 12, 7, 13, 8, 31, 10, 5, 9, 14, 30, 18, 6, 28, 24, 2, 23, 16, 22, 4, 1, 25, 15},
};

W Rotr(W v, int n) { return v >> n | v << (32 - n); }

Bytes ModelHaval256(const Bytes& message, std::uint8_t first_pad) {
  // Words 0-7 the initial state, 8-135 the constants of passes 2 to 5.
  static const std::vector<W> pi = PiFraction(136);
  // The padding byte, zeros up to position 118 of a block, 0x29 (version 1,
  // 5 passes), 0x40 (256 / 4), the length in bits as 8 bytes little-endian.
  Bytes m = message;
  m.push_back(first_pad);
  while (m.size() % 128 != 118) m.push_back(0);
  m.push_back(0x29);
  m.push_back(0x40);
  const std::uint64_t bits = 8 * static_cast<std::uint64_t>(message.size());
  for (int i = 0; i < 8; ++i) m.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));

  W h[8];
  std::copy(pi.begin(), pi.begin() + 8, h);
  for (std::size_t at = 0; at < m.size(); at += 128) {
    W w[32];
    for (int i = 0; i < 32; ++i) {
      const std::uint8_t* b = &m[at + 4 * static_cast<std::size_t>(i)];
      w[i] = W{b[0]} | W{b[1]} << 8 | W{b[2]} << 16 | W{b[3]} << 24;
    }
    // x[i] is x_i. Each step computes a new x7; then x7 .. x1 take the old
    // x6 .. x0 and the new word becomes x0.
    W x[8];
    std::copy(h, h + 8, x);
    for (int p = 0; p < 5; ++p) {
      for (int j = 0; j < 32; ++j) {
        const W word = p == 0 ? w[j] : w[kWordOrder[p - 1][j]];
        const W k = p == 0 ? 0 : pi[static_cast<std::size_t>(8 + 32 * (p - 1) + j)];
        const W r = Rotr(PassFunction(p, x), 7) + Rotr(x[7], 11) + word + k;
        std::copy_backward(x, x + 7, x + 8);
        x[0] = r;
      }
    }
    for (int i = 0; i < 8; ++i) h[i] += x[i];
  }
  Bytes digest;
  for (W v : h)
    for (int i = 0; i < 4; ++i) digest.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return digest;
}

TEST(DigestVariants, PublishedHavalLines) {
  const auto records = testing_support::ReadVectorFile(std::string(VECTORS_DIR) + "/digests.txt");
  int checked = 0;
  for (const auto& r : records) {
    if (r.GetOr("digest", "") != "HAVAL-256/5") continue;
    SCOPED_TRACE(r.Describe());
    const Bytes unit = r.Bytes("msghex");
    Bytes m;
    for (unsigned long i = 0, n = std::stoul(r.GetOr("repeat", "1")); i < n; ++i)
      m.insert(m.end(), unit.begin(), unit.end());
    std::uint8_t out[32];
    crypto::PublishedHaval256(m.data(), static_cast<std::uint32_t>(m.size()), out);
    EXPECT_EQ(ToHex(out, 32), ToHex(r.Bytes("hash")));
    ++checked;
  }
  EXPECT_EQ(checked, 8);
}

TEST(DigestVariants, AnIndependentHavalGivesEveryLine) {
  // The published lines (padding byte 0x01) and this library's (0x80), the
  // latter with the lengths around position 118, where the padding byte no
  // longer fits the block and a further block follows.
  const auto records = testing_support::ReadVectorFile(std::string(VECTORS_DIR) + "/digests.txt");
  std::vector<std::size_t> pad80_lengths;
  int checked = 0;
  for (const auto& r : records) {
    const std::string name = r.GetOr("digest", "");
    if (name != "HAVAL-256/5" && name != "HAVAL-256/5-pad80") continue;
    SCOPED_TRACE(r.Describe());
    const Bytes unit = r.Bytes("msghex");
    Bytes m;
    for (unsigned long i = 0, n = std::stoul(r.GetOr("repeat", "1")); i < n; ++i)
      m.insert(m.end(), unit.begin(), unit.end());
    const bool pad80 = name == "HAVAL-256/5-pad80";
    EXPECT_EQ(ToHex(ModelHaval256(m, pad80 ? 0x80 : 0x01)), ToHex(r.Bytes("hash")));
    if (pad80) pad80_lengths.push_back(m.size());
    ++checked;
  }
  EXPECT_EQ(checked, 17);
  for (std::size_t n : {117u, 118u, 119u, 127u, 128u, 246u})
    EXPECT_NE(std::find(pad80_lengths.begin(), pad80_lengths.end(), n), pad80_lengths.end()) << n;
}

TEST(DigestVariants, HavalPaddingByteIsTheOnlyDifference) {
  // Same message: the library's digest differs from the published one.
  const Bytes m = RandomBytes(50, 2);
  std::uint8_t published[32], ours[32];
  crypto::PublishedHaval256(m.data(), 50, published);
  crypto::Haval h;
  h.StartDigest();
  h.AddBytes(m.data(), 50);
  h.FinishDigest(ours);
  EXPECT_NE(ToHex(published, 32), ToHex(ours, 32));
}

std::string Sha256Of(const Bytes& data) {
  crypto::Sha256 h;
  h.StartDigest();
  h.AddBytes(data.data(), static_cast<std::uint32_t>(data.size()));
  std::uint8_t d[32];
  h.FinishDigest(d);
  return ToHex(d, 32);
}

TEST(DigestVariants, Sha256PortableAndExtensionsAgree) {
  const bool available = crypto::Sha256UseShaExtensions(false);
  EXPECT_TRUE(crypto::Sha256::kClass.run_self_test()) << "portable";
  std::vector<std::string> portable;
  for (std::size_t n = 0; n <= 1000; n += 13)
    portable.push_back(Sha256Of(RandomBytes(n, static_cast<std::uint32_t>(5 + n))));
  crypto::Sha256UseShaExtensions(true);
  if (!available) GTEST_SKIP() << "no SHA extensions on this processor";
  EXPECT_TRUE(crypto::Sha256::kClass.run_self_test()) << "extensions";
  std::size_t i = 0;
  for (std::size_t n = 0; n <= 1000; n += 13, ++i)
    EXPECT_EQ(Sha256Of(RandomBytes(n, static_cast<std::uint32_t>(5 + n))), portable[i]) << n;
}

template <class H>
std::string DigestOf(const Bytes& data) {
  H h;
  h.StartDigest();
  h.AddBytes(data.data(), static_cast<std::uint32_t>(data.size()));
  std::uint8_t d[64];
  h.FinishDigest(d);
  return ToHex(d, static_cast<std::size_t>(H::kClass.digest_bits) / 8);
}

TEST(DigestVariants, Sha512PortableAndVectorScheduleAgree) {
  const bool available = crypto::Sha512UseVectorSchedule(false);
  EXPECT_TRUE(crypto::Sha384::kClass.run_self_test()) << "portable";
  EXPECT_TRUE(crypto::Sha512::kClass.run_self_test()) << "portable";
  std::vector<std::string> portable;
  for (std::size_t n = 0; n <= 1000; n += 13) {
    const Bytes m = RandomBytes(n, static_cast<std::uint32_t>(50 + n));
    portable.push_back(DigestOf<crypto::Sha384>(m) + DigestOf<crypto::Sha512>(m));
  }
  crypto::Sha512UseVectorSchedule(true);
  if (!available) GTEST_SKIP() << "no vector schedule in this build";
  std::size_t i = 0;
  for (std::size_t n = 0; n <= 1000; n += 13, ++i) {
    const Bytes m = RandomBytes(n, static_cast<std::uint32_t>(50 + n));
    EXPECT_EQ(DigestOf<crypto::Sha384>(m) + DigestOf<crypto::Sha512>(m), portable[i]) << n;
  }
}

}  // namespace

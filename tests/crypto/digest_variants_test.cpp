// What the table-driven runner cannot see: the published HAVAL (padding byte
// 0x01) that this library's HAVAL shares all but one byte with, and the
// portable compressions of SHA-256 and SHA-384/512 (the only ones of the
// 32-bit build) beside the faster ones this processor runs.
#include <gtest/gtest.h>

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

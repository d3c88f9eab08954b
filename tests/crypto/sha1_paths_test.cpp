// SHA-1 has a portable compression and one on the processor's SHA extensions;
// both must give the same digests (the vector runner sees only the one in use).
#include <gtest/gtest.h>

#include "crypto/digests/sha1.h"
#include "tests/support/hex.h"

namespace {

std::string Digest(const std::vector<std::uint8_t>& data) {
  crypto::Sha1 h;
  h.StartDigest();
  h.AddBytes(data.data(), static_cast<std::uint32_t>(data.size()));
  std::uint8_t d[20];
  h.FinishDigest(d);
  return testing_support::ToHex(d, 20);
}

TEST(Sha1Paths, PortableAndExtensionsAgree) {
  const bool available = crypto::Sha1UseShaExtensions(false);
  EXPECT_TRUE(crypto::Sha1::kClass.run_self_test()) << "portable";
  std::vector<std::string> portable;
  for (std::size_t n = 0; n <= 300; n += 7) portable.push_back(Digest(testing_support::RandomBytes(n, 77 + n)));
  crypto::Sha1UseShaExtensions(true);
  if (!available) GTEST_SKIP() << "no SHA extensions on this processor";
  EXPECT_TRUE(crypto::Sha1::kClass.run_self_test()) << "extensions";
  std::size_t i = 0;
  for (std::size_t n = 0; n <= 300; n += 7, ++i)
    EXPECT_EQ(Digest(testing_support::RandomBytes(n, 77 + n)), portable[i]) << n;
}

}  // namespace

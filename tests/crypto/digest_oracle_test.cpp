// Cross-checks of the digests against OpenSSL (test oracle only).
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "crypto/digests/sha1.h"
#include "tests/support/hex.h"

namespace {

using testing_support::RandomBytes;
using testing_support::ToHex;
using Bytes = std::vector<std::uint8_t>;

Bytes OpenSslSha1(const Bytes& m) {
  Bytes out(EVP_MAX_MD_SIZE);
  unsigned int n = 0;
  EXPECT_EQ(EVP_Digest(m.data(), m.size(), out.data(), &n, EVP_sha1(), nullptr), 1);
  out.resize(n);
  return out;
}

// Fed in pieces of `chunk` bytes (the whole message when chunk is 0).
Bytes OurSha1(const Bytes& m, std::size_t chunk) {
  crypto::Sha1 h;
  h.StartDigest();
  if (chunk == 0) chunk = m.size();
  for (std::size_t i = 0; i < m.size(); i += chunk)
    h.AddBytes(m.data() + i, static_cast<std::uint32_t>(std::min(chunk, m.size() - i)));
  Bytes out(20);
  h.FinishDigest(out.data());
  return out;
}

TEST(DigestOracle, Sha1AgreesWithOpenSslOnShortInputs) {
  for (std::size_t n = 0; n <= 300; ++n) {
    const Bytes m = RandomBytes(n, static_cast<std::uint32_t>(7000 + n));
    EXPECT_EQ(ToHex(OurSha1(m, 0)), ToHex(OpenSslSha1(m))) << "length " << n << " message " << ToHex(m);
  }
}

TEST(DigestOracle, Sha1AgreesWithOpenSslOnThreeMebibytes) {
  const Bytes m = RandomBytes(3u << 20, 3);
  const std::string expected = ToHex(OpenSslSha1(m));
  EXPECT_EQ(ToHex(OurSha1(m, 0)), expected) << "one call";
  EXPECT_EQ(ToHex(OurSha1(m, 8192)), expected) << "8192-byte pieces";
  EXPECT_EQ(ToHex(OurSha1(m, 8191)), expected) << "8191-byte pieces";
}

}  // namespace

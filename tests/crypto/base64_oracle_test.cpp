// Cross-check against OpenSSL's base64 (test oracle only).
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include "crypto/base64.h"
#include "tests/support/hex.h"

namespace {

TEST(Base64Oracle, EncodingEqualsOpenSsl) {
  for (std::size_t n = 0; n <= 300; ++n) {
    const auto data = testing_support::RandomBytes(n, static_cast<std::uint32_t>(1000 + n));
    std::string expected(4 * ((n + 2) / 3) + 1, '\0');
    const int len = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(expected.data()), data.data(),
                                    static_cast<int>(n));
    expected.resize(static_cast<std::size_t>(len));
    EXPECT_EQ(crypto::Base64EncodeText(data), expected) << n;
  }
}

}  // namespace

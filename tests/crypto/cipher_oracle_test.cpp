// Cross-checks of the block ciphers against Crypto++ and OpenSSL (test oracles
// only) on random keys and blocks.
#include <cryptopp/rc5.h>
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "crypto/ciphers/rc5.h"
#include "crypto/ciphers/rijndael.h"
#include "tests/support/hex.h"

namespace {

using testing_support::RandomBytes;
using testing_support::ToHex;
using Bytes = std::vector<std::uint8_t>;

constexpr int kTrials = 300;

template <class C>
void Key(C& c, const Bytes& key, std::size_t bytes) {
  c.SetKey(key.data(), static_cast<std::uint32_t>(8 * bytes), nullptr);
}

TEST(CipherOracle, Rc5AgreesWithCryptoPp) {
  // The library's key size (20 bytes, from SHA-1) on every trial, then every
  // length Crypto++ accepts.
  for (int t = 0; t < kTrials + 255; ++t) {
    const std::size_t key_bytes = t < kTrials ? 20 : static_cast<std::size_t>(t - kTrials + 1);
    const Bytes key = RandomBytes(key_bytes, static_cast<std::uint32_t>(t));
    const Bytes pt = RandomBytes(8, static_cast<std::uint32_t>(100000 + t));
    SCOPED_TRACE("key " + ToHex(key) + " pt " + ToHex(pt));
    crypto::Rc5 ours;
    Key(ours, key, key_bytes);
    Bytes got(8), expected(8), back(8);
    ours.EncryptBlock(pt.data(), got.data());
    CryptoPP::RC5::Encryption enc(key.data(), key.size(), crypto::Rc5::kRounds);
    enc.ProcessBlock(pt.data(), expected.data());
    ASSERT_EQ(ToHex(got), ToHex(expected));
    CryptoPP::RC5::Decryption dec(key.data(), key.size(), crypto::Rc5::kRounds);
    dec.ProcessBlock(pt.data(), expected.data());
    ours.DecryptBlock(pt.data(), back.data());
    ASSERT_EQ(ToHex(back), ToHex(expected)) << "decryption of a random block";
  }
}

struct EvpCtxDeleter {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

// One ECB block through OpenSSL.
Bytes OpenSslAes(const Bytes& key, const Bytes& in, bool encrypt) {
  const EVP_CIPHER* type = key.size() == 16 ? EVP_aes_128_ecb() : key.size() == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
  std::unique_ptr<EVP_CIPHER_CTX, EvpCtxDeleter> ctx(EVP_CIPHER_CTX_new());
  Bytes out(in.size() + 16);
  int n = 0, m = 0;
  const bool ok = EVP_CipherInit_ex(ctx.get(), type, nullptr, key.data(), nullptr, encrypt ? 1 : 0) == 1 &&
                  EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
                  EVP_CipherUpdate(ctx.get(), out.data(), &n, in.data(), static_cast<int>(in.size())) == 1 &&
                  EVP_CipherFinal_ex(ctx.get(), out.data() + n, &m) == 1;
  EXPECT_TRUE(ok) << "OpenSSL AES failed";
  out.resize(static_cast<std::size_t>(n + m));
  return out;
}

TEST(CipherOracle, RijndaelAgreesWithOpenSsl) {
  struct Case {
    std::size_t key_bytes;   // given to Rijndael
    std::size_t aes_bytes;   // the same bytes zero-padded, given to OpenSSL
  };
  static const Case kCases[] = {{20, 24}, {16, 16}, {24, 24}, {32, 32}};
  for (const auto& c : kCases) {
    for (int t = 0; t < kTrials; ++t) {
      const auto seed = static_cast<std::uint32_t>(1000 * c.key_bytes + t);
      const Bytes key = RandomBytes(c.key_bytes, seed);
      const Bytes pt = RandomBytes(16, seed + 500000);
      Bytes aes_key = key;
      aes_key.resize(c.aes_bytes, 0);
      SCOPED_TRACE("key " + ToHex(key) + " pt " + ToHex(pt));
      crypto::Rijndael ours;
      Key(ours, key, key.size());
      Bytes got(16), back(16);
      ours.EncryptBlock(pt.data(), got.data());
      ASSERT_EQ(ToHex(got), ToHex(OpenSslAes(aes_key, pt, true)));
      ours.DecryptBlock(pt.data(), back.data());
      ASSERT_EQ(ToHex(back), ToHex(OpenSslAes(aes_key, pt, false))) << "decryption of a random block";
    }
  }
}

}  // namespace

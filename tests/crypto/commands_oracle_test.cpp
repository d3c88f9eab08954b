// encodebin/decodebin against a composition built here from oracle pieces:
// SHA-1 of the key text, the block cipher from another library, IV = E(zero
// block), 8-bit CFB written out by hand, then base64.
#include <cryptopp/rc5.h>
#include <cryptopp/sha.h>
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "crypto/base64.h"
#include "crypto/library.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

using crypto::Bytes;
using testing_support::BytesArg;
using testing_support::IntArg;
using testing_support::MakeHostByteArray;
using testing_support::RandomBytes;
using testing_support::TestHost;
using testing_support::TextArg;

namespace {

using BlockFn = std::function<void(const std::uint8_t*, std::uint8_t*)>;

std::string OracleBase64(const Bytes& b) {
  std::string out(4 * ((b.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), b.data(), static_cast<int>(b.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

Bytes OracleSha1(const std::string& text) {
  Bytes d(20);
  CryptoPP::SHA1().CalculateDigest(d.data(), reinterpret_cast<const CryptoPP::byte*>(text.data()), text.size());
  return d;
}

Bytes Cfb8(const BlockFn& e, std::size_t b, const Bytes& in, bool decrypt) {
  Bytes cv(b, 0), t(b), out(in.size());
  e(cv.data(), cv.data());
  for (std::size_t i = 0; i < in.size(); ++i) {
    e(cv.data(), t.data());
    out[i] = in[i] ^ t[0];
    std::memmove(cv.data(), cv.data() + 1, b - 1);
    cv[b - 1] = decrypt ? in[i] : out[i];
  }
  return out;
}

BlockFn Rc5Oracle(const Bytes& key) {
  auto enc = std::make_shared<CryptoPP::RC5::Encryption>(key.data(), key.size(), 12);
  return [enc](const std::uint8_t* in, std::uint8_t* out) { enc->ProcessBlock(in, out); };
}

BlockFn Aes192Oracle(const Bytes& key20) {
  Bytes key = key20;
  key.resize(24, 0);
  std::shared_ptr<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  EVP_EncryptInit_ex(ctx.get(), EVP_aes_192_ecb(), nullptr, key.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  return [ctx](const std::uint8_t* in, std::uint8_t* out) {
    int len = 0;
    EVP_EncryptUpdate(ctx.get(), out, &len, in, 16);
  };
}

std::string Encode(const Bytes& data, const std::string& key, int algorithm) {
  const auto block = MakeHostByteArray(data);
  std::vector<CommandArg> args = {BytesArg(block), TextArg(key.c_str()), IntArg(algorithm)};
  CommandResult r{};
  crypto::encodebin(&r, 3, args.data());
  const char* t = testing_support::ResultText(r);
  return t == nullptr ? std::string() : t;
}

Bytes Decode(const std::string& text, const std::string& key, int algorithm) {
  std::vector<CommandArg> args = {TextArg(text.c_str()), TextArg(key.c_str()), IntArg(algorithm)};
  CommandResult r{};
  crypto::decodebin(&r, 3, args.data());
  return testing_support::ResultBytes(r);
}

TEST(CommandsOracle, EncodebinEqualsIndependentComposition) {
  TestHost host;
  struct Algorithm {
    int number;
    std::size_t block;
    std::function<BlockFn(const Bytes&)> make;
  };
  const Algorithm algorithms[] = {{14, 8, Rc5Oracle}, {16, 16, Aes192Oracle}};
  for (const auto& a : algorithms) {
    for (int trial = 0; trial < 40; ++trial) {
      const auto key_bytes = RandomBytes(static_cast<std::size_t>(trial % 23), 100 + trial);
      const std::string key = trial == 0 ? std::string() : std::string(key_bytes.begin(), key_bytes.end());
      if (key.find('\0') != std::string::npos) continue;
      const Bytes data = RandomBytes(1 + static_cast<std::size_t>(trial) * 37, 200 + trial);
      const BlockFn e = a.make(OracleSha1(key));
      const Bytes cipher = Cfb8(e, a.block, data, false);
      const std::string expected = OracleBase64(cipher);
      ASSERT_EQ(Encode(data, key, a.number), expected) << a.number << " trial " << trial;
      EXPECT_EQ(Decode(expected, key, a.number), data);
      EXPECT_EQ(Cfb8(e, a.block, cipher, true), data);
    }
  }
}

}  // namespace

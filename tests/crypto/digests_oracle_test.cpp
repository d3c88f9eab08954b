// Cross-checks of the digests 21 to 30 against Crypto++, Botan and OpenSSL
// (test oracles only) on random inputs. HAVAL with this library's 0x80 padding
// has no oracle: the vector lines and its self-test values pin it.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <botan/hash.h>
#include <cryptopp/md4.h>
#include <cryptopp/md5.h>
#include <cryptopp/ripemd.h>
#include <cryptopp/sha.h>
#include <cryptopp/tiger.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crypto/digests/table.h"
#include "crypto/hash.h"
#include "tests/support/hex.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::RandomBytes;
using testing_support::ToHex;
using Oracle = std::function<Bytes(const Bytes&)>;

template <class H>
Oracle CryptoPp() {
  return [](const Bytes& m) {
    H h;
    Bytes out(H::DIGESTSIZE);
    h.CalculateDigest(out.data(), m.data(), m.size());
    return out;
  };
}

Oracle BotanHash(const char* name) {
  return [name](const Bytes& m) {
    const auto h = Botan::HashFunction::create_or_throw(name);
    const auto out = h->process(m.data(), m.size());
    return Bytes(out.begin(), out.end());
  };
}

// MD4 lives in OpenSSL 3's legacy provider.
bool LegacyProviderLoaded() {
  static const bool loaded =
      OSSL_PROVIDER_load(nullptr, "legacy") != nullptr && OSSL_PROVIDER_load(nullptr, "default") != nullptr;
  return loaded;
}

Oracle OpenSsl(const EVP_MD* (*md)()) {
  return [md](const Bytes& m) {
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned int n = 0;
    EXPECT_EQ(EVP_Digest(m.data(), m.size(), out.data(), &n, md(), nullptr), 1);
    out.resize(n);
    return out;
  };
}

struct OracleSet {
  std::int32_t number;
  std::vector<std::pair<const char*, Oracle>> oracles;
};

std::vector<OracleSet> Oracles() {
  std::vector<OracleSet> sets = {
      {22, {{"Crypto++", CryptoPp<CryptoPP::Weak::MD4>()}, {"Botan", BotanHash("MD4")}}},
      {23,
       {{"Crypto++", CryptoPp<CryptoPP::Weak::MD5>()}, {"Botan", BotanHash("MD5")}, {"OpenSSL", OpenSsl(&EVP_md5)}}},
      {24, {{"Crypto++", CryptoPp<CryptoPP::RIPEMD128>()}}},
      {25,
       {{"Crypto++", CryptoPp<CryptoPP::RIPEMD160>()},
        {"Botan", BotanHash("RIPEMD-160")},
        {"OpenSSL", OpenSsl(&EVP_ripemd160)}}},
      {26, {{"Crypto++", CryptoPp<CryptoPP::SHA1>()}, {"OpenSSL", OpenSsl(&EVP_sha1)}}},
      {27,
       {{"Crypto++", CryptoPp<CryptoPP::SHA256>()},
        {"Botan", BotanHash("SHA-256")},
        {"OpenSSL", OpenSsl(&EVP_sha256)}}},
      {28,
       {{"Crypto++", CryptoPp<CryptoPP::SHA384>()},
        {"Botan", BotanHash("SHA-384")},
        {"OpenSSL", OpenSsl(&EVP_sha384)}}},
      {29,
       {{"Crypto++", CryptoPp<CryptoPP::SHA512>()},
        {"Botan", BotanHash("SHA-512")},
        {"OpenSSL", OpenSsl(&EVP_sha512)}}},
      {30, {{"Crypto++", CryptoPp<CryptoPP::Tiger>()}, {"Botan", BotanHash("Tiger(24,3)")}}},
  };
  if (LegacyProviderLoaded()) sets[0].oracles.push_back({"OpenSSL", OpenSsl(&EVP_md4)});
  return sets;
}

// Fed in pieces of `chunk` bytes (the whole message when chunk is 0).
Bytes Ours(std::int32_t number, const Bytes& m, std::size_t chunk) {
  std::unique_ptr<crypto::Hash> h(crypto::FindDigest(number)->create(nullptr));
  h->StartDigest();
  if (chunk == 0) chunk = std::max<std::size_t>(m.size(), 1);
  for (std::size_t i = 0; i < m.size(); i += chunk)
    h->AddBytes(m.data() + i, static_cast<std::uint32_t>(std::min(chunk, m.size() - i)));
  Bytes out(static_cast<std::size_t>(h->DigestBits()) / 8);
  h->FinishDigest(out.data());
  return out;
}

TEST(DigestsOracle, ShortInputs) {
  for (const auto& set : Oracles()) {
    for (std::size_t n = 0; n <= 300; ++n) {
      const Bytes m = RandomBytes(n, static_cast<std::uint32_t>(9000 + 7 * n + set.number));
      const std::string ours = ToHex(Ours(set.number, m, 0));
      for (const auto& [name, oracle] : set.oracles)
        EXPECT_EQ(ours, ToHex(oracle(m))) << set.number << " against " << name << ", length " << n;
    }
  }
}

TEST(DigestsOracle, ThreeMebibytes) {
  const Bytes m = RandomBytes((3u << 20) + 77, 12);
  for (const auto& set : Oracles()) {
    const std::string expected = ToHex(set.oracles.front().second(m));
    for (const auto& [name, oracle] : set.oracles) EXPECT_EQ(ToHex(oracle(m)), expected) << set.number << " " << name;
    EXPECT_EQ(ToHex(Ours(set.number, m, 0)), expected) << set.number << " one call";
    EXPECT_EQ(ToHex(Ours(set.number, m, 8191)), expected) << set.number << " 8191-byte pieces";
  }
}

TEST(DigestsOracle, EveryNumberButHavalHasOracles) {
  std::vector<std::int32_t> numbers;
  for (const auto& set : Oracles()) {
    numbers.push_back(set.number);
    EXPECT_FALSE(set.oracles.empty());
  }
  EXPECT_EQ(numbers, (std::vector<std::int32_t>{22, 23, 24, 25, 26, 27, 28, 29, 30}));
}

}  // namespace

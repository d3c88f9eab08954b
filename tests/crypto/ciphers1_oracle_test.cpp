// Blowfish, CAST-128, CAST-256, DES, triple DES and IDEA against Crypto++
// (test oracle only): random keys of the library's sizes and random blocks,
// then every key length Crypto++ accepts.
#include <cryptopp/blowfish.h>
#include <cryptopp/cast.h>
#include <cryptopp/des.h>
#include <cryptopp/idea.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypto/ciphers/blowfish.h"
#include "crypto/ciphers/cast128.h"
#include "crypto/ciphers/cast256.h"
#include "crypto/ciphers/des.h"
#include "crypto/ciphers/idea.h"
#include "crypto/ciphers/triple_des.h"
#include "tests/support/hex.h"

namespace {

using testing_support::RandomBytes;
using testing_support::ToHex;
using Bytes = std::vector<std::uint8_t>;

constexpr int kTrials = 300;

// One random block each way: our cipher keyed with `key`, Crypto++'s with
// `oracle_key` (the same key in the form Crypto++ accepts).
template <class Ours, class Oracle>
testing::AssertionResult Agree(const Bytes& key, const Bytes& oracle_key, const Bytes& pt) {
  constexpr std::size_t kBlock = Ours::kBlockBytes;
  static_assert(kBlock == Oracle::BLOCKSIZE, "same block size");
  Ours ours;
  ours.SetKey(key.data(), static_cast<std::uint32_t>(8 * key.size()), nullptr);
  typename Oracle::Encryption enc(oracle_key.data(), oracle_key.size());
  typename Oracle::Decryption dec(oracle_key.data(), oracle_key.size());
  Bytes got(kBlock), want(kBlock);
  ours.EncryptBlock(pt.data(), got.data());
  enc.ProcessBlock(pt.data(), want.data());
  if (got != want)
    return testing::AssertionFailure() << "encrypt key " << ToHex(key) << " pt " << ToHex(pt) << ": " << ToHex(got)
                                       << " != " << ToHex(want);
  ours.DecryptBlock(pt.data(), got.data());
  dec.ProcessBlock(pt.data(), want.data());
  if (got != want)
    return testing::AssertionFailure() << "decrypt key " << ToHex(key) << " ct " << ToHex(pt) << ": " << ToHex(got)
                                       << " != " << ToHex(want);
  return testing::AssertionSuccess();
}

template <class Ours, class Oracle>
testing::AssertionResult Agree(const Bytes& key, const Bytes& oracle_key, std::uint32_t seed) {
  return Agree<Ours, Oracle>(key, oracle_key, RandomBytes(Ours::kBlockBytes, seed));
}

template <class Ours, class Oracle>
void AgreeOnRandomKeys(std::size_t key_bytes, std::size_t oracle_bytes, std::uint32_t seed_base) {
  for (int t = 0; t < kTrials; ++t) {
    const auto seed = seed_base + static_cast<std::uint32_t>(t);
    const Bytes key = RandomBytes(key_bytes, seed);
    Bytes oracle_key = key;
    oracle_key.resize(oracle_bytes, 0);
    ASSERT_TRUE((Agree<Ours, Oracle>(key, oracle_key, seed + 700000)));
  }
}

Bytes Repeat(const Bytes& key, std::size_t n) {
  Bytes out;
  while (out.size() < n) out.push_back(key[out.size() % key.size()]);
  return out;
}

TEST(Ciphers1Oracle, Blowfish) {
  AgreeOnRandomKeys<crypto::Blowfish, CryptoPP::Blowfish>(20, 20, 1000);
  for (std::size_t n = 4; n <= 56; ++n) {
    SCOPED_TRACE(n);
    for (int t = 0; t < 8; ++t) {
      const Bytes key = RandomBytes(n, static_cast<std::uint32_t>(100 * n + t));
      ASSERT_TRUE((Agree<crypto::Blowfish, CryptoPP::Blowfish>(key, key, static_cast<std::uint32_t>(n + t))));
    }
  }
  // Crypto++ stops at 4 bytes; a shorter key cycles just the same, so it
  // equals its repetition (to 4, 4 and 12 bytes).
  for (std::size_t n = 1; n <= 3; ++n) {
    const Bytes key = RandomBytes(n, static_cast<std::uint32_t>(n));
    ASSERT_TRUE((Agree<crypto::Blowfish, CryptoPP::Blowfish>(key, Repeat(key, n == 3 ? 12 : 4), 9)));
  }
}

TEST(Ciphers1Oracle, Cast128) {
  AgreeOnRandomKeys<crypto::Cast128, CryptoPP::CAST128>(16, 16, 2000);
  // 5 to 10 bytes run 12 rounds, 11 to 16 bytes 16; Crypto++ does the same.
  for (std::size_t n = 5; n <= 16; ++n) {
    SCOPED_TRACE(n);
    for (int t = 0; t < 20; ++t) {
      const Bytes key = RandomBytes(n, static_cast<std::uint32_t>(200 * n + t));
      ASSERT_TRUE((Agree<crypto::Cast128, CryptoPP::CAST128>(key, key, static_cast<std::uint32_t>(n + t))));
    }
  }
  // Below RFC 2144's 40 bits the key is padded the same way (12 rounds).
  for (std::size_t n = 1; n <= 4; ++n) {
    const Bytes key = RandomBytes(n, static_cast<std::uint32_t>(n));
    Bytes padded = key;
    padded.resize(5, 0);
    ASSERT_TRUE((Agree<crypto::Cast128, CryptoPP::CAST128>(key, padded, 3)));
  }
}

TEST(Ciphers1Oracle, Cast256) {
  AgreeOnRandomKeys<crypto::Cast256, CryptoPP::CAST256>(20, 20, 3000);
  for (std::size_t n = 16; n <= 32; n += 4) {
    SCOPED_TRACE(n);
    AgreeOnRandomKeys<crypto::Cast256, CryptoPP::CAST256>(n, n, static_cast<std::uint32_t>(3000 * n));
  }
  // Sizes off the 32-bit steps, or below 128 bits: zero-padded to 256 bits.
  for (std::size_t n : {1u, 8u, 15u, 17u, 23u, 31u}) {
    SCOPED_TRACE(n);
    AgreeOnRandomKeys<crypto::Cast256, CryptoPP::CAST256>(n, 32, static_cast<std::uint32_t>(5000 * n));
  }
}

TEST(Ciphers1Oracle, Des) {
  AgreeOnRandomKeys<crypto::Des, CryptoPP::DES>(8, 8, 4000);
}

TEST(Ciphers1Oracle, TripleDes) {
  // The 20-byte key is K1 || K2 || (K3 = 4 bytes and 4 zero bytes).
  AgreeOnRandomKeys<crypto::TripleDes, CryptoPP::DES_EDE3>(20, 24, 5000);
  AgreeOnRandomKeys<crypto::TripleDes, CryptoPP::DES_EDE3>(24, 24, 6000);
}

TEST(Ciphers1Oracle, Idea) {
  AgreeOnRandomKeys<crypto::Idea, CryptoPP::IDEA>(16, 16, 7000);
  // Keys with words 0 and 1 reach the special cases of the multiplication
  // and of its inverse in the decryption schedule.
  for (int t = 0; t < kTrials; ++t) {
    Bytes key = RandomBytes(16, static_cast<std::uint32_t>(8000 + t));
    for (int w = 0; w < 8; ++w) {
      if ((t >> w & 1) == 0) continue;
      key[2 * w] = 0;
      key[2 * w + 1] = (t & 0x100) != 0 ? 1 : 0;
    }
    ASSERT_TRUE((Agree<crypto::Idea, CryptoPP::IDEA>(key, key, static_cast<std::uint32_t>(t))));
    // And data words 0 (= 2^16) and 1.
    Bytes pt = RandomBytes(8, static_cast<std::uint32_t>(9000 + t));
    for (int w = 0; w < 4; ++w) {
      if ((t >> (w + 4) & 1) == 0) continue;
      pt[2 * w] = 0;
      pt[2 * w + 1] = (t & 1) != 0 ? 1 : 0;
    }
    ASSERT_TRUE((Agree<crypto::Idea, CryptoPP::IDEA>(key, key, pt)));
  }
}

}  // namespace

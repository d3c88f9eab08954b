// RC6, Serpent, TEA, Twofish and GOST 28147-89 against Crypto++ (and GOST also
// against Botan), test oracles only: random keys of the library's sizes and
// random blocks. Where Crypto++'s public length check refuses a size its key
// setup takes (20 bytes and other lengths), UncheckedSetKey is called directly.
#include <botan/gost_28147.h>
#include <cryptopp/gost.h>
#include <cryptopp/rc6.h>
#include <cryptopp/serpent.h>
#include <cryptopp/tea.h>
#include <cryptopp/twofish.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "crypto/ciphers/gost.h"
#include "crypto/ciphers/rc6.h"
#include "crypto/ciphers/serpent.h"
#include "crypto/ciphers/tea.h"
#include "crypto/ciphers/twofish.h"
#include "tests/support/hex.h"

namespace {

using testing_support::RandomBytes;
using testing_support::ToHex;
using Bytes = std::vector<std::uint8_t>;

constexpr int kTrials = 300;

// Encrypts and decrypts one random block with ours and with the oracle's
// Encryption/Decryption pair keyed with oracle_key.
template <class Ours, class Oracle>
void AgreeOnBlock(const Bytes& key, const Bytes& oracle_key, std::uint32_t seed) {
  constexpr std::size_t b = Ours::kBlockBytes;
  const Bytes pt = RandomBytes(b, seed);
  SCOPED_TRACE("key " + ToHex(key) + " pt " + ToHex(pt));
  Ours ours;
  ours.SetKey(key.data(), static_cast<std::uint32_t>(8 * key.size()), nullptr);
  typename Oracle::Encryption enc;
  typename Oracle::Decryption dec;
  enc.UncheckedSetKey(oracle_key.data(), static_cast<unsigned>(oracle_key.size()), CryptoPP::g_nullNameValuePairs);
  dec.UncheckedSetKey(oracle_key.data(), static_cast<unsigned>(oracle_key.size()), CryptoPP::g_nullNameValuePairs);
  Bytes got(b), expected(b);
  ours.EncryptBlock(pt.data(), got.data());
  enc.ProcessBlock(pt.data(), expected.data());
  ASSERT_EQ(ToHex(got), ToHex(expected)) << "encryption";
  ours.DecryptBlock(pt.data(), got.data());
  dec.ProcessBlock(pt.data(), expected.data());
  ASSERT_EQ(ToHex(got), ToHex(expected)) << "decryption of a random block";
}

// kTrials keys of the library's size (20 bytes, or the cipher's whole key when
// that is smaller), then kTrials of each further size.
template <class Ours, class Oracle>
void AgreeOverSizes(std::size_t library_bytes, const std::vector<std::size_t>& other_sizes,
                    Bytes (*oracle_key)(const Bytes&)) {
  std::vector<std::size_t> sizes{library_bytes};
  sizes.insert(sizes.end(), other_sizes.begin(), other_sizes.end());
  for (std::size_t bytes : sizes) {
    for (int t = 0; t < kTrials; ++t) {
      const auto seed = static_cast<std::uint32_t>(1000 * bytes + t);
      const Bytes key = RandomBytes(bytes, seed);
      AgreeOnBlock<Ours, Oracle>(key, oracle_key(key), seed + 700000);
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

Bytes SameKey(const Bytes& key) { return key; }
Bytes ZeroPadTo32(const Bytes& key) {
  Bytes k = key;
  k.resize(32, 0);
  return k;
}

TEST(Ciphers3Oracle, Rc6AgreesWithCryptoPp) {
  // Every byte count RC6's key schedule takes (Crypto++'s check admits 16/24/32 only).
  std::vector<std::size_t> sizes;
  for (std::size_t n = 1; n <= 255; ++n) sizes.push_back(n);
  for (std::size_t n : sizes) {
    for (int t = 0; t < 4; ++t) {
      const auto seed = static_cast<std::uint32_t>(100 * n + t);
      const Bytes key = RandomBytes(n, seed);
      AgreeOnBlock<crypto::Rc6, CryptoPP::RC6>(key, key, seed + 500000);
      if (HasFatalFailure()) return;
    }
  }
  AgreeOverSizes<crypto::Rc6, CryptoPP::RC6>(20, {16, 24, 32}, &SameKey);
}

TEST(Ciphers3Oracle, SerpentAgreesWithCryptoPp) {
  // Crypto++ pads a short key with 0x01 and zeros, as the library does.
  AgreeOverSizes<crypto::Serpent, CryptoPP::Serpent>(20, {1, 5, 16, 24, 31, 32}, &SameKey);
}

TEST(Ciphers3Oracle, TeaAgreesWithCryptoPp) {
  AgreeOverSizes<crypto::Tea, CryptoPP::TEA>(16, {}, &SameKey);
}

TEST(Ciphers3Oracle, TeaShortKeysAreZeroPadded) {
  // Crypto++'s TEA takes 16 bytes only: compare with the padded key.
  auto pad16 = [](const Bytes& key) {
    Bytes k = key;
    k.resize(16, 0);
    return k;
  };
  for (std::size_t n : {1u, 8u, 15u}) {
    const Bytes key = RandomBytes(n, static_cast<std::uint32_t>(n));
    AgreeOnBlock<crypto::Tea, CryptoPP::TEA>(key, pad16(key), 99);
  }
}

TEST(Ciphers3Oracle, TwofishAgreesWithCryptoPp) {
  AgreeOverSizes<crypto::Twofish, CryptoPP::Twofish>(20, {16, 24, 32}, &SameKey);
}

TEST(Ciphers3Oracle, TwofishPadsToTheNextKeySize) {
  struct Case {
    std::size_t bytes, padded;
  };
  for (const Case c : {Case{1, 16}, Case{10, 16}, Case{17, 24}, Case{20, 24}, Case{25, 32}, Case{31, 32}}) {
    for (int t = 0; t < 20; ++t) {
      const Bytes key = RandomBytes(c.bytes, static_cast<std::uint32_t>(100 * c.bytes + t));
      Bytes padded = key;
      padded.resize(c.padded, 0);
      AgreeOnBlock<crypto::Twofish, CryptoPP::Twofish>(key, padded, static_cast<std::uint32_t>(t));
      if (HasFatalFailure()) return;
    }
  }
}

TEST(Ciphers3Oracle, GostAgreesWithCryptoPp) {
  // The 20-byte key is the 32-byte GOST key with 12 zero bytes after it.
  AgreeOverSizes<crypto::Gost, CryptoPP::GOST>(20, {}, &ZeroPadTo32);
  AgreeOverSizes<crypto::Gost, CryptoPP::GOST>(32, {1, 16, 31}, &ZeroPadTo32);
}

TEST(Ciphers3Oracle, GostAgreesWithBotan) {
  for (std::size_t bytes : {20u, 32u}) {
    for (int t = 0; t < kTrials; ++t) {
      const auto seed = static_cast<std::uint32_t>(3000 * bytes + t);
      const Bytes key = RandomBytes(bytes, seed);
      const Bytes pt = RandomBytes(8, seed + 1);
      SCOPED_TRACE("key " + ToHex(key) + " pt " + ToHex(pt));
      crypto::Gost ours;
      ours.SetKey(key.data(), static_cast<std::uint32_t>(8 * bytes), nullptr);
      Botan::GOST_28147_89 botan(std::string("R3411_94_TestParam"));
      botan.set_key(ZeroPadTo32(key));
      Bytes got(8), expected(8);
      ours.EncryptBlock(pt.data(), got.data());
      botan.encrypt(pt.data(), expected.data());
      ASSERT_EQ(ToHex(got), ToHex(expected));
      ours.DecryptBlock(pt.data(), got.data());
      botan.decrypt(pt.data(), expected.data());
      ASSERT_EQ(ToHex(got), ToHex(expected)) << "decryption of a random block";
    }
  }
}

}  // namespace

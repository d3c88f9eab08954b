// RC2 and RC4 against Crypto++, MISTY1 against Botan (test oracles only): random
// keys of the library's sizes and random data. ICE and the 1998 MARS schedule
// are in no library; they rest on the vector file.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <botan/block_cipher.h>
#include <cryptopp/arc4.h>
#include <cryptopp/rc2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "crypto/ciphers/misty1.h"
#include "crypto/ciphers/rc2.h"
#include "crypto/ciphers/rc4.h"
#include "tests/support/hex.h"

namespace {

using testing_support::RandomBytes;
using testing_support::ToHex;
using Bytes = std::vector<std::uint8_t>;

constexpr int kTrials = 300;

template <class C>
void Key(C& c, const Bytes& key) {
  c.SetKey(key.data(), static_cast<std::uint32_t>(8 * key.size()), nullptr);
}

TEST(Ciphers2Oracle, Rc2AgreesWithCryptoPpAtEffectiveBitsOfTheKey) {
  // The library's 20-byte key on every trial, then every length RC2 takes;
  // Crypto++ is told T1 = 8 x key bytes (its own default would be 1024).
  for (int t = 0; t < kTrials + 3 * 128; ++t) {
    const std::size_t bytes = t < kTrials ? 20 : static_cast<std::size_t>((t - kTrials) / 3 + 1);
    const Bytes key = RandomBytes(bytes, static_cast<std::uint32_t>(t));
    const Bytes pt = RandomBytes(8, static_cast<std::uint32_t>(200000 + t));
    SCOPED_TRACE("key " + ToHex(key) + " pt " + ToHex(pt));
    crypto::Rc2 ours;
    Key(ours, key);
    const int effective = static_cast<int>(8 * bytes);
    CryptoPP::RC2::Encryption enc(key.data(), key.size(), effective);
    CryptoPP::RC2::Decryption dec(key.data(), key.size(), effective);
    Bytes got(8), expected(8);
    ours.EncryptBlock(pt.data(), got.data());
    enc.ProcessBlock(pt.data(), expected.data());
    ASSERT_EQ(ToHex(got), ToHex(expected));
    ours.DecryptBlock(pt.data(), got.data());
    dec.ProcessBlock(pt.data(), expected.data());
    ASSERT_EQ(ToHex(got), ToHex(expected)) << "decryption of a random block";
  }
}

TEST(Ciphers2Oracle, Rc4AgreesWithCryptoPp) {
  // 20-byte keys, then every length up to 256 bytes; data of random lengths,
  // fed to ours in uneven calls and to Crypto++ in one.
  for (int t = 0; t < kTrials + 256; ++t) {
    const std::size_t bytes = t < kTrials ? 20 : static_cast<std::size_t>(t - kTrials + 1);
    const auto seed = static_cast<std::uint32_t>(300000 + t);
    const Bytes key = RandomBytes(bytes, seed);
    const std::size_t n = static_cast<std::size_t>(t) * 37 % 2500;
    const Bytes data = RandomBytes(n, seed + 1);
    SCOPED_TRACE("key " + ToHex(key) + " n " + std::to_string(n));
    CryptoPP::Weak::ARC4 oracle(key.data(), key.size());
    Bytes expected(n);
    oracle.ProcessData(expected.data(), data.data(), n);
    crypto::Rc4 ours;
    Key(ours, key);
    Bytes got(n);
    const std::size_t step = 1 + t % 97;
    for (std::size_t i = 0; i < n; i += step) {
      const std::size_t k = std::min(step, n - i);
      ours.EncryptBytes(data.data() + i, got.data() + i, static_cast<std::uint32_t>(k));
    }
    ASSERT_EQ(ToHex(got), ToHex(expected));
  }
}

TEST(Ciphers2Oracle, Misty1AgreesWithBotan) {
  // The library's 128-bit key, then shorter keys, which Botan sees
  // zero-padded to 16 bytes.
  const auto enc = Botan::BlockCipher::create_or_throw("MISTY1");
  for (int t = 0; t < kTrials + 15 * 20; ++t) {
    const std::size_t bytes = t < kTrials ? 16 : static_cast<std::size_t>((t - kTrials) / 20 + 1);
    const auto seed = static_cast<std::uint32_t>(400000 + t);
    const Bytes key = RandomBytes(bytes, seed);
    const Bytes pt = RandomBytes(8, seed + 1);
    SCOPED_TRACE("key " + ToHex(key) + " pt " + ToHex(pt));
    Bytes padded = key;
    padded.resize(16, 0);
    enc->set_key(padded.data(), padded.size());
    crypto::Misty1 ours;
    Key(ours, key);
    Bytes got(8), expected(8);
    ours.EncryptBlock(pt.data(), got.data());
    enc->encrypt(pt.data(), expected.data());
    ASSERT_EQ(ToHex(got), ToHex(expected));
    ours.DecryptBlock(pt.data(), got.data());
    enc->decrypt(pt.data(), expected.data());
    ASSERT_EQ(ToHex(got), ToHex(expected)) << "decryption of a random block";
  }
}

}  // namespace

// Blowfish, CAST-128, CAST-256, DES, triple DES and IDEA: the class facts and
// each class's own choices (key forms, padding, round counts) beyond the
// vectors that the table-driven runner checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypto/ciphers/blowfish.h"
#include "crypto/ciphers/cast128.h"
#include "crypto/ciphers/cast256.h"
#include "crypto/ciphers/des.h"
#include "crypto/ciphers/idea.h"
#include "crypto/ciphers/table.h"
#include "crypto/ciphers/triple_des.h"
#include "tests/support/hex.h"

namespace {

using testing_support::FromHex;
using testing_support::RandomBytes;
using testing_support::ToHex;
using Bytes = std::vector<std::uint8_t>;

template <class C>
Bytes Encrypt(const Bytes& key, std::uint32_t bits, const Bytes& pt) {
  C c;
  c.SetKey(key.data(), bits, nullptr);
  Bytes out(pt.size());
  for (std::size_t i = 0; i < pt.size(); i += C::kBlockBytes) c.EncryptBlock(pt.data() + i, out.data() + i);
  return out;
}

template <class C>
Bytes Encrypt(const Bytes& key, const Bytes& pt) {
  return Encrypt<C>(key, static_cast<std::uint32_t>(8 * key.size()), pt);
}

Bytes Padded(const Bytes& key, std::size_t n) {
  Bytes out = key;
  out.resize(n, 0);
  return out;
}

TEST(Ciphers1, ClassFacts) {
  struct Row {
    const crypto::CipherClass* c;
    std::int32_t number, id;
    const char* name;
    std::int32_t max_key_bits, block_bits, sha1_key_bits;
  };
  const Row rows[] = {
      {&crypto::Blowfish::kClass, 1, 10, "Blowfish", 448, 64, 160},
      {&crypto::Cast128::kClass, 2, 11, "Cast128", 128, 64, 128},
      {&crypto::Cast256::kClass, 3, 12, "Cast256", 256, 128, 160},
      {&crypto::Des::kClass, 4, 13, "DES", 64, 64, 64},
      {&crypto::TripleDes::kClass, 5, 14, "3DES", 192, 64, 160},
      {&crypto::Idea::kClass, 9, 15, "IDEA", 128, 64, 128},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(crypto::FindCipher(r.number), r.c);
    EXPECT_EQ(r.c->id, r.id);
    EXPECT_STREQ(r.c->name, r.name);
    EXPECT_EQ(r.c->max_key_bits, r.max_key_bits);
    EXPECT_EQ(r.c->block_bits, r.block_bits);
    EXPECT_EQ(crypto::KeyBitsFromSha1(*r.c), r.sha1_key_bits);
    EXPECT_TRUE(r.c->run_self_test());
  }
  // Des and TripleDes share their base.
  crypto::TripleDes t;
  EXPECT_NE(dynamic_cast<crypto::DesBase*>(static_cast<crypto::BlockCipher*>(&t)), nullptr);
}

// ScheduleKey reads bits/8 bytes: a trailing half byte and anything past the
// key are ignored, whatever the cipher.
TEST(Ciphers1, KeyBitsBeyondWholeBytesAreIgnored) {
  const Bytes key = RandomBytes(32, 1);
  const Bytes pt16 = RandomBytes(16, 2);
  const Bytes pt8(pt16.begin(), pt16.begin() + 8);
  Bytes other = key;
  for (std::size_t i = 5; i < other.size(); ++i) other[i] = static_cast<std::uint8_t>(~other[i]);
  EXPECT_EQ(ToHex(Encrypt<crypto::Blowfish>(key, 44, pt8)), ToHex(Encrypt<crypto::Blowfish>(other, 40, pt8)));
  EXPECT_EQ(ToHex(Encrypt<crypto::Cast128>(key, 44, pt8)), ToHex(Encrypt<crypto::Cast128>(other, 40, pt8)));
  EXPECT_EQ(ToHex(Encrypt<crypto::Cast256>(key, 44, pt16)), ToHex(Encrypt<crypto::Cast256>(other, 40, pt16)));
  EXPECT_EQ(ToHex(Encrypt<crypto::Des>(key, 44, pt8)), ToHex(Encrypt<crypto::Des>(other, 40, pt8)));
  EXPECT_EQ(ToHex(Encrypt<crypto::TripleDes>(key, 44, pt8)), ToHex(Encrypt<crypto::TripleDes>(other, 40, pt8)));
  EXPECT_EQ(ToHex(Encrypt<crypto::Idea>(key, 44, pt8)), ToHex(Encrypt<crypto::Idea>(other, 40, pt8)));
}

// Keys shorter than the cipher's own size are zero-padded to it (for CAST-128
// only within one round count: see below).
TEST(Ciphers1, ShortKeysAreZeroPadded) {
  const Bytes pt16 = RandomBytes(16, 3);
  const Bytes pt8(pt16.begin(), pt16.begin() + 8);
  for (std::size_t n = 0; n <= 31; ++n) {
    SCOPED_TRACE(n);
    const Bytes key = RandomBytes(n, static_cast<std::uint32_t>(10 + n));
    const auto bits = static_cast<std::uint32_t>(n == 0 ? 4 : 8 * n);  // 4 bits: no whole byte
    EXPECT_EQ(ToHex(Encrypt<crypto::Cast256>(key, bits, pt16)), ToHex(Encrypt<crypto::Cast256>(Padded(key, 32), pt16)));
    if (n <= 24) {
      EXPECT_EQ(ToHex(Encrypt<crypto::TripleDes>(key, bits, pt8)),
                ToHex(Encrypt<crypto::TripleDes>(Padded(key, 24), pt8)));
    }
    if (n <= 16) {
      EXPECT_EQ(ToHex(Encrypt<crypto::Idea>(key, bits, pt8)), ToHex(Encrypt<crypto::Idea>(Padded(key, 16), pt8)));
    }
    if (n <= 8) {
      EXPECT_EQ(ToHex(Encrypt<crypto::Des>(key, bits, pt8)), ToHex(Encrypt<crypto::Des>(Padded(key, 8), pt8)));
    }
    if (n <= 16) {
      const std::size_t to = n <= 10 ? 10 : 16;
      EXPECT_EQ(ToHex(Encrypt<crypto::Cast128>(key, bits, pt8)), ToHex(Encrypt<crypto::Cast128>(Padded(key, to), pt8)));
    }
  }
}

// RFC 2144: keys of 80 bits or less run 12 rounds, so an 80-bit key and the
// same key with a zero byte appended (16 rounds) differ.
TEST(Ciphers1, Cast128RoundCountFollowsTheKeyLength) {
  const Bytes key = RandomBytes(16, 4);
  for (std::uint32_t bits = 4; bits <= 128; bits += 4) {
    crypto::Cast128 c;
    c.SetKey(key.data(), bits, nullptr);
    EXPECT_EQ(c.Rounds(), bits / 8 <= 10 ? 12 : 16) << bits;
  }
  const Bytes pt = RandomBytes(8, 5);
  const Bytes k10(key.begin(), key.begin() + 10);
  EXPECT_NE(ToHex(Encrypt<crypto::Cast128>(k10, pt)), ToHex(Encrypt<crypto::Cast128>(Padded(k10, 11), pt)));
  // A new key resets the count: 16 rounds after a 12-round key.
  crypto::Cast128 c;
  c.SetKey(key.data(), 40, nullptr);
  c.SetKey(key.data(), 128, nullptr);
  EXPECT_EQ(c.Rounds(), 16);
  Bytes out(8);
  c.EncryptBlock(pt.data(), out.data());
  EXPECT_EQ(ToHex(out), ToHex(Encrypt<crypto::Cast128>(key, pt)));
}

// RFC 2144 appendix B.2, the full maintenance test: a million rounds of
// encryption under keys that are themselves being encrypted, so every table
// entry and key-schedule step is exercised (under a second).
TEST(Ciphers1, Cast128MaintenanceTest) {
  Bytes a = FromHex("0123456712345678234567893456789a");
  Bytes b = a;
  crypto::Cast128 c;
  for (int i = 0; i < 1000000; ++i) {
    c.SetKey(b.data(), 128, nullptr);
    c.EncryptBlock(a.data(), a.data());
    c.EncryptBlock(a.data() + 8, a.data() + 8);
    c.SetKey(a.data(), 128, nullptr);
    c.EncryptBlock(b.data(), b.data());
    c.EncryptBlock(b.data() + 8, b.data() + 8);
  }
  EXPECT_EQ(ToHex(a), "eea9d0a249fd3ba6b3436fb89d6dca92");
  EXPECT_EQ(ToHex(b), "b2c95eb00c31ad7180ac05b8e83d696e");
}

// Blowfish cycles the key bytes over the P-array, so a key equals its own
// repetition; a key of no whole byte acts as the single byte 00.
TEST(Ciphers1, BlowfishCyclesTheKey) {
  const Bytes pt = RandomBytes(8, 6);
  for (std::size_t n : {1u, 2u, 3u, 4u, 7u, 8u, 18u}) {
    SCOPED_TRACE(n);
    const Bytes key = RandomBytes(n, static_cast<std::uint32_t>(n));
    Bytes twice = key;
    twice.insert(twice.end(), key.begin(), key.end());
    EXPECT_EQ(ToHex(Encrypt<crypto::Blowfish>(key, pt)), ToHex(Encrypt<crypto::Blowfish>(twice, pt)));
  }
  const Bytes zero(8, 0);
  EXPECT_EQ(ToHex(Encrypt<crypto::Blowfish>(FromHex("5a"), 4, zero)), "4ef997456198dd78");
  // The whole 448-bit key counts: its last byte changes the result.
  Bytes key = RandomBytes(56, 7);
  const Bytes before = Encrypt<crypto::Blowfish>(key, pt);
  key[55] ^= 1;
  EXPECT_NE(ToHex(Encrypt<crypto::Blowfish>(key, pt)), ToHex(before));
}

// Parity bits (the low bit of each key byte) are ignored; weak keys are
// accepted, and for them encryption is its own inverse.
TEST(Ciphers1, DesIgnoresParityAndAcceptsWeakKeys) {
  for (int t = 0; t < 20; ++t) {
    const Bytes key = RandomBytes(8, static_cast<std::uint32_t>(100 + t));
    const Bytes pt = RandomBytes(8, static_cast<std::uint32_t>(200 + t));
    Bytes flipped = key;
    for (auto& b : flipped) b ^= static_cast<std::uint8_t>(t & 1 ? 0x01 : (b & 1) ^ 1);
    EXPECT_EQ(ToHex(Encrypt<crypto::Des>(key, pt)), ToHex(Encrypt<crypto::Des>(flipped, pt)));
    const Bytes key24 = RandomBytes(24, static_cast<std::uint32_t>(300 + t));
    Bytes flipped24 = key24;
    for (auto& b : flipped24) b ^= 1;
    EXPECT_EQ(ToHex(Encrypt<crypto::TripleDes>(key24, pt)), ToHex(Encrypt<crypto::TripleDes>(flipped24, pt)));
  }
  for (const char* weak : {"0101010101010101", "fefefefefefefefe", "e0e0e0e0f1f1f1f1", "1f1f1f1f0e0e0e0e"}) {
    SCOPED_TRACE(weak);
    const Bytes pt = RandomBytes(8, 8);
    const Bytes key = FromHex(weak);
    const Bytes once = Encrypt<crypto::Des>(key, pt);
    EXPECT_NE(ToHex(once), ToHex(pt));
    EXPECT_EQ(ToHex(Encrypt<crypto::Des>(key, once)), ToHex(pt));
  }
}

// EDE: with K1 = K2 = K3 triple DES is single DES; with K1 = K2 it is
// E_K3 alone; with K2 = K3 it is E_K1 alone.
TEST(Ciphers1, TripleDesIsEncryptDecryptEncrypt) {
  for (int t = 0; t < 20; ++t) {
    const Bytes k1 = RandomBytes(8, static_cast<std::uint32_t>(400 + t));
    const Bytes k3 = RandomBytes(8, static_cast<std::uint32_t>(500 + t));
    const Bytes pt = RandomBytes(16, static_cast<std::uint32_t>(600 + t));
    auto join = [](const Bytes& a, const Bytes& b, const Bytes& c) {
      Bytes out = a;
      out.insert(out.end(), b.begin(), b.end());
      out.insert(out.end(), c.begin(), c.end());
      return out;
    };
    EXPECT_EQ(ToHex(Encrypt<crypto::TripleDes>(join(k1, k1, k1), pt)), ToHex(Encrypt<crypto::Des>(k1, pt)));
    EXPECT_EQ(ToHex(Encrypt<crypto::TripleDes>(join(k1, k1, k3), pt)), ToHex(Encrypt<crypto::Des>(k3, pt)));
    EXPECT_EQ(ToHex(Encrypt<crypto::TripleDes>(join(k1, k3, k3), pt)), ToHex(Encrypt<crypto::Des>(k1, pt)));
    // A 16-byte key is padded (K3 = 0), not read as the two-key form K3 = K1.
    const Bytes two = join(k1, k3, {});
    EXPECT_EQ(ToHex(Encrypt<crypto::TripleDes>(two, pt)), ToHex(Encrypt<crypto::TripleDes>(Padded(two, 24), pt)));
    EXPECT_NE(ToHex(Encrypt<crypto::TripleDes>(two, pt)), ToHex(Encrypt<crypto::TripleDes>(join(k1, k3, k1), pt)));
  }
}

// Schedules are replaced whole: keying a used object gives what a fresh one
// gives, also from a longer key to a shorter one.
TEST(Ciphers1, RekeyingReplacesTheWholeSchedule) {
  const Bytes pt16 = RandomBytes(16, 9);
  const Bytes pt8(pt16.begin(), pt16.begin() + 8);
  const Bytes long_key = RandomBytes(56, 10), short_key = RandomBytes(5, 11);
  auto check = [&](auto cipher, std::size_t long_bytes, const Bytes& pt) {
    using C = decltype(cipher);
    cipher.SetKey(long_key.data(), static_cast<std::uint32_t>(8 * long_bytes), nullptr);
    cipher.SetKey(short_key.data(), 40, nullptr);
    Bytes out(pt.size());
    cipher.EncryptBlock(pt.data(), out.data());
    EXPECT_EQ(ToHex(out), ToHex(Encrypt<C>(short_key, pt))) << C::kClass.name;
  };
  check(crypto::Blowfish(), 56, pt8);
  check(crypto::Cast128(), 16, pt8);
  check(crypto::Cast256(), 32, pt16);
  check(crypto::Des(), 8, pt8);
  check(crypto::TripleDes(), 24, pt8);
  check(crypto::Idea(), 16, pt8);
}

}  // namespace

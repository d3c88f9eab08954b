// The library's big integers: the text and byte conversions the RSA and
// number-base commands rely on, the arithmetic's identities on operands that
// hit the carry and quotient-correction paths, and both ModExp paths against
// plain square-and-multiply.
#include <gtest/gtest.h>

#include <random>

#include "crypto/bigint.h"
#include "tests/support/hex.h"

using crypto::BigInt;
using crypto::Bytes;
using testing_support::FromHex;
using testing_support::ToHex;

namespace {

BigInt Hex(const std::string& text) { return crypto::BytesToBigInt(crypto::HexToBytes(text)); }
std::string Hex(const BigInt& x) { return crypto::BytesToHex(crypto::BigIntToBytes(x)); }

// Limbs drawn mostly from the values that stress carries and the estimate of
// a quotient digit (0, 1, 2^31 - 1, 2^31, 2^32 - 1), the rest random.
BigInt Patterned(std::mt19937& rng, std::size_t limbs) {
  static const BigInt::Limb kEdges[] = {0, 1, 0x7fffffffu, 0x80000000u, 0xffffffffu};
  std::vector<BigInt::Limb> v(limbs);
  for (auto& limb : v) limb = rng() % 3 == 0 ? static_cast<BigInt::Limb>(rng()) : kEdges[rng() % 5];
  return BigInt::FromLimbs(std::move(v));
}

BigInt NaiveModExp(BigInt base, const BigInt& e, const BigInt& m) {
  BigInt r = BigInt(1) % m;
  base = base % m;
  for (std::size_t i = e.BitLength(); i-- > 0;) {
    r = r * r % m;
    if (e.TestBit(i)) r = r * base % m;
  }
  return r;
}

TEST(BigIntText, HexAndBytes) {
  EXPECT_EQ(crypto::HexToBytes("ABC"), (Bytes{0x0a, 0xbc})) << "odd length: a 0 in front";
  EXPECT_EQ(crypto::HexToBytes("abCD"), (Bytes{0xab, 0xcd}));
  EXPECT_EQ(crypto::HexToBytes("0"), (Bytes{0x00}));
  EXPECT_EQ(crypto::HexToBytes("000102"), (Bytes{0x00, 0x01, 0x02}));
  EXPECT_EQ(crypto::BytesToHex(Bytes{0x00, 0x0f, 0xa0, 0xff}), "000FA0FF");
  EXPECT_EQ(crypto::BytesToHex(Bytes{}), "");

  EXPECT_EQ(crypto::BytesToBigInt(Bytes{0, 0, 1, 0}), BigInt(256));
  EXPECT_EQ(crypto::BytesToBigInt(Bytes{}), BigInt());
  EXPECT_EQ(crypto::BytesToBigInt(Bytes{0, 0, 0, 0, 0}), BigInt());
  EXPECT_EQ(crypto::BigIntToBytes(BigInt()), (Bytes{0x00}));
  EXPECT_EQ(crypto::BigIntToBytes(BigInt(256)), (Bytes{0x01, 0x00}));
  EXPECT_EQ(crypto::BigIntToBytes(BigInt(0x80)), (Bytes{0x80}));
  const Bytes nine = FromHex("0102030405060708f9");
  EXPECT_EQ(crypto::BigIntToBytes(crypto::BytesToBigInt(nine)), nine);
  EXPECT_EQ(Hex(Hex("00000001")), "01");

  EXPECT_TRUE(crypto::IsHexText("09afAF"));
  for (const char* bad : {"", "0x1", " 1", "1 ", "-1", "G", "1h", "+1"}) EXPECT_FALSE(crypto::IsHexText(bad)) << bad;
  EXPECT_TRUE(crypto::IsDecimalText("0123456789"));
  for (const char* bad : {"", "-1", " 1", "1.5", "1e3", "A"}) EXPECT_FALSE(crypto::IsDecimalText(bad)) << bad;
}

TEST(BigIntText, Decimal) {
  const std::pair<const char*, const char*> cases[] = {
      {"0", "00"},
      {"255", "FF"},
      {"999999999", "3B9AC9FF"},
      {"1000000000", "3B9ACA00"},
      {"4294967295", "FFFFFFFF"},
      {"4294967296", "0100000000"},
      {"18446744073709551616", "010000000000000000"},
      {"340282366920938463463374607431768211455", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(crypto::DecimalToBigInt(c.first)), c.second);
    EXPECT_EQ(crypto::BigIntToDecimal(Hex(c.second)), c.first);
  }
  EXPECT_EQ(crypto::DecimalToBigInt("000000000000123"), BigInt(123));
  EXPECT_EQ(crypto::DecimalToBigInt("0000"), BigInt());
  EXPECT_EQ(crypto::BigIntToDecimal(BigInt(1000000000) * BigInt(1000000000)), "1000000000000000000")
      << "zero chunks inside are padded";
}

TEST(BigIntText, LongDecimalRoundTrips) {
  std::mt19937 rng(1);
  for (std::size_t digits : {1u, 8u, 9u, 10u, 18u, 19u, 100u, 1000u, 10000u}) {
    std::string text(1, static_cast<char>('1' + rng() % 9));
    while (text.size() < digits) text += static_cast<char>('0' + rng() % 10);
    EXPECT_EQ(crypto::BigIntToDecimal(crypto::DecimalToBigInt(text)), text) << digits;
    EXPECT_EQ(crypto::BigIntToDecimal(crypto::DecimalToBigInt("000" + text)), text) << digits;
  }
}

TEST(BigIntArithmetic, KnownValues) {
  const BigInt max64 = Hex("FFFFFFFFFFFFFFFF");
  EXPECT_EQ(Hex(max64 * max64), "FFFFFFFFFFFFFFFE0000000000000001");
  EXPECT_EQ(Hex(max64 + BigInt(1)), "010000000000000000");
  EXPECT_EQ(Hex(Hex("010000000000000000") - BigInt(1)), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(Hex(BigInt(1) << 100), "10000000000000000000000000");
  EXPECT_EQ(Hex((BigInt(1) << 100) >> 99), "02");
  EXPECT_EQ((BigInt(5) >> 3), BigInt());
  EXPECT_EQ(Hex((BigInt(1) << 96) / max64), "0100000000");
  EXPECT_EQ(Hex((BigInt(1) << 96) % max64), "0100000000");
  EXPECT_EQ(BigInt(7) / BigInt(7), BigInt(1));
  EXPECT_EQ(BigInt(6) % BigInt(7), BigInt(6));
  EXPECT_EQ(Hex("0123456789ABCDEF0123456789").BitLength(), 97u);
  EXPECT_THROW(BigInt(1) / BigInt(), crypto::BigIntError);
  EXPECT_THROW(BigInt(1) % BigInt(), crypto::BigIntError);
  EXPECT_THROW(BigInt(1) - BigInt(2), crypto::BigIntError);
}

TEST(BigIntArithmetic, DivisionIdentities) {
  std::mt19937 rng(2);
  for (int round = 0; round < 3000; ++round) {
    const BigInt a = Patterned(rng, 1 + rng() % 24);
    const BigInt b = Patterned(rng, 1 + rng() % 12);
    if (b.IsZero()) continue;
    BigInt q, r;
    BigInt::DivMod(a, b, &q, &r);
    ASSERT_LT(r, b) << Hex(a) << " / " << Hex(b);
    ASSERT_EQ(q * b + r, a) << Hex(a) << " / " << Hex(b);
    ASSERT_EQ((a + b) - b, a);
    ASSERT_EQ(a * b, b * a);
  }
}

TEST(BigIntModExp, SmallCasesAndPrimes) {
  EXPECT_EQ(crypto::ModExp(BigInt(5), BigInt(3), BigInt(1)), BigInt());
  EXPECT_EQ(crypto::ModExp(BigInt(5), BigInt(), BigInt(7)), BigInt(1));
  EXPECT_EQ(crypto::ModExp(BigInt(), BigInt(), BigInt(7)), BigInt(1));
  EXPECT_EQ(crypto::ModExp(BigInt(14), BigInt(5), BigInt(7)), BigInt()) << "base reduced first";
  EXPECT_EQ(crypto::ModExp(BigInt(4), BigInt(13), BigInt(497)), BigInt(445));
  EXPECT_EQ(crypto::ModExp(BigInt(3), BigInt(5), BigInt(10)), BigInt(3)) << "even modulus";
  EXPECT_THROW(crypto::ModExp(BigInt(3), BigInt(5), BigInt()), crypto::BigIntError);
  // Fermat: a^(p-1) = 1 for the Mersenne primes 2^127 - 1 and 2^521 - 1.
  for (std::size_t k : {127u, 521u}) {
    const BigInt p = (BigInt(1) << k) - BigInt(1);
    EXPECT_EQ(crypto::ModExp(BigInt(3), p - BigInt(1), p), BigInt(1)) << k;
    const BigInt a = Hex("0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(crypto::ModExp(a, p, p), a) << k;
  }
}

TEST(BigIntModExp, BothPathsAgreeWithSquareAndMultiply) {
  std::mt19937 rng(3);
  for (int round = 0; round < 200; ++round) {
    const std::size_t limbs = 1 + rng() % 12;
    BigInt m = Patterned(rng, limbs) + BigInt(2);
    const BigInt base = Patterned(rng, 1 + rng() % (limbs + 2));  // sometimes above m
    const BigInt e = Patterned(rng, 1 + rng() % 4);
    ASSERT_EQ(crypto::ModExp(base, e, m), NaiveModExp(base, e, m)) << Hex(base) << " " << Hex(e) << " " << Hex(m);
  }
}

}  // namespace

// The big integers against GMP on random operands (GMP's rrandomb gives long
// runs of ones and zeros, the cases where carries and quotient estimates go
// wrong), and the RSA commands with key pairs that OpenSSL generates here.
#include <gmp.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "crypto/bigint.h"
#include "crypto/library.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

using crypto::BigInt;
using crypto::Bytes;
using testing_support::BytesArg;
using testing_support::MakeHostByteArray;
using testing_support::RandomBytes;
using testing_support::ResultText;
using testing_support::TestHost;
using testing_support::TextArg;

namespace {

class Mpz {
 public:
  Mpz() { mpz_init(v_); }
  explicit Mpz(const BigInt& x) {
    mpz_init(v_);
    const Bytes b = crypto::BigIntToBytes(x);
    mpz_import(v_, b.size(), 1, 1, 1, 0, b.data());
  }
  ~Mpz() { mpz_clear(v_); }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  mpz_ptr get() { return v_; }
  mpz_srcptr get() const { return v_; }

  BigInt ToBigInt() const {
    Bytes b((mpz_sizeinbase(v_, 2) + 7) / 8 + 1);
    std::size_t count = 0;
    mpz_export(b.data(), &count, 1, 1, 1, 0, v_);
    b.resize(count);
    return crypto::BytesToBigInt(b);
  }
  std::string Text(int base) const {
    std::unique_ptr<char, void (*)(void*)> s(mpz_get_str(nullptr, base, v_), &std::free);
    return s.get();
  }

 private:
  mpz_t v_;
};

class Random {
 public:
  explicit Random(unsigned long seed) {
    gmp_randinit_default(state_);
    gmp_randseed_ui(state_, seed);
  }
  ~Random() { gmp_randclear(state_); }
  unsigned long Below(unsigned long n) { return gmp_urandomm_ui(state_, n); }
  // Up to `bits` bits, half the time with long runs of equal bits.
  BigInt Number(unsigned long bits) {
    Mpz x;
    if (Below(2) == 0) {
      mpz_rrandomb(x.get(), state_, bits);
    } else {
      mpz_urandomb(x.get(), state_, bits);
    }
    return x.ToBigInt();
  }

 private:
  gmp_randstate_t state_;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
std::string Hex(const BigInt& x) { return crypto::BytesToHex(crypto::BigIntToBytes(x)); }

TEST(BigIntOracle, ArithmeticMatchesGmp) {
  Random rng(1);
  for (int round = 0; round < 3000; ++round) {
    const BigInt a = rng.Number(1 + rng.Below(3000));
    const BigInt b = rng.Number(1 + rng.Below(round % 2 == 0 ? 3000 : 200));
    Mpz ga(a), gb(b), g;
    mpz_mul(g.get(), ga.get(), gb.get());
    ASSERT_EQ(a * b, g.ToBigInt()) << Hex(a) << " * " << Hex(b);
    mpz_add(g.get(), ga.get(), gb.get());
    ASSERT_EQ(a + b, g.ToBigInt());
    if (a >= b) {
      mpz_sub(g.get(), ga.get(), gb.get());
      ASSERT_EQ(a - b, g.ToBigInt());
    }
    const unsigned long shift = rng.Below(200);
    mpz_mul_2exp(g.get(), ga.get(), shift);
    ASSERT_EQ(a << shift, g.ToBigInt());
    mpz_fdiv_q_2exp(g.get(), ga.get(), shift);
    ASSERT_EQ(a >> shift, g.ToBigInt());
    if (b.IsZero()) continue;
    BigInt q, r;
    BigInt::DivMod(a, b, &q, &r);
    Mpz gq, gr;
    mpz_fdiv_qr(gq.get(), gr.get(), ga.get(), gb.get());
    ASSERT_EQ(q, gq.ToBigInt()) << Hex(a) << " / " << Hex(b);
    ASSERT_EQ(r, gr.ToBigInt()) << Hex(a) << " % " << Hex(b);
  }
}

TEST(BigIntOracle, ModExpMatchesGmpForOddAndEvenModuli) {
  Random rng(2);
  for (int round = 0; round < 400; ++round) {
    const unsigned long bits = round < 20 ? 2048 : 2 + rng.Below(round % 4 == 0 ? 2100 : 600);
    BigInt m = rng.Number(bits);
    if (m < BigInt(2)) m = m + BigInt(2);
    if (round % 2 == 0 && !m.IsOdd()) m = m + BigInt(1);
    const BigInt base = rng.Number(bits + rng.Below(80));  // sometimes above the modulus
    const BigInt e = rng.Number(1 + rng.Below(round < 20 ? 2048 : bits));
    Mpz gm(m), gb(base), ge(e), g;
    mpz_powm(g.get(), gb.get(), ge.get(), gm.get());
    ASSERT_EQ(crypto::ModExp(base, e, m), g.ToBigInt())
        << "base " << Hex(base) << " e " << Hex(e) << " m " << Hex(m);
  }
}

TEST(BigIntOracle, DecimalAndHexTextsMatchGmp) {
  Random rng(3);
  for (int round = 0; round < 300; ++round) {
    const BigInt x = rng.Number(1 + rng.Below(round < 10 ? 40000 : 2000));
    const Mpz gx(x);
    const std::string decimal = gx.Text(10);
    ASSERT_EQ(crypto::BigIntToDecimal(x), decimal);
    ASSERT_EQ(crypto::DecimalToBigInt(decimal), x);
    std::string hex = Upper(gx.Text(16));
    if (hex.size() % 2 != 0) hex = "0" + hex;
    ASSERT_EQ(Hex(x), hex);
    ASSERT_EQ(crypto::BytesToBigInt(crypto::HexToBytes(Lower(gx.Text(16)))), x) << "odd length, lower case";
  }
}

// A key pair from OpenSSL's generator, as hex texts.
struct KeyPair {
  std::string n, e, d;
  std::shared_ptr<EVP_PKEY> key;
};

std::string BnParam(EVP_PKEY* key, const char* name) {
  BIGNUM* bn = nullptr;
  if (EVP_PKEY_get_bn_param(key, name, &bn) != 1) return {};
  char* hex = BN_bn2hex(bn);
  std::string s(hex);
  OPENSSL_free(hex);
  BN_free(bn);
  return s;
}

KeyPair Generate(int bits) {
  KeyPair k;
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
  EVP_PKEY* key = nullptr;
  if (ctx != nullptr && EVP_PKEY_keygen_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, bits) == 1) {
    EVP_PKEY_generate(ctx, &key);
  }
  EVP_PKEY_CTX_free(ctx);
  if (key == nullptr) return k;
  k.key.reset(key, &EVP_PKEY_free);
  k.n = BnParam(key, OSSL_PKEY_PARAM_RSA_N);
  k.e = BnParam(key, OSSL_PKEY_PARAM_RSA_E);
  k.d = BnParam(key, OSSL_PKEY_PARAM_RSA_D);
  return k;
}

Bytes OracleMd5(const Bytes& data) {
  Bytes d(16);
  unsigned int n = 0;
  EVP_Digest(data.data(), data.size(), d.data(), &n, EVP_md5(), nullptr);
  return d;
}

// OpenSSL's raw public operation (no padding) on a signature text: s^e mod n
// as bytes of the modulus length.
Bytes OraclePublic(const KeyPair& k, const std::string& signature) {
  const std::size_t size = crypto::HexToBytes(k.n).size();
  Bytes s = crypto::HexToBytes(signature);
  s.insert(s.begin(), size - s.size(), 0);
  Bytes out(size);
  std::size_t out_size = size;
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(k.key.get(), nullptr);
  const bool ok = ctx != nullptr && EVP_PKEY_verify_recover_init(ctx) == 1 &&
                  EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) == 1 &&
                  EVP_PKEY_verify_recover(ctx, out.data(), &out_size, s.data(), s.size()) == 1;
  EVP_PKEY_CTX_free(ctx);
  if (!ok) return {};
  out.resize(out_size);
  return out;
}

std::string Sign(const Bytes& data, const std::string& d, const std::string& n) {
  const auto block = MakeHostByteArray(data);
  CommandArg args[] = {BytesArg(block), TextArg(d.c_str()), TextArg(n.c_str())};
  CommandResult r{};
  crypto::rsaen(&r, 3, args);
  const char* t = ResultText(r);
  return t == nullptr ? std::string() : std::string(t);
}

bool Verify(const Bytes& data, const std::string& s, const std::string& e, const std::string& n) {
  const auto block = MakeHostByteArray(data);
  CommandArg args[] = {BytesArg(block), TextArg(s.c_str()), TextArg(e.c_str()), TextArg(n.c_str())};
  CommandResult r{};
  crypto::rsade(&r, 4, args);
  EXPECT_TRUE(r.value == 0 || crypto::GetWordAt(&r, 1) == -1) << "a logical is 0 or all bits set";
  return r.value != 0;
}

class RsaOracle : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    keys_ = new std::vector<KeyPair>{Generate(1024), Generate(2048)};
  }
  static void TearDownTestSuite() {
    delete keys_;
    keys_ = nullptr;
  }
  static const KeyPair& Key(int bits) { return (*keys_)[bits == 1024 ? 0 : 1]; }
  static std::vector<KeyPair>* keys_;
};
std::vector<KeyPair>* RsaOracle::keys_ = nullptr;

TEST_P(RsaOracle, SignaturesAgreeWithOpenSslAndVerify) {
  const KeyPair& k = Key(GetParam());
  ASSERT_FALSE(k.n.empty() || k.d.empty() || k.e.empty()) << "OpenSSL key generation";
  ASSERT_EQ(crypto::HexToBytes(k.n).size() * 8, static_cast<std::size_t>(GetParam()));
  TestHost host;
  for (std::size_t size : {1u, 3u, 64u, 1000u, 100000u}) {
    const Bytes data = RandomBytes(size, static_cast<std::uint32_t>(size + GetParam()));
    const std::string s = Sign(data, k.d, k.n);
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s.size() % 2, 0u);
    EXPECT_EQ(Upper(s), s);
    EXPECT_NE(s.compare(0, 2, "00"), 0) << "shortest form";

    // The value: GMP's powm of the digest, and OpenSSL's public operation undoes it.
    const Bytes md5 = OracleMd5(data);
    Mpz m(crypto::BytesToBigInt(md5)), d(crypto::BytesToBigInt(crypto::HexToBytes(k.d))),
        n(crypto::BytesToBigInt(crypto::HexToBytes(k.n))), g;
    mpz_powm(g.get(), m.get(), d.get(), n.get());
    EXPECT_EQ(crypto::BytesToBigInt(crypto::HexToBytes(s)), g.ToBigInt());
    Bytes expected(crypto::HexToBytes(k.n).size() - 16, 0);
    expected.insert(expected.end(), md5.begin(), md5.end());
    EXPECT_EQ(OraclePublic(k, s), expected);

    EXPECT_TRUE(Verify(data, s, k.e, k.n));
    EXPECT_TRUE(Verify(data, Lower(s), Lower(k.e), Lower(k.n)));
    EXPECT_TRUE(Verify(data, "0000" + s, k.e, k.n));
    EXPECT_EQ(Sign(data, Lower(k.d), Lower(k.n)), s);
    Bytes changed = data;
    changed[0] ^= 1;
    EXPECT_FALSE(Verify(changed, s, k.e, k.n));
  }
}

INSTANTIATE_TEST_SUITE_P(KeySizes, RsaOracle, ::testing::Values(1024, 2048));

}  // namespace

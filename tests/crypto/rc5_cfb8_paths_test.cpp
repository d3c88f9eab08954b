// RC5's 8-bit CFB decryption runs many blocks side by side, on AVX2 where the
// processor has it and in portable code otherwise. Each path must give the
// bytes of the mode's definition over EncryptBlock, and the same chaining
// value after it: at every length, across calls split anywhere, in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "crypto/ciphers/rc5.h"
#include "crypto/library.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

namespace {

using crypto::Bytes;
using testing_support::RandomBytes;
using testing_support::ToHex;

// Parameter: the AVX2 code on (skipped where the processor lacks AVX2) or off.
class Rc5Cfb8Paths : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    const bool available = crypto::Rc5UseAvx2(GetParam());
    if (GetParam() && !available) GTEST_SKIP() << "no AVX2 on this processor";
  }
  void TearDown() override { crypto::Rc5UseAvx2(true); }
};

// A key of random length, a random chaining value and ciphertext, and the
// plaintext that the definition gives for them: byte by byte, T := E(CV),
// p := c xor T[0], CV shifts in c.
struct Case {
  Bytes key, iv, cipher, plain, chain_after;
};

Case MakeCase(std::size_t n, std::uint32_t seed) {
  Case k;
  k.key = RandomBytes(1 + seed % 64, seed);
  k.iv = RandomBytes(8, seed + 1);
  k.cipher = RandomBytes(n, seed + 2);
  crypto::Rc5 e;
  e.SetKey(k.key.data(), static_cast<std::uint32_t>(8 * k.key.size()), nullptr);
  Bytes cv = k.iv, t(8);
  for (std::uint8_t c : k.cipher) {
    e.EncryptBlock(cv.data(), t.data());
    k.plain.push_back(static_cast<std::uint8_t>(c ^ t[0]));
    cv.erase(cv.begin());
    cv.push_back(c);
  }
  k.chain_after = cv;
  return k;
}

// Decrypts c.cipher from c.iv at buf (c.cipher copied there first, so that
// buf == out decrypts in place), in calls of the given lengths, cycled.
void Decrypt(const Case& c, std::uint8_t* buf, std::uint8_t* out, const std::vector<std::size_t>& calls,
             Bytes* chain) {
  crypto::Rc5 d;
  d.SetKey(c.key.data(), static_cast<std::uint32_t>(8 * c.key.size()), nullptr);
  d.LoadIV(c.iv.data());
  if (!c.cipher.empty()) std::memcpy(buf, c.cipher.data(), c.cipher.size());
  const std::size_t n = c.cipher.size();
  for (std::size_t pos = 0, k = 0; pos < n || k == 0; ++k) {
    const std::size_t len = std::min(calls[k % calls.size()], n - pos);
    d.Cfb8Decrypt(buf + pos, out + pos, static_cast<std::uint32_t>(len));
    pos += len;
  }
  chain->assign(8, 0);
  d.ReadChain(chain->data());
}

// Where got first differs from want; want.size() when it does not.
std::size_t FirstDifference(const Bytes& want, const std::uint8_t* got) {
  return static_cast<std::size_t>(std::mismatch(want.begin(), want.end(), got).first - want.begin());
}

TEST_P(Rc5Cfb8Paths, EveryLengthUpTo300InOneCall) {
  // Lengths around the groups of both paths (4 and 32 bytes) and the tails
  // after them; out of place and in place.
  for (std::size_t n = 0; n <= 300; ++n) {
    SCOPED_TRACE("length " + std::to_string(n));
    const Case c = MakeCase(n, static_cast<std::uint32_t>(1000 + n));
    Bytes buf(n + 1), out(n + 1), chain;
    Decrypt(c, buf.data(), out.data(), {n}, &chain);
    EXPECT_EQ(ToHex(out.data(), n), ToHex(c.plain));
    EXPECT_EQ(ToHex(chain), ToHex(c.chain_after));
    Decrypt(c, buf.data(), buf.data(), {n}, &chain);
    EXPECT_EQ(ToHex(buf.data(), n), ToHex(c.plain)) << "in place";
    EXPECT_EQ(ToHex(chain), ToHex(c.chain_after)) << "in place";
    if (HasFailure()) break;
  }
}

TEST_P(Rc5Cfb8Paths, LargeInputsSplitAtOddPoints) {
  // The chaining value carries over between calls: calls that end inside a
  // group, right after one, or take nothing must give one call's bytes.
  const std::vector<std::vector<std::size_t>> splits = {
      {1 << 30}, {1, 31, 32, 33, 3, 64, 95, 7, 0, 200, 4, 5}, {33}, {37, 1000, 2}, {8192}};
  for (std::size_t n : {std::size_t{4096 + 13}, std::size_t{65536 + 7}, std::size_t{100003}}) {
    const Case c = MakeCase(n, static_cast<std::uint32_t>(n));
    for (std::size_t s = 0; s < splits.size(); ++s) {
      SCOPED_TRACE("length " + std::to_string(n) + " split " + std::to_string(s));
      // Odd offsets: the vector loads and stores take any alignment.
      Bytes buf(n + 3), out(n + 5), chain;
      Decrypt(c, buf.data() + 3, out.data() + 5, splits[s], &chain);
      EXPECT_EQ(FirstDifference(c.plain, out.data() + 5), n);
      EXPECT_EQ(ToHex(chain), ToHex(c.chain_after));
      Decrypt(c, buf.data() + 3, buf.data() + 3, splits[s], &chain);
      EXPECT_EQ(FirstDifference(c.plain, buf.data() + 3), n) << "in place";
      EXPECT_EQ(ToHex(chain), ToHex(c.chain_after)) << "in place";
    }
  }
}

TEST_P(Rc5Cfb8Paths, DecodebinInvertsEncodebinWithRc5) {
  // The patch road: encodebin encrypts byte by byte, decodebin decrypts
  // through the side-by-side code.
  testing_support::TestHost host;
  for (const char* key : {"", "a patch key text"}) {
    for (std::size_t n : {1, 3, 4, 5, 31, 32, 33, 36, 63, 64, 65, 299, 8191, 8192, 8193, 50001}) {
      SCOPED_TRACE(std::string("key \"") + key + "\" length " + std::to_string(n));
      const Bytes data = RandomBytes(n, static_cast<std::uint32_t>(7 * n + 1));
      const Bytes block = testing_support::MakeHostByteArray(data);
      CommandArg enc_args[3] = {testing_support::BytesArg(block), testing_support::TextArg(key),
                                testing_support::IntArg(14)};
      CommandResult enc{};
      crypto::encodebin(&enc, 3, enc_args);
      const char* text = testing_support::ResultText(enc);
      ASSERT_NE(text, nullptr);
      CommandArg dec_args[3] = {testing_support::TextArg(text), testing_support::TextArg(key),
                                testing_support::IntArg(14)};
      CommandResult dec{};
      crypto::decodebin(&dec, 3, dec_args);
      EXPECT_EQ(ToHex(testing_support::ResultBytes(dec)), ToHex(data));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothPaths, Rc5Cfb8Paths, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Avx2" : "Portable"; });

}  // namespace

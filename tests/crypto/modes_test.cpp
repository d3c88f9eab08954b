// The chaining modes, checked over a toy block cipher (so the expected bytes
// come from a plain reference of each mode, independent of any real cipher),
// at both block sizes.
#include "crypto/block_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "crypto/ciphers/rc5.h"
#include "crypto/digests/sha1.h"
#include "tests/support/hex.h"

using crypto::BlockCipherError;
using crypto::Bytes;
using crypto::ChainingMode;
using testing_support::RandomBytes;
using testing_support::ToHex;

namespace {

// A keyed bijection on B-byte blocks: add the key bytes, then rotate the block
// by one byte. Weak, but every output byte depends on the key and position.
template <std::size_t B>
class Toy final : public crypto::BlockCipherN<B> {
 public:
  static const crypto::CipherClass kClass;
  const crypto::CipherClass& Class() const override { return kClass; }
  void ScheduleKey(const void* key, std::uint32_t bits) override {
    std::memset(k_, 0, B);
    std::memcpy(k_, key, bits / 8 < B ? bits / 8 : B);
  }
  void EncryptBlock(const void* in, void* out) override {
    this->CheckKey();
    std::uint8_t t[B];
    const auto* x = static_cast<const std::uint8_t*>(in);
    for (std::size_t i = 0; i < B; ++i) t[i] = static_cast<std::uint8_t>(x[i] + k_[i] + i);
    auto* y = static_cast<std::uint8_t*>(out);
    for (std::size_t i = 0; i < B; ++i) y[i] = t[(i + 1) % B];
  }
  void DecryptBlock(const void* in, void* out) override {
    this->CheckKey();
    std::uint8_t t[B];
    const auto* y = static_cast<const std::uint8_t*>(in);
    for (std::size_t i = 0; i < B; ++i) t[(i + 1) % B] = y[i];
    auto* x = static_cast<std::uint8_t*>(out);
    for (std::size_t i = 0; i < B; ++i) x[i] = static_cast<std::uint8_t>(t[i] - k_[i] - i);
  }

 private:
  std::uint8_t k_[B] = {};
};
template <std::size_t B>
const crypto::CipherClass Toy<B>::kClass = {100, "Toy", 256, static_cast<std::int32_t>(8 * B), nullptr,
                                            nullptr};

const Bytes kKey = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// Reference modes written straight from their definitions, over whole buffers.
template <std::size_t B>
struct Reference {
  Toy<B> e;
  Bytes iv;
  Reference() {
    e.SetKey(kKey.data(), 128, nullptr);
    iv.assign(B, 0);
    e.EncryptBlock(iv.data(), iv.data());  // IV = E(0)
  }
  Bytes E(Bytes b) {
    e.EncryptBlock(b.data(), b.data());
    return b;
  }
  // One call over `in`, the chaining value running on in *chain (from the IV
  // when none is given).
  Bytes Run(ChainingMode mode, const Bytes& in, bool decrypt, Bytes* chain = nullptr) {
    Bytes start = iv;
    Bytes& cv = chain != nullptr ? *chain : start;
    Bytes out(in.size());
    std::size_t pos = 0;
    if (mode == ChainingMode::Cfb8Bit) {
      for (std::size_t i = 0; i < in.size(); ++i) {
        const std::uint8_t t = E(cv)[0];
        out[i] = in[i] ^ t;
        cv.erase(cv.begin());
        cv.push_back(decrypt ? in[i] : out[i]);
      }
      return out;
    }
    for (; pos + B <= in.size(); pos += B) {
      Bytes x(in.begin() + pos, in.begin() + pos + B), y(B);
      switch (mode) {
        case ChainingMode::Cbc:
          if (!decrypt) {
            for (std::size_t i = 0; i < B; ++i) x[i] ^= cv[i];
            y = cv = E(x);
          } else {
            Bytes d = x;
            e.DecryptBlock(d.data(), d.data());
            for (std::size_t i = 0; i < B; ++i) y[i] = d[i] ^ cv[i];
            cv = x;
          }
          break;
        case ChainingMode::CfbBlock:
          cv = E(cv);
          for (std::size_t i = 0; i < B; ++i) y[i] = x[i] ^ cv[i];
          cv = decrypt ? x : y;
          break;
        case ChainingMode::Ofb:
          cv = E(cv);
          for (std::size_t i = 0; i < B; ++i) y[i] = x[i] ^ cv[i];
          break;
        case ChainingMode::Ctr: {
          const Bytes t = E(cv);
          Increment(cv);
          for (std::size_t i = 0; i < B; ++i) y[i] = x[i] ^ t[i];
          break;
        }
        default:
          break;
      }
      std::copy(y.begin(), y.end(), out.begin() + pos);
    }
    if (pos < in.size()) {
      // Every block mode's tail takes E(CV), its first r bytes. CTR then
      // counts the tail as a block; the others keep E(CV) as the chain.
      const Bytes t = E(cv);
      if (mode == ChainingMode::Ctr)
        Increment(cv);
      else
        cv = t;
      for (std::size_t i = pos; i < in.size(); ++i) out[i] = in[i] ^ t[i - pos];
    }
    return out;
  }
  static void Increment(Bytes& counter) {
    for (std::size_t i = B; i-- > 0;)
      if (++counter[i] != 0) break;
  }
};

const ChainingMode kModes[] = {ChainingMode::Cbc, ChainingMode::Cfb8Bit, ChainingMode::CfbBlock,
                               ChainingMode::Ofb, ChainingMode::Ctr};

template <std::size_t B>
void CheckAgainstReference() {
  Reference<B> ref;
  const std::size_t lengths[] = {0, 1, B - 1, B, B + 1, 3 * B, 3 * B + 3, 8192, 8193};
  for (ChainingMode mode : kModes) {
    for (std::size_t n : lengths) {
      const Bytes plain = RandomBytes(n, static_cast<std::uint32_t>(n * 7 + static_cast<int>(mode)));
      const Bytes expected = ref.Run(mode, plain, false);
      SCOPED_TRACE(testing::Message() << "B=" << B << " mode=" << static_cast<int>(mode) << " n=" << n);
      Toy<B> c;
      c.SetKey(kKey.data(), 128, nullptr);
      c.SetCipherMode(mode);
      Bytes out(n);
      c.EncryptBytes(plain.data(), out.data(), static_cast<std::uint32_t>(n));
      EXPECT_EQ(ToHex(out), ToHex(expected));

      // In place gives the same bytes; decryption from a reset chain gives the input back.
      Bytes inplace = plain;
      c.ResetChain();
      c.EncryptBytes(inplace.data(), inplace.data(), static_cast<std::uint32_t>(n));
      EXPECT_EQ(inplace, expected);
      c.ResetChain();
      c.DecryptBytes(inplace.data(), inplace.data(), static_cast<std::uint32_t>(n));
      EXPECT_EQ(inplace, plain);
      EXPECT_EQ(ref.Run(mode, expected, true), plain);

      // Split calls carry the chain on: after whole blocks as one call over
      // all the bytes (after any split for 8-bit CFB); after a partial block
      // from the chain its tail left, E(CV) in CBC, block CFB and OFB, the
      // next counter in CTR. Decryption split the same way gives the input.
      for (std::size_t j : {std::size_t{0}, std::size_t{1}, B, B + 3, 2 * B, 2 * B + 1}) {
        if (j > n) continue;
        SCOPED_TRACE(testing::Message() << "split at " << j);
        Bytes chain = ref.iv;
        Bytes want = ref.Run(mode, Bytes(plain.begin(), plain.begin() + j), false, &chain);
        const Bytes rest = ref.Run(mode, Bytes(plain.begin() + j, plain.end()), false, &chain);
        want.insert(want.end(), rest.begin(), rest.end());
        if (j % B == 0 || mode == ChainingMode::Cfb8Bit) {
          EXPECT_EQ(want, expected);
        }
        Bytes split(n);
        c.ResetChain();
        c.EncryptBytes(plain.data(), split.data(), static_cast<std::uint32_t>(j));
        c.EncryptBytes(plain.data() + j, split.data() + j, static_cast<std::uint32_t>(n - j));
        EXPECT_EQ(ToHex(split), ToHex(want));
        c.ResetChain();
        c.DecryptBytes(split.data(), split.data(), static_cast<std::uint32_t>(j));
        c.DecryptBytes(split.data() + j, split.data() + j, static_cast<std::uint32_t>(n - j));
        EXPECT_EQ(split, plain) << "decrypted";
      }
    }
  }
}

TEST(Modes, MatchReferenceAt64BitBlocks) { CheckAgainstReference<8>(); }
TEST(Modes, MatchReferenceAt128BitBlocks) { CheckAgainstReference<16>(); }

template <std::size_t B>
void CheckEdgeCases() {
  Toy<B> c;
  // Without a key every checking operation raises, even for n = 0, and writes nothing.
  std::uint8_t buf[2 * B] = {};
  const std::vector<std::function<void()>> checking = {
      [&] { c.CbcEncrypt(buf, buf, 0); },      [&] { c.CbcDecrypt(buf, buf, 0); },
      [&] { c.Cfb8Encrypt(buf, buf, 0); },     [&] { c.Cfb8Decrypt(buf, buf, 0); },
      [&] { c.CfbBlockEncrypt(buf, buf, 0); }, [&] { c.CfbBlockDecrypt(buf, buf, 0); },
      [&] { c.OfbEncrypt(buf, buf, 0); },      [&] { c.OfbDecrypt(buf, buf, 0); },
      [&] { c.CtrEncrypt(buf, buf, 0); },      [&] { c.CtrDecrypt(buf, buf, 0); },
      [&] { c.ResetChain(); },                 [&] { c.LoadIV(buf); },
      [&] { c.ReadChain(buf); },               [&] { c.EncryptToBase64(Bytes{}); },
  };
  for (std::size_t i = 0; i < checking.size(); ++i) {
    try {
      checking[i]();
      ADD_FAILURE() << "operation " << i << " did not raise";
    } catch (const BlockCipherError& e) {
      EXPECT_STREQ(e.what(), "Cipher not initialized") << i;
    }
  }

  c.SetKey(kKey.data(), 128, nullptr);
  Bytes zero(B, 0), e0(B);
  c.EncryptBlock(zero.data(), e0.data());
  Bytes chain(B);
  c.ReadChain(chain.data());
  EXPECT_EQ(chain, e0) << "IV = E(zero block)";

  // An explicit IV of those bytes gives the same outputs in every mode.
  Toy<B> d;
  d.SetKey(kKey.data(), 128, e0.data());
  for (ChainingMode mode : kModes) {
    const Bytes plain = RandomBytes(3 * B + 2, 9);
    Bytes a(plain.size()), b(plain.size());
    c.ResetChain();
    d.ResetChain();
    c.SetCipherMode(mode);
    d.SetCipherMode(mode);
    c.EncryptBytes(plain.data(), a.data(), static_cast<std::uint32_t>(plain.size()));
    d.EncryptBytes(plain.data(), b.data(), static_cast<std::uint32_t>(plain.size()));
    EXPECT_EQ(a, b) << static_cast<int>(mode);
  }

  // n = 0 leaves the chain as it was.
  c.ResetChain();
  c.CbcEncrypt(buf, buf, 0);
  c.ReadChain(chain.data());
  EXPECT_EQ(chain, e0);

  // A short CBC input is the input xor E(IV), and the chain becomes E(IV).
  Bytes short_in = RandomBytes(B - 3, 5), short_out(B - 3);
  c.CbcEncrypt(short_in.data(), short_out.data(), static_cast<std::uint32_t>(short_in.size()));
  Bytes eiv(B);
  c.EncryptBlock(e0.data(), eiv.data());
  for (std::size_t i = 0; i < short_in.size(); ++i) EXPECT_EQ(short_out[i], short_in[i] ^ eiv[i]);
  c.ReadChain(chain.data());
  EXPECT_EQ(chain, eiv);

  // LoadIV then ReadChain gives the loaded bytes.
  const Bytes iv = RandomBytes(B, 11);
  c.LoadIV(iv.data());
  c.ReadChain(chain.data());
  EXPECT_EQ(chain, iv);

  // After 8-bit CFB over at least B bytes the chain holds the last B ciphertext bytes.
  const Bytes p = RandomBytes(B + 5, 12);
  Bytes q(p.size());
  c.ResetChain();
  c.Cfb8Encrypt(p.data(), q.data(), static_cast<std::uint32_t>(p.size()));
  c.ReadChain(chain.data());
  EXPECT_EQ(chain, Bytes(q.end() - B, q.end()));

  // WipeKey refills IV and chain with 0xFF; a new key works again.
  c.WipeKey();
  EXPECT_FALSE(c.Initialised());
  EXPECT_THROW(c.ReadChain(chain.data()), BlockCipherError);
}

TEST(Modes, EdgeCasesAt64BitBlocks) { CheckEdgeCases<8>(); }
TEST(Modes, EdgeCasesAt128BitBlocks) { CheckEdgeCases<16>(); }

TEST(Modes, CounterCarry) {
  struct Case {
    const char* iv;
    const char* second;  // the counter block of the second block
  };
  const Case cases[] = {
      {"00000000000000ff", "0000000000000100"},
      {"11223344556600ff", "1122334455660100"},
      {"ffffffffffffffff", "0000000000000000"},
      {"00ffffffffffffff", "0100000000000000"},
  };
  for (const auto& k : cases) {
    Toy<8> c;
    const Bytes iv = testing_support::FromHex(k.iv);
    c.SetKey(kKey.data(), 128, iv.data());
    Bytes zero(16, 0), out(16);
    c.CtrEncrypt(zero.data(), out.data(), 16);  // keystream: E(IV), E(IV + 1)
    Bytes expected = testing_support::FromHex(k.second);
    c.EncryptBlock(expected.data(), expected.data());
    EXPECT_EQ(ToHex(Bytes(out.begin() + 8, out.end())), ToHex(expected)) << k.iv;
  }
}

TEST(Modes, CbcAndBlockCfbTailsRoundTrip) {
  // 11 bytes with B = 8: one block and a 3-byte tail, same length both ways.
  for (ChainingMode mode : {ChainingMode::Cbc, ChainingMode::CfbBlock}) {
    crypto::Rc5 c;
    c.InitFromText("key", crypto::Sha1::kClass);
    c.SetCipherMode(mode);
    const Bytes plain = RandomBytes(11, 4);
    Bytes enc(11), dec(11);
    c.EncryptBytes(plain.data(), enc.data(), 11);
    c.ResetChain();
    c.DecryptBytes(enc.data(), dec.data(), 11);
    EXPECT_EQ(dec, plain) << static_cast<int>(mode);
  }
}

TEST(Modes, Rc5EightBitCfbMatchesItsBlockFunction) {
  // RC5 runs 8-bit CFB on its own inlined rounds: hold it to the mode's
  // definition over its EncryptBlock, with the chain carried across calls of
  // every length from 0 to 9, and in place for decryption.
  const std::size_t kKeyBytes[] = {1, 16, 20, 256};
  for (std::size_t key_bytes : kKeyBytes) {
    SCOPED_TRACE(testing::Message() << "key bytes " << key_bytes);
    const Bytes key = RandomBytes(key_bytes, static_cast<std::uint32_t>(40 + key_bytes));
    crypto::Rc5 c, e;
    c.SetKey(key.data(), static_cast<std::uint32_t>(8 * key_bytes), nullptr);
    e.SetKey(key.data(), static_cast<std::uint32_t>(8 * key_bytes), nullptr);
    Bytes cv(8), t(8);
    c.ReadChain(cv.data());
    const Bytes plain = RandomBytes(500, static_cast<std::uint32_t>(key_bytes));
    Bytes expected(plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
      e.EncryptBlock(cv.data(), t.data());
      expected[i] = static_cast<std::uint8_t>(plain[i] ^ t[0]);
      cv.erase(cv.begin());
      cv.push_back(expected[i]);
    }
    Bytes got(plain.size()), back = expected, chain(8);
    for (std::size_t pos = 0, k = 0; pos < plain.size(); ++k) {
      const std::size_t len = std::min(k % 10, plain.size() - pos);
      c.Cfb8Encrypt(plain.data() + pos, got.data() + pos, static_cast<std::uint32_t>(len));
      pos += len;
    }
    EXPECT_EQ(ToHex(got), ToHex(expected));
    c.ReadChain(chain.data());
    EXPECT_EQ(chain, cv);
    c.ResetChain();
    for (std::size_t pos = 0, k = 0; pos < plain.size(); ++k) {
      const std::size_t len = std::min(k % 10, plain.size() - pos);
      c.Cfb8Decrypt(back.data() + pos, back.data() + pos, static_cast<std::uint32_t>(len));
      pos += len;
    }
    EXPECT_EQ(back, plain);
    c.ReadChain(chain.data());
    EXPECT_EQ(chain, cv);
  }
}

TEST(Modes, OfbAndCtrAreTheirOwnInverse) {
  for (ChainingMode mode : {ChainingMode::Ofb, ChainingMode::Ctr}) {
    Toy<16> a, b;
    a.SetKey(kKey.data(), 128, nullptr);
    b.SetKey(kKey.data(), 128, nullptr);
    a.SetCipherMode(mode);
    b.SetCipherMode(mode);
    const Bytes plain = RandomBytes(50, 8);
    Bytes x(50), y(50);
    a.EncryptBytes(plain.data(), x.data(), 50);
    b.DecryptBytes(plain.data(), y.data(), 50);
    EXPECT_EQ(x, y);
  }
}

}  // namespace

// ICE, Thin-ICE, ICE-2, MARS, MISTY1, RC2 and RC4: the class facts, the key
// sizes each accepts and how short keys are padded, where the MARS S-box comes
// from, and RC4's keystream across calls, chunks and ResetChain. The published
// vectors themselves run in cipher_vectors_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/ciphers/ice.h"
#include "crypto/ciphers/mars.h"
#include "crypto/ciphers/misty1.h"
#include "crypto/ciphers/rc2.h"
#include "crypto/ciphers/rc4.h"
#include "crypto/ciphers/table.h"
#include "crypto/digests/sha1.h"
#include "tests/support/hex.h"

namespace {

using testing_support::FromHex;
using testing_support::RandomBytes;
using testing_support::ToHex;
using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------- class facts

struct Facts {
  std::int32_t number;  // the library's algorithm number
  const crypto::CipherClass* cls;
  std::int32_t id;
  const char* name;
  std::int32_t max_key_bits;
  std::int32_t block_bits;
  std::int32_t sha1_key_bits;  // what the commands key it with
};

const Facts kFacts[] = {
    {6, &crypto::Ice::kClass, 20, "ICE", 64, 64, 64},
    {7, &crypto::ThinIce::kClass, 21, "ThinICE", 64, 64, 64},
    {8, &crypto::Ice2::kClass, 22, "ICE2", 128, 64, 128},
    {10, &crypto::Mars::kClass, 23, "MARS", 1248, 128, 160},
    {11, &crypto::Misty1::kClass, 24, "MISTY1", 128, 64, 128},
    {12, &crypto::Rc2::kClass, 25, "RC2", 1024, 64, 160},
    {13, &crypto::Rc4::kClass, 26, "RC4", 2048, -1, 160},
};

TEST(Ciphers2Classes, FactsAndTableRows) {
  for (const auto& f : kFacts) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(f.cls->id, f.id);
    EXPECT_STREQ(f.cls->name, f.name);
    EXPECT_EQ(f.cls->max_key_bits, f.max_key_bits);
    EXPECT_EQ(f.cls->block_bits, f.block_bits);
    EXPECT_EQ(crypto::FindCipher(f.number), f.cls);
    EXPECT_EQ(crypto::KeyBitsFromSha1(*f.cls), f.sha1_key_bits);
    std::unique_ptr<crypto::Cipher> c(f.cls->create(nullptr));
    EXPECT_EQ(&c->Class(), f.cls);
    EXPECT_EQ(c->MaxKeyBits(), f.max_key_bits);
    EXPECT_FALSE(c->Initialised());
    // Only RC4 sits directly under Cipher.
    EXPECT_EQ(dynamic_cast<crypto::BlockCipher*>(c.get()) == nullptr, f.block_bits == -1);
  }
}

TEST(Ciphers2Classes, IceLevels) {
  crypto::ThinIce thin;
  crypto::Ice ice;
  crypto::Ice2 ice2;
  const crypto::IceBase* levels[] = {&thin, &ice, &ice2};
  const int rounds[] = {8, 16, 32};
  for (int level = 0; level < 3; ++level) {
    EXPECT_EQ(levels[level]->Level(), level);
    EXPECT_EQ(levels[level]->Rounds(), rounds[level]);
  }
  // Same 64-bit key, different round counts: the outputs must differ (a
  // level stuck at one round count would make them equal).
  const Bytes key = FromHex("deadbeef01234567"), pt = FromHex("fedcba9876543210");
  Bytes a(8), b(8), c(8);
  thin.SetKey(key.data(), 64, nullptr);
  ice.SetKey(key.data(), 64, nullptr);
  ice2.SetKey(key.data(), 64, nullptr);
  thin.EncryptBlock(pt.data(), a.data());
  ice.EncryptBlock(pt.data(), b.data());
  ice2.EncryptBlock(pt.data(), c.data());
  EXPECT_EQ(ToHex(a), "de240d83a00a9cc0");
  EXPECT_EQ(ToHex(b), "7d6ef1ef30d47a96");
  EXPECT_NE(ToHex(c), ToHex(b));
}

// ------------------------------------------------------------------ key sizes

std::unique_ptr<crypto::Cipher> Make(const crypto::CipherClass& cls) {
  return std::unique_ptr<crypto::Cipher>(cls.create(nullptr));
}

void ExpectInvalidKeySize(crypto::Cipher& c, const Bytes& key, std::uint32_t bits) {
  SCOPED_TRACE("bits " + std::to_string(bits));
  try {
    c.SetKey(key.data(), bits, nullptr);
    ADD_FAILURE() << "SetKey accepted the size";
  } catch (const crypto::CipherError& e) {
    EXPECT_STREQ(e.what(), "Invalid key size");
  }
  EXPECT_FALSE(c.Initialised());
}

TEST(Ciphers2Keys, LargestKeyAcceptedOneStepMoreRefused) {
  const Bytes key = RandomBytes(300, 1);
  for (const auto& f : kFacts) {
    SCOPED_TRACE(f.name);
    const auto max = static_cast<std::uint32_t>(f.max_key_bits);
    auto c = Make(*f.cls);
    c->SetKey(key.data(), max, nullptr);
    EXPECT_TRUE(c->Initialised());
    c->SetKey(key.data(), 4, nullptr);
    EXPECT_TRUE(c->Initialised());
    // A refused size leaves the cipher without its old key.
    ExpectInvalidKeySize(*c, key, max + 4);
    ExpectInvalidKeySize(*c, key, 0);
    ExpectInvalidKeySize(*c, key, 6);
  }
}

TEST(Ciphers2Keys, MarsTakes1248BitsAndRefuses1252) {
  // The 1998 schedule's largest key, n = 39 words: the vector line's key.
  Bytes key(157);
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i);
  const Bytes pt = FromHex("00112233445566778899aabbccddeeff");
  crypto::Mars mars;
  mars.SetKey(key.data(), 1248, nullptr);
  Bytes ct(16);
  mars.EncryptBlock(pt.data(), ct.data());
  EXPECT_EQ(ToHex(ct), "ffd47b72a3d28027b0b1da4a9d6495f1");
  ExpectInvalidKeySize(mars, key, 1252);
  try {
    mars.EncryptBlock(pt.data(), ct.data());
    ADD_FAILURE() << "EncryptBlock after a refused key";
  } catch (const crypto::BlockCipherError& e) {
    EXPECT_STREQ(e.what(), "Cipher not initialized");
  }
}

// A key of `bits` bits behaves as its first bits/8 bytes zero-padded to
// `padded` bytes; the bytes after bits/8 in the buffer are never read.
struct PadCase {
  const crypto::CipherClass* cls;
  std::uint32_t bits;
  std::size_t padded;
};

const PadCase kPadCases[] = {
    {&crypto::Ice::kClass, 4, 8},       {&crypto::Ice::kClass, 12, 8},      {&crypto::Ice::kClass, 60, 8},
    {&crypto::ThinIce::kClass, 4, 8},   {&crypto::ThinIce::kClass, 36, 8},  {&crypto::Ice2::kClass, 4, 16},
    {&crypto::Ice2::kClass, 64, 16},    {&crypto::Ice2::kClass, 124, 16},   {&crypto::Misty1::kClass, 4, 16},
    {&crypto::Misty1::kClass, 72, 16},  {&crypto::Misty1::kClass, 124, 16}, {&crypto::Mars::kClass, 4, 16},
    {&crypto::Mars::kClass, 64, 16},    {&crypto::Mars::kClass, 132, 16},   {&crypto::Mars::kClass, 136, 20},
    {&crypto::Mars::kClass, 172, 24},   {&crypto::Mars::kClass, 1244, 156}, {&crypto::Rc2::kClass, 4, 1},
};

TEST(Ciphers2Keys, ShortKeysAreZeroPadded) {
  const Bytes key = RandomBytes(160, 7);
  for (const auto& c : kPadCases) {
    SCOPED_TRACE(std::string(c.cls->name) + " bits " + std::to_string(c.bits));
    Bytes padded(c.padded, 0);
    std::copy(key.begin(), key.begin() + c.bits / 8, padded.begin());
    auto short_key = Make(*c.cls), full_key = Make(*c.cls);
    auto* a = dynamic_cast<crypto::BlockCipher*>(short_key.get());
    auto* b = dynamic_cast<crypto::BlockCipher*>(full_key.get());
    ASSERT_TRUE(a != nullptr && b != nullptr);
    a->SetKey(key.data(), c.bits, nullptr);
    b->SetKey(padded.data(), static_cast<std::uint32_t>(8 * padded.size()), nullptr);
    const std::size_t block = static_cast<std::size_t>(c.cls->block_bits) / 8;
    const Bytes pt = RandomBytes(block, c.bits);
    Bytes x(block), y(block);
    a->EncryptBlock(pt.data(), x.data());
    b->EncryptBlock(pt.data(), y.data());
    EXPECT_EQ(ToHex(x), ToHex(y)) << "padded key " << ToHex(padded);
    a->DecryptBlock(x.data(), x.data());
    EXPECT_EQ(ToHex(x), ToHex(pt));
  }
}

TEST(Ciphers2Keys, KeySizeIsPartOfTheKey) {
  // MARS takes n (T[46] = n) and RC2 takes T1 = 8 x bytes, so a key and the
  // same key zero-padded to a longer whole size must differ.
  const Bytes key = RandomBytes(24, 11);
  Bytes padded = key;
  std::fill(padded.begin() + 20, padded.end(), 0);
  for (const crypto::CipherClass* cls : {&crypto::Mars::kClass, &crypto::Rc2::kClass}) {
    SCOPED_TRACE(cls->name);
    auto a = Make(*cls), b = Make(*cls);
    auto* x = dynamic_cast<crypto::BlockCipher*>(a.get());
    auto* y = dynamic_cast<crypto::BlockCipher*>(b.get());
    x->SetKey(key.data(), 160, nullptr);
    y->SetKey(padded.data(), 192, nullptr);
    const std::size_t block = static_cast<std::size_t>(cls->block_bits) / 8;
    const Bytes pt(block, 0);
    Bytes u(block), v(block);
    x->EncryptBlock(pt.data(), u.data());
    y->EncryptBlock(pt.data(), v.data());
    EXPECT_NE(ToHex(u), ToHex(v));
  }
}

TEST(Ciphers2Keys, KeyFromTextMatchesTheSha1AbcLines) {
  // InitFromText("abc") keys with SHA-1("abc") (20 bytes), and the IV is then
  // E(zero block): the ct of the vectors' SHA-1("abc") lines.
  struct Case {
    const crypto::CipherClass* cls;
    const char* iv;
  };
  const Case kCases[] = {{&crypto::Mars::kClass, "42a6a4510ef6fae17aa1866fd52700af"},
                         {&crypto::Rc2::kClass, "b0f176322822cf9a"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.cls->name);
    auto cipher = Make(*c.cls);
    cipher->InitFromText("abc", crypto::Sha1::kClass);
    auto* b = dynamic_cast<crypto::BlockCipher*>(cipher.get());
    Bytes chain(static_cast<std::size_t>(c.cls->block_bits) / 8);
    b->ReadChain(chain.data());
    EXPECT_EQ(ToHex(chain), c.iv);
  }
}

// ----------------------------------------------------------------- MARS S-box

// S[5i+k] = word k of SHA-1(5i, c1, c2, c3), all little-endian, through this
// library's own SHA-1.
std::vector<std::uint32_t> GeneratedMarsSbox() {
  std::vector<std::uint32_t> s;
  for (std::uint32_t i = 0; s.size() < 512; ++i) {
    const std::uint32_t words[4] = {5 * i, 0xb7e15162u, 0x243f6a88u, 0x02917d59u};
    std::uint8_t in[16], digest[20];
    for (int w = 0; w < 4; ++w)
      for (int b = 0; b < 4; ++b) in[4 * w + b] = static_cast<std::uint8_t>(words[w] >> (8 * b));
    crypto::Sha1 sha;
    sha.StartDigest();
    sha.AddBytes(in, 16);
    sha.FinishDigest(digest);
    for (int k = 0; k < 5 && s.size() < 512; ++k)
      s.push_back(static_cast<std::uint32_t>(digest[4 * k]) | static_cast<std::uint32_t>(digest[4 * k + 1]) << 8 |
                  static_cast<std::uint32_t>(digest[4 * k + 2]) << 16 |
                  static_cast<std::uint32_t>(digest[4 * k + 3]) << 24);
  }
  return s;
}

int EqualBytes(std::uint32_t a, std::uint32_t b) {
  int n = 0;
  for (int k = 0; k < 4; ++k) n += ((a >> (8 * k)) & 0xFF) == ((b >> (8 * k)) & 0xFF);
  return n;
}

TEST(Ciphers2Mars, SboxIsTheSha1TableWithNineFixes) {
  const auto generated = GeneratedMarsSbox();
  std::vector<int> changed;
  for (int i = 0; i < 512; ++i)
    if (crypto::Mars::kSbox[i] != generated[i]) changed.push_back(i);
  EXPECT_EQ(changed, (std::vector<int>{17, 67, 76, 131, 147, 210, 297, 351, 420}));
  // The fixes exist for this property: within S0 and within S1 any two entries
  // differ in at least three bytes. The raw SHA-1 table breaks it at each
  // changed index.
  for (int half = 0; half < 512; half += 256)
    for (int i = half; i < half + 256; ++i)
      for (int j = i + 1; j < half + 256; ++j)
        ASSERT_LE(EqualBytes(crypto::Mars::kSbox[i], crypto::Mars::kSbox[j]), 1) << i << " " << j;
  for (int i : changed) {
    bool clash = false;
    for (int j = i / 256 * 256; j < i / 256 * 256 + 256; ++j)
      if (j != i && EqualBytes(generated[i], generated[j]) >= 2) clash = true;
    EXPECT_TRUE(clash) << i;
  }
}

// ------------------------------------------------------------------------ RC4

Bytes Rc4Run(crypto::Rc4& rc4, const Bytes& in) {
  Bytes out(in.size());
  rc4.EncryptBytes(in.data(), out.data(), static_cast<std::uint32_t>(in.size()));
  return out;
}

void Key(crypto::Rc4& rc4, const Bytes& key) {
  rc4.SetKey(key.data(), static_cast<std::uint32_t>(8 * key.size()), nullptr);
}

TEST(Ciphers2Rc4, ChunkedCallsEqualOneCall) {
  const Bytes key = RandomBytes(20, 3), data = RandomBytes(700, 4);
  crypto::Rc4 one;
  Key(one, key);
  const Bytes whole = Rc4Run(one, data);
  // Every split point into two calls, then uneven runs of many calls.
  for (std::size_t split = 0; split <= data.size(); ++split) {
    crypto::Rc4 two;
    Key(two, key);
    Bytes out(data.size());
    two.EncryptBytes(data.data(), out.data(), static_cast<std::uint32_t>(split));
    two.EncryptBytes(data.data() + split, out.data() + split, static_cast<std::uint32_t>(data.size() - split));
    ASSERT_EQ(ToHex(out), ToHex(whole)) << "split at " << split;
  }
  for (std::size_t step : {1u, 7u, 255u, 256u, 257u}) {
    crypto::Rc4 many;
    Key(many, key);
    Bytes out(data.size());
    for (std::size_t i = 0; i < data.size(); i += step) {
      const std::size_t k = std::min(step, data.size() - i);
      many.DecryptBytes(data.data() + i, out.data() + i, static_cast<std::uint32_t>(k));
    }
    EXPECT_EQ(ToHex(out), ToHex(whole)) << "steps of " << step;
  }
}

TEST(Ciphers2Rc4, InPlaceEqualsOutOfPlace) {
  const Bytes key = RandomBytes(16, 5), data = RandomBytes(300, 6);
  crypto::Rc4 a, b;
  Key(a, key);
  Key(b, key);
  Bytes buf = data;
  b.EncryptBytes(buf.data(), buf.data(), static_cast<std::uint32_t>(buf.size()));
  EXPECT_EQ(ToHex(buf), ToHex(Rc4Run(a, data)));
}

TEST(Ciphers2Rc4, ResetChainRestartsTheKeystream) {
  const Bytes key = RandomBytes(20, 8), zeros(64, 0);
  crypto::Rc4 rc4;
  Key(rc4, key);
  const Bytes first = Rc4Run(rc4, zeros);
  const Bytes second = Rc4Run(rc4, zeros);
  EXPECT_NE(ToHex(first), ToHex(second)) << "the keystream runs on between calls";
  rc4.ResetChain();
  EXPECT_EQ(ToHex(Rc4Run(rc4, zeros)), ToHex(first));
  rc4.ResetChain();
  rc4.ResetChain();
  Bytes both = first;
  both.insert(both.end(), second.begin(), second.end());
  Bytes zeros128(128, 0);
  EXPECT_EQ(ToHex(Rc4Run(rc4, zeros128)), ToHex(both));
}

TEST(Ciphers2Rc4, NewKeyStartsAFreshKeystream) {
  const Bytes k1 = RandomBytes(20, 9), k2 = RandomBytes(5, 10), zeros(40, 0);
  crypto::Rc4 fresh, reused;
  Key(fresh, k2);
  Key(reused, k1);
  Rc4Run(reused, zeros);
  Key(reused, k2);
  EXPECT_EQ(ToHex(Rc4Run(reused, zeros)), ToHex(Rc4Run(fresh, zeros)));
  // The iv argument means nothing to a stream cipher.
  const Bytes iv(16, 0xAB);
  reused.SetKey(k2.data(), 40, iv.data());
  fresh.ResetChain();
  EXPECT_EQ(ToHex(Rc4Run(reused, zeros)), ToHex(Rc4Run(fresh, zeros)));
}

void ExpectRc4NotInitialised(crypto::Rc4& rc4, const char* when) {
  SCOPED_TRACE(when);
  Bytes buf(8, 0);
  for (int op = 0; op < 2; ++op) {
    for (std::uint32_t n : {0u, 8u}) {
      try {
        if (op == 0)
          rc4.EncryptBytes(buf.data(), buf.data(), n);
        else
          rc4.DecryptBytes(buf.data(), buf.data(), n);
        ADD_FAILURE() << "no error, n = " << n;
      } catch (const crypto::BlockCipherError&) {
        ADD_FAILURE() << "a stream cipher raises CipherError, not BlockCipherError";
      } catch (const crypto::CipherError& e) {
        EXPECT_STREQ(e.what(), "Cipher not initialized");
      }
    }
  }
  EXPECT_EQ(ToHex(buf), "0000000000000000");
  rc4.ResetChain();  // nothing to restart, and no error
}

TEST(Ciphers2Rc4, NeedsAKey) {
  crypto::Rc4 rc4;
  ExpectRc4NotInitialised(rc4, "before SetKey");
  const Bytes key = RandomBytes(256, 12);
  rc4.SetKey(key.data(), 2048, nullptr);
  EXPECT_TRUE(rc4.Initialised());
  rc4.WipeKey();
  EXPECT_FALSE(rc4.Initialised());
  ExpectRc4NotInitialised(rc4, "after WipeKey");
  rc4.SetKey(key.data(), 160, nullptr);
  ExpectInvalidKeySize(rc4, key, 2052);
  ExpectRc4NotInitialised(rc4, "after a refused key");
}

TEST(Ciphers2Rc4, TextKeyAndBase64Path) {
  // SHA-1("abc") keys the vectors' 160-bit line: its keystream starts 9c5c0a6a.
  const Bytes stream = FromHex("9c5c0a6aeabe7e546e9d511fb4c82f0dc851a58cef4f28fbadeaecc852c78637");
  const Bytes data = RandomBytes(stream.size(), 13);
  Bytes expected = data;
  for (std::size_t i = 0; i < data.size(); ++i) expected[i] ^= stream[i];
  crypto::Rc4 rc4;
  rc4.InitFromText("abc", crypto::Sha1::kClass);
  const std::string text = rc4.EncryptToBase64(data);
  EXPECT_EQ(text, crypto::Base64EncodeText(expected));
  rc4.ResetChain();
  EXPECT_EQ(ToHex(rc4.DecryptFromBase64(text)), ToHex(data));
}

class MemoryStream final : public crypto::ByteStream {
 public:
  explicit MemoryStream(Bytes data = {}) : data_(std::move(data)) {}
  std::uint32_t Read(void* buffer, std::uint32_t n) override {
    const std::size_t k = std::min<std::size_t>(n, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, k);
    pos_ += k;
    return static_cast<std::uint32_t>(k);
  }
  void Write(const void* buffer, std::uint32_t n) override {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    written.insert(written.end(), p, p + n);
  }
  Bytes written;

 private:
  Bytes data_;
  std::size_t pos_ = 0;
};

TEST(Ciphers2Rc4, StreamChunksContinueTheKeystream) {
  // 8192-byte chunks, as the file commands read them: the keystream must run
  // on across chunk boundaries.
  const Bytes key = RandomBytes(20, 14);
  for (std::uint32_t n : {8191u, 8192u, 8193u, 20000u}) {
    SCOPED_TRACE(n);
    const Bytes data = RandomBytes(n, n);
    crypto::Rc4 chunked, whole;
    Key(chunked, key);
    Key(whole, key);
    MemoryStream source(data), target;
    EXPECT_EQ(chunked.EncryptStream(source, target, n), n);
    EXPECT_EQ(ToHex(target.written), ToHex(Rc4Run(whole, data)));
    MemoryStream back_source(target.written), back;
    chunked.ResetChain();
    EXPECT_EQ(chunked.DecryptStream(back_source, back, n), n);
    EXPECT_EQ(back.written, data);
  }
}

}  // namespace

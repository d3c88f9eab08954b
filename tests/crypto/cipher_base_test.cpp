// The cipher and hash base classes: key-size checks, key setup from a text,
// the base64 string path, chunked streams and the owner rule.
#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include "crypto/ciphers/rc5.h"
#include "crypto/ciphers/rijndael.h"
#include "crypto/digests/sha1.h"
#include "tests/support/hex.h"

using crypto::BlockCipherError;
using crypto::Bytes;
using crypto::CipherError;
using crypto::Rc5;
using crypto::Sha1;
using testing_support::FromHex;
using testing_support::RandomBytes;
using testing_support::ToHex;

namespace {

template <class Error, class F>
std::string MessageOf(F f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  } catch (...) {
    return "other error";
  }
  return "no error";
}

TEST(CipherBase, KeySizeChecks) {
  const Bytes key(256, 0x5a);
  struct Case {
    std::uint32_t bits;
    bool ok;
  };
  const Case cases[] = {{0, false}, {6, false}, {2052, false}, {0xfffffffcu, false},
                        {4, true},  {8, true},  {160, true},   {2048, true}};
  for (const auto& c : cases) {
    Rc5 rc5;
    const std::string m = MessageOf<CipherError>([&] { rc5.SetKey(key.data(), c.bits, nullptr); });
    EXPECT_EQ(m, c.ok ? "no error" : "Invalid key size") << c.bits;
    EXPECT_EQ(rc5.Initialised(), c.ok) << c.bits;
  }
  // A bad size on a keyed cipher leaves it without a key.
  Rc5 rc5;
  rc5.SetKey(key.data(), 128, nullptr);
  EXPECT_THROW(rc5.SetKey(key.data(), 6, nullptr), CipherError);
  std::uint8_t block[8] = {};
  EXPECT_EQ(MessageOf<BlockCipherError>([&] { rc5.CbcEncrypt(block, block, 8); }), "Cipher not initialized");
}

TEST(CipherBase, InitFromTextUsesTheDigestAsKey) {
  // Rc5 (2048-bit keys) takes all 20 bytes of SHA-1("abc").
  const Bytes digest = FromHex("a9993e364706816aba3e25717850c26c9cd0d89d");
  Rc5 from_text, direct;
  from_text.InitFromText("abc", Sha1::kClass);
  direct.SetKey(digest.data(), 160, nullptr);
  const Bytes plain = RandomBytes(37, 1);
  EXPECT_EQ(from_text.EncryptToBase64(plain), direct.EncryptToBase64(plain));

  // The empty key text keys with SHA-1 of no bytes.
  const Bytes empty_digest = FromHex("da39a3ee5e6b4b0d3255bfef95601890afd80709");
  Rc5 e1, e2;
  e1.InitFromText("", Sha1::kClass);
  e2.SetKey(empty_digest.data(), 160, nullptr);
  EXPECT_EQ(e1.EncryptToBase64(plain), e2.EncryptToBase64(plain));
}

// A hash class whose digest fails, to see the error replaced.
class FailingHash final : public crypto::Hash {
 public:
  static const crypto::HashClass kClass;
  using Hash::Hash;
  const crypto::HashClass& Class() const override { return kClass; }
  void StartDigest() override { throw crypto::HashError("boom"); }
};
const crypto::HashClass FailingHash::kClass = {99, "Failing", 160, nullptr, &crypto::CreateHash<FailingHash>};

// A hash whose digest is longer than the cipher's largest key is fine; one
// whose size the cipher refuses (here 6 bits) fails inside the guard.
class OddHash final : public crypto::Hash {
 public:
  static const crypto::HashClass kClass;
  using Hash::Hash;
  const crypto::HashClass& Class() const override { return kClass; }
};
const crypto::HashClass OddHash::kClass = {98, "Odd", 6, nullptr, &crypto::CreateHash<OddHash>};

TEST(CipherBase, InitFromTextReplacesEveryError) {
  for (const crypto::HashClass* cls : {&FailingHash::kClass, &OddHash::kClass, &crypto::Hash::kClass}) {
    Rc5 rc5;
    rc5.InitFromText("old", Sha1::kClass);
    EXPECT_EQ(MessageOf<CipherError>([&] { rc5.InitFromText("k", *cls); }),
              "Unable to allocate sufficient memory for hash digest")
        << cls->name;
    EXPECT_FALSE(rc5.Initialised()) << cls->name;
  }
}

TEST(CipherBase, EncryptToBase64IgnoresModeAndRunsTheChainOn) {
  const Bytes plain = RandomBytes(21, 2);
  std::string first;
  for (auto mode : {crypto::ChainingMode::Cbc, crypto::ChainingMode::Ctr, crypto::ChainingMode::Cfb8Bit}) {
    Rc5 rc5;
    rc5.InitFromText("key", Sha1::kClass);
    rc5.SetCipherMode(mode);
    const std::string text = rc5.EncryptToBase64(plain);
    if (first.empty()) first = text;
    EXPECT_EQ(text, first);
    EXPECT_NE(rc5.EncryptToBase64(plain), first) << "the chain runs on";
    rc5.ResetChain();
    EXPECT_EQ(rc5.EncryptToBase64(plain), first) << "after ResetChain the first text again";
  }
  Rc5 rc5;
  rc5.InitFromText("key", Sha1::kClass);
  EXPECT_EQ(rc5.EncryptToBase64(Bytes{}), "");
  EXPECT_TRUE(rc5.DecryptFromBase64(std::string()).empty());
  // The decoder's length, nothing cut or added: 6 characters decode 3 bytes.
  EXPECT_EQ(rc5.DecryptFromBase64(std::string("QUJDRE")).size(), 3u);
}

class CountingSource final : public crypto::ByteStream {
 public:
  explicit CountingSource(Bytes data) : data_(std::move(data)) {}
  std::uint32_t Read(void* buffer, std::uint32_t n) override {
    ++reads;
    const std::size_t k = std::min<std::size_t>(n, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, k);
    pos_ += k;
    return static_cast<std::uint32_t>(k);
  }
  void Write(const void* buffer, std::uint32_t n) override {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    written.insert(written.end(), p, p + n);
  }
  int reads = 0;
  Bytes written;

 private:
  Bytes data_;
  std::size_t pos_ = 0;
};

TEST(CipherBase, StreamsReadInFixedChunks) {
  struct Case {
    std::uint32_t n;
    int reads;
  };
  for (const Case c : {Case{0, 0}, Case{8192, 1}, Case{8193, 2}, Case{20000, 3}}) {
    const Bytes data = RandomBytes(c.n, c.n);
    CountingSource source(data);
    Rc5 rc5;
    rc5.InitFromText("k", Sha1::kClass);
    EXPECT_EQ(rc5.EncryptStream(source, source, c.n), c.n);
    EXPECT_EQ(source.reads, c.reads) << c.n;
    // The chunks chain as one call over all the bytes.
    Rc5 whole;
    whole.InitFromText("k", Sha1::kClass);
    Bytes expected(c.n);
    whole.EncryptBytes(data.data(), expected.data(), c.n);
    EXPECT_EQ(source.written, expected) << c.n;

    CountingSource back(source.written);
    Rc5 dec;
    dec.InitFromText("k", Sha1::kClass);
    EXPECT_EQ(dec.DecryptStream(back, back, c.n), c.n);
    EXPECT_EQ(back.written, data);

    CountingSource hashed(data);
    Sha1 h1, h2;
    h1.StartDigest();
    h1.AddStream(hashed, c.n);
    EXPECT_EQ(hashed.reads, c.reads);
    h2.StartDigest();
    h2.AddBytes(data.data(), c.n);
    std::uint8_t d1[20], d2[20];
    h1.FinishDigest(d1);
    h2.FinishDigest(d2);
    EXPECT_EQ(ToHex(d1, 20), ToHex(d2, 20));
  }
  // A source that ends early gives reads of 0 bytes; the count of reads stays.
  CountingSource short_source(RandomBytes(100, 3));
  Rc5 rc5;
  rc5.InitFromText("k", Sha1::kClass);
  EXPECT_EQ(rc5.EncryptStream(short_source, short_source, 20000), 100u);
  EXPECT_EQ(short_source.reads, 3);
}

TEST(CipherBase, ClassLevelFacts) {
  EXPECT_EQ(Rc5::kClass.id, 3);
  EXPECT_STREQ(Rc5::kClass.name, "RC5");
  EXPECT_EQ(Rc5::kClass.max_key_bits, 2048);
  EXPECT_EQ(Rc5::kClass.block_bits, 64);
  EXPECT_EQ(Sha1::kClass.id, 2);
  EXPECT_STREQ(Sha1::kClass.name, "SHA1");
  EXPECT_EQ(Sha1::kClass.digest_bits, 160);
  // Base classes answer -1 and the empty name.
  EXPECT_EQ(crypto::Cipher::kClass.id, -1);
  EXPECT_EQ(crypto::Hash::kClass.digest_bits, -1);
  EXPECT_STREQ(crypto::Hash::kClass.name, "");
  // Objects answer for their class; the virtual constructor makes the right one.
  std::unique_ptr<crypto::Cipher> made(Rc5::kClass.create(nullptr));
  EXPECT_EQ(made->AlgorithmId(), 3);
  EXPECT_FALSE(made->Initialised());
  crypto::Hash plain_hash;
  plain_hash.AddBytes("x", 1);  // the base class's own AddBytes does nothing
  EXPECT_EQ(plain_hash.AlgorithmId(), -1);
}

TEST(CipherBase, OwnerDestroysOwned) {
  static int destroyed = 0;
  struct Probe : crypto::Component {
    using Component::Component;
    ~Probe() override { ++destroyed; }
  };
  destroyed = 0;
  {
    auto* owner = new Probe;
    new Probe(owner);
    auto* early = new Probe(owner);
    delete early;  // destroyed before its owner: not destroyed twice
    EXPECT_EQ(destroyed, 1);
    delete owner;
  }
  EXPECT_EQ(destroyed, 3);
}

}  // namespace

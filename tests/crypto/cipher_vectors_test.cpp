// The cipher rows of the algorithm table against tests/data/vectors/ciphers.txt,
// plus the behaviour every block cipher class shares. One runner for all rows:
// a row joins as soon as the table gives it a class.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "crypto/block_modes.h"
#include "crypto/ciphers/rijndael.h"
#include "crypto/ciphers/table.h"
#include "tests/support/hex.h"
#include "tests/support/vectors.h"

namespace {

using testing_support::FromHex;
using testing_support::RandomBytes;
using testing_support::ToHex;
using testing_support::VectorRecord;
using Bytes = std::vector<std::uint8_t>;

bool AnyLine(const VectorRecord&) { return true; }
// This library's RC2 takes T1 = 8 x key bytes.
bool Rc2EffectiveIsKeyBits(const VectorRecord& r) {
  return r.Has("effective") && std::stoul(r.Get("effective")) == 8 * r.Bytes("key").size();
}
bool TeaBigEndian(const VectorRecord& r) { return r.GetOr("words", "") == "be"; }
bool GostTestSboxes(const VectorRecord& r) { return r.GetOr("sbox", "") == "R3411-94-Test"; }

// Which lines of ciphers.txt belong to each algorithm number.
struct Selection {
  std::int32_t number;
  const char* name;  // the file's cipher= value
  bool (*accept)(const VectorRecord&);
};

constexpr Selection kSelections[] = {
    {1, "Blowfish", &AnyLine},   {2, "CAST-128", &AnyLine},
    {3, "CAST-256", &AnyLine},   {4, "DES", &AnyLine},
    {5, "3DES", &AnyLine},       {6, "ICE", &AnyLine},
    {7, "Thin-ICE", &AnyLine},   {8, "ICE-2", &AnyLine},
    {9, "IDEA", &AnyLine},       {10, "MARS-1998", &AnyLine},
    {11, "MISTY1", &AnyLine},    {12, "RC2", &Rc2EffectiveIsKeyBits},
    {13, "RC4", &AnyLine},       {14, "RC5", &AnyLine},
    {15, "RC6", &AnyLine},       {16, "AES", &AnyLine},
    {17, "Serpent", &AnyLine},   {18, "TEA", &TeaBigEndian},
    {19, "Twofish", &AnyLine},   {20, "GOST", &GostTestSboxes},
};
static_assert(sizeof kSelections / sizeof kSelections[0] == crypto::kCipherCount, "one selection per row");

const std::vector<VectorRecord>& CipherFile() {
  static const auto records = testing_support::ReadVectorFile(std::string(VECTORS_DIR) + "/ciphers.txt");
  return records;
}

std::vector<const VectorRecord*> LinesFor(const Selection& s) {
  std::vector<const VectorRecord*> lines;
  for (const auto& r : CipherFile())
    if (r.GetOr("cipher", "") == s.name && s.accept(r)) lines.push_back(&r);
  return lines;
}

struct Row {
  const crypto::CipherEntry* entry;
  const Selection* selection;
  std::string Name() const {
    return std::to_string(entry->number) + " " + entry->name + " (" + selection->name + ")";
  }
};

// The rows with a block cipher class. Stream ciphers (block_bits -1) encrypt
// byte streams, not blocks: StreamKnownAnswers checks those.
std::vector<Row> BlockRows() {
  std::vector<Row> rows;
  const crypto::CipherEntry* table = crypto::CipherTable();
  for (int i = 0; i < crypto::kCipherCount; ++i) {
    const auto& e = table[i];
    if (e.cipher == nullptr || e.cipher->block_bits == -1) continue;
    rows.push_back({&e, &kSelections[i]});
  }
  return rows;
}

std::unique_ptr<crypto::BlockCipher> Create(const crypto::CipherClass& c) {
  crypto::Cipher* p = c.create(nullptr);
  auto* b = dynamic_cast<crypto::BlockCipher*>(p);
  if (b == nullptr) delete p;
  return std::unique_ptr<crypto::BlockCipher>(b);
}

std::size_t BlockBytes(const Row& row) { return static_cast<std::size_t>(row.entry->cipher->block_bits) / 8; }

void SetKey(crypto::BlockCipher& c, const Bytes& key) {
  c.SetKey(key.data(), static_cast<std::uint32_t>(8 * key.size()), nullptr);
}

// ECB over whole blocks, out of place.
Bytes Encrypt(crypto::BlockCipher& c, const Bytes& in, std::size_t block) {
  Bytes out(in.size());
  for (std::size_t i = 0; i + block <= in.size(); i += block) c.EncryptBlock(in.data() + i, out.data() + i);
  return out;
}
Bytes Decrypt(crypto::BlockCipher& c, const Bytes& in, std::size_t block) {
  Bytes out(in.size());
  for (std::size_t i = 0; i + block <= in.size(); i += block) c.DecryptBlock(in.data() + i, out.data() + i);
  return out;
}

TEST(CipherVectors, EveryRowHasASelectionWithLines) {
  const crypto::CipherEntry* table = crypto::CipherTable();
  for (int i = 0; i < crypto::kCipherCount; ++i) {
    SCOPED_TRACE(table[i].name);
    EXPECT_EQ(kSelections[i].number, table[i].number);
    // A typo in the map would make a row's check vacuous once it is implemented.
    EXPECT_FALSE(LinesFor(kSelections[i]).empty()) << kSelections[i].name;
  }
}

TEST(CipherVectors, RowsCreateTheirClass) {
  for (const auto& row : BlockRows()) {
    SCOPED_TRACE(row.Name());
    const auto cipher = Create(*row.entry->cipher);
    ASSERT_NE(cipher, nullptr);
    EXPECT_EQ(&cipher->Class(), row.entry->cipher);
    EXPECT_EQ(cipher->BlockBits(), row.entry->cipher->block_bits);
    EXPECT_TRUE(cipher->BlockBits() == 64 || cipher->BlockBits() == 128) << cipher->BlockBits();
    EXPECT_FALSE(cipher->Initialised());
  }
}

TEST(CipherVectors, KnownAnswers) {
  const auto rows = BlockRows();
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name());
    const auto lines = LinesFor(*row.selection);
    ASSERT_FALSE(lines.empty());
    const std::size_t block = BlockBytes(row);
    // One object keyed again for every line: a new key must replace all of the old schedule.
    const auto reused = Create(*row.entry->cipher);
    for (const VectorRecord* line : lines) {
      SCOPED_TRACE(line->Describe());
      const Bytes key = line->Bytes("key"), pt = line->Bytes("pt"), ct = line->Bytes("ct");
      ASSERT_EQ(pt.size(), ct.size());
      ASSERT_TRUE(!pt.empty() && pt.size() % block == 0) << pt.size();

      const auto fresh = Create(*row.entry->cipher);
      SetKey(*fresh, key);
      EXPECT_EQ(ToHex(Encrypt(*fresh, pt, block)), ToHex(ct));
      EXPECT_EQ(ToHex(Decrypt(*fresh, ct, block)), ToHex(pt));

      SetKey(*reused, key);
      EXPECT_EQ(ToHex(Encrypt(*reused, pt, block)), ToHex(ct)) << "after re-keying";
      EXPECT_EQ(ToHex(Decrypt(*reused, ct, block)), ToHex(pt)) << "after re-keying";

      if (line->Has("libkey")) {
        const Bytes libkey = line->Bytes("libkey");
        ASSERT_EQ(libkey.size(), 20u);
        SetKey(*fresh, libkey);
        EXPECT_EQ(ToHex(Encrypt(*fresh, pt, block)), ToHex(ct)) << "160-bit libkey";
        EXPECT_EQ(ToHex(Decrypt(*fresh, ct, block)), ToHex(pt)) << "160-bit libkey";
      }
    }
  }
}

// The stream rows (RC4): ct is pt XOR the keystream from its first byte, via
// EncryptBytes under a fresh key; after ResetChain, DecryptBytes gives pt back.
TEST(CipherVectors, StreamKnownAnswers) {
  int rows = 0;
  const crypto::CipherEntry* table = crypto::CipherTable();
  for (int i = 0; i < crypto::kCipherCount; ++i) {
    const auto& e = table[i];
    if (e.cipher == nullptr || e.cipher->block_bits != -1) continue;
    ++rows;
    SCOPED_TRACE(std::to_string(e.number) + " " + e.name);
    ASSERT_NE(e.cipher->run_self_test, nullptr);
    EXPECT_TRUE(e.cipher->run_self_test());
    const auto lines = LinesFor(kSelections[i]);
    ASSERT_FALSE(lines.empty());
    for (const VectorRecord* line : lines) {
      SCOPED_TRACE(line->Describe());
      const Bytes key = line->Bytes("key"), pt = line->Bytes("pt"), ct = line->Bytes("ct");
      ASSERT_EQ(pt.size(), ct.size());
      const auto n = static_cast<std::uint32_t>(pt.size());
      std::unique_ptr<crypto::Cipher> c(e.cipher->create(nullptr));
      EXPECT_EQ(dynamic_cast<crypto::BlockCipher*>(c.get()), nullptr);
      c->SetKey(key.data(), static_cast<std::uint32_t>(8 * key.size()), nullptr);
      Bytes out(pt.size());
      c->EncryptBytes(pt.data(), out.data(), n);
      EXPECT_EQ(ToHex(out), ToHex(ct));
      c->ResetChain();
      c->DecryptBytes(ct.data(), out.data(), n);
      EXPECT_EQ(ToHex(out), ToHex(pt));
    }
  }
  EXPECT_GT(rows, 0);
}

TEST(CipherVectors, InPlaceEqualsOutOfPlace) {
  for (const auto& row : BlockRows()) {
    SCOPED_TRACE(row.Name());
    const std::size_t block = BlockBytes(row);
    const auto cipher = Create(*row.entry->cipher);
    for (const VectorRecord* line : LinesFor(*row.selection)) {
      SCOPED_TRACE(line->Describe());
      SetKey(*cipher, line->Bytes("key"));
      const Bytes pt = line->Bytes("pt"), ct = line->Bytes("ct");
      Bytes buf = pt;
      for (std::size_t i = 0; i + block <= buf.size(); i += block) cipher->EncryptBlock(buf.data() + i, buf.data() + i);
      EXPECT_EQ(ToHex(buf), ToHex(ct));
      for (std::size_t i = 0; i + block <= buf.size(); i += block) cipher->DecryptBlock(buf.data() + i, buf.data() + i);
      EXPECT_EQ(ToHex(buf), ToHex(pt));
    }
  }
}

TEST(CipherVectors, SelfTestsPass) {
  for (const auto& row : BlockRows()) {
    SCOPED_TRACE(row.Name());
    ASSERT_NE(row.entry->cipher->run_self_test, nullptr);
    EXPECT_TRUE(row.entry->cipher->run_self_test());
  }
}

void ExpectNotInitialised(crypto::BlockCipher& c, std::size_t block, const char* when) {
  SCOPED_TRACE(when);
  Bytes in(block, 0x5A), out(block, 0);
  for (int op = 0; op < 2; ++op) {
    try {
      if (op == 0)
        c.EncryptBlock(in.data(), out.data());
      else
        c.DecryptBlock(in.data(), out.data());
      ADD_FAILURE() << (op == 0 ? "EncryptBlock" : "DecryptBlock") << " did not throw";
    } catch (const crypto::BlockCipherError& e) {
      EXPECT_STREQ(e.what(), "Cipher not initialized");
    }
  }
}

TEST(CipherVectors, BlocksNeedAKey) {
  for (const auto& row : BlockRows()) {
    SCOPED_TRACE(row.Name());
    const std::size_t block = BlockBytes(row);
    const auto cipher = Create(*row.entry->cipher);
    ExpectNotInitialised(*cipher, block, "before SetKey");
    const auto lines = LinesFor(*row.selection);
    ASSERT_FALSE(lines.empty());
    SetKey(*cipher, lines.front()->Bytes("key"));
    cipher->WipeKey();
    EXPECT_FALSE(cipher->Initialised());
    ExpectNotInitialised(*cipher, block, "after WipeKey");
    // Wiping leaves the object usable for a new key.
    const Bytes pt = lines.front()->Bytes("pt"), ct = lines.front()->Bytes("ct");
    SetKey(*cipher, lines.front()->Bytes("key"));
    EXPECT_EQ(ToHex(Encrypt(*cipher, pt, block)), ToHex(ct));
  }
}

// LibTomCrypt's check: 1000 encryptions then 1000 decryptions must come back
// to the start (a wrong inverse round rarely cancels over so many steps).
TEST(CipherVectors, ThousandEncryptionsThenThousandDecryptions) {
  for (const auto& row : BlockRows()) {
    SCOPED_TRACE(row.Name());
    const std::size_t block = BlockBytes(row);
    const auto cipher = Create(*row.entry->cipher);
    std::vector<Bytes> keys;
    for (const VectorRecord* line : LinesFor(*row.selection)) keys.push_back(line->Bytes("key"));
    // The library's own key size, from SHA-1 (20 bytes, or fewer for a smaller cipher).
    keys.push_back(RandomBytes(static_cast<std::size_t>(crypto::KeyBitsFromSha1(*row.entry->cipher)) / 8, 77));
    for (const Bytes& key : keys) {
      SCOPED_TRACE("key " + ToHex(key));
      SetKey(*cipher, key);
      const Bytes start = RandomBytes(block, static_cast<std::uint32_t>(key.size()));
      Bytes x = start;
      // An odd count: under a weak DES key (0101010101010101 is one of the
      // vectors) encryption is its own inverse, so an even count comes back.
      for (int i = 0; i < 1001; ++i) cipher->EncryptBlock(x.data(), x.data());
      EXPECT_NE(ToHex(x), ToHex(start));
      for (int i = 0; i < 1001; ++i) cipher->DecryptBlock(x.data(), x.data());
      EXPECT_EQ(ToHex(x), ToHex(start));
    }
  }
}

// Rijndael's own choices: the class facts and how key sizes other than
// 128/192/256 are padded (the bytes after bits/8 are ignored).
TEST(Rijndael, ClassFacts) {
  const auto& c = crypto::Rijndael::kClass;
  EXPECT_EQ(c.id, 4);
  EXPECT_STREQ(c.name, "Rijndael");
  EXPECT_EQ(c.max_key_bits, 256);
  EXPECT_EQ(c.block_bits, 128);
  EXPECT_EQ(crypto::FindCipher(16), &c);
  EXPECT_EQ(crypto::KeyBitsFromSha1(c), 160);
}

TEST(Rijndael, ShortKeysAreZeroPadded) {
  struct Case {
    std::uint32_t bits;
    std::size_t padded_bytes;
  };
  static const Case kCases[] = {
      {4, 16},   {8, 16},   {64, 16},  {124, 16}, {128, 16}, {132, 24}, {136, 24},
      {160, 24}, {188, 24}, {192, 24}, {196, 32}, {200, 32}, {252, 32}, {256, 32},
  };
  const Bytes key = RandomBytes(32, 2024);
  const Bytes pt = RandomBytes(16, 2025);
  for (const auto& c : kCases) {
    SCOPED_TRACE("bits " + std::to_string(c.bits));
    Bytes padded(c.padded_bytes, 0);
    std::copy(key.begin(), key.begin() + c.bits / 8, padded.begin());
    crypto::Rijndael short_key, full_key;
    short_key.SetKey(key.data(), c.bits, nullptr);
    SetKey(full_key, padded);
    Bytes a(16), b(16);
    short_key.EncryptBlock(pt.data(), a.data());
    full_key.EncryptBlock(pt.data(), b.data());
    EXPECT_EQ(ToHex(a), ToHex(b)) << "padded key " << ToHex(padded);
    short_key.DecryptBlock(a.data(), a.data());
    EXPECT_EQ(ToHex(a), ToHex(pt));
  }
}

TEST(Rijndael, KeySizesDiffer) {
  // 128-, 192- and 256-bit keys with the same leading bytes must not collide
  // (catches a round count or schedule length stuck at one size).
  const Bytes key = RandomBytes(32, 9);
  const Bytes pt(16, 0);
  std::vector<std::string> outs;
  for (std::uint32_t bits : {128u, 192u, 256u}) {
    crypto::Rijndael c;
    c.SetKey(key.data(), bits, nullptr);
    Bytes out(16);
    c.EncryptBlock(pt.data(), out.data());
    for (const auto& o : outs) EXPECT_NE(o, ToHex(out)) << bits;
    outs.push_back(ToHex(out));
  }
}

// The reader of the vector files.
TEST(VectorFile, SkipsCommentsAndSplitsAtFirstEquals) {
  const auto records = testing_support::ParseVectors(
      "# comment\n"
      "\n"
      "   \t\n"
      "cipher=AES key=00ff pt= extra=a=b\r\n"
      "  # indented comment\n"
      "digest=SHA-1 msghex=61 repeat=3");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].line, 4u);
  EXPECT_EQ(records[0].Get("cipher"), "AES");
  EXPECT_EQ(ToHex(records[0].Bytes("key")), "00ff");
  EXPECT_TRUE(records[0].Has("pt"));
  EXPECT_EQ(records[0].Get("pt"), "");
  EXPECT_EQ(records[0].Get("extra"), "a=b");
  EXPECT_EQ(records[0].GetOr("ct", "none"), "none");
  EXPECT_THROW(records[0].Get("ct"), std::runtime_error);
  EXPECT_EQ(records[1].line, 6u);
  EXPECT_EQ(records[1].Get("repeat"), "3");
}

TEST(VectorFile, RejectsMalformedLines) {
  EXPECT_THROW(testing_support::ParseVectors("cipher=AES key\n"), std::runtime_error);
  EXPECT_THROW(testing_support::ParseVectors("=00\n"), std::runtime_error);
  EXPECT_THROW(testing_support::ParseVectors("key=00 key=01\n"), std::runtime_error);
  EXPECT_THROW(testing_support::ParseVectors("key=0g\n").front().Bytes("key"), std::runtime_error);
  EXPECT_THROW(testing_support::ReadVectorFile(std::string(VECTORS_DIR) + "/no-such-file.txt"),
               std::runtime_error);
}

TEST(VectorFile, ReadsTheVectorFiles) {
  // The README gives 109 cipher lines.
  EXPECT_EQ(CipherFile().size(), 109u);
  for (const auto& r : CipherFile()) {
    SCOPED_TRACE(r.Describe());
    EXPECT_TRUE(r.Has("cipher") && r.Has("key") && r.Has("pt") && r.Has("ct"));
    EXPECT_EQ(std::to_string(8 * r.Bytes("key").size()), r.Get("keybits"));
  }
}

}  // namespace

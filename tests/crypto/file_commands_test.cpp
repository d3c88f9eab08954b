// Commands 8 and 9 on real temporary files, called as a host calls them: every
// row of the algorithm table that has a class, the lengths around the block
// and the 8192-byte chunk, the partial-block rule, the false answers, and the
// refusal to encrypt a file into itself.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "crypto/block_modes.h"
#include "crypto/ciphers/rc5.h"
#include "crypto/ciphers/table.h"
#include "crypto/digests/sha1.h"
#include "crypto/library.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

namespace {

namespace fs = std::filesystem;
using crypto::Bytes;
using testing_support::IntArg;
using testing_support::RandomBytes;
using testing_support::TextArg;
using testing_support::ToHex;

constexpr char kKey[] = "file key text";

class FileCommandsTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qelmar_file_commands_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(f.good()) << path;
  }
  static Bytes ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }

  // The command's logical answer: -1 (all bits) for true, 0 for false.
  static bool Run(CommandFunction f, const std::string& source, const std::string& destination,
                  std::int32_t algorithm, const char* key = kKey) {
    CommandArg args[4] = {TextArg(source.c_str()), TextArg(destination.c_str()), TextArg(key), IntArg(algorithm)};
    CommandResult r;
    std::memset(&r, 0, sizeof r);
    f(&r, 4, args);
    EXPECT_TRUE(r.value == 0 || r.value == 0xFFFFFFFFu) << std::hex << r.value;
    EXPECT_EQ(r.reserved, 0u);
    return r.value != 0;
  }
  bool Encode(const std::string& s, const std::string& d, std::int32_t a, const char* key = kKey) {
    return Run(&crypto::encodefile, s, d, a, key);
  }
  bool Decode(const std::string& s, const std::string& d, std::int32_t a, const char* key = kKey) {
    return Run(&crypto::decodefile, s, d, a, key);
  }

  fs::path dir_;
};

struct Row {
  std::int32_t number;
  const char* name;
  const crypto::CipherClass* cls;
  std::size_t block;  // bytes; a stream cipher is given 8 for the length choice
};

// Whatever rows have a class at the moment: each joins as soon as it is added.
std::vector<Row> RowsWithClass() {
  std::vector<Row> rows;
  const crypto::CipherEntry* table = crypto::CipherTable();
  for (int i = 0; i < crypto::kCipherCount; ++i) {
    const auto& e = table[i];
    if (e.cipher == nullptr) continue;
    rows.push_back({e.number, e.name, e.cipher, e.cipher->block_bits > 0 ? e.cipher->block_bits / 8u : 8u});
  }
  return rows;
}

// One EncryptBytes call over all the data on a cipher keyed as the commands
// key it: the file, chunk after chunk, must chain to exactly this.
Bytes OneCall(const crypto::CipherClass& cls, const Bytes& data) {
  std::unique_ptr<crypto::Cipher> c(cls.create(nullptr));
  c->InitFromText(kKey, crypto::Sha1::kClass);
  Bytes out(data.size());
  c->EncryptBytes(data.data(), out.data(), static_cast<std::uint32_t>(data.size()));
  return out;
}

TEST_F(FileCommandsTest, EveryRowRoundTripsAtEveryLength) {
  const auto rows = RowsWithClass();
  ASSERT_FALSE(rows.empty());
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.number) + " " + row.name);
    const std::size_t b = row.block;
    for (std::size_t n : {std::size_t{1}, b - 1, b, b + 1, std::size_t{8191}, std::size_t{8192}, std::size_t{8193},
                          std::size_t{100000}}) {
      SCOPED_TRACE("length " + std::to_string(n));
      const Bytes plain = RandomBytes(n, static_cast<std::uint32_t>(n + 1000 * row.number));
      const std::string p = Path("plain"), e = Path("encrypted"), d = Path("decrypted");
      WriteFile(p, plain);
      ASSERT_TRUE(Encode(p, e, row.number));
      const Bytes encrypted = ReadFile(e);
      ASSERT_EQ(encrypted.size(), n) << "no header, no padding";
      EXPECT_EQ(ToHex(encrypted), ToHex(OneCall(*row.cls, plain))) << "chunks chain as one call";
      if (n >= 8) {
        EXPECT_NE(encrypted, plain);
      }
      ASSERT_TRUE(Decode(e, d, row.number));
      EXPECT_EQ(ToHex(ReadFile(d)), ToHex(plain));
      EXPECT_EQ(ReadFile(p), plain) << "the source is only read";
    }
  }
}

TEST_F(FileCommandsTest, EmptySourceAnswersFalseAndLeavesAnEmptyDestination) {
  for (const Row& row : RowsWithClass()) {
    SCOPED_TRACE(row.name);
    WriteFile(Path("empty"), {});
    WriteFile(Path("out"), Bytes(100, 7));
    EXPECT_FALSE(Encode(Path("empty"), Path("out"), row.number));
    ASSERT_TRUE(fs::exists(Path("out")));
    EXPECT_EQ(fs::file_size(Path("out")), 0u);
    WriteFile(Path("out"), Bytes(100, 7));
    EXPECT_FALSE(Decode(Path("empty"), Path("out"), row.number));
    EXPECT_EQ(fs::file_size(Path("out")), 0u);
  }
}

TEST_F(FileCommandsTest, AnExistingDestinationIsEmptiedFirst) {
  const Bytes plain = RandomBytes(20, 1);
  WriteFile(Path("plain"), plain);
  WriteFile(Path("out"), Bytes(50000, 0xAA));
  ASSERT_TRUE(Encode(Path("plain"), Path("out"), 14));
  EXPECT_EQ(fs::file_size(Path("out")), 20u);
  ASSERT_TRUE(Decode(Path("out"), Path("back"), 14));
  EXPECT_EQ(ReadFile(Path("back")), plain);
}

// E(E(0)) under the key the commands derive: SHA-1 of the key text, and the IV
// E(0) made explicitly rather than through InitFromText.
Bytes DoubleEncryptedZero(crypto::BlockCipher& c, std::uint32_t key_bits) {
  crypto::Sha1 sha;
  sha.StartDigest();
  sha.AddText(kKey);
  std::uint8_t digest[20];
  sha.FinishDigest(digest);
  const std::size_t b = static_cast<std::size_t>(c.BlockBits()) / 8;
  Bytes block(b, 0);
  c.SetKey(digest, key_bits, block.data());
  c.EncryptBlock(block.data(), block.data());
  c.EncryptBlock(block.data(), block.data());
  return block;
}

TEST_F(FileCommandsTest, AFileShorterThanABlockIsXoredWithTheDoubleEncryptedZeroBlock) {
  const Bytes plain = {0x48, 0x65, 0x6C, 0x6C, 0x6F};
  crypto::Rc5 rc5;
  const Bytes pad = DoubleEncryptedZero(rc5, 160);
  Bytes expected = plain;
  for (std::size_t i = 0; i < expected.size(); ++i) expected[i] ^= pad[i];
  WriteFile(Path("five"), plain);
  ASSERT_TRUE(Encode(Path("five"), Path("enc"), 14));
  EXPECT_EQ(ToHex(ReadFile(Path("enc"))), ToHex(expected));
  // Both directions treat a lone partial block alike.
  ASSERT_TRUE(Decode(Path("five"), Path("dec"), 14));
  EXPECT_EQ(ToHex(ReadFile(Path("dec"))), ToHex(expected));
}

TEST_F(FileCommandsTest, EveryBlockRowXorsAShortFileWithTheDoubleEncryptedZeroBlock) {
  for (const Row& row : RowsWithClass()) {
    if (row.cls->block_bits <= 0) continue;
    SCOPED_TRACE(row.name);
    std::unique_ptr<crypto::Cipher> c(row.cls->create(nullptr));
    auto* block_cipher = dynamic_cast<crypto::BlockCipher*>(c.get());
    ASSERT_NE(block_cipher, nullptr);
    const Bytes pad = DoubleEncryptedZero(*block_cipher, static_cast<std::uint32_t>(crypto::KeyBitsFromSha1(*row.cls)));
    const Bytes plain = RandomBytes(row.block - 1, 5);
    Bytes expected = plain;
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] ^= pad[i];
    WriteFile(Path("short"), plain);
    ASSERT_TRUE(Encode(Path("short"), Path("enc"), row.number));
    EXPECT_EQ(ToHex(ReadFile(Path("enc"))), ToHex(expected));
  }
}

TEST_F(FileCommandsTest, ANineByteFileEndsWithAOneBytePartialBlock) {
  // One full CBC block, then CV := E(C1) for the last byte.
  const Bytes plain = RandomBytes(9, 3);
  WriteFile(Path("nine"), plain);
  ASSERT_TRUE(Encode(Path("nine"), Path("enc"), 14));
  const Bytes enc = ReadFile(Path("enc"));
  ASSERT_EQ(enc.size(), 9u);
  crypto::Rc5 rc5;
  rc5.InitFromText(kKey, crypto::Sha1::kClass);
  Bytes iv(8, 0), cv(8);
  rc5.EncryptBlock(iv.data(), iv.data());
  Bytes c1(plain.begin(), plain.begin() + 8);
  for (int i = 0; i < 8; ++i) c1[i] ^= iv[i];
  rc5.EncryptBlock(c1.data(), c1.data());
  EXPECT_EQ(ToHex(Bytes(enc.begin(), enc.begin() + 8)), ToHex(c1));
  rc5.EncryptBlock(c1.data(), cv.data());
  EXPECT_EQ(enc[8], static_cast<std::uint8_t>(plain[8] ^ cv[0]));
}

TEST_F(FileCommandsTest, AWrongKeyGivesOtherBytesOfTheSameLength) {
  const Bytes plain = RandomBytes(1000, 9);
  WriteFile(Path("plain"), plain);
  ASSERT_TRUE(Encode(Path("plain"), Path("enc"), 16));
  ASSERT_TRUE(Decode(Path("enc"), Path("dec"), 16, "another key"));
  const Bytes wrong = ReadFile(Path("dec"));
  EXPECT_EQ(wrong.size(), plain.size());
  EXPECT_NE(wrong, plain);
  // The empty key text is a key like any other.
  ASSERT_TRUE(Encode(Path("plain"), Path("enc"), 16, ""));
  ASSERT_TRUE(Decode(Path("enc"), Path("dec"), 16, ""));
  EXPECT_EQ(ReadFile(Path("dec")), plain);
}

TEST_F(FileCommandsTest, BadSourcesAndAlgorithmsAnswerFalseWithoutCreatingTheDestination) {
  WriteFile(Path("plain"), RandomBytes(100, 4));
  fs::create_directories(dir_ / "a directory");
  struct Case {
    const char* name;
    std::string source;
    std::int32_t algorithm;
  };
  const Case cases[] = {
      {"missing source", Path("missing"), 14},
      {"directory source", Path("a directory"), 14},
      {"empty source path", "", 14},
      {"algorithm 0", Path("plain"), 0},
      {"algorithm 21", Path("plain"), 21},
      {"algorithm -1", Path("plain"), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(Encode(c.source, Path("out"), c.algorithm));
    EXPECT_FALSE(Decode(c.source, Path("out"), c.algorithm));
    EXPECT_FALSE(fs::exists(Path("out")));
  }
  // Rows without a class yet select nothing either.
  const crypto::CipherEntry* table = crypto::CipherTable();
  for (int i = 0; i < crypto::kCipherCount; ++i) {
    if (table[i].cipher != nullptr) continue;
    EXPECT_FALSE(Encode(Path("plain"), Path("out"), table[i].number)) << table[i].name;
    EXPECT_FALSE(fs::exists(Path("out")));
  }
}

TEST_F(FileCommandsTest, ADestinationThatCannotBeCreatedAnswersFalse) {
  WriteFile(Path("plain"), RandomBytes(100, 4));
  EXPECT_FALSE(Encode(Path("plain"), Path("no such dir") + "/out", 14));
  fs::create_directories(dir_ / "a directory");
  EXPECT_FALSE(Encode(Path("plain"), Path("a directory"), 14));
  EXPECT_FALSE(Encode(Path("plain"), "", 14));
  EXPECT_TRUE(fs::is_directory(dir_ / "a directory"));
}

TEST_F(FileCommandsTest, TheSameFileAsDestinationIsRefusedAndLeftUnchanged) {
  const Bytes plain = RandomBytes(20000, 6);
  WriteFile(Path("self"), plain);
  fs::create_directories(dir_ / "sub");
  std::vector<std::pair<const char*, std::string>> spellings = {
      {"the same text", Path("self")},
      {"through \".\" and \"..\"", (dir_ / "sub" / ".." / "." / "self").string()},
  };
  std::error_code ec;
  fs::create_hard_link(Path("self"), Path("hard link"), ec);
  if (!ec) spellings.push_back({"a hard link", Path("hard link")});
#ifdef _WIN32
  std::string upper = Path("SELF");
  spellings.push_back({"another case", upper});
#else
  fs::create_symlink(Path("self"), Path("symbolic link"), ec);
  if (!ec) spellings.push_back({"a symbolic link", Path("symbolic link")});
#endif
  for (const auto& [what, destination] : spellings) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(Encode(Path("self"), destination, 14));
    EXPECT_FALSE(Decode(Path("self"), destination, 16));
    EXPECT_FALSE(Encode(destination, Path("self"), 14));
    EXPECT_EQ(ReadFile(Path("self")), plain) << "the file is left as it was";
  }
  // A different file beside it is still fine.
  EXPECT_TRUE(Encode(Path("self"), Path("other"), 14));
}

}  // namespace

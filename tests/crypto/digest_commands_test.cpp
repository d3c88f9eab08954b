// Commands 10 and 11 as a host calls them, on byte arrays and on real
// temporary files: both agree for every digest number, the CRC-32 texts keep
// their lengths (8 for bytes; 6 to 8, or empty, for files), bad input gives the
// empty text, every path closes the file, and files of 4 GiB and more are
// digested whole.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "crypto/digest_file.h"
#include "crypto/digests/table.h"
#include "crypto/file_io.h"
#include "crypto/hash.h"
#include "crypto/library.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing_support::BytesArg;
using testing_support::IntArg;
using testing_support::MakeHostByteArray;
using testing_support::RandomBytes;
using testing_support::ResultText;
using testing_support::TestHost;
using testing_support::TextArg;
using testing_support::ToHex;

std::string Text(const CommandResult& r) {
  const char* t = ResultText(r);
  return t == nullptr ? std::string() : std::string(t);
}

std::string HashBin(const Bytes& data, std::int32_t algorithm) {
  const Bytes block = MakeHostByteArray(data);
  CommandArg args[2] = {BytesArg(block), IntArg(algorithm)};
  CommandResult r;
  std::memset(&r, 0, sizeof r);
  crypto::hashbin(&r, 2, args);
  return Text(r);
}

std::string HashFile(const char* path, std::int32_t algorithm) {
  CommandArg args[2] = {TextArg(path), IntArg(algorithm)};
  CommandResult r;
  std::memset(&r, 0, sizeof r);
  crypto::hashfile(&r, 2, args);
  return Text(r);
}
std::string HashFile(const std::string& path, std::int32_t algorithm) { return HashFile(path.c_str(), algorithm); }

// The digest straight from the class the table names.
std::string ClassDigest(std::int32_t algorithm, const Bytes& m) {
  std::unique_ptr<crypto::Hash> h(crypto::FindDigest(algorithm)->create(nullptr));
  h->StartDigest();
  h->AddBytes(m.data(), static_cast<std::uint32_t>(m.size()));
  std::uint8_t out[64];
  h->FinishDigest(out);
  return ToHex(out, static_cast<std::size_t>(h->DigestBits()) / 8);
}

// Four bytes that, appended to `prefix`, make the CRC-32 of the whole equal
// `target`: the table's top bytes are all different, so the register can be
// walked back from the target one byte at a time, and the bytes that steer the
// forward run onto those table entries follow.
Bytes WithCrc(Bytes prefix, std::uint32_t target) {
  const z_crc_t* table = get_crc_table();
  std::uint32_t state = target ^ 0xFFFFFFFFu;
  int index[4];
  for (int k = 3; k >= 0; --k) {
    int i = 0;
    while ((table[i] >> 24) != (state >> 24)) ++i;
    index[k] = i;
    state = (state ^ static_cast<std::uint32_t>(table[i])) << 8;
  }
  std::uint32_t r =
      static_cast<std::uint32_t>(crc32(0L, prefix.data(), static_cast<uInt>(prefix.size()))) ^ 0xFFFFFFFFu;
  for (int k = 0; k < 4; ++k) {
    const auto b = static_cast<std::uint8_t>((r ^ static_cast<std::uint32_t>(index[k])) & 0xFF);
    prefix.push_back(b);
    r = static_cast<std::uint32_t>(table[(r ^ b) & 0xFF]) ^ (r >> 8);
  }
  return prefix;
}

std::uint32_t ZlibCrc(const Bytes& m) {
  return static_cast<std::uint32_t>(crc32(0L, m.data(), static_cast<uInt>(m.size())));
}

std::size_t OpenDescriptors() {
#ifdef __linux__
  std::size_t n = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n;
#else
  return 0;
#endif
}

class DigestCommandsTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qelmar_digest_commands_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(f.good()) << path;
    return path;
  }

  TestHost host_;
  fs::path dir_;
};

TEST(DigestCommands, CrcForgingHelperHitsItsTarget) {
  const Bytes m = WithCrc(RandomBytes(10, 1), 0x00001234u);
  EXPECT_EQ(ZlibCrc(m), 0x00001234u) << "the forging helper itself";
  EXPECT_EQ(ZlibCrc(WithCrc({}, 0)), 0u);
}

TEST_F(DigestCommandsTest, BytesAndFileAgreeForEveryDigestNumber) {
  // Lengths around the blocks and the 8192-byte read chunk.
  for (std::size_t n : {1u, 55u, 56u, 64u, 111u, 112u, 118u, 119u, 128u, 1000u, 8191u, 8192u, 8193u, 20000u}) {
    const Bytes m = RandomBytes(n, static_cast<std::uint32_t>(n * 3 + 1));
    const std::string path = Write("data.bin", m);
    for (std::int32_t a = 21; a <= 30; ++a) {
      SCOPED_TRACE("algorithm " + std::to_string(a) + ", length " + std::to_string(n));
      const std::string expected = ClassDigest(a, m);
      ASSERT_EQ(expected.size(), static_cast<std::size_t>(crypto::FindDigest(a)->digest_bits) / 4);
      EXPECT_EQ(HashBin(m, a), expected);
      EXPECT_EQ(HashFile(path, a), expected);
    }
  }
}

TEST_F(DigestCommandsTest, TextsAreLowerCaseHexOfTheDigestLength) {
  const Bytes m = RandomBytes(77, 9);
  const std::size_t lengths[] = {64, 32, 32, 32, 40, 40, 64, 96, 128, 48};
  for (std::int32_t a = 21; a <= 30; ++a) {
    const std::string t = HashBin(m, a);
    EXPECT_EQ(t.size(), lengths[a - 21]) << a;
    EXPECT_EQ(t.find_first_not_of("0123456789abcdef"), std::string::npos) << a << ": " << t;
  }
}

TEST_F(DigestCommandsTest, EmptyFileGivesTheDigestOfNoBytes) {
  const std::string path = Write("empty.bin", {});
  EXPECT_EQ(HashFile(path, 23), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(HashFile(path, 21), "5981d3f8cce7f5674752595f4ad24c184ba1c738c986d4d2eddf2bd86c3f8679");
  for (std::int32_t a = 21; a <= 30; ++a) EXPECT_EQ(HashFile(path, a), ClassDigest(a, {})) << a;
  EXPECT_EQ(HashFile(path, 31), "") << "CRC 0 of an empty file";
}

TEST_F(DigestCommandsTest, CrcTexts) {
  struct Case {
    std::uint32_t crc;
    const char* bytes_text;
    const char* file_text;
  };
  const Case cases[] = {
      {0x00000000u, "00000000", ""},  // a non-empty file whose CRC is 0
      {0x00000001u, "00000001", "000001"},   {0x00001234u, "00001234", "001234"},
      {0x0000FFFFu, "0000ffff", "00ffff"},   {0x00ABCDEFu, "00abcdef", "abcdef"},
      {0x00FFFFFFu, "00ffffff", "ffffff"},   {0x01000000u, "01000000", "1000000"},
      {0x0123ABCDu, "0123abcd", "123abcd"},  {0x0FFFFFFFu, "0fffffff", "fffffff"},
      {0x10000000u, "10000000", "10000000"}, {0xF00DCAFEu, "f00dcafe", "f00dcafe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "crc " << std::hex << c.crc);
    const Bytes m = WithCrc(RandomBytes(21, c.crc), c.crc);
    ASSERT_EQ(ZlibCrc(m), c.crc);
    EXPECT_EQ(HashBin(m, 31), c.bytes_text);
    const std::string path = Write("crc.bin", m);
    EXPECT_EQ(HashFile(path, 31), c.file_text);
    EXPECT_EQ(crypto::FileCrc32(path.c_str()), c.crc);
  }
}

TEST_F(DigestCommandsTest, FileCrcReadsAcrossManyPieces) {
  // Several 65521-byte reads and a short last one.
  const Bytes m = RandomBytes(3 * crypto::kCrcReadSize + 100, 31);
  const std::string path = Write("long.bin", m);
  EXPECT_EQ(crypto::FileCrc32(path.c_str()), ZlibCrc(m));
  char expected[9];
  std::snprintf(expected, sizeof expected, "%06x", static_cast<unsigned>(ZlibCrc(m)));
  EXPECT_EQ(HashFile(path, 31), expected);
  EXPECT_EQ(HashBin(m, 31).size(), 8u);
}

TEST_F(DigestCommandsTest, AReadErrorGivesTheEmptyText) {
  // Over several reads of both sizes (8192 for the digests, 65521 for the
  // CRC): a bad byte in the first read, at the edges of a read and in the
  // last one fails the whole file, as a file that does not open does.
  const Bytes m = RandomBytes(crypto::kCrcReadSize + 3 * crypto::kStreamChunk + 100, 41);
  const std::string path = Write("bad_sector.bin", m);
  const std::uint64_t length = m.size();
  for (std::uint64_t bad : {std::uint64_t{0}, std::uint64_t{8191}, std::uint64_t{8192},
                            std::uint64_t{crypto::kCrcReadSize - 1}, std::uint64_t{crypto::kCrcReadSize},
                            length - 1}) {
    SCOPED_TRACE(testing::Message() << "bad byte at " << bad);
    crypto::ReadFaultForTests fault(bad);
    for (std::int32_t a = 21; a <= 31; ++a) EXPECT_EQ(HashFile(path, a), "") << a;
    EXPECT_EQ(crypto::FileCrc32(path.c_str()), 0u);
  }
  EXPECT_TRUE(host_.allocations().empty()) << "no text for a file read in part";
  // A fault past the last byte is never read: the file digests whole.
  crypto::ReadFaultForTests beyond(length);
  for (std::int32_t a = 21; a <= 30; ++a) EXPECT_EQ(HashFile(path, a), ClassDigest(a, m)) << a;
  EXPECT_EQ(crypto::FileCrc32(path.c_str()), ZlibCrc(m));
}

TEST(DigestCommands, Crc32TableIsZlibs) {
  crypto::BuildCrc32Table();
  const z_crc_t* zlib_table = get_crc_table();
  for (int i = 0; i < 256; ++i) EXPECT_EQ(crypto::Crc32Table[i].load(), static_cast<std::uint32_t>(zlib_table[i])) << i;
  EXPECT_EQ(crypto::FileCrc32("no such file, surely"), 0u);
  EXPECT_EQ(crypto::FileCrc32(nullptr), 0u);
}

TEST_F(DigestCommandsTest, BadInputGivesTheEmptyText) {
  const Bytes m = RandomBytes(40, 4);
  const std::string path = Write("some.bin", m);
  for (std::int32_t a : {0, 1, 20, 32, -1, 1000, INT32_MIN}) {
    EXPECT_EQ(HashBin(m, a), "") << a;
    EXPECT_EQ(HashFile(path, a), "") << a;
  }
  for (std::int32_t a = 21; a <= 31; ++a) {
    EXPECT_EQ(HashBin({}, a), "") << "empty array, " << a;
    EXPECT_EQ(HashFile((dir_ / "missing.bin").string(), a), "") << "missing file, " << a;
    EXPECT_EQ(HashFile("", a), "") << "empty path, " << a;
    EXPECT_EQ(HashFile(nullptr, a), "") << "no path, " << a;
    EXPECT_EQ(HashFile(dir_.string(), a), "") << "a directory, " << a;
  }
  // An absent array and one of zero dimensions.
  for (std::int32_t a : {23, 31}) {
    CommandResult r;
    std::memset(&r, 0, sizeof r);
    CommandArg args[2] = {{0, kTypeBytes}, IntArg(a)};
    crypto::hashbin(&r, 2, args);
    EXPECT_EQ(r.value, 0u);
    const std::int32_t no_dimensions[2] = {0, 5};
    args[0].value = reinterpret_cast<std::uintptr_t>(no_dimensions);
    crypto::hashbin(&r, 2, args);
    EXPECT_EQ(r.value, 0u);
  }
  EXPECT_TRUE(host_.allocations().empty()) << "nothing allocated for an empty result";
}

TEST_F(DigestCommandsTest, EveryPathClosesTheFile) {
  const std::string path = Write("closed.bin", RandomBytes(100, 6));
  const std::size_t before = OpenDescriptors();
  for (std::int32_t a : {0, 20, 21, 23, 30, 31, 32}) {
    HashFile(path, a);
    EXPECT_EQ(OpenDescriptors(), before) << a;
    // An exclusive open succeeds again only when the last handle was closed.
    EXPECT_EQ(HashFile(path, 23).size(), 32u) << "after algorithm " << a;
  }
}

#ifdef _WIN32
TEST_F(DigestCommandsTest, AFileHeldOpenElsewhereGivesTheEmptyText) {
  const Bytes m = RandomBytes(100, 8);
  const std::string path = Write("held.bin", m);
  {
    std::ifstream other(path, std::ios::binary);
    ASSERT_TRUE(other.is_open());
    for (std::int32_t a = 21; a <= 31; ++a) EXPECT_EQ(HashFile(path, a), "") << a;
    // The CRC unit's own open shares reading and writing.
    EXPECT_EQ(crypto::FileCrc32(path.c_str()), ZlibCrc(m));
  }
  EXPECT_EQ(HashFile(path, 23), ClassDigest(23, m));
}
#endif

// Counts the reads a stream serves, to compare chunkings.
class RecordingStream final : public crypto::ByteStream {
 public:
  explicit RecordingStream(std::uint64_t size) : left_(size) {}
  std::uint32_t Read(void* buffer, std::uint32_t n) override {
    const auto k = static_cast<std::uint32_t>(n < left_ ? n : left_);
    std::memset(buffer, static_cast<int>(reads.size() & 0xFF), k);
    left_ -= k;
    reads.push_back(n);
    return k;
  }
  void Write(const void*, std::uint32_t) override {}
  std::vector<std::uint32_t> reads;

 private:
  std::uint64_t left_;
};

TEST(DigestCommands, LongStreamReadsAsOneCallWould) {
  // A small piece stands in for the 2 GiB one: the reads and the digest must
  // be those of one AddStream call over the whole count.
  const std::uint32_t piece = 2 * crypto::kStreamChunk;
  for (std::uint64_t n : {0ull, 1ull, 8191ull, 16384ull, 16385ull, 40000ull, 3ull * 16384ull}) {
    SCOPED_TRACE(n);
    RecordingStream one(n), pieces(n);
    std::unique_ptr<crypto::Hash> a(crypto::FindDigest(23)->create(nullptr)),
        b(crypto::FindDigest(23)->create(nullptr));
    a->StartDigest();
    a->AddStream(one, static_cast<std::uint32_t>(n));
    b->StartDigest();
    crypto::AddLongStream(*b, pieces, n, piece);
    EXPECT_EQ(pieces.reads, one.reads);
    std::uint8_t da[16], db[16];
    a->FinishDigest(da);
    b->FinishDigest(db);
    EXPECT_EQ(ToHex(da, 16), ToHex(db, 16));
  }
  static_assert(crypto::kLongStreamPiece % crypto::kStreamChunk == 0, "pieces of whole chunks");
}

#ifndef _WIN32
TEST_F(DigestCommandsTest, FilesOfFourGibibytesAndMoreAreDigestedWhole) {
  // A sparse file: 4 GiB of zeros (no disk space) and a tail of 5 bytes. A
  // 32-bit length would digest the tail alone.
  const std::uint64_t zeros = 1ull << 32;
  const Bytes tail = {1, 2, 3, 4, 5};
  const std::string path = (dir_ / "big.bin").string();
  {
    std::ofstream f(path, std::ios::binary);
    f.seekp(static_cast<std::streamoff>(zeros));
    f.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
    ASSERT_TRUE(f.good());
  }
  ASSERT_EQ(fs::file_size(path), zeros + tail.size());

  // SHA-1, the fastest digest here. Python hashlib and OpenSSL agree on the value.
  const char expected[] = "87bb3fc8accc202a4ae4b485def9e0701c35eb45";
  const auto start = std::chrono::steady_clock::now();
  const std::string text = HashFile(path, 26);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  RecordProperty("seconds", std::to_string(seconds));
  EXPECT_EQ(text, expected);
  EXPECT_NE(text, HashBin(tail, 26)) << "not the length mod 2^32";
}
#endif

}  // namespace

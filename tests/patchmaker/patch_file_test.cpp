// The patch file: banner, key, index lines and the reading procedure.
#include "patchmaker/patch_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <limits>
#include <memory>

#include "crypto/abi.h"
#include "host/binding.h"
#include "host/platform.h"
#include "tests/patchmaker/fixtures.h"
#include "tests/support/hex.h"

namespace {

using patchmaker::Bytes;
using patchmaker::GbkText;
using patchmaker::PatchReadStatus;
using patchmaker::PatchVersion;
using testing_support::ToHex;

const GbkText kKeyText = "K7%vb]2~江Rt9(q@河Zn海";

TEST(PatchKeyTest, StreamRestoresTheKeyAndIsZlibsOwnCompression) {
  const Bytes stream = patchmaker::DefaultPatchKeyStream();
  ASSERT_EQ(stream.size(), 30u);
  const Bytes inflated = patchmaker::InflateRawStream(stream, 22);
  ASSERT_EQ(inflated.size(), 22u);
  EXPECT_EQ(inflated, kKeyText) << ToHex(inflated);
  EXPECT_EQ(patchmaker::RestorePatchKey(stream), kKeyText);

  Bytes again(compressBound(22), '\0');
  uLongf size = static_cast<uLongf>(again.size());
  ASSERT_EQ(compress(reinterpret_cast<Bytef*>(&again[0]), &size, reinterpret_cast<const Bytef*>(inflated.data()), 22),
            Z_OK);
  again.resize(size);
  EXPECT_EQ(ToHex(again), ToHex(stream));
}

Bytes Compressed(const Bytes& data) {
  Bytes out(compressBound(static_cast<uLong>(data.size())), '\0');
  uLongf size = static_cast<uLongf>(out.size());
  compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
           static_cast<uLong>(data.size()));
  out.resize(size);
  return out;
}

TEST(InflateRawStreamTest, BoundIsTwiceTheLengthAndDamageGivesNothing) {
  const Bytes data44(44, 'q');
  struct Case {
    const char* what;
    Bytes stream;
    int length;
    Bytes expected;
  } cases[] = {
      {"exact length", Compressed("hello"), 5, "hello"},
      {"shorter than told", Compressed("hi"), 5, "hi"},
      {"exactly twice the length", Compressed(data44), 22, data44},
      {"one byte over twice the length", Compressed(data44 + "q"), 22, ""},
      {"empty stream", "", 22, ""},
      {"cut short", Compressed("hello world").substr(0, 8), 11, ""},
      {"bad header", "\x78\x00" + Compressed("hello").substr(2), 5, ""},
      {"bad checksum", Compressed("hello").substr(0, 9) + "\x01\x02\x03\x04", 5, ""},
      {"no zlib at all", "plain text, not a stream", 22, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ToHex(patchmaker::InflateRawStream(c.stream, c.length)), ToHex(c.expected)) << c.what;
}

TEST(PatchBannerTest, BothVersionsAre112BytesDifferingOnlyInTheDigit) {
  const GbkText& v2 = patchmaker::PatchBanner(PatchVersion::kV02);
  const GbkText& v1 = patchmaker::PatchBanner(PatchVersion::kV01);
  ASSERT_EQ(v2.size(), 112u);
  ASSERT_EQ(v1.size(), 112u);
  EXPECT_EQ(v2.substr(0, 17), "QelPATCH V0.2    ");
  EXPECT_EQ(v1.substr(0, 17), "QelPATCH V0.1    ");
  for (std::size_t i = 0; i < 112; ++i) {
    if (i != 12) {
      EXPECT_EQ(v1[i], v2[i]) << "byte " << i;
    }
    EXPECT_NE(v2[i], '\0') << "byte " << i;
    EXPECT_NE(v2[i], '\x1a') << "byte " << i;
  }
}

TEST(SplitGbkTest, WalksByCharacters) {
  struct Case {
    const char* what;
    GbkText text;
    GbkText separator;
    std::vector<GbkText> pieces;
  } cases[] = {
      {"well-formed index", "a|0|1|2\r\nb|1|1|1\r\n", "\r\n", {"a|0|1|2", "b|1|1|1"}},
      {"no final separator", "a\r\nb", "\r\n", {"a", "b"}},
      {"empty piece between separators stays", "a\r\n\r\nb\r\n", "\r\n", {"a", "", "b"}},
      {"empty text", "", "\r\n", {}},
      {"separator only", "\r\n", "\r\n", {""}},
      {"trail byte 0x7C is not a field separator", "\x96\x7c\\x|1|2|3", "|", {"\x96\x7c\\x", "1", "2", "3"}},
      {"trail byte 0x0D does not start a line break", "\x81\r\nx", "\r\n", {"\x81\r\nx"}},
      {"trailing empty field is dropped", "a|1|2|", "|", {"a", "1", "2"}},
      {"lead byte at the very end", "a|\x81", "|", {"a", "\x81"}},
  };
  for (const Case& c : cases) {
    const std::vector<GbkText> got = patchmaker::SplitGbk(c.text, c.separator);
    ASSERT_EQ(got.size(), c.pieces.size()) << c.what;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(ToHex(got[i]), ToHex(c.pieces[i])) << c.what;
  }
}

TEST(ReadIndexNumberTest, CutsTowardZeroAndReadsLettersAsZero) {
  const struct {
    const char* field;
    std::int32_t value;
  } cases[] = {
      {"0", 0},       {"1234", 1234}, {"12.9", 12}, {"-3.5", -3},  {"-0.5", 0},    {"abc", 0},
      {"", 0},        {"7x", 7},      {"+5", 5},    {"2147483647", 2147483647}, {"99999999999", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()}, {"-99999999999", std::numeric_limits<std::int32_t>::min()},
  };
  for (const auto& c : cases) EXPECT_EQ(patchmaker::ReadIndexNumber(c.field), c.value) << c.field;
}

class PatchReadTest : public testing::Test {
 protected:
  void SetUp() override { fixtures::BindLibrary(); }

  PatchReadStatus Read(const Bytes& file_bytes, PatchVersion version, patchmaker::PatchFile* out) {
    const GbkText path = dir_.File("p.patch2");
    fixtures::WriteFile(path, file_bytes);
    const std::unique_ptr<host::File> file = host::PlatformFiles().OpenExisting(path);
    return patchmaker::ReadPatchFile(file.get(), version, patchmaker::DefaultPatchKeyStream(), true, out);
  }

  fixtures::TempDir dir_;
};

TEST_F(PatchReadTest, WrittenPatchHasBackToBackOffsetsAndReadsBack) {
  const std::vector<patchmaker::PatchEntry> entries = {
      {"data\\a.txt", fixtures::StreamBytes('a', 10), 100},
      {"图\\東.dds", fixtures::StreamBytes('b', 20), 200},
      {"c", fixtures::StreamBytes('c', 5), 5},
  };
  const Bytes file = fixtures::MakePatch(entries);
  ASSERT_GE(file.size(), 155u);
  EXPECT_EQ(file.substr(0, 112), patchmaker::PatchBanner(PatchVersion::kV02));
  EXPECT_EQ(ToHex(file.substr(112, 8)), "0300000023000000") << "n = 3, L = 35";
  EXPECT_EQ(file.substr(120, 10), entries[0].stream);
  EXPECT_EQ(file.substr(130, 20), entries[1].stream);
  EXPECT_EQ(file.substr(150, 5), entries[2].stream);

  const GbkText index = "data\\a.txt|0|10|100\r\n图\\東.dds|10|20|200\r\nc|30|5|5\r\n";
  const GbkText stored = file.substr(155);
  EXPECT_EQ(stored.size(), 4 * ((index.size() + 2) / 3)) << "base64 of the encrypted index";
  EXPECT_EQ(patchmaker::DecryptPatchIndex(stored, patchmaker::DefaultPatchKeyStream()), index);

  // The stored index is encodebin's text under the PatchKey itself.
  Bytes block = Bytes("\x01\0\0\0", 4);
  const auto size = static_cast<std::uint32_t>(index.size());
  for (int i = 0; i < 4; ++i) block += static_cast<char>((size >> (8 * i)) & 0xFF);
  block += index;
  CommandArg args[3] = {{reinterpret_cast<std::uintptr_t>(block.data()), kTypeBytes},
                        {reinterpret_cast<std::uintptr_t>(kKeyText.c_str()), kTypeText},
                        {14, kTypeInteger}};
  EXPECT_EQ(host::TakeText(host::DispatchCommand(&host::encodebin_stub, 0, args, 3)), stored);

  patchmaker::PatchFile read;
  ASSERT_EQ(Read(file, PatchVersion::kV02, &read), PatchReadStatus::kOk);
  EXPECT_EQ(read.entry_count, 3);
  EXPECT_EQ(read.data_length, 35);
  EXPECT_EQ(read.data_block, file.substr(120, 35));
  ASSERT_EQ(read.lines.size(), 3u);
  const std::int32_t offsets[] = {0, 10, 30};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ToHex(read.lines[i].name), ToHex(entries[i].name));
    EXPECT_EQ(read.lines[i].offset, offsets[i]);
    EXPECT_EQ(read.lines[i].compressed_size, static_cast<std::int32_t>(entries[i].stream.size()));
    EXPECT_EQ(read.lines[i].uncompressed_size, entries[i].uncompressed_size);
  }
}

// One row per way a file can be offered; bad ones name their fault.
TEST_F(PatchReadTest, AcceptsAndRefusesAsTheFormatSays) {
  using V = PatchVersion;
  const Bytes good = fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|0|5|9\r\n", 5);
  const Bytes empty = fixtures::MakePatch({});
  Bytes with_eof_byte = good;
  with_eof_byte[60] = '\x1a';
  Bytes with_zero_byte = good;
  with_zero_byte[100] = '\0';
  struct Case {
    const char* what;
    Bytes file;
    V version;
    PatchReadStatus status;
    std::size_t lines;
  } cases[] = {
      {"good", good, V::kV02, PatchReadStatus::kOk, 1},
      {"empty patch, exactly 120 bytes", empty, V::kV02, PatchReadStatus::kOk, 0},
      {"old format as old format", fixtures::MakeRawPatch(V::kV01, 1, "12345", "a|0|5|9\r\n", 5), V::kV01,
       PatchReadStatus::kOk, 1},
      {"more lines than n: the rest ignored", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|0|5|9\r\nb|9|9|9\r\nzz\r\n", 5),
       V::kV02, PatchReadStatus::kOk, 1},
      {"fifth field ignored", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|0|5|9|extra\r\n", 5), V::kV02,
       PatchReadStatus::kOk, 1},
      {"111 bytes", good.substr(0, 111), V::kV02, PatchReadStatus::kBadBanner, 0},
      {"nothing at all", "", V::kV02, PatchReadStatus::kBadBanner, 0},
      {"old format offered as current", fixtures::MakeRawPatch(V::kV01, 1, "12345", "a|0|5|9\r\n", 5), V::kV02,
       PatchReadStatus::kBadBanner, 0},
      {"current format offered as old", good, V::kV01, PatchReadStatus::kBadBanner, 0},
      {"0x1A inside the banner", with_eof_byte, V::kV02, PatchReadStatus::kBadBanner, 0},
      {"zero byte inside the banner", with_zero_byte, V::kV02, PatchReadStatus::kBadBanner, 0},
      {"banner only", good.substr(0, 112), V::kV02, PatchReadStatus::kDamaged, 0},
      {"counts cut short", good.substr(0, 118), V::kV02, PatchReadStatus::kDamaged, 0},
      {"data block cut short", good.substr(0, 123), V::kV02, PatchReadStatus::kDamaged, 0},
      {"negative n", fixtures::MakeRawPatch(V::kV02, -1, "12345", "a|0|5|9\r\n", 5), V::kV02, PatchReadStatus::kDamaged, 0},
      {"negative L", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|0|5|9\r\n", -5), V::kV02, PatchReadStatus::kDamaged, 0},
      {"L past the end", fixtures::MakeRawPatch(V::kV02, 1, "12345", "", 6), V::kV02, PatchReadStatus::kDamaged, 0},
      {"index lies: fewer lines than n", fixtures::MakeRawPatch(V::kV02, 2, "12345", "a|0|5|9\r\n", 5), V::kV02,
       PatchReadStatus::kDamaged, 0},
      {"three fields", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|0|5\r\n", 5), V::kV02, PatchReadStatus::kDamaged, 0},
      {"negative offset", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|-1|5|9\r\n", 5), V::kV02, PatchReadStatus::kDamaged, 0},
      {"negative compressed size", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|0|-5|9\r\n", 5), V::kV02,
       PatchReadStatus::kDamaged, 0},
      {"negative uncompressed size", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|0|5|-9\r\n", 5), V::kV02,
       PatchReadStatus::kDamaged, 0},
      {"stream past the data block", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|1|5|9\r\n", 5), V::kV02,
       PatchReadStatus::kDamaged, 0},
      {"huge offset plus size wraps 32 bits", fixtures::MakeRawPatch(V::kV02, 1, "12345", "a|2147483647|5|9\r\n", 5),
       V::kV02, PatchReadStatus::kDamaged, 0},
      {"index under another key reads as no lines",
       patchmaker::AssemblePatchFile(V::kV02, 1, "12345", "Zm9vYmFyYmF6cXV4"), V::kV02, PatchReadStatus::kDamaged, 0},
  };
  for (const Case& c : cases) {
    patchmaker::PatchFile read;
    EXPECT_EQ(Read(c.file, c.version, &read), c.status) << c.what;
    if (c.status == PatchReadStatus::kOk) {
      EXPECT_EQ(read.lines.size(), c.lines) << c.what;
    }
  }
}

TEST_F(PatchReadTest, FieldsReadAsNumbersAndNamesStayWhole) {
  const GbkText name = "图\\東.dds";  // 東 is 96 7C: its trail byte is "|"
  ASSERT_EQ(ToHex(GbkText("東")), "967c") << "the fixture needs the 0x7C trail byte";
  patchmaker::PatchFile read;
  ASSERT_EQ(Read(fixtures::MakeRawPatch(PatchVersion::kV02, 2, Bytes(40, 'd'), name + "|12.9|7.1|abc\r\nb|-0.5|0|3\r\n", 40),
                 PatchVersion::kV02, &read),
            PatchReadStatus::kOk);
  ASSERT_EQ(read.lines.size(), 2u);
  EXPECT_EQ(ToHex(read.lines[0].name), ToHex(name));
  EXPECT_EQ(read.lines[0].offset, 12);
  EXPECT_EQ(read.lines[0].compressed_size, 7);
  EXPECT_EQ(read.lines[0].uncompressed_size, 0);
  EXPECT_EQ(read.lines[1].offset, 0);
  EXPECT_EQ(read.lines[1].uncompressed_size, 3);
}

TEST_F(PatchReadTest, TheIndexTextAsReadAndEachStreamOnItsOwn) {
  using V = PatchVersion;
  const GbkText index = "a|0|2|9\r\n图\\東|2|3|7\r\nmore than n\r\n";
  struct Case {
    const char* what;
    V version;
    Bytes file;
  } cases[] = {
      {"old format: as stored, up to a 0x1A byte", V::kV01, fixtures::MakeRawPatch(V::kV01, 2, "abcde", index + "\x1a tail", 5)},
      {"current format: decrypted", V::kV02, fixtures::MakeRawPatch(V::kV02, 2, "abcde", index, 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const GbkText path = dir_.File("p");
    fixtures::WriteFile(path, c.file);
    std::unique_ptr<host::File> file = host::PlatformFiles().OpenExisting(path);
    patchmaker::PatchFile read;
    GbkText text = "stale";
    ASSERT_EQ(patchmaker::ReadPatchFile(file.get(), c.version, patchmaker::DefaultPatchKeyStream(), false, &read, &text),
              PatchReadStatus::kOk);
    EXPECT_EQ(ToHex(text), ToHex(index));
    EXPECT_TRUE(read.data_block.empty()) << "the block is left unread";
    Bytes stream;
    ASSERT_TRUE(patchmaker::ReadEntryStream(file.get(), read.lines[1], &stream));
    EXPECT_EQ(stream, "cde");
    ASSERT_TRUE(patchmaker::ReadEntryStream(file.get(), {"empty", 5, 0, 0}, &stream));
    EXPECT_EQ(stream, "");
    stream = "kept";
    EXPECT_FALSE(patchmaker::ReadEntryStream(file.get(), {"past the end", 0, 1 << 20, 1}, &stream));
    EXPECT_FALSE(patchmaker::ReadEntryStream(nullptr, read.lines[0], &stream));
    EXPECT_EQ(stream, "kept") << "nothing taken from a short read";
  }
}

}  // namespace

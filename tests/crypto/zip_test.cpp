// The zip container (commands 12 and 13) and its zlib layer: container shape,
// round trips, the empty results, and the zlib errors that travel to the host.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "crypto/library.h"
#include "crypto/zip_container.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

using crypto::Bytes;
using testing_support::BytesArg;
using testing_support::MakeHostByteArray;
using testing_support::RandomBytes;
using testing_support::ResultBytes;
using testing_support::TestHost;
using testing_support::ToHex;

namespace {

CommandResult Call(CommandFunction f, const std::vector<std::uint8_t>& block) {
  CommandResult r;
  std::memset(&r, 0, sizeof r);
  CommandArg arg = BytesArg(block);
  f(&r, 1, &arg);
  return r;
}

Bytes Zip(const Bytes& data) { return ResultBytes(Call(&crypto::zipbin, MakeHostByteArray(data))); }
Bytes Unzip(const Bytes& container) { return ResultBytes(Call(&crypto::unzipbin, MakeHostByteArray(container))); }

// A container with a correct CRC around any payload.
Bytes Container(const Bytes& payload) {
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0L, payload.data(), static_cast<uInt>(payload.size())));
  Bytes c(4 + payload.size());
  for (int i = 0; i < 4; ++i) c[i] = static_cast<std::uint8_t>(crc >> (8 * i));
  if (!payload.empty()) std::memcpy(c.data() + 4, payload.data(), payload.size());
  return c;
}

// zlib's one-shot compress2 at the default level: the stream zipbin must carry.
Bytes Compress2(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION), Z_OK);
  out.resize(size);
  return out;
}

// Runs unzipbin on a container and returns the zlib error it raised.
template <class Error>
std::pair<int, std::string> UnzipError(const Bytes& container) {
  try {
    Unzip(container);
  } catch (const Error& e) {
    return {e.code(), e.what()};
  }
  return {0, "no error"};
}

TEST(ZipContainer, ZipbinGivesCrcThenTheDefaultLevelStream) {
  TestHost host;
  for (std::size_t n : {1u, 2u, 100u, 5000u, 70000u}) {
    const Bytes data = RandomBytes(n, static_cast<std::uint32_t>(n));
    const std::size_t before = host.allocations().size();
    const Bytes c = Zip(data);
    EXPECT_EQ(c, Container(Compress2(data))) << n;
    ASSERT_EQ(host.allocations().size(), before + 1) << "one host block per result";
    EXPECT_EQ(host.allocations().back().size, 8 + c.size());
  }
  const Bytes one = Zip({0x41});
  ASSERT_GE(one.size(), 6u);
  EXPECT_EQ(ToHex(one.data() + 4, 2), "789c") << "zlib's default-level header";
}

TEST(ZipContainer, RoundTrips) {
  TestHost host;
  std::vector<Bytes> inputs;
  for (std::size_t n : {1u, 2u, 3u, 255u, 256u, 257u, 4096u, 100000u}) inputs.push_back(RandomBytes(n, 7));
  inputs.push_back(Bytes(300000, 0));      // shrinks a thousandfold: the output buffer grows many times
  inputs.push_back(RandomBytes(1 << 20, 9));  // does not shrink at all
  for (const Bytes& d : inputs) {
    const Bytes c = Zip(d);
    EXPECT_EQ(Unzip(c), d) << d.size();
  }
  EXPECT_GT(Zip(inputs.back()).size(), inputs.back().size() + 4) << "incompressible input grows";
}

TEST(ZipContainer, EmptyAndShortArgumentsGiveTheEmptyArray) {
  TestHost host;
  const std::int32_t no_dims[] = {0, 5, 0x01020304, 0x05060708};
  const CommandArg cases[] = {
      CommandArg{0, kTypeBytes},
      CommandArg{reinterpret_cast<std::uintptr_t>(no_dims), kTypeBytes},
  };
  for (CommandFunction f : {&crypto::zipbin, &crypto::unzipbin}) {
    for (CommandArg arg : cases) {
      CommandResult r{};
      f(&r, 1, &arg);
      EXPECT_EQ(r.value, 0u);
    }
    EXPECT_EQ(ResultBytes(Call(f, MakeHostByteArray({}))), Bytes());
  }
  // 1 to 4 bytes are not looked at: not even the CRC of nothing (0) matches.
  for (std::size_t n = 1; n <= 4; ++n) {
    EXPECT_EQ(Unzip(Bytes(n, 0)), Bytes()) << n;
    EXPECT_EQ(Unzip(RandomBytes(n, 3)), Bytes()) << n;
  }
  EXPECT_EQ(host.allocations().size(), 0u);
}

TEST(ZipContainer, AnyChangedByteBreaksTheCrc) {
  TestHost host;
  const Bytes c = Zip({'h', 'e', 'l', 'l', 'o', ' ', 'z', 'i', 'p'});
  for (std::size_t i = 0; i < c.size(); ++i) {
    for (std::uint8_t flip : {0x01, 0x80, 0xff}) {
      Bytes bad = c;
      bad[i] ^= flip;
      EXPECT_EQ(Unzip(bad), Bytes()) << "byte " << i;
    }
  }
}

TEST(ZipContainer, CorrectCrcOverABadStreamRaises) {
  TestHost host;
  const Bytes stream = Compress2(RandomBytes(1000, 5));
  Bytes wrong_header = stream;
  wrong_header[0] = 0x79;
  EXPECT_EQ(UnzipError<crypto::DecompressionError>(Container(wrong_header)),
            std::make_pair(Z_DATA_ERROR, std::string("data error")));
  EXPECT_EQ(UnzipError<crypto::DecompressionError>(Container({'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'})),
            std::make_pair(Z_DATA_ERROR, std::string("data error")));
  const Bytes cut(stream.begin(), stream.begin() + 500);
  EXPECT_EQ(UnzipError<crypto::ZlibError>(Container(cut)), std::make_pair(Z_BUF_ERROR, std::string("buffer error")));
  Bytes bad_adler = stream;
  bad_adler.back() ^= 1;
  EXPECT_EQ(UnzipError<crypto::ZlibError>(Container(bad_adler)), std::make_pair(Z_DATA_ERROR, std::string("data error")));
  EXPECT_EQ(host.allocations().size(), 0u) << "no result on an error";
}

TEST(ZipContainer, PresetDictionaryRaisesInsteadOfLooping) {
  TestHost host;
  const char dictionary[] = "a preset dictionary the container cannot carry";
  z_stream z{};
  ASSERT_EQ(deflateInit(&z, Z_DEFAULT_COMPRESSION), Z_OK);
  ASSERT_EQ(deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary), sizeof dictionary - 1), Z_OK);
  Bytes data(dictionary, dictionary + sizeof dictionary - 1);
  Bytes stream(256);
  z.next_in = data.data();
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = stream.data();
  z.avail_out = static_cast<uInt>(stream.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  stream.resize(z.total_out);
  deflateEnd(&z);
  ASSERT_TRUE(stream[1] & 0x20) << "FDICT set";
  EXPECT_EQ(UnzipError<crypto::DecompressionError>(Container(stream)),
            std::make_pair(Z_NEED_DICT, std::string("need dictionary")));
}

TEST(ZipContainer, BytesAfterTheStreamAreIgnored) {
  TestHost host;
  const Bytes data = RandomBytes(3000, 11);
  Bytes stream = Compress2(data);
  stream.insert(stream.end(), {1, 2, 3, 4, 5});
  EXPECT_EQ(Unzip(Container(stream)), data);
}

TEST(ZipContainer, HostWithoutMemoryGivesNoResult) {
  TestHost host;
  const Bytes c = Zip({1, 2, 3});
  host.FailAllocations(true);
  EXPECT_EQ(Zip({1, 2, 3}), Bytes());
  EXPECT_EQ(Unzip(c), Bytes());
}

TEST(ZipLayer, CompressLevelsAndDecompressEstimates) {
  const Bytes data = RandomBytes(20000, 13);
  for (int level = crypto::kZipStore; level <= crypto::kZipBest; ++level) {
    const Bytes z = crypto::ZipCompress(data.data(), data.size(), level);
    for (std::size_t estimate : {0u, 1u, 300u, 20000u, 100000u}) {
      EXPECT_EQ(crypto::ZipDecompress(z.data(), z.size(), estimate), data) << level << " " << estimate;
    }
  }
  EXPECT_GT(crypto::ZipCompress(data.data(), data.size(), crypto::kZipStore).size(), data.size());
  const Bytes empty = crypto::ZipCompress(nullptr, 0, crypto::kZipDefault);
  EXPECT_EQ(ToHex(empty), "789c030000000001");
  EXPECT_EQ(crypto::ZipDecompress(empty.data(), empty.size(), 0), Bytes());
  EXPECT_THROW(crypto::ZipCompress(data.data(), data.size(), 4), crypto::CompressionError);
  EXPECT_THROW(crypto::ZipDecompress(nullptr, 0, 0), crypto::DecompressionError);
}

TEST(ZipLayer, ErrorTexts) {
  const std::pair<int, const char*> texts[] = {
      {2, "need dictionary"}, {1, "stream end"},           {0, "ok"},
      {-1, "file error"},     {-2, "stream error"},        {-3, "data error"},
      {-4, "insufficient memory"}, {-5, "buffer error"}, {-6, "incompatible version"},
  };
  for (const auto& t : texts) {
    EXPECT_STREQ(crypto::ZlibMessage(t.first), t.second);
    const crypto::DecompressionError e(t.first);
    EXPECT_EQ(e.code(), t.first);
    EXPECT_STREQ(e.what(), t.second);
  }
}

}  // namespace

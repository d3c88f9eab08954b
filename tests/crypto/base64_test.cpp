#include "crypto/base64.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/hex.h"

using crypto::Base64DecodeText;
using crypto::Base64EncodeText;
using crypto::Bytes;
using testing_support::FromHex;
using testing_support::RandomBytes;
using testing_support::ToHex;

namespace {

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Reference encoder written bit by bit from RFC 4648 section 4, deliberately
// unlike the table-driven one under test.
std::string ReferenceEncode(const Bytes& data) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bits;
  for (auto b : data)
    for (int i = 7; i >= 0; --i) bits += ((b >> i) & 1) ? '1' : '0';
  while (bits.size() % 6 != 0) bits += '0';
  std::string out;
  for (std::size_t i = 0; i < bits.size(); i += 6) out += alphabet[std::stoi(bits.substr(i, 6), nullptr, 2)];
  while (out.size() % 4 != 0) out += '=';
  return out;
}

TEST(Base64, Rfc4648Vectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(Base64EncodeText(B(plain)), encoded) << plain;
    EXPECT_EQ(Base64DecodeText(std::string(encoded)), B(plain)) << encoded;
  }
}

TEST(Base64, EveryLengthMatchesReferenceAndRoundTrips) {
  for (std::size_t n = 0; n <= 64; ++n) {
    const Bytes data = RandomBytes(n, static_cast<std::uint32_t>(n + 1));
    const std::string text = Base64EncodeText(data);
    EXPECT_EQ(text.size(), crypto::Base64EncodedLength(n));
    EXPECT_EQ(text, ReferenceEncode(data)) << ToHex(data);
    EXPECT_EQ(Base64DecodeText(text), data) << text;
  }
  const Bytes big = RandomBytes(100003, 7);
  EXPECT_EQ(Base64DecodeText(Base64EncodeText(big)), big);
}

TEST(Base64, AllByteValuesRoundTrip) {
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(Base64EncodeText(all), ReferenceEncode(all));
  EXPECT_EQ(Base64DecodeText(Base64EncodeText(all)), all);
}

// Lenient decoding: every rule with the case that shows it.
struct DecodeCase {
  const char* name;
  std::string text;
  const char* hex;
};

TEST(Base64, LenientDecodingTable) {
  const DecodeCase cases[] = {
      {"empty text", "", ""},
      {"one character", "Z", ""},
      {"three characters", "Zm9", ""},
      {"trailing 1 ignored", "Zm9vY", "666f6f"},
      {"trailing 2 ignored", "Zm9vYg", "666f6f"},
      {"trailing 3 ignored", "Zm9vYmF", "666f6f"},
      {"= in third position gives 1 byte", "Zg==", "66"},
      {"= in third ends group whatever follows", "Zg=v", "66"},
      {"= in fourth gives 2 bytes", "Zm8=", "666f"},
      {"leftover bits before padding dropped", "Zh==", "66"},
      {"padded group does not end decoding", "Zg==Zm8=Zm9v", "66666f666f6f"},
      {"= in first position counts as 255", "=AAA", "fc0000"},
      {"= in second position counts as 255", "A=AA", "0ff000"},
      {"= in first two positions", "==AA", "fff000"},
      {"all four =", "====", "ff"},
      {"line break is a character of its group", "Zm9v\r\nYmFy", "666f6f666626"},
      {"blank takes previous group's value", "Zm9v Zm9", "666f6f6599bd"},
      {"foreign char in first group reads 0", "*m9v", "026f6f"},
      {"foreign char keeps previous group's value", "Zm9vY*Fy", "666f6f626172"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToHex(Base64DecodeText(c.text)), c.hex) << c.name;
  }
}

TEST(Base64, TextOf4kPlusRDecodesLikeItsFirst4k) {
  const Bytes data = RandomBytes(30, 3);
  const std::string text = Base64EncodeText(data);  // 40 characters
  for (const char* tail : {"Q", "QU", "QUJ"}) {
    EXPECT_EQ(Base64DecodeText(text + tail), data) << tail;
  }
}

}  // namespace

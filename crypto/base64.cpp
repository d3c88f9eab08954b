#include "crypto/base64.h"

#include <array>

namespace crypto {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kPad = 255;      // value of "="
constexpr std::uint8_t kForeign = 254;  // no value of its own

constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
  std::array<std::uint8_t, 256> table{};
  for (auto& v : table) v = kForeign;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  table['='] = kPad;
  return table;
}
constexpr std::array<std::uint8_t, 256> kDecode = MakeDecodeTable();

}  // namespace

std::size_t Base64EncodeBytes(const std::uint8_t* data, std::size_t n, char* out) {
  char* o = out;
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const unsigned b0 = data[i], b1 = data[i + 1], b2 = data[i + 2];
    *o++ = kAlphabet[b0 >> 2];
    *o++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    *o++ = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
    *o++ = kAlphabet[b2 & 63];
  }
  if (n - i == 1) {
    const unsigned b0 = data[i];
    *o++ = kAlphabet[b0 >> 2];
    *o++ = kAlphabet[(b0 & 3) << 4];
    *o++ = '=';
    *o++ = '=';
  } else if (n - i == 2) {
    const unsigned b0 = data[i], b1 = data[i + 1];
    *o++ = kAlphabet[b0 >> 2];
    *o++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    *o++ = kAlphabet[(b1 & 15) << 2];
    *o++ = '=';
  }
  return static_cast<std::size_t>(o - out);
}

std::string Base64EncodeText(const std::uint8_t* data, std::size_t n) {
  std::string text(Base64EncodedLength(n), '\0');
  Base64EncodeBytes(data, n, text.data());
  return text;
}

std::size_t Base64DecodeBytes(const char* text, std::size_t n, std::uint8_t* out) {
  std::uint8_t* o = out;
  // Values carried over for characters that have none of their own.
  unsigned last[4] = {0, 0, 0, 0};
  const std::size_t groups = n / 4;
  for (std::size_t g = 0; g < groups; ++g) {
    const char* p = text + 4 * g;
    unsigned v[4];
    for (int k = 0; k < 4; ++k) {
      const std::uint8_t d = kDecode[static_cast<unsigned char>(p[k])];
      v[k] = d == kForeign ? last[k] : d;
      last[k] = v[k];
    }
    *o++ = static_cast<std::uint8_t>((v[0] << 2) | (v[1] >> 4));
    if (v[2] == kPad) continue;
    *o++ = static_cast<std::uint8_t>((v[1] << 4) | (v[2] >> 2));
    if (v[3] == kPad) continue;
    *o++ = static_cast<std::uint8_t>((v[2] << 6) | v[3]);
  }
  return static_cast<std::size_t>(o - out);
}

Bytes Base64DecodeText(const char* text, std::size_t n) {
  Bytes bytes(Base64DecodedBound(n));
  bytes.resize(Base64DecodeBytes(text, n, bytes.data()));
  return bytes;
}

}  // namespace crypto

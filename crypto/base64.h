// Base64 with the standard alphabet of RFC 4648.
//
// Encoding is standard. Decoding is lenient, in groups of four characters from
// the start of the text:
//   - the last 1 to 3 characters (n mod 4) are ignored;
//   - "=" in the third position ends the group (1 byte) whatever follows, "="
//     only in the fourth gives 2 bytes; a padded group does not end the
//     decoding, later groups are decoded too;
//   - "=" in the first two positions is not padding: it counts as 255;
//   - a character outside the alphabet and "=" keeps the value that the same
//     position had in the previous group (0 in the first group).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crypto {

using Bytes = std::vector<std::uint8_t>;

// Number of characters for n bytes: 4 * ceil(n / 3).
constexpr std::size_t Base64EncodedLength(std::size_t n) { return 4 * ((n + 2) / 3); }
// Upper bound of bytes for n characters: 3 * (n div 4).
constexpr std::size_t Base64DecodedBound(std::size_t n) { return 3 * (n / 4); }

// Writes Base64EncodedLength(n) characters (no terminator) and returns that count.
std::size_t Base64EncodeBytes(const std::uint8_t* data, std::size_t n, char* out);
std::string Base64EncodeText(const std::uint8_t* data, std::size_t n);
inline std::string Base64EncodeText(const Bytes& data) {
  return Base64EncodeText(data.data(), data.size());
}

// Writes at most Base64DecodedBound(n) bytes and returns how many it wrote.
std::size_t Base64DecodeBytes(const char* text, std::size_t n, std::uint8_t* out);
Bytes Base64DecodeText(const char* text, std::size_t n);
inline Bytes Base64DecodeText(const std::string& text) {
  return Base64DecodeText(text.data(), text.size());
}

}  // namespace crypto

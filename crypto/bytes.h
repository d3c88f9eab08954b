// Word loads and stores in either byte order, and rotations: what every cipher
// and digest needs to turn bytes into words and back.
#pragma once

#include <cstdint>

namespace crypto {

// The masked forms are right for any count, 0 included, and compile to a
// single rotate instruction whether the count is a constant or not.
constexpr std::uint32_t Rotl32(std::uint32_t x, unsigned r) { return (x << (r & 31)) | (x >> (-r & 31)); }
constexpr std::uint32_t Rotr32(std::uint32_t x, unsigned r) { return (x >> (r & 31)) | (x << (-r & 31)); }
constexpr std::uint64_t Rotl64(std::uint64_t x, unsigned r) { return (x << (r & 63)) | (x >> (-r & 63)); }
constexpr std::uint64_t Rotr64(std::uint64_t x, unsigned r) { return (x >> (r & 63)) | (x << (-r & 63)); }

// Byte by byte, so they hold on any host byte order and at any alignment; GCC
// turns each into one move (plus a byte swap for the big-endian ones).
constexpr std::uint16_t LoadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
constexpr std::uint16_t LoadBe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
constexpr std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
constexpr std::uint32_t LoadBe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}
constexpr std::uint64_t LoadLe64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadLe32(p)) | static_cast<std::uint64_t>(LoadLe32(p + 4)) << 32;
}
constexpr std::uint64_t LoadBe64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadBe32(p)) << 32 | LoadBe32(p + 4);
}

constexpr void StoreLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
constexpr void StoreBe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
constexpr void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
constexpr void StoreBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}
constexpr void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  StoreLe32(p, static_cast<std::uint32_t>(v));
  StoreLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
constexpr void StoreBe64(std::uint8_t* p, std::uint64_t v) {
  StoreBe32(p, static_cast<std::uint32_t>(v >> 32));
  StoreBe32(p + 4, static_cast<std::uint32_t>(v));
}

}  // namespace crypto

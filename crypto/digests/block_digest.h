// Pieces shared by the block-oriented digests: word loads and stores in either
// byte order, rotations, and the input buffer with its padding step.
#pragma once

#include <cstdint>
#include <cstring>

#include "crypto/cipher.h"

namespace crypto {

inline std::uint32_t Rotl32(std::uint32_t x, int r) { return (x << r) | (x >> ((32 - r) & 31)); }
inline std::uint32_t Rotr32(std::uint32_t x, int r) { return (x >> r) | (x << ((32 - r) & 31)); }
inline std::uint64_t Rotr64(std::uint64_t x, int r) { return (x >> r) | (x << ((64 - r) & 63)); }

// Byte-wise loads and stores: GCC turns each into one move (plus a bswap for
// the big-endian ones), and they hold on any host byte order.
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}
inline std::uint64_t LoadLe64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadLe32(p)) | static_cast<std::uint64_t>(LoadLe32(p + 4)) << 32;
}
inline std::uint64_t LoadBe64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadBe32(p)) << 32 | LoadBe32(p + 4);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreBe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
inline void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreBe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (56 - 8 * i));
}

// Collects input into blocks of B bytes. Whole blocks of the caller's data go
// to the compression function directly and several at a time, so it can keep
// its state in registers across them. compress(const uint8_t* blocks, size_t count).
template <std::uint32_t B>
struct BlockBuffer {
  std::uint8_t bytes[B] = {};
  std::uint32_t used = 0;
  std::uint64_t total = 0;  // bytes fed since Reset

  void Reset() {
    used = 0;
    total = 0;
  }

  template <class Compress>
  void Add(const void* data, std::uint32_t n, Compress compress) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    total += n;
    if (used > 0) {
      const std::uint32_t take = n < B - used ? n : B - used;
      std::memcpy(bytes + used, p, take);
      used += take;
      p += take;
      n -= take;
      if (used < B) return;
      compress(bytes, 1);
      used = 0;
    }
    if (n >= B) {
      compress(p, n / B);
      p += n / B * B;
      n %= B;
    }
    if (n > 0) std::memcpy(bytes, p, n);
    used = n;
  }

  // Writes `first` after the message and zeros up to byte `tail`; when `first`
  // itself lands at `tail` or later, that block is compressed and the zeros
  // fill a fresh one. The caller writes bytes tail..B-1 and compresses `bytes`.
  template <class Compress>
  void Pad(std::uint8_t first, std::uint32_t tail, Compress compress) {
    bytes[used++] = first;
    if (used > tail) {
      std::memset(bytes + used, 0, B - used);
      compress(bytes, 1);
      used = 0;
    }
    std::memset(bytes + used, 0, tail - used);
  }

  void Wipe() {
    WipeBytes(bytes, B);
    Reset();
  }
};

}  // namespace crypto

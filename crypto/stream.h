// What the chunked stream operations read from and write to.
#pragma once

#include <cstdint>

namespace crypto {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to n bytes; answers how many were read (0 at the end).
  virtual std::uint32_t Read(void* buffer, std::uint32_t n) = 0;
  virtual void Write(const void* buffer, std::uint32_t n) = 0;
};

// One buffer of this size serves every chunked operation; it holds whole blocks
// of both block sizes, so chunks chain as one call over all the bytes would.
inline constexpr std::uint32_t kStreamChunk = 8192;

}  // namespace crypto

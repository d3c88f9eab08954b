// The zip container of commands 12 and 13: a zlib stream behind the CRC-32 of
// that stream (4 bytes, little-endian). There is no length field; the
// unpacked length is known only from the stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/base64.h"
#include "crypto/errors.h"

namespace crypto {

// A zlib result that stopped a container operation. The message is zlib's
// text for the code ("data error", "buffer error", "need dictionary", ...).
class ZlibError : public Exception {
 public:
  explicit ZlibError(int code);
  int code() const { return code_; }

 private:
  int code_;
};
class CompressionError : public ZlibError {
  using ZlibError::ZlibError;
};
class DecompressionError : public ZlibError {
  using ZlibError::ZlibError;
};

// zlib's text for a result code, "" for a code zlib does not have.
const char* ZlibMessage(int code);

// Level indexes: 0 store, 1 fastest, 2 zlib's default, 3 best.
inline constexpr int kZipStore = 0;
inline constexpr int kZipFastest = 1;
inline constexpr int kZipDefault = 2;
inline constexpr int kZipBest = 3;

// The zlib stream of n bytes. Raises CompressionError for a negative zlib
// result (an unknown level index gives "stream error").
Bytes ZipCompress(const std::uint8_t* data, std::size_t n, int level_index);

// The bytes of the zlib stream at the start of n bytes (what follows the
// stream's end is ignored). `estimate` sizes the first output buffer, 0 for
// "n rounded up to 256". Raises DecompressionError for a negative zlib result
// ("data error" for a damaged stream, "buffer error" for one that ends early)
// and for a stream that asks for a preset dictionary ("need dictionary"),
// since the container has no way to supply one.
Bytes ZipDecompress(const std::uint8_t* data, std::size_t n, std::size_t estimate);

inline Bytes ZipText(const std::uint8_t* data, std::size_t n) { return ZipCompress(data, n, kZipDefault); }
inline Bytes UnzipText(const std::uint8_t* data, std::size_t n) { return ZipDecompress(data, n, 0); }

// zlib's CRC-32 (RFC 1952) of n bytes.
std::uint32_t ZipCrc32(const std::uint8_t* data, std::size_t n);

// A HostByteArray in host memory holding the container of a stream of n bytes:
// n + 4 elements, the CRC first. Null for n = 0 and when the host gives no
// memory.
void* MakeZipContainer(const std::uint8_t* stream, std::size_t n);

// The stream inside a container of n bytes, after checking its CRC. Null
// (stream_size 0) for fewer than 5 bytes or a CRC that does not match.
const std::uint8_t* OpenZipContainer(const std::uint8_t* container, std::size_t n, std::size_t* stream_size);

}  // namespace crypto

#include "crypto/zip_container.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "crypto/abi.h"
#include "crypto/bytes.h"

namespace crypto {
namespace {

constexpr int kLevels[] = {0, 1, Z_DEFAULT_COMPRESSION, 9};
constexpr std::size_t kCompressStep = 256;
// zlib counts in unsigned int; larger inputs are fed in pieces.
constexpr std::size_t kMaxFeed = std::size_t{1} << 30;

std::size_t RoundUp256(std::size_t n) { return (n + 255) / 256 * 256; }

// Ends a deflate or inflate stream on every way out.
struct DeflateStream {
  z_stream z{};
  bool open = false;
  ~DeflateStream() {
    if (open) deflateEnd(&z);
  }
};
struct InflateStream {
  z_stream z{};
  bool open = false;
  ~InflateStream() {
    if (open) inflateEnd(&z);
  }
};

// Hands zlib the next piece of input once it has used up the last one.
void Feed(z_stream& z, const std::uint8_t*& in, std::size_t& left) {
  if (z.avail_in != 0 || left == 0) return;
  const std::size_t piece = std::min(left, kMaxFeed);
  z.next_in = const_cast<Bytef*>(in);
  z.avail_in = static_cast<uInt>(piece);
  in += piece;
  left -= piece;
}

// Makes the buffer `step` bytes longer and points the output after what has
// been produced.
void Grow(z_stream& z, Bytes& out, std::size_t step) {
  const std::size_t produced = out.size() - z.avail_out;
  out.resize(out.size() + step);
  z.next_out = out.data() + produced;
  z.avail_out = static_cast<uInt>(out.size() - produced);
}

}  // namespace

const char* ZlibMessage(int code) {
  switch (code) {
    case Z_NEED_DICT: return "need dictionary";
    case Z_STREAM_END: return "stream end";
    case Z_OK: return "ok";
    case Z_ERRNO: return "file error";
    case Z_STREAM_ERROR: return "stream error";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_VERSION_ERROR: return "incompatible version";
    default: return "";
  }
}

ZlibError::ZlibError(int code) : Exception(ZlibMessage(code)), code_(code) {}

Bytes ZipCompress(const std::uint8_t* data, std::size_t n, int level_index) {
  if (level_index < 0 || level_index >= static_cast<int>(std::size(kLevels))) {
    throw CompressionError(Z_STREAM_ERROR);
  }
  DeflateStream s;
  int rc = deflateInit(&s.z, kLevels[level_index]);
  if (rc < 0) throw CompressionError(rc);
  s.open = true;

  Bytes out(RoundUp256(n + n / 10 + 12));
  s.z.next_out = out.data();
  s.z.avail_out = static_cast<uInt>(out.size());
  const std::uint8_t* in = data;
  std::size_t left = n;
  for (;;) {
    Feed(s.z, in, left);
    rc = deflate(&s.z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
    if (rc < 0) throw CompressionError(rc);
    if (rc == Z_STREAM_END) break;
    if (s.z.avail_out == 0) Grow(s.z, out, kCompressStep);
  }
  out.resize(out.size() - s.z.avail_out);
  s.open = false;
  rc = deflateEnd(&s.z);
  if (rc < 0) throw CompressionError(rc);
  return out;
}

Bytes ZipDecompress(const std::uint8_t* data, std::size_t n, std::size_t estimate) {
  InflateStream s;
  int rc = inflateInit(&s.z);
  if (rc < 0) throw DecompressionError(rc);
  s.open = true;

  // At least one step of room, so an empty input ends in "buffer error" too.
  const std::size_t delta = std::max<std::size_t>(RoundUp256(n), 256);
  Bytes out(estimate != 0 ? estimate : delta);
  s.z.next_out = out.data();
  s.z.avail_out = static_cast<uInt>(out.size());
  const std::uint8_t* in = data;
  std::size_t left = n;
  for (;;) {
    Feed(s.z, in, left);
    rc = inflate(&s.z, Z_NO_FLUSH);
    if (rc < 0) throw DecompressionError(rc);
    if (rc == Z_STREAM_END) break;
    // The container carries no dictionary: asking for one again would never end.
    if (rc == Z_NEED_DICT) throw DecompressionError(rc);
    if (s.z.avail_out == 0) Grow(s.z, out, delta);
  }
  out.resize(out.size() - s.z.avail_out);
  return out;
}

std::uint32_t ZipCrc32(const std::uint8_t* data, std::size_t n) {
  uLong crc = crc32(0L, Z_NULL, 0);
  while (n != 0) {
    const std::size_t piece = std::min(n, kMaxFeed);
    crc = crc32(crc, data, static_cast<uInt>(piece));
    data += piece;
    n -= piece;
  }
  return static_cast<std::uint32_t>(crc);
}

void* MakeZipContainer(const std::uint8_t* stream, std::size_t n) {
  if (n == 0) return nullptr;
  std::uint8_t* block = NewHostByteArray(n + 4);
  if (block == nullptr) return nullptr;
  const std::uint32_t crc = ZipCrc32(stream, n);
  StoreLe32(block + kByteArrayHeader, crc);
  std::memcpy(block + kByteArrayHeader + 4, stream, n);
  return block;
}

const std::uint8_t* OpenZipContainer(const std::uint8_t* container, std::size_t n, std::size_t* stream_size) {
  *stream_size = 0;
  if (container == nullptr || n < 5) return nullptr;
  if (ZipCrc32(container + 4, n - 4) != LoadLe32(container)) return nullptr;
  *stream_size = n - 4;
  return container + 4;
}

}  // namespace crypto

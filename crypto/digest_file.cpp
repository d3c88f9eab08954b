#include "crypto/digest_file.h"

#include <vector>

#include "crypto/file_io.h"

namespace crypto {

void AddLongStream(Hash& hash, ByteStream& source, std::uint64_t n, std::uint32_t piece) {
  for (; n > piece; n -= piece) hash.AddStream(source, piece);
  hash.AddStream(source, static_cast<std::uint32_t>(n));
}

std::atomic<std::uint32_t> Crc32Table[256];

void BuildCrc32Table() {
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    Crc32Table[i].store(c, std::memory_order_relaxed);
  }
}

std::uint32_t FileCrc32(const char* path) {
  BuildCrc32Table();
  std::uint32_t c = 0xFFFFFFFFu;
  try {
    InputFile file(path, FileSharing::kReadersAndWriters);
    std::vector<std::uint8_t> buffer(kCrcReadSize);
    for (;;) {
      const std::uint32_t k = file.Read(buffer.data(), kCrcReadSize);
      if (k == 0) break;
      for (std::uint32_t i = 0; i < k; ++i)
        c = Crc32Table[(c ^ buffer[i]) & 0xFF].load(std::memory_order_relaxed) ^ (c >> 8);
    }
  } catch (const FileError&) {
    // A file that does not open counts as empty. So does one whose read
    // fails: the CRC of part of a file is no CRC of the file.
    return 0;
  }
  return c ^ 0xFFFFFFFFu;
}

}  // namespace crypto

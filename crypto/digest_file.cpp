#include "crypto/digest_file.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace crypto {

#ifdef _WIN32

DigestFile::DigestFile(const char* path, Sharing sharing) {
  if (path == nullptr || *path == '\0') return;
  const DWORD share = sharing == Sharing::kExclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  const HANDLE h = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<std::intptr_t>(h);
}

void DigestFile::Close() {
  if (handle_ == kClosed) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kClosed;
}

std::uint64_t DigestFile::Length() const {
  LARGE_INTEGER size;
  if (handle_ == kClosed || !GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint32_t DigestFile::Read(void* buffer, std::uint32_t n) {
  DWORD got = 0;
  if (handle_ == kClosed || !ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, n, &got, nullptr)) return 0;
  return got;
}

#else

DigestFile::DigestFile(const char* path, Sharing /*sharing*/) {
  if (path == nullptr || *path == '\0') return;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  // Windows opens no directories here; neither do we.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return;
  }
  handle_ = fd;
}

void DigestFile::Close() {
  if (handle_ == kClosed) return;
  ::close(static_cast<int>(handle_));
  handle_ = kClosed;
}

std::uint64_t DigestFile::Length() const {
  struct stat st;
  if (handle_ == kClosed || ::fstat(static_cast<int>(handle_), &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

std::uint32_t DigestFile::Read(void* buffer, std::uint32_t n) {
  if (handle_ == kClosed) return 0;
  auto* p = static_cast<char*>(buffer);
  std::uint32_t got = 0;
  // A plain read may stop short of n before the end; fill the buffer as
  // ReadFile does.
  while (got < n) {
    const ssize_t k = ::read(static_cast<int>(handle_), p + got, n - got);
    if (k <= 0) break;
    got += static_cast<std::uint32_t>(k);
  }
  return got;
}

#endif

DigestFile::~DigestFile() { Close(); }

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
  DigestFile file(path, DigestFile::Sharing::kReadWrite);
  if (file.IsOpen()) {
    std::vector<std::uint8_t> buffer(kCrcReadSize);
    for (;;) {
      const std::uint32_t k = file.Read(buffer.data(), kCrcReadSize);
      if (k == 0) break;
      for (std::uint32_t i = 0; i < k; ++i)
        c = Crc32Table[(c ^ buffer[i]) & 0xFF].load(std::memory_order_relaxed) ^ (c >> 8);
    }
  }
  return c ^ 0xFFFFFFFFu;
}

}  // namespace crypto

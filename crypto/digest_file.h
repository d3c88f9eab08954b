// Files for the digest commands, with the Windows/POSIX split kept in
// digest_file.cpp. A path is the command's GBK text: Windows takes it through
// the ANSI functions (which follow the system code page, 936 on the programs'
// machines), POSIX takes the bytes as they are.
#pragma once

#include <atomic>
#include <cstdint>

#include "crypto/hash.h"
#include "crypto/stream.h"

namespace crypto {

// An existing file opened for reading. Exclusive: no other handle may hold it
// at the same time (share mode 0 on Windows; POSIX has no such mode, so there
// it is an ordinary open). Shared: others may read and write it meanwhile.
class DigestFile final : public ByteStream {
 public:
  enum class Sharing { kExclusive, kReadWrite };
  DigestFile(const char* path, Sharing sharing);
  ~DigestFile() override;
  DigestFile(const DigestFile&) = delete;
  DigestFile& operator=(const DigestFile&) = delete;

  // False when the file could not be opened (no path, no file, no access,
  // held by another handle); then Length and Read answer 0.
  bool IsOpen() const { return handle_ != kClosed; }
  void Close();
  std::uint64_t Length() const;
  // Up to n bytes; 0 at the end of the file or on a read error.
  std::uint32_t Read(void* buffer, std::uint32_t n) override;
  // The file is only read: writes are ignored.
  void Write(const void*, std::uint32_t) override {}

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
};

// Feeds n bytes of the source to the hash with AddStream's chunking (n div
// 8192 reads of 8192 bytes, then the rest), for counts of 4 GiB and more too:
// the count goes to AddStream in pieces of `piece` bytes, a multiple of 8192,
// so the reads are exactly those of a single call.
inline constexpr std::uint32_t kLongStreamPiece = 0x80000000u;
void AddLongStream(Hash& hash, ByteStream& source, std::uint64_t n, std::uint32_t piece = kLongStreamPiece);

// The library's CRC-32 table (reflected polynomial 0xEDB88320). Every
// FileCrc32 call rebuilds it with the same values; the entries are atomic so
// that calls on several threads rewriting it at once are no data race.
extern std::atomic<std::uint32_t> Crc32Table[256];
void BuildCrc32Table();

// CRC-32 of the whole file, read in pieces of 65521 bytes through a shared
// handle; 0 when the file cannot be opened, as for an empty file.
std::uint32_t FileCrc32(const char* path);
inline constexpr std::uint32_t kCrcReadSize = 65521;

}  // namespace crypto

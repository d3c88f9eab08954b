// The digest side of hashfile: files of any length through a hash, and the
// CRC-32 of a file. The files themselves are InputFiles (file_io.h).
#pragma once

#include <atomic>
#include <cstdint>

#include "crypto/hash.h"
#include "crypto/stream.h"

namespace crypto {

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

// CRC-32 of the whole file, read in pieces of 65521 bytes through a handle
// that shares the file with readers and writers; 0 when the file cannot be
// opened or a read fails, as for an empty file.
std::uint32_t FileCrc32(const char* path);
inline constexpr std::uint32_t kCrcReadSize = 65521;

}  // namespace crypto

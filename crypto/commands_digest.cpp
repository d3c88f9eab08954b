// Commands 10 and 11: the digest of a byte array or of a file as lower-case
// hex, under the digest numbers 21 to 30 or 31 for CRC-32. Bad input of any
// kind gives the empty text; nothing is raised to the host.
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <string>

#include "crypto/digest_file.h"
#include "crypto/digests/table.h"
#include "crypto/file_io.h"
#include "crypto/library.h"

namespace crypto {
namespace {

// Room for the longest digest (SHA-512).
constexpr std::size_t kDigestBufferSize = 64;

bool IsDigestNumber(std::int32_t algorithm) { return algorithm >= kFirstDigest && algorithm <= kCrc32Algorithm; }

// Two lower-case hex digits per digest byte, in order.
std::string DigestText(const std::uint8_t* digest, std::size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    text += kDigits[digest[i] >> 4];
    text += kDigits[digest[i] & 15];
  }
  return text;
}

// Runs one digest over whatever `feed` gives the hash, and formats it.
template <class Feed>
std::string Digest(const HashClass& cls, Feed feed) {
  std::unique_ptr<Hash> hash(cls.create(nullptr));
  hash->StartDigest();
  feed(*hash);
  std::uint8_t digest[kDigestBufferSize];
  hash->FinishDigest(digest);
  return DigestText(digest, static_cast<std::size_t>(hash->DigestBits()) / 8);
}

void SetText(CommandResult* result, const std::string& text) {
  SetResultPointer(result, CloneText(text.data(), text.size()));
}

}  // namespace

void CRYPTO_CALL hashbin(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  std::size_t n;
  const std::uint8_t* data = ArgBytes(args[0], &n);
  if (data == nullptr) return;
  const std::int32_t algorithm = ArgInteger(args[1]);
  if (!IsDigestNumber(algorithm)) return;
  if (algorithm == kCrc32Algorithm) {
    // A host byte array counts its bytes in 32 bits, so one call covers it.
    const auto crc = static_cast<unsigned long>(crc32(0L, data, static_cast<uInt>(n)));
    char text[9];
    std::snprintf(text, sizeof text, "%08lx", crc & 0xFFFFFFFFul);
    return SetText(result, text);
  }
  SetText(result, Digest(*FindDigest(algorithm), [&](Hash& h) { h.AddBytes(data, static_cast<std::uint32_t>(n)); }));
}

void CRYPTO_CALL hashfile(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const char* path = ArgText(args[0]);
  const std::int32_t algorithm = ArgInteger(args[1]);
  std::string text;
  try {
    // Exclusive: a file another handle holds gives the empty text. The handle
    // is closed before the text goes to the host, and before the CRC's own.
    InputFile file(path, FileSharing::kNone);
    if (!IsDigestNumber(algorithm)) return;
    if (algorithm != kCrc32Algorithm) {
      // The whole length, 4 GiB and more included: a 32-bit count would
      // digest only the length mod 2^32.
      const std::uint64_t length = file.Size();
      text = Digest(*FindDigest(algorithm), [&](Hash& h) { AddLongStream(h, file, length); });
    }
  } catch (const FileError&) {
    // Not opened, or a read failed: the digest of part of a file is no
    // digest of the file.
    return;
  }
  if (algorithm == kCrc32Algorithm) {
    const std::uint32_t crc = FileCrc32(path);
    if (crc == 0) return;
    char crc_text[9];
    std::snprintf(crc_text, sizeof crc_text, "%06lx", static_cast<unsigned long>(crc));
    text = crc_text;
  }
  SetText(result, text);
}

}  // namespace crypto

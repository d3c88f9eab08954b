// Commands 12 and 13: a byte array packed into a CRC-prefixed zlib container
// and back. Empty or short input and a CRC mismatch give the empty result;
// zlib errors leave the command as ZlibError and travel to the host.
#include "crypto/library.h"
#include "crypto/zip_container.h"

namespace crypto {

void CRYPTO_CALL zipbin(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  std::size_t n;
  const std::uint8_t* data = ArgBytes(args[0], &n);
  if (data == nullptr) return;
  const Bytes stream = ZipText(data, n);
  SetResultPointer(result, MakeZipContainer(stream.data(), stream.size()));
}

void CRYPTO_CALL unzipbin(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  std::size_t n;
  const std::uint8_t* container = ArgBytes(args[0], &n);
  std::size_t stream_size;
  const std::uint8_t* stream = OpenZipContainer(container, n, &stream_size);
  if (stream == nullptr) return;
  const Bytes bytes = UnzipText(stream, stream_size);
  SetResultPointer(result, CloneBytes(bytes.data(), bytes.size()));
}

}  // namespace crypto

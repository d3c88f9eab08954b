// Commands 6 and 7: base64 of a byte array, and its lenient decoding.
#include <cstring>

#include "crypto/base64.h"
#include "crypto/library.h"

namespace crypto {

void CRYPTO_CALL base64encode(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  std::size_t n;
  const std::uint8_t* data = ArgBytes(args[0], &n);
  if (data == nullptr) return;
  const std::string text = Base64EncodeText(data, n);
  SetResultPointer(result, CloneText(text.data(), text.size()));
}

void CRYPTO_CALL base64decode(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const char* text = ArgText(args[0]);
  if (text == nullptr) return;
  const Bytes bytes = Base64DecodeText(text, std::strlen(text));
  SetResultPointer(result, CloneBytes(bytes.data(), bytes.size()));
}

}  // namespace crypto

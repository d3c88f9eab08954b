// Base64: any text decodes within the bound; any bytes survive a round trip.
#include "crypto/base64.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const crypto::Bytes decoded = crypto::Base64DecodeText(text, size);
  FUZZ_CHECK(decoded.size() <= crypto::Base64DecodedBound(size));
  std::vector<std::uint8_t> out(crypto::Base64DecodedBound(size) + 1, 0xA5);
  const std::size_t n = crypto::Base64DecodeBytes(text, size, out.data());
  FUZZ_CHECK(n == decoded.size() && (n == 0 || std::memcmp(out.data(), decoded.data(), n) == 0));
  FUZZ_CHECK(out[crypto::Base64DecodedBound(size)] == 0xA5);

  const crypto::Bytes bytes(data, data + size);
  const std::string encoded = crypto::Base64EncodeText(bytes);
  FUZZ_CHECK(encoded.size() == crypto::Base64EncodedLength(size));
  FUZZ_CHECK(crypto::Base64DecodeText(encoded) == bytes);
  return 0;
}

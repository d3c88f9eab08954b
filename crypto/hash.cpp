#include "crypto/hash.h"

#include <vector>

namespace crypto {

const HashClass Hash::kClass = {-1, "", -1, nullptr, nullptr};

void Hash::AddText(const std::string& text) {
  AddBytes(text.data(), static_cast<std::uint32_t>(text.size()));
}

void Hash::AddStream(ByteStream& source, std::uint32_t n) {
  std::vector<std::uint8_t> buffer(kStreamChunk);
  for (std::uint32_t i = 0; i < n / kStreamChunk; ++i) AddBytes(buffer.data(), source.Read(buffer.data(), kStreamChunk));
  if (n % kStreamChunk != 0) AddBytes(buffer.data(), source.Read(buffer.data(), n % kStreamChunk));
}

}  // namespace crypto

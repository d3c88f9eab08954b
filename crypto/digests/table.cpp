#include "crypto/digests/table.h"

#include <iterator>

#include "crypto/digests/sha1.h"

namespace crypto {
namespace {

constexpr DigestEntry kDigests[] = {
    {21, "Haval", nullptr},     {22, "MD4", nullptr},    {23, "MD5", nullptr},
    {24, "RipeMD128", nullptr}, {25, "RipeMD160", nullptr}, {26, "SHA1", &Sha1::kClass},
    {27, "SHA256", nullptr},    {28, "SHA384", nullptr}, {29, "SHA512", nullptr},
    {30, "Tiger", nullptr},
};
static_assert(std::size(kDigests) == kDigestCount, "one row per digest number");

}  // namespace

const HashClass* FindDigest(std::int32_t algorithm) {
  const auto n = static_cast<std::uint32_t>(algorithm) - static_cast<std::uint32_t>(kFirstDigest);
  if (n >= static_cast<std::uint32_t>(kDigestCount)) return nullptr;
  return kDigests[n].hash;
}

const DigestEntry* DigestTable() { return kDigests; }

}  // namespace crypto

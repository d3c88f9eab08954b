#include "crypto/digests/table.h"

#include <iterator>

#include "crypto/digests/haval.h"
#include "crypto/digests/md4.h"
#include "crypto/digests/md5.h"
#include "crypto/digests/ripemd128.h"
#include "crypto/digests/ripemd160.h"
#include "crypto/digests/sha1.h"
#include "crypto/digests/sha256.h"
#include "crypto/digests/sha512.h"
#include "crypto/digests/tiger.h"

namespace crypto {
namespace {

constexpr DigestEntry kDigests[] = {
    {21, "Haval", &Haval::kClass},
    {22, "MD4", &Md4::kClass},
    {23, "MD5", &Md5::kClass},
    {24, "RipeMD128", &RipeMd128::kClass},
    {25, "RipeMD160", &RipeMd160::kClass},
    {26, "SHA1", &Sha1::kClass},
    {27, "SHA256", &Sha256::kClass},
    {28, "SHA384", &Sha384::kClass},
    {29, "SHA512", &Sha512::kClass},
    {30, "Tiger", &Tiger::kClass},
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

// Commands 14 and 15: textbook RSA over the bare MD5 value of a byte array (no
// padding, no digest identifier); keys and signatures are hex texts. Bad input
// gives the empty text or false; so does a zero modulus, which has no residues.
#include <cstring>
#include <memory>

#include "crypto/bigint.h"
#include "crypto/digests/table.h"
#include "crypto/library.h"

namespace crypto {
namespace {

constexpr std::int32_t kMd5Algorithm = 23;

// The MD5 digest of the bytes read as a big-endian 128-bit number.
bool Md5Value(const std::uint8_t* data, std::size_t n, BigInt* m) {
  const HashClass* md5 = FindDigest(kMd5Algorithm);
  if (md5 == nullptr) return false;
  std::unique_ptr<Hash> hash(md5->create(nullptr));
  std::uint8_t digest[16];
  hash->StartDigest();
  hash->AddBytes(data, static_cast<std::uint32_t>(n));
  hash->FinishDigest(digest);
  *m = BytesToBigInt(digest, sizeof digest);
  return true;
}

// A key or signature argument that passes the hex check.
bool HexArg(const CommandArg& arg, BigInt* x) {
  const char* text = ArgText(arg);
  if (text == nullptr) return false;
  const std::size_t n = std::strlen(text);
  if (!IsHexText(text, n)) return false;
  *x = BytesToBigInt(HexToBytes(text, n));
  return true;
}

}  // namespace

void CRYPTO_CALL rsaen(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  std::size_t size;
  const std::uint8_t* data = ArgBytes(args[0], &size);
  if (data == nullptr) return;
  BigInt m, d, n;
  if (!Md5Value(data, size, &m) || !HexArg(args[1], &d) || !HexArg(args[2], &n)) return;
  if (n.IsZero()) return;
  const std::string text = BytesToHex(BigIntToBytes(ModExp(m, d, n)));
  SetResultPointer(result, CloneText(text.data(), text.size()));
}

void CRYPTO_CALL rsade(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  std::size_t size;
  const std::uint8_t* data = ArgBytes(args[0], &size);
  if (data == nullptr) return;
  BigInt m, s, e, n;
  if (!Md5Value(data, size, &m) || !HexArg(args[1], &s) || !HexArg(args[2], &e) || !HexArg(args[3], &n)) return;
  if (n.IsZero()) return;
  SetResultLogical(result, ModExp(s, e, n) == m % n);
}

}  // namespace crypto

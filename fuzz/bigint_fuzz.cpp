// The hex and decimal parsers: whatever they accept survives a round trip.
#include <string>

#include "crypto/bigint.h"
#include "fuzz/fuzz_common.h"

namespace {
std::string Upper(std::string s) {
  for (char& c : s) if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return s;
}
std::string StripZeros(const std::string& s, std::size_t keep) {
  std::size_t i = 0;
  while (i + keep < s.size() && s[i] == '0') ++i;
  return s.substr(i);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 2048) return 0;  // quadratic conversions; length adds nothing
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (crypto::IsHexText(text)) {
    const crypto::Bytes bytes = crypto::HexToBytes(text);
    FUZZ_CHECK(bytes.size() == (size + 1) / 2);
    std::string padded = (size % 2 ? "0" : "") + Upper(text);
    FUZZ_CHECK(crypto::BytesToHex(bytes) == padded);
    const crypto::BigInt x = crypto::BytesToBigInt(bytes);
    const std::string dec = crypto::BigIntToDecimal(x);
    FUZZ_CHECK(crypto::IsDecimalText(dec));
    FUZZ_CHECK(crypto::BigIntToBytes(crypto::DecimalToBigInt(dec)) == crypto::BigIntToBytes(x));
    // The shortest bytes are the hex digits without leading zero bytes.
    std::size_t pairs = 0;
    while (pairs + 2 < padded.size() && padded.compare(pairs, 2, "00") == 0) pairs += 2;
    FUZZ_CHECK(crypto::BytesToHex(crypto::BigIntToBytes(x)) == padded.substr(pairs));
  }
  if (crypto::IsDecimalText(text)) {
    const crypto::BigInt x = crypto::DecimalToBigInt(text);
    FUZZ_CHECK(crypto::BigIntToDecimal(x) == StripZeros(text, 1));
    const crypto::Bytes bytes = crypto::BigIntToBytes(x);
    FUZZ_CHECK(!bytes.empty() && (bytes.size() == 1 || bytes[0] != 0));
    FUZZ_CHECK(crypto::BigIntToDecimal(crypto::BytesToBigInt(bytes)) == StripZeros(text, 1));
  }
  // Any bytes: to an integer and back gives the shortest form.
  const crypto::Bytes raw(data, data + size);
  const crypto::Bytes shortest = crypto::BigIntToBytes(crypto::BytesToBigInt(raw));
  std::size_t lead = 0;
  while (lead + 1 < raw.size() && raw[lead] == 0) ++lead;
  if (raw.empty()) {
    FUZZ_CHECK(shortest == crypto::Bytes{0});
  } else {
    FUZZ_CHECK(shortest == crypto::Bytes(raw.begin() + static_cast<std::ptrdiff_t>(lead), raw.end()));
  }
  return 0;
}

// Commands 4 and 5: bytes to base64 text under a key text and an algorithm
// number, and back. Every call builds a new cipher keyed from SHA-1 of the key
// text (no IV, so the chain starts at E(zero block)) and runs 8-bit CFB (or
// RC4's keystream): the same input always gives the same text, and decryption
// checks nothing. Key-setup errors travel to the host untouched.
#include <memory>
#include <string>

#include "crypto/ciphers/table.h"
#include "crypto/digests/sha1.h"
#include "crypto/library.h"

namespace crypto {
namespace {

std::unique_ptr<Cipher> KeyedCipher(const CipherClass& cls, const char* key_text) {
  std::unique_ptr<Cipher> cipher(cls.create(nullptr));
  cipher->InitFromText(key_text == nullptr ? std::string() : std::string(key_text), Sha1::kClass);
  return cipher;
}

}  // namespace

void CRYPTO_CALL encodebin(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  std::size_t n;
  const std::uint8_t* data = ArgBytes(args[0], &n);
  if (data == nullptr) return;
  const CipherClass* cls = FindCipher(ArgInteger(args[2]));
  if (cls == nullptr) return;
  std::unique_ptr<Cipher> cipher = KeyedCipher(*cls, ArgText(args[1]));
  const std::string text = cipher->EncryptToBase64(data, n);
  cipher->WipeKey();
  SetResultPointer(result, CloneText(text.data(), text.size()));
}

void CRYPTO_CALL decodebin(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const char* text = ArgText(args[0]);
  if (text == nullptr) return;
  const CipherClass* cls = FindCipher(ArgInteger(args[2]));
  if (cls == nullptr) return;
  std::unique_ptr<Cipher> cipher = KeyedCipher(*cls, ArgText(args[1]));
  Bytes bytes = cipher->DecryptFromBase64(text, std::char_traits<char>::length(text));
  cipher->WipeKey();
  SetResultPointer(result, CloneBytes(bytes.data(), bytes.size()));
  WipeBytes(bytes.data(), bytes.size());
}

}  // namespace crypto

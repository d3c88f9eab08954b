#include "crypto/cipher.h"

#include <memory>
#include <vector>

namespace crypto {

const CipherClass Cipher::kClass = {-1, "", -1, -1, nullptr, nullptr};

void Cipher::SetKey(const void* /*key*/, std::uint32_t bits, const void* /*iv*/) {
  if (initialised_) WipeKey();
  const auto max = static_cast<std::uint32_t>(MaxKeyBits());
  if (bits == 0 || bits % 4 != 0 || bits > max) throw CipherError(kInvalidKeySize);
  initialised_ = true;
}

void Cipher::WipeKey() { initialised_ = false; }

std::string Cipher::EncryptToBase64(const std::uint8_t* data, std::size_t n) {
  return EncryptThenEncode(&Cipher::EncryptBytes, data, n);
}

Bytes Cipher::DecryptFromBase64(const char* text, std::size_t n) {
  return DecodeThenDecrypt(&Cipher::DecryptBytes, text, n);
}

std::string Cipher::EncryptThenEncode(Step encrypt, const std::uint8_t* data, std::size_t n) {
  Bytes out(n);
  (this->*encrypt)(data, out.data(), static_cast<std::uint32_t>(n));
  std::string text = Base64EncodeText(out);
  WipeBytes(out.data(), out.size());
  return text;
}

Bytes Cipher::DecodeThenDecrypt(Step decrypt, const char* text, std::size_t n) {
  Bytes r = Base64DecodeText(text, n);
  (this->*decrypt)(r.data(), r.data(), static_cast<std::uint32_t>(r.size()));
  return r;
}

void Cipher::InitFromText(const std::string& key_text, const HashClass& hash_class) {
  if (initialised_) WipeKey();
  const std::size_t digest_bytes =
      hash_class.digest_bits > 0 ? static_cast<std::size_t>(hash_class.digest_bits) / 8 : 0;
  std::vector<std::uint8_t> digest;
  try {
    if (hash_class.create == nullptr) throw HashError(kHashNotInitialized);
    digest.resize(digest_bytes);
    // Owned by this cipher, so an error below cannot leak it.
    Hash* hash = hash_class.create(this);
    hash->StartDigest();
    hash->AddText(key_text);
    hash->FinishDigest(digest.data());
    delete hash;
    const std::int32_t bits = MaxKeyBits() < hash_class.digest_bits ? MaxKeyBits() : hash_class.digest_bits;
    SetKey(digest.data(), static_cast<std::uint32_t>(bits), nullptr);
  } catch (...) {
    WipeBytes(digest.data(), digest.size());
    throw CipherError(kKeySetupFailed);
  }
  WipeBytes(digest.data(), digest.size());
}

namespace {
template <class Step>
std::uint32_t RunChunks(ByteStream& source, ByteStream& target, std::uint32_t n, Step step) {
  std::vector<std::uint8_t> buffer(kStreamChunk);
  std::uint32_t total = 0;
  auto chunk = [&](std::uint32_t want) {
    const std::uint32_t k = source.Read(buffer.data(), want);
    total += k;
    step(buffer.data(), k);
    target.Write(buffer.data(), k);
  };
  for (std::uint32_t i = 0; i < n / kStreamChunk; ++i) chunk(kStreamChunk);
  if (n % kStreamChunk != 0) chunk(n % kStreamChunk);
  WipeBytes(buffer.data(), buffer.size());
  return total;
}
}  // namespace

std::uint32_t Cipher::EncryptStream(ByteStream& source, ByteStream& target, std::uint32_t n) {
  return RunChunks(source, target, n, [this](std::uint8_t* b, std::uint32_t k) { EncryptBytes(b, b, k); });
}

std::uint32_t Cipher::DecryptStream(ByteStream& source, ByteStream& target, std::uint32_t n) {
  return RunChunks(source, target, n, [this](std::uint8_t* b, std::uint32_t k) { DecryptBytes(b, b, k); });
}

void BlockCipher::EncryptBytes(const void* in, void* out, std::uint32_t n) {
  switch (mode_) {
    case ChainingMode::Cbc: return CbcEncrypt(in, out, n);
    case ChainingMode::Cfb8Bit: return Cfb8Encrypt(in, out, n);
    case ChainingMode::CfbBlock: return CfbBlockEncrypt(in, out, n);
    case ChainingMode::Ofb: return OfbEncrypt(in, out, n);
    case ChainingMode::Ctr: return CtrEncrypt(in, out, n);
  }
}

void BlockCipher::DecryptBytes(const void* in, void* out, std::uint32_t n) {
  switch (mode_) {
    case ChainingMode::Cbc: return CbcDecrypt(in, out, n);
    case ChainingMode::Cfb8Bit: return Cfb8Decrypt(in, out, n);
    case ChainingMode::CfbBlock: return CfbBlockDecrypt(in, out, n);
    case ChainingMode::Ofb: return OfbDecrypt(in, out, n);
    case ChainingMode::Ctr: return CtrDecrypt(in, out, n);
  }
}

std::string BlockCipher::EncryptToBase64(const std::uint8_t* data, std::size_t n) {
  return EncryptThenEncode(static_cast<Step>(&BlockCipher::Cfb8Encrypt), data, n);
}

Bytes BlockCipher::DecryptFromBase64(const char* text, std::size_t n) {
  return DecodeThenDecrypt(static_cast<Step>(&BlockCipher::Cfb8Decrypt), text, n);
}

}  // namespace crypto

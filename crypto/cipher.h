// Base of every cipher class, and the block-cipher layer under it.
//
// Calling order of a cipher: construct; SetKey or InitFromText; optionally
// LoadIV, a CipherMode change or ResetChain; any number of encrypt or decrypt
// calls, the chaining state running on from one call to the next; WipeKey;
// destroy. Sizes of keys and blocks count bits.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/component.h"
#include "crypto/errors.h"
#include "crypto/hash.h"
#include "crypto/stream.h"

namespace crypto {

class Cipher;

// Class-level facts and the virtual constructor of a cipher class.
struct CipherClass {
  std::int32_t id;            // the class's own id (not the library's algorithm number)
  const char* name;
  std::int32_t max_key_bits;
  std::int32_t block_bits;    // -1 for a stream cipher
  bool (*run_self_test)();    // checks the published vectors
  Cipher* (*create)(Component* owner);
};

class Cipher : public Component {
 public:
  using Component::Component;

  // The base class answers -1, "", -1, -1, false.
  static const CipherClass kClass;
  virtual const CipherClass& Class() const { return kClass; }
  std::int32_t AlgorithmId() const { return Class().id; }
  const char* AlgorithmName() const { return Class().name; }
  std::int32_t MaxKeyBits() const { return Class().max_key_bits; }

  // Wipes an old key, then raises CipherError "Invalid key size" for 0 bits, a
  // size that is not a multiple of 4 or one above MaxKeyBits; else sets the
  // initialised flag. Overrides call this first. iv: one block, or null.
  virtual void SetKey(const void* key, std::uint32_t bits, const void* iv);
  // Clears the initialised flag. Overrides wipe their own state first.
  virtual void WipeKey();
  virtual void ResetChain() {}
  virtual void EncryptBytes(const void* /*in*/, void* /*out*/, std::uint32_t /*n*/) {}
  virtual void DecryptBytes(const void* /*in*/, void* /*out*/, std::uint32_t /*n*/) {}
  // EncryptBytes over the bytes, then base64 (a block cipher uses 8-bit CFB
  // whatever CipherMode holds). The chain runs on by n bytes.
  virtual std::string EncryptToBase64(const std::uint8_t* data, std::size_t n);
  // Base64 decoding, then DecryptBytes in place over what the decoder produced.
  virtual Bytes DecryptFromBase64(const char* text, std::size_t n);
  std::string EncryptToBase64(const Bytes& data) { return EncryptToBase64(data.data(), data.size()); }
  Bytes DecryptFromBase64(const std::string& text) { return DecryptFromBase64(text.data(), text.size()); }

  // Keys the cipher from the digest of the key text: the key is the first
  // min(MaxKeyBits, DigestBits) bits of the digest, and no IV is given. Any
  // failure inside becomes CipherError "Unable to allocate sufficient memory
  // for hash digest".
  void InitFromText(const std::string& key_text, const HashClass& hash_class);

  // n div 8192 chunks of 8192 bytes, then one of n mod 8192, each read,
  // encrypted in place and written; answers the number of bytes read.
  std::uint32_t EncryptStream(ByteStream& source, ByteStream& target, std::uint32_t n);
  std::uint32_t DecryptStream(ByteStream& source, ByteStream& target, std::uint32_t n);

  bool Initialised() const { return initialised_; }

 protected:
  // The string path: one pass of the given operation, then base64 (or the reverse).
  using Step = void (Cipher::*)(const void*, void*, std::uint32_t);
  std::string EncryptThenEncode(Step encrypt, const std::uint8_t* data, std::size_t n);
  Bytes DecodeThenDecrypt(Step decrypt, const char* text, std::size_t n);

  bool initialised_ = false;
};

enum class ChainingMode : std::uint8_t { Cbc = 0, Cfb8Bit = 1, CfbBlock = 2, Ofb = 3, Ctr = 4 };

// The block-cipher layer. The block-size layers (block_modes.h) implement the
// chaining; a concrete cipher supplies ScheduleKey, EncryptBlock, DecryptBlock
// and WipeKey.
class BlockCipher : public Cipher {
 public:
  using Cipher::Cipher;

  std::int32_t BlockBits() const { return Class().block_bits; }
  ChainingMode CipherMode() const { return mode_; }
  void SetCipherMode(ChainingMode mode) { mode_ = mode; }

  // Dispatch on CipherMode.
  void EncryptBytes(const void* in, void* out, std::uint32_t n) override;
  void DecryptBytes(const void* in, void* out, std::uint32_t n) override;
  // 8-bit CFB whatever CipherMode holds.
  std::string EncryptToBase64(const std::uint8_t* data, std::size_t n) override;
  Bytes DecryptFromBase64(const char* text, std::size_t n) override;
  using Cipher::DecryptFromBase64;
  using Cipher::EncryptToBase64;

  // Uses the first bits/8 bytes of the key.
  virtual void ScheduleKey(const void* /*key*/, std::uint32_t /*bits*/) {}
  virtual void LoadIV(const void* /*iv*/) {}
  virtual void ReadChain(void* /*out*/) {}
  // Raise BlockCipherError "Cipher not initialized" without a key. in may be out.
  virtual void EncryptBlock(const void* /*in*/, void* /*out*/) {}
  virtual void DecryptBlock(const void* /*in*/, void* /*out*/) {}

  virtual void CbcEncrypt(const void*, void*, std::uint32_t) {}
  virtual void CbcDecrypt(const void*, void*, std::uint32_t) {}
  virtual void Cfb8Encrypt(const void*, void*, std::uint32_t) {}
  virtual void Cfb8Decrypt(const void*, void*, std::uint32_t) {}
  virtual void CfbBlockEncrypt(const void*, void*, std::uint32_t) {}
  virtual void CfbBlockDecrypt(const void*, void*, std::uint32_t) {}
  virtual void OfbEncrypt(const void*, void*, std::uint32_t) {}
  virtual void OfbDecrypt(const void*, void*, std::uint32_t) {}
  virtual void CtrEncrypt(const void*, void*, std::uint32_t) {}
  virtual void CtrDecrypt(const void*, void*, std::uint32_t) {}

 protected:
  ChainingMode mode_ = ChainingMode::Cbc;
};

template <class T>
Cipher* CreateCipher(Component* owner) {
  return new T(owner);
}

// memset through a volatile pointer: the compiler cannot drop the call as a
// dead store, and a whole buffer costs no more than a few stores (a volatile
// byte loop cost as much as hashing a short message).
inline void* (*const volatile g_wipe_fill)(void*, int, std::size_t) = std::memset;

// Overwrites key material and digest buffers with 0xFF before they are released.
inline void WipeBytes(void* p, std::size_t n) { g_wipe_fill(p, 0xFF, n); }

}  // namespace crypto

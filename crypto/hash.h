// Base of every digest class.
//
// Calling order: construct; StartDigest; any number of AddBytes, AddText or
// AddStream calls; FinishDigest (which wipes the running state); StartDigest
// again for another digest, or destroy. A concrete class raises HashError
// "Hash not initialized" from AddBytes and FinishDigest before StartDigest.
#pragma once

#include <cstdint>
#include <string>

#include "crypto/component.h"
#include "crypto/errors.h"
#include "crypto/stream.h"

namespace crypto {

class Hash;

// Class-level facts and the virtual constructor, usable before any object
// exists (key setup asks a hash class for its digest size first).
struct HashClass {
  std::int32_t id;             // the class's own id (not the library's algorithm number)
  const char* name;
  std::int32_t digest_bits;
  bool (*run_self_test)();     // checks the published vectors
  Hash* (*create)(Component* owner);
};

class Hash : public Component {
 public:
  using Component::Component;

  // The base class answers -1, "", -1, false.
  static const HashClass kClass;
  virtual const HashClass& Class() const { return kClass; }
  std::int32_t AlgorithmId() const { return Class().id; }
  const char* AlgorithmName() const { return Class().name; }
  std::int32_t DigestBits() const { return Class().digest_bits; }

  virtual void StartDigest() {}
  // Writes DigestBits/8 bytes.
  virtual void FinishDigest(std::uint8_t* /*digest*/) {}
  virtual void WipeDigestState() {}
  virtual void AddBytes(const void* /*data*/, std::uint32_t /*n*/) {}

  // One AddBytes call with all the text's bytes (count 0 for an empty text).
  void AddText(const std::string& text);
  // n div 8192 reads of 8192 bytes, then one of n mod 8192 if not 0; each chunk
  // goes to AddBytes with the count actually read.
  void AddStream(ByteStream& source, std::uint32_t n);

  bool Initialised() const { return initialised_; }

 protected:
  bool initialised_ = false;
};

// Creates an object of a concrete class with an owner (the class's virtual
// constructor).
template <class T>
Hash* CreateHash(Component* owner) {
  return new T(owner);
}

}  // namespace crypto

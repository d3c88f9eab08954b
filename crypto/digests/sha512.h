// SHA-384 and SHA-512 (FIPS 180-4): 128-byte blocks, big-endian 64-bit words.
// The two differ only in their initial values and the digest length, so both
// sit on one base class.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/digests/block_digest.h"

namespace crypto {

class Sha512Base : public BlockDigest<Sha512Base, std::uint64_t, 8, 128> {
 public:
  using BlockDigest::BlockDigest;

  void StartDigest() override;
  // Writes the first DigestBits/8 bytes of the big-endian chaining words.
  void FinishDigest(std::uint8_t* digest) override;

 protected:
  virtual const std::uint64_t* InitialState() const = 0;  // 8 words

 private:
  friend BlockDigest;
  void Compress(const std::uint8_t* blocks, std::size_t count);
};

class Sha384 final : public Sha512Base {
 public:
  static const HashClass kClass;  // id 45, "SHA384", 384 bits
  using Sha512Base::Sha512Base;
  const HashClass& Class() const override { return kClass; }

 protected:
  const std::uint64_t* InitialState() const override;
};

class Sha512 final : public Sha512Base {
 public:
  static const HashClass kClass;  // id 46, "SHA512", 512 bits
  using Sha512Base::Sha512Base;
  const HashClass& Class() const override { return kClass; }

 protected:
  const std::uint64_t* InitialState() const override;
};

// Chooses between the x86-64 code with the schedule on the vector units and the
// portable code (the only one elsewhere), so tests can run both; answers
// whether the vector code exists in this build.
bool Sha512UseVectorSchedule(bool enabled);

}  // namespace crypto

// Key sizes of RC6, Serpent, TEA, Twofish and GOST other than the vectors'
// ones: a size that is not a whole number of bytes uses its bits/8 bytes, and
// nothing past them counts.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "crypto/ciphers/gost.h"
#include "crypto/ciphers/rc6.h"
#include "crypto/ciphers/serpent.h"
#include "crypto/ciphers/tea.h"
#include "crypto/ciphers/twofish.h"
#include "tests/support/hex.h"

namespace {

using testing_support::RandomBytes;
using testing_support::ToHex;
using Bytes = std::vector<std::uint8_t>;

const crypto::CipherClass* const kClasses[] = {&crypto::Rc6::kClass, &crypto::Serpent::kClass,
                                                &crypto::Tea::kClass, &crypto::Twofish::kClass,
                                                &crypto::Gost::kClass};

Bytes EncryptOne(const crypto::CipherClass& cls, const Bytes& key, std::uint32_t bits, const Bytes& pt) {
  std::unique_ptr<crypto::Cipher> c(cls.create(nullptr));
  auto& b = dynamic_cast<crypto::BlockCipher&>(*c);
  b.SetKey(key.data(), bits, nullptr);
  Bytes out(pt.size());
  b.EncryptBlock(pt.data(), out.data());
  Bytes back(pt.size());
  b.DecryptBlock(out.data(), back.data());
  EXPECT_EQ(ToHex(back), ToHex(pt));
  return out;
}

TEST(Ciphers3Keys, AHalfByteAtTheEndIsDropped) {
  for (const auto* cls : kClasses) {
    SCOPED_TRACE(cls->name);
    const auto max = static_cast<std::uint32_t>(cls->max_key_bits);
    const Bytes key = RandomBytes(max / 8, 11);
    const Bytes pt = RandomBytes(static_cast<std::size_t>(cls->block_bits) / 8, 12);
    for (std::uint32_t bits : {12u, 68u, 124u, max - 4}) {
      SCOPED_TRACE(bits);
      EXPECT_EQ(ToHex(EncryptOne(*cls, key, bits, pt)), ToHex(EncryptOne(*cls, key, bits - 4, pt)));
    }
  }
}

TEST(Ciphers3Keys, BytesPastTheKeySizeAreNotRead) {
  for (const auto* cls : kClasses) {
    SCOPED_TRACE(cls->name);
    const auto max = static_cast<std::uint32_t>(cls->max_key_bits);
    const Bytes pt = RandomBytes(static_cast<std::size_t>(cls->block_bits) / 8, 13);
    for (std::uint32_t bits : {8u, 64u, 120u, max - 8}) {
      SCOPED_TRACE(bits);
      Bytes a = RandomBytes(max / 8, bits), b = a;
      for (std::size_t i = bits / 8; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(~b[i]);
      EXPECT_EQ(ToHex(EncryptOne(*cls, a, bits, pt)), ToHex(EncryptOne(*cls, b, bits, pt)));
    }
  }
}

TEST(Ciphers3Keys, LargestKeyPassesAndOneStepMoreIsRefused) {
  for (const auto* cls : kClasses) {
    SCOPED_TRACE(cls->name);
    const auto max = static_cast<std::uint32_t>(cls->max_key_bits);
    const Bytes key = RandomBytes(max / 8 + 1, 14);
    std::unique_ptr<crypto::Cipher> c(cls->create(nullptr));
    EXPECT_NO_THROW(c->SetKey(key.data(), max, nullptr));
    EXPECT_THROW(c->SetKey(key.data(), max + 4, nullptr), crypto::CipherError);
    EXPECT_FALSE(c->Initialised());
  }
}

}  // namespace

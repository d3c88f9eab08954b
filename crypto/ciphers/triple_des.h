// Triple DES, EDE with three keys: C = E_K3(D_K2(E_K1(P))), the key being
// K1 || K2 || K3 (192 bits, parity ignored). A shorter key is zero-padded to
// 24 bytes, so the 160-bit key from SHA-1 gives K1 = bytes 1-8, K2 = bytes
// 9-16 and K3 = bytes 17-20 followed by four zero bytes.
#pragma once

#include <cstdint>

#include "crypto/ciphers/des.h"

namespace crypto {

class TripleDes final : public DesBase {
 public:
  static const CipherClass kClass;  // id 14, "3DES", 192 key bits, 64-bit blocks
  using DesBase::DesBase;
  const CipherClass& Class() const override { return kClass; }

  // Uses bits/8 key bytes. A 16-byte key is padded too (K3 = 0): it is not
  // read as the two-key form K3 = K1.
  void ScheduleKey(const void* key, std::uint32_t bits) override;
};

}  // namespace crypto

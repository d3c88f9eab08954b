#include "crypto/ciphers/tea.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

constexpr std::uint32_t kDelta = 0x9E3779B9u;

// Tests 1, 2 and 6 of the teavect table, words big-endian.
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"00000000000000000000000000000000", "0000000000000000", "41ea3a0a94baa940"},
      {"00000000000000000000000041ea3a0a", "94baa94000000000", "4e8e78297d8236d8"},
      {"4e8e7829c88ba95eb84e28afa0a47295", "8fadf3b341ea3a0a", "ed650698cf9f2b79"},
  };
  return RunKnownAnswers<Tea>(kVectors);
}

}  // namespace

const CipherClass Tea::kClass = {32, "TEA", 128, 64, &SelfTest, &CreateCipher<Tea>};

Tea::~Tea() { WipeBytes(k_, sizeof k_); }

void Tea::ScheduleKey(const void* key, std::uint32_t bits) {
  std::uint8_t k[16] = {};
  if (bits / 8 > 0) std::memcpy(k, key, bits / 8);
  for (int i = 0; i < 4; ++i) k_[i] = LoadBe32(k + 4 * i);
  WipeBytes(k, sizeof k);
}

void Tea::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t v0 = LoadBe32(p), v1 = LoadBe32(p + 4), sum = 0;
  const std::uint32_t k0 = k_[0], k1 = k_[1], k2 = k_[2], k3 = k_[3];
#pragma GCC unroll 32
  for (int i = 0; i < kCycles; ++i) {
    sum += kDelta;
    v0 += ((v1 << 4) + k0) ^ (v1 + sum) ^ ((v1 >> 5) + k1);
    v1 += ((v0 << 4) + k2) ^ (v0 + sum) ^ ((v0 >> 5) + k3);
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, v0);
  StoreBe32(q + 4, v1);
}

void Tea::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t v0 = LoadBe32(p), v1 = LoadBe32(p + 4), sum = kDelta * kCycles;
  const std::uint32_t k0 = k_[0], k1 = k_[1], k2 = k_[2], k3 = k_[3];
#pragma GCC unroll 32
  for (int i = 0; i < kCycles; ++i) {
    v1 -= ((v0 << 4) + k2) ^ (v0 + sum) ^ ((v0 >> 5) + k3);
    v0 -= ((v1 << 4) + k0) ^ (v1 + sum) ^ ((v1 >> 5) + k1);
    sum -= kDelta;
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, v0);
  StoreBe32(q + 4, v1);
}

void Tea::WipeKey() {
  WipeBytes(k_, sizeof k_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

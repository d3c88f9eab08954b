#include "crypto/ciphers/rc2.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// PITABLE of RFC 2268, a permutation of 0..255 from the digits of pi.
constexpr std::uint8_t kPi[256] = {
    0xd9, 0x78, 0xf9, 0xc4, 0x19, 0xdd, 0xb5, 0xed, 0x28, 0xe9, 0xfd, 0x79, 0x4a, 0xa0, 0xd8, 0x9d,
    0xc6, 0x7e, 0x37, 0x83, 0x2b, 0x76, 0x53, 0x8e, 0x62, 0x4c, 0x64, 0x88, 0x44, 0x8b, 0xfb, 0xa2,
    0x17, 0x9a, 0x59, 0xf5, 0x87, 0xb3, 0x4f, 0x13, 0x61, 0x45, 0x6d, 0x8d, 0x09, 0x81, 0x7d, 0x32,
    0xbd, 0x8f, 0x40, 0xeb, 0x86, 0xb7, 0x7b, 0x0b, 0xf0, 0x95, 0x21, 0x22, 0x5c, 0x6b, 0x4e, 0x82,
    0x54, 0xd6, 0x65, 0x93, 0xce, 0x60, 0xb2, 0x1c, 0x73, 0x56, 0xc0, 0x14, 0xa7, 0x8c, 0xf1, 0xdc,
    0x12, 0x75, 0xca, 0x1f, 0x3b, 0xbe, 0xe4, 0xd1, 0x42, 0x3d, 0xd4, 0x30, 0xa3, 0x3c, 0xb6, 0x26,
    0x6f, 0xbf, 0x0e, 0xda, 0x46, 0x69, 0x07, 0x57, 0x27, 0xf2, 0x1d, 0x9b, 0xbc, 0x94, 0x43, 0x03,
    0xf8, 0x11, 0xc7, 0xf6, 0x90, 0xef, 0x3e, 0xe7, 0x06, 0xc3, 0xd5, 0x2f, 0xc8, 0x66, 0x1e, 0xd7,
    0x08, 0xe8, 0xea, 0xde, 0x80, 0x52, 0xee, 0xf7, 0x84, 0xaa, 0x72, 0xac, 0x35, 0x4d, 0x6a, 0x2a,
    0x96, 0x1a, 0xd2, 0x71, 0x5a, 0x15, 0x49, 0x74, 0x4b, 0x9f, 0xd0, 0x5e, 0x04, 0x18, 0xa4, 0xec,
    0xc2, 0xe0, 0x41, 0x6e, 0x0f, 0x51, 0xcb, 0xcc, 0x24, 0x91, 0xaf, 0x50, 0xa1, 0xf4, 0x70, 0x39,
    0x99, 0x7c, 0x3a, 0x85, 0x23, 0xb8, 0xb4, 0x7a, 0xfc, 0x02, 0x36, 0x5b, 0x25, 0x55, 0x97, 0x31,
    0x2d, 0x5d, 0xfa, 0x98, 0xe3, 0x8a, 0x92, 0xae, 0x05, 0xdf, 0x29, 0x10, 0x67, 0x6c, 0xba, 0xc9,
    0xd3, 0x00, 0xe6, 0xcf, 0xe1, 0x9e, 0xa8, 0x2c, 0x63, 0x16, 0x01, 0x3f, 0x58, 0xe2, 0x89, 0xa9,
    0x0d, 0x38, 0x34, 0x1b, 0xab, 0x33, 0xff, 0xb0, 0xbb, 0x48, 0x0c, 0x5f, 0xb9, 0xb1, 0xcd, 0x2e,
    0xc5, 0xf3, 0xdb, 0x47, 0xe5, 0xa5, 0x9c, 0x77, 0x0a, 0xa6, 0x20, 0x68, 0xfe, 0x7f, 0xc1, 0xad,
};

inline std::uint16_t Rotl16(std::uint32_t x, int s) {
  return static_cast<std::uint16_t>(((x << s) | ((x & 0xFFFF) >> (16 - s))) & 0xFFFF);
}
inline std::uint16_t Rotr16(std::uint32_t x, int s) {
  return static_cast<std::uint16_t>((((x & 0xFFFF) >> s) | (x << (16 - s))) & 0xFFFF);
}

// RFC 2268's key expansion of a key of T = bytes bytes with T1 = effective_bits.
void ExpandKey(const std::uint8_t* key, std::size_t bytes, unsigned effective_bits, std::uint16_t out[64]) {
  std::uint8_t l[128];
  if (bytes > 0) std::memcpy(l, key, bytes);
  for (std::size_t i = bytes; i < 128; ++i) l[i] = kPi[(l[i - 1] + l[i - bytes]) & 0xFF];
  const unsigned t8 = (effective_bits + 7) / 8;
  const unsigned tm = 0xFFu >> (8 * t8 - effective_bits);
  l[128 - t8] = kPi[l[128 - t8] & tm];
  for (int i = 127 - static_cast<int>(t8); i >= 0; --i) l[i] = kPi[l[i + 1] ^ l[i + t8]];
  for (int i = 0; i < 64; ++i) out[i] = LoadLe16(l + 2 * i);
  WipeBytes(l, sizeof l);
}

// RFC 2268's vectors whose T1 is 8 x the key bytes, and two 160-bit keys with
// T1 = 160 (computed; Crypto++, nettle, libgcrypt and OpenSSL agree).
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"ffffffffffffffff", "ffffffffffffffff", "278b27e42e2f0d49"},
      {"88bca90e90875a7f0f79c384627bafb2", "0000000000000000", "2269552ab0f85ca6"},
      {"000102030405060708090a0b0c0d0e0f10111213", "0011223344556677", "cc8cd026c2db7144"},
      {"a9993e364706816aba3e25717850c26c9cd0d89d", "0000000000000000", "b0f176322822cf9a"},
  };
  return RunKnownAnswers<Rc2>(kVectors);
}

}  // namespace

const CipherClass Rc2::kClass = {25, "RC2", 1024, 64, &SelfTest, &CreateCipher<Rc2>};

Rc2::~Rc2() { WipeBytes(k_, sizeof k_); }

void Rc2::ScheduleKey(const void* key, std::uint32_t bits) {
  static const std::uint8_t kZero = 0;
  const std::size_t bytes = bits / 8;
  if (bytes == 0)
    ExpandKey(&kZero, 1, 8, k_);
  else
    ExpandKey(static_cast<const std::uint8_t*>(key), bytes, static_cast<unsigned>(8 * bytes), k_);
}

void Rc2::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint16_t r0 = LoadLe16(p), r1 = LoadLe16(p + 2), r2 = LoadLe16(p + 4), r3 = LoadLe16(p + 6);
  const std::uint16_t* k = k_;
  // 16 mixing rounds (5, 6, 5) with a mashing round after the 5th and 11th.
  for (int round = 0; round < 16; ++round) {
    r0 = Rotl16(r0 + k[0] + (r3 & r2) + (~r3 & r1), 1);
    r1 = Rotl16(r1 + k[1] + (r0 & r3) + (~r0 & r2), 2);
    r2 = Rotl16(r2 + k[2] + (r1 & r0) + (~r1 & r3), 3);
    r3 = Rotl16(r3 + k[3] + (r2 & r1) + (~r2 & r0), 5);
    k += 4;
    if (round == 4 || round == 10) {
      r0 = static_cast<std::uint16_t>(r0 + k_[r3 & 63]);
      r1 = static_cast<std::uint16_t>(r1 + k_[r0 & 63]);
      r2 = static_cast<std::uint16_t>(r2 + k_[r1 & 63]);
      r3 = static_cast<std::uint16_t>(r3 + k_[r2 & 63]);
    }
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe16(q, r0);
  StoreLe16(q + 2, r1);
  StoreLe16(q + 4, r2);
  StoreLe16(q + 6, r3);
}

void Rc2::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint16_t r0 = LoadLe16(p), r1 = LoadLe16(p + 2), r2 = LoadLe16(p + 4), r3 = LoadLe16(p + 6);
  const std::uint16_t* k = k_ + 60;
  for (int round = 15; round >= 0; --round) {
    r3 = static_cast<std::uint16_t>(Rotr16(r3, 5) - k[3] - (r2 & r1) - (~r2 & r0));
    r2 = static_cast<std::uint16_t>(Rotr16(r2, 3) - k[2] - (r1 & r0) - (~r1 & r3));
    r1 = static_cast<std::uint16_t>(Rotr16(r1, 2) - k[1] - (r0 & r3) - (~r0 & r2));
    r0 = static_cast<std::uint16_t>(Rotr16(r0, 1) - k[0] - (r3 & r2) - (~r3 & r1));
    k -= 4;
    if (round == 11 || round == 5) {
      r3 = static_cast<std::uint16_t>(r3 - k_[r2 & 63]);
      r2 = static_cast<std::uint16_t>(r2 - k_[r1 & 63]);
      r1 = static_cast<std::uint16_t>(r1 - k_[r0 & 63]);
      r0 = static_cast<std::uint16_t>(r0 - k_[r3 & 63]);
    }
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreLe16(q, r0);
  StoreLe16(q + 2, r1);
  StoreLe16(q + 4, r2);
  StoreLe16(q + 6, r3);
}

void Rc2::WipeKey() {
  WipeBytes(k_, sizeof k_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

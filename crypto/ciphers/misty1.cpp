#include "crypto/ciphers/misty1.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/ciphers/known_answer.h"

namespace crypto {
namespace {

// S7TABLE and S9TABLE of RFC 2994.
constexpr std::uint8_t kS7[128] = {
    27, 50, 51, 90, 59, 16, 23, 84, 91, 26, 114, 115, 107, 44, 102, 73,
    31, 36, 19, 108, 55, 46, 63, 74, 93, 15, 64, 86, 37, 81, 28, 4,
    11, 70, 32, 13, 123, 53, 68, 66, 43, 30, 65, 20, 75, 121, 21, 111,
    14, 85, 9, 54, 116, 12, 103, 83, 40, 10, 126, 56, 2, 7, 96, 41,
    25, 18, 101, 47, 48, 57, 8, 104, 95, 120, 42, 76, 100, 69, 117, 61,
    89, 72, 3, 87, 124, 79, 98, 60, 29, 33, 94, 39, 106, 112, 77, 58,
    1, 109, 110, 99, 24, 119, 35, 5, 38, 118, 0, 49, 45, 122, 127, 97,
    80, 34, 17, 6, 71, 22, 82, 78, 113, 62, 105, 67, 52, 92, 88, 125,
};
constexpr std::uint16_t kS9[512] = {
    451, 203, 339, 415, 483, 233, 251, 53, 385, 185, 279, 491, 307, 9, 45, 211,
    199, 330, 55, 126, 235, 356, 403, 472, 163, 286, 85, 44, 29, 418, 355, 280,
    331, 338, 466, 15, 43, 48, 314, 229, 273, 312, 398, 99, 227, 200, 500, 27,
    1, 157, 248, 416, 365, 499, 28, 326, 125, 209, 130, 490, 387, 301, 244, 414,
    467, 221, 482, 296, 480, 236, 89, 145, 17, 303, 38, 220, 176, 396, 271, 503,
    231, 364, 182, 249, 216, 337, 257, 332, 259, 184, 340, 299, 430, 23, 113, 12,
    71, 88, 127, 420, 308, 297, 132, 349, 413, 434, 419, 72, 124, 81, 458, 35,
    317, 423, 357, 59, 66, 218, 402, 206, 193, 107, 159, 497, 300, 388, 250, 406,
    481, 361, 381, 49, 384, 266, 148, 474, 390, 318, 284, 96, 373, 463, 103, 281,
    101, 104, 153, 336, 8, 7, 380, 183, 36, 25, 222, 295, 219, 228, 425, 82,
    265, 144, 412, 449, 40, 435, 309, 362, 374, 223, 485, 392, 197, 366, 478, 433,
    195, 479, 54, 238, 494, 240, 147, 73, 154, 438, 105, 129, 293, 11, 94, 180,
    329, 455, 372, 62, 315, 439, 142, 454, 174, 16, 149, 495, 78, 242, 509, 133,
    253, 246, 160, 367, 131, 138, 342, 155, 316, 263, 359, 152, 464, 489, 3, 510,
    189, 290, 137, 210, 399, 18, 51, 106, 322, 237, 368, 283, 226, 335, 344, 305,
    327, 93, 275, 461, 121, 353, 421, 377, 158, 436, 204, 34, 306, 26, 232, 4,
    391, 493, 407, 57, 447, 471, 39, 395, 198, 156, 208, 334, 108, 52, 498, 110,
    202, 37, 186, 401, 254, 19, 262, 47, 429, 370, 475, 192, 267, 470, 245, 492,
    269, 118, 276, 427, 117, 268, 484, 345, 84, 287, 75, 196, 446, 247, 41, 164,
    14, 496, 119, 77, 378, 134, 139, 179, 369, 191, 270, 260, 151, 347, 352, 360,
    215, 187, 102, 462, 252, 146, 453, 111, 22, 74, 161, 313, 175, 241, 400, 10,
    426, 323, 379, 86, 397, 358, 212, 507, 333, 404, 410, 135, 504, 291, 167, 440,
    321, 60, 505, 320, 42, 341, 282, 417, 408, 213, 294, 431, 97, 302, 343, 476,
    114, 394, 170, 150, 277, 239, 69, 123, 141, 325, 83, 95, 376, 178, 46, 32,
    469, 63, 457, 487, 428, 68, 56, 20, 177, 363, 171, 181, 90, 386, 456, 468,
    24, 375, 100, 207, 109, 256, 409, 304, 346, 5, 288, 443, 445, 224, 79, 214,
    319, 452, 298, 21, 6, 255, 411, 166, 67, 136, 80, 351, 488, 289, 115, 382,
    188, 194, 201, 371, 393, 501, 116, 460, 486, 424, 405, 31, 65, 13, 442, 50,
    61, 465, 128, 168, 87, 441, 354, 328, 217, 261, 98, 122, 33, 511, 274, 264,
    448, 169, 285, 432, 422, 205, 243, 92, 258, 91, 473, 324, 502, 173, 165, 58,
    459, 310, 383, 70, 225, 30, 477, 230, 311, 506, 389, 140, 143, 64, 437, 190,
    120, 0, 172, 272, 350, 292, 2, 444, 162, 234, 112, 508, 278, 348, 76, 450,
};

// The 16-bit function FI: a 9-bit half a and a 7-bit half b through S9, S7,
// S9, with the key mixed in between. After the first two steps the halves are
// d9 = S9[a] ^ b and d7 = S7[b] ^ b ^ (S9[a] & 0x7f): one term from a and one
// from b, so two tables give the packed word d7 << 9 | d9 at once, and the key
// XORs into that word as it stands. The entries are 32-bit so that the
// arithmetic stays in full registers.
struct FiTables {
  std::uint32_t from_a[512];
  std::uint32_t from_b[128];
  std::uint32_t s9[512];
};

constexpr FiTables MakeFiTables() {
  FiTables t{};
  for (int a = 0; a < 512; ++a) {
    t.from_a[a] = static_cast<std::uint32_t>((kS9[a] & 0x7F) << 9 | kS9[a]);
    t.s9[a] = kS9[a];
  }
  for (int b = 0; b < 128; ++b) t.from_b[b] = static_cast<std::uint32_t>((kS7[b] ^ b) << 9 | b);
  return t;
}

constexpr FiTables kFi = MakeFiTables();

inline std::uint32_t Fi(std::uint32_t in, std::uint32_t key) {
  const std::uint32_t p = kFi.from_a[in >> 7] ^ kFi.from_b[in & 0x7F] ^ key;
  return (p & 0xFE00) ^ (p >> 9) ^ kFi.s9[p & 0x1FF];
}

// FO with its seven subkeys.
inline std::uint32_t Fo(std::uint32_t in, const std::uint16_t* k) {
  std::uint32_t t0 = in >> 16;
  std::uint32_t t1 = in & 0xFFFF;
  t0 = Fi(t0 ^ k[0], k[4]) ^ t1;
  t1 = Fi(t1 ^ k[1], k[5]) ^ t0;
  t0 = Fi(t0 ^ k[2], k[6]) ^ t1;
  t1 ^= k[3];
  return t1 << 16 | t0;
}

// FL and its inverse, with the AND key k[0] and the OR key k[1].
inline std::uint32_t Fl(std::uint32_t in, const std::uint16_t* k) {
  std::uint32_t d0 = in >> 16;
  std::uint32_t d1 = in & 0xFFFF;
  d1 ^= d0 & k[0];
  d0 ^= d1 | k[1];
  return d0 << 16 | d1;
}

inline std::uint32_t FlInv(std::uint32_t in, const std::uint16_t* k) {
  std::uint32_t d0 = in >> 16;
  std::uint32_t d1 = in & 0xFFFF;
  d0 ^= d1 | k[1];
  d1 ^= d0 & k[0];
  return d0 << 16 | d1;
}

// RFC 2994 test data.
bool SelfTest() {
  static const KnownAnswer kVectors[] = {
      {"00112233445566778899aabbccddeeff", "0123456789abcdef", "8b1da5f56ab3d07c"},
      {"00112233445566778899aabbccddeeff", "fedcba9876543210", "04b68240b13be95d"},
  };
  return RunKnownAnswers<Misty1>(kVectors);
}

}  // namespace

const CipherClass Misty1::kClass = {24, "MISTY1", 128, 64, &SelfTest, &CreateCipher<Misty1>};

Misty1::~Misty1() {
  WipeBytes(fo_, sizeof fo_);
  WipeBytes(fl_, sizeof fl_);
}

void Misty1::ScheduleKey(const void* key, std::uint32_t bits) {
  std::uint8_t k[16] = {};
  if (bits / 8 > 0) std::memcpy(k, key, bits / 8);
  std::uint16_t ek[16];  // K1..K8, then K'1..K'8
  for (int i = 0; i < 8; ++i) ek[i] = LoadBe16(k + 2 * i);
  for (int i = 0; i < 8; ++i) ek[i + 8] = static_cast<std::uint16_t>(Fi(ek[i], ek[(i + 1) % 8]));
  for (int r = 0; r < 8; ++r) {
    const std::uint16_t sub[7] = {ek[r], ek[(r + 2) % 8], ek[(r + 7) % 8], ek[(r + 4) % 8],  // KO1..KO4
                                  ek[(r + 5) % 8 + 8], ek[(r + 1) % 8 + 8], ek[(r + 3) % 8 + 8]};  // KI1..KI3
    std::memcpy(fo_[r], sub, sizeof sub);
  }
  for (int l = 0; l < 10; ++l) {
    const int h = l / 2;
    if (l % 2 == 0) {
      fl_[l][0] = ek[h];
      fl_[l][1] = ek[(h + 6) % 8 + 8];
    } else {
      fl_[l][0] = ek[(h + 2) % 8 + 8];
      fl_[l][1] = ek[(h + 4) % 8];
    }
  }
  WipeBytes(ek, sizeof ek);
  WipeBytes(k, sizeof k);
}

void Misty1::EncryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t d0 = LoadBe32(p), d1 = LoadBe32(p + 4);
  // Four pairs of rounds, each pair behind an FL layer on both halves.
#pragma GCC unroll 4
  for (int r = 0; r < 8; r += 2) {
    d0 = Fl(d0, fl_[r]);
    d1 = Fl(d1, fl_[r + 1]);
    d1 ^= Fo(d0, fo_[r]);
    d0 ^= Fo(d1, fo_[r + 1]);
  }
  d0 = Fl(d0, fl_[8]);
  d1 = Fl(d1, fl_[9]);
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, d1);
  StoreBe32(q + 4, d0);
}

void Misty1::DecryptBlock(const void* in, void* out) {
  CheckKey();
  const auto* p = static_cast<const std::uint8_t*>(in);
  std::uint32_t d1 = LoadBe32(p), d0 = LoadBe32(p + 4);
  d0 = FlInv(d0, fl_[8]);
  d1 = FlInv(d1, fl_[9]);
#pragma GCC unroll 4
  for (int r = 6; r >= 0; r -= 2) {
    d0 ^= Fo(d1, fo_[r + 1]);
    d1 ^= Fo(d0, fo_[r]);
    d0 = FlInv(d0, fl_[r]);
    d1 = FlInv(d1, fl_[r + 1]);
  }
  auto* q = static_cast<std::uint8_t*>(out);
  StoreBe32(q, d0);
  StoreBe32(q + 4, d1);
}

void Misty1::WipeKey() {
  WipeBytes(fo_, sizeof fo_);
  WipeBytes(fl_, sizeof fl_);
  BlockCipher64::WipeKey();
}

}  // namespace crypto

#include "crypto/digests/haval.h"

#include "crypto/digests/known_digest.h"

namespace crypto {
namespace {

bool SelfTest() {
  static const KnownDigest kVectors[] = {
      {"", 1, "5981d3f8cce7f5674752595f4ad24c184ba1c738c986d4d2eddf2bd86c3f8679"},
      {"abcdefghijklmnopqrstuvwxyz", 1, "1a1dc8099bdaa7f35b4da4e805f1a28fee909d8dee920198185cbcaed8a10a8d"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", 1,
       "c5647fc6c1877fff96742f27e9266b6874894f41a08f5913033d9d532aeddb39"},
  };
  return RunKnownDigests<Haval>(kVectors);
}

using W = std::uint32_t;

// The five Boolean functions in forms with fewer operations than their
// algebraic normal forms (and equal to them).
inline W F1(W x6, W x5, W x4, W x3, W x2, W x1, W x0) { return (x1 & (x0 ^ x4)) ^ (x2 & x5) ^ (x3 & x6) ^ x0; }
inline W F2(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  return (x2 & ((x1 & ~x3) ^ (x4 & x5) ^ x6 ^ x0)) ^ (x4 & (x1 ^ x5)) ^ (x3 & x5) ^ x0;
}
inline W F3(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  return (x3 & ((x1 & x2) ^ x6 ^ x0)) ^ (x1 & x4) ^ (x2 & x5) ^ x0;
}
inline W F4(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  return (x4 & ((x5 & ~x2) ^ (x3 & ~x6) ^ x1 ^ x6 ^ x0)) ^ (x3 & ((x1 & x2) ^ x5 ^ x6)) ^ (x2 & x6) ^ x0;
}
inline W F5(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  return (x0 & ((x1 & x2 & x3) ^ ~x5)) ^ (x1 & x4) ^ (x2 & x5) ^ (x3 & x6);
}

// Pass P's function with the 5-pass input permutation phi(P, 5) applied.
template <int P>
inline W Phi(W x6, W x5, W x4, W x3, W x2, W x1, W x0) {
  if constexpr (P == 0) return F1(x3, x4, x1, x0, x5, x2, x6);
  if constexpr (P == 1) return F2(x6, x2, x1, x0, x3, x4, x5);
  if constexpr (P == 2) return F3(x2, x6, x0, x4, x3, x1, x5);
  if constexpr (P == 3) return F4(x1, x5, x3, x2, x0, x4, x6);
  return F5(x2, x5, x0, x6, x4, x3, x1);
}

constexpr int kOrder[5][32] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,  //
     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31},
    {5, 14, 26, 18, 11, 28, 7, 16, 0, 23, 20, 22, 1, 10, 4, 8,  //
     30, 3, 21, 9, 17, 24, 29, 6, 19, 12, 15, 13, 2, 25, 31, 27},
    {19, 9, 4, 20, 28, 17, 8, 22, 29, 14, 25, 12, 24, 30, 16, 26,  //
     31, 15, 7, 3, 1, 0, 18, 27, 13, 6, 21, 10, 23, 11, 5, 2},
    {24, 4, 0, 14, 2, 7, 28, 23, 26, 6, 30, 20, 18, 25, 19, 3,  //
     22, 11, 31, 21, 8, 27, 12, 9, 1, 29, 5, 15, 17, 10, 16, 13},
    {27, 3, 21, 26, 17, 11, 20, 29, 19, 0, 12, 7, 13, 8, 31, 10,  //
     5, 9, 14, 30, 18, 6, 28, 24, 2, 23, 16, 22, 4, 1, 25, 15},
};

// The fraction of pi: words 0-7 are the initial state, words 8-135 the
// constants of passes 2 to 5 (pass 1 has none).
constexpr W kPi[136] = {
    0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344, 0xA4093822, 0x299F31D0, 0x082EFA98, 0xEC4E6C89,
    0x452821E6, 0x38D01377, 0xBE5466CF, 0x34E90C6C, 0xC0AC29B7, 0xC97C50DD, 0x3F84D5B5, 0xB5470917,
    0x9216D5D9, 0x8979FB1B, 0xD1310BA6, 0x98DFB5AC, 0x2FFD72DB, 0xD01ADFB7, 0xB8E1AFED, 0x6A267E96,
    0xBA7C9045, 0xF12C7F99, 0x24A19947, 0xB3916CF7, 0x0801F2E2, 0x858EFC16, 0x636920D8, 0x71574E69,
    0xA458FEA3, 0xF4933D7E, 0x0D95748F, 0x728EB658, 0x718BCD58, 0x82154AEE, 0x7B54A41D, 0xC25A59B5,
    0x9C30D539, 0x2AF26013, 0xC5D1B023, 0x286085F0, 0xCA417918, 0xB8DB38EF, 0x8E79DCB0, 0x603A180E,
    0x6C9E0E8B, 0xB01E8A3E, 0xD71577C1, 0xBD314B27, 0x78AF2FDA, 0x55605C60, 0xE65525F3, 0xAA55AB94,
    0x57489862, 0x63E81440, 0x55CA396A, 0x2AAB10B6, 0xB4CC5C34, 0x1141E8CE, 0xA15486AF, 0x7C72E993,
    0xB3EE1411, 0x636FBC2A, 0x2BA9C55D, 0x741831F6, 0xCE5C3E16, 0x9B87931E, 0xAFD6BA33, 0x6C24CF5C,
    0x7A325381, 0x28958677, 0x3B8F4898, 0x6B4BB9AF, 0xC4BFE81B, 0x66282193, 0x61D809CC, 0xFB21A991,
    0x487CAC60, 0x5DEC8032, 0xEF845D5D, 0xE98575B1, 0xDC262302, 0xEB651B88, 0x23893E81, 0xD396ACC5,
    0x0F6D6FF3, 0x83F44239, 0x2E0B4482, 0xA4842004, 0x69C8F04A, 0x9E1F9B5E, 0x21C66842, 0xF6E96C9A,
    0x670C9C61, 0xABD388F0, 0x6A51A0D2, 0xD8542F68, 0x960FA728, 0xAB5133A3, 0x6EEF0B6C, 0x137A3BE4,
    0xBA3BF050, 0x7EFB2A98, 0xA1F1651D, 0x39AF0176, 0x66CA593E, 0x82430E88, 0x8CEE8619, 0x456F9FB4,
    0x7D84A5C3, 0x3B8B5EBE, 0xE06F75D8, 0x85C12073, 0x401A449F, 0x56C16AA6, 0x4ED3AA62, 0x363F7706,
    0x1BFEDF72, 0x429B023D, 0x37D0D724, 0xD00A1248, 0xDB0FEAD3, 0x49F1C09B, 0x075372C9, 0x80991B7B,
    0x25D479D8, 0xF6E8DEF7, 0xE3FE501A, 0xB6794C3B, 0x976CE0BD, 0x04C006BA, 0xC1A94FB6, 0x409F60C4,
};

// Step j of a pass replaces word 7 - j (mod 8) of the state; the other seven,
// taken as x6..x0 counting down from it, feed the pass's function.
template <int P>
inline void Pass(W* t, const W* w) {
#pragma GCC unroll 32
  for (int j = 0; j < 32; ++j) {
    const W f = Phi<P>(t[(6 - j) & 7], t[(5 - j) & 7], t[(4 - j) & 7], t[(3 - j) & 7], t[(2 - j) & 7], t[(1 - j) & 7],
                       t[(0 - j) & 7]);
    W& x7 = t[(7 - j) & 7];
    x7 = Rotr32(f, 7) + Rotr32(x7, 11) + w[kOrder[P][j]] + (P == 0 ? 0 : kPi[8 + 32 * (P - 1) + j]);
  }
}

}  // namespace

const HashClass Haval::kClass = {48, "Haval", 256, &SelfTest, &CreateHash<Haval>};

void Haval::StartDigest() { Start(kPi); }

void Haval::Compress(const std::uint8_t* p, std::size_t count) {
  for (; count > 0; --count, p += 128) {
    W w[32];
    for (int i = 0; i < 32; ++i) w[i] = LoadLe32(p + 4 * i);
    W t[8];
    for (int i = 0; i < 8; ++i) t[i] = h_[i];
    Pass<0>(t, w);
    Pass<1>(t, w);
    Pass<2>(t, w);
    Pass<3>(t, w);
    Pass<4>(t, w);
    for (int i = 0; i < 8; ++i) h_[i] += t[i];
  }
}

// The tail holds two more fields before the bit count.
void Haval::FinishDigest(std::uint8_t* digest) {
  CheckStarted();
  const std::uint64_t bits = buffer_.total * 8;
  buffer_.Pad(first_pad_, 118, Compressor());
  buffer_.bytes[118] = 0x29;  // version 1, 5 passes, output-length bits 0
  buffer_.bytes[119] = 0x40;  // 256 / 4
  StoreLe64(buffer_.bytes + 120, bits);
  CompressBuffer();
  StoreState<ByteOrder::kLittle>(digest);
  WipeDigestState();
}

void PublishedHaval256(const void* data, std::uint32_t n, std::uint8_t* digest) {
  Haval h;
  h.first_pad_ = 0x01;
  h.StartDigest();
  h.AddBytes(data, n);
  h.FinishDigest(digest);
}

}  // namespace crypto

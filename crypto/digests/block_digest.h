// Pieces shared by the block-oriented digests: the input buffer with its
// padding step, and the base class with what every such digest does alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "crypto/bytes.h"
#include "crypto/cipher.h"
#include "crypto/hash.h"

namespace crypto {

// Collects input into blocks of B bytes. Whole blocks of the caller's data go
// to the compression function directly and several at a time, so it can keep
// its state in registers across them. compress(const uint8_t* blocks, size_t count).
template <std::uint32_t B>
struct BlockBuffer {
  std::uint8_t bytes[B] = {};
  std::uint32_t used = 0;
  std::uint64_t total = 0;  // bytes fed since Reset

  void Reset() {
    used = 0;
    total = 0;
  }

  template <class Compress>
  void Add(const void* data, std::uint32_t n, Compress compress) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    total += n;
    if (used > 0) {
      const std::uint32_t take = n < B - used ? n : B - used;
      std::memcpy(bytes + used, p, take);
      used += take;
      p += take;
      n -= take;
      if (used < B) return;
      compress(bytes, 1);
      used = 0;
    }
    if (n >= B) {
      compress(p, n / B);
      p += n / B * B;
      n %= B;
    }
    if (n > 0) std::memcpy(bytes, p, n);
    used = n;
  }

  // Writes `first` after the message and zeros up to byte `tail`; when `first`
  // itself lands at `tail` or later, that block is compressed and the zeros
  // fill a fresh one. The caller writes bytes tail..B-1 and compresses `bytes`.
  template <class Compress>
  void Pad(std::uint8_t first, std::uint32_t tail, Compress compress) {
    bytes[used++] = first;
    if (used > tail) {
      std::memset(bytes + used, 0, B - used);
      compress(bytes, 1);
      used = 0;
    }
    std::memset(bytes + used, 0, tail - used);
  }

  void Wipe() {
    WipeBytes(bytes, B);
    Reset();
  }
};

enum class ByteOrder { kLittle, kBig };

// A 32- or 64-bit word in the given byte order.
template <ByteOrder Order, class Word>
inline void StoreWord(std::uint8_t* p, Word v) {
  static_assert(sizeof(Word) == 4 || sizeof(Word) == 8, "digest words");
  if constexpr (sizeof(Word) == 8)
    Order == ByteOrder::kBig ? StoreBe64(p, v) : StoreLe64(p, v);
  else
    Order == ByteOrder::kBig ? StoreBe32(p, v) : StoreLe32(p, v);
}

// A digest with N chaining words of type Word over B-byte blocks: the state,
// the input buffer, and the steps that are the same for all of them. Derived
// supplies Compress(const std::uint8_t* blocks, std::size_t count), called
// directly rather than through a virtual function, and makes the base its
// friend for that; StartDigest through Start; and FinishDigest, most through
// Finish.
template <class Derived, class Word, std::size_t N, std::uint32_t B>
class BlockDigest : public Hash {
 public:
  using Hash::Hash;
  ~BlockDigest() override {
    if (initialised_) Wipe();
  }

  void AddBytes(const void* data, std::uint32_t n) override {
    CheckStarted();
    buffer_.Add(data, n, Compressor());
  }
  void WipeDigestState() override { Wipe(); }

 protected:
  // initial: N words.
  void Start(const Word* initial) {
    for (std::size_t i = 0; i < N; ++i) h_[i] = initial[i];
    buffer_.Reset();
    initialised_ = true;
  }

  void CheckStarted() const {
    if (!initialised_) throw HashError(kHashNotInitialized);
  }

  // The usual end: `first` after the message, zeros, the message's bit count
  // as a 64-bit word in the block's last 8 bytes; then the chaining words in
  // order are the digest. Both in the one byte order. Wipes the state.
  template <ByteOrder Order>
  void Finish(std::uint8_t first, std::uint8_t* digest) {
    CheckStarted();
    const std::uint64_t bits = buffer_.total * 8;
    buffer_.Pad(first, B - 8, Compressor());
    StoreWord<Order>(buffer_.bytes + B - 8, bits);
    CompressBuffer();
    StoreState<Order>(digest);
    Wipe();
  }

  template <ByteOrder Order>
  void StoreState(std::uint8_t* out) const {
    for (std::size_t i = 0; i < N; ++i) StoreWord<Order>(out + sizeof(Word) * i, h_[i]);
  }

  void CompressBuffer() { static_cast<Derived*>(this)->Compress(buffer_.bytes, 1); }
  auto Compressor() {
    return [this](const std::uint8_t* p, std::size_t count) { static_cast<Derived*>(this)->Compress(p, count); };
  }

  Word h_[N] = {};
  BlockBuffer<B> buffer_;

 private:
  void Wipe() {
    WipeBytes(h_, sizeof h_);
    buffer_.Wipe();
    initialised_ = false;
  }
};

}  // namespace crypto

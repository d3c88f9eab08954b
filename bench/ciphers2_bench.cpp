// Throughput of ICE, Thin-ICE, ICE-2, MARS, MISTY1, RC2 and RC4 in one run,
// each with the key size the library uses (SHA-1: 20 bytes, or the cipher's
// whole key when that is smaller), beside the fastest oracle that has the
// cipher: Crypto++ for RC2 (T1 = 160) and RC4, Botan for MISTY1. No library has
// ICE or the 1998 MARS schedule, so those rows stand alone. After the usual
// table it prints ours / oracle for every pair.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <benchmark/benchmark.h>
#include <botan/block_cipher.h>
#include <cryptopp/arc4.h>
#include <cryptopp/rc2.h>

#include <string>

#include "bench/bench_support.h"
#include "crypto/ciphers/ice.h"
#include "crypto/ciphers/mars.h"
#include "crypto/ciphers/misty1.h"
#include "crypto/ciphers/rc2.h"
#include "crypto/ciphers/rc4.h"

namespace {

using bench::kBlocks;
using bench::RandomBytes;

// kBlocks independent blocks (ECB) encrypted in place, for every side.
template <class Mode>
void Rc2CryptoPp_(benchmark::State& state, std::size_t key_bytes) {
  const auto key = RandomBytes(key_bytes);
  Mode c(key.data(), key.size(), static_cast<int>(8 * key_bytes));
  bench::RunBlockBuffer<8>(state, [&c](std::uint8_t* b) { c.ProcessBlock(b); });
}

// Botan's own bulk call, its fastest path.
template <bool Decrypt>
void Misty1Botan_(benchmark::State& state) {
  const auto key = RandomBytes(16);
  const auto c = Botan::BlockCipher::create_or_throw("MISTY1");
  c->set_key(key.data(), key.size());
  bench::RunInPlace(state, kBlocks * 8, [&c](std::uint8_t* p, std::size_t) {
    if (Decrypt)
      c->decrypt_n(p, p, kBlocks);
    else
      c->encrypt_n(p, p, kBlocks);
  });
}

constexpr std::size_t kStreamBytes = 64 * 1024;

void Rc4Ours(benchmark::State& state) {
  const auto key = RandomBytes(20);
  crypto::Rc4 c;
  c.SetKey(key.data(), 160, nullptr);
  bench::RunInPlace(state, kStreamBytes,
                    [&c](std::uint8_t* p, std::size_t n) { c.EncryptBytes(p, p, static_cast<std::uint32_t>(n)); });
}

void Rc4CryptoPp(benchmark::State& state) {
  const auto key = RandomBytes(20);
  CryptoPP::Weak::ARC4 c(key.data(), key.size());
  bench::RunInPlace(state, kStreamBytes, [&c](std::uint8_t* p, std::size_t n) { c.ProcessData(p, p, n); });
}

template <class Ours>
void RegisterOurs(const std::string& name, std::size_t key_bytes) {
  benchmark::RegisterBenchmark((name + "/Encrypt/Ours").c_str(), &bench::OursBuffer<Ours, false>, key_bytes,
                               bench::kSeed);
  benchmark::RegisterBenchmark((name + "/Decrypt/Ours").c_str(), &bench::OursBuffer<Ours, true>, key_bytes,
                               bench::kSeed);
}

}  // namespace

int main(int argc, char** argv) {
  RegisterOurs<crypto::Ice>("ICE", 8);
  RegisterOurs<crypto::ThinIce>("ThinICE", 8);
  RegisterOurs<crypto::Ice2>("ICE2", 16);
  RegisterOurs<crypto::Mars>("MARS", 20);
  RegisterOurs<crypto::Misty1>("MISTY1", 16);
  benchmark::RegisterBenchmark("MISTY1/Encrypt/Botan", &Misty1Botan_<false>);
  benchmark::RegisterBenchmark("MISTY1/Decrypt/Botan", &Misty1Botan_<true>);
  RegisterOurs<crypto::Rc2>("RC2", 20);
  benchmark::RegisterBenchmark("RC2/Encrypt/CryptoPP", &Rc2CryptoPp_<CryptoPP::RC2::Encryption>, 20);
  benchmark::RegisterBenchmark("RC2/Decrypt/CryptoPP", &Rc2CryptoPp_<CryptoPP::RC2::Decryption>, 20);
  benchmark::RegisterBenchmark("RC4/Keystream/Ours", &Rc4Ours);
  benchmark::RegisterBenchmark("RC4/Keystream/CryptoPP", &Rc4CryptoPp);
  return bench::RunWithRatios(argc, argv, "oracle", {"CryptoPP", "Botan"});
}

// Block throughput of RC6, Serpent, TEA, Twofish and GOST beside Crypto++ in
// one run, each with the key size the library uses (SHA-1: 20 bytes, TEA 16).
// After the usual table it prints ours / Crypto++ for every pair.
#include <benchmark/benchmark.h>
#include <cryptopp/gost.h>
#include <cryptopp/rc6.h>
#include <cryptopp/serpent.h>
#include <cryptopp/tea.h>
#include <cryptopp/twofish.h>

#include <string>
#include <type_traits>

#include "bench/bench_support.h"
#include "crypto/ciphers/gost.h"
#include "crypto/ciphers/rc6.h"
#include "crypto/ciphers/serpent.h"
#include "crypto/ciphers/tea.h"
#include "crypto/ciphers/twofish.h"

namespace {

using bench::kSeed;

// Each block is encrypted in place from the previous output, for both sides.
// Crypto++'s key setup is called directly: its public check refuses 20 bytes
// for RC6, Serpent and Twofish, and GOST takes the 20 bytes zero-padded to 32.
template <class Cpp>
struct CryptoPp {
  template <bool Decrypt>
  static void Run(benchmark::State& state, std::size_t key_bytes, std::size_t oracle_key_bytes) {
    auto key = bench::RandomBytes(key_bytes, kSeed);
    key.resize(oracle_key_bytes, 0);
    using Mode = std::conditional_t<Decrypt, typename Cpp::Decryption, typename Cpp::Encryption>;
    Mode c;
    c.UncheckedSetKey(key.data(), static_cast<unsigned>(key.size()), CryptoPP::g_nullNameValuePairs);
    bench::RunChainedBlocks<Mode::BLOCKSIZE>(state, [&c](std::uint8_t* b) { c.ProcessBlock(b); });
  }
};

template <class Ours, class Cpp>
void RegisterPair(const std::string& name, std::size_t key_bytes, std::size_t cpp_key_bytes) {
  bench::RegisterChainedPair<Ours, CryptoPp<Cpp>>(name, key_bytes, kSeed, "CryptoPP", key_bytes, cpp_key_bytes);
}

}  // namespace

int main(int argc, char** argv) {
  RegisterPair<crypto::Rc6, CryptoPP::RC6>("RC6", 20, 20);
  RegisterPair<crypto::Serpent, CryptoPP::Serpent>("Serpent", 20, 20);
  RegisterPair<crypto::Tea, CryptoPP::TEA>("TEA", 16, 16);
  RegisterPair<crypto::Twofish, CryptoPP::Twofish>("Twofish", 20, 20);
  RegisterPair<crypto::Gost, CryptoPP::GOST>("GOST", 20, 32);
  return bench::RunWithRatios(argc, argv, "Crypto++", {"CryptoPP"});
}

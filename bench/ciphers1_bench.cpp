// Block throughput of Blowfish, CAST-128, CAST-256, DES, triple DES and IDEA
// beside Crypto++ in one run, each with the key size the library uses (SHA-1:
// 20 bytes, or the cipher's largest key if smaller). Prints ours / Crypto++
// for every pair after the usual table.
#include <benchmark/benchmark.h>
#include <cryptopp/blowfish.h>
#include <cryptopp/cast.h>
#include <cryptopp/des.h>
#include <cryptopp/idea.h>

#include <string>
#include <type_traits>

#include "bench/bench_support.h"
#include "crypto/ciphers/blowfish.h"
#include "crypto/ciphers/cast128.h"
#include "crypto/ciphers/cast256.h"
#include "crypto/ciphers/des.h"
#include "crypto/ciphers/idea.h"
#include "crypto/ciphers/triple_des.h"

namespace {

constexpr std::uint32_t kSeed = 7;

// Blocks are chained in place (each encrypts the previous output) on both
// sides. Crypto++ gets the same key, zero-padded where it wants the padded
// form (triple DES).
template <class Cpp>
struct CryptoPp {
  template <bool Decrypt>
  static void Run(benchmark::State& state, std::size_t key_bytes, std::size_t oracle_key_bytes) {
    auto key = bench::RandomBytes(key_bytes, kSeed);
    key.resize(oracle_key_bytes, 0);
    using Mode = std::conditional_t<Decrypt, typename Cpp::Decryption, typename Cpp::Encryption>;
    Mode c(key.data(), key.size());
    bench::RunChainedBlocks<Mode::BLOCKSIZE>(state, [&c](std::uint8_t* b) { c.ProcessBlock(b); });
  }
};

template <class Ours, class Cpp>
void RegisterPair(const std::string& name, std::size_t key_bytes, std::size_t cpp_key_bytes) {
  bench::RegisterChainedPair<Ours, CryptoPp<Cpp>>(name, key_bytes, kSeed, "CryptoPP", key_bytes, cpp_key_bytes);
}

}  // namespace

int main(int argc, char** argv) {
  RegisterPair<crypto::Blowfish, CryptoPP::Blowfish>("Blowfish", 20, 20);
  RegisterPair<crypto::Cast128, CryptoPP::CAST128>("CAST-128", 16, 16);
  RegisterPair<crypto::Cast256, CryptoPP::CAST256>("CAST-256", 20, 20);
  RegisterPair<crypto::Des, CryptoPP::DES>("DES", 8, 8);
  RegisterPair<crypto::TripleDes, CryptoPP::DES_EDE3>("3DES", 20, 24);
  RegisterPair<crypto::Idea, CryptoPP::IDEA>("IDEA", 16, 16);
  return bench::RunWithRatios(argc, argv, "Crypto++", {"CryptoPP"});
}

// Block throughput of RC6, Serpent, TEA, Twofish and GOST beside Crypto++ in
// one run, each with the key size the library uses (SHA-1: 20 bytes, TEA 16).
// After the usual table it prints ours / Crypto++ for every pair.
#include <benchmark/benchmark.h>
#include <cryptopp/gost.h>
#include <cryptopp/rc6.h>
#include <cryptopp/serpent.h>
#include <cryptopp/tea.h>
#include <cryptopp/twofish.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crypto/ciphers/gost.h"
#include "crypto/ciphers/rc6.h"
#include "crypto/ciphers/serpent.h"
#include "crypto/ciphers/tea.h"
#include "crypto/ciphers/twofish.h"

namespace {

std::vector<std::uint8_t> Random(std::size_t n) {
  std::mt19937 rng(42);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

constexpr int kBlocks = 1024;

// Each block is encrypted in place from the previous output, for both sides.
template <class Ours, bool Decrypt>
void Ours_(benchmark::State& state, std::size_t key_bytes) {
  const auto key = Random(key_bytes);
  Ours c;
  c.SetKey(key.data(), static_cast<std::uint32_t>(8 * key_bytes), nullptr);
  std::uint8_t block[Ours::kBlockBytes] = {};
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) {
      if (Decrypt)
        c.DecryptBlock(block, block);
      else
        c.EncryptBlock(block, block);
    }
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * kBlocks * static_cast<std::int64_t>(sizeof block));
}

// Crypto++'s key setup called directly: its public check refuses 20 bytes for
// RC6, Serpent and Twofish, and GOST takes the 20 bytes zero-padded to 32.
template <class Mode>
void CryptoPp_(benchmark::State& state, std::size_t key_bytes, std::size_t oracle_key_bytes) {
  auto key = Random(key_bytes);
  key.resize(oracle_key_bytes, 0);
  Mode c;
  c.UncheckedSetKey(key.data(), static_cast<unsigned>(key.size()), CryptoPP::g_nullNameValuePairs);
  std::uint8_t block[Mode::BLOCKSIZE] = {};
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) c.ProcessBlock(block);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * kBlocks * static_cast<std::int64_t>(sizeof block));
}

template <class Ours, class Cpp>
void RegisterPair(const std::string& name, std::size_t key_bytes, std::size_t cpp_key_bytes) {
  benchmark::RegisterBenchmark((name + "/Encrypt/Ours").c_str(), &Ours_<Ours, false>, key_bytes);
  benchmark::RegisterBenchmark((name + "/Encrypt/CryptoPP").c_str(), &CryptoPp_<typename Cpp::Encryption>,
                               key_bytes, cpp_key_bytes);
  benchmark::RegisterBenchmark((name + "/Decrypt/Ours").c_str(), &Ours_<Ours, true>, key_bytes);
  benchmark::RegisterBenchmark((name + "/Decrypt/CryptoPP").c_str(), &CryptoPp_<typename Cpp::Decryption>,
                               key_bytes, cpp_key_bytes);
}

// The console table, then one ratio line per pair.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) rates_[r.benchmark_name()] = it->second.value;
    }
  }
  void PrintRatios() const {
    std::printf("\nours / Crypto++ (bytes per second; goal at least 0.70)\n");
    for (const auto& [name, rate] : rates_) {
      const auto slash = name.rfind("/Ours");
      if (slash == std::string::npos) continue;
      const std::string base = name.substr(0, slash);
      const auto other = rates_.find(base + "/CryptoPP");
      if (other == rates_.end() || other->second <= 0) continue;
      std::printf("  %-20s %.2f\n", base.c_str(), rate / other->second);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  RegisterPair<crypto::Rc6, CryptoPP::RC6>("RC6", 20, 20);
  RegisterPair<crypto::Serpent, CryptoPP::Serpent>("Serpent", 20, 20);
  RegisterPair<crypto::Tea, CryptoPP::TEA>("TEA", 16, 16);
  RegisterPair<crypto::Twofish, CryptoPP::Twofish>("Twofish", 20, 20);
  RegisterPair<crypto::Gost, CryptoPP::GOST>("GOST", 20, 32);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}

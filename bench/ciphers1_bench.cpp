// Block throughput of Blowfish, CAST-128, CAST-256, DES, triple DES and IDEA
// beside Crypto++ in one run, each with the key size the library uses (SHA-1:
// 20 bytes, or the cipher's largest key if smaller). Prints ours / Crypto++
// for every pair after the usual table.
#include <benchmark/benchmark.h>
#include <cryptopp/blowfish.h>
#include <cryptopp/cast.h>
#include <cryptopp/des.h>
#include <cryptopp/idea.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crypto/ciphers/blowfish.h"
#include "crypto/ciphers/cast128.h"
#include "crypto/ciphers/cast256.h"
#include "crypto/ciphers/des.h"
#include "crypto/ciphers/idea.h"
#include "crypto/ciphers/triple_des.h"

namespace {

std::vector<std::uint8_t> Random(std::size_t n) {
  std::mt19937 rng(7);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

constexpr int kBlocks = 1024;

// Blocks are chained in place (each encrypts the previous output) on both sides.
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

// The same key, zero-padded where Crypto++ wants the padded form (triple DES).
template <class Mode>
void CryptoPp_(benchmark::State& state, std::size_t key_bytes, std::size_t oracle_key_bytes) {
  auto key = Random(key_bytes);
  key.resize(oracle_key_bytes, 0);
  Mode c(key.data(), key.size());
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
      const auto at = name.rfind("/Ours");
      if (at == std::string::npos) continue;
      const std::string base = name.substr(0, at);
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
  RegisterPair<crypto::Blowfish, CryptoPP::Blowfish>("Blowfish", 20, 20);
  RegisterPair<crypto::Cast128, CryptoPP::CAST128>("CAST-128", 16, 16);
  RegisterPair<crypto::Cast256, CryptoPP::CAST256>("CAST-256", 20, 20);
  RegisterPair<crypto::Des, CryptoPP::DES>("DES", 8, 8);
  RegisterPair<crypto::TripleDes, CryptoPP::DES_EDE3>("3DES", 20, 24);
  RegisterPair<crypto::Idea, CryptoPP::IDEA>("IDEA", 16, 16);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}

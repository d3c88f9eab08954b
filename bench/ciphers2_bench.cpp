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

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crypto/ciphers/ice.h"
#include "crypto/ciphers/mars.h"
#include "crypto/ciphers/misty1.h"
#include "crypto/ciphers/rc2.h"
#include "crypto/ciphers/rc4.h"

namespace {

std::vector<std::uint8_t> Random(std::size_t n) {
  std::mt19937 rng(42);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

// 1024 independent blocks (ECB) encrypted in place, for every side.
constexpr int kBlocks = 1024;

template <class Ours, bool Decrypt>
void Ours_(benchmark::State& state, std::size_t key_bytes) {
  const auto key = Random(key_bytes);
  Ours c;
  c.SetKey(key.data(), static_cast<std::uint32_t>(8 * key_bytes), nullptr);
  constexpr std::size_t b = Ours::kBlockBytes;
  auto buf = Random(kBlocks * b);
  for (auto _ : state) {
    for (std::size_t i = 0; i < buf.size(); i += b) {
      if (Decrypt)
        c.DecryptBlock(buf.data() + i, buf.data() + i);
      else
        c.EncryptBlock(buf.data() + i, buf.data() + i);
    }
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buf.size()));
}

template <class Mode>
void Rc2CryptoPp_(benchmark::State& state, std::size_t key_bytes) {
  const auto key = Random(key_bytes);
  Mode c(key.data(), key.size(), static_cast<int>(8 * key_bytes));
  auto buf = Random(kBlocks * 8);
  for (auto _ : state) {
    for (std::size_t i = 0; i < buf.size(); i += 8) c.ProcessBlock(buf.data() + i);
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buf.size()));
}

// Botan's own bulk call, its fastest path.
template <bool Decrypt>
void Misty1Botan_(benchmark::State& state) {
  const auto key = Random(16);
  const auto c = Botan::BlockCipher::create_or_throw("MISTY1");
  c->set_key(key.data(), key.size());
  auto buf = Random(kBlocks * 8);
  for (auto _ : state) {
    if (Decrypt)
      c->decrypt_n(buf.data(), buf.data(), kBlocks);
    else
      c->encrypt_n(buf.data(), buf.data(), kBlocks);
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buf.size()));
}

constexpr std::size_t kStreamBytes = 64 * 1024;

void Rc4Ours(benchmark::State& state) {
  const auto key = Random(20);
  crypto::Rc4 c;
  c.SetKey(key.data(), 160, nullptr);
  auto buf = Random(kStreamBytes);
  for (auto _ : state) {
    c.EncryptBytes(buf.data(), buf.data(), static_cast<std::uint32_t>(buf.size()));
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buf.size()));
}

void Rc4CryptoPp(benchmark::State& state) {
  const auto key = Random(20);
  CryptoPP::Weak::ARC4 c(key.data(), key.size());
  auto buf = Random(kStreamBytes);
  for (auto _ : state) {
    c.ProcessData(buf.data(), buf.data(), buf.size());
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buf.size()));
}

template <class Ours>
void RegisterOurs(const std::string& name, std::size_t key_bytes) {
  benchmark::RegisterBenchmark((name + "/Encrypt/Ours").c_str(), &Ours_<Ours, false>, key_bytes);
  benchmark::RegisterBenchmark((name + "/Decrypt/Ours").c_str(), &Ours_<Ours, true>, key_bytes);
}

// The console table, then one ratio line per pair ("X/Ours" against the
// oracle row of the same X).
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
    std::printf("\nours / oracle (bytes per second; goal at least 0.70)\n");
    for (const auto& [name, rate] : rates_) {
      const auto slash = name.rfind("/Ours");
      if (slash == std::string::npos) continue;
      const std::string base = name.substr(0, slash);
      bool paired = false;
      for (const char* oracle : {"/CryptoPP", "/Botan"}) {
        const auto other = rates_.find(base + oracle);
        if (other == rates_.end() || other->second <= 0) continue;
        std::printf("  %-20s %.2f (%s)\n", base.c_str(), rate / other->second, oracle + 1);
        paired = true;
      }
      if (!paired) std::printf("  %-20s %.1f MiB/s (no oracle)\n", base.c_str(), rate / (1024.0 * 1024.0));
    }
  }

 private:
  std::map<std::string, double> rates_;
};

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
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}

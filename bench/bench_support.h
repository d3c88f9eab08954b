// What the benchmarks share: seeded random bytes, the block-throughput loops,
// a console table followed by one ours / oracle ratio line per pair, and one
// showing only some aggregates of repeated runs.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace bench {

inline constexpr std::uint32_t kSeed = 42;

// The same bytes on every run, so runs and sides compare.
inline std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed = kSeed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

// Blocks per benchmark iteration.
inline constexpr int kBlocks = 1024;

// kBlocks calls of process(block) on one block of Size bytes in place, each on
// the previous output.
template <std::size_t Size, class Process>
void RunChainedBlocks(benchmark::State& state, Process process) {
  std::uint8_t block[Size] = {};
  for (auto _ : state) {
    for (int i = 0; i < kBlocks; ++i) process(block);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * kBlocks * static_cast<std::int64_t>(Size));
}

// process(data, n) on the same n random bytes, in place, once per iteration.
template <class Process>
void RunInPlace(benchmark::State& state, std::size_t n, Process process) {
  auto buf = RandomBytes(n);
  for (auto _ : state) {
    process(buf.data(), buf.size());
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buf.size()));
}

// process(block) on each of kBlocks independent blocks of Size random bytes,
// in place (ECB).
template <std::size_t Size, class Process>
void RunBlockBuffer(benchmark::State& state, Process process) {
  RunInPlace(state, kBlocks * Size, [&process](std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; i += Size) process(p + i);
  });
}

// One of the library's block ciphers under key_bytes random bytes.
template <class Ours>
void SetRandomKey(Ours& c, std::size_t key_bytes, std::uint32_t seed) {
  const auto key = RandomBytes(key_bytes, seed);
  c.SetKey(key.data(), static_cast<std::uint32_t>(8 * key_bytes), nullptr);
}

// Its block function in place, for the Run loops.
template <bool Decrypt, class Ours>
auto InPlace(Ours& c) {
  return [&c](std::uint8_t* b) { Decrypt ? c.DecryptBlock(b, b) : c.EncryptBlock(b, b); };
}

template <class Ours, bool Decrypt>
void OursChained(benchmark::State& state, std::size_t key_bytes, std::uint32_t seed) {
  Ours c;
  SetRandomKey(c, key_bytes, seed);
  RunChainedBlocks<Ours::kBlockBytes>(state, InPlace<Decrypt>(c));
}

template <class Ours, bool Decrypt>
void OursBuffer(benchmark::State& state, std::size_t key_bytes, std::uint32_t seed) {
  Ours c;
  SetRandomKey(c, key_bytes, seed);
  RunBlockBuffer<Ours::kBlockBytes>(state, InPlace<Decrypt>(c));
}

// Registers X/Encrypt/Ours and X/Decrypt/Ours (OursChained), each beside the
// oracle's row X/Encrypt/<oracle> or X/Decrypt/<oracle>, which runs
// Oracle::Run<Decrypt>(state, oracle_args...).
template <class Ours, class Oracle, class... OracleArgs>
void RegisterChainedPair(const std::string& name, std::size_t key_bytes, std::uint32_t seed, const char* oracle,
                         OracleArgs... oracle_args) {
  benchmark::RegisterBenchmark((name + "/Encrypt/Ours").c_str(), &OursChained<Ours, false>, key_bytes, seed);
  benchmark::RegisterBenchmark((name + "/Encrypt/" + oracle).c_str(), &Oracle::template Run<false>, oracle_args...);
  benchmark::RegisterBenchmark((name + "/Decrypt/Ours").c_str(), &OursChained<Ours, true>, key_bytes, seed);
  benchmark::RegisterBenchmark((name + "/Decrypt/" + oracle).c_str(), &Oracle::template Run<true>, oracle_args...);
}

// Colours on a terminal only, as Google Benchmark's own console table.
inline benchmark::ConsoleReporter::OutputOptions ConsoleOptions() {
  return isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_Color : benchmark::ConsoleReporter::OO_None;
}

// The console table, then one line per "X/Ours" row: its bytes per second over
// those of each oracle row "X/<oracle>" (the oracle named when there may be
// several), or its own rate when no oracle has X.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // title: what the ratios are over, "Crypto++" or "oracle".
  RatioReporter(const char* title, std::initializer_list<const char*> oracles)
      : ConsoleReporter(ConsoleOptions()), title_(title), oracles_(oracles) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) rates_[r.benchmark_name()] = it->second.value;
    }
  }

  void PrintRatios() const {
    std::printf("\nours / %s (bytes per second; goal at least 0.70)\n", title_);
    for (const auto& [name, rate] : rates_) {
      const auto at = name.rfind("/Ours");
      if (at == std::string::npos) continue;
      // With repetitions the rows carry an aggregate's suffix; pair like with like.
      const std::string suffix = name.substr(at + 5);
      if (!suffix.empty() && suffix != "_mean" && suffix != "_median") continue;
      const std::string base = name.substr(0, at) + suffix;
      bool paired = false;
      for (const char* oracle : oracles_) {
        const auto other = rates_.find(name.substr(0, at) + "/" + oracle + suffix);
        if (other == rates_.end() || other->second <= 0) continue;
        if (oracles_.size() > 1)
          std::printf("  %-20s %.2f (%s)\n", base.c_str(), rate / other->second, oracle);
        else
          std::printf("  %-20s %.2f\n", base.c_str(), rate / other->second);
        paired = true;
      }
      if (!paired) std::printf("  %-20s %.1f MiB/s (no oracle)\n", base.c_str(), rate / (1024.0 * 1024.0));
    }
  }

 private:
  const char* title_;
  std::vector<const char*> oracles_;
  std::map<std::string, double> rates_;
};

// The console table with only the named aggregates of repeated runs; the JSON
// file still gets every run.
class AggregatesReporter : public benchmark::ConsoleReporter {
 public:
  explicit AggregatesReporter(std::initializer_list<const char*> shown)
      : ConsoleReporter(ConsoleOptions()), shown_(shown.begin(), shown.end()) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> kept;
    for (const Run& r : runs)
      if (r.run_type != Run::RT_Aggregate || std::find(shown_.begin(), shown_.end(), r.aggregate_name) != shown_.end())
        kept.push_back(r);
    if (!kept.empty()) ConsoleReporter::ReportRuns(kept);
  }

 private:
  std::vector<std::string> shown_;
};

// The fastest of repeated runs: the one least disturbed by whatever else the
// machine does.
inline double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// main's run of the registered benchmarks through a RatioReporter.
inline int RunWithRatios(int argc, char** argv, const char* title, std::initializer_list<const char*> oracles) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(title, oracles);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench

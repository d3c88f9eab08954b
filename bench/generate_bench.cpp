// Generating a patch from 2,000 files of 100 KiB of mixed compressible data,
// with one compression per core against one thread, in the same run. Compare
// real_time of Generate/0 (all cores) with Generate/1 (goal: 5 x faster on 8
// cores); peak_rss_mib against patch_mib shows the memory bound (goal: at most
// 2 x the patch size). Each run's peak is its own: the high-water mark is reset
// before it (Linux 4.0 and later).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "host/binding.h"
#include "host/scripted/scripted_host.h"
#include "patchmaker/commands.h"
#include "patchmaker/main_window.h"
#include "patchmaker/program.h"

namespace {

constexpr int kFiles = 2000;
constexpr std::size_t kFileSize = 100 * 1024;

struct Setup {
  std::filesystem::path dir;
  std::vector<std::string> files;
  Setup() {
    dir = std::filesystem::temp_directory_path() / "qelmar_generate_bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::mt19937 rng(7);
    for (int i = 0; i < kFiles; ++i) {
      // Half text-like runs, half random bytes: compresses to roughly 55%.
      std::string content(kFileSize, '\0');
      for (std::size_t k = 0; k < kFileSize; ++k)
        content[k] = (k / 512) % 2 == 0 ? static_cast<char>('a' + (k * 7 + i) % 13) : static_cast<char>(rng());
      const std::string path = (dir / ("f" + std::to_string(i) + ".bin")).string();
      host::PlatformFiles().WriteWholeFile(path, content);
      files.push_back(path);
    }
  }
  ~Setup() { std::filesystem::remove_all(dir); }
};

// The process's resident high-water mark, and its reset to the current size.
void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }
double PeakRssMib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

void Generate(benchmark::State& state) {
  static Setup setup;
  patchmaker::SetCompressionThreads(static_cast<int>(state.range(0)));
  const std::string out = (setup.dir / "out.patch2").string();
  ResetPeakRss();
  for (auto _ : state) {
    host::ResetBindingForTests();
    host::ScriptedHost host(setup.dir.string());
    host.SetMessageLoop([&] {
      for (int i = 0; i < kFiles; ++i) {
        host.AppendRow(patchmaker::kList, "data\\f" + std::to_string(i));
        host.SetItemText(patchmaker::kList, i, 1, setup.files[static_cast<std::size_t>(i)]);
      }
      host.AnswerFileDialog(out);
      host.Click(patchmaker::kGenerateButton);
    });
    host::RunProgram(host, patchmaker::Program());
  }
  state.counters["patch_mib"] = static_cast<double>(std::filesystem::file_size(out)) / (1024.0 * 1024.0);
  state.counters["peak_rss_mib"] = PeakRssMib();
  state.counters["threads"] = state.range(0) == 0 ? std::thread::hardware_concurrency() : state.range(0);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFiles * kFileSize));
  patchmaker::SetCompressionThreads(0);
}
// Repeated, one generation a run.
BENCHMARK(Generate)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ComputeStatistics("min", bench::Fastest)
    ->DisplayAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::AggregatesReporter reporter({"median", "min"});
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

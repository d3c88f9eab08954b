// Generating a patch from 2,000 files of 100 KiB of mixed compressible data,
// with one compression per core against one thread, in the same run. Compare
// real_time of Generate/0 (all cores) with Generate/1 (goal: 5 x faster on 8
// cores); peak_rss_mib against patch_mib shows the memory bound (goal: at most
// 2 x the patch size).
//
// GenerateLarge: a patch from 8 files of 128 MiB of the same kind of data on
// every core, where the bytes in flight, not the number of rows, bound the
// memory (goal: peak_rss_mib under 600).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/peak_memory.h"
#include "host/binding.h"
#include "host/scripted/scripted_host.h"
#include "patchmaker/commands.h"
#include "patchmaker/main_window.h"
#include "patchmaker/program.h"

namespace {

struct Setup {
  std::filesystem::path dir;
  std::vector<std::string> files;
  Setup(const char* name, int count, std::size_t size) {
    dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::mt19937 rng(7);
    std::string content(size, '\0');
    for (int i = 0; i < count; ++i) {
      // Half text-like runs, half random bytes: compresses to roughly 55%.
      for (std::size_t k = 0; k < size; ++k)
        content[k] = (k / 512) % 2 == 0 ? static_cast<char>('a' + (k * 7 + i) % 13) : static_cast<char>(rng());
      const std::string path = (dir / ("f" + std::to_string(i) + ".bin")).string();
      host::PlatformFiles().WriteWholeFile(path, content);
      files.push_back(path);
    }
  }
  ~Setup() { std::filesystem::remove_all(dir); }
};

void RunGeneration(benchmark::State& state, const Setup& setup, std::size_t file_size) {
  patchmaker::SetCompressionThreads(static_cast<int>(state.range(0)));
  const std::string out = (setup.dir / "out.patch2").string();
  const int count = static_cast<int>(setup.files.size());
  bench::ResetPeakRss();
  for (auto _ : state) {
    host::ResetBindingForTests();
    host::ScriptedHost host(setup.dir.string());
    host.SetMessageLoop([&] {
      for (int i = 0; i < count; ++i) {
        host.AppendRow(patchmaker::kList, "data\\f" + std::to_string(i));
        host.SetItemText(patchmaker::kList, i, 1, setup.files[static_cast<std::size_t>(i)]);
      }
      host.AnswerFileDialog(out);
      host.Click(patchmaker::kGenerateButton);
      if (host.messages().size() != 1 || host.messages()[0].second != "成功") state.SkipWithError("generation failed");
    });
    host::RunProgram(host, patchmaker::Program());
  }
  state.counters["patch_mib"] = static_cast<double>(std::filesystem::file_size(out)) / (1024.0 * 1024.0);
  state.counters["peak_rss_mib"] = bench::PeakRssMib();
  state.counters["threads"] = state.range(0) == 0 ? std::thread::hardware_concurrency() : state.range(0);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(count * file_size));
  patchmaker::SetCompressionThreads(0);
}

void Generate(benchmark::State& state) {
  constexpr std::size_t kFileSize = 100 * 1024;
  static const Setup setup("qelmar_generate_bench", 2000, kFileSize);
  RunGeneration(state, setup, kFileSize);
}

void GenerateLarge(benchmark::State& state) {
  constexpr std::size_t kFileSize = std::size_t{128} << 20;
  static const Setup setup("qelmar_generate_large_bench", 8, kFileSize);
  RunGeneration(state, setup, kFileSize);
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
BENCHMARK(GenerateLarge)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(2)
    ->DisplayAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::AggregatesReporter reporter({"median", "min"});
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

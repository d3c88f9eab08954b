// Generating a patch from 2,000 files of 100 KiB of mixed compressible data,
// with one compression per core against one thread, in the same run. Compare
// real_time of Generate/0 (all cores) with Generate/1 (goal: 5 x faster on 8
// cores); peak_rss_mib against patch_mib shows the memory bound (goal: at most
// 2 x the patch size above the files' own size).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <random>
#include <string>

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

double PeakRssMib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Generate(benchmark::State& state) {
  static Setup setup;
  patchmaker::SetCompressionThreads(static_cast<int>(state.range(0)));
  const std::string out = (setup.dir / "out.patch2").string();
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
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFiles * kFileSize));
  patchmaker::SetCompressionThreads(0);
}
// All cores first, so the peak memory it reports is its own.
BENCHMARK(Generate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();

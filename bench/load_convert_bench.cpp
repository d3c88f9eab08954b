// Peak memory of loading a 256 MiB patch of 4 KiB streams into the generate
// list, and of converting an old patch of the same streams into a .patch2.
// Compare peak_rss_mib with data_mib (the loaded entries' data, and the old
// patch's data block): goal at most 1.2 x for both. The peak is the whole
// process's, the program's start-up and the list's rows included.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench/bench_support.h"
#include "bench/peak_memory.h"
#include "host/binding.h"
#include "host/scripted/scripted_host.h"
#include "patchmaker/commands.h"
#include "patchmaker/main_window.h"
#include "patchmaker/patch_file.h"
#include "patchmaker/program.h"

namespace {

using patchmaker::Bytes;
using patchmaker::PatchVersion;

constexpr std::size_t kStream = 4096;
constexpr std::size_t kEntries = 65536;  // 256 MiB of streams
constexpr double kDataMib = static_cast<double>(kStream * kEntries) / (1024.0 * 1024.0);

// One patch of each version, written piece by piece: the set-up never holds
// the data block whole, so it leaves nothing behind in the process.
struct Setup {
  std::filesystem::path dir;
  std::string patch2, old_patch;
  Setup() {
    host::cryptolib_notify(1, reinterpret_cast<std::intptr_t>(&host::HostCallback), 0);
    dir = std::filesystem::temp_directory_path() / ("qelmar_load_bench_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    patch2 = (dir / "big.patch2").string();
    old_patch = (dir / "big.patch").string();
    std::string index;
    for (std::size_t i = 0; i < kEntries; ++i)
      index += "data\\map\\file" + std::to_string(i) + ".dds|" + std::to_string(i * kStream) + "|" +
               std::to_string(kStream) + "|" + std::to_string(2 * kStream) + "\r\n";
    Write(patch2, PatchVersion::kV02, patchmaker::EncryptPatchIndex(index, patchmaker::DefaultPatchKeyStream()));
    Write(old_patch, PatchVersion::kV01, index);
  }
  ~Setup() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  static void Write(const std::string& path, PatchVersion version, const std::string& stored_index) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << patchmaker::PatchFileHeader(version, static_cast<std::int32_t>(kEntries),
                                       static_cast<std::int32_t>(kEntries * kStream));
    std::mt19937 rng(7);
    std::string stream(kStream, '\0');
    for (std::size_t i = 0; i < kEntries; ++i) {
      for (char& c : stream) c = static_cast<char>(rng());
      out << stream;
    }
    out << stored_index;
  }
};

Setup& TheSetup() {
  static Setup setup;
  return setup;
}

// One run of the program whose message loop does `work`; the peak covers it.
template <class Work>
void RunMeasured(benchmark::State& state, Work work) {
  Setup& setup = TheSetup();
  bench::ResetPeakRss();
  for (auto _ : state) {
    host::ResetBindingForTests();
    host::ScriptedHost host(setup.dir.string());
    host.SetMessageLoop([&] { work(setup, host); });
    host::RunProgram(host, patchmaker::Program());
  }
  state.counters["data_mib"] = kDataMib;
  state.counters["peak_rss_mib"] = bench::PeakRssMib();
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kStream * kEntries));
}

void Load(benchmark::State& state) {
  RunMeasured(state, [&](Setup& setup, host::ScriptedHost& host) {
    patchmaker::AppendPatchToList(setup.patch2);
    if (host.RowCount(patchmaker::kList) != static_cast<int>(kEntries)) state.SkipWithError("load failed");
  });
}

void Convert(benchmark::State& state) {
  RunMeasured(state, [&](Setup& setup, host::ScriptedHost& host) {
    std::filesystem::remove(setup.old_patch + "2");
    patchmaker::ConvertOldPatch(setup.old_patch);
    if (!host.messages().empty() || !std::filesystem::exists(setup.old_patch + "2"))
      state.SkipWithError("conversion failed");
  });
}

BENCHMARK(Load)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->DisplayAggregatesOnly(true);
BENCHMARK(Convert)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->DisplayAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::AggregatesReporter reporter({"median"});
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

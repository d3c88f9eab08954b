// Installing a patch against appending the same data block to the same
// archive with the plain file layer, in the same run. Compare real_time of
// Install/N/n with PlainAppend/N/n (goal: at most 1.3 x), and how both grow
// with the archive's entry count N and the patch's entry count n.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "host/binding.h"
#include "host/framework.h"
#include "host/platform.h"
#include "patchmaker/archive.h"
#include "patchmaker/patch_file.h"

namespace {

using patchmaker::Bytes;

class NullUi : public host::Framework {
 public:
  void ShowMessage(const host::GbkText&, const host::GbkText&) override {}
  void SetProgress(const host::GbkText&, int) override {}
};

constexpr std::size_t kPatchStream = 4096;
constexpr std::size_t kArchiveStream = 16;

std::string EntryName(std::size_t j) { return "data\\map\\file" + std::to_string(j) + ".dds"; }

// N entries with small streams; a patch replacing every (N/n)-th entry with
// 4 KiB streams. Built once per (N, n) in a temp directory.
struct Setup {
  std::filesystem::path dir;
  std::string install_dir, archive_path, patch_path, copy_path;
  Bytes archive;
  Bytes data_block;

  Setup(std::size_t entries, std::size_t replaced) {
    host::cryptolib_notify(1, reinterpret_cast<std::intptr_t>(&host::HostCallback), 0);
    dir = std::filesystem::temp_directory_path() / ("qelmar_patch_bench_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    install_dir = dir.string();
    archive_path = patchmaker::ArchivePath(install_dir);
    patch_path = install_dir + "\\bench.patch2";
    copy_path = install_dir + "\\copy.vnt";

    archive.assign(patchmaker::kArchiveIndexAt, 'H');
    const std::uint32_t count = static_cast<std::uint32_t>(entries);
    for (int i = 0; i < 4; ++i) archive[patchmaker::kArchiveCountAt + i] = static_cast<char>(count >> (8 * i));
    std::size_t stream_at = patchmaker::kArchiveIndexAt + entries * patchmaker::kArchiveEntrySize;
    for (std::size_t j = 0; j < entries; ++j) {
      patchmaker::ArchiveIndexEntry e;
      e.name = EntryName(j);
      e.data_offset = static_cast<std::int32_t>(stream_at + j * kArchiveStream);
      e.compressed_size = kArchiveStream;
      e.uncompressed_size = kArchiveStream;
      archive += patchmaker::EncodeArchiveEntry(e);
    }
    archive.append(entries * kArchiveStream, 's');

    std::vector<patchmaker::PatchEntry> patch;
    std::mt19937 rng(7);
    const std::size_t step = entries / replaced;
    for (std::size_t i = 0; i < replaced; ++i) {
      Bytes stream(kPatchStream, '\0');
      for (char& c : stream) c = static_cast<char>(rng());
      patch.push_back({EntryName(i * step), stream, static_cast<std::int32_t>(kPatchStream)});
      data_block += stream;
    }
    host::PlatformFiles().WriteWholeFile(patch_path, patchmaker::BuildPatchFile(patch, patchmaker::DefaultPatchKeyStream()));
  }
  ~Setup() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

void Install(benchmark::State& state) {
  Setup setup(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
  NullUi ui;
  patchmaker::InstallRequest request;
  request.patch_path = setup.patch_path;
  request.install_directory = setup.install_dir;
  request.key_stream = patchmaker::DefaultPatchKeyStream();
  for (auto _ : state) {
    state.PauseTiming();
    host::PlatformFiles().WriteWholeFile(setup.archive_path, setup.archive);
    state.ResumeTiming();
    const patchmaker::InstallResult r = patchmaker::ApplyPatchToArchive(ui, host::PlatformFiles(), request);
    if (r.outcome != patchmaker::InstallOutcome::kInstalled || r.found != state.range(1)) state.SkipWithError("install failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(setup.data_block.size()));
}

void PlainAppend(benchmark::State& state) {
  Setup setup(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
  for (auto _ : state) {
    state.PauseTiming();
    host::PlatformFiles().WriteWholeFile(setup.copy_path, setup.archive);
    state.ResumeTiming();
    std::unique_ptr<host::File> f = host::PlatformFiles().OpenExisting(setup.copy_path);
    std::uint64_t length = 0;
    if (!f || !f->Length(&length) || !f->WriteAt(length, setup.data_block.data(), setup.data_block.size()) ||
        !f->Flush())
      state.SkipWithError("append failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(setup.data_block.size()));
}

// The goal case first, then growth in N at n = 10k, then growth in n.
void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({100000, 10000});
  b->Args({10000, 10000});
  b->Args({1000000, 10000});
  b->Args({100000, 1000});
  b->Args({100000, 100000});
  b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

BENCHMARK(Install)->Apply(Sizes);
BENCHMARK(PlainAppend)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();

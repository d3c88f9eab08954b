// Installing a patch against a plain append of the same data block to a copy
// of the same archive, in the same run. Compare the fastest run (real_time_min)
// of Install/N/n with that of PlainAppend/N/n (goal: at most 1.3 x, 1.5 x from
// N = 100k on), and how both grow with the archive's entry count N and the
// patch's entry count n. InstallMemory: the peak memory of installing a
// 256 MiB patch of 4 KiB streams that adds names over packed data, so that
// streams move (goal: at most 1.2 x its data block).
//
// Both sides do the same I/O for the data block: open the patch, read the
// block into memory, append it to the archive and flush. Each side has its own
// copy of the archive, put back as it was built before every run while the
// clock is stopped (and flushed, so that no run flushes the set-up's writes);
// it stays in the page cache, as an archive the game has just read. Runs are
// repeated and interleaved in random order, so load that comes and goes on a
// shared machine falls on both sides alike.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "bench/peak_memory.h"
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

// An archive of `entries` entries, their small streams packed right after
// the index.
Bytes BuildArchive(std::size_t entries) {
  Bytes archive(patchmaker::kArchiveIndexAt, 'H');
  const std::uint32_t count = static_cast<std::uint32_t>(entries);
  for (int i = 0; i < 4; ++i) archive[patchmaker::kArchiveCountAt + i] = static_cast<char>(count >> (8 * i));
  const std::size_t stream_at = patchmaker::kArchiveIndexAt + entries * patchmaker::kArchiveEntrySize;
  archive.reserve(stream_at + entries * kArchiveStream);
  for (std::size_t j = 0; j < entries; ++j) {
    patchmaker::ArchiveIndexEntry e;
    e.name = EntryName(j);
    e.data_offset = static_cast<std::int32_t>(stream_at + j * kArchiveStream);
    e.compressed_size = kArchiveStream;
    e.uncompressed_size = kArchiveStream;
    archive += patchmaker::EncodeArchiveEntry(e);
  }
  archive.append(entries * kArchiveStream, 's');
  return archive;
}

// N entries with small streams; a patch replacing every (N/n)-th entry with
// 4 KiB streams. Built once per (N, n) in a temp directory.
struct Setup {
  std::filesystem::path dir;
  std::string install_dir, archive_path, patch_path, copy_path;
  Bytes archive;
  std::vector<std::size_t> replaced_entries;
  std::size_t data_length = 0;
  mutable std::map<std::string, int> restores;

  Setup(std::size_t entries, std::size_t replaced) {
    host::cryptolib_notify(1, reinterpret_cast<std::intptr_t>(&host::HostCallback), 0);
    dir = std::filesystem::temp_directory_path() / ("qelmar_patch_bench_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    install_dir = dir.string();
    archive_path = patchmaker::ArchivePath(install_dir);
    patch_path = install_dir + "\\bench.patch2";
    copy_path = install_dir + "\\copy.vnt";

    archive = BuildArchive(entries);

    std::vector<patchmaker::PatchEntry> patch;
    std::mt19937 rng(7);
    const std::size_t step = entries / replaced;
    for (std::size_t i = 0; i < replaced; ++i) {
      Bytes stream(kPatchStream, '\0');
      for (char& c : stream) c = static_cast<char>(rng());
      patch.push_back({EntryName(i * step), stream, static_cast<std::int32_t>(kPatchStream)});
      replaced_entries.push_back(i * step);
      data_length += stream.size();
    }
    host::PlatformFiles().WriteWholeFile(patch_path, patchmaker::BuildPatchFile(patch, patchmaker::DefaultPatchKeyStream()));
    Settle(patch_path);
    for (const std::string& path : {archive_path, copy_path})
      if (!host::PlatformFiles().WriteWholeFile(path, archive) || !Settle(path)) std::abort();
  }
  ~Setup() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  // The archive at `path` as built again after an install or an append: the
  // re-pointed entries' fields as they were and the file cut to its length,
  // on the disk. After the first run it is read back whole once, to be sure.
  bool Restore(const std::string& path) const {
    {
      const std::unique_ptr<host::File> f = host::PlatformFiles().OpenExisting(path);
      if (!f) return false;
      for (const std::size_t j : replaced_entries) {
        const std::size_t at = patchmaker::kArchiveIndexAt + j * patchmaker::kArchiveEntrySize + patchmaker::kDataOffsetInEntry;
        if (!f->WriteAt(at, &archive[at], 12)) return false;
      }
    }
    if (truncate(host::NativePath(path).c_str(), static_cast<off_t>(archive.size())) != 0 || !Settle(path)) return false;
    if (++restores[path] != 2) return true;
    std::string back;
    return host::PlatformFiles().ReadWholeFile(path, &back) && back == archive;
  }

  static bool Settle(const std::string& path) {
    const std::unique_ptr<host::File> f = host::PlatformFiles().OpenExisting(path);
    return f && f->Flush() && f->Close();
  }
};

// Interleaved runs ask for the same sizes again and again.
const Setup& SetupFor(std::size_t entries, std::size_t replaced) {
  static std::map<std::pair<std::size_t, std::size_t>, std::unique_ptr<Setup>> built;
  std::unique_ptr<Setup>& s = built[{entries, replaced}];
  if (!s) s = std::make_unique<Setup>(entries, replaced);
  return *s;
}

void Install(benchmark::State& state) {
  const Setup& setup = SetupFor(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
  NullUi ui;
  patchmaker::InstallRequest request;
  request.patch_path = setup.patch_path;
  request.install_directory = setup.install_dir;
  request.key_stream = patchmaker::DefaultPatchKeyStream();
  for (auto _ : state) {
    state.PauseTiming();
    if (!setup.Restore(setup.archive_path)) state.SkipWithError("restore failed");
    state.ResumeTiming();
    const patchmaker::InstallResult r = patchmaker::ApplyPatchToArchive(ui, host::PlatformFiles(), request);
    if (r.outcome != patchmaker::InstallOutcome::kInstalled || r.found != state.range(1)) state.SkipWithError("install failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(setup.data_length));
}

void PlainAppend(benchmark::State& state) {
  const Setup& setup = SetupFor(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
  for (auto _ : state) {
    state.PauseTiming();
    if (!setup.Restore(setup.copy_path)) state.SkipWithError("restore failed");
    state.ResumeTiming();
    Bytes block(setup.data_length, '\0');
    const std::unique_ptr<host::File> patch = host::PlatformFiles().OpenExisting(setup.patch_path);
    const std::unique_ptr<host::File> f = host::PlatformFiles().OpenExisting(setup.copy_path);
    std::uint64_t length = 0;
    if (!patch || patch->ReadAt(patchmaker::kDataBlockAt, &block[0], block.size()) != block.size() || !f ||
        !f->Length(&length) || !f->WriteAt(length, block.data(), block.size()) || !f->Flush() || !f->Close())
      state.SkipWithError("append failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(setup.data_length));
}

// 65,536 streams of 4 KiB (256 MiB): every other entry of a 20,000-entry
// archive replaced, the rest of the patch new names. Their room reaches past
// the archive's end, so every stream not replaced moves behind the data block.
struct MemorySetup {
  static constexpr std::size_t kEntries = 20000, kReplaced = 10000, kStreams = 65536;
  std::filesystem::path dir;
  std::string install_dir, patch_path;
  Bytes archive;
  std::size_t data_length = kStreams * kPatchStream;

  MemorySetup() {
    host::cryptolib_notify(1, reinterpret_cast<std::intptr_t>(&host::HostCallback), 0);
    dir = std::filesystem::temp_directory_path() / ("qelmar_patch_memory_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    install_dir = dir.string();
    patch_path = install_dir + "\\memory.patch2";
    archive = BuildArchive(kEntries);
    // The patch file written piece by piece: its data block is never held here.
    std::vector<patchmaker::PatchIndexLine> lines;
    for (std::size_t i = 0; i < kStreams; ++i) {
      const std::string name = i < kReplaced ? EntryName(2 * i) : "data\\new\\file" + std::to_string(i) + ".dds";
      lines.push_back({name, static_cast<std::int32_t>(i * kPatchStream), static_cast<std::int32_t>(kPatchStream),
                       static_cast<std::int32_t>(kPatchStream)});
    }
    const std::string index =
        patchmaker::EncryptPatchIndex(patchmaker::BuildIndexText(lines), patchmaker::DefaultPatchKeyStream());
    const Bytes header = patchmaker::PatchFileHeader(patchmaker::PatchVersion::kV02, static_cast<std::int32_t>(kStreams),
                                                     static_cast<std::int32_t>(data_length));
    std::unique_ptr<host::Replacement> out = host::PlatformFiles().StartReplacing(patch_path);
    Bytes stream(kPatchStream, '\0');
    std::mt19937 rng(11);
    bool ok = out && out->WriteAt(0, header.data(), header.size());
    for (std::size_t i = 0; ok && i < kStreams; ++i) {
      for (char& c : stream) c = static_cast<char>(rng());
      ok = out->WriteAt(header.size() + i * kPatchStream, stream.data(), stream.size());
    }
    ok = ok && out->WriteAt(header.size() + data_length, index.data(), index.size()) && out->Commit();
    if (!ok) std::abort();
  }
  ~MemorySetup() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

void InstallMemory(benchmark::State& state) {
  static MemorySetup setup;
  NullUi ui;
  patchmaker::InstallRequest request;
  request.patch_path = setup.patch_path;
  request.install_directory = setup.install_dir;
  request.key_stream = patchmaker::DefaultPatchKeyStream();
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!host::PlatformFiles().WriteWholeFile(patchmaker::ArchivePath(setup.install_dir), setup.archive))
      state.SkipWithError("archive not written");
    // Memory that earlier runs freed goes back to the system first, so that
    // this install's own growth shows.
    bench::ResetPeakRss();
    const double before = bench::StatusMib("VmRSS");
    state.ResumeTiming();
    const patchmaker::InstallResult r = patchmaker::ApplyPatchToArchive(ui, host::PlatformFiles(), request);
    state.PauseTiming();
    peak = std::max(peak, bench::PeakRssMib() - before);
    if (r.outcome != patchmaker::InstallOutcome::kInstalled || r.found != static_cast<int>(MemorySetup::kReplaced))
      state.SkipWithError("install failed");
    state.ResumeTiming();
  }
  state.counters["data_block_mib"] = static_cast<double>(setup.data_length) / (1024.0 * 1024.0);
  state.counters["peak_mib"] = peak;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(setup.data_length));
}

// Each size as a pair of rows: the goal case first, then growth in N at
// n = 10k, then growth in n at N = 100k.
void Register() {
  const std::pair<long, long> sizes[] = {
      {100000, 10000}, {10000, 10000}, {1000000, 10000}, {100000, 1000}, {100000, 100000}};
  for (const auto& [entries, replaced] : sizes) {
    for (const auto& [name, run] : {std::make_pair("Install", &Install), std::make_pair("PlainAppend", &PlainAppend)})
      benchmark::RegisterBenchmark(name, run)
          ->Args({entries, replaced})
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->Iterations(1)
          ->Repetitions(7)
          ->ComputeStatistics("min", bench::Fastest)
          ->DisplayAggregatesOnly(true);
  }
  benchmark::RegisterBenchmark("InstallMemory", &InstallMemory)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(1)
      ->Repetitions(3)
      ->ComputeStatistics("min", bench::Fastest)
      ->DisplayAggregatesOnly(true);
}

}  // namespace

int main(int argc, char** argv) {
  // Interleaved unless the command line says otherwise (a later flag wins).
  std::vector<char*> args(argv, argv + argc + 1);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = argc + 1;
  benchmark::Initialize(&count, args.data());
  Register();
  bench::AggregatesReporter reporter({"median", "min"});
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

// Loading .patch2 files into the generate list: the entries' streams go into
// the loaded-entry table, and each row names its entry by "内部ID" + number.
#include <atomic>
#include <memory>

#include "host/system.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"
#include "patchmaker/main_window.h"

namespace patchmaker {
namespace {

std::atomic<std::uint64_t> g_load_generation{0};

void Load(const GbkText& path, bool replace) {
  host::WindowFramework& ui = host::Ui();
  if (replace) ui.DeleteAllRows(kList);
  PatchFile patch;
  PatchReadStatus status;
  {
    std::unique_ptr<host::File> file = host::FileSystem().OpenExisting(path);
    status = ReadPatchFile(file.get(), PatchVersion::kV02, PatchKeyStream(), true, &patch);
  }
  if (status == PatchReadStatus::kBadBanner) {
    ui.ShowMessage("打开补丁失败", "提示");
    return;
  }
  if (status != PatchReadStatus::kOk) {
    ui.ShowMessage("补丁文件已损坏，未载入", "提示");
    return;
  }
  // The table changes under its lock; the rows follow on this (window) thread.
  // No lock is held while a worker could need the window thread.
  std::vector<std::pair<GbkText, int>> rows;
  {
    std::lock_guard<std::mutex> hold(LoadedEntriesLock());
    std::vector<LoadedEntry>& table = LoadedEntries();
    if (replace) table.clear();
    table.reserve(table.size() + patch.lines.size());
    for (const PatchIndexLine& line : patch.lines) {
      LoadedEntry e;
      e.name = line.name;
      e.offset = line.offset;
      e.compressed_size = line.compressed_size;
      e.uncompressed_size = line.uncompressed_size;
      if (line.compressed_size > 0)
        e.data = patch.data_block.substr(static_cast<std::size_t>(line.offset),
                                         static_cast<std::size_t>(line.compressed_size));
      table.push_back(std::move(e));
      rows.emplace_back(line.name, static_cast<int>(table.size()));
    }
    ++g_load_generation;
  }
  ui.SetRedraw(kList, false);
  for (const auto& [name, number] : rows) {
    const int row = ui.AppendRow(kList, name);
    ui.SetItemText(kList, row, 1, kInternalId + std::to_string(number));
  }
  ui.SetRedraw(kList, true);
  ui.ShowMessage("补丁载入完成", "信息：");
}

}  // namespace

void LoadPatchIntoList(const GbkText& path) { Load(path, true); }
void AppendPatchToList(const GbkText& path) { Load(path, false); }
std::uint64_t LoadGeneration() { return g_load_generation.load(); }

}  // namespace patchmaker

// Loading .patch2 files into the generate list: the entries' streams go into
// the loaded-entry table, and each row names its entry by "内部ID" + number.
// Each stream is read on its own, straight into its entry: the data block is
// never held whole.
#include <atomic>
#include <iterator>
#include <memory>

#include "host/system.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"
#include "patchmaker/main_window.h"

namespace patchmaker {
namespace {

constexpr char kDamaged[] = "补丁文件已损坏，未载入";

std::atomic<std::uint64_t> g_load_generation{0};

// The list is redrawn again however the rows' adding ends.
class RedrawHeld {
 public:
  RedrawHeld() { host::Ui().SetRedraw(kList, false); }
  ~RedrawHeld() { host::Ui().SetRedraw(kList, true); }
  RedrawHeld(const RedrawHeld&) = delete;
  RedrawHeld& operator=(const RedrawHeld&) = delete;
};

// Everything of a load but its message for running out of memory, which
// leaves the table and the list as they are at that moment: each row names
// an entry of the table.
void LoadEntries(const GbkText& path, bool replace) {
  host::WindowFramework& ui = host::Ui();
  std::unique_ptr<host::File> file = host::FileSystem().OpenExisting(path);
  PatchFile patch;
  const PatchReadStatus status = ReadPatchFile(file.get(), PatchVersion::kV02, PatchKeyStream(), false, &patch);
  if (status == PatchReadStatus::kBadBanner) {
    ui.ShowMessage("打开补丁失败", "提示");
    return;
  }
  if (status != PatchReadStatus::kOk) {
    ui.ShowMessage(kDamaged, "提示");
    return;
  }
  // The table changes under its lock; the rows follow on this (window) thread.
  // No lock is held while a worker could need the window thread, nor while
  // the streams are read.
  if (replace) {
    // The old entries go before the new ones come, not beside them.
    std::lock_guard<std::mutex> hold(LoadedEntriesLock());
    std::vector<LoadedEntry>().swap(LoadedEntries());
    ++g_load_generation;
  }
  std::vector<LoadedEntry> loaded;
  loaded.reserve(patch.lines.size());
  for (const PatchIndexLine& line : patch.lines) {
    LoadedEntry e;
    e.name = line.name;
    e.offset = line.offset;
    e.compressed_size = line.compressed_size;
    e.uncompressed_size = line.uncompressed_size;
    Bytes stream;
    if (!ReadEntryStream(file.get(), line, &stream)) {
      ui.ShowMessage(kDamaged, "提示");
      return;
    }
    if (!stream.empty()) e.data = std::make_shared<const Bytes>(std::move(stream));
    loaded.push_back(std::move(e));
  }
  file.reset();
  std::size_t first = 0;
  {
    std::lock_guard<std::mutex> hold(LoadedEntriesLock());
    std::vector<LoadedEntry>& table = LoadedEntries();
    table.reserve(table.size() + loaded.size());
    first = table.size();
    table.insert(table.end(), std::make_move_iterator(loaded.begin()), std::make_move_iterator(loaded.end()));
    ++g_load_generation;
  }
  {
    RedrawHeld redraw;
    for (std::size_t k = 0; k < patch.lines.size(); ++k) {
      const int row = ui.AppendRow(kList, patch.lines[k].name);
      ui.SetItemText(kList, row, 1, kInternalId + std::to_string(first + k + 1));
    }
  }
  ui.ShowMessage("补丁载入完成", "信息：");
}

void Load(const GbkText& path, bool replace) {
  if (replace) host::Ui().DeleteAllRows(kList);
  if (!RunsInMemory([&] { LoadEntries(path, replace); })) host::Ui().ShowMessage("内存不足，补丁未载入", "提示");
}

}  // namespace

void LoadPatchIntoList(const GbkText& path) { Load(path, true); }
void AppendPatchToList(const GbkText& path) { Load(path, false); }
std::uint64_t LoadGeneration() { return g_load_generation.load(); }

}  // namespace patchmaker

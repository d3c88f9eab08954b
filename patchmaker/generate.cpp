// Generating a .patch2 from the generate list, on a worker thread. Rows are
// compressed in parallel but taken in row order, so the file is the same as a
// one-thread run and the progress bar moves row by row.
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <future>
#include <limits>
#include <thread>

#include "host/system.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"
#include "patchmaker/handlers.h"
#include "patchmaker/main_window.h"

namespace patchmaker {
namespace {

constexpr char kFailed[] = "生成失败";
constexpr char kGenerated[] = "补丁生成";

struct Row {
  GbkText name;
  GbkText replacement;
};

// What the list and the table held when the generation began.
struct Snapshot {
  std::vector<Row> rows;
  std::vector<LoadedEntry> entries;  // copies, by entry number - 1; only those the rows name
  std::vector<bool> have_entry;
};

bool IsInternalId(const GbkText& replacement) {
  return replacement.compare(0, std::char_traits<char>::length(kInternalId), kInternalId) == 0;
}

std::int32_t InternalNumber(const GbkText& replacement) {
  return ReadIndexNumber(replacement.substr(std::char_traits<char>::length(kInternalId)));
}

// Rows through the window; then the table under its lock. A load between the
// two would pair rows with the wrong entries, so the snapshot is taken again.
Snapshot TakeSnapshot() {
  host::WindowFramework& ui = host::Ui();
  for (;;) {
    const std::uint64_t before = LoadGeneration();
    Snapshot s;
    const int n = ui.RowCount(kList);
    for (int i = 0; i < n; ++i) s.rows.push_back({ui.ItemText(kList, i, 0), ui.ItemText(kList, i, 1)});
    std::lock_guard<std::mutex> hold(LoadedEntriesLock());
    if (LoadGeneration() != before) continue;
    const std::vector<LoadedEntry>& table = LoadedEntries();
    s.entries.resize(table.size());
    s.have_entry.assign(table.size(), false);
    for (const Row& row : s.rows) {
      if (!IsInternalId(row.replacement)) continue;
      const std::int32_t k = InternalNumber(row.replacement);
      if (k >= 1 && static_cast<std::size_t>(k) <= table.size() && !s.have_entry[k - 1]) {
        s.entries[k - 1] = table[k - 1];
        s.have_entry[k - 1] = true;
      }
    }
    return s;
  }
}

struct RowResult {
  enum Status { kOk, kPlaceholder, kBadName, kUnreadable, kIncomplete } status = kOk;
  Bytes stream;
  std::int32_t compressed_size = 0;
  std::int32_t uncompressed_size = 0;
};

RowResult MakeRow(const Row& row, const Snapshot& s) {
  RowResult r;
  if (row.name == kPlaceholderName) {
    r.status = RowResult::kPlaceholder;
    return r;
  }
  // A PatchIndexLine cannot carry these.
  if (row.name.find_first_of("|\r\n") != GbkText::npos) {
    r.status = RowResult::kBadName;
    return r;
  }
  if (IsInternalId(row.replacement)) {
    const std::int32_t k = InternalNumber(row.replacement);
    if (k < 1 || static_cast<std::size_t>(k) > s.entries.size() || !s.have_entry[k - 1]) {
      r.status = RowResult::kIncomplete;
      return r;
    }
    const LoadedEntry& e = s.entries[k - 1];
    const std::size_t recorded = e.compressed_size > 0 ? static_cast<std::size_t>(e.compressed_size) : 0;
    if (e.compressed_size < 0 || e.data.size() < recorded) {
      r.status = RowResult::kIncomplete;
      return r;
    }
    r.stream = e.data.substr(0, recorded);
    r.compressed_size = e.compressed_size;
    r.uncompressed_size = e.uncompressed_size;
    return r;
  }
  Bytes content;
  if (!host::FileSystem().ReadWholeFile(row.replacement, &content) ||
      content.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    r.status = RowResult::kUnreadable;
    return r;
  }
  r.uncompressed_size = static_cast<std::int32_t>(content.size());
  r.stream = DeflateRawStream(content);
  if (!content.empty() && r.stream.empty()) {
    r.status = RowResult::kUnreadable;
    return r;
  }
  r.compressed_size = static_cast<std::int32_t>(r.stream.size());
  return r;
}

GbkText RowMessage(std::size_t row, RowResult::Status status) {
  const GbkText prefix = "第 " + std::to_string(row) + " 行-";
  switch (status) {
    case RowResult::kPlaceholder: return prefix + "请输入欲替换的文件名";
    case RowResult::kBadName: return prefix + "文件名不能包含|或换行";
    case RowResult::kUnreadable: return prefix + "无法读取替换文件";
    default: return prefix + "补丁数据不完整";
  }
}

int ProgressOf(std::size_t done, std::size_t total) {
  const double share = static_cast<double>(done) / static_cast<double>(total);
  return static_cast<int>(share * 100.0);
}

std::atomic<int> g_threads{0};

// Rows compressed ahead of the one being assembled; bounds memory to a few
// files beyond the patch itself.
std::size_t Lookahead() {
  const int chosen = g_threads.load();
  const unsigned cores = chosen > 0 ? static_cast<unsigned>(chosen) : std::thread::hardware_concurrency();
  return cores == 0 ? 2 : 2 * static_cast<std::size_t>(cores);
}

// False (with its message shown) when a row stops the generation.
bool BuildDataAndIndex(const Snapshot& s, std::vector<Bytes>* streams, GbkText* index) {
  host::WindowFramework& ui = host::Ui();
  const std::size_t n = s.rows.size();
  std::vector<std::future<RowResult>> pending(n);
  std::size_t launched = 0;
  const std::size_t ahead = Lookahead();
  std::int64_t offset = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (; launched < n && launched < i + ahead; ++launched)
      pending[launched] = std::async(g_threads.load() == 1 ? std::launch::deferred : std::launch::async, MakeRow,
                                     std::cref(s.rows[launched]), std::cref(s));
    RowResult r = pending[i].get();
    if (r.status != RowResult::kOk) {
      for (std::size_t j = i + 1; j < launched; ++j) pending[j].wait();
      ui.ShowMessage(RowMessage(i + 1, r.status), kFailed);
      return false;
    }
    if (offset + static_cast<std::int64_t>(r.stream.size()) > std::numeric_limits<std::int32_t>::max()) {
      for (std::size_t j = i + 1; j < launched; ++j) pending[j].wait();
      ui.ShowMessage("补丁文件写入失败", kGenerated);
      return false;
    }
    streams->push_back(std::move(r.stream));
    *index += s.rows[i].name + "|" + std::to_string(offset) + "|" + std::to_string(r.compressed_size) + "|" +
              std::to_string(r.uncompressed_size) + "\r\n";
    offset += r.compressed_size;
    ui.SetProgress(kGenerateProgress, ProgressOf(i + 1, n));
  }
  return true;
}

}  // namespace

void SetCompressionThreads(int threads) { g_threads.store(threads < 0 ? 0 : threads); }

Bytes DeflateRawStream(const Bytes& data) {
  if (data.empty()) return Bytes();
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
    return Bytes();
  out.resize(size);
  return out;
}

void OnGenerateClicked(const host::EventArgs& /*args*/) {
  StartCountedWorker(&GeneratePatch);
}

void GeneratePatch() {
  host::WindowFramework& ui = host::Ui();
  ui.SetEnabled(kGenerateButton, false);
  host::FileDialogRequest request;
  request.save = true;
  request.filter = "补丁文件（*.patch2）|*.patch2";
  request.file_name = "New.patch2";
  request.initial_folder = host::Sys().ProgramFolder();
  GbkText target;
  // A cancelled dialog chose no file: nothing is written or shown.
  if (ui.ShowFileDialog(kDialog, request, &target)) {
    const Snapshot snapshot = TakeSnapshot();
    // The streams stay apart and go to the file as parts: no second copy of
    // the data block in memory.
    std::vector<Bytes> streams;
    GbkText index;
    if (BuildDataAndIndex(snapshot, &streams, &index)) {
      std::size_t data_length = 0;
      for (const Bytes& stream : streams) data_length += stream.size();
      const Bytes header = PatchFileHeader(PatchVersion::kV02, static_cast<std::int32_t>(snapshot.rows.size()),
                                           static_cast<std::int32_t>(data_length));
      const GbkText stored_index = EncryptPatchIndex(index, PatchKeyStream());
      std::vector<std::string_view> parts;
      parts.reserve(streams.size() + 2);
      parts.emplace_back(header);
      for (const Bytes& stream : streams) parts.emplace_back(stream);
      parts.emplace_back(stored_index);
      if (host::FileSystem().ReplaceWholeFile(target, parts)) {
        ui.ShowMessage("成功", kGenerated);
      } else {
        ui.ShowMessage("补丁文件写入失败", kGenerated);
      }
    }
  }
  ui.SetEnabled(kGenerateButton, true);
}

}  // namespace patchmaker

// Generating a .patch2 from the generate list, on a worker thread. Rows are
// compressed in parallel but taken in row order, so the file is the same as a
// one-thread run and the progress bar moves row by row.
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
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

// One zlib stream for many files: compress2 sets up and frees its state (some
// 256 KiB) for each, and deflateReset gives the same bytes without that.
class Deflater {
 public:
  Deflater() { ready_ = deflateInit(&z_, Z_DEFAULT_COMPRESSION) == Z_OK; }
  ~Deflater() {
    if (ready_) deflateEnd(&z_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // compress2's stream at the default level; empty input or a failure gives
  // empty output.
  Bytes Deflate(const Bytes& data) {
    if (data.empty() || !ready_ || deflateReset(&z_) != Z_OK) return Bytes();
    const uLong bound = compressBound(static_cast<uLong>(data.size()));
    if (out_.size() < bound) out_.resize(bound);
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z_.avail_in = static_cast<uInt>(data.size());
    z_.next_out = reinterpret_cast<Bytef*>(&out_[0]);
    z_.avail_out = static_cast<uInt>(bound);
    if (deflate(&z_, Z_FINISH) != Z_STREAM_END) return Bytes();
    // A copy of the exact size; the buffer stays for the next file.
    return Bytes(out_.data(), static_cast<std::size_t>(z_.total_out));
  }

 private:
  z_stream z_{};
  bool ready_ = false;
  Bytes out_;
};

RowResult MakeRow(const Row& row, const Snapshot& s, Deflater& deflater) {
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
  r.stream = deflater.Deflate(content);
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

// Rows compressed at once: one per core unless chosen.
unsigned CompressionThreads() {
  const int chosen = g_threads.load();
  if (chosen > 0) return static_cast<unsigned>(chosen);
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 2 : cores;
}

// Compresses the rows on a fixed set of threads, started once rather than per
// row, and at most `ahead` rows beyond the one taken next: memory holds no
// more than that many files.
class RowCompressor {
 public:
  RowCompressor(const Snapshot& s, unsigned threads, std::size_t ahead)
      : s_(s), ahead_(ahead), results_(s.rows.size()), done_(s.rows.size(), false) {
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });
  }
  // Lets the rows being compressed finish, and starts no more.
  ~RowCompressor() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stop_ = true;
      room_.notify_all();
    }
    for (std::thread& w : workers_) w.join();
  }
  RowCompressor(const RowCompressor&) = delete;
  RowCompressor& operator=(const RowCompressor&) = delete;

  // Row i's result once it is ready; rows are taken in order.
  RowResult Take(std::size_t i) {
    std::unique_lock<std::mutex> hold(mutex_);
    ready_.wait(hold, [&] { return done_[i]; });
    taken_ = i + 1;
    room_.notify_all();
    return std::move(results_[i]);
  }

 private:
  void Work() {
    Deflater deflater;
    for (;;) {
      std::size_t i;
      {
        std::unique_lock<std::mutex> hold(mutex_);
        room_.wait(hold, [&] { return stop_ || next_ == results_.size() || next_ < taken_ + ahead_; });
        if (stop_ || next_ == results_.size()) return;
        i = next_++;
      }
      RowResult r = MakeRow(s_.rows[i], s_, deflater);
      std::lock_guard<std::mutex> hold(mutex_);
      results_[i] = std::move(r);
      done_[i] = true;
      ready_.notify_one();
    }
  }

  const Snapshot& s_;
  const std::size_t ahead_;
  std::mutex mutex_;
  std::condition_variable ready_;  // a row is done
  std::condition_variable room_;   // a row was taken, or stop
  std::vector<RowResult> results_;
  std::vector<bool> done_;
  std::size_t next_ = 0;   // the next row to start
  std::size_t taken_ = 0;  // rows taken so far
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

// Each row's stream goes to `file` at its place after the header once it is
// taken, in row order: only the rows in flight are held in memory. A failed
// write, or no file, is only noted in *written, so that a bad row still shows
// its own message. False (with its message shown, the new file dropped first)
// when a row stops the generation.
bool WriteData(const Snapshot& s, std::unique_ptr<host::Replacement>* file, bool* written, GbkText* index,
               std::int64_t* data_length) {
  host::WindowFramework& ui = host::Ui();
  const std::size_t n = s.rows.size();
  // One thread compresses on the worker itself, row by row.
  const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(CompressionThreads(), n));
  std::unique_ptr<RowCompressor> compressor;
  std::unique_ptr<Deflater> deflater;
  if (threads > 1) {
    compressor = std::make_unique<RowCompressor>(s, threads, 2 * static_cast<std::size_t>(threads));
  } else {
    deflater = std::make_unique<Deflater>();
  }
  const auto stop = [&](const GbkText& text, const char* caption) {
    compressor.reset();
    file->reset();
    ui.ShowMessage(text, caption);
    return false;
  };
  std::int64_t offset = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const RowResult r = compressor ? compressor->Take(i) : MakeRow(s.rows[i], s, *deflater);
    if (r.status != RowResult::kOk) return stop(RowMessage(i + 1, r.status), kFailed);
    if (offset + static_cast<std::int64_t>(r.stream.size()) > std::numeric_limits<std::int32_t>::max())
      return stop("补丁文件写入失败", kGenerated);
    *written = *written && (*file)->WriteAt(kDataBlockAt + static_cast<std::uint64_t>(offset), r.stream.data(),
                                            r.stream.size());
    *index += s.rows[i].name + "|" + std::to_string(offset) + "|" + std::to_string(r.compressed_size) + "|" +
              std::to_string(r.uncompressed_size) + "\r\n";
    offset += r.compressed_size;
    ui.SetProgress(kGenerateProgress, ProgressOf(i + 1, n));
  }
  *data_length = offset;
  return true;
}

}  // namespace

void SetCompressionThreads(int threads) { g_threads.store(threads < 0 ? 0 : threads); }

Bytes DeflateRawStream(const Bytes& data) { return Deflater().Deflate(data); }

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
    std::unique_ptr<host::Replacement> file = host::FileSystem().StartReplacing(target);
    bool written = file != nullptr;
    GbkText index;
    std::int64_t data_length = 0;
    if (WriteData(snapshot, &file, &written, &index, &data_length)) {
      const Bytes header = PatchFileHeader(PatchVersion::kV02, static_cast<std::int32_t>(snapshot.rows.size()),
                                           static_cast<std::int32_t>(data_length));
      const GbkText stored_index = EncryptPatchIndex(index, PatchKeyStream());
      // The header holds the data's length, so it goes in last.
      written = written &&
                file->WriteAt(kDataBlockAt + static_cast<std::uint64_t>(data_length), stored_index.data(),
                              stored_index.size()) &&
                file->WriteAt(0, header.data(), header.size()) && file->Commit();
      ui.ShowMessage(written ? "成功" : "补丁文件写入失败", kGenerated);
    }
  }
  ui.SetEnabled(kGenerateButton, true);
}

}  // namespace patchmaker

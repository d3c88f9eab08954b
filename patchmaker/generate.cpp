// Generating a .patch2 from the generate list, on a worker thread. Rows are
// compressed in parallel but taken in row order, so the file is the same as a
// one-thread run and the progress bar moves row by row. The rows in flight
// hold no more than a budget of bytes between them (files read, streams made
// and not yet written); a row larger than the budget is made alone.
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
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
constexpr char kOutOfMemory[] = "内存不足，补丁未生成";

// Bytes that the rows in flight may hold at once unless chosen: room for many
// files at a time, and for the rest of a 32-bit process beside them.
constexpr std::uint64_t kDefaultBudget = std::uint64_t{256} << 20;

struct Row {
  GbkText name;
  GbkText replacement;
};

// What the list and the table held when the generation began.
struct Snapshot {
  std::vector<Row> rows;
  std::vector<LoadedEntry> entries;  // by entry number - 1, only those the rows name; streams shared with the table
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

// A name that a PatchIndexLine cannot carry: a "|", "\r" or "\n" of its own,
// or a lead byte at its end, which would take the "|" after the name with it.
// It walks by GBK characters as the readers split the index, so a trail byte
// 0x7C (東 is 96 7C) is no "|".
bool CannotBeIndexed(const GbkText& name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      if (++i == name.size()) return true;
    } else if (c == '|' || c == '\r' || c == '\n') {
      return true;
    }
  }
  return false;
}

struct RowResult {
  enum Status { kOk, kPlaceholder, kBadName, kUnreadable, kIncomplete, kOutOfMemory } status = kOk;
  Bytes made;                           // a file's stream, made for this row
  std::shared_ptr<const Bytes> loaded;  // or a loaded entry's, shared with the table
  std::int32_t compressed_size = 0;
  std::int32_t uncompressed_size = 0;
  std::uint64_t held = 0;  // bytes of the budget the row holds until it is written

  std::string_view stream() const {
    if (!loaded) return made;
    return std::string_view(*loaded).substr(0, static_cast<std::size_t>(compressed_size));
  }
};

// compress()'s streams at the default level, one zlib state for many files:
// compress() sets up and frees its state (some 256 KiB) for each, and
// deflateReset gives the same bytes without that.
class Deflater {
 public:
  Deflater() = default;
  ~Deflater() {
    if (ready_) deflateEnd(&z_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // The stream of `data` (empty for empty data) as a view of this deflater's
  // buffer, valid until the next call or DropLargeBuffer. False when zlib
  // fails; std::bad_alloc when it or the buffer finds no memory.
  bool Deflate(std::string_view data, std::string_view* stream) {
    *stream = std::string_view();
    if (data.empty()) return true;
    const int rc = ready_ ? deflateReset(&z_) : deflateInit(&z_, Z_DEFAULT_COMPRESSION);
    if (rc == Z_MEM_ERROR) throw std::bad_alloc();
    if (rc != Z_OK) return false;
    ready_ = true;
    const uLong bound = compressBound(static_cast<uLong>(data.size()));
    if (capacity_ < bound) {
      // A small buffer is kept for the next file; a large one only until
      // DropLargeBuffer.
      buffer_.reset();
      capacity_ = 0;
      buffer_.reset(new char[bound]);
      capacity_ = bound;
    }
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z_.avail_in = static_cast<uInt>(data.size());
    z_.next_out = reinterpret_cast<Bytef*>(buffer_.get());
    z_.avail_out = static_cast<uInt>(bound);
    const int end = deflate(&z_, Z_FINISH);
    if (end == Z_MEM_ERROR) throw std::bad_alloc();
    if (end != Z_STREAM_END) return false;
    *stream = std::string_view(buffer_.get(), static_cast<std::size_t>(z_.total_out));
    return true;
  }

  void DropLargeBuffer() {
    if (capacity_ <= kKeptBuffer) return;
    buffer_.reset();
    capacity_ = 0;
  }

 private:
  static constexpr std::size_t kKeptBuffer = std::size_t{1} << 20;

  z_stream z_{};
  bool ready_ = false;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
};

// A row's work in two steps, so that what a file row will hold is known
// before it reads anything: OpenRow checks the row and opens its file,
// MakeRow reads and compresses it.
struct RowWork {
  RowResult result;
  std::unique_ptr<host::File> file;  // a file row still to be made
  std::size_t length = 0;
  // The file and the buffer its stream is made in.
  std::uint64_t Cost() const {
    return file ? std::uint64_t{length} + compressBound(static_cast<uLong>(length)) : 0;
  }
};

RowWork OpenRow(const Row& row, const Snapshot& s) {
  RowWork w;
  RowResult& r = w.result;
  if (row.name == kPlaceholderName) {
    r.status = RowResult::kPlaceholder;
    return w;
  }
  if (CannotBeIndexed(row.name)) {
    r.status = RowResult::kBadName;
    return w;
  }
  if (IsInternalId(row.replacement)) {
    const std::int32_t k = InternalNumber(row.replacement);
    if (k < 1 || static_cast<std::size_t>(k) > s.entries.size() || !s.have_entry[k - 1]) {
      r.status = RowResult::kIncomplete;
      return w;
    }
    const LoadedEntry& e = s.entries[k - 1];
    const std::size_t recorded = e.compressed_size > 0 ? static_cast<std::size_t>(e.compressed_size) : 0;
    if (e.compressed_size < 0 || (e.data ? e.data->size() : 0) < recorded) {
      r.status = RowResult::kIncomplete;
      return w;
    }
    if (recorded > 0) r.loaded = e.data;
    r.compressed_size = e.compressed_size;
    r.uncompressed_size = e.uncompressed_size;
    return w;
  }
  w.file = host::FileSystem().OpenForReading(row.replacement);
  std::uint64_t length = 0;
  if (!w.file || !w.file->Length(&length) ||
      length > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    w.file.reset();
    r.status = RowResult::kUnreadable;
    return w;
  }
  w.length = static_cast<std::size_t>(length);
  return w;
}

// The file is read whole in one read and compressed in one call. It is freed
// before its stream is copied out of the deflater's buffer, so that the row
// never holds more than the file and that buffer, its cost.
void MakeRow(RowWork* w, Deflater& deflater) {
  if (!w->file) return;
  RowResult& r = w->result;
  Bytes content(w->length, '\0');
  const bool read = content.empty() || w->file->ReadAt(0, &content[0], content.size()) == content.size();
  w->file.reset();
  std::string_view stream;
  if (!read || !deflater.Deflate(content, &stream)) {
    r.status = RowResult::kUnreadable;
    return;
  }
  Bytes().swap(content);
  r.made.assign(stream.data(), stream.size());
  deflater.DropLargeBuffer();
  r.uncompressed_size = static_cast<std::int32_t>(w->length);
  r.compressed_size = static_cast<std::int32_t>(r.made.size());
}

RowResult MakeRowHere(const Row& row, const Snapshot& s, Deflater& deflater) {
  RowWork w = OpenRow(row, s);
  MakeRow(&w, deflater);
  return std::move(w.result);
}

GbkText RowMessage(std::size_t row, RowResult::Status status) {
  const GbkText prefix = "第 " + std::to_string(row) + " 行-";
  switch (status) {
    case RowResult::kPlaceholder: return prefix + "请输入欲替换的文件名";
    case RowResult::kBadName: return prefix + "文件名不能包含|或换行";
    case RowResult::kUnreadable: return prefix + "无法读取替换文件";
    case RowResult::kOutOfMemory: return kOutOfMemory;
    default: return prefix + "补丁数据不完整";
  }
}

std::atomic<int> g_threads{0};
std::atomic<std::size_t> g_budget{0};

// Rows compressed at once: one per core unless chosen.
unsigned CompressionThreads() {
  const int chosen = g_threads.load();
  if (chosen > 0) return static_cast<unsigned>(chosen);
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 2 : cores;
}

std::uint64_t Budget() {
  const std::uint64_t chosen = g_budget.load();
  return chosen > 0 ? chosen : kDefaultBudget;
}

// Compresses the rows on a fixed set of threads, started once rather than per
// row, at most `ahead` rows beyond the one taken next, and only while the
// rows in flight hold at most `budget` bytes. The row taken next may always
// start, so the rows after it, whose streams wait for it, never hold it back:
// a row larger than the budget starts only as that row, and nothing starts
// beside it while it is held.
class RowCompressor {
 public:
  RowCompressor(const Snapshot& s, unsigned threads, std::size_t ahead, std::uint64_t budget)
      : s_(s), ahead_(ahead), budget_bytes_(budget), results_(s.rows.size()), done_(s.rows.size(), false) {
    workers_.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) {
      try {
        workers_.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        break;  // the threads started do the work
      }
    }
  }
  // Lets the rows being compressed finish, and starts no more.
  ~RowCompressor() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stop_ = true;
      room_.notify_all();
      budget_.notify_all();
    }
    for (std::thread& w : workers_) w.join();
  }
  RowCompressor(const RowCompressor&) = delete;
  RowCompressor& operator=(const RowCompressor&) = delete;

  // False when no thread could be started.
  bool started() const { return !workers_.empty(); }

  // Row i's result once it is ready; rows are taken in order. Its bytes stay
  // counted until Written.
  RowResult Take(std::size_t i) {
    std::unique_lock<std::mutex> hold(mutex_);
    ready_.wait(hold, [&] { return done_[i]; });
    taken_ = i + 1;
    room_.notify_all();
    budget_.notify_all();
    return std::move(results_[i]);
  }

  void Written(const RowResult& r) {
    std::lock_guard<std::mutex> hold(mutex_);
    held_ -= r.held;
    budget_.notify_all();
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
      RowWork w;
      bool in_memory = RunsInMemory([&] { w = OpenRow(s_.rows[i], s_); });
      const std::uint64_t cost = in_memory ? w.Cost() : 0;
      {
        std::unique_lock<std::mutex> hold(mutex_);
        budget_.wait(hold, [&] { return stop_ || i == taken_ || held_ + cost <= budget_bytes_; });
        if (stop_) return;
        held_ += cost;
      }
      in_memory = in_memory && RunsInMemory([&] { MakeRow(&w, deflater); });
      RowResult r;
      if (in_memory) {
        r = std::move(w.result);
      } else {
        r.status = RowResult::kOutOfMemory;
      }
      w = RowWork();
      r.held = r.made.size();
      std::lock_guard<std::mutex> hold(mutex_);
      held_ -= cost - r.held;
      results_[i] = std::move(r);
      done_[i] = true;
      ready_.notify_one();
      budget_.notify_all();
    }
  }

  const Snapshot& s_;
  const std::size_t ahead_;
  const std::uint64_t budget_bytes_;
  std::mutex mutex_;
  std::condition_variable ready_;   // a row is done
  std::condition_variable room_;    // a row was taken, or stop
  std::condition_variable budget_;  // bytes went back, the row taken next changed, or stop
  std::vector<RowResult> results_;
  std::vector<bool> done_;
  std::size_t next_ = 0;    // the next row to start
  std::size_t taken_ = 0;   // rows taken so far
  std::uint64_t held_ = 0;  // bytes the rows in flight hold
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
  if (threads > 1) {
    compressor = std::make_unique<RowCompressor>(s, threads, 2 * static_cast<std::size_t>(threads), Budget());
    if (!compressor->started()) compressor.reset();
  }
  Deflater deflater;
  const auto stop = [&](const GbkText& text, const char* caption) {
    compressor.reset();
    file->reset();
    ui.ShowMessage(text, caption);
    return false;
  };
  std::int64_t offset = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const RowResult r = compressor ? compressor->Take(i) : MakeRowHere(s.rows[i], s, deflater);
    if (r.status != RowResult::kOk) return stop(RowMessage(i + 1, r.status), kFailed);
    const std::string_view stream = r.stream();
    if (offset + static_cast<std::int64_t>(stream.size()) > std::numeric_limits<std::int32_t>::max())
      return stop("补丁文件写入失败", kGenerated);
    *written = *written && (*file)->WriteAt(kDataBlockAt + static_cast<std::uint64_t>(offset), stream.data(),
                                            stream.size());
    if (compressor) compressor->Written(r);
    *index += s.rows[i].name + "|" + std::to_string(offset) + "|" + std::to_string(r.compressed_size) + "|" +
              std::to_string(r.uncompressed_size) + "\r\n";
    offset += r.compressed_size;
    ui.SetProgress(kGenerateProgress, ProgressOf(i + 1, n));
  }
  *data_length = offset;
  return true;
}

// The generation into `target`; running out of memory leaves by std::bad_alloc
// (or std::length_error), which drops the new file.
void GenerateInto(const GbkText& target) {
  host::WindowFramework& ui = host::Ui();
  const Snapshot snapshot = TakeSnapshot();
  std::unique_ptr<host::Replacement> file = host::FileSystem().StartReplacing(target);
  bool written = file != nullptr;
  GbkText index;
  std::int64_t data_length = 0;
  if (!WriteData(snapshot, &file, &written, &index, &data_length)) return;
  const Bytes header = PatchFileHeader(PatchVersion::kV02, static_cast<std::int32_t>(snapshot.rows.size()),
                                       static_cast<std::int32_t>(data_length));
  const GbkText stored_index = EncryptPatchIndex(index, PatchKeyStream());
  // The header holds the data's length, so it goes in last.
  written = written &&
            file->WriteAt(kDataBlockAt + static_cast<std::uint64_t>(data_length), stored_index.data(),
                          stored_index.size()) &&
            file->WriteAt(0, header.data(), header.size()) && file->Commit();
  file.reset();
  ui.ShowMessage(written ? "成功" : "补丁文件写入失败", kGenerated);
}

}  // namespace

void SetCompressionThreads(int threads) { g_threads.store(threads < 0 ? 0 : threads); }
void SetGenerationBudget(std::size_t bytes) { g_budget.store(bytes); }

Bytes DeflateRawStream(const Bytes& data) {
  Deflater deflater;
  std::string_view stream;
  if (!deflater.Deflate(data, &stream)) return Bytes();
  return Bytes(stream);
}

void OnGenerateClicked(const host::EventArgs& /*args*/) {
  // A click that slipped through while 按钮1 is disabled changes nothing.
  if (!host::Ui().IsEnabled(kGenerateButton)) return;
  StartButtonWorker(kGenerateButton, &GeneratePatch);
}

void GeneratePatch() {
  host::WindowFramework& ui = host::Ui();
  host::FileDialogRequest request;
  request.save = true;
  request.filter = "补丁文件（*.patch2）|*.patch2";
  request.file_name = "New.patch2";
  request.initial_folder = host::Sys().ProgramFolder();
  GbkText target;
  // A cancelled dialog chose no file: nothing is written or shown.
  if (!ui.ShowFileDialog(kDialog, request, &target)) return;
  if (!RunsInMemory([&] { GenerateInto(target); })) ui.ShowMessage(kOutOfMemory, kFailed);
}

}  // namespace patchmaker

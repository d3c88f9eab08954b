#include "patchmaker/archive.h"

#include "host/archive_lock.h"
#include "patchmaker/install_plan.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string_view>
#include <utility>

namespace patchmaker {
namespace {

constexpr char kCaptionInfo[] = "提示";
constexpr char kCaptionError[] = "c错误";
constexpr char kPatchOpenFailed[] = "打开补丁失败";
constexpr char kPatchDamaged[] = "补丁文件已损坏，未安装";
constexpr char kArchiveOpenFailed[] = "未能打开Data.vnt，请查看安装目录是否正确";
constexpr char kArchiveDamaged[] = "Data.vnt已损坏，未安装";
constexpr char kArchiveWriteFailed[] = "写入Data.vnt失败";

constexpr char kArchiveBusy[] = "正在安装补丁，请等待安装完成";
constexpr char kOutOfMemory[] = "内存不足，补丁未安装";

constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::int32_t Int32At(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                   static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

void PutInt32(char* p, std::int64_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

Bytes MakeNameField(const GbkText& name) {
  Bytes field = name;
  if (field.size() < kNameFieldSize) field.resize(kNameFieldSize, '\0');
  return field;
}

Bytes EncodeArchiveEntry(const ArchiveIndexEntry& entry) {
  Bytes out = MakeNameField(entry.name);
  out.resize(kArchiveEntrySize, '\0');
  PutInt32(&out[kDataOffsetInEntry], entry.data_offset);
  PutInt32(&out[kDataOffsetInEntry + 4], entry.compressed_size);
  PutInt32(&out[kDataOffsetInEntry + 8], entry.uncompressed_size);
  std::memcpy(&out[kDataOffsetInEntry + 12], entry.reserved.data(), std::min(entry.reserved.size(), kReservedSize));
  return out;
}

ArchiveIndexEntry DecodeArchiveEntry(const char* entry) {
  ArchiveIndexEntry out;
  out.name = GbkText(NameOfField(entry));
  out.data_offset = Int32At(entry + kDataOffsetInEntry);
  out.compressed_size = Int32At(entry + kDataOffsetInEntry + 4);
  out.uncompressed_size = Int32At(entry + kDataOffsetInEntry + 8);
  out.reserved.assign(entry + kDataOffsetInEntry + 12, kReservedSize);
  return out;
}

GbkText ArchivePath(const GbkText& install_directory) { return install_directory + "\\Data.vnt"; }

const char* OutOfMemoryText() { return kOutOfMemory; }

namespace {

// Entries of the index read per piece: a large archive's index is never held
// whole, and a piece stays in the processor's cache.
constexpr std::size_t kPieceEntries = 512;

// Zeros are written this many at a time.
constexpr std::size_t kZeroChunk = 1 << 20;

// The bytes of each write that are not in the plan itself: the moved streams
// (read before anything is written) and the zeros before a data block placed
// past the room for new entries.
struct WriteSources {
  Bytes moved;
  Bytes zeros;
};

bool ReadSources(host::File& archive, const InstallPlan& plan, WriteSources* sources) {
  for (const InstallWrite& w : plan.writes) {
    if (w.kind == InstallWrite::Kind::kZeros)
      sources->zeros.assign(static_cast<std::size_t>(std::min<std::uint64_t>(w.size, kZeroChunk)), '\0');
    if (w.kind == InstallWrite::Kind::kMovedStreams) sources->moved.resize(static_cast<std::size_t>(w.size));
  }
  std::size_t at = 0;
  for (const MovedStream& m : plan.moved) {
    const auto size = static_cast<std::size_t>(m.size);
    if (archive.ReadAt(static_cast<std::uint64_t>(m.from), &sources->moved[at], size) != size) return false;
    at += size;
  }
  return true;
}

// The outcome of an install before anything is shown: the shown part waits
// until the archive's turn is given back.
struct Attempt {
  InstallResult result;
  const char* text = nullptr;  // the message, if any
  const char* caption = nullptr;
  bool show_progress = false;  // the matches' positions, and 100 after adding names
  bool added = false;

  Attempt& Fail(InstallOutcome outcome, const char* message, const char* message_caption) {
    result.outcome = outcome;
    text = message;
    caption = message_caption;
    return *this;
  }
};

void ShowProgress(host::Framework& ui, const InstallRequest& request, int position) {
  for (const GbkText& unit : request.progress_bars) ui.SetProgress(unit, position);
}

void Run(host::Files& files, const InstallRequest& request, Attempt* attempt) {
  Attempt& at = *attempt;
  const GbkText archive_path = ArchivePath(request.install_directory);
  // One install into an archive at a time, in every process.
  std::unique_ptr<host::ArchiveTurn> turn;
  if (request.locks != nullptr) {
    turn = request.wait_for_turn ? request.locks->Take(archive_path) : request.locks->TryTake(archive_path);
    if (!turn) {
      at.Fail(InstallOutcome::kBusy, kArchiveBusy, kCaptionInfo);
      return;
    }
  }

  // The whole patch is in memory and checked before the archive is touched.
  PatchFile patch;
  {
    const std::unique_ptr<host::File> patch_file = files.OpenExisting(request.patch_path);
    switch (ReadPatchFile(patch_file.get(), request.version, request.key_stream, true, &patch)) {
      case PatchReadStatus::kBadBanner:
        at.Fail(InstallOutcome::kPatchUnusable, kPatchOpenFailed, kCaptionInfo);
        return;
      case PatchReadStatus::kDamaged:
        at.Fail(InstallOutcome::kPatchUnusable, kPatchDamaged, kCaptionInfo);
        return;
      case PatchReadStatus::kOk:
        break;
    }
  }

  const std::unique_ptr<host::File> archive = files.OpenExisting(archive_path);
  if (!archive) {
    at.Fail(InstallOutcome::kArchiveNotOpened, kArchiveOpenFailed, kCaptionError);
    return;
  }
  const auto damaged = [&at] { at.Fail(InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError); };

  // A: the length before any change.
  std::uint64_t archive_length = 0;
  char count_bytes[4];
  if (!archive->Length(&archive_length) || archive->ReadAt(kArchiveCountAt, count_bytes, 4) != 4) return damaged();
  const std::int32_t entry_count = Int32At(count_bytes);
  if (entry_count < 0 || kArchiveIndexAt + kArchiveEntrySize * static_cast<std::uint64_t>(entry_count) > archive_length ||
      archive_length > static_cast<std::uint64_t>(kMaxOffset))
    return damaged();
  const auto entries = static_cast<std::size_t>(entry_count);

  // The index is read once, piece by piece; all of it must be there. Only
  // streams in the way of new entries make the planner ask for it again.
  InstallPlanner planner(patch, request.add_missing_names, static_cast<std::int64_t>(archive_length), entries);
  Bytes piece(std::min(entries, kPieceEntries) * kArchiveEntrySize, '\0');
  const auto scan = [&](void (InstallPlanner::*visit)(std::size_t, const char*)) {
    for (std::size_t first = 0; first < entries; first += kPieceEntries) {
      const std::size_t count = std::min(kPieceEntries, entries - first);
      const std::size_t size = count * kArchiveEntrySize;
      if (archive->ReadAt(kArchiveIndexAt + first * kArchiveEntrySize, &piece[0], size) != size) return false;
      for (std::size_t i = 0; i < count; ++i) (planner.*visit)(first + i, piece.data() + i * kArchiveEntrySize);
    }
    return true;
  };
  if (!scan(&InstallPlanner::Visit)) return damaged();
  if (planner.NeedsSecondPass() && !scan(&InstallPlanner::Revisit)) return damaged();
  piece = Bytes();
  InstallPlan plan;
  switch (planner.Finish(&plan)) {
    case PlanStatus::kArchiveDamaged:
      return damaged();
    case PlanStatus::kNameTooLong:
      at.Fail(InstallOutcome::kPatchUnusable, kPatchDamaged, kCaptionInfo);
      return;
    case PlanStatus::kOk:
      break;
  }
  WriteSources sources;
  if (!ReadSources(*archive, plan, &sources)) return damaged();

  // From here on the matches show, whatever the writes do.
  at.show_progress = true;
  at.result.found = static_cast<int>(plan.matches.size());
  at.result.entry_count = patch.entry_count;
  const auto write_failed = [&at] { at.Fail(InstallOutcome::kWriteFailed, kArchiveWriteFailed, kCaptionError); };
  for (const InstallWrite& w : plan.writes) {
    const void* data = nullptr;
    switch (w.kind) {
      case InstallWrite::Kind::kFlush:
        if (!archive->Flush()) return write_failed();
        continue;
      case InstallWrite::Kind::kZeros:
        for (std::uint64_t done = 0; done < w.size; done += sources.zeros.size()) {
          const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(w.size - done, sources.zeros.size()));
          if (!archive->WriteAt(w.at + done, sources.zeros.data(), size)) return write_failed();
        }
        continue;
      case InstallWrite::Kind::kDataBlock:
        data = patch.data_block.data();
        break;
      case InstallWrite::Kind::kMovedStreams:
        data = sources.moved.data();
        break;
      case InstallWrite::Kind::kIndexSpan:
      case InstallWrite::Kind::kNewEntries:
      case InstallWrite::Kind::kCount:
        data = w.bytes.data();
        break;
    }
    if (!archive->WriteAt(w.at, data, static_cast<std::size_t>(w.size))) return write_failed();
  }
  at.added = !plan.added.empty();
  if (!archive->Close()) return write_failed();
  at.result.outcome = InstallOutcome::kInstalled;
}

}  // namespace

InstallResult ApplyPatchToArchive(host::Framework& ui, host::Files& files, const InstallRequest& request) {
  Attempt attempt;
  Run(files, request, &attempt);
  // Nothing is shown while the archive's turn is held.
  if (attempt.show_progress) {
    const auto n = static_cast<std::size_t>(attempt.result.entry_count);
    for (std::size_t i = 1; i <= static_cast<std::size_t>(attempt.result.found); ++i)
      ShowProgress(ui, request, ProgressOf(i, n));
    if (attempt.added) ShowProgress(ui, request, 100);
  }
  if (attempt.text != nullptr) ui.ShowMessage(attempt.text, attempt.caption);
  return attempt.result;
}

}  // namespace patchmaker

#include "patchmaker/archive.h"

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

constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();

std::int32_t Int32At(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                   static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

void PutInt32(char* p, std::int64_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string_view NameOfField(const char* field) {
  const void* zero = std::memchr(field, 0, kNameFieldSize);
  return std::string_view(field, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field)
                                      : kNameFieldSize);
}

// Each patch name's first index line, by hash: open addressing over a power
// of two, so that looking up every name of a large index costs little more
// than reading it.
class FirstLines {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  explicit FirstLines(const std::vector<PatchIndexLine>& lines) : lines_(lines) {
    std::size_t size = 16;
    while (size < 2 * lines.size()) size *= 2;
    slots_.assign(size, Slot{0, kNone});
    mask_ = size - 1;
  }

  // The first line with line i's name; line i itself when it is the first.
  std::size_t Add(std::size_t i) {
    const std::string_view name = lines_[i].name;
    const std::uint64_t h = Hash(name);
    for (std::size_t at = static_cast<std::size_t>(h) & mask_;; at = (at + 1) & mask_) {
      Slot& slot = slots_[at];
      if (slot.line == kNone) {
        slot = {h, i};
        return i;
      }
      if (slot.hash == h && lines_[slot.line].name == name) return slot.line;
    }
  }

  // The first line with this name, or kNone.
  std::size_t Find(std::string_view name) const {
    const std::uint64_t h = Hash(name);
    for (std::size_t at = static_cast<std::size_t>(h) & mask_;; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.line == kNone) return kNone;
      if (slot.hash == h && lines_[slot.line].name == name) return slot.line;
    }
  }

 private:
  struct Slot {
    std::uint64_t hash;
    std::size_t line;
  };

  // Eight bytes at a time.
  static std::uint64_t Hash(std::string_view name) {
    std::uint64_t h = 0x9E3779B97F4A7C15u * (name.size() + 1);
    std::size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) h = Mix(h ^ Word(name.data() + i, 8));
    return Mix(h ^ Word(name.data() + i, name.size() - i));
  }
  static std::uint64_t Word(const char* p, std::size_t n) {
    std::uint64_t w = 0;
    std::memcpy(&w, p, n);
    return w;
  }
  static std::uint64_t Mix(std::uint64_t h) {
    h *= 0xFF51AFD7ED558CCDu;
    return h ^ (h >> 32);
  }

  const std::vector<PatchIndexLine>& lines_;
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
};

// Each failure shows its message and names its outcome.
InstallResult Fail(host::Framework& ui, InstallOutcome outcome, const char* text, const char* caption) {
  ui.ShowMessage(text, caption);
  InstallResult result;
  result.outcome = outcome;
  return result;
}

void ShowProgress(host::Framework& ui, const InstallRequest& request, int position) {
  for (const GbkText& unit : request.progress_bars) ui.SetProgress(unit, position);
}

struct Match {
  std::size_t entry;  // archive entry, from 0
  std::size_t line;   // first index line of its name, from 0
};

// Entries of the index read per piece: a large archive's index is never held
// whole, and a piece stays in the processor's cache.
constexpr std::size_t kPieceEntries = 512;

// Reads the index piece by piece and calls visit(j, entry) on each entry in
// order. False when a read comes up short or visit answers false.
template <class Visit>
bool ScanIndex(host::File& archive, std::size_t entries, Bytes* piece, Visit visit) {
  piece->resize(std::min(entries, kPieceEntries) * kArchiveEntrySize);
  for (std::size_t first = 0; first < entries; first += kPieceEntries) {
    const std::size_t count = std::min(kPieceEntries, entries - first);
    const std::size_t size = count * kArchiveEntrySize;
    if (archive.ReadAt(kArchiveIndexAt + first * kArchiveEntrySize, &(*piece)[0], size) != size) return false;
    for (std::size_t i = 0; i < count; ++i)
      if (!visit(first + i, piece->data() + i * kArchiveEntrySize)) return false;
  }
  return true;
}

// Copies of the entries an install rewrites, taken in index order. They are
// written back one run of neighbouring entries at a time, from the first one's
// data offset to the last one's sizes, so that sparse matches in a large index
// do not rewrite the whole index.
class Kept {
 public:
  // Room for `count` entries up front: no copy as it grows.
  void Reserve(std::size_t count) { bytes_.reserve(count * kArchiveEntrySize); }

  void Add(std::size_t j, const char* e) {
    if (runs_.empty() || j != runs_.back().last + 1) runs_.push_back({j, j, bytes_.size()});
    runs_.back().last = j;
    bytes_.append(e, kArchiveEntrySize);
  }

  // The copy of entry j, which was added.
  char* Find(std::size_t j) {
    const auto run = std::upper_bound(runs_.begin(), runs_.end(), j,
                                      [](std::size_t k, const Run& r) { return k < r.first; }) - 1;
    return &bytes_[run->at + (j - run->first) * kArchiveEntrySize];
  }

  bool WriteTo(host::File& archive) const {
    for (const Run& r : runs_) {
      const std::size_t from = r.at + kDataOffsetInEntry;
      const std::size_t to = r.at + (r.last - r.first) * kArchiveEntrySize + kDataOffsetInEntry + 12;
      if (!archive.WriteAt(kArchiveIndexAt + r.first * kArchiveEntrySize + kDataOffsetInEntry, &bytes_[from], to - from))
        return false;
    }
    return true;
  }

 private:
  struct Run {
    std::size_t first;  // entry
    std::size_t last;   // entry
    std::size_t at;     // in bytes_
  };
  std::vector<Run> runs_;
  Bytes bytes_;
};

}  // namespace

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

InstallResult ApplyPatchToArchive(host::Framework& ui, host::Files& files, const InstallRequest& request) {
  // The whole patch is in memory and checked before the archive is touched.
  PatchFile patch;
  {
    const std::unique_ptr<host::File> patch_file = files.OpenExisting(request.patch_path);
    switch (ReadPatchFile(patch_file.get(), request.version, request.key_stream, true, &patch)) {
      case PatchReadStatus::kBadBanner:
        return Fail(ui, InstallOutcome::kPatchUnusable, kPatchOpenFailed, kCaptionInfo);
      case PatchReadStatus::kDamaged:
        return Fail(ui, InstallOutcome::kPatchUnusable, kPatchDamaged, kCaptionInfo);
      case PatchReadStatus::kOk:
        break;
    }
  }
  const std::size_t n = patch.lines.size();

  // Name -> its first index line; the linear compare would stop there too.
  FirstLines first_line(patch.lines);
  std::vector<std::size_t> lines_of_name(n, 0);
  for (std::size_t i = 0; i < n; ++i) ++lines_of_name[first_line.Add(i)];

  const std::unique_ptr<host::File> archive = files.OpenExisting(ArchivePath(request.install_directory));
  if (!archive) return Fail(ui, InstallOutcome::kArchiveNotOpened, kArchiveOpenFailed, kCaptionError);

  // A: the length before any change.
  std::uint64_t archive_length = 0;
  char count_bytes[4];
  if (!archive->Length(&archive_length) || archive->ReadAt(kArchiveCountAt, count_bytes, 4) != 4)
    return Fail(ui, InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError);
  const std::int32_t entry_count = Int32At(count_bytes);
  if (entry_count < 0 || kArchiveIndexAt + kArchiveEntrySize * static_cast<std::uint64_t>(entry_count) > archive_length ||
      archive_length > static_cast<std::uint64_t>(kMaxOffset))
    return Fail(ui, InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError);
  const auto entries = static_cast<std::size_t>(entry_count);
  const auto a = static_cast<std::int64_t>(archive_length);

  // Scan in archive order; stop once as many entries matched as the patch holds.
  // The rest of the index is still read: all of it must be there.
  Bytes piece;
  std::vector<Match> matches;
  Kept kept;
  kept.Reserve(std::min(n, entries));
  std::vector<std::size_t> taken_from_pending(n, 0);
  const bool scanned = ScanIndex(*archive, entries, &piece, [&](std::size_t j, const char* e) {
    if (matches.size() == n) return true;
    const std::size_t k = first_line.Find(NameOfField(e));
    if (k == FirstLines::kNone) return true;
    matches.push_back({j, k});
    kept.Add(j, e);
    if (taken_from_pending[k] < lines_of_name[k]) ++taken_from_pending[k];
    return true;
  });
  if (!scanned) return Fail(ui, InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError);
  const std::size_t found = matches.size();
  // Progress only once the whole index is known to be there: a damaged
  // archive shows none.
  for (std::size_t i = 1; i <= found; ++i)
    ShowProgress(ui, request, static_cast<int>(static_cast<double>(i) / static_cast<double>(n) * 100.0));

  // What stays pending after removing, per match, the first equal name: the
  // last occurrences of each name, in index order.
  std::vector<std::size_t> added;  // first line of each new entry's name
  if (request.add_missing_names && found < n) {
    std::vector<std::size_t> seen(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = first_line.Find(patch.lines[i].name);
      if (++seen[k] > taken_from_pending[k]) added.push_back(k);
    }
    for (const std::size_t k : added)
      if (patch.lines[k].name.size() > kNameFieldSize)
        return Fail(ui, InstallOutcome::kPatchUnusable, kPatchDamaged, kCaptionInfo);
  }

  // New entries go right after the index. Streams lying there move to the end
  // first, and the data block never starts inside that space.
  const std::int64_t room_begin = static_cast<std::int64_t>(kArchiveIndexAt + kArchiveEntrySize * entries);
  const std::int64_t room_end = room_begin + static_cast<std::int64_t>(kArchiveEntrySize * added.size());
  const std::int64_t data_at = added.empty() ? a : std::max(a, room_end);

  Bytes moved;  // relocated streams, placed after the data block
  std::vector<std::pair<std::size_t, std::int64_t>> relocations;  // entry, new offset
  if (!added.empty()) {
    // A second pass finds the streams in the room; the kept entries are
    // taken again with the moved ones, in index order.
    std::vector<bool> repointed(entries, false);
    for (const Match& m : matches) repointed[m.entry] = true;
    kept = Kept();
    std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> copies;  // shared streams move once
    const bool relocated = ScanIndex(*archive, entries, &piece, [&](std::size_t j, const char* e) {
      const std::int32_t offset = Int32At(e + kDataOffsetInEntry);
      const std::int32_t size = Int32At(e + kDataOffsetInEntry + 4);
      if (repointed[j]) kept.Add(j, e);
      if (repointed[j] || size <= 0 || offset >= room_end || std::int64_t{offset} + size <= room_begin) return true;
      if (offset < 0 || std::int64_t{offset} + size > a) return false;
      auto copy = copies.find({offset, size});
      if (copy == copies.end()) {
        const std::size_t at = moved.size();
        moved.resize(at + static_cast<std::size_t>(size));
        if (archive->ReadAt(static_cast<std::uint64_t>(offset), &moved[at], static_cast<std::size_t>(size)) !=
            static_cast<std::size_t>(size))
          return false;
        copy = copies.emplace(std::make_pair(offset, size), data_at + patch.data_length + static_cast<std::int64_t>(at)).first;
      }
      relocations.emplace_back(j, copy->second);
      kept.Add(j, e);
      return true;
    });
    if (!relocated) return Fail(ui, InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError);
  }
  if (data_at + patch.data_length + static_cast<std::int64_t>(moved.size()) > kMaxOffset)
    return Fail(ui, InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError);

  // Every write is checked; the order keeps every entry pointing at a
  // complete stream whenever the process stops.
  const auto write_failed = [&ui] {
    return Fail(ui, InstallOutcome::kWriteFailed, kArchiveWriteFailed, kCaptionError);
  };

  // 1. The new streams, then make them durable before anything points at them.
  //    Usually that is the data block alone, written from where it lies.
  Bytes tail;
  if (data_at != a || !moved.empty()) {
    tail.assign(static_cast<std::size_t>(data_at - a), '\0');
    tail += patch.data_block;
    tail += moved;
  }
  const Bytes& appended = tail.empty() ? patch.data_block : tail;
  if (!appended.empty() &&
      (!archive->WriteAt(static_cast<std::uint64_t>(a), appended.data(), appended.size()) || !archive->Flush()))
    return write_failed();

  // 2. Re-pointed and moved entries, a run of neighbours at a time.
  const auto point = [&](std::size_t j, std::int64_t offset, std::int32_t size, std::int32_t inflated) {
    char* e = kept.Find(j) + kDataOffsetInEntry;
    PutInt32(e, offset);
    PutInt32(e + 4, size);
    PutInt32(e + 8, inflated);
  };
  for (const Match& m : matches) {
    const PatchIndexLine& line = patch.lines[m.line];
    point(m.entry, data_at + line.offset, line.compressed_size, line.uncompressed_size);
  }
  for (const auto& r : relocations) {
    const char* e = kept.Find(r.first) + kDataOffsetInEntry;
    point(r.first, r.second, Int32At(e + 4), Int32At(e + 8));
  }
  if (!kept.WriteTo(*archive)) return write_failed();

  if (!added.empty()) {
    // 3. New entries overwrite the old copies of moved streams: the entries
    //    must point away from them on the disk first.
    if (!relocations.empty() && !archive->Flush()) return write_failed();
    Bytes fresh;
    fresh.reserve(added.size() * kArchiveEntrySize);
    for (const std::size_t k : added) {
      const PatchIndexLine& line = patch.lines[k];
      ArchiveIndexEntry entry;
      entry.name = line.name;
      entry.data_offset = static_cast<std::int32_t>(data_at + line.offset);
      entry.compressed_size = line.compressed_size;
      entry.uncompressed_size = line.uncompressed_size;
      fresh += EncodeArchiveEntry(entry);
    }
    if (!archive->WriteAt(static_cast<std::uint64_t>(room_begin), fresh.data(), fresh.size())) return write_failed();

    // 4. The count last, so it never covers an entry not yet written.
    char count[4];
    PutInt32(count, std::int64_t{entry_count} + static_cast<std::int64_t>(added.size()));
    if (!archive->WriteAt(kArchiveCountAt, count, sizeof(count))) return write_failed();
  }
  if (found < n && request.add_missing_names) ShowProgress(ui, request, 100);

  if (!archive->Close()) return write_failed();
  InstallResult result;
  result.outcome = InstallOutcome::kInstalled;
  result.found = static_cast<int>(found);
  result.entry_count = patch.entry_count;
  return result;
}

}  // namespace patchmaker

#include "patchmaker/archive.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
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
  std::unordered_map<std::string_view, std::size_t> first_line;
  std::vector<std::size_t> lines_of_name(n, 0);
  first_line.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto placed = first_line.emplace(patch.lines[i].name, i);
    ++lines_of_name[placed.first->second];
  }

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

  Bytes index(entries * kArchiveEntrySize, '\0');
  if (archive->ReadAt(kArchiveIndexAt, &index[0], index.size()) != index.size())
    return Fail(ui, InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError);

  // Scan in archive order; stop once as many entries matched as the patch holds.
  std::vector<Match> matches;
  std::vector<std::size_t> taken_from_pending(n, 0);
  for (std::size_t j = 0; j < entries && matches.size() < n; ++j) {
    const auto hit = first_line.find(NameOfField(&index[j * kArchiveEntrySize]));
    if (hit == first_line.end()) continue;
    const std::size_t k = hit->second;
    matches.push_back({j, k});
    ShowProgress(ui, request, static_cast<int>(static_cast<double>(matches.size()) / static_cast<double>(n) * 100.0));
    if (taken_from_pending[k] < lines_of_name[k]) ++taken_from_pending[k];
  }
  const std::size_t found = matches.size();

  // What stays pending after removing, per match, the first equal name: the
  // last occurrences of each name, in index order.
  std::vector<std::size_t> added;  // first line of each new entry's name
  if (request.add_missing_names && found < n) {
    std::vector<std::size_t> seen(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = first_line.at(patch.lines[i].name);
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

  std::vector<bool> repointed(entries, false);
  for (const Match& m : matches) repointed[m.entry] = true;
  Bytes moved;  // relocated streams, placed after the data block
  std::vector<std::pair<std::size_t, std::int64_t>> relocations;  // entry, new offset
  if (!added.empty()) {
    std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> copies;  // shared streams move once
    for (std::size_t j = 0; j < entries; ++j) {
      if (repointed[j]) continue;
      const char* e = &index[j * kArchiveEntrySize];
      const std::int32_t offset = Int32At(e + kDataOffsetInEntry);
      const std::int32_t size = Int32At(e + kDataOffsetInEntry + 4);
      if (size <= 0 || offset >= room_end || std::int64_t{offset} + size <= room_begin) continue;
      if (offset < 0 || std::int64_t{offset} + size > a)
        return Fail(ui, InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError);
      auto copy = copies.find({offset, size});
      if (copy == copies.end()) {
        const std::size_t at = moved.size();
        moved.resize(at + static_cast<std::size_t>(size));
        if (archive->ReadAt(static_cast<std::uint64_t>(offset), &moved[at], static_cast<std::size_t>(size)) !=
            static_cast<std::size_t>(size))
          return Fail(ui, InstallOutcome::kArchiveDamaged, kArchiveDamaged, kCaptionError);
        copy = copies.emplace(std::make_pair(offset, size), data_at + patch.data_length + static_cast<std::int64_t>(at)).first;
      }
      relocations.emplace_back(j, copy->second);
    }
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

  // 2. Re-pointed entries: one write per run of neighbouring entries, from the
  //    first one's data offset to the last one's sizes, so that sparse matches
  //    in a large index do not rewrite the whole index.
  std::vector<bool> changed(entries, false);
  const auto point = [&](std::size_t j, std::int64_t offset, std::int32_t size, std::int32_t inflated) {
    char* e = &index[j * kArchiveEntrySize + kDataOffsetInEntry];
    PutInt32(e, offset);
    PutInt32(e + 4, size);
    PutInt32(e + 8, inflated);
    changed[j] = true;
  };
  for (const Match& m : matches) {
    const PatchIndexLine& line = patch.lines[m.line];
    point(m.entry, data_at + line.offset, line.compressed_size, line.uncompressed_size);
  }
  for (const auto& r : relocations) {
    const char* e = &index[r.first * kArchiveEntrySize + kDataOffsetInEntry];
    point(r.first, r.second, Int32At(e + 4), Int32At(e + 8));
  }
  for (std::size_t first = 0; first < entries; ++first) {
    if (!changed[first]) continue;
    std::size_t last = first;
    while (last + 1 < entries && changed[last + 1]) ++last;
    const std::size_t from = first * kArchiveEntrySize + kDataOffsetInEntry;
    const std::size_t to = last * kArchiveEntrySize + kDataOffsetInEntry + 12;
    if (!archive->WriteAt(kArchiveIndexAt + from, &index[from], to - from)) return write_failed();
    first = last;
  }

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

#include "patchmaker/install_plan.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

#include "patchmaker/archive.h"

namespace patchmaker {
namespace {

constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kFieldsSize = 12;  // data offset, compressed size, uncompressed size

std::int64_t EntryAt(std::size_t j) { return static_cast<std::int64_t>(kArchiveIndexAt + j * kArchiveEntrySize); }
std::int64_t FieldsAt(std::size_t j) { return EntryAt(j) + static_cast<std::int64_t>(kDataOffsetInEntry); }

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

// Index bytes kept as they pass: from the fields of one entry that may be
// rewritten to the fields of the last one, as long as each lies less than a
// span gap after the one before.
struct Segment {
  std::int64_t begin;  // file position of its first byte
  Bytes bytes;
  std::int64_t end() const { return begin + static_cast<std::int64_t>(bytes.size()); }
};

}  // namespace

std::string_view NameOfField(const char* field) {
  const void* zero = std::memchr(field, 0, kNameFieldSize);
  return std::string_view(field, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field)
                                      : kNameFieldSize);
}

struct InstallPlanner::State {
  State(const PatchFile& p, bool add, std::int64_t a, std::size_t n_entries)
      : patch(p), add_missing(add), archive_length(a), entries(n_entries), first_line(p.lines),
        lines_of_name(p.lines.size(), 0), taken_from_pending(p.lines.size(), 0) {
    for (std::size_t i = 0; i < patch.lines.size(); ++i) ++lines_of_name[first_line.Add(i)];
    room_begin = EntryAt(entries);
    // At most one new entry per line: no stream beyond this is ever in the way.
    room_limit = add_missing ? room_begin + static_cast<std::int64_t>(kArchiveEntrySize * patch.lines.size()) : room_begin;
  }

  // Keeps entry j's bytes up to its fields' end, joined to the open segment
  // when close enough. The open segment also holds, past its last kept
  // fields, the bytes passed since: they join it if a kept entry follows
  // soon, else Close cuts them off.
  void Keep(std::size_t j, const char* e) {
    const std::int64_t fields = FieldsAt(j);
    if (open && fields - kept_end < static_cast<std::int64_t>(kSpanGap)) {
      segments.back().bytes.append(e, kDataOffsetInEntry + kFieldsSize);
    } else {
      Close();
      segments.push_back({fields, Bytes()});
      // Room for the entries a page holds, so that a short span grows without copies.
      segments.back().bytes.reserve(kSpanGap + kArchiveEntrySize);
      segments.back().bytes.assign(e + kDataOffsetInEntry, kFieldsSize);
      open = true;
    }
    kept_end = fields + static_cast<std::int64_t>(kFieldsSize);
    segments.back().bytes.append(e + kDataOffsetInEntry + kFieldsSize,
                                 kArchiveEntrySize - kDataOffsetInEntry - kFieldsSize);
  }

  // An entry passed unkept: its bytes wait in case a kept one follows soon.
  void Pass(std::size_t j, const char* e) {
    if (!open) return;
    if (FieldsAt(j + 1) - kept_end >= static_cast<std::int64_t>(kSpanGap)) {
      Close();
      return;
    }
    segments.back().bytes.append(e, kArchiveEntrySize);
  }

  // Ends the open segment at its last kept fields.
  void Close() {
    if (!open) return;
    Segment& last = segments.back();
    last.bytes.resize(static_cast<std::size_t>(kept_end - last.begin));
    if (last.bytes.size() < kSpanGap) last.bytes.shrink_to_fit();  // a short one drops its passed tail
    open = false;
  }

  struct Candidate {
    std::size_t entry;
    std::int32_t offset, size;
  };

  const PatchFile& patch;
  const bool add_missing;
  const std::int64_t archive_length;
  const std::size_t entries;
  FirstLines first_line;
  std::vector<std::size_t> lines_of_name;
  std::vector<std::size_t> taken_from_pending;
  std::int64_t room_begin = 0, room_limit = 0;
  std::vector<InstallMatch> matches;
  std::vector<Candidate> candidates;  // unmatched entries whose stream may be in the way
  std::vector<Segment> segments;
  std::int64_t kept_end = 0;  // the open segment's last kept fields end here
  bool open = false;

  void Decide();
  bool decided = false;
  PlanStatus status = PlanStatus::kOk;
  InstallPlan out;
  std::int64_t moved_length = 0;
  std::vector<std::pair<std::size_t, std::int64_t>> relocations;  // entry, new offset
  bool revisited = false;
  std::vector<bool> rewritten;
};

// What goes where: the names added, the room for them, the data block's place
// and the streams that move out of the room.
void InstallPlanner::State::Decide() {
  decided = true;
  Close();
  const std::size_t n = patch.lines.size();
  const std::int64_t a = archive_length;
  out.archive_length = a;
  out.matches = std::move(matches);
  const std::size_t found = out.matches.size();

  // What stays pending after removing, per match, the first equal name: the
  // last occurrences of each name, in index order.
  if (add_missing && found < n) {
    std::vector<std::size_t> seen(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = first_line.Find(patch.lines[i].name);
      if (++seen[k] > taken_from_pending[k]) out.added.push_back(k);
    }
    for (const std::size_t k : out.added)
      if (patch.lines[k].name.size() > kNameFieldSize) {
        status = PlanStatus::kNameTooLong;
        return;
      }
  }

  // New entries go right after the index. Streams lying there move to the end
  // first, and the data block never starts inside that space.
  const std::int64_t room_end = room_begin + static_cast<std::int64_t>(kArchiveEntrySize * out.added.size());
  out.data_at = out.added.empty() ? a : std::max(a, room_end);
  const std::int64_t data_length = patch.data_length;
  if (!out.added.empty()) {
    std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> copies;  // shared streams move once
    for (const Candidate& c : candidates) {
      if (c.offset >= room_end) continue;
      if (c.offset < 0 || std::int64_t{c.offset} + c.size > a) {
        status = PlanStatus::kArchiveDamaged;
        return;
      }
      auto copy = copies.find({c.offset, c.size});
      if (copy == copies.end()) {
        const std::int64_t to = out.data_at + data_length + moved_length;
        out.moved.push_back({c.offset, c.size, to});
        moved_length += c.size;
        copy = copies.emplace(std::make_pair(c.offset, c.size), to).first;
      }
      relocations.emplace_back(c.entry, copy->second);
      out.moved_entries.push_back(c.entry);
    }
  }
  candidates = std::vector<Candidate>();
  if (out.data_at + data_length + moved_length > kMaxOffset) status = PlanStatus::kArchiveDamaged;
}

InstallPlanner::InstallPlanner(const PatchFile& patch, bool add_missing_names, std::int64_t archive_length,
                               std::size_t entries)
    : state_(std::make_unique<State>(patch, add_missing_names, archive_length, entries)) {}

InstallPlanner::~InstallPlanner() = default;

void InstallPlanner::Visit(std::size_t j, const char* e) {
  State& s = *state_;
  // Matching stops once as many entries matched as the patch holds.
  if (s.matches.size() < s.patch.lines.size()) {
    const std::size_t k = s.first_line.Find(NameOfField(e));
    if (k != FirstLines::kNone) {
      s.matches.push_back({j, k});
      if (s.taken_from_pending[k] < s.lines_of_name[k]) ++s.taken_from_pending[k];
      s.Keep(j, e);
      return;
    }
  }
  const std::int32_t offset = Int32At(e + kDataOffsetInEntry);
  const std::int32_t size = Int32At(e + kDataOffsetInEntry + 4);
  if (size > 0 && offset < s.room_limit && std::int64_t{offset} + size > s.room_begin)
    s.candidates.push_back({j, offset, size});
  s.Pass(j, e);
}

bool InstallPlanner::NeedsSecondPass() {
  State& s = *state_;
  if (!s.decided) s.Decide();
  return !s.relocations.empty();
}

void InstallPlanner::Revisit(std::size_t j, const char* e) {
  State& s = *state_;
  if (!s.revisited) {
    // The spans are taken again, the moved entries with the matched ones.
    s.revisited = true;
    s.segments.clear();
    s.open = false;
    s.rewritten.assign(s.entries, false);
    for (const InstallMatch& m : s.out.matches) s.rewritten[m.entry] = true;
    for (const auto& r : s.relocations) s.rewritten[r.first] = true;
  }
  if (s.rewritten[j]) {
    s.Keep(j, e);
  } else {
    s.Pass(j, e);
  }
}

PlanStatus InstallPlanner::Finish(InstallPlan* plan) {
  State& s = *state_;
  if (!s.decided) s.Decide();
  if (s.status != PlanStatus::kOk) return s.status;
  s.Close();
  InstallPlan out = std::move(s.out);
  const std::size_t found = out.matches.size();
  const std::int64_t a = s.archive_length;
  const std::int64_t data_length = s.patch.data_length;
  const std::int64_t moved_length = s.moved_length;
  const std::vector<std::pair<std::size_t, std::int64_t>>& relocations = s.relocations;
  if (!relocations.empty() && !s.revisited) return PlanStatus::kArchiveDamaged;  // a caller that skipped the second pass

  // 1. The new streams, made durable before anything points at them.
  std::vector<InstallWrite>& w = out.writes;
  using Kind = InstallWrite::Kind;
  if (out.data_at > a) w.push_back({Kind::kZeros, static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(out.data_at - a), {}});
  if (!s.patch.data_block.empty())
    w.push_back({Kind::kDataBlock, static_cast<std::uint64_t>(out.data_at), s.patch.data_block.size(), {}});
  if (moved_length > 0)
    w.push_back({Kind::kMovedStreams, static_cast<std::uint64_t>(out.data_at + data_length),
                 static_cast<std::uint64_t>(moved_length), {}});
  if (!w.empty()) w.push_back({Kind::kFlush, 0, 0, {}});

  // 2. Re-pointed and moved entries: a span per run of neighbours, as the
  //    spans will stand, the bytes between them unchanged.
  struct Rewrite {
    std::size_t entry;
    std::int64_t offset;
    const PatchIndexLine* line;  // null: a moved stream, sizes kept
  };
  std::vector<Rewrite> rewrites;
  rewrites.reserve(found + relocations.size());
  {
    std::size_t r = 0;
    for (const InstallMatch& m : out.matches) {
      for (; r < relocations.size() && relocations[r].first < m.entry; ++r)
        rewrites.push_back({relocations[r].first, relocations[r].second, nullptr});
      const PatchIndexLine& line = s.patch.lines[m.line];
      rewrites.push_back({m.entry, out.data_at + line.offset, &line});
    }
    for (; r < relocations.size(); ++r) rewrites.push_back({relocations[r].first, relocations[r].second, nullptr});
  }
  std::size_t segment = 0;
  for (std::size_t i = 0; i < rewrites.size();) {
    // The run: each next entry's fields less than a span gap after the last one's.
    std::size_t last = i;
    while (last + 1 < rewrites.size() &&
           FieldsAt(rewrites[last + 1].entry) - (FieldsAt(rewrites[last].entry) + static_cast<std::int64_t>(kFieldsSize)) <
               static_cast<std::int64_t>(kSpanGap))
      ++last;
    const std::int64_t begin = FieldsAt(rewrites[i].entry);
    const std::int64_t end = FieldsAt(rewrites[last].entry) + static_cast<std::int64_t>(kFieldsSize);
    while (s.segments[segment].end() < end) ++segment;
    Segment& seg = s.segments[segment];
    Bytes bytes;
    if (seg.begin == begin && seg.end() == end) {
      bytes = std::move(seg.bytes);  // the usual case: the whole segment is one span
    } else {
      bytes = seg.bytes.substr(static_cast<std::size_t>(begin - seg.begin), static_cast<std::size_t>(end - begin));
    }
    for (std::size_t k = i; k <= last; ++k) {
      char* fields = &bytes[static_cast<std::size_t>(FieldsAt(rewrites[k].entry) - begin)];
      PutInt32(fields, rewrites[k].offset);
      if (rewrites[k].line != nullptr) {
        PutInt32(fields + 4, rewrites[k].line->compressed_size);
        PutInt32(fields + 8, rewrites[k].line->uncompressed_size);
      }
    }
    w.push_back({Kind::kIndexSpan, static_cast<std::uint64_t>(begin), bytes.size(), std::move(bytes)});
    i = last + 1;
  }

  if (!out.added.empty()) {
    // 3. New entries overwrite the old places of moved streams and of
    //    re-pointed files: the entries must point away from them on the disk
    //    first.
    if (!rewrites.empty()) w.push_back({Kind::kFlush, 0, 0, {}});
    Bytes fresh;
    fresh.reserve(out.added.size() * kArchiveEntrySize);
    for (const std::size_t k : out.added) {
      const PatchIndexLine& line = s.patch.lines[k];
      ArchiveIndexEntry entry;
      entry.name = line.name;
      entry.data_offset = static_cast<std::int32_t>(out.data_at + line.offset);
      entry.compressed_size = line.compressed_size;
      entry.uncompressed_size = line.uncompressed_size;
      fresh += EncodeArchiveEntry(entry);
    }
    w.push_back({Kind::kNewEntries, static_cast<std::uint64_t>(s.room_begin), fresh.size(), std::move(fresh)});
    // 4. The count last, once the entries it covers are on the disk.
    w.push_back({Kind::kFlush, 0, 0, {}});
    Bytes count(4, '\0');
    PutInt32(&count[0], static_cast<std::int64_t>(s.entries) + static_cast<std::int64_t>(out.added.size()));
    w.push_back({Kind::kCount, kArchiveCountAt, 4, std::move(count)});
  }
  *plan = std::move(out);
  return PlanStatus::kOk;
}

PlanStatus PlanInstall(const PatchFile& patch, bool add_missing_names, const Bytes& archive, InstallPlan* plan) {
  if (archive.size() < kArchiveIndexAt) return PlanStatus::kArchiveDamaged;
  const std::int32_t count = Int32At(&archive[kArchiveCountAt]);
  if (count < 0 || kArchiveIndexAt + kArchiveEntrySize * static_cast<std::uint64_t>(count) > archive.size())
    return PlanStatus::kArchiveDamaged;
  const auto entries = static_cast<std::size_t>(count);
  InstallPlanner planner(patch, add_missing_names, static_cast<std::int64_t>(archive.size()), entries);
  for (std::size_t j = 0; j < entries; ++j) planner.Visit(j, &archive[kArchiveIndexAt + j * kArchiveEntrySize]);
  if (planner.NeedsSecondPass())
    for (std::size_t j = 0; j < entries; ++j) planner.Revisit(j, &archive[kArchiveIndexAt + j * kArchiveEntrySize]);
  return planner.Finish(plan);
}

}  // namespace patchmaker

// What an install does to Data.vnt, decided before anything is written: the
// archive entries that take a patch line, the names added, the streams moved
// out of the way of the new entries, and every write in the order it is made.
// Planning reads no file: it is given the patch, the archive's length and the
// index entries one after the other, so a plan can be checked on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "patchmaker/patch_file.h"

namespace patchmaker {

// One step of an install, in order.
struct InstallWrite {
  enum class Kind : std::uint8_t {
    kZeros,         // `size` zero bytes: the gap before a data block placed past the room for new entries
    kDataBlock,     // the patch's data block, from where it lies in memory
    kMovedStreams,  // the moved streams, read from their old places, back to back
    kIndexSpan,     // `bytes`: a run of re-pointed entries and the bytes between them, as they will stand
    kNewEntries,    // `bytes`: the added entries, right after the last existing one
    kCount,         // `bytes`: the raised entry count
    kFlush,         // what was written so far goes to the disk before anything after it
  };
  Kind kind;
  std::uint64_t at = 0;
  std::uint64_t size = 0;
  Bytes bytes;  // kIndexSpan, kNewEntries, kCount
};

struct InstallMatch {
  std::size_t entry;  // archive entry, from 0
  std::size_t line;   // first index line of its name, from 0
};

// A stream that lay where the new entries go, copied once to `to`; every
// entry that pointed at it is re-pointed there.
struct MovedStream {
  std::int64_t from;
  std::int32_t size;
  std::int64_t to;
};

struct InstallPlan {
  std::int64_t archive_length = 0;  // A, before any change
  std::int64_t data_at = 0;         // where the data block lands: A, or past the room for new entries
  std::vector<InstallMatch> matches;  // in index order; their number is `found`
  std::vector<std::size_t> added;     // per new entry, in order, the first index line of its name
  std::vector<MovedStream> moved;     // in the order they are placed after the data block
  std::vector<std::size_t> moved_entries;  // entries re-pointed at a moved stream, in index order
  std::vector<InstallWrite> writes;
};

enum class PlanStatus {
  kOk,
  kArchiveDamaged,  // a stream in the way of the new entries lies outside the file, or the result passes 2 GiB
  kNameTooLong,     // a name to add does not fit the 260-byte field
};

// Builds a plan from the index entries given in order. The matched entries,
// and the index bytes between neighbours among them, are kept as they pass;
// nothing else of the index is held. Only when streams must move out of the
// way of new entries are the entries given a second time, to keep the moved
// ones' neighbours too.
class InstallPlanner {
 public:
  // Neighbouring rewritten entries closer than this are written as one span.
  static constexpr std::size_t kSpanGap = 4096;

  InstallPlanner(const PatchFile& patch, bool add_missing_names, std::int64_t archive_length, std::size_t entries);
  ~InstallPlanner();

  // Entry j (its 304 bytes); j counts from 0 and every entry comes once, in order.
  void Visit(std::size_t j, const char* entry);
  // After the last Visit: whether every entry must come again, through Revisit.
  bool NeedsSecondPass();
  void Revisit(std::size_t j, const char* entry);
  // After the last entry. The plan refers to the patch's data block by kind only.
  PlanStatus Finish(InstallPlan* plan);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The plan for an archive held whole in memory (tests, tools).
PlanStatus PlanInstall(const PatchFile& patch, bool add_missing_names, const Bytes& archive, InstallPlan* plan);

// The name in a 260-byte field: up to the first zero byte, or all of it.
std::string_view NameOfField(const char* field);

}  // namespace patchmaker

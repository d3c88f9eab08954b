// Installing a patch into Data.vnt: the archive's own examples, then each
// damage that an installation must refuse or survive.
#include "patchmaker/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "host/archive_lock.h"
#include "host/platform.h"
#include "host/scripted/faulty_files.h"
#include "host/scripted/scripted_framework.h"
#include "patchmaker/install_plan.h"
#include "tests/patchmaker/fixtures.h"
#include "tests/support/hex.h"

namespace {

using fixtures::StoredFile;
using fixtures::StreamBytes;
using patchmaker::ArchiveIndexEntry;
using patchmaker::Bytes;
using patchmaker::GbkText;
using patchmaker::InstallOutcome;
using patchmaker::PatchEntry;
using patchmaker::PatchVersion;
using testing_support::ToHex;
using Message = host::ScriptedFramework::Message;

const Message kInstallPatchOpenFailed{"提示", "打开补丁失败"};
const Message kPatchDamaged{"提示", "补丁文件已损坏，未安装"};
const Message kArchiveMissing{"c错误", "未能打开Data.vnt，请查看安装目录是否正确"};
const Message kArchiveDamaged{"c错误", "Data.vnt已损坏，未安装"};
const Message kWriteFailed{"c错误", "写入Data.vnt失败"};

std::string Describe(const std::vector<Message>& messages) {
  std::string out;
  for (const Message& m : messages) out += "[" + ToHex(m.caption) + " | " + ToHex(m.text) + "] ";
  return out;
}

class InstallTest : public testing::Test {
 protected:
  void SetUp() override { fixtures::BindLibrary(); }

  void PutArchive(const Bytes& bytes) { fixtures::WriteFile(patchmaker::ArchivePath(dir_.path()), bytes); }
  Bytes Archive() const { return fixtures::ReadFile(patchmaker::ArchivePath(dir_.path())); }
  void PutPatch(const Bytes& bytes) { fixtures::WriteFile(PatchPath(), bytes); }
  GbkText PatchPath() const { return dir_.File("update.patch2"); }

  patchmaker::InstallRequest Request(bool add_missing = true, PatchVersion version = PatchVersion::kV02) const {
    patchmaker::InstallRequest r;
    r.patch_path = PatchPath();
    r.install_directory = dir_.path();
    r.version = version;
    r.add_missing_names = add_missing;
    r.progress_bars = {"进度条2"};
    r.key_stream = patchmaker::DefaultPatchKeyStream();
    return r;
  }
  patchmaker::InstallResult Install(bool add_missing = true, PatchVersion version = PatchVersion::kV02) {
    return patchmaker::ApplyPatchToArchive(ui_, host::PlatformFiles(), Request(add_missing, version));
  }

  // The install failed with exactly this message and left the archive as it was.
  // A null `before` means there is no archive, and there must still be none.
  void ExpectRefused(const Bytes* before, InstallOutcome outcome, const Message& message, const char* what) {
    const patchmaker::InstallResult r = Install();
    EXPECT_EQ(r.outcome, outcome) << what;
    EXPECT_EQ(ui_.messages(), std::vector<Message>{message}) << what << ": " << Describe(ui_.messages());
    std::string now;
    const bool exists = host::PlatformFiles().ReadWholeFile(patchmaker::ArchivePath(dir_.path()), &now);
    EXPECT_EQ(exists, before != nullptr) << what;
    if (before != nullptr) {
      EXPECT_EQ(now, *before) << what << ": the archive was changed";
    }
    EXPECT_TRUE(ui_.progress().empty()) << what;
    ui_.Clear();
  }

  fixtures::TempDir dir_;
  host::ScriptedFramework ui_;
};

// Archive "a", "b", "c" whose streams end at 1000 (the index ends at 966).
std::vector<StoredFile> Abc() {
  return {{"a", StreamBytes('a', 10), 11}, {"b", StreamBytes('b', 12), 13}, {"c", StreamBytes('c', 12), 14}};
}

TEST_F(InstallTest, RepointsMatchedEntriesAndAppendsTheDataBlock) {
  const Bytes before = fixtures::BuildArchive(Abc());
  ASSERT_EQ(before.size(), 1000u);
  PutArchive(before);
  PutPatch(fixtures::MakePatch({{"b", StreamBytes('B', 5), 9}, {"c", StreamBytes('C', 7), 12}}));

  const patchmaker::InstallResult r = Install();
  ASSERT_EQ(r.outcome, InstallOutcome::kInstalled) << Describe(ui_.messages());
  EXPECT_EQ(r.found, 2);
  EXPECT_EQ(r.entry_count, 2);
  EXPECT_TRUE(ui_.messages().empty()) << Describe(ui_.messages());
  EXPECT_EQ(ui_.positions("进度条2"), (std::vector<int>{50, 100}));

  const Bytes after = Archive();
  ASSERT_EQ(after.size(), 1012u);
  EXPECT_EQ(after.substr(0, 1000).substr(0, 54 + 304), before.substr(0, 54 + 304)) << "entry a untouched";
  EXPECT_EQ(after.substr(966, 34), before.substr(966, 34)) << "old streams stay where they were";
  EXPECT_EQ(after.substr(1000), StreamBytes('B', 5) + StreamBytes('C', 7));
  const fixtures::ParsedArchive parsed = fixtures::ParseArchive(after);
  ASSERT_EQ(parsed.count, 3);
  const struct {
    std::int32_t offset, size, inflated;
  } expected[] = {{966, 10, 11}, {1000, 5, 9}, {1005, 7, 12}};
  const fixtures::ParsedArchive original = fixtures::ParseArchive(before);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(parsed.entries[j].data_offset, expected[j].offset) << j;
    EXPECT_EQ(parsed.entries[j].compressed_size, expected[j].size) << j;
    EXPECT_EQ(parsed.entries[j].uncompressed_size, expected[j].inflated) << j;
    EXPECT_EQ(ToHex(parsed.entries[j].reserved), ToHex(original.entries[j].reserved)) << "reserved bytes kept";
  }
}

TEST_F(InstallTest, AddsAMissingNameInTheFreeBytesAfterTheIndex) {
  const Bytes before = fixtures::BuildArchive(Abc(), 400);  // streams from 1366
  PutArchive(before);
  PutPatch(fixtures::MakePatch({{"c", StreamBytes('C', 7), 12}, {"x", StreamBytes('X', 3), 4}}));

  const patchmaker::InstallResult r = Install();
  ASSERT_EQ(r.outcome, InstallOutcome::kInstalled) << Describe(ui_.messages());
  EXPECT_EQ(r.found, 1);
  EXPECT_EQ(ui_.positions("进度条2"), (std::vector<int>{50, 100}));

  const Bytes after = Archive();
  const std::int32_t a = static_cast<std::int32_t>(before.size());
  ASSERT_EQ(after.size(), before.size() + 10);
  EXPECT_EQ(after.substr(1366), before.substr(1366) + StreamBytes('C', 7) + StreamBytes('X', 3));
  const fixtures::ParsedArchive parsed = fixtures::ParseArchive(after);
  ASSERT_EQ(parsed.count, 4);
  EXPECT_EQ(parsed.entries[2].data_offset, a);
  EXPECT_EQ(parsed.entries[2].compressed_size, 7);
  const ArchiveIndexEntry x = patchmaker::DecodeArchiveEntry(&after[966]);
  EXPECT_EQ(x.name, "x");
  EXPECT_EQ(x.data_offset, a + 7);
  EXPECT_EQ(x.compressed_size, 3);
  EXPECT_EQ(x.uncompressed_size, 4);
  EXPECT_EQ(ToHex(x.reserved), ToHex(Bytes(32, '\0')));
  EXPECT_EQ(ToHex(after.substr(966, 260)), ToHex(patchmaker::MakeNameField("x")));
  EXPECT_EQ(after.substr(966 + 304, 1366 - 966 - 304), Bytes(1366 - 966 - 304, '\xEE')) << "rest of the free bytes";
}

// Which entries end up where, for the name-matching rules.
TEST_F(InstallTest, FirstLineWinsAndTheScanStopsAtN) {
  struct Case {
    const char* what;
    std::vector<GbkText> archive_names;
    std::vector<GbkText> patch_names;
    bool add_missing;
    int found;
    std::vector<int> repointed_to_line;  // per archive entry: line number (from 1), 0 = unchanged
    std::vector<GbkText> added;          // names of new entries, in order
  } cases[] = {
      {"scan stops when found reaches n", {"a", "b", "a"}, {"a"}, true, 1, {1, 0, 0}, {}},
      {"both copies of a name in the archive use up n", {"a", "a", "b"}, {"a", "b"}, true, 2, {1, 1, 0}, {}},
      {"a name twice in the patch: first line wins, the second is added", {"a", "b", "c"}, {"b", "b"}, true, 1,
       {0, 1, 0}, {"b"}},
      {"letter case differs: added", {"Data\\a.txt"}, {"data\\a.txt"}, true, 0, {0}, {"data\\a.txt"}},
      {"letter case differs, not adding", {"Data\\a.txt"}, {"data\\a.txt"}, false, 0, {0}, {}},
      {"pending keeps the later copies in index order", {"x"}, {"y", "x", "z", "x", "y"}, true, 1, {2},
       {"y", "z", "x", "y"}},
      {"names of exactly 260 bytes fill the field", {GbkText(260, 'L')}, {GbkText(260, 'L'), GbkText(260, 'M')}, true, 1,
       {1}, {GbkText(260, 'M')}},
      {"GBK names with 0x5C and 0x7C trail bytes", {"图\\誠.dds", "图\\東.dds"}, {"图\\東.dds", "图\\誠.dds"}, true, 2,
       {2, 1}, {}},
  };
  for (const Case& c : cases) {
    std::vector<StoredFile> files;
    for (std::size_t j = 0; j < c.archive_names.size(); ++j)
      files.push_back({c.archive_names[j], StreamBytes(static_cast<char>('a' + j), 4 + j), 1});
    std::vector<PatchEntry> entries;
    for (std::size_t i = 0; i < c.patch_names.size(); ++i)
      entries.push_back({c.patch_names[i], StreamBytes(static_cast<char>('P' + i), 3 + i), static_cast<std::int32_t>(i)});
    const Bytes before = fixtures::BuildArchive(files, 304 * 5);
    PutArchive(before);
    PutPatch(fixtures::MakePatch(entries));
    const patchmaker::InstallResult r = Install(c.add_missing);
    ASSERT_EQ(r.outcome, InstallOutcome::kInstalled) << c.what << Describe(ui_.messages());
    EXPECT_EQ(r.found, c.found) << c.what;
    EXPECT_EQ(r.entry_count, static_cast<int>(c.patch_names.size())) << c.what;

    const fixtures::ParsedArchive after = fixtures::ParseArchive(Archive());
    const fixtures::ParsedArchive original = fixtures::ParseArchive(before);
    ASSERT_EQ(after.count, static_cast<std::int32_t>(files.size() + c.added.size())) << c.what;
    for (std::size_t j = 0; j < files.size(); ++j) {
      const int line = c.repointed_to_line[j];
      const Bytes expected = line == 0 ? files[j].stream : entries[line - 1].stream;
      EXPECT_EQ(fixtures::StreamOf(after, after.entries[j]), expected) << c.what << ", entry " << j + 1;
      if (line != 0) {
        EXPECT_EQ(after.entries[j].uncompressed_size, line - 1) << c.what;
      }
      EXPECT_EQ(ToHex(after.entries[j].name), ToHex(original.entries[j].name)) << c.what;
    }
    for (std::size_t i = 0; i < c.added.size(); ++i) {
      const ArchiveIndexEntry& e = after.entries[files.size() + i];
      EXPECT_EQ(ToHex(e.name), ToHex(c.added[i])) << c.what;
      std::size_t first = 0;
      while (c.patch_names[first] != c.added[i]) ++first;
      EXPECT_EQ(fixtures::StreamOf(after, e), entries[first].stream) << c.what << ": first line's values";
    }
    ui_.Clear();
  }
}

TEST_F(InstallTest, ProgressIsTheShareOfMatchesCutTowardZero) {
  std::vector<StoredFile> files;
  std::vector<PatchEntry> entries;
  for (int i = 0; i < 100; ++i) {
    files.push_back({"f" + std::to_string(i), StreamBytes('f', 2), 2});
    entries.push_back({"f" + std::to_string(i), StreamBytes('g', 1), 1});
  }
  PutArchive(fixtures::BuildArchive(files));
  PutPatch(fixtures::MakePatch(entries));
  patchmaker::InstallRequest request = Request();
  request.progress_bars = {"进度条2", "进度条1"};
  ASSERT_EQ(patchmaker::ApplyPatchToArchive(ui_, host::PlatformFiles(), request).outcome, InstallOutcome::kInstalled);
  const std::vector<int> positions = ui_.positions("进度条2");
  ASSERT_EQ(positions.size(), 100u);
  EXPECT_EQ(positions[28], 28) << "29 of 100";
  EXPECT_EQ(positions[56], 56) << "57 of 100";
  EXPECT_EQ(positions[99], 100);
  EXPECT_EQ(ui_.positions("进度条1"), positions) << "every bar shows the same";

  ui_.Clear();
  PutArchive(fixtures::BuildArchive({{"a", "1", 1}, {"b", "2", 1}, {"c", "3", 1}}));
  PutPatch(fixtures::MakePatch({{"a", "x", 1}, {"b", "y", 1}, {"c", "z", 1}}));
  ASSERT_EQ(Install().outcome, InstallOutcome::kInstalled);
  EXPECT_EQ(ui_.positions("进度条2"), (std::vector<int>{33, 66, 100}));
}

TEST_F(InstallTest, EmptyPatchChangesNothingAndSucceeds) {
  const Bytes before = fixtures::BuildArchive(Abc());
  PutArchive(before);
  PutPatch(fixtures::MakePatch({}));
  const patchmaker::InstallResult r = Install();
  EXPECT_EQ(r.outcome, InstallOutcome::kInstalled);
  EXPECT_EQ(r.found, 0);
  EXPECT_EQ(r.entry_count, 0);
  EXPECT_EQ(Archive(), before);
  EXPECT_TRUE(ui_.progress().empty());
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(InstallTest, OldFormatInstallsWithoutAddingNames) {
  PutArchive(fixtures::BuildArchive(Abc()));
  const GbkText index = "a|0|4|5\r\nnew|4|2|2\r\n";
  PutPatch(fixtures::MakeRawPatch(PatchVersion::kV01, 2, "AAAANN", index, 6));
  const patchmaker::InstallResult r = Install(false, PatchVersion::kV01);
  ASSERT_EQ(r.outcome, InstallOutcome::kInstalled) << Describe(ui_.messages());
  EXPECT_EQ(r.found, 1);
  EXPECT_EQ(r.entry_count, 2);
  EXPECT_EQ(ui_.positions("进度条2"), std::vector<int>{50}) << "no 100 without added names";
  const fixtures::ParsedArchive after = fixtures::ParseArchive(Archive());
  EXPECT_EQ(after.count, 3);
  EXPECT_EQ(after.bytes.size(), 1006u);
  EXPECT_EQ(fixtures::StreamOf(after, after.entries[0]), "AAAA");
}

TEST_F(InstallTest, RefusesBeforeWritingAnything) {
  const Bytes archive = fixtures::BuildArchive(Abc());
  const Bytes good = fixtures::MakePatch({{"a", "12345", 9}});
  const GbkText long_name(261, 'n');
  struct Case {
    const char* what;
    Bytes patch;
    Message message;
  } cases[] = {
      {"patch of the old format", fixtures::MakeRawPatch(PatchVersion::kV01, 1, "12345", "a|0|5|9\r\n", 5),
       kInstallPatchOpenFailed},
      {"111-byte patch", good.substr(0, 111), kInstallPatchOpenFailed},
      {"index lies about n", fixtures::MakeRawPatch(PatchVersion::kV02, 3, "12345", "a|0|5|9\r\nb|0|5|9\r\n", 5),
       kPatchDamaged},
      {"data block cut short", good.substr(0, 122), kPatchDamaged},
      {"negative n", fixtures::MakeRawPatch(PatchVersion::kV02, -2, "12345", "a|0|5|9\r\n", 5), kPatchDamaged},
      {"negative L", fixtures::MakeRawPatch(PatchVersion::kV02, 1, "12345", "a|0|5|9\r\n", -1), kPatchDamaged},
      {"negative offset", fixtures::MakeRawPatch(PatchVersion::kV02, 1, "12345", "a|-5|5|9\r\n", 5), kPatchDamaged},
      {"negative size", fixtures::MakeRawPatch(PatchVersion::kV02, 1, "12345", "a|0|-1|9\r\n", 5), kPatchDamaged},
      {"stream beyond the data block", fixtures::MakeRawPatch(PatchVersion::kV02, 1, "12345", "a|3|5|9\r\n", 5),
       kPatchDamaged},
      {"name to add longer than 260 bytes", fixtures::MakePatch({{long_name, "12345", 9}}), kPatchDamaged},
  };
  for (const Case& c : cases) {
    PutArchive(archive);
    PutPatch(c.patch);
    ExpectRefused(&archive, InstallOutcome::kPatchUnusable, c.message, c.what);
    EXPECT_EQ(fixtures::ReadFile(PatchPath()), c.patch) << c.what << ": the patch was changed";
  }

  // A patch that cannot be opened at all.
  PutArchive(archive);
  patchmaker::InstallRequest request = Request();
  request.patch_path = dir_.File("missing.patch2");
  EXPECT_EQ(patchmaker::ApplyPatchToArchive(ui_, host::PlatformFiles(), request).outcome, InstallOutcome::kPatchUnusable);
  EXPECT_EQ(ui_.messages(), std::vector<Message>{kInstallPatchOpenFailed});
  EXPECT_EQ(Archive(), archive);
  ui_.Clear();
}

TEST_F(InstallTest, LongNamesThatAreNotAddedDoNoHarm) {
  const Bytes archive = fixtures::BuildArchive(Abc());
  PutArchive(archive);
  PutPatch(fixtures::MakePatch({{"a", "12345", 9}, {GbkText(300, 'n'), "678", 3}}));
  const patchmaker::InstallResult r = Install(false);
  EXPECT_EQ(r.outcome, InstallOutcome::kInstalled) << "patchsetup never adds, so the name never needs a field";
  EXPECT_EQ(r.found, 1);
}

TEST_F(InstallTest, RefusesAMissingOrDamagedArchive) {
  const Bytes patch = fixtures::MakePatch({{"x", "12345", 9}});
  PutPatch(patch);
  ExpectRefused(nullptr, InstallOutcome::kArchiveNotOpened, kArchiveMissing, "no Data.vnt");
  EXPECT_EQ(fixtures::ReadFile(PatchPath()), patch);

  Bytes negative = fixtures::BuildArchive(Abc());
  negative[53] = '\x80';
  Bytes too_many = fixtures::BuildArchive(Abc());
  too_many[50] = 4;  // 54 + 304 x 4 = 1270 > 1000
  const Bytes index_only = fixtures::BuildArchive({{"a", "", 0}, {"b", "", 0}}).substr(0, 54 + 304 * 2 - 1);
  const struct {
    const char* what;
    Bytes archive;
  } cases[] = {
      {"negative count", negative},
      {"count beyond the file", too_many},
      {"index cut by one byte", index_only},
      {"shorter than the count field", Bytes(52, 'h')},
      {"empty file", ""},
  };
  for (const auto& c : cases) {
    PutArchive(c.archive);
    ExpectRefused(&c.archive, InstallOutcome::kArchiveDamaged, kArchiveDamaged, c.what);
  }
}

// Adding entries needs the bytes after the index; whatever lies there moves.
TEST_F(InstallTest, NewEntriesNeverOverwriteFileData) {
  struct Case {
    const char* what;
    std::vector<StoredFile> files;
    std::size_t free_bytes;
    std::vector<PatchEntry> patch;
  } cases[] = {
      {"first file's data follows the index", Abc(), 0, {{"x", StreamBytes('X', 9), 9}}},
      {"free bytes too few for two entries", Abc(), 400, {{"x", StreamBytes('X', 9), 9}, {"y", StreamBytes('Y', 4), 4}}},
      {"re-pointed file's old data may go", Abc(), 0, {{"a", StreamBytes('A', 3), 3}, {"x", StreamBytes('X', 9), 9}}},
      {"archive that is only a header and an index", {{"a", "", 0}, {"b", "", 0}}, 0,
       {{"x", StreamBytes('X', 9), 9}, {"b", StreamBytes('B', 2), 2}}},
      {"archive with no entries", {}, 0, {{"x", StreamBytes('X', 9), 9}, {"y", StreamBytes('Y', 1), 1}}},
      {"two entries sharing one stream", {{"a", StreamBytes('s', 6), 6}, {"b", "", 0}}, 0,
       {{"x", StreamBytes('X', 9), 9}}},
  };
  for (Case& c : cases) {
    Bytes before = fixtures::BuildArchive(c.files, c.free_bytes);
    if (std::string(c.what) == "two entries sharing one stream") {
      // Entry b points at a's stream as well.
      before.replace(54 + 304 + 260, 8, before.substr(54 + 260, 8));
    }
    PutArchive(before);
    PutPatch(fixtures::MakePatch(c.patch));
    const patchmaker::InstallResult r = Install();
    ASSERT_EQ(r.outcome, InstallOutcome::kInstalled) << c.what << Describe(ui_.messages());

    std::multimap<GbkText, Bytes> allowed;
    const fixtures::ParsedArchive original = fixtures::ParseArchive(before);
    for (const ArchiveIndexEntry& e : original.entries) allowed.emplace(e.name, fixtures::StreamOf(original, e));
    // Only the patch's streams count for its names: each must point at the new one.
    for (const PatchEntry& p : c.patch) allowed.erase(p.name);
    for (const PatchEntry& p : c.patch) allowed.emplace(p.name, p.stream);
    const Bytes after = Archive();
    EXPECT_TRUE(fixtures::ArchiveIsSound(after, before, allowed)) << c.what;
    const fixtures::ParsedArchive parsed = fixtures::ParseArchive(after);
    std::size_t names = original.entries.size();
    for (const PatchEntry& p : c.patch) {
      bool present = false;
      for (const ArchiveIndexEntry& e : original.entries) present = present || e.name == p.name;
      names += present ? 0 : 1;
    }
    EXPECT_EQ(parsed.entries.size(), names) << c.what;
    ui_.Clear();
  }
}

// An index longer than the pieces it is read in: matches, moved streams and
// neighbouring entries on both sides of the pieces' borders.
TEST_F(InstallTest, ALargeIndexReadInPieces) {
  std::vector<StoredFile> files;
  for (int j = 0; j < 1300; ++j) files.push_back({"f" + std::to_string(j), StreamBytes(static_cast<char>('a' + j % 26), 1), 1});
  const Bytes before = fixtures::BuildArchive(files);
  std::vector<PatchEntry> patch;
  for (const int j : {0, 510, 511, 512, 513, 1023, 1024, 1299})
    patch.push_back({"f" + std::to_string(j), StreamBytes('P', 2 + j % 7), j});
  // Three new entries need 912 bytes after the index: the streams of 912 entries move.
  for (int k = 0; k < 3; ++k) patch.push_back({"new" + std::to_string(k), StreamBytes('N', 3 + k), k});
  PutArchive(before);
  PutPatch(fixtures::MakePatch(patch));

  const patchmaker::InstallResult r = Install();
  ASSERT_EQ(r.outcome, InstallOutcome::kInstalled) << Describe(ui_.messages());
  EXPECT_EQ(r.found, 8);
  std::multimap<GbkText, Bytes> allowed;
  const fixtures::ParsedArchive original = fixtures::ParseArchive(before);
  for (const ArchiveIndexEntry& e : original.entries) allowed.emplace(e.name, fixtures::StreamOf(original, e));
  for (const PatchEntry& p : patch) allowed.erase(p.name);
  for (const PatchEntry& p : patch) allowed.emplace(p.name, p.stream);
  const Bytes after = Archive();
  EXPECT_TRUE(fixtures::ArchiveIsSound(after, before, allowed));
  const fixtures::ParsedArchive parsed = fixtures::ParseArchive(after);
  ASSERT_EQ(parsed.count, 1303);
  std::set<GbkText> patched;
  for (const PatchEntry& p : patch) patched.insert(p.name);
  int moved = 0;
  for (std::size_t j = 0; j < original.entries.size(); ++j) {
    const ArchiveIndexEntry& e = parsed.entries[j];
    EXPECT_EQ(ToHex(e.name), ToHex(original.entries[j].name)) << j;
    EXPECT_EQ(ToHex(e.reserved), ToHex(original.entries[j].reserved)) << j;
    if (patched.count(e.name) == 0 && e.data_offset != original.entries[j].data_offset) ++moved;
  }
  EXPECT_EQ(moved, 912 - 5) << "of the first 912, f0 and f510 to f513 are re-pointed instead";
  for (int k = 0; k < 3; ++k) EXPECT_EQ(parsed.entries[1300 + k].name, "new" + std::to_string(k));

  // A short read of the last piece refuses before anything is written or shown.
  ui_.Clear();
  PutArchive(before);
  const int last_piece = 4 + 1 + 3;  // the patch's four reads, the count, three pieces
  host::FaultyFiles faulty(host::PlatformFiles());
  faulty.ShortRead(last_piece);
  EXPECT_EQ(patchmaker::ApplyPatchToArchive(ui_, faulty, Request()).outcome, InstallOutcome::kArchiveDamaged);
  EXPECT_EQ(ui_.messages(), std::vector<Message>{kArchiveDamaged});
  EXPECT_TRUE(ui_.progress().empty());
  EXPECT_EQ(faulty.reads(), last_piece);
  EXPECT_EQ(faulty.writes(), 0);
  EXPECT_EQ(Archive(), before);
}

TEST_F(InstallTest, InstallsOnSeveralThreadsAtOnce) {
  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<fixtures::TempDir>> dirs;
  std::vector<host::ScriptedFramework> uis(kThreads);
  std::vector<patchmaker::InstallResult> results(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    dirs.push_back(std::make_unique<fixtures::TempDir>());
    fixtures::WriteFile(patchmaker::ArchivePath(dirs[t]->path()), fixtures::BuildArchive(Abc()));
    fixtures::WriteFile(dirs[t]->File("p.patch2"), fixtures::MakePatch({{"b", StreamBytes('B', 50), 50}, {"z", "zz", 2}}));
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      patchmaker::InstallRequest request = Request();
      request.patch_path = dirs[t]->File("p.patch2");
      request.install_directory = dirs[t]->path();
      results[t] = patchmaker::ApplyPatchToArchive(uis[t], host::PlatformFiles(), request);
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(results[t].outcome, InstallOutcome::kInstalled) << t;
    EXPECT_EQ(fixtures::ParseArchive(fixtures::ReadFile(patchmaker::ArchivePath(dirs[t]->path()))).count, 4) << t;
  }
}

// ---- The install against a model of its own --------------------------------

void PutLe32(Bytes* b, std::size_t at, std::int64_t value) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
}

// The install as the archive's rules describe it, written here apart from the
// code: A is the length before; new entries go right after the index, so
// every stream lying in that room (and no matched entry's) moves, each shared
// stream once, behind the data block, in index order; the data block lands at
// A, or right after the room when the room reaches past A; matched entries
// take the block's place plus their line's offset; the count rises last.
Bytes ModelInstall(const Bytes& before, const std::vector<PatchEntry>& patch, bool add_missing = true) {
  const fixtures::ParsedArchive archive = fixtures::ParseArchive(before);
  const std::size_t entries = archive.entries.size();
  std::vector<std::int64_t> offsets;
  Bytes block;
  for (const PatchEntry& p : patch) {
    offsets.push_back(static_cast<std::int64_t>(block.size()));
    block += p.stream;
  }
  const auto first_line = [&](const GbkText& name) {
    for (std::size_t k = 0; k < patch.size(); ++k)
      if (patch[k].name == name) return static_cast<int>(k);
    return -1;
  };
  std::vector<int> takes(entries, -1);
  std::vector<GbkText> pending;
  for (const PatchEntry& p : patch) pending.push_back(p.name);
  std::size_t found = 0;
  for (std::size_t j = 0; j < entries && found < patch.size(); ++j) {
    takes[j] = first_line(archive.entries[j].name);
    if (takes[j] < 0) continue;
    ++found;
    const auto in_pending = std::find(pending.begin(), pending.end(), archive.entries[j].name);
    if (in_pending != pending.end()) pending.erase(in_pending);
  }
  if (!add_missing || found == patch.size()) pending.clear();

  const std::int64_t a = static_cast<std::int64_t>(before.size());
  const std::int64_t room_begin = 54 + 304 * static_cast<std::int64_t>(entries);
  const std::int64_t room_end = room_begin + 304 * static_cast<std::int64_t>(pending.size());
  const std::int64_t block_at = pending.empty() ? a : std::max(a, room_end);
  Bytes out = before + Bytes(static_cast<std::size_t>(block_at - a), '\0') + block;
  std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> moved_to;
  std::vector<std::int64_t> new_offset(entries, -1);
  for (std::size_t j = 0; j < entries; ++j) {
    const ArchiveIndexEntry& e = archive.entries[j];
    if (pending.empty() || takes[j] >= 0 || e.compressed_size <= 0 || e.data_offset >= room_end ||
        std::int64_t{e.data_offset} + e.compressed_size <= room_begin)
      continue;
    const auto key = std::make_pair(e.data_offset, e.compressed_size);
    if (moved_to.count(key) == 0) {
      moved_to[key] = static_cast<std::int64_t>(out.size());
      out += before.substr(static_cast<std::size_t>(e.data_offset), static_cast<std::size_t>(e.compressed_size));
    }
    new_offset[j] = moved_to[key];
  }
  for (std::size_t j = 0; j < entries; ++j) {
    const std::size_t fields = 54 + 304 * j + 260;
    if (takes[j] >= 0) {
      const PatchEntry& p = patch[static_cast<std::size_t>(takes[j])];
      PutLe32(&out, fields, block_at + offsets[static_cast<std::size_t>(takes[j])]);
      PutLe32(&out, fields + 4, static_cast<std::int64_t>(p.stream.size()));
      PutLe32(&out, fields + 8, p.uncompressed_size);
    } else if (new_offset[j] >= 0) {
      PutLe32(&out, fields, new_offset[j]);
    }
  }
  for (std::size_t i = 0; i < pending.size(); ++i) {
    const auto k = static_cast<std::size_t>(first_line(pending[i]));
    Bytes entry = pending[i];
    entry.resize(304, '\0');
    PutLe32(&entry, 260, block_at + offsets[k]);
    PutLe32(&entry, 264, static_cast<std::int64_t>(patch[k].stream.size()));
    PutLe32(&entry, 268, patch[k].uncompressed_size);
    out.replace(static_cast<std::size_t>(room_begin) + 304 * i, 304, entry);
  }
  if (!pending.empty()) PutLe32(&out, 50, static_cast<std::int64_t>(entries + pending.size()));
  return out;
}

struct ModelCase {
  const char* what;
  std::vector<StoredFile> files;
  std::size_t free_bytes;
  std::vector<PatchEntry> patch;
};

std::vector<ModelCase> ModelCases() {
  std::vector<StoredFile> many;
  for (int j = 0; j < 200; ++j)
    many.push_back({"f" + std::to_string(j), StreamBytes(static_cast<char>('a' + j % 26), 3 + j % 5), 9});
  std::vector<PatchEntry> scattered;
  for (const int j : {0, 3, 4, 17, 60, 61, 150, 199})
    scattered.push_back({"f" + std::to_string(j), StreamBytes('P', 2 + j % 7), j});
  std::vector<PatchEntry> scattered_and_new = scattered;
  scattered_and_new.push_back({"new1", StreamBytes('N', 5), 5});
  scattered_and_new.push_back({"new2", StreamBytes('M', 6), 6});
  return {
      {"re-point only", Abc(), 0, {{"b", StreamBytes('B', 5), 9}, {"c", StreamBytes('C', 7), 12}}},
      {"add into free bytes", Abc(), 400, {{"c", StreamBytes('C', 7), 12}, {"x", StreamBytes('X', 3), 4}}},
      {"add over packed data: streams move", Abc(), 0,
       {{"b", StreamBytes('B', 5), 5}, {"x", StreamBytes('X', 3), 3}, {"y", StreamBytes('Y', 2), 2}}},
      {"the room reaches past the end", {{"a", "", 0}, {"b", StreamBytes('b', 4), 4}}, 0,
       {{"x", StreamBytes('X', 9), 9}, {"y", StreamBytes('Y', 1), 1}, {"z", StreamBytes('Z', 2), 2}}},
      {"scattered entries in a longer index", many, 0, scattered},
      {"scattered entries, and names added over packed data", many, 0, scattered_and_new},
  };
}

TEST_F(InstallTest, TheArchiveIsExactlyWhatTheModelSays) {
  for (const ModelCase& c : ModelCases()) {
    const Bytes before = fixtures::BuildArchive(c.files, c.free_bytes);
    PutArchive(before);
    PutPatch(fixtures::MakePatch(c.patch));
    const patchmaker::InstallResult r = Install();
    ASSERT_EQ(r.outcome, InstallOutcome::kInstalled) << c.what << Describe(ui_.messages());
    const Bytes after = Archive();
    const Bytes model = ModelInstall(before, c.patch);
    ASSERT_EQ(after.size(), model.size()) << c.what;
    EXPECT_EQ(ToHex(after), ToHex(model)) << c.what;
    ui_.Clear();
  }
}

// ---- The plan, checked without a file --------------------------------------------

patchmaker::PatchFile PatchOf(const std::vector<PatchEntry>& entries) {
  patchmaker::PatchFile patch;
  for (const PatchEntry& e : entries) {
    patch.lines.push_back({e.name, static_cast<std::int32_t>(patch.data_block.size()),
                           static_cast<std::int32_t>(e.stream.size()), e.uncompressed_size});
    patch.data_block += e.stream;
  }
  patch.entry_count = static_cast<std::int32_t>(entries.size());
  patch.data_length = static_cast<std::int32_t>(patch.data_block.size());
  return patch;
}

// The plan's writes made on a copy of the archive in memory.
Bytes Carry(const Bytes& before, const patchmaker::PatchFile& patch, const patchmaker::InstallPlan& plan) {
  Bytes moved;
  for (const patchmaker::MovedStream& m : plan.moved)
    moved += before.substr(static_cast<std::size_t>(m.from), static_cast<std::size_t>(m.size));
  Bytes out = before;
  using Kind = patchmaker::InstallWrite::Kind;
  for (const patchmaker::InstallWrite& w : plan.writes) {
    Bytes bytes;
    switch (w.kind) {
      case Kind::kFlush: continue;
      case Kind::kZeros: bytes.assign(static_cast<std::size_t>(w.size), '\0'); break;
      case Kind::kDataBlock: bytes = patch.data_block; break;
      case Kind::kMovedStreams: bytes = moved; break;
      default: bytes = w.bytes; break;
    }
    EXPECT_EQ(bytes.size(), w.size);
    if (out.size() < w.at + bytes.size()) out.resize(static_cast<std::size_t>(w.at) + bytes.size(), '\0');
    out.replace(static_cast<std::size_t>(w.at), bytes.size(), bytes);
  }
  return out;
}

std::string KindsOf(const patchmaker::InstallPlan& plan) {
  std::string out;
  for (const patchmaker::InstallWrite& w : plan.writes) {
    static const char* const kNames[] = {"zeros", "block", "moved", "span", "new", "count", "flush"};
    out += std::string(out.empty() ? "" : " ") + kNames[static_cast<int>(w.kind)];
  }
  return out;
}

TEST(InstallPlan, ItsWritesInOrderGiveTheModelsArchive) {
  struct Case {
    const char* what;
    std::size_t model_case;
    const char* kinds;
  } cases[] = {
      {"re-point only: the block, then the entries", 0, "block flush span"},
      {"add into free bytes: the count after the entries are on the disk", 1, "block flush span flush new flush count"},
      {"moved streams follow the block; entries point away before new ones overwrite", 5,
       "block moved flush span span span flush new flush count"},
      {"the room reaches past the end: zeros up to it", 2, "zeros block moved flush span flush new flush count"},
  };
  const std::vector<ModelCase> models = ModelCases();
  for (const Case& c : cases) {
    const ModelCase& m = models[c.model_case];
    const Bytes before = fixtures::BuildArchive(m.files, m.free_bytes);
    const patchmaker::PatchFile patch = PatchOf(m.patch);
    patchmaker::InstallPlan plan;
    ASSERT_EQ(patchmaker::PlanInstall(patch, true, before, &plan), patchmaker::PlanStatus::kOk) << c.what;
    EXPECT_EQ(KindsOf(plan), c.kinds) << c.what;
    EXPECT_EQ(ToHex(Carry(before, patch, plan)), ToHex(ModelInstall(before, m.patch))) << c.what;
  }
}

TEST(InstallPlan, NeighboursLessThanAPageApartShareOneWrite) {
  // 100 entries of 304 bytes; a page holds 13 of them.
  std::vector<StoredFile> files;
  for (int j = 0; j < 100; ++j) files.push_back({"f" + std::to_string(j), StreamBytes('s', 4), 4});
  const Bytes before = fixtures::BuildArchive(files);
  struct Case {
    std::vector<int> entries;
    std::vector<std::pair<int, int>> spans;  // first and last entry of each write
  } cases[] = {
      {{7}, {{7, 7}}},
      {{7, 8, 9}, {{7, 9}}},
      {{0, 13, 26, 39}, {{0, 39}}},  // 13 entries apart: the next fields lie 3940 bytes on
      {{0, 14}, {{0, 0}, {14, 14}}},  // 14 apart: 4244 bytes
      {{5, 10, 40, 41, 99}, {{5, 10}, {40, 41}, {99, 99}}},
  };
  for (const Case& c : cases) {
    std::vector<PatchEntry> patch;
    for (const int j : c.entries) patch.push_back({"f" + std::to_string(j), StreamBytes('N', 3 + j % 4), j});
    const patchmaker::PatchFile file = PatchOf(patch);
    patchmaker::InstallPlan plan;
    ASSERT_EQ(patchmaker::PlanInstall(file, true, before, &plan), patchmaker::PlanStatus::kOk);
    const Bytes model = ModelInstall(before, patch);
    std::vector<std::pair<int, int>> spans;
    for (const patchmaker::InstallWrite& w : plan.writes) {
      if (w.kind != patchmaker::InstallWrite::Kind::kIndexSpan) continue;
      const auto first = static_cast<int>((w.at - 54) / 304), last = static_cast<int>((w.at + w.size - 54 - 1) / 304);
      EXPECT_EQ((w.at - 54) % 304, 260u) << "from the first entry's data offset";
      EXPECT_EQ((w.at + w.size - 54) % 304, 272u) << "to the last entry's sizes";
      spans.emplace_back(first, last);
      EXPECT_EQ(ToHex(w.bytes), ToHex(model.substr(static_cast<std::size_t>(w.at), static_cast<std::size_t>(w.size))))
          << "the span as it will stand, the bytes between unchanged";
    }
    EXPECT_EQ(spans, c.spans) << "entries " << testing::PrintToString(c.entries);
  }
}

// ---- Turns on one archive ---------------------------------------------------------

TEST_F(InstallTest, AnArchiveAnotherInstallHoldsIsRefusedOrWaitedFor) {
  const Bytes before = fixtures::BuildArchive(Abc());
  PutArchive(before);
  const std::vector<PatchEntry> ours = {{"b", StreamBytes('B', 5), 9}, {"x", StreamBytes('X', 3), 4}};
  PutPatch(fixtures::MakePatch(ours));
  const GbkText archive = patchmaker::ArchivePath(dir_.path());
  host::ScriptedArchiveLocks locks;
  patchmaker::InstallRequest request = Request();
  request.locks = &locks;

  // Refused: nothing read, nothing written, no progress.
  locks.HoldElsewhere(archive);
  host::FaultyFiles counting(host::PlatformFiles());
  const patchmaker::InstallResult refused = patchmaker::ApplyPatchToArchive(ui_, counting, request);
  EXPECT_EQ(refused.outcome, InstallOutcome::kBusy);
  EXPECT_EQ(ui_.messages(), std::vector<Message>{Message({"提示", "正在安装补丁，请等待安装完成"})});
  EXPECT_EQ(counting.reads() + counting.writes(), 0);
  EXPECT_TRUE(ui_.progress().empty());
  EXPECT_EQ(Archive(), before);
  ui_.Clear();

  // Waited for: the other process's install ends first, then ours follows it.
  const std::vector<PatchEntry> theirs = {{"c", StreamBytes('T', 4), 4}, {"x", StreamBytes('Y', 2), 2}};
  const GbkText their_patch = dir_.File("theirs.patch2");
  fixtures::WriteFile(their_patch, fixtures::MakePatch(theirs));
  locks.WhenWaiting([&](const GbkText& path) {
    EXPECT_EQ(path, archive);
    host::ScriptedFramework their_ui;
    patchmaker::InstallRequest other = Request();
    other.patch_path = their_patch;
    EXPECT_EQ(patchmaker::ApplyPatchToArchive(their_ui, host::PlatformFiles(), other).outcome, InstallOutcome::kInstalled);
    locks.ReleaseElsewhere(path);
  });
  request.wait_for_turn = true;
  EXPECT_EQ(patchmaker::ApplyPatchToArchive(ui_, host::PlatformFiles(), request).outcome, InstallOutcome::kInstalled);
  EXPECT_EQ(locks.waits(), 1);
  EXPECT_TRUE(ui_.messages().empty());
  EXPECT_EQ(ToHex(Archive()), ToHex(ModelInstall(ModelInstall(before, theirs), ours)));
}

// The machine's own turns: one holder at a time, whoever asks, and free again
// once given back.
TEST_F(InstallTest, ThePlatformsTurnsKeepInstallsApart) {
  const Bytes before = fixtures::BuildArchive(Abc());
  PutArchive(before);
  const std::vector<PatchEntry> patch = {{"a", StreamBytes('A', 5), 5}, {"n", StreamBytes('N', 3), 3}};
  PutPatch(fixtures::MakePatch(patch));
  const GbkText archive = patchmaker::ArchivePath(dir_.path());
  host::ArchiveLocks& locks = host::PlatformArchiveLocks();
  patchmaker::InstallRequest request = Request();
  request.locks = &locks;

  // Another holder on a thread of its own, as a second process would be.
  std::mutex m;
  std::condition_variable changed;
  bool holding = false, release = false;
  std::thread holder([&] {
    std::unique_ptr<host::ArchiveTurn> turn = locks.TryTake(archive);
    std::unique_lock<std::mutex> hold(m);
    holding = turn != nullptr;
    changed.notify_all();
    changed.wait(hold, [&] { return release; });
  });
  {
    std::unique_lock<std::mutex> hold(m);
    changed.wait(hold, [&] { return holding; });
  }
  EXPECT_EQ(locks.TryTake(archive), nullptr);
#ifdef _WIN32
  // The same file however it is spelt, as Windows compares paths.
  GbkText other_spelling;
  for (const char c : dir_.path()) other_spelling += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  EXPECT_EQ(locks.TryTake(other_spelling + "\\.\\\\data.VNT"), nullptr) << other_spelling;
#endif
  EXPECT_EQ(patchmaker::ApplyPatchToArchive(ui_, host::PlatformFiles(), request).outcome, InstallOutcome::kBusy);
  EXPECT_EQ(Archive(), before);

  // A waiting install goes on once the holder lets go.
  std::thread waiting([&] {
    patchmaker::InstallRequest waits = request;
    waits.wait_for_turn = true;
    host::ScriptedFramework ui;
    EXPECT_EQ(patchmaker::ApplyPatchToArchive(ui, host::PlatformFiles(), waits).outcome, InstallOutcome::kInstalled);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Archive(), before) << "still waiting";
  {
    std::lock_guard<std::mutex> hold(m);
    release = true;
  }
  changed.notify_all();
  holder.join();
  waiting.join();
  EXPECT_EQ(ToHex(Archive()), ToHex(ModelInstall(before, patch)));
  EXPECT_NE(locks.TryTake(archive), nullptr) << "given back";
}

}  // namespace

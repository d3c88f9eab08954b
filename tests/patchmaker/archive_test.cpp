// Installing a patch into Data.vnt: the archive's own examples, then each
// damage that an installation must refuse or survive.
#include "patchmaker/archive.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>

#include "host/platform.h"
#include "host/scripted/faulty_files.h"
#include "host/scripted/scripted_framework.h"
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

}  // namespace

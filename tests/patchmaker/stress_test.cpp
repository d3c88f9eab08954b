// The archive under load and faults: a long run of random installs checked by a
// reader of its own, and a large install stopped or failed at every write.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/platform.h"
#include "host/scripted/faulty_files.h"
#include "host/scripted/scripted_framework.h"
#include "patchmaker/archive.h"
#include "patchmaker/patch_file.h"
#include "tests/patchmaker/fixtures.h"
#include "tests/support/hex.h"

namespace {

using fixtures::StoredFile;
using patchmaker::Bytes;
using patchmaker::GbkText;
using patchmaker::InstallOutcome;
using patchmaker::PatchEntry;
using patchmaker::PatchVersion;
using testing_support::ToHex;
using Message = host::ScriptedFramework::Message;

Bytes Deflate(const Bytes& content) {
  uLongf size = compressBound(static_cast<uLong>(content.size()));
  Bytes out(size, '\0');
  const int rc = compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(content.data()),
                           static_cast<uLong>(content.size()), Z_DEFAULT_COMPRESSION);
  EXPECT_EQ(rc, Z_OK);
  out.resize(size);
  return out;
}

// Inflates with zlib alone, so the check does not lean on the code under test.
bool Inflate(const Bytes& stream, std::size_t length, Bytes* out) {
  // One spare byte shows a stream longer than its recorded size.
  Bytes buffer(length + 1, '\0');
  uLongf size = static_cast<uLongf>(buffer.size());
  const int rc = uncompress(reinterpret_cast<Bytef*>(&buffer[0]), &size, reinterpret_cast<const Bytef*>(stream.data()),
                            static_cast<uLong>(stream.size()));
  if (rc != Z_OK || size != length) return false;
  *out = buffer.substr(0, length);
  return true;
}

// Content a file may hold: a short repeating word with some noise, so that it
// compresses a little and no two are likely to be equal.
Bytes RandomContent(std::mt19937& rng, std::size_t size) {
  Bytes s(size, '\0');
  const unsigned base = rng();
  for (std::size_t i = 0; i < size; ++i)
    s[i] = static_cast<char>((i % 5 == 0) ? rng() : base + (i % 11));
  return s;
}

struct ReadEntry {
  GbkText name;
  Bytes content;
};

std::int32_t LittleInt32(const Bytes& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return static_cast<std::int32_t>(v);
}

// The independent reader: the count at 50, 304-byte entries from 54, every
// stream inside the file and inflating to its recorded size (an empty stream
// is an empty file).
testing::AssertionResult ReadArchive(const Bytes& bytes, std::vector<ReadEntry>* out) {
  out->clear();
  if (bytes.size() < 54) return testing::AssertionFailure() << "shorter than its count";
  const std::int32_t count = LittleInt32(bytes, 50);
  if (count < 0 || 54 + 304 * static_cast<std::uint64_t>(count) > bytes.size())
    return testing::AssertionFailure() << "count " << count << " does not fit " << bytes.size() << " bytes";
  for (std::int32_t j = 0; j < count; ++j) {
    const std::size_t at = 54 + 304 * static_cast<std::size_t>(j);
    ReadEntry e;
    std::size_t name_length = 0;
    while (name_length < 260 && bytes[at + name_length] != '\0') ++name_length;
    e.name = bytes.substr(at, name_length);
    const std::int32_t offset = LittleInt32(bytes, at + 260);
    const std::int32_t size = LittleInt32(bytes, at + 264);
    const std::int32_t inflated = LittleInt32(bytes, at + 268);
    if (offset < 0 || size < 0 || inflated < 0 ||
        static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(size) > bytes.size())
      return testing::AssertionFailure() << "entry " << j + 1 << " (" << ToHex(e.name) << ") at " << offset << " size "
                                         << size << " lies outside " << bytes.size() << " bytes";
    if (size == 0) {
      if (inflated != 0) return testing::AssertionFailure() << "entry " << j + 1 << ": empty stream of " << inflated;
    } else if (!Inflate(bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size)),
                        static_cast<std::size_t>(inflated), &e.content)) {
      return testing::AssertionFailure() << "entry " << j + 1 << " (" << ToHex(e.name) << ") does not inflate to "
                                         << inflated << " bytes";
    }
    out->push_back(e);
  }
  return testing::AssertionSuccess();
}

class StressTest : public testing::Test {
 protected:
  void SetUp() override { fixtures::BindLibrary(); }
  fixtures::TempDir dir_;
  host::ScriptedFramework ui_;
};

// Names a patch carries once, and names a patch always carries twice. A name
// the archive holds twice counts twice toward the scan's stop at n, which can
// stop before a later name of the patch is reached and add nothing; by always
// carrying those names twice, every install here is one that must lose nothing.
GbkText SingleName(int i) {
  static const char* const kDirs[] = {"data\\", "图\\", "sound\\東\\", "ui\\"};
  return GbkText(kDirs[i % 4]) + "f" + std::to_string(i) + ".bin";
}
GbkText TwiceName(int i) { return "twice\\誠" + std::to_string(i) + ".dat"; }

TEST_F(StressTest, ThousandRandomInstallsLoseNothing) {
  constexpr int kInstalls = 1000;
  constexpr int kSinglePool = 600;
  constexpr int kTwicePool = 12;
  constexpr int kInitial = 60;
  std::mt19937 rng(20261210);
  const auto pick = [&rng](int below) { return static_cast<int>(rng() % static_cast<unsigned>(below)); };

  // Name -> the content of the last install that carried it (its first line there).
  std::map<GbkText, Bytes> latest;
  std::map<GbkText, int> copies;  // entries each name should have
  std::vector<StoredFile> initial;
  for (int i = 0; i < kInitial; ++i) {
    const Bytes content = RandomContent(rng, 1 + static_cast<std::size_t>(pick(120)));
    initial.push_back({SingleName(i), Deflate(content), static_cast<std::int32_t>(content.size())});
    latest[SingleName(i)] = content;
    copies[SingleName(i)] = 1;
  }
  // No free bytes: the first stream follows the index, so adding moves streams.
  const Bytes original = fixtures::BuildArchive(initial);
  const GbkText archive_path = patchmaker::ArchivePath(dir_.path());
  fixtures::WriteFile(archive_path, original);

  int replaced = 0, added = 0, old_format = 0, empty_streams = 0, twice = 0;
  for (int install = 1; install <= kInstalls; ++install) {
    // The lines: distinct single names, and now and then a name carried twice.
    std::vector<GbkText> names;
    std::set<int> used;
    const int singles = pick(100) < 3 ? 0 : 1 + pick(9);
    while (static_cast<int>(names.size()) < singles) {
      const int i = pick(kSinglePool);
      if (used.insert(i).second) names.push_back(SingleName(i));
    }
    if (pick(100) < 15) {
      const GbkText name = TwiceName(pick(kTwicePool));
      names.insert(names.begin() + pick(static_cast<int>(names.size()) + 1), name);
      names.insert(names.begin() + pick(static_cast<int>(names.size()) + 1), name);
      ++twice;
    }
    std::vector<PatchEntry> entries;
    std::vector<Bytes> contents;
    for (const GbkText& name : names) {
      const int kind = pick(100);
      Bytes content;
      Bytes stream;
      if (kind < 6) {
        ++empty_streams;  // no stream at all: an empty file
      } else {
        // A few streams of nothing, the rest small.
        content = kind < 9 ? Bytes() : RandomContent(rng, static_cast<std::size_t>(kind < 20 ? 1 + pick(8) : pick(160)));
        stream = Deflate(content);
      }
      entries.push_back({name, stream, static_cast<std::int32_t>(content.size())});
      contents.push_back(content);
    }

    const PatchVersion version = pick(100) < 20 ? PatchVersion::kV01 : PatchVersion::kV02;
    const GbkText patch_path = dir_.File("random.patch");
    if (version == PatchVersion::kV02) {
      fixtures::WriteFile(patch_path, fixtures::MakePatch(entries));
    } else {
      ++old_format;
      std::vector<patchmaker::PatchIndexLine> lines;
      Bytes block;
      for (const PatchEntry& e : entries) {
        lines.push_back({e.name, static_cast<std::int32_t>(block.size()), static_cast<std::int32_t>(e.stream.size()),
                         e.uncompressed_size});
        block += e.stream;
      }
      fixtures::WriteFile(patch_path,
                          fixtures::MakeRawPatch(PatchVersion::kV01, static_cast<std::int32_t>(entries.size()), block,
                                                 patchmaker::BuildIndexText(lines),
                                                 static_cast<std::int32_t>(block.size())));
    }

    // The model: the first line of a name wins; a missing name comes in as
    // often as the patch carries it.
    int expect_found = 0;
    std::set<GbkText> seen;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (!seen.insert(names[i]).second) continue;
      const bool present = copies.count(names[i]) != 0;
      if (present) {
        expect_found += copies[names[i]];
        ++replaced;
      } else {
        const int carried = static_cast<int>(std::count(names.begin(), names.end(), names[i]));
        copies[names[i]] = carried;
        added += carried;
      }
      latest[names[i]] = contents[i];
    }

    patchmaker::InstallRequest request;
    request.patch_path = patch_path;
    request.install_directory = dir_.path();
    request.version = version;
    request.add_missing_names = true;
    request.progress_bars = {"进度条2"};
    request.key_stream = patchmaker::DefaultPatchKeyStream();
    const patchmaker::InstallResult r = patchmaker::ApplyPatchToArchive(ui_, host::PlatformFiles(), request);
    ASSERT_EQ(r.outcome, InstallOutcome::kInstalled) << "install " << install;
    ASSERT_TRUE(ui_.messages().empty()) << "install " << install << ": " << ToHex(ui_.messages()[0].text);
    EXPECT_EQ(r.found, expect_found) << "install " << install;
    EXPECT_EQ(r.entry_count, static_cast<int>(names.size())) << "install " << install;
    ui_.Clear();

    const Bytes bytes = fixtures::ReadFile(archive_path);
    ASSERT_EQ(bytes.compare(0, 50, original, 0, 50), 0) << "install " << install << " changed the header";
    std::vector<ReadEntry> read;
    ASSERT_TRUE(ReadArchive(bytes, &read)) << "after install " << install;
    std::map<GbkText, int> found_copies;
    for (std::size_t j = 0; j < read.size(); ++j) {
      const auto model = latest.find(read[j].name);
      ASSERT_NE(model, latest.end()) << "install " << install << ", entry " << j + 1 << ": unknown name "
                                     << ToHex(read[j].name);
      ASSERT_EQ(ToHex(read[j].content), ToHex(model->second))
          << "install " << install << ", entry " << j + 1 << " (" << ToHex(read[j].name) << ") is not its latest content";
      ++found_copies[read[j].name];
    }
    // Nothing lost, nothing extra: every name ever installed, as often as it came in.
    ASSERT_EQ(found_copies, copies) << "install " << install;
  }
  // The run covered what it is meant to.
  EXPECT_GT(added, 300);
  EXPECT_GT(replaced, 2000);
  EXPECT_GT(old_format, 100);
  EXPECT_GT(empty_streams, 100);
  EXPECT_GT(twice, 100);
  std::printf("%d installs: %d names replaced, %d entries added, %d old-format patches, %d empty streams, "
              "%d patches with a name twice; archive %zu bytes, %zu names\n",
              kInstalls, replaced, added, old_format, empty_streams, twice, fixtures::ReadFile(archive_path).size(),
              copies.size());
}

// A larger install stopped after, or failing at, each of its writes.
class LargeInstallFaultTest : public testing::Test {
 protected:
  void SetUp() override {
    fixtures::BindLibrary();
    std::mt19937 rng(7);
    std::vector<StoredFile> files;
    for (int i = 0; i < 300; ++i) {
      const Bytes content = RandomContent(rng, 10 + rng() % 90);
      files.push_back({"old\\" + std::to_string(i) + ".bin", Deflate(content), static_cast<std::int32_t>(content.size())});
    }
    // Half the patch re-points scattered old names, half adds new ones, mixed.
    std::set<int> chosen;
    while (chosen.size() < 25) chosen.insert(static_cast<int>(rng() % 300));
    int fresh = 0;
    for (const int i : chosen) {
      const Bytes a = RandomContent(rng, 5 + rng() % 60);
      patch_.push_back({files[static_cast<std::size_t>(i)].name, Deflate(a), static_cast<std::int32_t>(a.size())});
      const Bytes b = RandomContent(rng, 5 + rng() % 60);
      patch_.push_back({"new\\" + std::to_string(fresh++) + ".bin", Deflate(b), static_cast<std::int32_t>(b.size())});
    }
    // The first stream follows the index directly: 25 new entries must move streams.
    before_ = fixtures::BuildArchive(files);
    const fixtures::ParsedArchive original = fixtures::ParseArchive(before_);
    for (const patchmaker::ArchiveIndexEntry& e : original.entries)
      allowed_.emplace(e.name, fixtures::StreamOf(original, e));
    for (const PatchEntry& p : patch_) allowed_.emplace(p.name, p.stream);
    patch_bytes_ = fixtures::MakePatch(patch_);
  }

  void Prepare() {
    fixtures::WriteFile(patchmaker::ArchivePath(dir_.path()), before_);
    fixtures::WriteFile(dir_.File("large.patch2"), patch_bytes_);
    ui_.Clear();
  }

  patchmaker::InstallResult Install(host::Files& files) {
    patchmaker::InstallRequest r;
    r.patch_path = dir_.File("large.patch2");
    r.install_directory = dir_.path();
    r.progress_bars = {"进度条2"};
    r.key_stream = patchmaker::DefaultPatchKeyStream();
    return patchmaker::ApplyPatchToArchive(ui_, files, r);
  }

  Bytes Archive() const { return fixtures::ReadFile(patchmaker::ArchivePath(dir_.path())); }

  fixtures::TempDir dir_;
  host::ScriptedFramework ui_;
  std::vector<PatchEntry> patch_;
  Bytes patch_bytes_;
  Bytes before_;
  std::multimap<GbkText, Bytes> allowed_;
};

TEST_F(LargeInstallFaultTest, EveryWritePointLeavesASoundArchive) {
  const Message write_failed{"c错误", "写入Data.vnt失败"};
  Prepare();
  host::FaultyFiles counting(host::PlatformFiles());
  ASSERT_EQ(Install(counting).outcome, InstallOutcome::kInstalled);
  const int writes = counting.writes();
  const int flushes = counting.flushes();
  // Appended data and moved streams, spans of re-pointed and moved entries
  // (neighbours less than a page apart share one), new entries, the count.
  ASSERT_GE(writes, 6);

  // The clean run: the new entries are there and every entry is a real stream.
  {
    const Bytes after = Archive();
    const fixtures::ParsedArchive parsed = fixtures::ParseArchive(after);
    ASSERT_EQ(parsed.count, 325);
    std::vector<ReadEntry> read;
    ASSERT_TRUE(ReadArchive(after, &read));
    std::map<GbkText, Bytes> now;
    for (const patchmaker::ArchiveIndexEntry& e : parsed.entries) now[e.name] = fixtures::StreamOf(parsed, e);
    for (const PatchEntry& p : patch_) EXPECT_EQ(now[p.name], p.stream) << p.name;
    // Streams that lay where the new entries went were moved, not overwritten.
    const fixtures::ParsedArchive original = fixtures::ParseArchive(before_);
    int moved = 0;
    for (std::size_t j = 0; j < original.entries.size(); ++j)
      if (parsed.entries[j].data_offset != original.entries[j].data_offset &&
          fixtures::StreamOf(parsed, parsed.entries[j]) == fixtures::StreamOf(original, original.entries[j]))
        ++moved;
    EXPECT_GT(moved, 50);
  }

  for (int k = 1; k <= writes; ++k) {
    Prepare();
    host::FaultyFiles files(host::PlatformFiles());
    files.CrashAfterWrite(k);
    EXPECT_THROW(Install(files), host::SimulatedCrash) << "write " << k;
    const Bytes after = Archive();
    EXPECT_TRUE(fixtures::ArchiveIsSound(after, before_, allowed_)) << "stopped after write " << k;
    std::vector<ReadEntry> read;
    EXPECT_TRUE(ReadArchive(after, &read)) << "stopped after write " << k;
    EXPECT_TRUE(ui_.messages().empty()) << "write " << k;
  }
  for (int k = 1; k <= writes; ++k) {
    Prepare();
    host::FaultyFiles files(host::PlatformFiles());
    files.FailWrite(k);
    EXPECT_EQ(Install(files).outcome, InstallOutcome::kWriteFailed) << "write " << k;
    EXPECT_EQ(ui_.messages(), std::vector<Message>{write_failed}) << "write " << k;
    const Bytes after = Archive();
    EXPECT_TRUE(fixtures::ArchiveIsSound(after, before_, allowed_)) << "failed write " << k;
    std::vector<ReadEntry> read;
    EXPECT_TRUE(ReadArchive(after, &read)) << "failed write " << k;
  }
  for (int k = 1; k <= flushes; ++k) {
    Prepare();
    host::FaultyFiles files(host::PlatformFiles());
    files.FailFlush(k);
    EXPECT_EQ(Install(files).outcome, InstallOutcome::kWriteFailed) << "flush " << k;
    EXPECT_EQ(ui_.messages(), std::vector<Message>{write_failed}) << "flush " << k;
    EXPECT_TRUE(fixtures::ArchiveIsSound(Archive(), before_, allowed_)) << "failed flush " << k;
  }
  std::printf("large install: %d writes, %d flushes, each stopped and failed\n", writes, flushes);
}

}  // namespace

// Installs whose writes fail, or whose process dies, after every possible
// write: the archive must stay sound each time.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "host/platform.h"
#include "host/scripted/faulty_files.h"
#include "host/scripted/scripted_framework.h"
#include "patchmaker/archive.h"
#include "tests/patchmaker/fixtures.h"
#include "tests/support/hex.h"

namespace {

using fixtures::StoredFile;
using fixtures::StreamBytes;
using patchmaker::Bytes;
using patchmaker::GbkText;
using patchmaker::InstallOutcome;
using patchmaker::PatchEntry;
using Message = host::ScriptedFramework::Message;

struct Scenario {
  const char* what;
  std::vector<StoredFile> files;
  std::size_t free_bytes;
  std::vector<PatchEntry> patch;
};

std::vector<Scenario> Scenarios() {
  const std::vector<StoredFile> abc = {
      {"a", StreamBytes('a', 10), 10}, {"b", StreamBytes('b', 12), 12}, {"c", StreamBytes('c', 700), 700}};
  return {
      {"re-point only", abc, 0, {{"b", StreamBytes('B', 5), 5}, {"c", StreamBytes('C', 7), 7}}},
      {"re-point and add into free bytes", abc, 400, {{"c", StreamBytes('C', 7), 7}, {"x", StreamBytes('X', 3), 3}}},
      {"add over packed data: streams move", abc, 0,
       {{"b", StreamBytes('B', 5), 5}, {"x", StreamBytes('X', 3), 3}, {"y", StreamBytes('Y', 2), 2}}},
      {"add to an archive that is only its index", {{"a", "", 0}}, 0, {{"x", StreamBytes('X', 30), 30}}},
  };
}

class FaultInjectionTest : public testing::Test {
 protected:
  void SetUp() override { fixtures::BindLibrary(); }

  void Prepare(const Scenario& s) {
    before_ = fixtures::BuildArchive(s.files, s.free_bytes);
    fixtures::WriteFile(patchmaker::ArchivePath(dir_.path()), before_);
    fixtures::WriteFile(dir_.File("p.patch2"), fixtures::MakePatch(s.patch));
    allowed_.clear();
    const fixtures::ParsedArchive original = fixtures::ParseArchive(before_);
    for (const patchmaker::ArchiveIndexEntry& e : original.entries)
      allowed_.emplace(e.name, fixtures::StreamOf(original, e));
    for (const PatchEntry& p : s.patch) allowed_.emplace(p.name, p.stream);
  }

  patchmaker::InstallResult Install(host::Files& files) {
    patchmaker::InstallRequest r;
    r.patch_path = dir_.File("p.patch2");
    r.install_directory = dir_.path();
    r.progress_bars = {"进度条2"};
    r.key_stream = patchmaker::DefaultPatchKeyStream();
    return patchmaker::ApplyPatchToArchive(ui_, files, r);
  }

  testing::AssertionResult Sound() {
    return fixtures::ArchiveIsSound(fixtures::ReadFile(patchmaker::ArchivePath(dir_.path())), before_, allowed_);
  }

  // Writes and flushes of a clean run.
  void Count(const Scenario& s, int* writes, int* flushes) {
    Prepare(s);
    host::FaultyFiles counting(host::PlatformFiles());
    ASSERT_EQ(Install(counting).outcome, InstallOutcome::kInstalled) << s.what;
    *writes = counting.writes();
    *flushes = counting.flushes();
    ui_.Clear();
  }

  fixtures::TempDir dir_;
  host::ScriptedFramework ui_;
  Bytes before_;
  std::multimap<GbkText, Bytes> allowed_;
};

TEST_F(FaultInjectionTest, EveryFailedWriteIsReportedAndLeavesASoundArchive) {
  const Message write_failed{"c错误", "写入Data.vnt失败"};
  for (const Scenario& s : Scenarios()) {
    int writes = 0, flushes = 0;
    Count(s, &writes, &flushes);
    ASSERT_GE(writes, 2) << s.what;
    for (int k = 1; k <= writes; ++k) {
      Prepare(s);
      host::FaultyFiles files(host::PlatformFiles());
      files.FailWrite(k);
      const patchmaker::InstallResult r = Install(files);
      EXPECT_EQ(r.outcome, InstallOutcome::kWriteFailed) << s.what << ", write " << k;
      EXPECT_EQ(ui_.messages(), std::vector<Message>{write_failed}) << s.what << ", write " << k;
      EXPECT_TRUE(Sound()) << s.what << ", write " << k;
      ui_.Clear();
    }
    for (int k = 1; k <= flushes; ++k) {
      Prepare(s);
      host::FaultyFiles files(host::PlatformFiles());
      files.FailFlush(k);
      EXPECT_EQ(Install(files).outcome, InstallOutcome::kWriteFailed) << s.what << ", flush " << k;
      EXPECT_EQ(ui_.messages(), std::vector<Message>{write_failed}) << s.what << ", flush " << k;
      EXPECT_TRUE(Sound()) << s.what << ", flush " << k;
      ui_.Clear();
    }
  }
}

TEST_F(FaultInjectionTest, StoppingAfterAnyWriteLeavesASoundArchive) {
  for (const Scenario& s : Scenarios()) {
    int writes = 0, flushes = 0;
    Count(s, &writes, &flushes);
    for (int k = 1; k <= writes; ++k) {
      Prepare(s);
      host::FaultyFiles files(host::PlatformFiles());
      files.CrashAfterWrite(k);
      EXPECT_THROW(Install(files), host::SimulatedCrash) << s.what << ", write " << k;
      EXPECT_TRUE(Sound()) << s.what << ", stopped after write " << k;
      EXPECT_TRUE(ui_.messages().empty()) << s.what;
      ui_.Clear();
    }
    // After the last write the install is whole: every patched name points at its new stream.
    const fixtures::ParsedArchive done = fixtures::ParseArchive(fixtures::ReadFile(patchmaker::ArchivePath(dir_.path())));
    for (const PatchEntry& p : s.patch) {
      bool seen = false;
      for (const patchmaker::ArchiveIndexEntry& e : done.entries)
        if (e.name == p.name) {
          seen = true;
          EXPECT_EQ(fixtures::StreamOf(done, e), p.stream) << s.what;
        }
      EXPECT_TRUE(seen) << s.what << ": " << p.name;
    }
  }
}

TEST_F(FaultInjectionTest, EveryShortReadRefusesWithoutWriting) {
  const std::vector<Message> accepted = {{"提示", "打开补丁失败"},
                                         {"提示", "补丁文件已损坏，未安装"},
                                         {"c错误", "Data.vnt已损坏，未安装"}};
  for (const Scenario& s : Scenarios()) {
    Prepare(s);
    host::FaultyFiles counting(host::PlatformFiles());
    ASSERT_EQ(Install(counting).outcome, InstallOutcome::kInstalled);
    const int reads = counting.reads();
    for (int k = 1; k <= reads; ++k) {
      Prepare(s);
      ui_.Clear();
      host::FaultyFiles files(host::PlatformFiles());
      files.ShortRead(k);
      const patchmaker::InstallResult r = Install(files);
      const std::vector<Message> shown = ui_.messages();
      if (r.outcome == InstallOutcome::kInstalled) {
        // Only a read of nothing at all (an empty index) may come up short harmlessly.
        EXPECT_TRUE(shown.empty()) << s.what << ", read " << k;
        continue;
      }
      EXPECT_EQ(files.writes(), 0) << s.what << ", read " << k;
      ASSERT_EQ(shown.size(), 1u) << s.what << ", read " << k;
      bool known = false;
      for (const Message& m : accepted) known = known || m == shown[0];
      EXPECT_TRUE(known) << s.what << ", read " << k << ": " << testing_support::ToHex(shown[0].text);
      EXPECT_EQ(fixtures::ReadFile(patchmaker::ArchivePath(dir_.path())), before_) << s.what << ", read " << k;
    }
  }
}

// A power loss keeps what was flushed, and of the writes since the last
// flush any part, in any order (the disk and its cache choose). The file layer
// here records the writes; each state a power loss can leave is rebuilt from
// the archive as it was.
struct Write {
  std::uint64_t at;
  Bytes bytes;
};

class RecordingFiles : public host::Files {
 public:
  RecordingFiles(host::Files& inner, GbkText archive) : inner_(inner), archive_(std::move(archive)) {}

  // The archive's writes, one group per flush (the last one unflushed).
  std::vector<std::vector<Write>> epochs{{}};

  std::unique_ptr<host::File> OpenExisting(const GbkText& path) override {
    std::unique_ptr<host::File> file = inner_.OpenExisting(path);
    if (!file || path != archive_) return file;
    return std::make_unique<Recorded>(std::move(file), this);
  }
  std::unique_ptr<host::File> OpenForReading(const GbkText& path) override { return inner_.OpenForReading(path); }
  bool ReadWholeFile(const GbkText& path, std::string* bytes) override { return inner_.ReadWholeFile(path, bytes); }
  bool WriteWholeFile(const GbkText& path, const std::string& bytes) override {
    return inner_.WriteWholeFile(path, bytes);
  }
  using Files::ReplaceWholeFile;
  bool ReplaceWholeFile(const GbkText& path, const std::vector<std::string_view>& parts) override {
    return inner_.ReplaceWholeFile(path, parts);
  }
  std::unique_ptr<host::Replacement> StartReplacing(const GbkText& path) override { return inner_.StartReplacing(path); }

 private:
  class Recorded : public host::File {
   public:
    Recorded(std::unique_ptr<host::File> inner, RecordingFiles* owner) : inner_(std::move(inner)), owner_(owner) {}
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) override {
      return inner_->ReadAt(offset, data, size);
    }
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
      owner_->epochs.back().push_back({offset, Bytes(static_cast<const char*>(data), size)});
      return inner_->WriteAt(offset, data, size);
    }
    bool Length(std::uint64_t* length) override { return inner_->Length(length); }
    bool Flush() override {
      owner_->epochs.emplace_back();
      return inner_->Flush();
    }
    bool Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<host::File> inner_;
    RecordingFiles* owner_;
  };

  host::Files& inner_;
  GbkText archive_;
};

void Apply(Bytes* file, const Write& w) {
  if (file->size() < w.at + w.bytes.size()) file->resize(static_cast<std::size_t>(w.at) + w.bytes.size(), '\0');
  file->replace(static_cast<std::size_t>(w.at), w.bytes.size(), w.bytes);
}

TEST_F(FaultInjectionTest, APowerLossAtAnyPointLeavesASoundArchive) {
  for (const Scenario& s : Scenarios()) {
    Prepare(s);
    RecordingFiles files(host::PlatformFiles(), patchmaker::ArchivePath(dir_.path()));
    ASSERT_EQ(Install(files).outcome, InstallOutcome::kInstalled) << s.what;
    Bytes durable = before_;
    int states = 0;
    for (std::size_t e = 0; e < files.epochs.size(); ++e) {
      const std::vector<Write>& pending = files.epochs[e];
      ASSERT_LE(pending.size(), 12u) << s.what;
      // Every subset of the unflushed writes, applied in their order (writes
      // of one epoch here never overlap, so the order does not matter).
      for (std::size_t mask = 0; mask < (std::size_t{1} << pending.size()); ++mask) {
        Bytes state = durable;
        for (std::size_t i = 0; i < pending.size(); ++i)
          if (mask & (std::size_t{1} << i)) Apply(&state, pending[i]);
        EXPECT_TRUE(fixtures::ArchiveIsSound(state, before_, allowed_))
            << s.what << ": power lost after flush " << e << " with writes " << mask << " of " << pending.size()
            << " on the disk";
        ++states;
      }
      for (const Write& w : pending) Apply(&durable, w);
    }
    EXPECT_EQ(durable, fixtures::ReadFile(patchmaker::ArchivePath(dir_.path()))) << s.what;
    EXPECT_GT(states, 2) << s.what;
    ui_.Clear();
  }
}

}  // namespace

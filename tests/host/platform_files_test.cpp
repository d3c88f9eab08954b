// The file layer in the programs' open modes, and the test layer that breaks
// it on purpose.
#include "host/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "host/scripted/faulty_files.h"
#include "tests/support/hex.h"

namespace {

class PlatformFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("qelmar_files_test_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  // Paths as the programs build them: "\" joined.
  std::string Path(const std::string& name) const { return dir_.string() + "\\" + name; }

  std::filesystem::path dir_;
  host::Files& files_ = host::PlatformFiles();
};

TEST_F(PlatformFilesTest, WholeFilesAreByteExact) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += "\r\n\x1a\r\n";
  ASSERT_TRUE(files_.WriteWholeFile(Path("all.bin"), bytes));
  std::string back;
  ASSERT_TRUE(files_.ReadWholeFile(Path("all.bin"), &back));
  EXPECT_EQ(testing_support::ToHex(back), testing_support::ToHex(bytes));

  // Rewriting truncates.
  ASSERT_TRUE(files_.WriteWholeFile(Path("all.bin"), "ab"));
  ASSERT_TRUE(files_.ReadWholeFile(Path("all.bin"), &back));
  EXPECT_EQ(back, "ab");
  ASSERT_TRUE(files_.WriteWholeFile(Path("empty"), ""));
  ASSERT_TRUE(files_.ReadWholeFile(Path("empty"), &back));
  EXPECT_EQ(back, "");

  EXPECT_FALSE(files_.ReadWholeFile(Path("missing"), &back));
  EXPECT_FALSE(files_.WriteWholeFile(Path("no such dir\\x"), "x"));
}

TEST_F(PlatformFilesTest, GbkNamesWithABackslashTrailByteStayOneName) {
  const std::string name = "补丁誠.patch2";  // 誠 is D5 5C: its trail byte is "\\"
  ASSERT_NE(name.find('\\'), std::string::npos);
  ASSERT_TRUE(files_.WriteWholeFile(Path(name), "gbk"));
  std::string back;
  ASSERT_TRUE(files_.ReadWholeFile(Path(name), &back));
  EXPECT_EQ(back, "gbk");
  EXPECT_NE(files_.OpenExisting(Path(name)), nullptr);
  std::size_t in_dir = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    (void)entry;
    ++in_dir;
  }
  EXPECT_EQ(in_dir, 1u) << "one file in the folder, not a subfolder named by half a character";
}

TEST_F(PlatformFilesTest, OpenExistingReadsAndWritesAtOffsets) {
  EXPECT_EQ(files_.OpenExisting(Path("missing")), nullptr) << "existing files only";
  EXPECT_EQ(files_.OpenExisting(dir_.string()), nullptr) << "a directory is no file";

  ASSERT_TRUE(files_.WriteWholeFile(Path("f"), "0123456789"));
  std::unique_ptr<host::File> f = files_.OpenExisting(Path("f"));
  ASSERT_NE(f, nullptr);
  // No sharing restriction: a second open of the same file works meanwhile.
  std::unique_ptr<host::File> second = files_.OpenExisting(Path("f"));
  ASSERT_NE(second, nullptr);

  std::uint64_t length = 0;
  ASSERT_TRUE(f->Length(&length));
  EXPECT_EQ(length, 10u);
  char buf[8] = {};
  EXPECT_EQ(f->ReadAt(7, buf, 8), 3u) << "short at the end";
  EXPECT_EQ(std::string(buf, 3), "789");
  EXPECT_EQ(f->ReadAt(20, buf, 8), 0u);
  ASSERT_TRUE(f->WriteAt(2, "ab", 2));
  ASSERT_TRUE(f->WriteAt(12, "\0z", 2)) << "writing past the end grows the file";
  EXPECT_TRUE(f->Flush());
  ASSERT_TRUE(second->Length(&length));
  EXPECT_EQ(length, 14u);
  EXPECT_TRUE(f->Close());
  EXPECT_TRUE(f->Close()) << "a second close does nothing";
  EXPECT_EQ(f->ReadAt(0, buf, 1), 0u);
  EXPECT_FALSE(f->WriteAt(0, "x", 1));
  second.reset();

  std::string back;
  ASSERT_TRUE(files_.ReadWholeFile(Path("f"), &back));
  EXPECT_EQ(testing_support::ToHex(back), testing_support::ToHex(std::string("01ab456789\0\0\0z", 14)));
}

TEST_F(PlatformFilesTest, FaultyFilesBreakExactlyTheChosenOperation) {
  ASSERT_TRUE(files_.WriteWholeFile(Path("f"), "0123456789"));
  host::FaultyFiles faulty(files_);
  faulty.FailWrite(2);
  faulty.ShortRead(1);
  faulty.FailFlush(1);
  std::unique_ptr<host::File> f = faulty.OpenExisting(Path("f"));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(faulty.OpenExisting(Path("missing")), nullptr);
  char buf[10];
  EXPECT_EQ(f->ReadAt(0, buf, 10), 5u) << "first read is cut to half";
  EXPECT_EQ(f->ReadAt(0, buf, 10), 10u);
  EXPECT_TRUE(f->WriteAt(0, "A", 1));
  EXPECT_FALSE(f->WriteAt(1, "B", 1)) << "second write fails";
  EXPECT_TRUE(f->WriteAt(2, "C", 1));
  EXPECT_FALSE(f->Flush());
  EXPECT_TRUE(f->Flush());
  EXPECT_EQ(faulty.writes(), 3);
  f.reset();
  std::string back;
  ASSERT_TRUE(files_.ReadWholeFile(Path("f"), &back));
  EXPECT_EQ(back, "A1C3456789") << "the failed write wrote nothing";

  host::FaultyFiles crashing(files_);
  crashing.CrashAfterWrite(1);
  EXPECT_THROW(crashing.WriteWholeFile(Path("g"), "done"), host::SimulatedCrash);
  ASSERT_TRUE(files_.ReadWholeFile(Path("g"), &back));
  EXPECT_EQ(back, "done") << "the write before the stop is on the disk";
}

}  // namespace

namespace {

TEST_F(PlatformFilesTest, ReplaceKeepsTheOldFileWhenTheNewOneCannotBeWritten) {
  ASSERT_TRUE(files_.WriteWholeFile(Path("p.patch2"), "old patch"));
  ASSERT_TRUE(files_.ReplaceWholeFile(Path("p.patch2"), std::vector<std::string_view>{"new ", "patch"}));
  std::string back;
  ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
  EXPECT_EQ(back, "new patch");
  EXPECT_FALSE(files_.ReadWholeFile(Path("p.patch2.tmp"), &back)) << "no temporary file left behind";

  // The new file cannot be created (its folder is missing).
  EXPECT_FALSE(files_.ReplaceWholeFile(Path("no folder\\x.patch2"), std::string("x")));
  ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
  EXPECT_EQ(back, "new patch");
}

}  // namespace

namespace {

TEST_F(PlatformFilesTest, AReplacementWrittenInPiecesTakesThePlaceOnlyWhenCommitted) {
  ASSERT_TRUE(files_.WriteWholeFile(Path("p.patch2"), "old patch"));
  std::string back;
  {
    // Written out of order, the head last; dropped without a commit.
    std::unique_ptr<host::Replacement> r = files_.StartReplacing(Path("p.patch2"));
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(r->WriteAt(4, "patch", 5));
    ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
    EXPECT_EQ(back, "old patch") << "the target stays until the commit";
  }
  EXPECT_FALSE(files_.ReadWholeFile(Path("p.patch2.tmp"), &back)) << "a dropped replacement leaves nothing behind";
  ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
  EXPECT_EQ(back, "old patch");

  std::unique_ptr<host::Replacement> r = files_.StartReplacing(Path("p.patch2"));
  ASSERT_NE(r, nullptr);
  ASSERT_TRUE(r->WriteAt(4, "patch", 5));
  ASSERT_TRUE(r->WriteAt(0, "new ", 4));
  ASSERT_TRUE(r->Commit());
  ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
  EXPECT_EQ(back, "new patch");
  EXPECT_FALSE(files_.ReadWholeFile(Path("p.patch2.tmp"), &back));

  EXPECT_EQ(files_.StartReplacing(Path("no folder\\x.patch2")), nullptr);
}

TEST_F(PlatformFilesTest, FaultyFilesBreakAReplacementsWritesAndCommit) {
  ASSERT_TRUE(files_.WriteWholeFile(Path("p.patch2"), "old patch"));
  std::string back;
  {
    host::FaultyFiles failing(files_);
    failing.FailWrite(2);
    std::unique_ptr<host::Replacement> r = failing.StartReplacing(Path("p.patch2"));
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->WriteAt(0, "new ", 4));
    EXPECT_FALSE(r->WriteAt(4, "patch", 5));
    EXPECT_EQ(failing.writes(), 2);
  }
  {
    host::FaultyFiles failing(files_);
    failing.FailFlush(1);
    std::unique_ptr<host::Replacement> r = failing.StartReplacing(Path("p.patch2"));
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->WriteAt(0, "new patch", 9));
    EXPECT_FALSE(r->Commit());
    EXPECT_EQ(failing.flushes(), 1);
  }
  ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
  EXPECT_EQ(back, "old patch");
  EXPECT_FALSE(files_.ReadWholeFile(Path("p.patch2.tmp"), &back));
}

}  // namespace

namespace {

// ---- The new file of a replacement ------------------------------------------

class ReplacementNameTest : public PlatformFilesTest {
 protected:
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.insert(entry.path().filename().string());
    return names;
  }
  // The one name in the folder now that is not among `before`.
  std::string NewName(const std::set<std::string>& before) const {
    std::string found;
    for (const std::string& name : Names())
      if (before.count(name) == 0) {
        EXPECT_TRUE(found.empty()) << "one new file only, found " << found << " and " << name;
        found = name;
      }
    return found;
  }
};

TEST_F(ReplacementNameTest, FilesBesideTheTargetAreNeverTouched) {
  // A user's own files that the new file's name could take, and a folder.
  ASSERT_TRUE(files_.WriteWholeFile(Path("p.patch2"), "old patch"));
  ASSERT_TRUE(files_.WriteWholeFile(Path("p.patch2.tmp"), "the user's own"));
  ASSERT_TRUE(files_.WriteWholeFile(Path("p.patch2.1.tmp"), "left by a killed run"));
  std::filesystem::create_directories(dir_ / "p.patch2.2.tmp");
  const std::set<std::string> before = Names();
  const auto untouched = [&] {
    std::string back;
    EXPECT_TRUE(files_.ReadWholeFile(Path("p.patch2.tmp"), &back));
    EXPECT_EQ(back, "the user's own");
    EXPECT_TRUE(files_.ReadWholeFile(Path("p.patch2.1.tmp"), &back));
    EXPECT_EQ(back, "left by a killed run");
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "p.patch2.2.tmp"));
  };
  struct Case {
    const char* what;
    bool commit;
    int failing_flush;  // of a FaultyFiles layer over the platform's, 0 for none
    const char* target_after;
  };
  const Case cases[] = {
      {"dropped without a commit", false, 0, "old patch"},
      {"its commit fails", true, 1, "old patch"},
      {"committed", true, 0, "new patch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::FaultyFiles layer(files_);
    layer.FailFlush(c.failing_flush);
    {
      std::unique_ptr<host::Replacement> r = layer.StartReplacing(Path("p.patch2"));
      ASSERT_NE(r, nullptr);
      ASSERT_TRUE(r->WriteAt(0, "new patch", 9));
      EXPECT_NE(NewName(before), "") << "the new file is beside the target";
      untouched();
      if (c.commit) {
        EXPECT_EQ(r->Commit(), c.failing_flush == 0);
      }
    }
    EXPECT_EQ(Names(), before) << "only the replacement's own file went away";
    untouched();
    std::string back;
    ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
    EXPECT_EQ(back, c.target_after);
  }
  ASSERT_TRUE(files_.ReplaceWholeFile(Path("p.patch2"), std::string("whole")));
  EXPECT_EQ(Names(), before);
  untouched();
}

TEST_F(ReplacementNameTest, TwoReplacementsAtOnceEachHaveTheirOwnFile) {
  ASSERT_TRUE(files_.WriteWholeFile(Path("p.patch2"), "old patch"));
  std::unique_ptr<host::Replacement> first = files_.StartReplacing(Path("p.patch2"));
  std::unique_ptr<host::Replacement> second = files_.StartReplacing(Path("p.patch2"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(Names().size(), 3u) << "the target and two new files";
  ASSERT_TRUE(first->WriteAt(0, "first", 5));
  ASSERT_TRUE(second->WriteAt(0, "second one", 10));
  EXPECT_TRUE(first->Commit());
  std::string back;
  ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
  EXPECT_EQ(back, "first");
  EXPECT_TRUE(second->Commit());
  ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
  EXPECT_EQ(back, "second one");
  EXPECT_EQ(Names(), (std::set<std::string>{"p.patch2"}));
}

#ifdef _WIN32
TEST_F(ReplacementNameTest, TheNewFileIsNotSharedWhileItIsWritten) {
  const std::set<std::string> before = Names();
  std::unique_ptr<host::Replacement> r = files_.StartReplacing(Path("p.patch2"));
  ASSERT_NE(r, nullptr);
  const std::string temp = NewName(before);
  ASSERT_NE(temp, "");
  EXPECT_EQ(files_.OpenExisting(Path(temp)), nullptr);
  EXPECT_EQ(files_.OpenForReading(Path(temp)), nullptr);
  ASSERT_TRUE(r->WriteAt(0, "x", 1));
  EXPECT_TRUE(r->Commit());
}
#endif

TEST_F(PlatformFilesTest, OpenForReadingReadsButNeverWrites) {
  EXPECT_EQ(files_.OpenForReading(Path("missing")), nullptr);
  EXPECT_EQ(files_.OpenForReading(dir_.string()), nullptr) << "a directory is no file";
  ASSERT_TRUE(files_.WriteWholeFile(Path("f"), "0123456789"));
  std::unique_ptr<host::File> reader = files_.OpenForReading(Path("f"));
  ASSERT_NE(reader, nullptr);
  std::unique_ptr<host::File> writer = files_.OpenExisting(Path("f"));
  ASSERT_NE(writer, nullptr) << "shared for writing too";
  std::uint64_t length = 0;
  ASSERT_TRUE(reader->Length(&length));
  EXPECT_EQ(length, 10u);
  char buf[4] = {};
  EXPECT_EQ(reader->ReadAt(8, buf, 4), 2u);
  EXPECT_EQ(std::string(buf, 2), "89");
  EXPECT_FALSE(reader->WriteAt(0, "x", 1));
  host::FaultyFiles faulty(files_);
  faulty.ShortRead(1);
  std::unique_ptr<host::File> counted = faulty.OpenForReading(Path("f"));
  ASSERT_NE(counted, nullptr);
  EXPECT_EQ(counted->ReadAt(0, buf, 4), 2u) << "its reads count as the layer's";
  EXPECT_EQ(faulty.OpenForReading(Path("missing")), nullptr);
}

}  // namespace

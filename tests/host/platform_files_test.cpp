// The file layer in the programs' open modes, and the test layer that breaks
// it on purpose.
#include "host/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

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

  // The temporary file cannot be created (a folder of that name is in the way).
  std::filesystem::create_directories(dir_ / "p.patch2.tmp");
  EXPECT_FALSE(files_.ReplaceWholeFile(Path("p.patch2"), std::string("broken")));
  ASSERT_TRUE(files_.ReadWholeFile(Path("p.patch2"), &back));
  EXPECT_EQ(back, "new patch");
  EXPECT_FALSE(files_.ReplaceWholeFile(Path("no folder\\x.patch2"), std::string("x")));
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

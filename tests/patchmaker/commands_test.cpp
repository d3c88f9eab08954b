// patchmaker's commands on the scripted host: install (button, drop, command
// line), generate, load, convert, list editing, file type and command line.
#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <random>
#include <set>

#include "host/archive_lock.h"
#include "host/binding.h"
#include "host/scripted/scripted_framework.h"
#include "host/scripted/scripted_host.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"
#include "patchmaker/main_window.h"
#include "patchmaker/program.h"
#include "tests/patchmaker/fixtures.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/hex.h"

namespace {

using fixtures::Bytes;
using fixtures::GbkText;
using host::ScriptedHost;
using patchmaker::PatchEntry;
using Messages = std::vector<std::pair<GbkText, GbkText>>;

GbkText Read(const GbkText& path) {
  Bytes b;
  host::PlatformFiles().ReadWholeFile(path, &b);
  return b;
}

class Commands : public testing::Test {
 protected:
  void SetUp() override {
    host::ResetBindingForTests();
    fixtures::BindLibrary();  // the fixtures encrypt patch indexes before the program starts
    game_ = program_.path() + "\\game";
    std::filesystem::create_directories(std::filesystem::path(NativeFolder(game_)));
    // The archive holds a and b.
    fixtures::WriteFile(Archive(), fixtures::BuildArchive({{"a.txt", patchmaker::DeflateRawStream("old a"), 5},
                                                          {"b.txt", patchmaker::DeflateRawStream("old b"), 5}}));
  }
  void TearDown() override { host::ResetBindingForTests(); }

  static GbkText NativeFolder(const GbkText& p) {
#ifdef _WIN32
    return p;
#else
    GbkText s = p;
    for (char& c : s)
      if (c == '\\') c = '/';
    return s;
#endif
  }
  GbkText Archive() const { return game_ + "\\Data.vnt"; }
  void WriteConfig(const GbkText& folder) {
    host::WriteProfileFile(program_.File("Config.ini"), "目录", "安装目录", folder);
  }
  GbkText File(const GbkText& name, const GbkText& content) {
    const GbkText path = program_.File(name);
    fixtures::WriteFile(path, content);
    return path;
  }
  // A patch replacing a.txt (and adding new.txt).
  GbkText Patch(const GbkText& name = "p.patch2") {
    return File(name, fixtures::MakePatch({{"a.txt", patchmaker::DeflateRawStream("new a"), 5},
                                           {"new.txt", patchmaker::DeflateRawStream("brand new"), 9}}));
  }
  // The inflated content of an archive entry.
  GbkText Entry(const GbkText& name) {
    const fixtures::ParsedArchive archive = fixtures::ParseArchive(Read(Archive()));
    for (const auto& e : archive.entries) {
      if (e.name != name) continue;
      const Bytes stream = fixtures::StreamOf(archive, e);
      GbkText out(static_cast<std::size_t>(e.uncompressed_size), '\0');
      uLongf len = static_cast<uLongf>(out.size());
      if (uncompress(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(stream.data()),
                     static_cast<uLong>(stream.size())) != Z_OK)
        return "<bad stream>";
      out.resize(len);
      return out;
    }
    return "<missing>";
  }
  // Runs the program with `steps` as its message loop; answers the exit code.
  int Run(ScriptedHost& host, const std::function<void()>& steps) {
    host.SetMessageLoop(steps);
    try {
      return host::RunProgram(host, patchmaker::Program());
    } catch (const host::ProgramExited& e) {
      return e.exit_code;
    }
  }

  fixtures::TempDir program_;
  GbkText game_;
};

// ---- Installing -----------------------------------------------------------

TEST_F(Commands, FirstInstallClickAsksForTheFolderThenInstalls) {
  ScriptedHost host(program_.path());
  const GbkText patch = Patch();
  host.AnswerFolderPicker(game_);
  host.AnswerFileDialog(patch);
  Run(host, [&] {
    host.Click(patchmaker::kInstallButton);
    EXPECT_EQ(host.GetText(patchmaker::kFolderEdit), game_);
    EXPECT_TRUE(host.IsEnabled(patchmaker::kInstallButton));
  });
  EXPECT_EQ(host::ReadProfileFile(program_.File("Config.ini"), "目录", "安装目录"), game_);
  EXPECT_EQ(host.messages(), (Messages{{"提示", "安装成功"}}));
  EXPECT_EQ(Entry("a.txt"), "new a");
  EXPECT_EQ(Entry("b.txt"), "old b");
  EXPECT_EQ(Entry("new.txt"), "brand new");
  const auto shown = host.shown();
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[0].caption, "请选择Qelmar的安装目录");
  EXPECT_EQ(shown[1].request.filter, "补丁文件（*.patch2）|*.patch2");
  EXPECT_EQ(shown[1].request.file_name, "New.patch2");
  EXPECT_EQ(shown[1].request.initial_folder, program_.path());
  EXPECT_EQ(host.positions(patchmaker::kInstallProgress).back(), 100);
}

TEST_F(Commands, CancelledPickerAndCancelledOpenDialog) {
  ScriptedHost host(program_.path());
  host.AnswerFolderPicker("");
  host.AnswerFolderPicker(game_);
  host.AnswerFileDialog(std::nullopt);
  Run(host, [&] {
    host.Click(patchmaker::kInstallButton);  // cancelled picker: nothing else
    EXPECT_EQ(host.GetText(patchmaker::kFolderEdit), "");
    EXPECT_TRUE(host.messages().empty());
    host.Click(patchmaker::kInstallButton);  // asks again, then the open dialog is cancelled
  });
  EXPECT_EQ(host.messages(), (Messages{{"提示", "请选择要安装的补丁"}}));
  EXPECT_EQ(host.unexpected_dialogs(), 0);
}

TEST_F(Commands, DropOnTheInstallPageAsksThenInstallsEachPatch2) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  const GbkText patch = Patch();
  const GbkText other = File("x.PATCH2", "not installed");
  const GbkText dropped = patch + "\r\n" + other + "\r\n" + program_.File("notes.txt") + "\r\n";
  host.AnswerQuestion(true);
  Run(host, [&] {
    host.SetCurrentPage(patchmaker::kTab, 1);
    host.Drop(dropped);
  });
  const auto shown = host.shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown[0].kind, ScriptedHost::Shown::Question);
  EXPECT_EQ(shown[0].caption, "信息：");
  EXPECT_EQ(shown[0].text, "是否安装以下3个补丁\r\n" + dropped);
  EXPECT_EQ(host.messages(), (Messages{{"提示", patch + "\r\n安装成功"}}));
  EXPECT_EQ(Entry("a.txt"), "new a");
}

TEST_F(Commands, DropOnTheInstallPageWithoutConfigDoesNothing) {
  ScriptedHost host(program_.path());
  host.SetUserRegistry("Software\\Vantro\\QelmarClient", "QelmarPath", game_);
  Run(host, [&] {
    EXPECT_EQ(patchmaker::InstallDirectory(), game_);
    host.SetCurrentPage(patchmaker::kTab, 1);
    host.Drop(Patch());
    EXPECT_EQ(patchmaker::InstallDirectory(), "") << "read afresh from Config.ini";
  });
  EXPECT_TRUE(host.shown().empty());
}

TEST_F(Commands, CommandLineInstallEndsTheProgramWithZero) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  const GbkText patch = Patch("with blank.patch2");
  host.SetCommandLine("C:\\tools\\patchmaker.exe " + patch);  // unquoted, as the association passes it
  bool loop_ran = false;
  EXPECT_EQ(Run(host, [&] { loop_ran = true; }), 0);
  EXPECT_FALSE(loop_ran) << "the message loop is never entered";
  EXPECT_EQ(host.messages(), (Messages{{"提示", patch + "\r\n安装成功"}}));
  EXPECT_EQ(host.positions("LoadingWindow.进度条1").back(), 100);
  EXPECT_TRUE(host::LibraryDetached());
  EXPECT_EQ(Entry("new.txt"), "brand new");
}

TEST_F(Commands, FailedCommandLineInstallLeavesTheLoadingWindowOpen) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  const GbkText bad = File("bad.patch2", "no patch at all");
  host.SetCommandLine("\"C:\\tools\\patchmaker.exe\" " + bad);
  bool loop_ran = false;
  Run(host, [&] {
    loop_ran = true;
    EXPECT_TRUE(host.IsLoaded(patchmaker::kLoadingWindow));
    EXPECT_EQ(host.GetText(patchmaker::kLoadingLabel), bad + "\r\n载入中：");
    EXPECT_EQ(host.CurrentPage(patchmaker::kTab), 1);
  });
  EXPECT_TRUE(loop_ran);
  EXPECT_EQ(host.messages(), (Messages{{"提示", "打开补丁失败"}}));
}

TEST_F(Commands, OneInstallationAtATime) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  host.SetWorkerMode(ScriptedHost::WorkerMode::Deferred);
  const GbkText patch = Patch();
  Run(host, [&] {
    // The button's worker is held inside its installation while a drop arrives.
    ASSERT_TRUE(patchmaker::BeginInstallation());
    host.SetCurrentPage(patchmaker::kTab, 1);
    host.AnswerQuestion(true);
    host.Drop(patch);
    patchmaker::EndInstallation();
  });
  EXPECT_EQ(host.messages(), (Messages{{"提示", "正在安装补丁，请等待安装完成"}}));
  EXPECT_EQ(Entry("a.txt"), "old a") << "the refused drop changed nothing";
}

TEST_F(Commands, TheWindowStaysOpenWhileAWorkerRuns) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  host.SetWorkerMode(ScriptedHost::WorkerMode::Deferred);
  host.AnswerFileDialog(Patch());
  Run(host, [&] {
    host.Click(patchmaker::kInstallButton);  // the worker has started, not finished
    EXPECT_FALSE(host.UserCloses(patchmaker::kMainWindow));
    EXPECT_TRUE(host.IsLoaded(patchmaker::kMainWindow));
    host.RunDeferredWorkers();
    EXPECT_TRUE(host.UserCloses(patchmaker::kMainWindow));
  });
  EXPECT_EQ(host.messages(), (Messages{{"提示", "正在处理，请等待完成后再关闭"}, {"提示", "安装成功"}}));
}

// ---- Generation -----------------------------------------------------------

TEST_F(Commands, GenerateFromFilesAndFromLoadedEntries) {
  ScriptedHost host(program_.path());
  const GbkText f1 = File("one.bin", "first file content"), f2 = File("two.bin", "second");
  const GbkText empty = File("empty.bin", "");
  const GbkText out = program_.File("out.patch2"), again = program_.File("again.patch2");
  host.AnswerFileDialog(out);
  Run(host, [&] {
    for (const auto& [name, path] : std::vector<std::pair<GbkText, GbkText>>{{"a.txt", f1}, {"e.txt", empty}, {"b.txt", f2}}) {
      const int row = host.AppendRow(patchmaker::kList, name);
      host.SetItemText(patchmaker::kList, row, 1, path);
    }
    host.Click(patchmaker::kGenerateButton);
    EXPECT_EQ(host.positions(patchmaker::kGenerateProgress), (std::vector<int>{33, 66, 100}));
    EXPECT_TRUE(host.IsEnabled(patchmaker::kGenerateButton));
    // One thread gives the same file.
    patchmaker::SetCompressionThreads(1);
    host.AnswerFileDialog(program_.File("single.patch2"));
    host.Click(patchmaker::kGenerateButton);
    patchmaker::SetCompressionThreads(0);
    host.AnswerFileDialog(again);
    // Load the result into an emptied list and generate again: the same bytes.
    host.SetChecked(patchmaker::kClearCheck, true);
    host.Drop(out);
    EXPECT_EQ(host.ItemText(patchmaker::kList, 2, 1), "内部ID3");
    host.Click(patchmaker::kGenerateButton);
  });
  EXPECT_EQ(host.messages(), (Messages{{"补丁生成", "成功"}, {"补丁生成", "成功"}, {"信息：", "补丁载入完成"}, {"补丁生成", "成功"}}));
  const Bytes bytes = Read(out);
  EXPECT_EQ(Read(program_.File("single.patch2")), bytes);
  EXPECT_EQ(testing_support::ToHex(Read(again)), testing_support::ToHex(bytes));
  patchmaker::PatchFile patch;
  auto file = host::PlatformFiles().OpenExisting(out);
  ASSERT_EQ(patchmaker::ReadPatchFile(file.get(), patchmaker::PatchVersion::kV02, patchmaker::DefaultPatchKeyStream(),
                                      true, &patch),
            patchmaker::PatchReadStatus::kOk);
  ASSERT_EQ(patch.lines.size(), 3u);
  const auto c1 = patchmaker::DeflateRawStream("first file content").size();
  EXPECT_EQ(patch.lines[0].offset, 0);
  EXPECT_EQ(patch.lines[1].offset, static_cast<std::int32_t>(c1));
  EXPECT_EQ(patch.lines[1].compressed_size, 0);
  EXPECT_EQ(patch.lines[2].offset, static_cast<std::int32_t>(c1)) << "an empty file adds no bytes";
  EXPECT_EQ(patch.lines[2].uncompressed_size, 6);
}

TEST_F(Commands, GenerationOnAWorkerBesideLoadsOnTheWindowThread) {
  // Real threads: the generation snapshots rows and entries while the window
  // thread loads patches into the same list and table.
  ScriptedHost host(program_.path());
  host.SetWorkerMode(ScriptedHost::WorkerMode::Deferred);
  const GbkText loaded = File("l.patch2", fixtures::MakePatch({{"x1", "s1", 1}, {"x2", "s2", 2}}));
  const GbkText f = File("f.bin", "file content");
  const GbkText out = program_.File("threads.patch2");
  host.AnswerFileDialog(out);
  Run(host, [&] {
    host.Drop(loaded);
    for (int i = 0; i < 50; ++i) {
      const int row = host.AppendRow(patchmaker::kList, "f" + std::to_string(i));
      host.SetItemText(patchmaker::kList, row, 1, f);
    }
    host.Click(patchmaker::kGenerateButton);
    host.StartDeferredWorkers();
    for (int i = 0; i < 5; ++i) host.Drop(loaded);
    host.JoinWorkers();
  });
  const Messages m = host.messages();
  EXPECT_EQ(std::count(m.begin(), m.end(), std::make_pair(GbkText("补丁生成"), GbkText("成功"))), 1);
  EXPECT_EQ(std::count(m.begin(), m.end(), std::make_pair(GbkText("信息："), GbkText("补丁载入完成"))), 6);
  patchmaker::PatchFile patch;
  auto file = host::PlatformFiles().OpenExisting(out);
  ASSERT_EQ(patchmaker::ReadPatchFile(file.get(), patchmaker::PatchVersion::kV02, patchmaker::DefaultPatchKeyStream(),
                                      false, &patch),
            patchmaker::PatchReadStatus::kOk);
  EXPECT_GE(patch.entry_count, 52);
}

TEST_F(Commands, ProgressOfAHundredRows) {
  ScriptedHost host(program_.path());
  const GbkText f = File("f.bin", "x");
  host.AnswerFileDialog(program_.File("many.patch2"));
  Run(host, [&] {
    for (int i = 0; i < 100; ++i) {
      host.AppendRow(patchmaker::kList, "f" + std::to_string(i));
      host.SetItemText(patchmaker::kList, i, 1, f);
    }
    host.Click(patchmaker::kGenerateButton);
  });
  const std::vector<int> p = host.positions(patchmaker::kGenerateProgress);
  ASSERT_EQ(p.size(), 100u);
  EXPECT_EQ(p[28], 28) << "row 29 of 100";
  EXPECT_EQ(p[56], 56) << "row 57 of 100";
  EXPECT_EQ(p[99], 100);
}

TEST_F(Commands, GenerationFailuresWriteNothing) {
  const GbkText good = File("good.bin", "content");
  struct Case {
    const char* what;
    std::vector<std::pair<GbkText, GbkText>> rows;  // (column 0, column 1)
    Messages expected;
  };
  const Case cases[] = {
      {"placeholder in row 3",
       {{"a", good}, {"b", good}, {patchmaker::kPlaceholderName, good}},
       {{"生成失败", "第 3 行-请输入欲替换的文件名"}}},
      {"unreadable replacement", {{"a", good}, {"b", program_.File("missing.bin")}}, {{"生成失败", "第 2 行-无法读取替换文件"}}},
      {"internal id outside the table", {{"a", "内部ID7"}}, {{"生成失败", "第 1 行-补丁数据不完整"}}},
      {"name with a bar", {{"a|b", good}}, {{"生成失败", "第 1 行-文件名不能包含|或换行"}}},
      {"name with a line break", {{"a\r\nb", good}}, {{"生成失败", "第 1 行-文件名不能包含|或换行"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedHost host(program_.path());
    const GbkText target = program_.File("target.patch2");
    fixtures::WriteFile(target, "an older patch");
    host.AnswerFileDialog(target);
    Run(host, [&] {
      for (const auto& [name, path] : c.rows) {
        const int row = host.AppendRow(patchmaker::kList, name);
        host.SetItemText(patchmaker::kList, row, 1, path);
      }
      host.Click(patchmaker::kGenerateButton);
      EXPECT_TRUE(host.IsEnabled(patchmaker::kGenerateButton));
    });
    EXPECT_EQ(host.messages(), c.expected);
    EXPECT_EQ(Read(target), "an older patch");
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

TEST_F(Commands, CancelledSaveDialogAndUnwritableTarget) {
  ScriptedHost host(program_.path());
  const GbkText good = File("good.bin", "content");
  host.AnswerFileDialog(std::nullopt);
  host.AnswerFileDialog(program_.File("no such folder\\x.patch2"));
  Run(host, [&] {
    host.AppendRow(patchmaker::kList, "a");
    host.SetItemText(patchmaker::kList, 0, 1, good);
    host.Click(patchmaker::kGenerateButton);
    EXPECT_TRUE(host.messages().empty()) << "a cancel writes and shows nothing";
    EXPECT_TRUE(host.IsEnabled(patchmaker::kGenerateButton));
    host.Click(patchmaker::kGenerateButton);
  });
  EXPECT_EQ(host.messages(), (Messages{{"补丁生成", "补丁文件写入失败"}}));
}

// ---- Loading and converting ---------------------------------------------------

TEST_F(Commands, LoadThenAppendNumbering) {
  ScriptedHost host(program_.path());
  const GbkText three = File("three.patch2", fixtures::MakePatch({{"x1", "s1", 1}, {"x2", "s2", 2}, {"x3", "s3", 3}}));
  const GbkText two = File("two.patch2", fixtures::MakePatch({{"y1", "t1", 1}, {"y2", "t2", 2}}));
  Run(host, [&] {
    host.SetChecked(patchmaker::kClearCheck, true);
    host.Drop(three);
    host.SetChecked(patchmaker::kClearCheck, false);
    host.SelectRow(patchmaker::kList, 0);
    host.AnswerMenu(GbkText(patchmaker::kDeleteItem));
    host.Fire(patchmaker::kList, host::Event::RightClicked);  // delete row 1: numbers stay
    host.Drop(two);
    std::vector<GbkText> ids;
    for (int i = 0; i < host.RowCount(patchmaker::kList); ++i) ids.push_back(host.ItemText(patchmaker::kList, i, 1));
    EXPECT_EQ(ids, (std::vector<GbkText>{"内部ID2", "内部ID3", "内部ID4", "内部ID5"}));
    EXPECT_EQ(host.ItemText(patchmaker::kList, 2, 0), "y1");
    EXPECT_FALSE(host.RedrawSuspended(patchmaker::kList));
  });
}

TEST_F(Commands, DamagedPatchesAreNotLoaded) {
  ScriptedHost host(program_.path());
  const GbkText good = File("good.patch2", fixtures::MakePatch({{"x1", "s1", 1}}));
  const GbkText lying = File("lying.patch2", fixtures::MakeRawPatch(patchmaker::PatchVersion::kV02, 3, "ab",
                                                                     "x|0|2|2\r\n", 2));
  const GbkText old = File("old.patch2", fixtures::MakeRawPatch(patchmaker::PatchVersion::kV01, 1, "ab", "x|0|2|2\r\n", 2));
  Run(host, [&] {
    host.Drop(good);
    host.SetChecked(patchmaker::kClearCheck, true);
    host.Drop(lying);
    EXPECT_EQ(host.RowCount(patchmaker::kList), 0) << "emptied before reading";
    host.SetChecked(patchmaker::kClearCheck, false);
    host.Drop(old);
    host.Drop(good);
    EXPECT_EQ(host.ItemText(patchmaker::kList, 0, 1), "内部ID2") << "the table kept its entry";
  });
  EXPECT_EQ(host.messages(), (Messages{{"信息：", "补丁载入完成"},
                                       {"提示", "补丁文件已损坏，未载入"},
                                       {"提示", "打开补丁失败"},
                                       {"信息：", "补丁载入完成"}}));
}

TEST_F(Commands, ConvertAnOldPatch) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  const Bytes block = patchmaker::DeflateRawStream("new a") + patchmaker::DeflateRawStream("brand new");
  const auto c1 = patchmaker::DeflateRawStream("new a").size();
  const GbkText index = "a.txt|0|" + std::to_string(c1) + "|5\r\nnew.txt|" + std::to_string(c1) + "|" +
                        std::to_string(block.size() - c1) + "|9\r\n";
  const GbkText old = File("a.patch", fixtures::MakeRawPatch(patchmaker::PatchVersion::kV01, 2, block, index,
                                                               static_cast<std::int32_t>(block.size())));
  const GbkText truncated = File("t.patch", fixtures::MakeRawPatch(patchmaker::PatchVersion::kV01, 1, "ab", "x|0|2|2\r\n", 50));
  host.AnswerQuestion(true);
  host.AnswerQuestion(true);
  Run(host, [&] {
    host.Drop(old + "\r\n" + truncated + "\r\n");
    EXPECT_EQ(host.RowCount(patchmaker::kList), 0) << "conversion adds no row";
    host.SetCurrentPage(patchmaker::kTab, 1);
    host.AnswerQuestion(true);
    host.Drop(old + "2");
  });
  EXPECT_EQ(host.messages(), (Messages{{"提示", "旧补丁已损坏，未转换"}, {"提示", old + "2\r\n安装成功"}}));
  EXPECT_FALSE(std::filesystem::exists(NativeFolder(truncated + "2")));
  EXPECT_EQ(Entry("a.txt"), "new a");
  EXPECT_EQ(Entry("new.txt"), "brand new");
  // The same entries generated give the same file.
  EXPECT_EQ(Read(old + "2"), fixtures::MakePatch({{"a.txt", patchmaker::DeflateRawStream("new a"), 5},
                                                  {"new.txt", patchmaker::DeflateRawStream("brand new"), 9}}));
}

// ---- List editing and drops ----------------------------------------------------

TEST_F(Commands, DroppedFilesBecomeRows) {
  struct Case {
    const char* what;
    GbkText save_directory;
    GbkText dropped;
    std::vector<std::pair<GbkText, GbkText>> rows;
  };
  const Case cases[] = {
      {"name from the save directory", "D:\\unpacked", "D:\\unpacked\\Data\\UI\\a.png",
       {{"..\\data\\ui\\a.png", "D:\\unpacked\\Data\\UI\\a.png"}}},
      {"trailing backslash", "D:\\unpacked\\", "D:\\unpacked\\Data\\b.PNG", {{"..data\\b.png", "D:\\unpacked\\Data\\b.PNG"}}},
      {"path outside, by length only", "D:\\unpacked", "E:\\Other\\Deep\\X.BIN", {{"..ep\\x.bin", "E:\\Other\\Deep\\X.BIN"}}},
      {"not longer than the save directory", "D:\\unpacked", "D:\\a", {{"..", "D:\\a"}}},
      {"no save directory", "", "D:\\a.png", {{patchmaker::kPlaceholderName, "D:\\a.png"}}},
      {"three pieces, upper-case extension is a file", "", "a.PATCH2\r\nb\r\nc.txt\r\n",
       {{patchmaker::kPlaceholderName, "a.PATCH2"}, {patchmaker::kPlaceholderName, "b"}, {patchmaker::kPlaceholderName, "c.txt"}}},
      {"GBK characters stay whole", "D:\\u", "D:\\u\\誠ABC", {{"..\\誠abc", "D:\\u\\誠ABC"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(NativeFolder(program_.File("Config.ini")), std::ios::binary | std::ios::trunc)
        << "[目录]\r\n保存目录=" << c.save_directory << "\r\n";
    ScriptedHost host(program_.path());
    Run(host, [&] {
      host.Drop(c.dropped);
      ASSERT_EQ(host.RowCount(patchmaker::kList), static_cast<int>(c.rows.size()));
      for (std::size_t i = 0; i < c.rows.size(); ++i) {
        EXPECT_EQ(testing_support::ToHex(host.ItemText(patchmaker::kList, static_cast<int>(i), 0)),
                  testing_support::ToHex(c.rows[i].first));
        EXPECT_EQ(host.ItemText(patchmaker::kList, static_cast<int>(i), 1), c.rows[i].second);
      }
    });
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

TEST_F(Commands, EditAndDeleteRows) {
  ScriptedHost host(program_.path());
  Run(host, [&] {
    host.AppendRow(patchmaker::kList, "first");
    host.AppendRow(patchmaker::kList, "second");
    host.Fire(patchmaker::kList, host::Event::DoubleClicked);  // nothing selected: no box
    host.Fire(patchmaker::kList, host::Event::RightClicked);   // nothing selected: no menu
    host.SelectRow(patchmaker::kList, 1);
    host.AnswerInputBox(GbkText(" edited "));
    host.Fire(patchmaker::kList, host::Event::DoubleClicked);
    EXPECT_EQ(host.ItemText(patchmaker::kList, 1, 0), " edited ");
    host.AnswerInputBox(std::nullopt);
    host.Fire(patchmaker::kList, host::Event::DoubleClicked);
    host.AnswerInputBox(GbkText());
    host.Fire(patchmaker::kList, host::Event::DoubleClicked);
    EXPECT_EQ(host.ItemText(patchmaker::kList, 1, 0), " edited ");
    host.SelectRow(patchmaker::kList, 0);
    host.AnswerMenu(GbkText(patchmaker::kDeleteItem));
    host.Fire(patchmaker::kList, host::Event::RightClicked);
    EXPECT_EQ(host.RowCount(patchmaker::kList), 1);
    EXPECT_EQ(host.ItemText(patchmaker::kList, 0, 0), " edited ");
  });
  const auto shown = host.shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, "请输入欲替换的文件名");
  EXPECT_EQ(shown[0].request.file_name, "second") << "initial text";
  EXPECT_EQ(shown[3].kind, ScriptedHost::Shown::Menu);
}

TEST_F(Commands, ChooseButtonSetsAndCancelEmptiesTheFolder) {
  ScriptedHost host(program_.path());
  host.AnswerFolderPicker(game_);
  host.AnswerFolderPicker("");
  Run(host, [&] {
    host.Click(patchmaker::kChooseButton);
    EXPECT_EQ(host.GetText(patchmaker::kFolderEdit), game_);
    host.Click(patchmaker::kChooseButton);
    EXPECT_EQ(host.GetText(patchmaker::kFolderEdit), "");
    EXPECT_EQ(patchmaker::InstallDirectory(), "");
  });
  EXPECT_EQ(host::ReadProfileFile(program_.File("Config.ini"), "目录", "安装目录"), game_) << "Config.ini keeps it";
}

// ---- File type and command line -------------------------------------------

TEST(CommandLine, JoinCommandLine) {
  // The program's own path; rows that do not name it run from elsewhere.
  const GbkText spaced = "C:\\Program Files\\Qelmar 工具\\patchmaker.exe";
  struct Case {
    GbkText line;
    GbkText joined;
    GbkText program = "D:\\elsewhere\\pm.exe";
  };
  const Case cases[] = {
      {"C:\\p\\patchmaker.exe", ""},
      {"patchmaker.exe C:\\my games\\x.patch2", "C:\\my games\\x.patch2"},
      {"patchmaker.exe \"C:\\my games\\x.patch2\"", "C:\\my games\\x.patch2"},
      {"\"C:\\Program Files\\patchmaker.exe\" x.patch2", "x.patch2"},
      {"\"C:\\Program Files\\patchmaker.exe\"", ""},
      {"C:\\Program Files\\patchmaker.exe", "Files\\patchmaker.exe"},
      {"pm.exe a \"\" b", "a  b"},
      {"pm.exe a\t\tb   c", "a b c"},
      {"pm.exe D:\\誠\\東.patch2", "D:\\誠\\東.patch2"},
      {"pm.exe \"D:\\誠\"x", "D:\\誠 x"},
      {"pm.exe \"unclosed arg", "unclosed arg"},
      // A lead byte takes a double quote after it, quoted or plain.
      {"pm.exe \"a\x81\"b\" c", "a\x81\"b c"},
      {"pm.exe x\x81\"y", "x\x81\"y"},
      // The association's command: the program's own path, unquoted, blanks and all.
      {spaced + " C:\\my games\\x.patch2", "C:\\my games\\x.patch2", spaced},
      {"c:\\PROGRAM files\\qelmar 工具\\PatchMaker.EXE x.patch2", "x.patch2", spaced},
      {spaced, "", spaced},
      {"\"" + spaced + "\" x.patch2", "x.patch2", spaced},
      {spaced + "x y", "Files\\Qelmar 工具\\patchmaker.exex y", spaced},
      // Only ASCII letters match in either case: 0x81 0x41 is not 0x81 0x61.
      {"C:\\Q \x81\x61\\pm.exe x", "\x81\x61\\pm.exe x", "C:\\Q \x81\x41\\pm.exe"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(testing_support::ToHex(patchmaker::JoinCommandLine(c.line, c.program)), testing_support::ToHex(c.joined))
        << c.line;
}

TEST(CommandLine, FileTypeValuesInOrderStoppingAtTheFirstFailure) {
  fixtures::TempDir dir;
  {
    ScriptedHost host(dir.path(), "patchmaker.exe");
    EXPECT_TRUE(patchmaker::RegisterPatchFileType("C:\\pm\\patchmaker.exe", "patch2", "C:\\pm\\patchmaker.exe"));
    using Writes = std::vector<std::pair<GbkText, GbkText>>;
    EXPECT_EQ(host.classes_writes(), (Writes{{".patch2", "patch2file"},
                                             {"patch2file", "patch2"},
                                             {"patch2file\\DefaultIcon", "C:\\pm\\patchmaker.exe,0"},
                                             {"patch2file\\shell\\open\\command", "C:\\pm\\patchmaker.exe %1"}}));
  }
  ScriptedHost host(dir.path(), "patchmaker.exe");
  host.FailClassesWrite("patch2file");
  EXPECT_FALSE(patchmaker::RegisterPatchFileType("x", "patch2", "x"));
  EXPECT_EQ(host.classes_writes().size(), 1u);
}

TEST_F(Commands, EveryStartRegistersTheFileType) {
  ScriptedHost host(program_.path(), "patchmaker.exe");
  Run(host, [] {});
  ASSERT_EQ(host.classes_writes().size(), 4u);
  EXPECT_EQ(host.classes_writes()[3].second, program_.path() + "\\patchmaker.exe %1");
}

TEST(FileExtension, Cases) {
  EXPECT_EQ(patchmaker::GetFileExtension("a.b.patch2"), "patch2");
  EXPECT_EQ(patchmaker::GetFileExtension("C:\\dir\\noext"), "C:\\dir\\noext");
  EXPECT_EQ(patchmaker::GetFileExtension("trailing."), "");
  EXPECT_EQ(patchmaker::GetFileExtension("x.PATCH2"), "PATCH2");
}

TEST(Deflate, EmptyInputGivesEmptyOutput) {
  EXPECT_TRUE(patchmaker::DeflateRawStream("").empty());
  const Bytes s = patchmaker::DeflateRawStream("hello hello hello");
  EXPECT_EQ(patchmaker::InflateRawStream(s, 17), "hello hello hello");
}

// ---- Installs: the button, turns on the archive, memory, the loading window ----

TEST_F(Commands, TheInstallClickDisablesItsButtonUntilTheWorkerEnds) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  host.SetWorkerMode(ScriptedHost::WorkerMode::Deferred);
  host.AnswerFileDialog(Patch());
  Run(host, [&] {
    host.Click(patchmaker::kInstallButton);
    EXPECT_FALSE(host.IsEnabled(patchmaker::kInstallButton)) << "disabled before the worker runs";
    host.Click(patchmaker::kInstallButton);  // a fast second click
    EXPECT_EQ(host.RunDeferredWorkers(), 1u) << "one worker only";
    EXPECT_TRUE(host.IsEnabled(patchmaker::kInstallButton));
    EXPECT_EQ(patchmaker::RunningWorkers().load(), 0);
  });
  EXPECT_EQ(host.messages(), (Messages{{"提示", "安装成功"}}));
  EXPECT_EQ(host.unexpected_dialogs(), 0);
}

TEST_F(Commands, ADropInstallAfterAFailedCommandLineEndsTheProgramOnlyWhenNoWorkerRuns) {
  for (const bool generating : {false, true}) {
    SCOPED_TRACE(generating ? "a generation runs" : "no worker");
    WriteConfig(game_);
    ScriptedHost host(program_.path());
    host.SetWorkerMode(ScriptedHost::WorkerMode::Deferred);
    const GbkText bad = File("bad.patch2", "no patch at all");
    const GbkText patch = Patch();
    const GbkText out = program_.File("gen.patch2");
    host.SetCommandLine("C:\\tools\\patchmaker.exe " + bad);
    bool ran_on = false;
    const int code = Run(host, [&] {
      if (generating) {
        const int row = host.AppendRow(patchmaker::kList, "g.txt");
        host.SetItemText(patchmaker::kList, row, 1, File("g.bin", "generated"));
        host.AnswerFileDialog(out);
        host.Click(patchmaker::kGenerateButton);  // its worker waits
      }
      host.AnswerQuestion(true);
      host.Drop(patch);
      ran_on = true;
      EXPECT_FALSE(host.IsLoaded(patchmaker::kLoadingWindow)) << "the loading window is closed";
      EXPECT_TRUE(host.IsLoaded(patchmaker::kMainWindow));
      EXPECT_EQ(host.RunDeferredWorkers(), 1u);
      EXPECT_TRUE(host.UserCloses(patchmaker::kMainWindow));
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ran_on, generating) << "the program ended at the drop only when no worker ran";
    EXPECT_EQ(Entry("a.txt"), "new a");
    const Messages m = host.messages();
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[0], std::make_pair(GbkText("提示"), GbkText("打开补丁失败")));
    EXPECT_EQ(m[1], std::make_pair(GbkText("提示"), patch + "\r\n安装成功"));
    if (generating) {
      EXPECT_EQ(m.back(), std::make_pair(GbkText("补丁生成"), GbkText("成功")));
      EXPECT_EQ(Read(out).compare(0, 13, "QelPATCH V0.2"), 0) << "the generation ran to its end";
    }
    SetUp();
  }
}

TEST_F(Commands, TwoDroppedPatchesTheFirstFailing) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  const GbkText bad = File("bad.patch2", "no patch at all");
  const GbkText good = Patch();
  host.AnswerQuestion(true);
  Run(host, [&] {
    host.SetCurrentPage(patchmaker::kTab, 1);
    host.Drop(bad + "\r\n" + good + "\r\n");
  });
  EXPECT_EQ(host.messages(), (Messages{{"提示", "打开补丁失败"}, {"提示", good + "\r\n安装成功"}}));
  EXPECT_EQ(Entry("a.txt"), "new a");
  EXPECT_EQ(Entry("new.txt"), "brand new");
}

// Another process installing into the same Data.vnt (patchmaker started again
// by the shell, or patchsetup).
class CommandsBesideAnotherProcess : public Commands {
 protected:
  void SetUp() override {
    Commands::SetUp();
    host::SetInstallLocks(&locks_);
  }
  void TearDown() override {
    host::SetInstallLocks(nullptr);
    Commands::TearDown();
  }
  host::ScriptedArchiveLocks locks_;
};

TEST_F(CommandsBesideAnotherProcess, ButtonAndDropAreRefused) {
  WriteConfig(game_);
  const Bytes before = Read(Archive());
  ScriptedHost host(program_.path());
  host.AnswerFileDialog(Patch());
  host.AnswerQuestion(true);
  locks_.HoldElsewhere(Archive());
  Run(host, [&] {
    host.Click(patchmaker::kInstallButton);
    EXPECT_TRUE(host.IsEnabled(patchmaker::kInstallButton));
    host.SetCurrentPage(patchmaker::kTab, 1);
    host.Drop(Patch());
  });
  const GbkText busy = "正在安装补丁，请等待安装完成";
  EXPECT_EQ(host.messages(), (Messages{{"提示", busy}, {"提示", busy}}));
  EXPECT_EQ(locks_.refusals(), 2);
  EXPECT_EQ(Read(Archive()), before);
}

TEST_F(CommandsBesideAnotherProcess, TheCommandLineWaitsItsTurn) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  const GbkText patch = Patch();
  const GbkText theirs = File("theirs.patch2", fixtures::MakePatch({{"b.txt", patchmaker::DeflateRawStream("their b"), 7},
                                                                    {"new.txt", patchmaker::DeflateRawStream("theirs"), 6}}));
  host.SetCommandLine("C:\\tools\\patchmaker.exe " + patch);
  locks_.HoldElsewhere(Archive());
  bool waited_with_the_loading_window = false;
  locks_.WhenWaiting([&](const GbkText& path) {
    waited_with_the_loading_window = host.IsLoaded(patchmaker::kLoadingWindow) &&
                                     host.GetText(patchmaker::kLoadingLabel) == patch + "\r\n载入中：";
    host::ScriptedFramework their_ui;
    patchmaker::InstallRequest other;
    other.patch_path = theirs;
    other.install_directory = game_;
    other.key_stream = patchmaker::DefaultPatchKeyStream();
    EXPECT_EQ(patchmaker::ApplyPatchToArchive(their_ui, host::PlatformFiles(), other).outcome,
              patchmaker::InstallOutcome::kInstalled);
    locks_.ReleaseElsewhere(path);
  });
  EXPECT_EQ(Run(host, [] {}), 0);
  EXPECT_EQ(locks_.waits(), 1);
  EXPECT_TRUE(waited_with_the_loading_window);
  EXPECT_EQ(host.messages(), (Messages{{"提示", patch + "\r\n安装成功"}}));
  EXPECT_EQ(Entry("a.txt"), "new a");
  EXPECT_EQ(Entry("b.txt"), "their b");
  EXPECT_EQ(Entry("new.txt"), "brand new") << "ours came second";
  EXPECT_EQ(fixtures::ParseArchive(Read(Archive())).count, 3) << "new.txt added by theirs, replaced by ours";
}

TEST_F(Commands, AnInstallOutOfMemorySaysSoAndWritesNothing) {
  WriteConfig(game_);
  const Bytes before = Read(Archive());
  const GbkText big = File("big.patch2", fixtures::MakePatch({{"a.txt", Bytes(4 << 20, 'z'), 5}}));
  const GbkText bad = File("bad.patch2", "no patch at all");
  const std::pair<GbkText, GbkText> out_of_memory{"提示", "内存不足，补丁未安装"};
  for (const char* way : {"button", "drop", "command line"}) {
    SCOPED_TRACE(way);
    ScriptedHost host(program_.path());
    const GbkText command_line = way == std::string("command line") ? "C:\\pm.exe " + big : "";
    host.SetCommandLine(command_line);
    host.AnswerFileDialog(big);
    host.AnswerQuestion(true);
    bool ran_on = false;
    {
      testing_support::AllocationLimit limit(1 << 20);
      Run(host, [&] {
        ran_on = true;
        if (way == std::string("button")) host.Click(patchmaker::kInstallButton);
        if (way == std::string("drop")) {
          host.SetCurrentPage(patchmaker::kTab, 1);
          host.Drop(big);
        }
        EXPECT_TRUE(host.IsEnabled(patchmaker::kInstallButton));
      });
      EXPECT_GT(testing_support::AllocationLimit::Refused(), 0u);
    }
    EXPECT_TRUE(ran_on) << "the program runs on";
    EXPECT_EQ(host.messages(), (Messages{out_of_memory}));
    EXPECT_EQ(Read(Archive()), before);
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

}  // namespace

namespace {

// ---- Memory, the generate button, names and the deflate stream ---------------

using testing_support::AllocationLimit;

// The files of a folder, to see that nothing was left in it.
std::set<GbkText> FilesIn(const GbkText& folder) {
  std::set<GbkText> names;
  for (const auto& entry : std::filesystem::directory_iterator(host::NativePath(folder)))
    names.insert(entry.path().filename().string());
  return names;
}

// A stream fixture of `size` bytes that no two entries share.
Bytes Stream(char tag, std::size_t size) { return fixtures::StreamBytes(tag, size); }

constexpr std::size_t kBigStream = 24 * 1024;
// Larger than any one stream, smaller than the data blocks below.
constexpr std::size_t kLimit = 32 * 1024;

class CommandsInLittleMemory : public Commands {
 protected:
  // Four streams of 24 KiB: a 96 KiB data block.
  std::vector<PatchEntry> BigEntries() const {
    std::vector<PatchEntry> entries;
    for (char tag : {'p', 'q', 'r', 's'}) entries.push_back({GbkText("big\\") + tag, Stream(tag, kBigStream), 1});
    return entries;
  }
  void AddRow(ScriptedHost& host, const GbkText& name, const GbkText& replacement) {
    const int row = host.AppendRow(patchmaker::kList, name);
    host.SetItemText(patchmaker::kList, row, 1, replacement);
  }
  std::vector<GbkText> Column(ScriptedHost& host, int column) {
    std::vector<GbkText> texts;
    for (int i = 0; i < host.RowCount(patchmaker::kList); ++i) texts.push_back(host.ItemText(patchmaker::kList, i, column));
    return texts;
  }
};

TEST_F(CommandsInLittleMemory, LoadingReadsEachStreamAloneNeverTheDataBlock) {
  ScriptedHost host(program_.path());
  const Bytes bytes = fixtures::MakePatch(BigEntries());
  const GbkText big = File("big.patch2", bytes);
  const GbkText again = program_.File("again.patch2");
  host.AnswerFileDialog(again);
  Run(host, [&] {
    {
      AllocationLimit limit(kLimit);
      host.Drop(big);
      EXPECT_EQ(AllocationLimit::Refused(), 0u);
    }
    EXPECT_EQ(Column(host, 1), (std::vector<GbkText>{"内部ID1", "内部ID2", "内部ID3", "内部ID4"}));
    host.Click(patchmaker::kGenerateButton);
  });
  EXPECT_EQ(host.messages(), (Messages{{"信息：", "补丁载入完成"}, {"补丁生成", "成功"}}));
  EXPECT_TRUE(Read(again) == bytes) << "every entry's stream was read whole into its entry";
}

TEST_F(CommandsInLittleMemory, ConversionReadsTheOldFileOnceAndHoldsItsBlockOnce) {
  ScriptedHost host(program_.path());
  Bytes block;
  GbkText index;
  for (const PatchEntry& e : BigEntries()) {
    index += e.name + "|" + std::to_string(block.size()) + "|" + std::to_string(e.stream.size()) + "|1\r\n";
    block += e.stream;
  }
  const GbkText old = File("big.patch", fixtures::MakeRawPatch(patchmaker::PatchVersion::kV01, 4, block, index,
                                                               static_cast<std::int32_t>(block.size())));
  host.AnswerQuestion(true);
  Run(host, [&] {
    AllocationLimit limit(block.size() + 64);  // the block and what is small beside it
    host.Drop(old);
    EXPECT_EQ(AllocationLimit::Refused(), 0u);
  });
  EXPECT_TRUE(host.messages().empty());
  EXPECT_TRUE(Read(old + "2") == fixtures::MakePatch(BigEntries()));
}

TEST_F(CommandsInLittleMemory, RunningOutOfMemoryIsSaidAndLeavesEverythingAsItWas) {
  // Loads on the window thread: the table and the list keep matching.
  {
    ScriptedHost host(program_.path());
    const GbkText small = File("small.patch2", fixtures::MakePatch({{"x1", "s1", 1}, {"x2", "s2", 2}}));
    const GbkText big = File("big.patch2", fixtures::MakePatch(BigEntries()));
    const GbkText out = program_.File("out.patch2");
    host.AnswerFileDialog(out);
    Run(host, [&] {
      host.Drop(small);
      {
        AllocationLimit limit(kBigStream / 2);
        host.Drop(big);  // appended: rows and entries as before
        host.SetChecked(patchmaker::kClearCheck, true);
        host.Drop(small);  // loaded afresh: fits
        host.Drop(big);    // loaded afresh: the list and the table emptied
        host.SetChecked(patchmaker::kClearCheck, false);
      }
      EXPECT_EQ(host.RowCount(patchmaker::kList), 0);
      host.Drop(small);
      EXPECT_EQ(Column(host, 1), (std::vector<GbkText>{"内部ID1", "内部ID2"})) << "the table was emptied with the list";
      host.Click(patchmaker::kGenerateButton);
    });
    const GbkText no_memory = "内存不足，补丁未载入";
    EXPECT_EQ(host.messages(), (Messages{{"信息：", "补丁载入完成"},
                                         {"提示", no_memory},
                                         {"信息：", "补丁载入完成"},
                                         {"提示", no_memory},
                                         {"信息：", "补丁载入完成"},
                                         {"补丁生成", "成功"}}));
    EXPECT_EQ(Read(out), Read(small));
  }
  // A conversion on the window thread.
  {
    ScriptedHost host(program_.path());
    const Bytes block = Stream('o', 2 * kBigStream);
    const GbkText old = File("old.patch", fixtures::MakeRawPatch(patchmaker::PatchVersion::kV01, 1, block,
                                                                 "o|0|" + std::to_string(block.size()) + "|1\r\n",
                                                                 static_cast<std::int32_t>(block.size())));
    const std::set<GbkText> before = FilesIn(program_.path());
    host.AnswerQuestion(true);
    Run(host, [&] {
      AllocationLimit limit(kBigStream);
      host.Drop(old);
    });
    EXPECT_EQ(host.messages(), (Messages{{"提示", "内存不足，旧补丁未转换"}}));
    EXPECT_EQ(FilesIn(program_.path()), before) << "no .patch2 and no temporary file";
  }
  // Generations: the rows made on the worker itself, or on the compressor
  // threads beside it.
  const GbkText big_file = File("big.bin", Stream('f', 2 * kBigStream));
  const GbkText small_file = File("small.bin", "small");
  for (const int threads : {1, 0}) {
    SCOPED_TRACE(threads == 1 ? "one thread" : "one per core");
    ScriptedHost host(program_.path());
    const GbkText target = File("target.patch2", "an older patch");
    const std::set<GbkText> before = FilesIn(program_.path());
    host.AnswerFileDialog(target);
    host.AnswerFileDialog(target);
    patchmaker::SetCompressionThreads(threads);
    Run(host, [&] {
      AddRow(host, "a", small_file);
      AddRow(host, "b", big_file);
      AddRow(host, "c", small_file);
      {
        AllocationLimit limit(kBigStream);
        host.Click(patchmaker::kGenerateButton);
      }
      EXPECT_TRUE(host.IsEnabled(patchmaker::kGenerateButton));
      EXPECT_EQ(patchmaker::RunningWorkers().load(), 0);
      host.Click(patchmaker::kGenerateButton);  // and again with memory to spare
    });
    patchmaker::SetCompressionThreads(0);
    EXPECT_EQ(host.messages(), (Messages{{"生成失败", "内存不足，补丁未生成"}, {"补丁生成", "成功"}}));
    EXPECT_EQ(FilesIn(program_.path()), before) << "no temporary file";
    EXPECT_EQ(Read(target).at(112), '\x03') << "the second one wrote its three rows";
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

TEST_F(CommandsInLittleMemory, RowsWithinTheBudgetGiveTheSameFileAsOneThread) {
  // A budget smaller than most rows: each of those is made alone, the small
  // ones beside each other, and the file is the one of one thread.
  std::vector<std::pair<GbkText, GbkText>> rows;
  const std::size_t sizes[] = {9000, 100, 0, 30000, 700, 700, 20000, 1, 5000, 64000, 3};
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    const GbkText name = "f" + std::to_string(i);
    rows.push_back({name, File(name + ".bin", Stream(static_cast<char>('a' + i), sizes[i]))});
  }
  const GbkText loaded = File("l.patch2", fixtures::MakePatch({{"x1", Stream('x', 6000), 6000}, {"x2", "", 0}}));
  const auto generate = [&](int threads, std::size_t budget, const GbkText& out) {
    ScriptedHost host(program_.path());
    host.AnswerFileDialog(out);
    patchmaker::SetCompressionThreads(threads);
    patchmaker::SetGenerationBudget(budget);
    Run(host, [&] {
      host.Drop(loaded);
      for (const auto& [name, path] : rows) AddRow(host, name, path);
      host.Click(patchmaker::kGenerateButton);
    });
    patchmaker::SetCompressionThreads(0);
    patchmaker::SetGenerationBudget(0);
    EXPECT_EQ(host.messages().back(), (std::pair<GbkText, GbkText>{"补丁生成", "成功"}));
    EXPECT_EQ(host.positions(patchmaker::kGenerateProgress).size(), rows.size() + 2);
    host::ResetBindingForTests();
    fixtures::BindLibrary();
    return Read(out);
  };
  const Bytes one = generate(1, 0, program_.File("one.patch2"));
  for (const std::size_t budget : {std::size_t{1}, std::size_t{4096}, std::size_t{40000}, std::size_t{0}}) {
    SCOPED_TRACE(budget);
    EXPECT_TRUE(generate(4, budget, program_.File("four.patch2")) == one);
  }
}

TEST_F(Commands, TheGenerateButtonIsDisabledByItsClickUntilTheWorkerEnds) {
  ScriptedHost host(program_.path());
  const GbkText f = File("f.bin", "content");
  const GbkText out = program_.File("out.patch2");
  host.AnswerFileDialog(out);
  host.AnswerFileDialog(out);
  host.SetWorkerMode(ScriptedHost::WorkerMode::Deferred);
  Run(host, [&] {
    const int row = host.AppendRow(patchmaker::kList, "a");
    host.SetItemText(patchmaker::kList, row, 1, f);
    host.Click(patchmaker::kGenerateButton);  // started, not yet running
    EXPECT_FALSE(host.IsEnabled(patchmaker::kGenerateButton));
    EXPECT_EQ(patchmaker::RunningWorkers().load(), 1);
    host.Click(patchmaker::kGenerateButton);  // a second click of a double click
    EXPECT_EQ(host.RunDeferredWorkers(), 1u) << "one generation only";
    EXPECT_TRUE(host.IsEnabled(patchmaker::kGenerateButton));
    EXPECT_EQ(patchmaker::RunningWorkers().load(), 0);

    // No thread could be started: the button comes back, and the next click
    // generates.
    host.SetWorkerMode(ScriptedHost::WorkerMode::Refused);
    host.Click(patchmaker::kGenerateButton);
    EXPECT_TRUE(host.IsEnabled(patchmaker::kGenerateButton));
    EXPECT_EQ(patchmaker::RunningWorkers().load(), 0);
    host.SetWorkerMode(ScriptedHost::WorkerMode::Inline);
    host.Click(patchmaker::kGenerateButton);
    EXPECT_TRUE(host.UserCloses(patchmaker::kMainWindow));
  });
  EXPECT_EQ(host.messages(), (Messages{{"补丁生成", "成功"}, {"补丁生成", "成功"}}));
  EXPECT_EQ(host.PendingAnswers(), 0u);
}

TEST_F(Commands, NamesAreCheckedByGbkCharacters) {
  struct Case {
    const char* what;
    GbkText name;
    bool refused;
  };
  const Case cases[] = {
      {"trail byte 0x7C of 東", "图\\東.dds", false},
      {"trail byte 0x7C of a lone pair", "\x81|x", false},
      {"a bar of its own after a character", "東|x", true},
      {"a line feed of its own", "a\nb", true},
      {"a lead byte at the end, which would take the bar after it", "a\x81", true},
  };
  const GbkText good = File("good.bin", "content");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedHost host(program_.path());
    const GbkText out = program_.File("names.patch2");
    std::filesystem::remove(NativeFolder(out));
    host.AnswerFileDialog(out);
    Run(host, [&] {
      const int row = host.AppendRow(patchmaker::kList, c.name);
      host.SetItemText(patchmaker::kList, row, 1, good);
      host.Click(patchmaker::kGenerateButton);
    });
    if (c.refused) {
      EXPECT_EQ(host.messages(), (Messages{{"生成失败", "第 1 行-文件名不能包含|或换行"}}));
      EXPECT_FALSE(std::filesystem::exists(NativeFolder(out)));
    } else {
      EXPECT_EQ(host.messages(), (Messages{{"补丁生成", "成功"}}));
      patchmaker::PatchFile patch;
      auto file = host::PlatformFiles().OpenExisting(out);
      ASSERT_EQ(patchmaker::ReadPatchFile(file.get(), patchmaker::PatchVersion::kV02,
                                          patchmaker::DefaultPatchKeyStream(), false, &patch),
                patchmaker::PatchReadStatus::kOk);
      EXPECT_EQ(testing_support::ToHex(patch.lines.at(0).name), testing_support::ToHex(c.name)) << "reads back whole";
    }
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

TEST_F(Commands, ALoadedPatchWithATrailByteBarGeneratesAgainByteForByte) {
  ScriptedHost host(program_.path());
  ASSERT_EQ(testing_support::ToHex(GbkText("東")), "967c");
  const Bytes bytes = fixtures::MakePatch({{"图\\東.dds", Stream('t', 40), 99}, {"b", Stream('u', 7), 7}});
  const GbkText loaded = File("east.patch2", bytes);
  const GbkText again = program_.File("again.patch2");
  host.AnswerFileDialog(again);
  Run(host, [&] {
    host.Drop(loaded);
    host.Click(patchmaker::kGenerateButton);
  });
  EXPECT_EQ(host.messages(), (Messages{{"信息：", "补丁载入完成"}, {"补丁生成", "成功"}}));
  EXPECT_EQ(testing_support::ToHex(Read(again)), testing_support::ToHex(bytes));
}

// Text that matches itself often at every distance, so that each level's
// search limits give a stream of their own.
Bytes Wordy(std::size_t size, std::uint32_t seed) {
  static const char* const kWords[] = {"patch", "archive", "index", "stream", "Qelmar", "data", "map", "file",
                                       ".dds", "\\", " ", "\r\n", "0", "17", "entry"};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) out += kWords[rng() % std::size(kWords)];
  out.resize(size);
  return out;
}

TEST(Deflate, TheStreamIsZlibsOneShotCompressAtTheDefaultLevel) {
  std::mt19937 rng(5);
  Bytes random(10000, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"one byte", "a"},
      {"a short text", "hello hello hello, patch hello"},
      {"4 KiB of words", Wordy(4096, 1)},
      {"64 KiB of words", Wordy(64 * 1024, 2)},
      {"300 KiB of words, past the window and a block", Wordy(300 * 1024, 3)},
      {"random bytes", random},
  };
  for (const auto& c : cases) {
    Bytes expected(compressBound(static_cast<uLong>(c.data.size())), '\0');
    uLongf size = static_cast<uLongf>(expected.size());
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(&expected[0]), &size, reinterpret_cast<const Bytef*>(c.data.data()),
                       static_cast<uLong>(c.data.size())),
              Z_OK);
    expected.resize(size);
    const Bytes ours = patchmaker::DeflateRawStream(c.data);
    EXPECT_EQ(ours.size(), expected.size()) << c.what;
    EXPECT_TRUE(ours == expected) << c.what;
  }
}

// ---- Command lines, drops and the loading window ------------------------------

TEST_F(Commands, CommandLinesThatInstall) {
  struct Case {
    const char* what;
    GbkText program_folder;  // "": the fixture's
    GbkText patch_name;
    bool own_path_first;  // the line starts with the program's own path, else another
  };
  const Case cases[] = {
      // Exactly what the association's command gives: neither path quoted.
      {"program in a folder with blanks", "\\Program Files\\Qelmar 工具", "with blank.patch2", true},
      {"any extension", "", "with blank.bin", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const GbkText folder = program_.path() + c.program_folder;
    ScriptedHost host(folder);
    host.SetUserRegistry("Software\\Vantro\\QelmarClient", "QelmarPath", game_);
    const GbkText content = GbkText("from ") + c.what;
    const GbkText patch = File(c.patch_name, fixtures::MakePatch({{"b.txt", patchmaker::DeflateRawStream(content),
                                                                   static_cast<std::int32_t>(content.size())}}));
    const GbkText program = c.own_path_first ? folder + "\\patchmaker.exe" : GbkText("C:\\tools\\patchmaker.exe");
    host.SetCommandLine(program + " " + patch);
    EXPECT_EQ(Run(host, [] {}), 0);
    EXPECT_EQ(host.messages(), (Messages{{"提示", patch + "\r\n安装成功"}}));
    EXPECT_EQ(Entry("b.txt"), content);
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

TEST_F(Commands, TheLoadingWindowNamesThePatchBeforeItsInstallStarts) {
  WriteConfig(game_);
  ScriptedHost host(program_.path());
  const GbkText bad = File("bad.patch2", "no patch at all");
  host.SetCommandLine("C:\\tools\\patchmaker.exe " + bad);
  GbkText label_at_failure;
  host.OnShown([&](const ScriptedHost::Shown&) { label_at_failure = host.GetText(patchmaker::kLoadingLabel); });
  Run(host, [&] {
    // Either window may be closed first; both are the user's to close.
    EXPECT_TRUE(host.UserCloses(patchmaker::kMainWindow));
    EXPECT_TRUE(host.UserCloses(patchmaker::kLoadingWindow));
    EXPECT_TRUE(host.loaded_windows().empty());
  });
  EXPECT_EQ(label_at_failure, bad + "\r\n载入中：");
  EXPECT_EQ(host.messages(), (Messages{{"提示", "打开补丁失败"}}));
}

TEST_F(Commands, EachDroppedPatchOnTheGeneratePageIsTakenOnItsOwn) {
  ScriptedHost host(program_.path());
  const GbkText first = File("first.patch2", fixtures::MakePatch({{"x1", "s1", 1}, {"x2", "s2", 2}}));
  const GbkText second = File("second.patch2", fixtures::MakePatch({{"y1", "t1", 1}}));
  const Bytes stream = patchmaker::DeflateRawStream("old");
  const GbkText index = "o.txt|0|" + std::to_string(stream.size()) + "|3\r\n";
  const auto old_patch = [&](const GbkText& name) {
    return File(name, fixtures::MakeRawPatch(patchmaker::PatchVersion::kV01, 1, stream, index,
                                             static_cast<std::int32_t>(stream.size())));
  };
  const GbkText kept = old_patch("kept.patch"), converted = old_patch("converted.patch");
  host.AnswerQuestion(false);
  host.AnswerQuestion(true);
  Run(host, [&] {
    host.SetChecked(patchmaker::kClearCheck, true);
    host.Drop(first + "\r\n" + second + "\r\n" + kept + "\r\n" + converted + "\r\n");
    // Each load emptied the list first: the second patch's entry alone.
    ASSERT_EQ(host.RowCount(patchmaker::kList), 1);
    EXPECT_EQ(host.ItemText(patchmaker::kList, 0, 0), "y1");
    EXPECT_EQ(host.ItemText(patchmaker::kList, 0, 1), "内部ID1");
  });
  int conversion_questions = 0;
  for (const auto& shown : host.shown())
    if (shown.kind == ScriptedHost::Shown::Question && shown.text == "是否将旧格式.patch补丁转存新.patch2补丁")
      ++conversion_questions;
  EXPECT_EQ(conversion_questions, 2) << "one question per .patch";
  EXPECT_FALSE(std::filesystem::exists(NativeFolder(kept + "2")));
  EXPECT_TRUE(std::filesystem::exists(NativeFolder(converted + "2")));
}

TEST_F(Commands, DropOnTheInstallPageCountsEmptyPiecesAndLeavesTheEditBox) {
  ScriptedHost host(program_.path());
  const GbkText shown_folder = "C:\\elsewhere";
  host.SetUserRegistry("Software\\Vantro\\QelmarClient", "QelmarPath", shown_folder);
  const GbkText patch = Patch();
  const GbkText dropped = patch + "\r\n\r\n" + program_.File("notes.txt") + "\r\n";
  host.AnswerQuestion(true);
  Run(host, [&] {
    WriteConfig(game_);
    host.SetCurrentPage(patchmaker::kTab, 1);
    host.Drop(dropped);
    EXPECT_EQ(patchmaker::InstallDirectory(), game_);
    EXPECT_EQ(host.GetText(patchmaker::kFolderEdit), shown_folder);
  });
  const auto shown = host.shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown[0].text, "是否安装以下3个补丁\r\n" + dropped) << "the empty piece counts";
  EXPECT_EQ(host.messages(), (Messages{{"提示", patch + "\r\n安装成功"}}));
  EXPECT_EQ(Entry("a.txt"), "new a");
}

}  // namespace

// patchsetup's install buttons and workers on the scripted host: the folder
// is made sure of, the chosen patch is installed without adding entries, the
// shortfall of matched names is reported, and a running worker keeps both
// buttons disabled and the window open.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/archive_lock.h"
#include "host/binding.h"
#include "host/scripted/scripted_host.h"
#include "patchsetup/globals.h"
#include "patchsetup/install.h"
#include "patchsetup/main_window.h"
#include "patchsetup/program.h"
#include "tests/patchmaker/fixtures.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/hex.h"

namespace {

using fixtures::Bytes;
using fixtures::GbkText;
using host::ScriptedHost;
using patchmaker::PatchVersion;
using Messages = std::vector<std::pair<GbkText, GbkText>>;
using Shown = ScriptedHost::Shown;

constexpr char kSuccess[] = "安装成功";
constexpr char kInfo[] = "提示";

GbkText Shortfall(int missing) { return "安装未完成|由于文件名不匹配" + std::to_string(missing) + "个文件未安装"; }

GbkText Read(const GbkText& path) {
  Bytes b;
  host::PlatformFiles().ReadWholeFile(path, &b);
  return b;
}

GbkText NativeFolder(const GbkText& p) {
#ifdef _WIN32
  return p;
#else
  GbkText s = p;
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
#endif
}

// The button of each format.
const char* ButtonFor(PatchVersion v) {
  return v == PatchVersion::kV02 ? patchsetup::kInstallButton : patchsetup::kOldPatchButton;
}
const char* NameOf(PatchVersion v) { return v == PatchVersion::kV02 ? ".patch2" : ".patch"; }

// A patch built by the test: one distinct stream per line, back to back.
struct TestPatch {
  std::vector<GbkText> names;
  Bytes block;
  std::vector<patchmaker::PatchIndexLine> lines;
};

TestPatch MakeLines(const std::vector<GbkText>& names) {
  TestPatch p;
  p.names = names;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Bytes stream = "new stream " + std::to_string(i) + " of " + names[i];
    p.lines.push_back({names[i], static_cast<std::int32_t>(p.block.size()), static_cast<std::int32_t>(stream.size()),
                       static_cast<std::int32_t>(100 + i)});
    p.block += stream;
  }
  return p;
}

Bytes PatchBytes(const TestPatch& p, PatchVersion version) {
  return fixtures::MakeRawPatch(version, static_cast<std::int32_t>(p.lines.size()), p.block,
                                patchmaker::BuildIndexText(p.lines), static_cast<std::int32_t>(p.block.size()));
}

Bytes ArchiveOf(const std::vector<GbkText>& names) {
  std::vector<fixtures::StoredFile> files;
  for (const GbkText& n : names) files.push_back({n, "old stream of " + n, 7});
  return fixtures::BuildArchive(files);
}

// The archive as an install must leave it: the entries in `takes` (archive
// entry -> patch line, -1 for none) re-pointed at the appended block, every
// other byte as it was, nothing added.
Bytes Expected(const Bytes& archive, const TestPatch& p, const std::vector<int>& takes) {
  Bytes out = archive;
  const auto a = static_cast<std::int32_t>(archive.size());
  for (std::size_t j = 0; j < takes.size(); ++j) {
    if (takes[j] < 0) continue;
    const std::size_t at = patchmaker::kArchiveIndexAt + j * patchmaker::kArchiveEntrySize;
    patchmaker::ArchiveIndexEntry e = patchmaker::DecodeArchiveEntry(&out[at]);
    const patchmaker::PatchIndexLine& line = p.lines[static_cast<std::size_t>(takes[j])];
    e.data_offset = a + line.offset;
    e.compressed_size = line.compressed_size;
    e.uncompressed_size = line.uncompressed_size;
    out.replace(at, patchmaker::kArchiveEntrySize, patchmaker::EncodeArchiveEntry(e));
  }
  return out + p.block;
}

class SetupInstall : public testing::Test {
 protected:
  void SetUp() override {
    host::ResetBindingForTests();
    fixtures::BindLibrary();  // the fixtures encrypt patch indexes before the program starts
    game_ = Folder("game");
  }
  void TearDown() override { host::ResetBindingForTests(); }

  GbkText Folder(const GbkText& name) {
    const GbkText folder = program_.File(name);
    std::filesystem::create_directories(std::filesystem::path(NativeFolder(folder)));
    return folder;
  }
  static GbkText ArchiveIn(const GbkText& folder) { return folder + "\\Data.vnt"; }
  GbkText Archive() const { return ArchiveIn(game_); }
  GbkText Config() const { return program_.File("Config.ini"); }
  void WriteConfig(const GbkText& folder) { host::WriteProfileFile(Config(), "目录", "安装目录", folder); }
  GbkText File(const GbkText& name, const Bytes& content) {
    const GbkText path = program_.File(name);
    fixtures::WriteFile(path, content);
    return path;
  }
  int Run(ScriptedHost& host, const std::function<void()>& steps) {
    host.SetMessageLoop(steps);
    return host::RunProgram(host, patchsetup::Program());
  }
  void ExpectButtonsEnabled(ScriptedHost& host) {
    EXPECT_TRUE(host.IsEnabled(patchsetup::kInstallButton));
    EXPECT_TRUE(host.IsEnabled(patchsetup::kOldPatchButton));
    EXPECT_EQ(patchsetup::RunningWorkers(), 0);
  }

  fixtures::TempDir program_;
  GbkText game_;
};

// ---- What an installation does to the archive ------------------------------

TEST_F(SetupInstall, NamesMatchedMissingAndRepeated) {
  struct Case {
    const char* what;
    std::vector<GbkText> archive;
    std::vector<GbkText> patch;
    std::vector<int> takes;  // per archive entry: the patch line it points at, -1 for its old stream
    int shortfall;           // 0: no shortfall message
    std::vector<int> positions;
  };
  const Case cases[] = {
      {"every name present once", {"a.txt", "b.txt", "c.txt"}, {"c.txt", "a.txt"}, {1, -1, 0}, 0, {50, 100}},
      {"no name present: data appended, the message gives n", {"a.txt", "b.txt"}, {"x", "y"}, {-1, -1}, 2, {}},
      {"one of three missing", {"a", "b", "c"}, {"a", "zz", "c"}, {0, -1, 2}, 1, {33, 66}},
      {"a name twice in the archive reaches n before the last line", {"a", "a", "b"}, {"a", "b"}, {0, 0, -1}, 0,
       {50, 100}},
      {"a a x against a b c d: found 2, message 2", {"a", "a", "x"}, {"a", "b", "c", "d"}, {0, 0, -1}, 2, {25, 50}},
      {"a name twice in the patch: the first line wins", {"a", "b"}, {"a", "a"}, {0, -1}, 1, {50}},
      {"n = 0", {"a", "b"}, {}, {-1, -1}, 0, {}},
      {"N = 0", {}, {"a", "b", "c"}, {}, 3, {}},
      {"names compare byte for byte", {"A.TXT", "数据\\界面.png"}, {"a.txt", "数据\\界面.png"}, {-1, 1}, 1, {50}},
  };
  for (const PatchVersion version : {PatchVersion::kV02, PatchVersion::kV01}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(NameOf(version)) + ": " + c.what);
      const Bytes archive = ArchiveOf(c.archive);
      fixtures::WriteFile(Archive(), archive);
      const TestPatch p = MakeLines(c.patch);
      const GbkText patch = File("p.any", PatchBytes(p, version));
      WriteConfig(game_);
      ScriptedHost host(program_.path(), "patchsetup.exe");
      host.AnswerFileDialog(patch);
      Run(host, [&] {
        host.Click(ButtonFor(version));
        ExpectButtonsEnabled(host);
      });
      Messages expected;
      if (c.shortfall > 0) expected.emplace_back(kInfo, Shortfall(c.shortfall));
      expected.emplace_back(kInfo, kSuccess);
      EXPECT_EQ(host.messages(), expected);
      EXPECT_EQ(host.positions(patchsetup::kInstallProgress), c.positions) << "never set to 100 at the end";
      EXPECT_EQ(testing_support::ToHex(Read(Archive())), testing_support::ToHex(Expected(archive, p, c.takes)));
      EXPECT_EQ(host.unexpected_dialogs(), 0);
      host::ResetBindingForTests();
      fixtures::BindLibrary();
    }
  }
}

TEST_F(SetupInstall, TwentyNineOfAHundredShowsTwentyEight) {
  std::vector<GbkText> archive_names, patch_names;
  for (int i = 0; i < 100; ++i) patch_names.push_back("f" + std::to_string(i));
  for (int i = 0; i < 29; ++i) archive_names.push_back("f" + std::to_string(i * 3));  // f0 .. f84
  archive_names.insert(archive_names.begin() + 10, "not in the patch");
  fixtures::WriteFile(Archive(), ArchiveOf(archive_names));
  WriteConfig(game_);
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFileDialog(File("many.patch2", PatchBytes(MakeLines(patch_names), PatchVersion::kV02)));
  Run(host, [&] { host.Click(patchsetup::kInstallButton); });
  const std::vector<int> p = host.positions(patchsetup::kInstallProgress);
  ASSERT_EQ(p.size(), 29u);
  EXPECT_EQ(p.front(), 1);
  EXPECT_EQ(p[27], 28) << "28 of 100";
  EXPECT_EQ(p.back(), 28) << "29 of 100, cut toward zero";
  EXPECT_EQ(host.messages(), (Messages{{kInfo, Shortfall(71)}, {kInfo, kSuccess}}));
}

TEST_F(SetupInstall, ProgressKeepsWhatTheLastRunLeft) {
  fixtures::WriteFile(Archive(), ArchiveOf({"a", "b"}));
  WriteConfig(game_);
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFileDialog(File("all.patch2", PatchBytes(MakeLines({"a", "b"}), PatchVersion::kV02)));
  host.AnswerFileDialog(File("none.patch", PatchBytes(MakeLines({"x"}), PatchVersion::kV01)));
  Run(host, [&] {
    host.Click(patchsetup::kInstallButton);
    EXPECT_EQ(host.Progress(patchsetup::kInstallProgress), 100);
    host.Click(patchsetup::kOldPatchButton);
    EXPECT_EQ(host.Progress(patchsetup::kInstallProgress), 100) << "not reset, no match moved it";
  });
  EXPECT_EQ(host.positions(patchsetup::kInstallProgress), (std::vector<int>{50, 100}));
  EXPECT_EQ(host.messages(), (Messages{{kInfo, kSuccess}, {kInfo, Shortfall(1)}, {kInfo, kSuccess}}));
}

TEST_F(SetupInstall, AnOldPatchInstalledDirectlyEqualsTheSamePatch2) {
  // The same lines, one missing from the archive, as .patch into one copy of
  // the archive and as .patch2 into another: the same bytes, nothing added.
  const GbkText second = Folder("second");
  const Bytes archive = ArchiveOf({"a.txt", "ui\\b.png", "c.txt"});
  fixtures::WriteFile(Archive(), archive);
  fixtures::WriteFile(ArchiveIn(second), archive);
  const TestPatch p = MakeLines({"ui\\b.png", "missing.txt", "a.txt"});
  const GbkText old_patch = File("old.patch", PatchBytes(p, PatchVersion::kV01));
  const GbkText new_patch = File("new.patch2", PatchBytes(p, PatchVersion::kV02));
  WriteConfig(game_);
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFileDialog(old_patch);
  host.AnswerFolderPicker(second);
  host.AnswerFileDialog(new_patch);
  Run(host, [&] {
    host.Click(patchsetup::kOldPatchButton);
    host.Click(patchsetup::kChooseButton);
    host.Click(patchsetup::kInstallButton);
  });
  EXPECT_EQ(host.messages(),
            (Messages{{kInfo, Shortfall(1)}, {kInfo, kSuccess}, {kInfo, Shortfall(1)}, {kInfo, kSuccess}}));
  const Bytes from_old = Read(Archive());
  EXPECT_EQ(testing_support::ToHex(from_old), testing_support::ToHex(Read(ArchiveIn(second))));
  EXPECT_EQ(testing_support::ToHex(from_old), testing_support::ToHex(Expected(archive, p, {2, 0, -1})));
  EXPECT_EQ(fixtures::ParseArchive(from_old).count, 3) << "no entry added";
}

// ---- Failures: a message, the archive untouched, both buttons back ----------

TEST_F(SetupInstall, FailuresLeaveTheArchiveAndGiveTheButtonsBack) {
  const Bytes archive = ArchiveOf({"a", "b"});
  const TestPatch p = MakeLines({"a"});
  const Bytes damaged_archive = [&] {
    Bytes b = archive;
    b[patchmaker::kArchiveCountAt] = 9;  // nine entries do not fit
    return b;
  }();
  struct Case {
    const char* what;
    const char* button;
    std::optional<Bytes> patch;  // nullopt: the dialog is cancelled
    Bytes archive;
    bool has_archive;
    Messages expected;
  };
  const Case cases[] = {
      {"cancelled .patch2 dialog", patchsetup::kInstallButton, std::nullopt, archive, true, {{kInfo, "打开补丁失败"}}},
      {"cancelled .patch dialog", patchsetup::kOldPatchButton, std::nullopt, archive, true, {{kInfo, "打开补丁失败"}}},
      {".patch file with the .patch2 button", patchsetup::kInstallButton, PatchBytes(p, PatchVersion::kV01), archive,
       true, {{kInfo, "打开补丁失败"}}},
      {".patch2 file with the .patch button", patchsetup::kOldPatchButton, PatchBytes(p, PatchVersion::kV02), archive,
       true, {{kInfo, "打开补丁失败"}}},
      {"not a patch at all", patchsetup::kInstallButton, Bytes("short"), archive, true, {{kInfo, "打开补丁失败"}}},
      {"a patch holding fewer lines than its count", patchsetup::kOldPatchButton,
       fixtures::MakeRawPatch(PatchVersion::kV01, 3, p.block, patchmaker::BuildIndexText(p.lines),
                              static_cast<std::int32_t>(p.block.size())),
       archive, true, {{kInfo, "补丁文件已损坏，未安装"}}},
      {"a data length past the end of the file", patchsetup::kInstallButton,
       fixtures::MakeRawPatch(PatchVersion::kV02, 1, p.block, patchmaker::BuildIndexText(p.lines), 100000), archive,
       true, {{kInfo, "补丁文件已损坏，未安装"}}},
      {"folder without Data.vnt", patchsetup::kInstallButton, PatchBytes(p, PatchVersion::kV02), Bytes(), false,
       {{"c错误", "未能打开Data.vnt，请查看安装目录是否正确"}}},
      {"an archive whose count does not fit it", patchsetup::kOldPatchButton, PatchBytes(p, PatchVersion::kV01),
       damaged_archive, true, {{"c错误", "Data.vnt已损坏，未安装"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(std::filesystem::path(NativeFolder(Archive())));
    if (c.has_archive) fixtures::WriteFile(Archive(), c.archive);
    WriteConfig(game_);
    ScriptedHost host(program_.path(), "patchsetup.exe");
    GbkText patch;
    if (c.patch) {
      patch = File("chosen.patch2", *c.patch);
      host.AnswerFileDialog(patch);
    } else {
      host.AnswerFileDialog(std::nullopt);
    }
    Run(host, [&] {
      host.Click(c.button);
      ExpectButtonsEnabled(host);
      EXPECT_EQ(patchsetup::InstallDirectory(), game_) << "the directory stays";
    });
    EXPECT_EQ(host.messages(), c.expected);
    EXPECT_TRUE(host.positions(patchsetup::kInstallProgress).empty());
    if (c.has_archive) {
      EXPECT_EQ(Read(Archive()), c.archive);
    } else {
      EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(NativeFolder(Archive()))));
    }
    if (c.patch) {
      EXPECT_EQ(Read(patch), *c.patch);
    }
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

// ---- The install directory ---------------------------------------------------

TEST_F(SetupInstall, FirstClickWithoutConfigAsksForTheFolder) {
  for (const PatchVersion version : {PatchVersion::kV02, PatchVersion::kV01}) {
    SCOPED_TRACE(NameOf(version));
    std::filesystem::remove(std::filesystem::path(NativeFolder(Config())));
    const Bytes archive = ArchiveOf({"a"});
    fixtures::WriteFile(Archive(), archive);
    const TestPatch p = MakeLines({"a"});
    ScriptedHost host(program_.path(), "patchsetup.exe");
    host.AnswerFolderPicker(game_);
    host.AnswerFileDialog(File("p", PatchBytes(p, version)));
    Run(host, [&] {
      EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), "");
      host.Click(ButtonFor(version));
      EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), game_);
    });
    EXPECT_EQ(host::ReadProfileFile(Config(), "目录", "安装目录"), game_);
    const auto shown = host.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].kind, Shown::FolderPicker);
    EXPECT_EQ(shown[0].caption, "请选择Qelmar的安装目录");
    EXPECT_EQ(shown[1].kind, Shown::FileDialog);
    EXPECT_EQ(shown[1].caption, patchsetup::kDialog);
    EXPECT_FALSE(shown[1].request.save);
    const bool v2 = version == PatchVersion::kV02;
    EXPECT_EQ(shown[1].request.filter, v2 ? "补丁文件（*.patch2）|*.patch2" : "补丁文件（*.patch）|*.patch");
    EXPECT_EQ(shown[1].request.file_name, v2 ? "New.patch2" : "New.patch");
    EXPECT_EQ(shown[1].request.initial_folder, program_.path());
    EXPECT_EQ(host.messages(), (Messages{{kInfo, kSuccess}}));
    EXPECT_EQ(Read(Archive()), Expected(archive, p, {0}));
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

TEST_F(SetupInstall, ConfigFolderIsUsedWithoutAsking) {
  fixtures::WriteFile(Archive(), ArchiveOf({"a"}));
  WriteConfig(game_);
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFileDialog(std::nullopt);
  host.AnswerFileDialog(std::nullopt);
  Run(host, [&] {
    EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), game_);
    host.Click(patchsetup::kInstallButton);
    host.Click(patchsetup::kOldPatchButton);
  });
  for (const Shown& s : host.shown()) EXPECT_NE(s.kind, Shown::FolderPicker);
  EXPECT_EQ(host.unexpected_dialogs(), 0);
}

TEST_F(SetupInstall, CancelledChooseThenInstallTakesConfigWithoutShowingIt) {
  const Bytes archive = ArchiveOf({"a"});
  fixtures::WriteFile(Archive(), archive);
  WriteConfig(game_);
  const GbkText config = Read(Config());
  const TestPatch p = MakeLines({"a"});
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFolderPicker("");
  host.AnswerFileDialog(File("p.patch2", PatchBytes(p, PatchVersion::kV02)));
  Run(host, [&] {
    host.Click(patchsetup::kChooseButton);
    EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), "");
    EXPECT_EQ(patchsetup::InstallDirectory(), "");
    EXPECT_EQ(Read(Config()), config) << "a cancel writes nothing";
    host.Click(patchsetup::kInstallButton);
    EXPECT_EQ(patchsetup::InstallDirectory(), game_);
    EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), "") << "not shown on this path";
  });
  EXPECT_EQ(host.messages(), (Messages{{kInfo, kSuccess}}));
  EXPECT_EQ(Read(Archive()), Expected(archive, p, {0}));
}

TEST_F(SetupInstall, NoFolderAnywhereAndACancelledPickerDoNothing) {
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFolderPicker("");
  host.AnswerFolderPicker("");
  Run(host, [&] {
    host.TypeText(patchsetup::kFolderEdit, "typed");
    host.Click(patchsetup::kOldPatchButton);
    EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), "");
    host.Click(patchsetup::kInstallButton);
    ExpectButtonsEnabled(host);
  });
  const auto shown = host.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].kind, Shown::FolderPicker);
  EXPECT_EQ(shown[1].kind, Shown::FolderPicker);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(NativeFolder(Config()))));
}

TEST_F(SetupInstall, TextTypedIntoTheEditBoxIsNeverUsed) {
  const GbkText typed = Folder("typed");
  const Bytes archive = ArchiveOf({"a"});
  fixtures::WriteFile(Archive(), archive);
  fixtures::WriteFile(ArchiveIn(typed), archive);
  const TestPatch p = MakeLines({"a"});
  WriteConfig(game_);
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFileDialog(File("p.patch", PatchBytes(p, PatchVersion::kV01)));
  Run(host, [&] {
    host.TypeText(patchsetup::kFolderEdit, typed);
    host.Click(patchsetup::kOldPatchButton);
    EXPECT_EQ(patchsetup::InstallDirectory(), game_);
  });
  EXPECT_EQ(host.messages(), (Messages{{kInfo, kSuccess}}));
  EXPECT_EQ(Read(Archive()), Expected(archive, p, {0}));
  EXPECT_EQ(Read(ArchiveIn(typed)), archive) << "the typed folder is untouched";
  EXPECT_EQ(host::ReadProfileFile(Config(), "目录", "安装目录"), game_);
}

// ---- A running worker ------------------------------------------------------------

TEST_F(SetupInstall, WhileAWorkerRunsBothButtonsAreDisabledAndTheWindowStaysOpen) {
  for (const PatchVersion version : {PatchVersion::kV02, PatchVersion::kV01}) {
    SCOPED_TRACE(NameOf(version));
    const Bytes archive = ArchiveOf({"a"});
    fixtures::WriteFile(Archive(), archive);
    const TestPatch p = MakeLines({"a"});
    WriteConfig(game_);
    ScriptedHost host(program_.path(), "patchsetup.exe");
    host.SetWorkerMode(ScriptedHost::WorkerMode::Deferred);
    host.AnswerFileDialog(File("p", PatchBytes(p, version)));
    const char* other = version == PatchVersion::kV02 ? patchsetup::kOldPatchButton : patchsetup::kInstallButton;
    Run(host, [&] {
      host.Click(ButtonFor(version));  // started, not finished
      EXPECT_FALSE(host.IsEnabled(patchsetup::kInstallButton));
      EXPECT_FALSE(host.IsEnabled(patchsetup::kOldPatchButton));
      EXPECT_EQ(patchsetup::RunningWorkers(), 1);
      host.Click(other);  // a click that slipped through is refused
      host.Click(ButtonFor(version));
      EXPECT_FALSE(host.UserCloses(patchsetup::kMainWindow));
      EXPECT_TRUE(host.IsLoaded(patchsetup::kMainWindow));
      EXPECT_EQ(host.RunDeferredWorkers(), 1u) << "one worker only";
      ExpectButtonsEnabled(host);
      EXPECT_TRUE(host.UserCloses(patchsetup::kMainWindow));
    });
    EXPECT_EQ(host.messages(), (Messages{{kInfo, "正在处理，请等待完成后再关闭"}, {kInfo, kSuccess}}));
    EXPECT_EQ(Read(Archive()), Expected(archive, p, {0})) << "installed once";
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

TEST_F(SetupInstall, ChoosingFoldersWhileAWorkerInstallsOnItsOwnThread) {
  // The worker copies the folder when it starts; "选择" on the window thread
  // meanwhile changes only the globals, and the patch lands whole in one of
  // the two archives.
  const GbkText later = Folder("later");
  const Bytes archive = ArchiveOf({"a"});
  fixtures::WriteFile(Archive(), archive);
  fixtures::WriteFile(ArchiveIn(later), archive);
  const TestPatch p = MakeLines({"a"});
  WriteConfig(game_);
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.SetWorkerMode(ScriptedHost::WorkerMode::Deferred);
  host.AnswerFileDialog(File("p.patch2", PatchBytes(p, PatchVersion::kV02)));
  for (int i = 0; i < 50; ++i) host.AnswerFolderPicker(i % 2 == 0 ? later : game_);
  Run(host, [&] {
    host.Click(patchsetup::kInstallButton);
    host.StartDeferredWorkers();
    for (int i = 0; i < 50; ++i) host.Click(patchsetup::kChooseButton);
    host.JoinWorkers();
    ExpectButtonsEnabled(host);
  });
  EXPECT_EQ(host.messages(), (Messages{{kInfo, kSuccess}}));
  const Bytes installed = Expected(archive, p, {0});
  const Bytes in_game = Read(Archive()), in_later = Read(ArchiveIn(later));
  EXPECT_TRUE((in_game == installed && in_later == archive) || (in_game == archive && in_later == installed));
}

// ---- The folder read once the patch is chosen; turns; memory -------------------

TEST_F(SetupInstall, TheWorkerTakesTheFolderChosenWhileItsDialogWasOpen) {
  const GbkText later = Folder("later");
  const Bytes archive = ArchiveOf({"a"});
  fixtures::WriteFile(Archive(), archive);
  fixtures::WriteFile(ArchiveIn(later), archive);
  const TestPatch p = MakeLines({"a"});
  WriteConfig(game_);
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFileDialog(File("p.patch2", PatchBytes(p, PatchVersion::kV02)));
  host.AnswerFolderPicker(later);
  // "选择" clicked while the open dialog is up.
  host.OnShown([&](const ScriptedHost::Shown& s) {
    if (s.kind == ScriptedHost::Shown::FileDialog) host.Click(patchsetup::kChooseButton);
  });
  Run(host, [&] { host.Click(patchsetup::kInstallButton); });
  EXPECT_EQ(host.messages(), (Messages{{kInfo, kSuccess}}));
  EXPECT_EQ(Read(ArchiveIn(later)), Expected(archive, p, {0})) << "installed where the folder pointed at the end";
  EXPECT_EQ(Read(Archive()), archive);
}

TEST_F(SetupInstall, AnArchiveAnotherProcessInstallsIntoIsRefused) {
  host::ScriptedArchiveLocks locks;
  host::SetInstallLocks(&locks);
  for (const PatchVersion version : {PatchVersion::kV02, PatchVersion::kV01}) {
    SCOPED_TRACE(NameOf(version));
    const Bytes archive = ArchiveOf({"a"});
    fixtures::WriteFile(Archive(), archive);
    WriteConfig(game_);
    ScriptedHost host(program_.path(), "patchsetup.exe");
    host.AnswerFileDialog(File("p", PatchBytes(MakeLines({"a"}), version)));
    locks.HoldElsewhere(Archive());
    Run(host, [&] {
      host.Click(ButtonFor(version));
      ExpectButtonsEnabled(host);
    });
    EXPECT_EQ(host.messages(), (Messages{{kInfo, "正在安装补丁，请等待安装完成"}}));
    EXPECT_EQ(Read(Archive()), archive);
    locks.ReleaseElsewhere(Archive());
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
  host::SetInstallLocks(nullptr);
  EXPECT_EQ(locks.refusals(), 2);
}

TEST_F(SetupInstall, AnInstallOutOfMemorySaysSoAndWritesNothing) {
  for (const PatchVersion version : {PatchVersion::kV02, PatchVersion::kV01}) {
    SCOPED_TRACE(NameOf(version));
    const Bytes archive = ArchiveOf({"a"});
    fixtures::WriteFile(Archive(), archive);
    WriteConfig(game_);
    TestPatch big = MakeLines({"a"});
    big.block.resize(4 << 20, 'z');
    ScriptedHost host(program_.path(), "patchsetup.exe");
    host.AnswerFileDialog(File("big", PatchBytes(big, version)));
    {
      testing_support::AllocationLimit limit(1 << 20);
      Run(host, [&] {
        host.Click(ButtonFor(version));
        ExpectButtonsEnabled(host);
      });
      EXPECT_GT(testing_support::AllocationLimit::Refused(), 0u);
    }
    EXPECT_EQ(host.messages(), (Messages{{kInfo, "内存不足，补丁未安装"}}));
    EXPECT_EQ(Read(Archive()), archive);
    host::ResetBindingForTests();
    fixtures::BindLibrary();
  }
}

}  // namespace

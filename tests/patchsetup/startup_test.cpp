// patchsetup's start-up, window and folder handling on the scripted host: the
// library is bound before the window loads, the install directory comes from
// its own Config.ini, and the end detaches the library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "crypto/library.h"
#include "host/binding.h"
#include "host/scripted/scripted_host.h"
#include "patchsetup/globals.h"
#include "patchsetup/main_window.h"
#include "patchsetup/program.h"
#include "tests/patchmaker/fixtures.h"

namespace {

using fixtures::GbkText;
using host::ScriptedHost;
using Shown = ScriptedHost::Shown;

class SetupStartup : public testing::Test {
 protected:
  void SetUp() override { host::ResetBindingForTests(); }
  void TearDown() override { host::ResetBindingForTests(); }

  GbkText Config() const { return program_.File("Config.ini"); }
  bool ConfigExists() const {
    GbkText bytes;
    return host::PlatformFiles().ReadWholeFile(Config(), &bytes);
  }
  GbkText ConfigBytes() const {
    GbkText bytes;
    host::PlatformFiles().ReadWholeFile(Config(), &bytes);
    return bytes;
  }
  int Run(ScriptedHost& host, std::function<void()> steps) {
    host.SetMessageLoop(std::move(steps));
    return host::RunProgram(host, patchsetup::Program());
  }

  fixtures::TempDir program_;
};

TEST_F(SetupStartup, NoConfigGivesAnEmptyEditBoxAndWritesNothing) {
  ScriptedHost host(program_.path(), "patchsetup.exe");
  bool ran = false;
  EXPECT_EQ(Run(host, [&] {
              ran = true;
              EXPECT_TRUE(host::LibraryBound());
              EXPECT_EQ(host.GetText(patchsetup::kMainWindow), patchsetup::kMainTitle);
              EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), "");
              EXPECT_EQ(host.GetText(patchsetup::kStatusBar), patchsetup::kStatusCredit);
              EXPECT_EQ(patchsetup::PatchKeyStream(), patchmaker::DefaultPatchKeyStream());
              EXPECT_EQ(patchsetup::InstallDirectory(), "");
              EXPECT_EQ(host.current_directory(), program_.path());
              EXPECT_TRUE(host.IsEnabled(patchsetup::kInstallButton));
              EXPECT_TRUE(host.IsEnabled(patchsetup::kOldPatchButton));
            }),
            0);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(host::LibraryDetached()) << "notification 6 at the end";
  EXPECT_TRUE(patchsetup::PatchKeyStream().empty()) << "globals freed at the end";
  EXPECT_FALSE(ConfigExists());
  EXPECT_TRUE(host.shown().empty());
  EXPECT_TRUE(host.classes_writes().empty()) << "no file association";
}

TEST_F(SetupStartup, TheInstallDirectoryComesFromItsOwnConfigOnly) {
  struct Case {
    const char* what;
    GbkText config;
    GbkText registry;
    GbkText edit_box;
  };
  const Case cases[] = {
      {"the key", "[目录]\r\n安装目录=C:\\游戏\\Qelmar\r\n", "", "C:\\游戏\\Qelmar"},
      {"the registry is never read", "", "E:\\Qelmar", ""},
      {"the save directory is never read", "[目录]\r\n保存目录=C:\\unpacked\r\n", "", ""},
      {"another section does not count", "[其他]\r\n安装目录=C:\\No\r\n", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::PlatformFiles().WriteWholeFile(Config(), c.config);
    ScriptedHost host(program_.path(), "patchsetup.exe");
    if (!c.registry.empty()) host.SetUserRegistry("Software\\Vantro\\QelmarClient", "QelmarPath", c.registry);
    Run(host, [&] {
      EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), c.edit_box);
      EXPECT_EQ(patchsetup::InstallDirectory(), c.edit_box);
    });
    EXPECT_EQ(ConfigBytes(), c.config) << "start-up writes nothing";
    host::ResetBindingForTests();
  }
}

TEST_F(SetupStartup, TheLibraryRecordAndItsPlace) {
  const LibraryInfo& r = patchsetup::CryptoLibraryRecord();
  EXPECT_EQ(r.format, 20000101u);
  EXPECT_STREQ(r.guid, crypto::kLibraryGuid);
  EXPECT_STREQ(r.display_name, crypto::kLibraryName);
  EXPECT_EQ(r.major_version, 1);
  EXPECT_EQ(r.minor_version, 1);
  EXPECT_EQ(r.host_major, 3);
  EXPECT_EQ(r.host_minor, 0);
  EXPECT_EQ(r.core_major, 3);
  EXPECT_EQ(r.core_minor, 0);
  EXPECT_EQ(r.language, 1);
  EXPECT_EQ(r.data_type_count, 0);
  ASSERT_EQ(r.command_count, 1) << "decodebin_stub alone";
  EXPECT_EQ(r.command_functions[0], &host::decodebin_stub);
  EXPECT_EQ(r.notify, &host::cryptolib_notify);
  const host::ProgramDescription& p = patchsetup::Program();
  ASSERT_EQ(p.library_count, 7);
  for (int i = 0; i < p.library_count; ++i) EXPECT_EQ(p.libraries[i].record, i == 5 ? &r : nullptr) << i;
}

TEST_F(SetupStartup, TheBindingFillsAllEighteenSlots) {
  ScriptedHost host(program_.path(), "patchsetup.exe");
  Run(host, [] {
    for (int slot = 0; slot < 18; ++slot) EXPECT_NE(host::BoundCommand(slot), nullptr) << slot;
  });
}

TEST_F(SetupStartup, WindowDefinition) {
  const host::WindowDef& w = patchsetup::MainWindow();
  EXPECT_STREQ(w.name, "MainWindow");
  const GbkText title = w.title;
  const GbkText name = "Dravika补丁安装V0.2";
  ASSERT_GT(title.size(), name.size() + 5);
  EXPECT_EQ(title.substr(0, name.size() + 5), name + "     ") << "five blanks before the credit";
  EXPECT_NE(title[name.size() + 5], ' ');
  EXPECT_EQ(w.left, 50);
  EXPECT_EQ(w.top, 50);
  EXPECT_EQ(w.width, 450);
  EXPECT_EQ(w.height, 310);
  EXPECT_TRUE(w.visible);

  struct Expected {
    host::UnitType type;
    const char* caption;
    int left, top, width, height;
    const char* parent;
    int page;
  };
  using host::UnitType;
  const std::map<GbkText, Expected> expected = {
      {"选择夹1", {UnitType::Tab, nullptr, 10, 10, 415, 250, nullptr, -1}},
      {"分组框1", {UnitType::GroupBox, "Qelmar的安装目录", 27, 36, 350, 80, "选择夹1", 0}},
      {"编辑框1", {UnitType::Edit, nullptr, 38, 66, 256, 30, "选择夹1", 0}},
      {"按钮2", {UnitType::Button, "选择", 300, 65, 60, 30, "选择夹1", 0}},
      {"分组框2", {UnitType::GroupBox, "补丁安装", 26, 144, 350, 80, "选择夹1", 0}},
      {"按钮3", {UnitType::Button, ".patch", 277, 14, 60, 25, "分组框2", -1}},
      {"按钮1", {UnitType::Button, ".patch2", 276, 46, 60, 25, "分组框2", -1}},
      {"进度条2", {UnitType::ProgressBar, nullptr, 36, 181, 258, 16, "选择夹1", 0}},
      {"通用对话框1", {UnitType::FileDialog, nullptr, 166, 6, 80, 40, "选择夹1", 0}},
      {"状态条1", {UnitType::StatusBar, patchsetup::kStatusCredit, 0, 264, 444, 20, nullptr, -1}},
  };
  ASSERT_EQ(w.unit_count, static_cast<int>(expected.size()));
  for (int i = 0; i < w.unit_count; ++i) {
    const host::UnitDef& u = w.units[i];
    SCOPED_TRACE(u.name);
    ASSERT_EQ(expected.count(u.name), 1u);
    const Expected& e = expected.at(u.name);
    EXPECT_EQ(u.type, e.type);
    EXPECT_EQ(GbkText(u.caption ? u.caption : ""), GbkText(e.caption ? e.caption : ""));
    EXPECT_EQ(u.left, e.left);
    EXPECT_EQ(u.top, e.top);
    EXPECT_EQ(u.width, e.width);
    EXPECT_EQ(u.height, e.height);
    EXPECT_EQ(GbkText(u.parent ? u.parent : ""), GbkText(e.parent ? e.parent : ""));
    EXPECT_EQ(u.page, e.page);
  }
  std::map<GbkText, const host::UnitDef*> units;
  for (int i = 0; i < w.unit_count; ++i) units[w.units[i].name] = &w.units[i];
  EXPECT_STREQ(units.at("选择夹1")->items, "补丁安装") << "one page";
  EXPECT_EQ(units.at("通用对话框1")->items, nullptr) << "no default extension";
  EXPECT_LT(units.at("按钮3")->top, units.at("按钮1")->top) << ".patch above .patch2";
  // The progress bar lies on the page inside the area of the group box, left
  // of its buttons.
  const host::UnitDef& group = *units.at("分组框2");
  const host::UnitDef& bar = *units.at("进度条2");
  EXPECT_GE(bar.left, group.left);
  EXPECT_GE(bar.top, group.top);
  EXPECT_LE(bar.top + bar.height, group.top + group.height);
  EXPECT_LT(bar.left + bar.width, group.left + units.at("按钮1")->left);

  // Events: created, three buttons, and the close request that guards workers.
  std::map<std::pair<GbkText, host::Event>, host::Handler> events;
  for (int i = 0; i < w.event_count; ++i)
    events[{w.events[i].unit ? w.events[i].unit : "", w.events[i].event}] = w.events[i].handler;
  EXPECT_EQ(events.size(), 5u);
  EXPECT_EQ(events.at({"", host::Event::Created}), &patchsetup::OnMainWindowCreated);
  EXPECT_EQ(events.at({"", host::Event::CloseRequested}), &patchsetup::OnMainWindowCloseRequested);
  EXPECT_EQ(events.at({"按钮2", host::Event::Clicked}), &patchsetup::OnChooseInstallDir);
  EXPECT_EQ(events.at({"按钮1", host::Event::Clicked}), &patchsetup::OnInstallClicked);
  EXPECT_EQ(events.at({"按钮3", host::Event::Clicked}), &patchsetup::OnInstallOldPatchClicked);
}

TEST_F(SetupStartup, ChooseSetsTheFolderAndCancelEmptiesIt) {
  ScriptedHost host(program_.path(), "patchsetup.exe");
  host.AnswerFolderPicker("D:\\Qelmar");
  host.AnswerFolderPicker("");
  Run(host, [&] {
    host.Click(patchsetup::kChooseButton);
    EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), "D:\\Qelmar");
    EXPECT_EQ(patchsetup::InstallDirectory(), "D:\\Qelmar");
    host.Click(patchsetup::kChooseButton);
    EXPECT_EQ(host.GetText(patchsetup::kFolderEdit), "");
    EXPECT_EQ(patchsetup::InstallDirectory(), "");
  });
  EXPECT_EQ(host::ReadProfileFile(Config(), "目录", "安装目录"), "D:\\Qelmar") << "Config.ini keeps it";
  const auto shown = host.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].kind, Shown::FolderPicker);
  EXPECT_EQ(shown[0].caption, "请选择Qelmar的安装目录");
}

}  // namespace

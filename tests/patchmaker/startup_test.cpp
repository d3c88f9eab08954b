// patchmaker's start-up and main window on the scripted host: the library is
// bound before the window loads, the folders come from Config.ini or the
// registry, and the end detaches the library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "crypto/library.h"
#include "host/binding.h"
#include "host/scripted/scripted_host.h"
#include "patchmaker/globals.h"
#include "patchmaker/main_window.h"
#include "patchmaker/program.h"

namespace {

namespace fs = std::filesystem;
using host::ScriptedHost;

constexpr char kRegistryKey[] = "Software\\Vantro\\QelmarClient";

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    host::ResetBindingForTests();
    folder_ = fs::temp_directory_path() / ("pm_startup_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    host::ResetBindingForTests();
    fs::remove_all(folder_);
  }
  std::string Folder() const { return folder_.string(); }
  void WriteConfig(const std::string& text) {
    std::ofstream(folder_ / "Config.ini", std::ios::binary) << text;
  }
  // Runs the program; `during` runs while its message loop would.
  int Run(ScriptedHost& host, std::function<void()> during) {
    host.SetMessageLoop(std::move(during));
    return host::RunProgram(host, patchmaker::Program());
  }

  fs::path folder_;
};

TEST_F(StartupTest, NoConfigAndNoRegistryGiveAnEmptyEditBox) {
  ScriptedHost host(Folder());
  bool ran = false;
  EXPECT_EQ(Run(host, [&] {
              ran = true;
              EXPECT_TRUE(host::LibraryBound());
              EXPECT_EQ(host.GetText(patchmaker::kFolderEdit), "");
              EXPECT_EQ(host.GetText(patchmaker::kMainWindow), patchmaker::kMainTitle);
              EXPECT_TRUE(host.drop_registered_on(patchmaker::kTab));
              EXPECT_EQ(patchmaker::PatchKeyStream(), patchmaker::DefaultPatchKeyStream());
              EXPECT_EQ(host.current_directory(), Folder());
            }),
            0);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(host::LibraryDetached()) << "notification 6 at the end";
  EXPECT_TRUE(patchmaker::PatchKeyStream().empty()) << "globals freed at the end";
  EXPECT_FALSE(fs::exists(folder_ / "Config.ini")) << "start-up writes no Config.ini";
  EXPECT_TRUE(host.messages().empty());
}

TEST_F(StartupTest, FoldersComeFromConfigOrTheRegistry) {
  struct Case {
    const char* name;
    std::string config;
    std::string registry;
    bool expand;
    std::string edit_box;
    std::string save_directory;
  };
#ifdef _WIN32
  _putenv_s("PM_TEST_ROOT", "D:\\Games");
#else
  setenv("PM_TEST_ROOT", "D:\\Games", 1);
#endif
  const Case cases[] = {
      {"config only", "[目录]\r\n安装目录=C:\\游戏\\Qelmar\r\n", "", false, "C:\\游戏\\Qelmar", ""},
      {"config wins over registry", "[目录]\r\n安装目录=C:\\Q\r\n", "E:\\Other", false, "C:\\Q", ""},
      {"registry when config lacks the key", "[目录]\r\n保存目录=C:\\unpacked\r\n", "E:\\Qelmar", false,
       "E:\\Qelmar", "C:\\unpacked"},
      {"expandable registry value", "", "%PM_TEST_ROOT%\\Qelmar", true, "D:\\Games\\Qelmar", ""},
      {"key names ignore ASCII case and leading blanks", "[目录]\r\n  安装目录 = C:\\Q2\r\n", "", false, "C:\\Q2", ""},
      {"another section does not count", "[其他]\r\n安装目录=C:\\No\r\n", "", false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(folder_ / "Config.ini");
    if (!c.config.empty()) WriteConfig(c.config);
    ScriptedHost host(Folder());
    if (!c.registry.empty()) host.SetUserRegistry(kRegistryKey, "QelmarPath", c.registry, c.expand);
    Run(host, [&] {
      EXPECT_EQ(host.GetText(patchmaker::kFolderEdit), c.edit_box);
      EXPECT_EQ(patchmaker::InstallDirectory(), c.edit_box);
      EXPECT_EQ(patchmaker::SaveDirectory(), c.save_directory);
    });
    // The registry's folder is never written to Config.ini.
    if (c.config.empty()) {
      EXPECT_FALSE(fs::exists(folder_ / "Config.ini"));
    } else {
      std::ifstream in(folder_ / "Config.ini", std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.config);
    }
    host::ResetBindingForTests();
  }
}

TEST_F(StartupTest, TheLibraryRecordAndItsPlace) {
  const LibraryInfo& r = patchmaker::CryptoLibraryRecord();
  EXPECT_EQ(r.format, 20000101u);
  EXPECT_STREQ(r.guid, crypto::kLibraryGuid);
  EXPECT_STREQ(r.display_name, crypto::kLibraryName);
  EXPECT_EQ(r.major_version, 1);
  EXPECT_EQ(r.minor_version, 1);
  EXPECT_EQ(r.host_major, 3);
  EXPECT_EQ(r.core_major, 3);
  EXPECT_EQ(r.language, 1);
  EXPECT_EQ(r.data_type_count, 0);
  ASSERT_EQ(r.command_count, 2);
  EXPECT_EQ(r.command_functions[0], &host::decodebin_stub);
  EXPECT_EQ(r.command_functions[1], &host::encodebin_stub);
  EXPECT_EQ(r.notify, &host::cryptolib_notify);
  const host::ProgramDescription& p = patchmaker::Program();
  ASSERT_EQ(p.library_count, 8);
  EXPECT_EQ(p.libraries[7].record, &r);
}

TEST_F(StartupTest, WindowDefinitions) {
  const host::WindowDef& main = patchmaker::MainWindow();
  EXPECT_STREQ(main.title, "《Qelmar》补丁生成与安装V0.23  增量补丁专用");
  EXPECT_EQ(main.left, 50);
  EXPECT_EQ(main.width, 450);
  EXPECT_EQ(main.height, 310);
  EXPECT_EQ(main.unit_count + 1, 17) << "16 units and the window itself";
  std::map<std::string, const host::UnitDef*> units;
  for (int i = 0; i < main.unit_count; ++i) units[main.units[i].name] = &main.units[i];
  EXPECT_EQ(units.at("按钮2")->left, 300) << "6 right of the edit box";
  EXPECT_STREQ(units.at("按钮3")->parent, "分组框2");
  EXPECT_EQ(units.at("超级列表框1")->page, 0);
  EXPECT_EQ(units.at("编辑框1")->page, 1);
  EXPECT_STREQ(units.at("选择夹1")->items, "补丁生成|补丁安装");
  EXPECT_STREQ(units.at("删除")->parent, "菜单");
  const host::WindowDef& loading = patchmaker::LoadingWindow();
  EXPECT_EQ(loading.title, nullptr);
  EXPECT_EQ(loading.width, 380);
  EXPECT_EQ(loading.height, 103);
  EXPECT_STREQ(loading.units[0].caption, "载入中");
}

// Both windows unit by unit: type, name, caption, place, size, parent and page.
TEST_F(StartupTest, EveryUnitOfBothWindows) {
  using host::UnitType;
  struct Unit {
    UnitType type;
    const char* name;
    const char* caption;  // "" also for none
    int left, top, width, height;
    const char* parent;  // null: the window
    int page;
    const char* items;
    int item_width;
  };
  const Unit main_units[] = {
      {UnitType::Tab, "选择夹1", "", 10, 10, 415, 250, nullptr, -1, "补丁生成|补丁安装", 0},
      {UnitType::ListView, "超级列表框1", "", 19, 32, 380, 180, "选择夹1", 0, "欲替换的包内文件名|替换文件", 180},
      {UnitType::CheckBox, "选择框1", "载入补丁前 清空列表", 150, 4, 152, 13, "选择夹1", 0, nullptr, 0},
      {UnitType::FileDialog, "通用对话框1", "", 102, 126, 64, 40, "选择夹1", 0, "patch", 0},
      {UnitType::DropTarget, "拖放对象1", "", 244, 110, 56, 32, "选择夹1", 0, nullptr, 0},
      {UnitType::ProgressBar, "进度条1", "", 19, 222, 323, 16, "选择夹1", 0, nullptr, 0},
      {UnitType::Button, "按钮1", "生成", 346, 216, 50, 25, "选择夹1", 0, nullptr, 0},
      {UnitType::GroupBox, "分组框1", "Qelmar的安装目录", 27, 36, 350, 80, "选择夹1", 1, nullptr, 0},
      {UnitType::Edit, "编辑框1", "", 38, 66, 256, 30, "选择夹1", 1, nullptr, 0},
      {UnitType::Button, "按钮2", "选择", 300, 65, 60, 30, "选择夹1", 1, nullptr, 0},
      {UnitType::GroupBox, "分组框2", "补丁安装", 26, 144, 350, 80, "选择夹1", 1, nullptr, 0},
      {UnitType::Button, "按钮3", "安装", 274, 28, 60, 30, "分组框2", -1, nullptr, 0},
      {UnitType::ProgressBar, "进度条2", "", 36, 181, 258, 16, "选择夹1", 1, nullptr, 0},
      {UnitType::StatusBar, "状态条1", nullptr, 0, 264, 444, 20, nullptr, -1, nullptr, 0},  // its credit: below
      {UnitType::PopupMenu, "菜单", "菜单", 0, 0, 0, 0, nullptr, -1, nullptr, 0},
      {UnitType::MenuItem, "删除", "删除", 0, 0, 0, 0, "菜单", -1, nullptr, 0},
  };
  const Unit loading_units[] = {
      {UnitType::Label, "标签1", "载入中", 24, 16, 320, 48, nullptr, -1, nullptr, 0},
      {UnitType::ProgressBar, "进度条1", "", 8, 72, 360, 16, nullptr, -1, nullptr, 0},
  };
  const auto text = [](const char* s) { return std::string(s != nullptr ? s : ""); };
  const auto find = [&](const host::WindowDef& window, const std::string& name) -> const host::UnitDef* {
    for (int k = 0; k < window.unit_count; ++k)
      if (text(window.units[k].name) == name) return &window.units[k];
    return nullptr;
  };
  const auto compare = [&](const host::WindowDef& window, const Unit* expected, std::size_t count) {
    SCOPED_TRACE(window.name);
    ASSERT_EQ(window.unit_count, static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i) {
      const Unit& e = expected[i];
      SCOPED_TRACE(e.name);
      const host::UnitDef* found = find(window, e.name);
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(found->type, e.type);
      if (e.caption != nullptr) {
        EXPECT_EQ(text(found->caption), e.caption);
      }
      EXPECT_EQ(found->left, e.left);
      EXPECT_EQ(found->top, e.top);
      EXPECT_EQ(found->width, e.width);
      EXPECT_EQ(found->height, e.height);
      EXPECT_EQ(text(found->parent), text(e.parent));
      EXPECT_EQ(found->page, e.page);
      EXPECT_EQ(text(found->items), text(e.items));
      EXPECT_EQ(found->item_width, e.item_width);
    }
  };
  const host::WindowDef& main = patchmaker::MainWindow();
  EXPECT_STREQ(main.name, "MainWindow");
  EXPECT_EQ(text(main.title), "《Qelmar》补丁生成与安装V0.23  增量补丁专用");
  EXPECT_EQ((std::vector<int>{main.left, main.top, main.width, main.height}), (std::vector<int>{50, 50, 450, 310}));
  EXPECT_TRUE(main.visible);
  compare(main, main_units, std::size(main_units));
  const host::UnitDef* status = find(main, "状态条1");
  const std::string credit = status != nullptr ? text(status->caption) : "";
  EXPECT_FALSE(credit.empty()) << "the status bar shows a credit";
  EXPECT_EQ(credit.find_first_of("\r\n"), std::string::npos) << "on one line";

  const host::WindowDef& loading = patchmaker::LoadingWindow();
  EXPECT_STREQ(loading.name, "LoadingWindow");
  EXPECT_EQ(text(loading.title), "") << "no title";
  EXPECT_EQ((std::vector<int>{loading.left, loading.top, loading.width, loading.height}),
            (std::vector<int>{50, 50, 380, 103}));
  compare(loading, loading_units, std::size(loading_units));
  EXPECT_EQ(loading.event_count, 0);
}

}  // namespace

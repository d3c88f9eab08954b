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

}  // namespace

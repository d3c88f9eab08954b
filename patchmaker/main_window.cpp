#include "patchmaker/main_window.h"

#include <iterator>

#include "host/system.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"
#include "patchmaker/handlers.h"

namespace patchmaker {
namespace {

using host::Event;
using host::UnitType;

constexpr char kCredit[] = "Qelmar补丁工具  增量补丁的生成与安装";

// Positions are relative to the parent unit; page is the parent tab's page.
const host::UnitDef kMainUnits[] = {
    {UnitType::Tab, kTab, nullptr, 10, 10, 415, 250, nullptr, -1, "补丁生成|补丁安装", 0},
    {UnitType::ListView, kList, nullptr, 19, 32, 380, 180, kTab, 0, "欲替换的包内文件名|替换文件", 180},
    {UnitType::CheckBox, kClearCheck, "载入补丁前 清空列表", 150, 4, 152, 13, kTab, 0, nullptr, 0},
    {UnitType::FileDialog, kDialog, nullptr, 102, 126, 64, 40, kTab, 0, "patch", 0},
    {UnitType::DropTarget, kDropTarget, nullptr, 244, 110, 56, 32, kTab, 0, nullptr, 0},
    {UnitType::ProgressBar, kGenerateProgress, nullptr, 19, 222, 323, 16, kTab, 0, nullptr, 0},
    {UnitType::Button, kGenerateButton, "生成", 346, 216, 50, 25, kTab, 0, nullptr, 0},
    {UnitType::GroupBox, kFolderGroup, "Qelmar的安装目录", 27, 36, 350, 80, kTab, 1, nullptr, 0},
    {UnitType::Edit, kFolderEdit, nullptr, 38, 66, 256, 30, kTab, 1, nullptr, 0},
    {UnitType::Button, kChooseButton, "选择", 38 + 256 + 6, 65, 60, 30, kTab, 1, nullptr, 0},
    {UnitType::GroupBox, kInstallGroup, "补丁安装", 26, 144, 350, 80, kTab, 1, nullptr, 0},
    {UnitType::Button, kInstallButton, "安装", 274, 28, 60, 30, kInstallGroup, -1, nullptr, 0},
    {UnitType::ProgressBar, kInstallProgress, nullptr, 36, 181, 258, 16, kTab, 1, nullptr, 0},
    {UnitType::StatusBar, kStatusBar, kCredit, 0, 264, 444, 20, nullptr, -1, nullptr, 0},
    {UnitType::PopupMenu, kMenu, "菜单", 0, 0, 0, 0, nullptr, -1, nullptr, 0},
    {UnitType::MenuItem, kDeleteItem, "删除", 0, 0, 0, 0, kMenu, -1, nullptr, 0},
};

const host::EventRow kMainEvents[] = {
    {nullptr, Event::Created, &OnMainWindowCreated},
    {kList, Event::DoubleClicked, &OnListDoubleClick},
    {kList, Event::RightClicked, &OnListContextMenu},
    {kDropTarget, Event::FilesDropped, &OnFilesDropped},
    {kGenerateButton, Event::Clicked, &OnGenerateClicked},
    {kChooseButton, Event::Clicked, &OnChooseInstallDir},
    {kInstallButton, Event::Clicked, &OnInstallClicked},
    {kDeleteItem, Event::MenuSelected, &OnDeleteRow},
    {nullptr, Event::CloseRequested, &OnMainWindowCloseRequested},
};

const host::WindowDef kMain = {kMainWindow, kMainTitle, 50, 50, 450, 310, true,
                               kMainUnits, static_cast<int>(std::size(kMainUnits)),
                               kMainEvents, static_cast<int>(std::size(kMainEvents))};

const host::UnitDef kLoadingUnits[] = {
    {UnitType::Label, "标签1", "载入中", 24, 16, 320, 48, nullptr, -1, nullptr, 0},
    {UnitType::ProgressBar, "进度条1", nullptr, 8, 72, 360, 16, nullptr, -1, nullptr, 0},
};

const host::WindowDef kLoading = {kLoadingWindow, nullptr, 50, 50, 380, 103, true,
                                  kLoadingUnits, static_cast<int>(std::size(kLoadingUnits)),
                                  nullptr, 0};

}  // namespace

void OnMainWindowCloseRequested(const host::EventArgs& args) {
  // A worker still writes a patch or the archive: closing now would cut it short.
  if (RunningWorkers().load() == 0) return;
  host::Ui().ShowMessage("正在处理，请等待完成后再关闭", "提示");
  if (args.keep_open != nullptr) *args.keep_open = true;
}

const host::WindowDef& MainWindow() { return kMain; }
const host::WindowDef& LoadingWindow() { return kLoading; }

void OnMainWindowCreated(const host::EventArgs& /*args*/) {
  RegisterFileType();
  SetPatchKeyStream(DefaultPatchKeyStream());
  host::Ui().RegisterDropTarget(kDropTarget, kTab);
  if (SaveDirectory().empty()) SetSaveDirectory(ReadConfig(kSaveDirectoryKey));
  if (InstallDirectory().empty()) {
    GbkText folder = ReadConfig(kInstallDirectoryKey);
    if (folder.empty()) folder = host::Sys().ReadUserRegistryText("Software\\Vantro\\QelmarClient", "QelmarPath");
    SetInstallDirectory(folder);
  }
  host::Ui().SetText(kFolderEdit, InstallDirectory());
  HandleCommandLine();
}

}  // namespace patchmaker

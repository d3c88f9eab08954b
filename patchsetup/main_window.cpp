#include "patchsetup/main_window.h"

#include <iterator>

#include "host/system.h"
#include "patchsetup/globals.h"
#include "patchsetup/install.h"

namespace patchsetup {
namespace {

using host::Event;
using host::UnitType;

// Positions are relative to the parent unit; page 0 is the tab's only page.
const host::UnitDef kMainUnits[] = {
    {UnitType::Tab, kTab, nullptr, 10, 10, 415, 250, nullptr, -1, "补丁安装", 0},
    {UnitType::GroupBox, kFolderGroup, "Qelmar的安装目录", 27, 36, 350, 80, kTab, 0, nullptr, 0},
    {UnitType::Edit, kFolderEdit, nullptr, 38, 66, 256, 30, kTab, 0, nullptr, 0},
    {UnitType::Button, kChooseButton, "选择", 38 + 256 + 6, 65, 60, 30, kTab, 0, nullptr, 0},
    {UnitType::GroupBox, kInstallGroup, "补丁安装", 26, 144, 350, 80, kTab, 0, nullptr, 0},
    {UnitType::Button, kOldPatchButton, ".patch", 277, 14, 60, 25, kInstallGroup, -1, nullptr, 0},
    {UnitType::Button, kInstallButton, ".patch2", 276, 46, 60, 25, kInstallGroup, -1, nullptr, 0},
    {UnitType::ProgressBar, kInstallProgress, nullptr, 36, 181, 258, 16, kTab, 0, nullptr, 0},
    // No default extension: the filter alone decides what is offered.
    {UnitType::FileDialog, kDialog, nullptr, 166, 6, 80, 40, kTab, 0, nullptr, 0},
    {UnitType::StatusBar, kStatusBar, kStatusCredit, 0, 264, 444, 20, nullptr, -1, nullptr, 0},
};

const host::EventRow kMainEvents[] = {
    {nullptr, Event::Created, &OnMainWindowCreated},
    {kChooseButton, Event::Clicked, &OnChooseInstallDir},
    {kInstallButton, Event::Clicked, &OnInstallClicked},
    {kOldPatchButton, Event::Clicked, &OnInstallOldPatchClicked},
    {nullptr, Event::CloseRequested, &OnMainWindowCloseRequested},
};

const host::WindowDef kMain = {kMainWindow, kMainTitle, 50, 50, 450, 310, true,
                               kMainUnits, static_cast<int>(std::size(kMainUnits)),
                               kMainEvents, static_cast<int>(std::size(kMainEvents))};

}  // namespace

const host::WindowDef& MainWindow() { return kMain; }

void OnMainWindowCreated(const host::EventArgs& /*args*/) {
  SetPatchKeyStream(patchmaker::DefaultPatchKeyStream());
  if (InstallDirectory().empty()) SetInstallDirectory(ReadConfiguredInstallDirectory());
  host::Ui().SetText(kFolderEdit, InstallDirectory());
}

void OnMainWindowCloseRequested(const host::EventArgs& args) {
  // A worker may be between re-pointing entries and appending their data:
  // closing now could leave entries pointing past the end of Data.vnt.
  if (RunningWorkers() == 0) return;
  host::Ui().ShowMessage("正在处理，请等待完成后再关闭", "提示");
  if (args.keep_open != nullptr) *args.keep_open = true;
}

}  // namespace patchsetup

// The install buttons, the folder choice and the two install workers.
#include "patchsetup/install.h"

#include <atomic>
#include <memory>
#include <new>
#include <string>

#include "host/archive_lock.h"
#include "host/system.h"
#include "patchmaker/archive.h"
#include "patchsetup/globals.h"
#include "patchsetup/main_window.h"

namespace patchsetup {
namespace {

using patchmaker::InstallOutcome;
using patchmaker::InstallRequest;
using patchmaker::InstallResult;
using patchmaker::PatchVersion;

constexpr char kPickFolderTitle[] = "请选择Qelmar的安装目录";

std::atomic<int> g_running_workers{0};

void SetInstallButtonsEnabled(bool enabled) {
  host::Ui().SetEnabled(kInstallButton, enabled);
  host::Ui().SetEnabled(kOldPatchButton, enabled);
}

// One install from its click until its worker has ended. Both buttons stay
// disabled all that time, so two installs never change Data.vnt at once. The
// worker's job owns it, so it ends whichever way the job does, also when no
// thread could be started and the job is dropped unrun.
class InstallRun {
 public:
  InstallRun() {
    ++g_running_workers;
    SetInstallButtonsEnabled(false);
  }
  ~InstallRun() {
    SetInstallButtonsEnabled(true);
    --g_running_workers;
  }
  InstallRun(const InstallRun&) = delete;
  InstallRun& operator=(const InstallRun&) = delete;
};

struct PatchKind {
  PatchVersion version;
  const char* filter;
  const char* file_name;
};
constexpr PatchKind kPatch2 = {PatchVersion::kV02, "补丁文件（*.patch2）|*.patch2", "New.patch2"};
constexpr PatchKind kOldPatch = {PatchVersion::kV01, "补丁文件（*.patch）|*.patch", "New.patch"};

void InstallFromDialog(const PatchKind& kind) {
  host::WindowFramework& ui = host::Ui();
  host::FileDialogRequest dialog;
  dialog.save = false;
  dialog.filter = kind.filter;
  dialog.file_name = kind.file_name;
  dialog.initial_folder = host::Sys().ProgramFolder();
  InstallRequest request;
  if (!ui.ShowFileDialog(kDialog, dialog, &request.patch_path)) {
    ui.ShowMessage("打开补丁失败", "提示");
    return;
  }
  // This run's own copies, taken once the patch is chosen: "选择" may have
  // changed the folder while the dialog was open.
  request.install_directory = InstallDirectory();
  request.version = kind.version;
  request.add_missing_names = false;
  request.progress_bars = {kInstallProgress};
  if (kind.version == PatchVersion::kV02) request.key_stream = PatchKeyStream();  // an old index is plain text
  // Another process installing into the same archive refuses this one.
  request.locks = &host::InstallLocks();
  // Every outcome but an install has shown its own message.
  const InstallResult result = ApplyPatchToArchive(ui, host::FileSystem(), request);
  if (result.outcome != InstallOutcome::kInstalled) return;
  if (result.found < result.entry_count) {
    ui.ShowMessage("安装未完成|由于文件名不匹配" + std::to_string(result.entry_count - result.found) + "个文件未安装",
                   "提示");
  }
  ui.ShowMessage("安装成功", "提示");
}

// A worker's whole run; running out of memory is said, and nothing is written
// then. The buttons come back as the worker's job ends.
void RunWorker(const PatchKind& kind) {
  if (!host::RunsInMemory([&] { InstallFromDialog(kind); }))
    host::Ui().ShowMessage(patchmaker::OutOfMemoryText(), "提示");
}

void StartInstall(void (*worker)()) {
  // The buttons are disabled while a worker runs; a click already on its way
  // changes nothing.
  if (g_running_workers.load() != 0) return;
  if (InstallDirectory().empty()) {
    SetInstallDirectory(ReadConfiguredInstallDirectory());  // the edit box is left as it is
    if (InstallDirectory().empty()) {
      const GbkText folder = host::Ui().PickFolder(kPickFolderTitle);
      SetInstallDirectory(folder);
      host::Ui().SetText(kFolderEdit, folder);
      if (folder.empty()) return;
      WriteConfiguredInstallDirectory(folder);
    }
  }
  host::Ui().StartWorker([run = std::make_shared<InstallRun>(), worker] { worker(); });
}

}  // namespace

void InstallPatchFromDialog() { RunWorker(kPatch2); }
void InstallOldPatchFromDialog() { RunWorker(kOldPatch); }

int RunningWorkers() { return g_running_workers.load(); }

void OnInstallClicked(const host::EventArgs& /*args*/) { StartInstall(&InstallPatchFromDialog); }
void OnInstallOldPatchClicked(const host::EventArgs& /*args*/) { StartInstall(&InstallOldPatchFromDialog); }

void OnChooseInstallDir(const host::EventArgs& /*args*/) {
  const GbkText folder = host::Ui().PickFolder(kPickFolderTitle);
  SetInstallDirectory(folder);
  host::Ui().SetText(kFolderEdit, folder);
  if (!folder.empty()) WriteConfiguredInstallDirectory(folder);
}

}  // namespace patchsetup

// Installing a patch from the button, from a drop and from the command line.
#include <atomic>

#include "host/system.h"
#include "patchmaker/archive.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"
#include "patchmaker/handlers.h"
#include "patchmaker/main_window.h"

namespace patchmaker {
namespace {

std::atomic<bool> g_installing{false};
std::atomic<int> g_running_workers{0};

constexpr char kPickFolderTitle[] = "请选择Qelmar的安装目录";
constexpr char kPatchFilter[] = "补丁文件（*.patch2）|*.patch2";

InstallResult Install(const GbkText& path, std::vector<GbkText> progress_bars) {
  InstallRequest request;
  request.patch_path = path;
  request.install_directory = InstallDirectory();  // this install's own copy
  request.version = PatchVersion::kV02;
  request.add_missing_names = true;
  request.progress_bars = std::move(progress_bars);
  request.key_stream = PatchKeyStream();
  return ApplyPatchToArchive(host::Ui(), host::FileSystem(), request);
}

}  // namespace

bool BeginInstallation() {
  bool expected = false;
  if (g_installing.compare_exchange_strong(expected, true)) return true;
  host::Ui().ShowMessage("正在安装补丁，请等待安装完成", "提示");
  return false;
}

void EndInstallation() { g_installing.store(false); }

std::atomic<int>& RunningWorkers() { return g_running_workers; }

void StartCountedWorker(void (*work)()) {
  struct Count {
    Count() { ++g_running_workers; }
    ~Count() { --g_running_workers; }
  };
  auto count = std::make_shared<Count>();
  host::Ui().StartWorker([count, work] { work(); });
}

void OnInstallClicked(const host::EventArgs& /*args*/) {
  if (InstallDirectory().empty()) {
    SetInstallDirectory(ReadConfig(kInstallDirectoryKey));
    if (InstallDirectory().empty()) {
      const GbkText folder = host::Ui().PickFolder(kPickFolderTitle);
      SetInstallDirectory(folder);
      host::Ui().SetText(kFolderEdit, folder);
      if (folder.empty()) return;
      WriteConfig(kInstallDirectoryKey, folder);
    }
  }
  StartCountedWorker(&InstallPatchFromDialog);
}

void InstallPatchFromDialog() {
  host::WindowFramework& ui = host::Ui();
  ui.SetEnabled(kInstallButton, false);
  host::FileDialogRequest request;
  request.save = false;
  request.filter = kPatchFilter;
  request.file_name = "New.patch2";
  request.initial_folder = host::Sys().ProgramFolder();
  GbkText path;
  if (!ui.ShowFileDialog(kDialog, request, &path)) {
    ui.ShowMessage("请选择要安装的补丁", "提示");
    ui.SetEnabled(kInstallButton, true);
    return;
  }
  if (BeginInstallation()) {
    const InstallResult result = Install(path, {kInstallProgress});
    EndInstallation();
    if (result.outcome == InstallOutcome::kInstalled) ui.ShowMessage("安装成功", "提示");
  }
  ui.SetEnabled(kInstallButton, true);
}

void InstallPatch(const GbkText& path) {
  host::WindowFramework& ui = host::Ui();
  if (!BeginInstallation()) return;
  std::vector<GbkText> bars = {kInstallProgress};
  if (ui.IsLoaded(kLoadingWindow)) bars.push_back(kLoadingProgress);
  const InstallResult result = Install(path, bars);
  EndInstallation();
  if (result.outcome != InstallOutcome::kInstalled) return;
  ui.ShowMessage(path + "\r\n安装成功", "提示");
  if (ui.IsLoaded(kLoadingWindow)) {
    ui.CloseWindow(kLoadingWindow);
    host::EndProgram(0);
  }
}

}  // namespace patchmaker

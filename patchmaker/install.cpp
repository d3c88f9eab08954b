// Installing a patch from the button, from a drop and from the command line.
#include <atomic>
#include <memory>
#include <new>

#include "host/archive_lock.h"
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

InstallResult Install(const GbkText& path, std::vector<GbkText> progress_bars, bool wait_for_turn) {
  InstallRequest request;
  request.patch_path = path;
  request.install_directory = InstallDirectory();  // this install's own copy
  request.version = PatchVersion::kV02;
  request.add_missing_names = true;
  request.progress_bars = std::move(progress_bars);
  request.key_stream = PatchKeyStream();
  request.locks = &host::InstallLocks();
  request.wait_for_turn = wait_for_turn;
  return ApplyPatchToArchive(host::Ui(), host::FileSystem(), request);
}

// The one-install-at-a-time guard of this process, given back however the
// install ends.
class Installation {
 public:
  Installation() : begun_(BeginInstallation()) {}
  ~Installation() {
    if (begun_) EndInstallation();
  }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;
  bool begun() const { return begun_; }

 private:
  bool begun_;
};

void ShowOutOfMemory() { host::Ui().ShowMessage(OutOfMemoryText(), "提示"); }

void InstallFromDialog() {
  host::WindowFramework& ui = host::Ui();
  host::FileDialogRequest request;
  request.save = false;
  request.filter = kPatchFilter;
  request.file_name = "New.patch2";
  request.initial_folder = host::Sys().ProgramFolder();
  GbkText path;
  if (!ui.ShowFileDialog(kDialog, request, &path)) {
    ui.ShowMessage("请选择要安装的补丁", "提示");
    return;
  }
  InstallResult result;
  {
    const Installation installation;
    if (!installation.begun()) return;
    result = Install(path, {kInstallProgress}, false);
  }
  if (result.outcome == InstallOutcome::kInstalled) ui.ShowMessage("安装成功", "提示");
}

// False when the install did not happen (each way out has said why).
bool InstallGiven(const GbkText& path, bool wait_for_turn) {
  host::WindowFramework& ui = host::Ui();
  InstallResult result;
  {
    const Installation installation;
    if (!installation.begun()) return false;
    std::vector<GbkText> bars = {kInstallProgress};
    if (ui.IsLoaded(kLoadingWindow)) bars.push_back(kLoadingProgress);
    result = Install(path, bars, wait_for_turn);
  }
  if (result.outcome != InstallOutcome::kInstalled) return false;
  ui.ShowMessage(path + "\r\n安装成功", "提示");
  return true;
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

void StartButtonWorker(const char* button, void (*work)()) {
  // Owned by the worker's job, so that it ends however the job does.
  class Run {
   public:
    explicit Run(const char* button) : button_(button) {
      ++g_running_workers;
      host::Ui().SetEnabled(button_, false);
    }
    ~Run() {
      host::Ui().SetEnabled(button_, true);
      --g_running_workers;
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

   private:
    const char* button_;
  };
  host::Ui().StartWorker([run = std::make_shared<Run>(button), work] { work(); });
}

void OnInstallClicked(const host::EventArgs& /*args*/) {
  // A click that slipped past the disabled button starts nothing.
  if (!host::Ui().IsEnabled(kInstallButton)) return;
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
  StartButtonWorker(kInstallButton, &InstallPatchFromDialog);
}

void InstallPatchFromDialog() {
  // Out of memory, nothing was written; the button comes back as the worker ends.
  if (!RunsInMemory([] { InstallFromDialog(); })) ShowOutOfMemory();
}

void InstallPatch(const GbkText& path, bool wait_for_turn) {
  bool installed = false;
  if (!RunsInMemory([&] { installed = InstallGiven(path, wait_for_turn); })) ShowOutOfMemory();
  host::WindowFramework& ui = host::Ui();
  if (!installed || !ui.IsLoaded(kLoadingWindow)) return;
  ui.CloseWindow(kLoadingWindow);
  // A worker still runs (a generation, say): the program runs on and ends as
  // usual when the user closes it.
  if (RunningWorkers().load() == 0) host::EndProgram(0);
}

}  // namespace patchmaker

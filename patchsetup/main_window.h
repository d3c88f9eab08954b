// patchsetup's one window as data, the names of its units, and its handlers.
#pragma once

#include "host/window.h"

namespace patchsetup {

// Unit names of MainWindow.
inline constexpr char kMainWindow[] = "MainWindow";
inline constexpr char kTab[] = "选择夹1";
inline constexpr char kFolderGroup[] = "分组框1";
inline constexpr char kFolderEdit[] = "编辑框1";
inline constexpr char kChooseButton[] = "按钮2";
inline constexpr char kInstallGroup[] = "分组框2";
inline constexpr char kOldPatchButton[] = "按钮3";  // ".patch"
inline constexpr char kInstallButton[] = "按钮1";   // ".patch2"
inline constexpr char kInstallProgress[] = "进度条2";
inline constexpr char kDialog[] = "通用对话框1";
inline constexpr char kStatusBar[] = "状态条1";

// The title bar: the program's name, five blanks, a credit.
inline constexpr char kMainTitle[] = "Dravika补丁安装V0.2     Qelmar补丁工具";
inline constexpr char kStatusCredit[] = "Qelmar补丁工具  增量补丁的安装";

const host::WindowDef& MainWindow();

// Takes the key stream, reads the install directory, shows it.
void OnMainWindowCreated(const host::EventArgs& args);
// Keeps the window open while an install worker runs.
void OnMainWindowCloseRequested(const host::EventArgs& args);
// "选择": the folder picker; its answer replaces the install directory.
void OnChooseInstallDir(const host::EventArgs& args);
// ".patch2" and ".patch": make sure of the install directory, start a worker.
void OnInstallClicked(const host::EventArgs& args);
void OnInstallOldPatchClicked(const host::EventArgs& args);

}  // namespace patchsetup

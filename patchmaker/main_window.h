// patchmaker's two windows as data, and the names of their units.
#pragma once

#include "host/window.h"

namespace patchmaker {

// Unit names of MainWindow.
inline constexpr char kMainWindow[] = "MainWindow";
inline constexpr char kTab[] = "选择夹1";
inline constexpr char kList[] = "超级列表框1";
inline constexpr char kClearCheck[] = "选择框1";
inline constexpr char kDialog[] = "通用对话框1";
inline constexpr char kDropTarget[] = "拖放对象1";
inline constexpr char kGenerateProgress[] = "进度条1";
inline constexpr char kGenerateButton[] = "按钮1";
inline constexpr char kFolderGroup[] = "分组框1";
inline constexpr char kFolderEdit[] = "编辑框1";
inline constexpr char kChooseButton[] = "按钮2";
inline constexpr char kInstallGroup[] = "分组框2";
inline constexpr char kInstallButton[] = "按钮3";
inline constexpr char kInstallProgress[] = "进度条2";
inline constexpr char kStatusBar[] = "状态条1";
inline constexpr char kMenu[] = "菜单";
inline constexpr char kDeleteItem[] = "删除";
inline constexpr char kMainTitle[] = "《Qelmar》补丁生成与安装V0.23  增量补丁专用";

// LoadingWindow, opened for a command-line install.
inline constexpr char kLoadingWindow[] = "LoadingWindow";
inline constexpr char kLoadingLabel[] = "LoadingWindow.标签1";
inline constexpr char kLoadingProgress[] = "LoadingWindow.进度条1";

const host::WindowDef& MainWindow();
const host::WindowDef& LoadingWindow();

// The creation handler of MainWindow.
void OnMainWindowCreated(const host::EventArgs& args);
// Keeps the window open while a worker installs or generates.
void OnMainWindowCloseRequested(const host::EventArgs& args);

}  // namespace patchmaker

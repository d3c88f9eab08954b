#include "host/win32/run.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

// windows.h renames it to the ANSI function; here it is Backend's method.
#undef SetCurrentDirectory

#include "host/program.h"
#include "host/win32/win32_system.h"
#include "host/win32/win32_ui.h"

namespace host {
namespace win32 {
namespace {

class Win32Backend final : public Backend {
 public:
  WindowFramework& ui() override { return ui_; }
  System& sys() override { return sys_; }
  Files& files() override { return PlatformFiles(); }
  void SetCurrentDirectory(const GbkText& folder) override { SetCurrentDirectoryA(folder.c_str()); }
  void RunMessageLoop() override { ui_.RunMessageLoop(); }
  [[noreturn]] void ExitProcess(int exit_code) override { ::ExitProcess(static_cast<UINT>(exit_code)); }

 private:
  Win32Ui ui_;
  Win32System sys_;
};

}  // namespace
}  // namespace win32

int RunWin32Program(const ProgramDescription& program) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
  InitCommonControlsEx(&controls);
  HRESULT ole = OleInitialize(nullptr);
  int exit_code;
  {
    win32::Win32Backend backend;  // its window thread is this one
    exit_code = RunProgram(backend, program);
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  return exit_code;
}

}  // namespace host

// Checks the real patchmaker.exe from outside, in the same Wine prefix,
// through window messages. Phases (one per run, so that the script can take a
// screenshot between them):
//   reset   before the program starts: removes the .patch2 association and
//           sets the client's install folder in the registry
//   check   title, every unit of both pages, start-up state, file association
//           (leaves page 0 shown)
//   page1   a click on the second tab shows page 1
//   close   WM_CLOSE ends the program with exit code 0
// check and page1 print the window's screen rectangle as "geometry WxH+X+Y".
// Prints "N passed, M failed" on its last line.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/win32/drive.h"

namespace {

using namespace drive;

constexpr wchar_t kMainTitle[] = L"《Qelmar》补丁生成与安装V0.23  增量补丁专用";
constexpr wchar_t kCredit[] = L"Qelmar补丁工具  增量补丁的生成与安装";
constexpr wchar_t kClientKey[] = L"Software\\Vantro\\QelmarClient";
constexpr wchar_t kInstallFolder[] = L"C:\\游戏\\Qelmar";

std::wstring ColumnText(HANDLE process, HWND list, int column) {
  LVCOLUMNW item{};
  item.mask = LVCF_TEXT;
  return RemoteText(process, list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), item);
}

std::wstring ClassesDefault(const wchar_t* key) {
  wchar_t value[MAX_PATH * 2] = {};
  LONG size = sizeof value;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, key, value, &size) != ERROR_SUCCESS) return L"<missing>";
  return value;
}

// ---- The program's windows -----------------------------------------------------

struct Program : Target {
  HWND tab = nullptr, list = nullptr, clear_check = nullptr, generate = nullptr, generate_progress = nullptr;
  HWND folder_group = nullptr, folder_edit = nullptr, choose = nullptr;
  HWND install_group = nullptr, install = nullptr, install_progress = nullptr, status = nullptr;
  std::vector<HWND> progress_bars;
};

bool Attach(Program* program) {
  if (!AttachMain(program, kMainTitle, "the main window appears, found by its exact title")) return false;
  HWND main = program->main;
  program->tab = FindChild(main, WC_TABCONTROLW);
  program->list = FindChild(main, WC_LISTVIEWW);
  program->clear_check = FindChild(main, L"Button", L"载入补丁前 清空列表");
  program->generate = FindChild(main, L"Button", L"生成");
  program->folder_group = FindChild(main, L"Button", L"Qelmar的安装目录");
  program->folder_edit = FindChild(main, L"Edit");
  program->choose = FindChild(main, L"Button", L"选择");
  program->install_group = FindChild(main, L"Button", L"补丁安装");
  program->install = FindChild(main, L"Button", L"安装");
  program->status = FindChild(main, STATUSCLASSNAMEW);
  program->progress_bars = ChildrenOfClass(main, PROGRESS_CLASSW);
  // Created in the definition's order: the generate bar first.
  if (program->progress_bars.size() == 2) {
    program->generate_progress = program->progress_bars[0];
    program->install_progress = program->progress_bars[1];
  }
  return program->process != nullptr;
}

void PrintGeometry(const Program& program) {
  RECT rect{};
  GetWindowRect(program.main, &rect);
  std::printf("geometry %ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
}

// Painted before the script's screenshot.
void ShowForScreenshot(const Program& program) {
  RedrawWindow(program.main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PrintGeometry(program);
}

bool Shown(const std::vector<HWND>& units) {
  for (HWND hwnd : units) {
    if (hwnd == nullptr || !IsWindowVisible(hwnd)) return false;
  }
  return true;
}

bool Hidden(const std::vector<HWND>& units) {
  for (HWND hwnd : units) {
    if (hwnd == nullptr || IsWindowVisible(hwnd)) return false;
  }
  return true;
}

std::vector<HWND> PageZero(const Program& p) { return {p.list, p.clear_check, p.generate, p.generate_progress}; }

std::vector<HWND> PageOne(const Program& p) {
  return {p.folder_group, p.folder_edit, p.choose, p.install_group, p.install, p.install_progress};
}

bool IsButton(HWND hwnd, LONG_PTR type) { return hwnd != nullptr && (StyleOf(hwnd) & BS_TYPEMASK) == type; }

bool HasRange100(HWND bar) {
  return bar != nullptr && Send(bar, PBM_GETRANGE, TRUE) == 0 && Send(bar, PBM_GETRANGE, FALSE) == 100 &&
         Send(bar, PBM_GETPOS) == 0;
}

// The program's own path as Windows names it, for the association's values.
std::wstring ImagePath(HANDLE process) {
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) return std::wstring();
  return std::wstring(path, size);
}

void CheckPhase(Program& p) {
  Check(TextOf(p.main) == kMainTitle, "the title is exactly the definition's, in Chinese");
  Check((StyleOf(p.main) & WS_CAPTION) == WS_CAPTION, "the main window has a caption bar");
  Check(FindTopLevel(p.process_id, L"#32770") == nullptr, "no message box or dialog at start-up");

  Check(p.tab != nullptr && GetParent(p.tab) == p.main, "the tab control exists");
  Check(p.tab != nullptr && Send(p.tab, TCM_GETITEMCOUNT) == 2, "the tab control has two pages");
  Check(p.tab != nullptr && TabText(p.process, p.tab, 0) == L"补丁生成" && TabText(p.process, p.tab, 1) == L"补丁安装",
        "the pages are \"补丁生成\" and \"补丁安装\"");
  Check(p.tab != nullptr && Send(p.tab, TCM_GETCURSEL) == 0, "page 0 is current at start");

  Check(p.list != nullptr && GetParent(p.list) == p.tab, "the list view exists on the tab control");
  HWND header = p.list != nullptr ? reinterpret_cast<HWND>(Send(p.list, LVM_GETHEADER)) : nullptr;
  Check(header != nullptr && Send(header, HDM_GETITEMCOUNT) == 2, "the list view has two columns");
  Check(p.list != nullptr && ColumnText(p.process, p.list, 0) == L"欲替换的包内文件名" &&
            ColumnText(p.process, p.list, 1) == L"替换文件",
        "the columns are \"欲替换的包内文件名\" and \"替换文件\"");
  Check(p.list != nullptr && (StyleOf(p.list) & LVS_TYPEMASK) == LVS_REPORT, "the list view is a report view");
  Check(p.list != nullptr && Send(p.list, LVM_GETITEMCOUNT) == 0, "the list is empty at start");

  Check(IsButton(p.clear_check, BS_AUTOCHECKBOX), "the check box \"载入补丁前 清空列表\" exists");
  Check(p.clear_check != nullptr && Send(p.clear_check, BM_GETCHECK) == BST_UNCHECKED, "it is unchecked at start");
  Check(IsButton(p.generate, BS_PUSHBUTTON), "the button \"生成\" exists");
  Check(IsButton(p.choose, BS_PUSHBUTTON), "the button \"选择\" exists");
  Check(IsButton(p.install, BS_PUSHBUTTON), "the button \"安装\" exists");
  Check(IsButton(p.folder_group, BS_GROUPBOX), "the group box \"Qelmar的安装目录\" exists");
  Check(IsButton(p.install_group, BS_GROUPBOX), "the group box \"补丁安装\" exists");
  RECT group_rect{}, install_rect{};
  GetWindowRect(p.install_group, &group_rect);
  GetWindowRect(p.install, &install_rect);
  Check(p.install != nullptr && p.install_group != nullptr && GetParent(p.install) == GetParent(p.install_group) &&
            install_rect.left == group_rect.left + 274 && install_rect.top == group_rect.top + 28,
        "\"安装\" is placed relative to its group box");
  Check(p.folder_edit != nullptr && GetParent(p.folder_edit) == p.tab, "the edit box exists on the tab control");
  Check(p.folder_edit != nullptr && TextOf(p.folder_edit) == kInstallFolder,
        "the edit box shows the client's install folder from the registry");
  Check(p.progress_bars.size() == 2, "two progress bars exist");
  Check(HasRange100(p.generate_progress) && HasRange100(p.install_progress), "both run 0..100 and start at 0");
  Check(p.status != nullptr && GetParent(p.status) == p.main && TextOf(p.status) == kCredit,
        "the status bar shows its caption");

  Check(Shown(PageZero(p)) && Hidden(PageOne(p)), "only page 0's units are shown");

  // Written by the program at start-up (the reset phase removed them).
  std::wstring program = ImagePath(p.process);
  Check(!program.empty(), "the program's path is known");
  Check(ClassesDefault(L".patch2") == L"patch2file", "HKCR\\.patch2 = patch2file");
  Check(ClassesDefault(L"patch2file") == L"patch2", "HKCR\\patch2file = patch2");
  Check(ClassesDefault(L"patch2file\\DefaultIcon") == program + L",0", "HKCR\\patch2file\\DefaultIcon = <program>,0");
  Check(ClassesDefault(L"patch2file\\shell\\open\\command") == program + L" %1",
        "HKCR\\patch2file\\shell\\open\\command = <program> %1");
  if (ClassesDefault(L"patch2file\\shell\\open\\command") != program + L" %1") {
    std::printf("     got: %ls (program %ls)\n", ClassesDefault(L"patch2file\\shell\\open\\command").c_str(),
                program.c_str());
  }

  ShowForScreenshot(p);
}

void PageOnePhase(Program& p) {
  Check(ClickTab(p.process, p.tab, 1), "a click on \"补丁安装\" selects page 1");
  Check(WaitFor([&] { return Shown(PageOne(p)) && Hidden(PageZero(p)); }), "page 1's units are shown, page 0's hidden");
  Check(IsWindowVisible(p.status) && IsWindowVisible(p.tab), "the tab control and status bar stay shown");
  ShowForScreenshot(p);
}

void ClosePhase(Program& p) {
  PostMessageW(p.main, WM_CLOSE, 0, 0);
  Check(WaitFor([&] { return !IsWindow(p.main); }), "WM_CLOSE closes the main window");
  Check(WaitForSingleObject(p.process, 15000) == WAIT_OBJECT_0, "the program ends with its window");
  DWORD code = 1;
  GetExitCodeProcess(p.process, &code);
  Check(code == 0, "the exit code is 0");
}

// Runs before the program: what it shows and writes at start-up is then its own.
void ResetPhase() {
  LONG removed = RegDeleteTreeW(HKEY_CLASSES_ROOT, L"patch2file");
  LONG removed_extension = RegDeleteTreeW(HKEY_CLASSES_ROOT, L".patch2");
  Check((removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND) &&
            (removed_extension == ERROR_SUCCESS || removed_extension == ERROR_FILE_NOT_FOUND),
        "the .patch2 association is removed");
  HKEY key = nullptr;
  bool set = RegCreateKeyExW(HKEY_CURRENT_USER, kClientKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
             ERROR_SUCCESS;
  if (set) {
    set = RegSetValueExW(key, L"QelmarPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(kInstallFolder),
                         sizeof kInstallFolder) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  Check(set, "the client's install folder is in the registry");
}

}  // namespace

int main(int argc, char** argv) {
  std::string phase = argc > 1 ? argv[1] : "check";
  Program program;
  if (phase == "reset") {
    ResetPhase();
  } else if (phase != "check" && phase != "page1" && phase != "close") {
    Check(false, "a known phase: reset, check, page1 or close");
  } else if (Attach(&program)) {
    if (phase == "check") CheckPhase(program);
    if (phase == "page1") PageOnePhase(program);
    if (phase == "close") ClosePhase(program);
  }
  if (program.process != nullptr) CloseHandle(program.process);
  return Finish();
}

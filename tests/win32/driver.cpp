// Drives the demo program from outside, in the same Wine prefix, through
// window messages, input and an OLE drag. Phases (one per run, so a
// screenshot can be taken between them):
//   first   controls, Created handler, button, question and message box,
//           popup menu, input box, dropped files (leaves page 0 shown)
//   second  tab page switch, group-box button, worker thread, file dialog,
//           folder picker (page 1 shown)
//   close   the program runs while a window is left and exits with code 0
// Prints "N passed, M failed" on its last line.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/win32/drive.h"

namespace {

using namespace drive;

constexpr wchar_t kMainTitle[] = L"Qelmar 演示窗口";

// ---- The demo's windows -------------------------------------------------------

struct Demo : Target {
  HWND side = nullptr;
  HWND tab = nullptr, list = nullptr, check = nullptr, progress = nullptr, add = nullptr;
  HWND group = nullptr, inner = nullptr, edit = nullptr, label = nullptr, status = nullptr;
  HWND choose_file = nullptr, choose_folder = nullptr;
};

bool Attach(Demo* demo) {
  if (!AttachMain(demo, kMainTitle, "the demo's window appears, found by its title")) return false;
  demo->side = FindTopLevel(demo->process_id, kWindowClass, L"");
  demo->tab = FindChild(demo->main, WC_TABCONTROLW);
  demo->list = FindChild(demo->main, WC_LISTVIEWW);
  demo->check = FindChild(demo->main, L"Button", L"勾选提问");
  demo->progress = FindChild(demo->main, PROGRESS_CLASSW);
  demo->add = FindChild(demo->main, L"Button", L"添加");
  demo->group = FindChild(demo->main, L"Button", L"分组");
  demo->inner = FindChild(demo->main, L"Button", L"组内按钮");
  demo->edit = FindChild(demo->main, L"Edit");
  demo->label = FindChild(demo->main, L"Static", L"标签文字：中文显示");
  demo->status = FindChild(demo->main, STATUSCLASSNAMEW);
  demo->choose_file = FindChild(demo->main, L"Button", L"选择文件");
  demo->choose_folder = FindChild(demo->main, L"Button", L"选择目录");
  return demo->process != nullptr;
}

int RowCount(const Demo& demo) { return drive::RowCount(demo.list); }

bool Row(const Demo& demo, int row, const wchar_t* first, const wchar_t* second) {
  return ItemText(demo.process, demo.list, row, 0) == first && ItemText(demo.process, demo.list, row, 1) == second;
}

// The demo runs from the driver's folder.
std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.rfind(L'\\'));
}

void SystemChecks(const Demo& demo) {
  HWND report = nullptr;
  for (HWND hwnd : Descendants(demo.main)) {
    if (ClassOf(hwnd) == L"Static" && TextOf(hwnd).rfind(L"程序：", 0) == 0) report = hwnd;
  }
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring expected = std::wstring(L"程序：demo.exe|配置：C:\\游戏|缺少：|注册表：") + windows +
                          L"\\测试|关联：是";
  Check(report != nullptr && TextOf(report) == expected,
        "program name, profile text, REG_EXPAND_SZ and file-type default as expected");
  if (report != nullptr && TextOf(report) != expected) std::printf("     got: %ls\n", TextOf(report).c_str());
  wchar_t value[64] = {};
  GetPrivateProfileStringW(L"目录", L"安装目录", L"", value, 64, (OwnFolder() + L"\\demo.ini").c_str());
  Check(std::wstring(value) == L"C:\\游戏", "the profile file lies in the program's folder");
  wchar_t association[64] = {};
  LONG size = sizeof association;
  Check(RegQueryValueW(HKEY_CLASSES_ROOT, L".qelmardemo", association, &size) == ERROR_SUCCESS &&
            std::wstring(association) == L"演示补丁",
        "the file-type default is stored as REG_SZ text");
}

void FirstPhase(Demo& demo) {
  Check(TextOf(demo.main) == kMainTitle, "the title is the definition's, in Chinese");
  Check((StyleOf(demo.main) & WS_CAPTION) == WS_CAPTION, "the titled window has a caption bar");

  Check(demo.tab != nullptr, "a tab control exists");
  Check(Send(demo.tab, TCM_GETITEMCOUNT) == 2, "the tab control has two pages");
  Check(TabText(demo.process, demo.tab, 0) == L"列表页" && TabText(demo.process, demo.tab, 1) == L"分组页",
        "the pages carry the captions of the items");
  Check(Send(demo.tab, TCM_GETCURSEL) == 0, "page 0 is current at start");

  Check(demo.list != nullptr, "a list view exists");
  HWND header = reinterpret_cast<HWND>(Send(demo.list, LVM_GETHEADER));
  Check(header != nullptr && Send(header, HDM_GETITEMCOUNT) == 2, "the list view has two columns");
  Check((StyleOf(demo.list) & LVS_TYPEMASK) == LVS_REPORT && (StyleOf(demo.list) & LVS_SINGLESEL),
        "the list view is a single-selection report view");
  Check((Send(demo.list, LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_FULLROWSELECT) != 0, "rows are selected whole");
  Check(demo.list != nullptr && GetParent(demo.list) == demo.tab, "a unit of a page is a child of the tab control");

  Check(demo.check != nullptr && (StyleOf(demo.check) & BS_TYPEMASK) == BS_AUTOCHECKBOX, "a check box exists");
  Check(demo.add != nullptr && (StyleOf(demo.add) & BS_TYPEMASK) == BS_PUSHBUTTON, "the button \"add\" exists");
  Check(demo.group != nullptr && (StyleOf(demo.group) & BS_TYPEMASK) == BS_GROUPBOX, "a group box exists");
  Check(demo.inner != nullptr, "the button inside the group box exists");
  RECT group_rect{}, inner_rect{};
  GetWindowRect(demo.group, &group_rect);
  GetWindowRect(demo.inner, &inner_rect);
  Check(demo.inner != nullptr && GetParent(demo.inner) == GetParent(demo.group) &&
            inner_rect.left == group_rect.left + 20 && inner_rect.top == group_rect.top + 36,
        "the group's button is its sibling, placed relative to the group box");
  Check(demo.edit != nullptr, "an edit box exists");
  Check(demo.label != nullptr, "a label with Chinese text exists");
  Check(demo.progress != nullptr, "a progress bar exists");
  Check(demo.status != nullptr && TextOf(demo.status) == L"状态：就绪",
        "the status bar shows its caption (the drop target was registered)");

  Check(IsWindowVisible(demo.list) && IsWindowVisible(demo.add) && !IsWindowVisible(demo.edit) &&
            !IsWindowVisible(demo.group) && !IsWindowVisible(demo.inner),
        "only page 0's units are shown");

  // What the Created handler did.
  Check(TextOf(demo.edit) == L"已创建", "Created set the edit box's text");
  Check(Send(demo.progress, PBM_GETPOS) == 30, "Created set the progress bar to 30");
  Check(RowCount(demo) == 1 && Row(demo, 0, L"第一行", L"内容一"), "Created appended a row with two columns");

  SystemChecks(demo);

  Check(demo.side != nullptr, "the second window was loaded by Created");
  if (demo.side != nullptr) {
    Check((StyleOf(demo.side) & WS_CAPTION) == WS_CAPTION && (StyleOf(demo.side) & WS_SYSMENU) != 0 &&
              TextOf(demo.side).empty(),
          "the untitled window has a caption bar, empty, and a close box");
    HWND side_label = FindChild(demo.side, L"Static");
    HWND side_progress = FindChild(demo.side, PROGRESS_CLASSW);
    Check(LiesInside(side_label, demo.side) && LiesInside(side_progress, demo.side),
          "  its units keep their room inside it");
    Check(side_label != nullptr && TextOf(side_label) == L"副窗口已载入", "\"window.unit\" names set a label of it");
    Check(side_progress != nullptr && Send(side_progress, PBM_GETPOS) == 60, "and its progress bar");
  }

  // A click.
  PostMessageW(demo.add, BM_CLICK, 0, 0);
  Check(WaitFor([&] { return TextOf(demo.edit) == L"已点击按钮1"; }), "a click on \"add\" runs its handler");
  Check(RowCount(demo) == 2 && Row(demo, 1, L"新行", L"第二列"), "the handler appended a row");

  // A question, then a message box.
  PostMessageW(demo.check, BM_CLICK, 0, 0);
  HWND question = nullptr;
  Check(WaitFor([&] { return (question = FindTopLevel(demo.process_id, L"#32770", L"信息：")) != nullptr; }),
        "the check box asks a question");
  if (question != nullptr) {
    Check(TextOf(GetDlgItem(question, 0xFFFF)) == L"要继续吗？", "the question's text");
    Check(GetDlgItem(question, IDOK) != nullptr && GetDlgItem(question, IDCANCEL) != nullptr,
          "the question has OK and Cancel");
    Check(!HasIcon(question), "the question has no icon");
    Check(GetWindow(question, GW_OWNER) == nullptr, "the question has no owner");
    PostMessageW(GetDlgItem(question, IDOK), BM_CLICK, 0, 0);
  }
  HWND message = nullptr;
  Check(WaitFor([&] { return (message = FindTopLevel(demo.process_id, L"#32770", L"提示")) != nullptr; }),
        "OK leads to a message box");
  if (message != nullptr) {
    Check(TextOf(GetDlgItem(message, 0xFFFF)) == L"你选择了确定", "the message box's text");
    Check(GetDlgItem(message, IDCANCEL) == nullptr && FindChild(message, L"Button") != nullptr,
          "the message box has one button");
    Check(!HasIcon(message), "the message box has no icon");
    PostMessageW(FindChild(message, L"Button"), BM_CLICK, 0, 0);
  }
  Check(WaitFor([&] { return TextOf(demo.status) == L"问答：确定"; }), "the handler saw OK");

  // The popup menu: right click on a selected row, then 删除.
  Check(ChooseFromRowMenu(demo.main, demo.process, demo.list, 0, 1), "a right click on a selected row opens the popup menu");
  Check(WaitFor([&] { return RowCount(demo) == 1; }) && Row(demo, 0, L"新行", L"第二列"),
        "choosing \"delete\" deleted the selected row");

  // The input box: double click on a selected row.
  DoubleClickRow(demo.process, demo.list, 0);
  HWND input = nullptr;
  Check(WaitFor([&] { return (input = FindTopLevel(demo.process_id, L"#32770", L"请输入：")) != nullptr; }),
        "a double click opens the input box with its title");
  if (input != nullptr) {
    HWND prompt = FindChild(input, L"Static", L"请输入新名称");
    HWND field = FindChild(input, L"Edit");
    Check(prompt != nullptr && IsWindowVisible(prompt), "the input box shows the prompt");
    Check(field != nullptr && TextOf(field) == L"新行", "the input box starts with the row's text");
    Check(TextOf(GetDlgItem(input, IDOK)) == L"确认输入(&O)" && TextOf(GetDlgItem(input, IDCANCEL)) == L"取消(&C)",
          "the input box's buttons");
    Check(GetWindow(input, GW_OWNER) == demo.main, "the input box is owned by the active window");
    Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"改名行"));
    PostMessageW(GetDlgItem(input, IDOK), BM_CLICK, 0, 0);
  }
  Check(WaitFor([&] { return ItemText(demo.process, demo.list, 0, 0) == L"改名行"; }), "the answer renamed the row");

  // Dropped files, over the list view: the tab control's target takes them.
  POINT over_list = CenterOnScreen(demo.list, RECT{0, 100, 300, 140});
  SetCursorPos(over_list.x, over_list.y);
  DWORD effect = DragFiles({L"C:\\甲.txt", L"C:\\b.txt"});
  Check(effect == DROPEFFECT_COPY, "two files dropped with the copy effect");
  Check(WaitFor([&] { return RowCount(demo) == 2; }) &&
            Row(demo, 1, L"C:\\甲.txt\r\nC:\\b.txt\r\n", L"拖放"),
        "the handler got every path followed by CR LF");
  DragFiles({L"C:\\单个.txt"});
  Check(WaitFor([&] { return RowCount(demo) == 3; }) && Row(demo, 2, L"C:\\单个.txt", L"拖放"),
        "one dropped file arrives as its path alone");
}

void SecondPhase(Demo& demo) {
  Check(ClickTab(demo.process, demo.tab, 1), "a click on the second tab selects it");
  Check(WaitFor([&] {
          return IsWindowVisible(demo.edit) && IsWindowVisible(demo.group) && IsWindowVisible(demo.inner) &&
                 IsWindowVisible(demo.label) && !IsWindowVisible(demo.list) && !IsWindowVisible(demo.add);
        }),
        "page 1's units are shown, page 0's hidden");

  PostMessageW(demo.inner, BM_CLICK, 0, 0);
  Check(WaitFor([&] { return TextOf(demo.edit) == L"组内按钮已点击"; }), "a click on the group's button runs its handler");
  Check(WaitFor([&] { return Send(demo.progress, PBM_GETPOS) == 100; }), "the worker moved the progress bar to 100");
  Check(WaitFor([&] { return TextOf(demo.status) == L"工作线程读到：组内按钮已点击"; }),
        "the worker read the edit box and wrote the status bar");
}

void DialogPhase(Demo& demo) {
  // The save dialog adds the unit's default extension.
  PostMessageW(demo.choose_file, BM_CLICK, 0, 0);
  HWND dialog = nullptr;
  Check(WaitFor([&] { return (dialog = FindTopLevel(demo.process_id, L"#32770", nullptr)) != nullptr; }),
        "the file dialog opens");
  HWND field = dialog != nullptr ? FileNameField(dialog) : nullptr;
  Check(field != nullptr && DialogButton(dialog, IDOK) != nullptr, "it has a file name field and OK");
  if (field != nullptr) {
    Check(GetWindow(dialog, GW_OWNER) == nullptr, "the file dialog has no owner");
    Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\新文件"));
    PostMessageW(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
  }
  Check(WaitFor([&] { return TextOf(demo.status) == L"文件：C:\\新文件.txt"; }),
        "the chosen path comes back with the default extension");

  // The folder picker, owned by the active window, the program's windows disabled.
  PostMessageW(demo.choose_folder, BM_CLICK, 0, 0);
  HWND picker = nullptr;
  Check(WaitFor([&] { return (picker = FindTopLevel(demo.process_id, L"#32770", nullptr)) != nullptr; }),
        "the folder picker opens");
  if (picker != nullptr) {
    Check(FindChild(picker, L"Static", L"请选择目录") != nullptr, "it shows the title text");
    // Wine 8 draws no edit box for BIF_EDITBOX in the old-style picker, so it is not checked.
    Check(GetWindow(picker, GW_OWNER) == demo.main, "it is owned by the active window");
    Check(!IsWindowEnabled(demo.main) && demo.side != nullptr && !IsWindowEnabled(demo.side),
          "every window of the program is disabled while it is open");
    PostMessageW(DialogButton(picker, IDOK), BM_CLICK, 0, 0);
  }
  wchar_t desktop[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
  Check(WaitFor([&] { return TextOf(demo.status) == std::wstring(L"目录：") + desktop; }),
        "OK answers the selected folder's path (the desktop)");
  Check(IsWindowEnabled(demo.main) && IsWindowEnabled(demo.side), "the windows are enabled again");

  PostMessageW(demo.choose_folder, BM_CLICK, 0, 0);
  picker = nullptr;
  WaitFor([&] { return (picker = FindTopLevel(demo.process_id, L"#32770", nullptr)) != nullptr; });
  if (picker != nullptr) PostMessageW(GetDlgItem(picker, IDCANCEL), BM_CLICK, 0, 0);
  Check(picker != nullptr && WaitFor([&] { return TextOf(demo.status) == L"目录："; }),
        "Cancel answers the empty text");
}

void ClosePhase(Demo& demo) {
  PostMessageW(demo.main, WM_CLOSE, 0, 0);
  Check(WaitFor([&] { return !IsWindow(demo.main); }), "WM_CLOSE closes the main window");
  Check(WaitForSingleObject(demo.process, 300) == WAIT_TIMEOUT && demo.side != nullptr && IsWindow(demo.side),
        "the program runs on while its second window is open");
  if (demo.side != nullptr) PostMessageW(demo.side, WM_CLOSE, 0, 0);
  Check(WaitForSingleObject(demo.process, 15000) == WAIT_OBJECT_0, "closing the last window ends the program");
  DWORD code = 1;
  GetExitCodeProcess(demo.process, &code);
  Check(code == 0, "the exit code is 0");
}

}  // namespace

int main(int argc, char** argv) {
  OleInitialize(nullptr);
  std::string phase = argc > 1 ? argv[1] : "first";
  Demo demo;
  if (Attach(&demo)) {
    if (phase == "first") {
      FirstPhase(demo);
    } else if (phase == "second") {
      SecondPhase(demo);
      DialogPhase(demo);
    } else if (phase == "close") {
      ClosePhase(demo);
    } else {
      Check(false, "a known phase: first, second or close");
    }
  }
  if (demo.process != nullptr) CloseHandle(demo.process);
  OleUninitialize();
  return Finish();
}

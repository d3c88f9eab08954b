// Drives the real patchsetup.exe from outside, in the same Wine prefix,
// through window messages. Phases (one per run, so a screenshot can be taken
// between them):
//   look   title, units, their places and texts, the folder from Config.ini
//   work   a worker's dialog disables both install buttons and keeps the
//          window open; a cancelled dialog; a .patch and a .patch2 installed
//          into a Data.vnt that this driver writes into the install folder
//   close  WM_CLOSE ends the program with exit code 0
// Usage: patchsetup_smoke PHASE INSTALL_FOLDER (the folder Config.ini names).
// Prints "N passed, M failed" on its last line.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/binding.h"
#include "patchmaker/archive.h"
#include "patchmaker/patch_file.h"
#include "tests/win32/drive.h"

namespace {

using namespace drive;

constexpr wchar_t kTitle[] = L"Dravika补丁安装V0.2     Qelmar补丁工具";
constexpr wchar_t kCredit[] = L"Qelmar补丁工具  增量补丁的安装";

RECT ScreenRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}
bool SizeIs(HWND hwnd, LONG width, LONG height) {
  RECT r = ScreenRect(hwnd);
  return r.right - r.left == width && r.bottom - r.top == height;
}

// ---- The program's window ----------------------------------------------------

struct Setup : Target {
  HWND tab = nullptr, folder_group = nullptr, edit = nullptr, choose = nullptr, install_group = nullptr;
  HWND old_patch = nullptr, patch2 = nullptr, progress = nullptr, status = nullptr;
};

HWND FindButton(HWND root, const wchar_t* text, LONG_PTR type) {
  for (HWND hwnd : Descendants(root)) {
    if (ClassOf(hwnd) == L"Button" && TextOf(hwnd) == text && (StyleOf(hwnd) & BS_TYPEMASK) == type) return hwnd;
  }
  return nullptr;
}

bool Attach(Setup* s) {
  if (!AttachMain(s, kTitle, "patchsetup's window appears, found by its title")) return false;
  s->tab = FindChild(s->main, WC_TABCONTROLW);
  s->folder_group = FindButton(s->main, L"Qelmar的安装目录", BS_GROUPBOX);
  s->install_group = FindButton(s->main, L"补丁安装", BS_GROUPBOX);
  s->edit = FindChild(s->main, L"Edit");
  s->choose = FindButton(s->main, L"选择", BS_PUSHBUTTON);
  s->old_patch = FindButton(s->main, L".patch", BS_PUSHBUTTON);
  s->patch2 = FindButton(s->main, L".patch2", BS_PUSHBUTTON);
  s->progress = FindChild(s->main, PROGRESS_CLASSW);
  s->status = FindChild(s->main, STATUSCLASSNAMEW);
  return true;
}

void LookPhase(const Setup& s, const std::wstring& folder) {
  Check(TextOf(s.main) == kTitle, "the title: name, five blanks, credit");
  RECT main = ScreenRect(s.main);
  Check(main.left == 50 && main.top == 50 && SizeIs(s.main, 450, 310), "the window at 50, 50, 450 x 310");

  Check(s.tab != nullptr && Send(s.tab, TCM_GETITEMCOUNT) == 1, "a tab control with one page");
  Check(s.tab != nullptr && TabText(s.process, s.tab, 0) == L"补丁安装", "the page is \"补丁安装\"");
  Check(s.tab != nullptr && SizeIs(s.tab, 415, 250), "the tab control is 415 x 250");

  Check(s.folder_group != nullptr && SizeIs(s.folder_group, 350, 80), "group box \"Qelmar的安装目录\", 350 x 80");
  Check(s.install_group != nullptr && SizeIs(s.install_group, 350, 80), "group box \"补丁安装\", 350 x 80");
  Check(s.edit != nullptr && SizeIs(s.edit, 256, 30), "the edit box, 256 x 30");
  Check(s.edit != nullptr && TextOf(s.edit) == folder, "the edit box shows the folder from Config.ini");
  if (s.edit != nullptr && TextOf(s.edit) != folder) std::printf("     got: %ls\n", TextOf(s.edit).c_str());
  Check(s.choose != nullptr && SizeIs(s.choose, 60, 30), "the button \"选择\", 60 x 30");
  if (s.choose != nullptr && s.edit != nullptr) {
    RECT edit = ScreenRect(s.edit), choose = ScreenRect(s.choose);
    Check(choose.left - edit.right == 6 && choose.top - edit.top == -1, "\"选择\" 6 right of the edit box, 1 higher");
  }
  Check(s.old_patch != nullptr && SizeIs(s.old_patch, 60, 25), "the button \".patch\", 60 x 25");
  Check(s.patch2 != nullptr && SizeIs(s.patch2, 60, 25), "the button \".patch2\", 60 x 25");
  if (s.old_patch != nullptr && s.patch2 != nullptr && s.install_group != nullptr) {
    RECT group = ScreenRect(s.install_group), old_patch = ScreenRect(s.old_patch), patch2 = ScreenRect(s.patch2);
    Check(old_patch.left - group.left == 277 && old_patch.top - group.top == 14 && patch2.left - group.left == 276 &&
              patch2.top - group.top == 46,
          "\".patch\" above \".patch2\", placed relative to their group box");
    Check(IsWindowEnabled(s.old_patch) && IsWindowEnabled(s.patch2), "both install buttons are enabled");
  }
  Check(s.progress != nullptr && SizeIs(s.progress, 258, 16), "the progress bar, 258 x 16");
  if (s.progress != nullptr) {
    Check(Send(s.progress, PBM_GETRANGE, TRUE) == 0 && Send(s.progress, PBM_GETRANGE, FALSE) == 100 &&
              Send(s.progress, PBM_GETPOS) == 0,
          "it runs from 0 to 100 and stands at 0");
  }
  Check(s.status != nullptr && TextOf(s.status) == kCredit && SizeIs(s.status, 444, 20),
        "the status bar shows the credit, 444 x 20");
  Check(s.tab != nullptr && s.edit != nullptr && s.patch2 != nullptr && IsWindowVisible(s.edit) &&
            IsWindowVisible(s.patch2) && IsWindowVisible(s.progress),
        "the page's units are shown");
}

// ---- Files the installs use --------------------------------------------------

// An archive of these names, each with a small stream of its own.
std::string Archive(const std::vector<std::string>& names) {
  std::string out = "QELMAR ARCHIVE HEADER written by patchsetup_smoke";
  out.resize(patchmaker::kArchiveIndexAt, '\0');
  const auto count = static_cast<std::uint32_t>(names.size());
  for (int i = 0; i < 4; ++i) out[patchmaker::kArchiveCountAt + i] = static_cast<char>(count >> (8 * i));
  std::string streams;
  const std::size_t first = patchmaker::kArchiveIndexAt + names.size() * patchmaker::kArchiveEntrySize;
  for (const std::string& name : names) {
    patchmaker::ArchiveIndexEntry e;
    e.name = name;
    e.data_offset = static_cast<std::int32_t>(first + streams.size());
    const std::string stream = "old " + name;
    e.compressed_size = static_cast<std::int32_t>(stream.size());
    e.uncompressed_size = 9;
    out += patchmaker::EncodeArchiveEntry(e);
    streams += stream;
  }
  return out + streams;
}

std::int32_t OffsetOfEntry(const std::string& archive, std::size_t entry) {
  const std::size_t at = patchmaker::kArchiveIndexAt + entry * patchmaker::kArchiveEntrySize;
  if (archive.size() < at + patchmaker::kArchiveEntrySize) return -1;
  return patchmaker::DecodeArchiveEntry(&archive[at]).data_offset;
}

// ---- Dialogs of the running program --------------------------------------------

// Waits for a message box "提示" with that text, checks it and presses OK.
void AnswerMessage(const Setup& s, const wchar_t* text, const char* what) {
  drive::AnswerMessage(s.process_id, L"提示", text, what);
}

// Clicks an install button and waits for the worker's open dialog.
HWND OpenDialog(const Setup& s, HWND button) {
  PostMessageW(button, BM_CLICK, 0, 0);
  return WaitForFileDialog(s.process_id);
}

bool ButtonsEnabled(const Setup& s) { return IsWindowEnabled(s.old_patch) && IsWindowEnabled(s.patch2); }

void WorkPhase(const Setup& s, const std::wstring& folder) {
  if (s.old_patch == nullptr || s.patch2 == nullptr || s.progress == nullptr) {
    Check(false, "the units the work phase needs");
    return;
  }
  // A worker's dialog: both buttons off, closing refused, cancel gives them back.
  HWND dialog = OpenDialog(s, s.patch2);
  Check(dialog != nullptr, "\".patch2\" opens the open-file dialog on its worker");
  if (dialog == nullptr) return;
  Check(TextOf(FileNameField(dialog)) == L"New.patch2", "  with the file name \"New.patch2\"");
  HWND types = GetDlgItem(dialog, 0x470);
  Check(types != nullptr && TextOf(types) == L"补丁文件（*.patch2）", "  and the filter \"补丁文件（*.patch2）\"");
  Check(GetWindow(dialog, GW_OWNER) == nullptr, "  without an owner");
  Check(!IsWindowEnabled(s.patch2) && !IsWindowEnabled(s.old_patch), "both install buttons are disabled meanwhile");

  PostMessageW(s.main, WM_CLOSE, 0, 0);
  AnswerMessage(s, L"正在处理，请等待完成后再关闭", "WM_CLOSE while the worker runs shows \"正在处理，请等待完成后再关闭\"");
  Check(IsWindow(s.main) && IsWindowVisible(s.main), "and the window stays open");

  PostMessageW(DialogButton(dialog, IDCANCEL), BM_CLICK, 0, 0);
  AnswerMessage(s, L"打开补丁失败", "a cancelled dialog shows \"打开补丁失败\"");
  Check(WaitFor([&] { return ButtonsEnabled(s); }), "both buttons are enabled again");

  // An old .patch installed as it is: one name of two missing.
  const std::wstring archive_path = folder + L"\\Data.vnt";
  const std::string archive = Archive({"a.txt", "ui\\b.png"});
  const std::string old_block = "NEW a.txt";
  const std::string old_index = "a.txt|0|9|9\r\nmissing.txt|0|9|9\r\n";
  const std::wstring old_patch = folder + L"\\smoke.patch";
  Check(WriteBytes(archive_path, archive) &&
            WriteBytes(old_patch, patchmaker::AssemblePatchFile(patchmaker::PatchVersion::kV01, 2, old_block, old_index)),
        "Data.vnt and a .patch written into the install folder");
  dialog = OpenDialog(s, s.old_patch);
  Check(dialog != nullptr && TextOf(FileNameField(dialog)) == L"New.patch" &&
            TextOf(GetDlgItem(dialog, 0x470)) == L"补丁文件（*.patch）",
        "\".patch\" opens its dialog with \"New.patch\" and its filter");
  if (dialog == nullptr) return;
  Send(FileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(old_patch.c_str()));
  PostMessageW(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
  AnswerMessage(s, L"安装未完成|由于文件名不匹配1个文件未安装", "the shortfall message gives 1");
  AnswerMessage(s, L"安装成功", "then \"安装成功\"");
  Check(WaitFor([&] { return ButtonsEnabled(s); }), "both buttons are enabled again");
  Check(Send(s.progress, PBM_GETPOS) == 50, "the progress bar shows 1 of 2 matched: 50");
  std::string after = ReadBytes(archive_path);
  Check(after.size() == archive.size() + old_block.size() && after.compare(archive.size(), old_block.size(), old_block) == 0 &&
            OffsetOfEntry(after, 0) == static_cast<std::int32_t>(archive.size()) &&
            after.compare(patchmaker::kArchiveCountAt, 4, archive, patchmaker::kArchiveCountAt, 4) == 0,
        "the block appended, a.txt re-pointed at it, no entry added");

  // A .patch2 whose names are all there.
  host::cryptolib_notify(1, reinterpret_cast<std::intptr_t>(&host::HostCallback), 0);
  const std::wstring new_patch = folder + L"\\smoke.patch2";
  Check(WriteBytes(new_patch, patchmaker::BuildPatchFile({{"ui\\b.png", "NEWER b.png", 11}, {"a.txt", "NEWER a.txt", 11}},
                                                         patchmaker::DefaultPatchKeyStream())),
        "a .patch2 written");
  const std::size_t before = after.size();
  dialog = OpenDialog(s, s.patch2);
  Check(dialog != nullptr, "\".patch2\" opens its dialog again");
  if (dialog == nullptr) return;
  Send(FileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(new_patch.c_str()));
  PostMessageW(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
  AnswerMessage(s, L"安装成功", "every name present: \"安装成功\" alone");
  Check(WaitFor([&] { return ButtonsEnabled(s); }), "both buttons are enabled again");
  Check(Send(s.progress, PBM_GETPOS) == 100, "the progress bar stands at 100");
  after = ReadBytes(archive_path);
  Check(after.size() == before + 22 && OffsetOfEntry(after, 0) == static_cast<std::int32_t>(before + 11) &&
            OffsetOfEntry(after, 1) == static_cast<std::int32_t>(before),
        "both entries re-pointed into the appended block");
  Check(FindTopLevel(s.process_id, L"#32770", nullptr) == nullptr, "no dialog is left open");
}

void ClosePhase(const Setup& s) {
  PostMessageW(s.main, WM_CLOSE, 0, 0);
  Check(WaitFor([&] { return !IsWindow(s.main); }), "WM_CLOSE closes the window");
  Check(s.process != nullptr && WaitForSingleObject(s.process, 15000) == WAIT_OBJECT_0, "the program ends");
  DWORD code = 1;
  if (s.process != nullptr) GetExitCodeProcess(s.process, &code);
  Check(code == 0, "its exit code is 0");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string phase = argc > 1 ? argv[1] : "look";
  int wargc = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  const std::wstring folder = wargc > 2 ? wargv[2] : L"";
  Setup s;
  if (Attach(&s)) {
    if (phase == "look") {
      LookPhase(s, folder);
    } else if (phase == "work") {
      WorkPhase(s, folder);
    } else if (phase == "close") {
      ClosePhase(s);
    } else {
      Check(false, "a known phase: look, work or close");
    }
  }
  if (s.process != nullptr) CloseHandle(s.process);
  LocalFree(wargv);
  return Finish();
}

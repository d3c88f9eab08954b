// The end-to-end runs: the real patchmaker.exe and patchsetup.exe used as a
// player or patch author would, on a synthetic game folder under C:\e2e, from
// outside through window messages, input and OLE drops. Each phase is one run
// of this driver, so that scripts/e2e.sh can take screenshots between them;
// what a phase expects follows from the fixture alone.
//   prepare        registry reset and the game folders, new files, an old .patch
//   generate       three dropped files, named from 保存目录 -> first.patch2
//   edit           first.patch2 loaded, a row renamed, one deleted, a file
//                  added -> second.patch2
//   third          every row deleted, one file dropped -> a patch in a folder
//                  with blanks in its name
//   convert        an old .patch dropped and converted into a .patch2
//   install-button the first click asks for the folder, writes Config.ini and
//                  installs first.patch2
//   install-drop   two patches dropped on the install page, after the question
//   close          WM_CLOSE (the script checks the exit code)
//   command-line   the association's command with the patch path unquoted:
//                  loading window, message left open for a screenshot
//   command-line-end  OK on that message ends the program with exit code 0
//   setup          patchsetup installs the .patch and first.patch2
//   setup-close    WM_CLOSE
// Installs beside other work (their own folders):
//   parallel       three patchmaker processes started at once, each with its
//                  own patch on the command line, into one Data.vnt
//   drop-beside-generation  a failed command-line install, a long generation
//                  started, a patch dropped on the install page meanwhile
//   blanks-prepare patchmaker copied into "C:\Program Files\Qelmar 工具" with
//                  a game folder of its own
//   blanks-install the association's command there, for a patch path with
//                  blanks: installed, exit code 0
//   blanks-failed  the same command for a patch that never comes: the loading
//                  window names it while the install waits, the install fails,
//                  and the user closes both windows (the loading window by its
//                  close box): exit code 0
// Usage: e2e PHASE [PROGRAM_FOLDER]. Prints "geometry WxH+X+Y" for a
// screenshot, and "N passed, M failed" on its last line.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "host/binding.h"
#include "patchmaker/patch_file.h"
#include "tests/win32/drive.h"
#include "tests/win32/game_folder.h"

namespace {

using namespace drive;
using game::File;

constexpr wchar_t kMakerTitle[] = L"《Qelmar》补丁生成与安装V0.23  增量补丁专用";
constexpr wchar_t kSetupTitle[] = L"Dravika补丁安装V0.2     Qelmar补丁工具";

const std::wstring kRoot = L"C:\\e2e";
const std::wstring kGame = kRoot + L"\\Qelmar";
const std::wstring kSetupGame = kRoot + L"\\Qelmar-setup";
const std::wstring kSources = kRoot + L"\\新版本";  // patchmaker's 保存目录
const std::wstring kPatches = kRoot + L"\\补丁";
const std::wstring kBlanks = kRoot + L"\\补丁 目录 with blanks";

const std::wstring kFirst = kPatches + L"\\first.patch2";
const std::wstring kSecond = kPatches + L"\\second.patch2";
const std::wstring kOld = kPatches + L"\\old.patch";
const std::wstring kOld2 = kOld + L"2";
const std::wstring kThird = kBlanks + L"\\third.patch2";

// ---- The fixture ---------------------------------------------------------------

// A new file in the author's folder and the in-archive name patchmaker derives
// from its path: ".." and the part after 保存目录, ASCII lower-cased.
struct Source {
  std::wstring path;
  std::wstring name;
  File file() const;
};

const Source kLogin = {L"data\\ui\\login.png", L"..\\data\\ui\\login.png"};
const Source kMain = {L"script\\Quest\\Main.lua", L"..\\script\\quest\\main.lua"};
const Source kIcon = {L"data\\ui\\新图标.png", L"..\\data\\ui\\新图标.png"};
const Source kTown = {L"sound\\bgm\\town.ogg", L"..\\sound\\bgm\\town.ogg"};
const Source kMap = {L"map\\0001.map", L"..\\map\\0001.map"};
const Source kAllSources[] = {kLogin, kMain, kIcon, kTown, kMap};

File Source::file() const { return {name, game::Content(L"v2 " + name, 3000 + 400 * name.size())}; }
std::wstring SourcePath(const Source& s) { return kSources + L"\\" + s.path; }

const std::wstring kIconRenamed = L"..\\data\\ui\\icon2.png";
const std::wstring kTask = L"..\\data\\文本\\任务.txt";
const std::wstring kGone = L"..\\data\\missing\\gone.txt";  // in no archive

std::vector<File> FirstPatch() { return {kLogin.file(), kMain.file(), kIcon.file()}; }
std::vector<File> SecondPatch() { return {kLogin.file(), {kIconRenamed, kIcon.file().content}, kTown.file()}; }
std::vector<File> OldPatch() {
  return {{kTask, game::Content(L"v2 " + kTask, 5200)}, {kGone, game::Content(kGone, 700)}};
}
std::vector<File> ThirdPatch() { return {kMap.file()}; }

// What each game folder holds after each install.
std::vector<File> AfterFirst() { return game::Updated(game::OriginalFiles(), FirstPatch(), true); }
std::vector<File> AfterDrop() {
  return game::Updated(game::Updated(AfterFirst(), SecondPatch(), true), OldPatch(), true);
}
std::vector<File> AfterCommandLine() { return game::Updated(AfterDrop(), ThirdPatch(), true); }
std::vector<File> SetupAfterOld() { return game::Updated(game::OriginalFiles(), OldPatch(), false); }
std::vector<File> SetupAfterFirst() { return game::Updated(SetupAfterOld(), FirstPatch(), false); }

// An old .patch as the old tool wrote it: its data block and its plain index text.
void OldPatchParts(std::string* data, std::string* index) {
  for (const File& f : OldPatch()) {
    const std::string stream = game::Deflate(f.content);
    *index += game::ToGbk(f.name) + "|" + std::to_string(data->size()) + "|" + std::to_string(stream.size()) + "|" +
              std::to_string(f.content.size()) + "\r\n";
    *data += stream;
  }
}

std::string OldPatchFile() {
  std::string data, index;
  OldPatchParts(&data, &index);
  return patchmaker::AssemblePatchFile(patchmaker::PatchVersion::kV01, static_cast<std::int32_t>(OldPatch().size()),
                                       data, index);
}

void CheckArchive(const std::wstring& folder, const std::vector<File>& expected, const char* what) {
  const std::string fault = game::CompareArchive(ReadBytes(folder + L"\\Data.vnt"), expected);
  Check(fault.empty(), what);
  if (!fault.empty()) std::printf("     %s\n", fault.c_str());
}

bool MakeFolders(const std::wstring& path) {
  return SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS || FileExists(path);
}

void PreparePhase() {
  // The association is written by the program at start-up; with no client
  // folder in the registry the first install click has to ask.
  LONG type = RegDeleteTreeW(HKEY_CLASSES_ROOT, L"patch2file");
  LONG extension = RegDeleteTreeW(HKEY_CLASSES_ROOT, L".patch2");
  LONG client = RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vantro\\QelmarClient");
  auto gone = [](LONG status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; };
  Check(gone(type) && gone(extension) && gone(client), "no .patch2 association and no client folder in the registry");

  bool ok = MakeFolders(kGame) && MakeFolders(kSetupGame) && MakeFolders(kPatches) && MakeFolders(kBlanks);
  const std::string archive = game::BuildArchive(game::OriginalFiles());
  ok = ok && WriteBytes(kGame + L"\\Data.vnt", archive) && WriteBytes(kSetupGame + L"\\Data.vnt", archive);
  for (const Source& s : kAllSources) {
    const std::wstring path = SourcePath(s);
    ok = ok && MakeFolders(path.substr(0, path.rfind(L'\\'))) && WriteBytes(path, s.file().content);
  }
  ok = ok && WriteBytes(kOld, OldPatchFile());
  Check(ok, "two game folders with Data.vnt, the new files and an old .patch written under C:\\e2e");
  std::vector<File> read;
  Check(game::ReadArchive(archive, &read).empty() && read.size() == 8, "the reader takes the fixture's archive");
}

// ---- patchmaker's window ------------------------------------------------------------

struct Maker : Target {
  HWND tab = nullptr, list = nullptr, clear_check = nullptr, generate = nullptr, generate_progress = nullptr;
  HWND folder_edit = nullptr, install = nullptr, install_progress = nullptr;
};

bool Attach(Maker* m) {
  if (!AttachMain(m, kMakerTitle, "patchmaker's main window is there")) return false;
  m->tab = FindChild(m->main, WC_TABCONTROLW);
  m->list = FindChild(m->main, WC_LISTVIEWW);
  m->clear_check = FindChild(m->main, L"Button", L"载入补丁前 清空列表");
  m->generate = FindChild(m->main, L"Button", L"生成");
  m->folder_edit = FindChild(m->main, L"Edit");
  m->install = FindChild(m->main, L"Button", L"安装");
  std::vector<HWND> bars = ChildrenOfClass(m->main, PROGRESS_CLASSW);
  if (bars.size() == 2) {
    m->generate_progress = bars[0];
    m->install_progress = bars[1];
  }
  bool all = m->tab && m->list && m->clear_check && m->generate && m->folder_edit && m->install && bars.size() == 2;
  Check(all, "  with every unit the scenarios use");
  return all;
}

void PrintGeometry(HWND hwnd) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  std::printf("geometry %ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
}

struct Row {
  std::wstring name, replacement;
};

std::vector<Row> Rows(const Maker& m) {
  std::vector<Row> rows;
  const int n = RowCount(m.list);
  for (int i = 0; i < n; ++i) rows.push_back({ItemText(m.process, m.list, i, 0), ItemText(m.process, m.list, i, 1)});
  return rows;
}

bool RowsAre(const Maker& m, const std::vector<Row>& expected, const char* what) {
  std::vector<Row> rows;
  bool same = WaitFor([&] {
    rows = Rows(m);
    if (rows.size() != expected.size()) return false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].name != expected[i].name || rows[i].replacement != expected[i].replacement) return false;
    }
    return true;
  });
  Check(same, what);
  if (!same) {
    for (const Row& r : rows) std::printf("     row: %ls | %ls\n", r.name.c_str(), r.replacement.c_str());
  }
  return same;
}

Row FileRow(const Source& s) { return {s.name, SourcePath(s)}; }

// Clicks 生成 and saves the list as `path`.
void Generate(const Maker& m, const std::wstring& path) {
  PostMessageW(m.generate, BM_CLICK, 0, 0);
  HWND dialog = WaitForFileDialog(m.process_id);
  Check(dialog != nullptr, "\"生成\" opens the save dialog");
  if (dialog == nullptr) return;
  Check(TextOf(FileNameField(dialog)) == L"New.patch2", "  offering \"New.patch2\"");
  Check(!IsWindowEnabled(m.generate), "  with \"生成\" disabled meanwhile");
  Send(FileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
  AnswerMessage(m.process_id, L"补丁生成", L"成功", "the patch is written: \"成功\" (补丁生成)");
  Check(WaitFor([&] { return IsWindowEnabled(m.generate) != FALSE; }), "  and \"生成\" is enabled again");
  Check(Send(m.generate_progress, PBM_GETPOS) == 100, "  the progress bar stands at 100");
  const std::string written = ReadBytes(path);
  Check(written.compare(0, 13, "QelPATCH V0.2") == 0, "  the file has the .patch2 banner");
}

void GeneratePhase(const Maker& m) {
  Check(TextOf(m.folder_edit).empty(), "no install folder is known at start");
  Check(DropFilesOn(m.tab, {SourcePath(kLogin), SourcePath(kMain), SourcePath(kIcon)}) == DROPEFFECT_COPY,
        "three new files dropped on the generate page");
  RowsAre(m, {FileRow(kLogin), FileRow(kMain), FileRow(kIcon)},
          "one row each, named from 保存目录 (lower-cased ASCII, Chinese kept), the file beside it");
  Generate(m, kFirst);
  PrintGeometry(m.main);
}

void Rename(const Maker& m, int row, const std::wstring& from, const std::wstring& to) {
  DoubleClickRow(m.process, m.list, row);
  HWND input = WaitForDialog(m.process_id, L"请输入：");
  Check(input != nullptr, "a double click opens the input box");
  if (input == nullptr) return;
  HWND field = FindChild(input, L"Edit");
  Check(FindChild(input, L"Static", L"请输入欲替换的文件名") != nullptr && field != nullptr && TextOf(field) == from,
        "  asking for the name, the row's name filled in");
  Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(to.c_str()));
  Press(input, IDOK);
}

void DeleteRow(const Maker& m, int row, const char* what) {
  const int before = RowCount(m.list);
  Check(ChooseFromRowMenu(m.main, m.process, m.list, row, 1) && WaitFor([&] { return RowCount(m.list) == before - 1; }),
        what);
}

void EditPhase(const Maker& m) {
  PostMessageW(m.clear_check, BM_CLICK, 0, 0);
  Check(WaitFor([&] { return Send(m.clear_check, BM_GETCHECK) == BST_CHECKED; }), "\"载入补丁前 清空列表\" checked");
  DropFilesOn(m.tab, {kFirst});
  AnswerMessage(m.process_id, L"信息：", L"补丁载入完成", "first.patch2 dropped: \"补丁载入完成\"");
  RowsAre(m, {{kLogin.name, L"内部ID1"}, {kMain.name, L"内部ID2"}, {kIcon.name, L"内部ID3"}},
          "the list is replaced by its entries, each naming its loaded entry");

  Rename(m, 2, kIcon.name, kIconRenamed);
  RowsAre(m, {{kLogin.name, L"内部ID1"}, {kMain.name, L"内部ID2"}, {kIconRenamed, L"内部ID3"}}, "the row is renamed");
  DeleteRow(m, 1, "the popup menu's \"删除\" deletes the row");
  DropFilesOn(m.tab, {SourcePath(kTown)});
  RowsAre(m, {{kLogin.name, L"内部ID1"}, {kIconRenamed, L"内部ID3"}, FileRow(kTown)},
          "a dropped file is appended to the loaded rows");
  Generate(m, kSecond);
  PrintGeometry(m.main);
}

void ThirdPhase(const Maker& m) {
  while (RowCount(m.list) > 0) {
    const int before = RowCount(m.list);
    DeleteRow(m, 0, "\"删除\" on the first row");
    if (RowCount(m.list) == before) break;
  }
  DropFilesOn(m.tab, {SourcePath(kMap)});
  RowsAre(m, {FileRow(kMap)}, "one row left, for the dropped map");
  Generate(m, kThird);
}

void ConvertPhase(const Maker& m) {
  DropFilesOn(m.tab, {kOld});
  HWND question = WaitForDialog(m.process_id, L"信息：");
  Check(question != nullptr && BoxText(question) == L"是否将旧格式.patch补丁转存新.patch2补丁",
        "an old .patch dropped: the program asks to convert it");
  if (question == nullptr) return;
  Check(GetDlgItem(question, IDCANCEL) != nullptr, "  with OK and Cancel");
  Press(question, IDOK);
  Check(WaitFor([&] { return FileExists(kOld2); }), "old.patch2 is written beside it");
  const std::string old = ReadBytes(kOld), converted = ReadBytes(kOld2);
  // Banner, count and data length, data block, index text.
  std::string data, index;
  OldPatchParts(&data, &index);
  const std::size_t data_end = 120 + data.size();
  // The new index is longer: encrypted, then base64.
  const bool sized = old.size() > data_end && converted.size() > data_end;
  Check(sized && converted.compare(0, 13, "QelPATCH V0.2") == 0 &&
            converted.compare(112, data_end - 112, old, 112, data_end - 112) == 0,
        "  with the new banner, the same count, length and data block");
  Check(sized && converted.compare(data_end, std::string::npos, old, data_end, std::string::npos) != 0,
        "  and its index encrypted");
  Check(RowCount(m.list) == 1, "the list is left as it was");
  Check(FindTopLevel(m.process_id, L"#32770") == nullptr, "nothing else is shown");
}

// Selects `path` in the folder picker (its edit box is not read by Wine).
bool PickFolder(const Maker& m, HWND picker, const std::wstring& path) {
  Remote text(m.process, (path.size() + 1) * sizeof(wchar_t));
  text.Write(0, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  Send(picker, BFFM_SETSELECTIONW, TRUE, text.param());
  HWND tree = FindChild(picker, WC_TREEVIEWW);
  const std::wstring leaf = path.substr(path.rfind(L'\\') + 1);
  bool selected = WaitFor([&] {
    auto item = static_cast<WPARAM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET));
    if (item == 0) return false;
    TVITEMW record{};
    record.mask = TVIF_TEXT | TVIF_HANDLE;
    record.hItem = reinterpret_cast<HTREEITEM>(item);
    return RemoteText(m.process, tree, TVM_GETITEMW, 0, record) == leaf;
  });
  Press(picker, IDOK);
  return selected;
}

std::wstring ConfigValue(const std::wstring& program_folder, const wchar_t* key) {
  wchar_t value[MAX_PATH] = {};
  GetPrivateProfileStringW(L"目录", key, L"", value, MAX_PATH, (program_folder + L"\\Config.ini").c_str());
  return value;
}

void InstallButtonPhase(const Maker& m, const std::wstring& program_folder) {
  Check(ClickTab(m.process, m.tab, 1), "the install page");
  Check(ConfigValue(program_folder, L"安装目录").empty(), "Config.ini names no install folder yet");
  PostMessageW(m.install, BM_CLICK, 0, 0);
  HWND picker = WaitForDialog(m.process_id, nullptr);
  Check(picker != nullptr && FindChild(picker, L"Static", L"请选择Qelmar的安装目录") != nullptr,
        "the first \"安装\" asks for the install folder");
  if (picker == nullptr) return;
  Check(PickFolder(m, picker, kGame), "  C:\\e2e\\Qelmar chosen in the picker");
  Check(WaitFor([&] { return TextOf(m.folder_edit) == kGame; }), "the edit box shows it");
  Check(WaitFor([&] { return ConfigValue(program_folder, L"安装目录") == kGame; }), "Config.ini keeps it as 安装目录");
  Check(ConfigValue(program_folder, L"保存目录") == kSources, "  beside 保存目录");

  HWND dialog = WaitForFileDialog(m.process_id);
  Check(dialog != nullptr && TextOf(FileNameField(dialog)) == L"New.patch2", "then the open dialog, \"New.patch2\"");
  if (dialog == nullptr) return;
  Check(!IsWindowEnabled(m.install), "  \"安装\" disabled meanwhile");
  Send(FileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kFirst.c_str()));
  PostMessageW(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
  AnswerMessage(m.process_id, L"提示", L"安装成功", "first.patch2 installed: \"安装成功\"");
  Check(WaitFor([&] { return IsWindowEnabled(m.install) != FALSE; }), "\"安装\" is enabled again");
  Check(Send(m.install_progress, PBM_GETPOS) == 100, "the progress bar stands at 100");
  CheckArchive(kGame, AfterFirst(), "Data.vnt: two files replaced, the new one added, every stream inflates");
  PrintGeometry(m.main);
}

void InstallDropPhase(const Maker& m) {
  Check(Send(m.tab, TCM_GETCURSEL) == 1, "the install page is shown");
  DropFilesOn(m.tab, {kSecond, kOld2});
  HWND question = WaitForDialog(m.process_id, L"信息：");
  const std::wstring asked = L"是否安装以下2个补丁\r\n" + kSecond + L"\r\n" + kOld2 + L"\r\n";
  Check(question != nullptr && BoxText(question) == asked, "two patches dropped: the program asks to install both");
  if (question == nullptr) return;
  if (BoxText(question) != asked) std::printf("     got: %ls\n", BoxText(question).c_str());
  Press(question, IDOK);
  AnswerMessage(m.process_id, L"提示", kSecond + L"\r\n安装成功", "second.patch2 installed, its path in the message");
  AnswerMessage(m.process_id, L"提示", kOld2 + L"\r\n安装成功", "the converted old patch installed");
  CheckArchive(kGame, AfterDrop(), "Data.vnt holds both patches' files, the missing names added");
}

void ClosePhase(const Target& t) {
  PostMessageW(t.main, WM_CLOSE, 0, 0);
  Check(WaitFor([&] { return !IsWindow(t.main); }), "WM_CLOSE closes the window");
}

std::wstring ClassesDefault(const wchar_t* key) {
  wchar_t value[MAX_PATH * 2] = {};
  LONG size = sizeof value;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, key, value, &size) != ERROR_SUCCESS) return L"<missing>";
  return value;
}

// Starts the command line as the shell would, from `folder` (C:\e2e unless
// given), suspended when asked; `program`, when given, names the program
// apart, so that the program gets the line exactly as it stands (Wine quotes
// an unquoted program path with blanks that it has to find itself; Windows
// does not). The program gets none of the driver's handles: the script reads
// this phase's output until every holder of that pipe has ended. Null handles
// when it did not start.
PROCESS_INFORMATION StartProcess(std::wstring command, const std::wstring& program = std::wstring(),
                                 const std::wstring& folder = kRoot, bool suspended = false) {
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
    SetHandleInformation(GetStdHandle(which), HANDLE_FLAG_INHERIT, 0);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = null;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), &command[0], nullptr, nullptr, TRUE,
                      suspended ? CREATE_SUSPENDED : 0, nullptr, folder.c_str(), &startup, &started))
    started = PROCESS_INFORMATION{};
  CloseHandle(null);
  return started;
}

// Waits for the process to end by itself; answers its exit code, or ends it
// and answers -1.
int ExitCodeOf(HANDLE process, DWORD timeout_ms = 15000) {
  if (WaitForSingleObject(process, timeout_ms) != WAIT_OBJECT_0) {
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 5000);
    return -1;
  }
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

// Opens the patch as the shell would, through the association's command.
void CommandLinePhase(const std::wstring& program_folder) {
  const std::wstring program = program_folder + L"\\patchmaker.exe";
  Check(ClassesDefault(L".patch2") == L"patch2file" && ClassesDefault(L"patch2file") == L"patch2" &&
            ClassesDefault(L"patch2file\\DefaultIcon") == program + L",0",
        "HKCR: .patch2 = patch2file, patch2file = patch2, its icon the program's");
  std::wstring command = ClassesDefault(L"patch2file\\shell\\open\\command");
  Check(command == program + L" %1", "HKCR: the open command is the program and %1, unquoted");
  if (command.size() < 2 || command.compare(command.size() - 2, 2, L"%1") != 0) return;
  command.replace(command.size() - 2, 2, kThird);

  PROCESS_INFORMATION started = StartProcess(command);
  Check(started.hProcess != nullptr, "patchmaker started with the patch's path unquoted, blanks and all");
  if (started.hProcess == nullptr) return;
  CloseHandle(started.hThread);
  HWND loading = nullptr;
  Check(WaitFor([&] { return (loading = FindTopLevel(started.dwProcessId, kWindowClass, L"")) != nullptr; }, 30000),
        "the loading window appears");
  HWND label = loading != nullptr ? FindChild(loading, L"Static") : nullptr;
  Check(label != nullptr && TextOf(label) == kThird + L"\r\n载入中：", "  naming the patch");
  HWND box = WaitForDialog(started.dwProcessId, L"提示");
  Check(box != nullptr && BoxText(box) == kThird + L"\r\n安装成功", "the install ends with the path and \"安装成功\"");
  if (box == nullptr) PrintDialogs(started.dwProcessId);
  HWND bar = loading != nullptr ? FindChild(loading, PROGRESS_CLASSW) : nullptr;
  Check(bar != nullptr && Send(bar, PBM_GETPOS) == 100, "  the loading window's progress bar at 100");
  if (loading != nullptr) PrintGeometry(loading);
  CloseHandle(started.hProcess);
}

void CommandLineEndPhase() {
  HWND box = FindWindowW(L"#32770", L"提示");
  Check(box != nullptr, "the message is still shown");
  if (box == nullptr) return;
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, ProcessOf(box));
  PostMessageW(FindChild(box, L"Button"), BM_CLICK, 0, 0);
  Check(process != nullptr && WaitForSingleObject(process, 15000) == WAIT_OBJECT_0, "OK ends the program");
  DWORD code = 1;
  if (process != nullptr) GetExitCodeProcess(process, &code);
  Check(code == 0, "  with exit code 0");
  if (process != nullptr) CloseHandle(process);
  CheckArchive(kGame, AfterCommandLine(), "Data.vnt holds the map from the third patch too");
}

// ---- patchsetup --------------------------------------------------------------------

struct Setup : Target {
  HWND edit = nullptr, old_patch = nullptr, patch2 = nullptr, progress = nullptr;
};

bool Attach(Setup* s) {
  if (!AttachMain(s, kSetupTitle, "patchsetup's window is there")) return false;
  s->edit = FindChild(s->main, L"Edit");
  s->old_patch = FindChild(s->main, L"Button", L".patch");
  s->patch2 = FindChild(s->main, L"Button", L".patch2");
  s->progress = FindChild(s->main, PROGRESS_CLASSW);
  bool all = s->edit && s->old_patch && s->patch2 && s->progress;
  Check(all, "  with every unit the scenario uses");
  return all;
}

void SetupInstall(const Setup& s, HWND button, const std::wstring& patch, const wchar_t* offered) {
  PostMessageW(button, BM_CLICK, 0, 0);
  HWND dialog = WaitForFileDialog(s.process_id);
  Check(dialog != nullptr && TextOf(FileNameField(dialog)) == offered, "the open dialog, offering its file name");
  if (dialog == nullptr) return;
  Send(FileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(patch.c_str()));
  PostMessageW(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
  AnswerMessage(s.process_id, L"提示", L"安装未完成|由于文件名不匹配1个文件未安装", "one name not in Data.vnt: said");
  AnswerMessage(s.process_id, L"提示", L"安装成功", "then \"安装成功\"");
  Check(WaitFor([&] { return IsWindowEnabled(s.old_patch) && IsWindowEnabled(s.patch2); }),
        "both install buttons are enabled again");
}

void SetupPhase(const Setup& s) {
  Check(TextOf(s.edit) == kSetupGame, "the install folder from Config.ini is shown");
  SetupInstall(s, s.old_patch, kOld, L"New.patch");
  CheckArchive(kSetupGame, SetupAfterOld(), "the old .patch installed, its missing name not added");
  SetupInstall(s, s.patch2, kFirst, L"New.patch2");
  CheckArchive(kSetupGame, SetupAfterFirst(), "first.patch2 installed, its new name not added");
  Check(Send(s.progress, PBM_GETPOS) == 66, "the progress bar shows 2 of 3 found");
  PrintGeometry(s.main);
}


// ---- Installs beside other work --------------------------------------------------

const std::wstring kParallelGame = kRoot + L"\\并行";
const std::wstring kBesideGame = kRoot + L"\\生成时安装";
const std::wstring kBesideSources = kRoot + L"\\大文件";

// Starts patchmaker from `program_folder` with `arguments`, suspended or not.
PROCESS_INFORMATION StartMaker(const std::wstring& program_folder, const std::wstring& arguments, bool suspended) {
  return StartProcess(program_folder + L"\\patchmaker.exe " + arguments, std::wstring(), program_folder, suspended);
}

// A big archive, so that installs take long enough to meet: the original
// files and 30,000 small ones.
std::vector<File> ParallelOriginal() {
  std::vector<File> files = game::OriginalFiles();
  for (int i = 0; i < 30000; ++i) {
    const std::wstring name = L"..\\data\\filler\\" + std::to_wstring(i) + L".dat";
    files.push_back({name, game::Content(name, 40 + i % 50)});
  }
  return files;
}

// Three patches: each adds a name of its own, two share one, one replaces an
// original file; each with a large stream, so the data block takes a while.
std::vector<std::vector<File>> ParallelPatches() {
  const std::wstring shared = L"..\\data\\共享\\common.txt";
  const File original = game::OriginalFiles()[1];
  std::vector<std::vector<File>> patches;
  for (int p = 0; p < 3; ++p) {
    const std::wstring tag = L"patch " + std::to_wstring(p) + L" ";
    std::vector<File> files = {{L"..\\data\\new\\" + std::to_wstring(p) + L".bin", game::Content(tag + L"big", 3000000)}};
    if (p < 2) files.push_back({shared, game::Content(tag + shared, 7000)});
    if (p == 2) files.push_back({original.name, game::Content(tag + original.name, 9000)});
    patches.push_back(files);
  }
  return patches;
}

std::wstring ParallelPatchPath(int p) { return kParallelGame + L"\\p" + std::to_wstring(p) + L".patch2"; }

// A .patch2 of the files, its index encrypted by the library bound here.
std::string Patch2Of(const std::vector<File>& files) {
  static const bool bound = host::cryptolib_notify(1, reinterpret_cast<std::intptr_t>(&host::HostCallback), 0) == 0;
  (void)bound;
  std::vector<patchmaker::PatchEntry> entries;
  for (const File& f : files)
    entries.push_back({game::ToGbk(f.name), game::Deflate(f.content), static_cast<std::int32_t>(f.content.size())});
  return patchmaker::BuildPatchFile(entries, patchmaker::DefaultPatchKeyStream());
}

void ParallelPhase(const std::wstring& program_folder) {
  const std::vector<std::vector<File>> patches = ParallelPatches();
  bool ok = MakeFolders(kParallelGame) && WriteBytes(kParallelGame + L"\\Data.vnt", game::BuildArchive(ParallelOriginal()));
  for (int p = 0; p < 3; ++p) ok = ok && WriteBytes(ParallelPatchPath(p), Patch2Of(patches[p]));
  Check(ok, "a Data.vnt of 30,008 files and three patches under C:\\e2e\\并行");
  if (!ok) return;

  // Started suspended and let go together, as the shell starts one process
  // per selected file.
  std::vector<PROCESS_INFORMATION> started;
  for (int p = 0; p < 3; ++p) started.push_back(StartMaker(program_folder, ParallelPatchPath(p), true));
  bool all = true;
  for (const PROCESS_INFORMATION& s : started) all = all && s.hProcess != nullptr;
  Check(all, "three patchmaker processes, each with its own patch on the command line");
  for (const PROCESS_INFORMATION& s : started)
    if (s.hThread != nullptr) ResumeThread(s.hThread);
  if (!all) return;

  // Each says its path and "安装成功"; OK ends it with 0.
  std::vector<bool> answered(3, false);
  const bool messages = WaitFor([&] {
    for (int p = 0; p < 3; ++p) {
      if (answered[p]) continue;
      HWND box = FindTopLevel(started[p].dwProcessId, L"#32770", L"提示");
      if (box == nullptr) continue;
      const bool right = BoxText(box) == ParallelPatchPath(p) + L"\r\n安装成功";
      if (!right) std::printf("     process %d says: %ls\n", p, BoxText(box).c_str());
      Check(right, "  one process says its patch is installed");
      PostMessageW(FindChild(box, L"Button"), BM_CLICK, 0, 0);
      answered[p] = true;
    }
    return answered[0] && answered[1] && answered[2];
  }, 180000);
  Check(messages, "every process said \"安装成功\"");
  for (int p = 0; p < 3; ++p) {
    const int code = ExitCodeOf(started[p].hProcess, 30000);
    if (code != 0) std::printf("     process %d: exit code %d\n", p, code);
    Check(code == 0, "  and ended with exit code 0");
    CloseHandle(started[p].hProcess);
    CloseHandle(started[p].hThread);
  }

  // Data.vnt equals the three installed one after the other, in some order.
  const std::string archive = ReadBytes(kParallelGame + L"\\Data.vnt");
  int orders[3] = {0, 1, 2};
  std::string first_fault;
  bool matched = false;
  do {
    std::vector<File> expected = ParallelOriginal();
    for (const int p : orders) expected = game::Updated(expected, patches[p], true);
    const std::string fault = game::CompareArchive(archive, expected);
    if (fault.empty()) {
      std::printf("     installed in the order %d %d %d\n", orders[0], orders[1], orders[2]);
      matched = true;
    } else if (first_fault.empty()) {
      first_fault = fault;
    }
  } while (!matched && std::next_permutation(orders, orders + 3));
  Check(matched, "Data.vnt holds the three patches installed one after the other");
  if (!matched) std::printf("     %s\n", first_fault.c_str());
}

// A large file that compresses slowly: noise.
std::string Noise(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

void DropBesideGenerationPhase(const std::wstring& program_folder) {
  const std::wstring bad = kBesideGame + L"\\damaged.patch2";
  const std::wstring good = kBesideGame + L"\\good.patch2";
  const std::wstring generated = kBesideGame + L"\\generated.patch2";
  std::vector<std::wstring> sources;
  bool ok = MakeFolders(kBesideGame) && MakeFolders(kBesideSources) &&
            WriteBytes(kBesideGame + L"\\Data.vnt", game::BuildArchive(game::OriginalFiles())) &&
            WriteBytes(bad, "QelPATCH V0.2 but nothing more") && WriteBytes(good, Patch2Of(ThirdPatch()));
  for (int i = 0; i < 3 && ok; ++i) {
    sources.push_back(kBesideSources + L"\\big" + std::to_wstring(i) + L".bin");
    ok = WriteBytes(sources.back(), Noise(48u << 20, static_cast<unsigned>(i + 1)));
  }
  Check(ok, "a game folder, a damaged and a good patch, three files of 48 MiB");
  if (!ok) return;

  PROCESS_INFORMATION started = StartMaker(program_folder, bad, false);
  Check(started.hProcess != nullptr, "patchmaker started with the damaged patch on its command line");
  if (started.hProcess == nullptr) return;
  CloseHandle(started.hThread);
  Maker m;
  m.process_id = started.dwProcessId;
  m.process = started.hProcess;
  AnswerMessage(m.process_id, L"提示", L"打开补丁失败", "the command-line install fails and says so");
  HWND loading = nullptr;
  Check(WaitFor([&] { return (loading = FindTopLevel(m.process_id, kWindowClass, L"")) != nullptr; }),
        "the loading window stays open");
  Check(WaitFor([&] { return (m.main = FindTopLevel(m.process_id, kWindowClass, kMakerTitle)) != nullptr; }),
        "beside the main window");
  m.tab = FindChild(m.main, WC_TABCONTROLW);
  m.generate = FindChild(m.main, L"Button", L"生成");
  if (m.tab == nullptr || m.generate == nullptr) return;

  Check(ClickTab(m.process, m.tab, 0), "the generate page");
  DropFilesOn(m.tab, sources);
  Check(WaitFor([&] { return RowCount(FindChild(m.main, WC_LISTVIEWW)) == 3; }), "the three big files are rows");
  PostMessageW(m.generate, BM_CLICK, 0, 0);
  HWND dialog = WaitForFileDialog(m.process_id);
  Check(dialog != nullptr, "\"生成\" opens the save dialog");
  if (dialog == nullptr) return;
  Send(FileNameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(generated.c_str()));
  PostMessageW(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
  Check(WaitFor([&] { return FindTopLevel(m.process_id, L"#32770") == nullptr; }), "the generation runs");

  Check(ClickTab(m.process, m.tab, 1), "the install page, meanwhile");
  DropFilesOn(m.tab, {good});
  HWND question = WaitForDialog(m.process_id, L"信息：");
  Check(question != nullptr, "the dropped patch: the program asks");
  if (question == nullptr) return;
  Press(question, IDOK);
  HWND box = WaitForDialog(m.process_id, L"提示", 60000);
  Check(box != nullptr && BoxText(box) == good + L"\r\n安装成功", "the dropped patch is installed");
  Check(!IsWindowEnabled(m.generate), "  while the generation still runs");
  if (box != nullptr) PostMessageW(FindChild(box, L"Button"), BM_CLICK, 0, 0);
  Check(WaitFor([&] { return !IsWindow(loading); }), "the loading window closes");
  Check(WaitForSingleObject(m.process, 2000) == WAIT_TIMEOUT, "the program runs on");
  CheckArchive(kBesideGame, game::Updated(game::OriginalFiles(), ThirdPatch(), true), "Data.vnt holds the patch");

  AnswerMessage(m.process_id, L"补丁生成", L"成功", "the generation ends: \"成功\"");
  const std::string written = ReadBytes(generated);
  Check(written.size() > (144u << 20) && written.compare(0, 13, "QelPATCH V0.2") == 0, "  its patch is whole");
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((kBesideGame + L"\\generated.patch2?*").c_str(), &found);
  Check(search == INVALID_HANDLE_VALUE, "  and no temporary file is left");
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  PostMessageW(m.main, WM_CLOSE, 0, 0);
  const int code = ExitCodeOf(m.process, 30000);
  Check(code == 0, "closing the main window ends the program with exit code 0");
  CloseHandle(m.process);
  m.process = nullptr;
}

// ---- patchmaker in a folder with blanks, opened from the shell ----------------------

// What the association's command gives when patchmaker lies there: the
// program's path, a blank and the patch's path, neither quoted.
const std::wstring kBlankProgramFolder = L"C:\\Program Files\\Qelmar 工具";
const std::wstring kBlankProgram = kBlankProgramFolder + L"\\patchmaker.exe";
const std::wstring kBlankGame = kRoot + L"\\Qelmar-blanks";
// A patch that never comes: reading it waits until the driver lets go.
const std::wstring kSlowPatch = L"\\\\.\\pipe\\qelmar-e2e-patch";

void BlanksPreparePhase(const std::wstring& maker_folder) {
  bool ok = MakeFolders(kBlankProgramFolder) && MakeFolders(kBlankGame) &&
            CopyFileW((maker_folder + L"\\patchmaker.exe").c_str(), kBlankProgram.c_str(), FALSE) &&
            WritePrivateProfileStringW(L"目录", L"安装目录", kBlankGame.c_str(),
                                       (kBlankProgramFolder + L"\\Config.ini").c_str()) &&
            WriteBytes(kBlankGame + L"\\Data.vnt", game::BuildArchive(game::OriginalFiles()));
  Check(ok, "patchmaker copied into C:\\Program Files\\Qelmar 工具, its Config.ini naming a game folder of its own");
}

void BlanksInstallPhase() {
  PROCESS_INFORMATION started = StartProcess(kBlankProgram + L" " + kThird, kBlankProgram);
  Check(started.hProcess != nullptr, "patchmaker started as \"<program> <patch>\", both with blanks, unquoted");
  if (started.hProcess == nullptr) return;
  CloseHandle(started.hThread);
  if (!AnswerMessage(started.dwProcessId, L"提示", kThird + L"\r\n安装成功", "the patch is installed"))
    PrintDialogs(started.dwProcessId);
  Check(ExitCodeOf(started.hProcess) == 0, "  and the program ends with exit code 0");
  CloseHandle(started.hProcess);
  CheckArchive(kBlankGame, game::Updated(game::OriginalFiles(), ThirdPatch(), true),
               "Data.vnt there holds the third patch's map");
  Check(ClassesDefault(L"patch2file\\shell\\open\\command") == kBlankProgram + L" %1",
        "the association the program wrote gives exactly that command");
}

// The screen's pixels in a rectangle, as the display shows them, 0x00RRGGBB
// row by row; empty when they cannot be read.
std::vector<DWORD> ScreenPixels(const RECT& area) {
  const LONG width = area.right - area.left, height = area.bottom - area.top;
  std::vector<DWORD> pixels;
  if (width <= 0 || height <= 0) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ before = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
      const DWORD* first = static_cast<const DWORD*>(bits);
      pixels.assign(first, first + width * height);
    }
    SelectObject(memory, before);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Dark (text) and light (background) pixels in rows [from, to) of an area.
struct Ink {
  int dark = 0, light = 0, all = 0;
};
Ink InkOf(const std::vector<DWORD>& pixels, LONG width, LONG from, LONG to) {
  Ink ink;
  for (LONG y = from; y < to; ++y) {
    for (LONG x = 0; x < width; ++x) {
      const std::size_t at = static_cast<std::size_t>(y * width + x);
      if (at >= pixels.size()) return ink;
      const DWORD p = pixels[at];
      const int luma = (299 * ((p >> 16) & 0xFF) + 587 * ((p >> 8) & 0xFF) + 114 * (p & 0xFF)) / 1000;
      ink.dark += luma < 96;
      ink.light += luma > 160;
      ++ink.all;
    }
  }
  return ink;
}

// The label shows two lines on the screen, the patch's path and "载入中：",
// where its first caption "载入中" had one: ink on its second line (rows 16
// to 29 in the host's 9-point font), none below, background around it.
bool ShowsTwoLines(HWND label) {
  RECT area{};
  GetWindowRect(label, &area);
  const LONG width = area.right - area.left;
  const std::vector<DWORD> pixels = ScreenPixels(area);
  const Ink second = InkOf(pixels, width, 16, 30), below = InkOf(pixels, width, 34, area.bottom - area.top);
  return second.dark >= 8 && second.light * 2 > second.all && below.dark == 0 && below.light * 2 > below.all;
}

// The visible window of the process with the host's class, found without
// sending it anything (its thread may be busy).
HWND HostWindowOf(DWORD process) { return FindTopLevel(process, kWindowClass, nullptr); }

// The text a window was given, read without sending it anything.
std::wstring StoredText(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}

// A point of the window's close box, found as the window answers where a
// point of its caption lies; false when its caption has none.
bool CloseBox(HWND hwnd, POINT* at) {
  RECT frame{};
  GetWindowRect(hwnd, &frame);
  POINT client = {0, 0};
  ClientToScreen(hwnd, &client);
  const LONG y = (frame.top + client.y) / 2;
  for (LONG x = frame.right - 1; x > frame.left; --x) {
    if (Send(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
      *at = {x - 3, y};  // inside it, not on its edge
      return Send(hwnd, WM_NCHITTEST, 0, MAKELPARAM(at->x, at->y)) == HTCLOSE;
    }
  }
  return false;
}

void BlanksFailedPhase() {
  HANDLE pipe = CreateNamedPipeW(kSlowPatch.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  Check(pipe != INVALID_HANDLE_VALUE, "a patch path whose reading waits for the driver");
  if (pipe == INVALID_HANDLE_VALUE) return;
  OVERLAPPED connect{};
  connect.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const bool pending = !ConnectNamedPipe(pipe, &connect) && GetLastError() == ERROR_IO_PENDING;
  PROCESS_INFORMATION started = StartProcess(kBlankProgram + L" " + kSlowPatch, kBlankProgram);
  Check(started.hProcess != nullptr, "patchmaker started with the association's command for it");
  if (started.hProcess == nullptr) return;
  CloseHandle(started.hThread);
  Check(!pending || WaitForSingleObject(connect.hEvent, 30000) == WAIT_OBJECT_0, "the install opens the patch");

  // The window thread is inside the install now, reading the patch.
  HWND loading = nullptr, label = nullptr;
  WaitFor([&] { return (loading = HostWindowOf(started.dwProcessId)) != nullptr; }, 30000);
  if (loading != nullptr) label = FindChild(loading, L"Static");
  Check(label != nullptr && StoredText(label) == kSlowPatch + L"\r\n载入中：", "the loading window names the patch");
  Check(label != nullptr && WaitFor([&] { return ShowsTwoLines(label); }, 3000),
        "  on the screen, while the install waits for the patch");
  Check(FindTopLevel(started.dwProcessId, L"#32770") == nullptr, "  (no message box yet)");
  CloseHandle(connect.hEvent);
  CloseHandle(pipe);  // the patch ends before its banner

  AnswerMessage(started.dwProcessId, L"提示", L"打开补丁失败", "the install fails: \"打开补丁失败\"");
  HWND main = nullptr;
  Check(WaitFor([&] { return (main = FindWindowW(kWindowClass, kMakerTitle)) != nullptr && IsWindowVisible(main); }),
        "then the main window shows");
  Check(loading != nullptr && IsWindow(loading) && IsWindowVisible(loading), "  and the loading window stays open");
  if (loading != nullptr && IsWindow(loading)) {
    const LONG_PTR style = StyleOf(loading);
    Check((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) != 0 && TextOf(loading).empty(),
          "  with a caption bar, empty, and a close box");
    Check(GetWindow(loading, GW_OWNER) == nullptr && (GetWindowLongPtrW(loading, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0,
          "  unowned and no tool window: it has a task-bar button");
    Check(LiesInside(label, loading) && LiesInside(FindChild(loading, PROGRESS_CLASSW), loading),
          "  its label and progress bar whole inside it");
  }

  if (main != nullptr) PostMessageW(main, WM_CLOSE, 0, 0);
  Check(main != nullptr && WaitFor([&] { return !IsWindow(main); }), "the user closes the main window");
  Check(WaitForSingleObject(started.hProcess, 500) == WAIT_TIMEOUT && loading != nullptr && IsWindow(loading),
        "  the program runs on with the loading window");
  POINT close{};
  const bool has_close_box = loading != nullptr && IsWindow(loading) && CloseBox(loading, &close);
  Check(has_close_box, "the loading window's close box is there");
  if (has_close_box) {
    SetForegroundWindow(loading);
    SetCursorPos(close.x, close.y);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    Mouse(MOUSEEVENTF_LEFTUP);
  }
  Check(ExitCodeOf(started.hProcess) == 0, "a click on it closes the last window: the program ends, exit code 0");
  CloseHandle(started.hProcess);
}

}  // namespace

int main() {
  // Wide texts printed with %ls come out in GBK, as the checks' own texts.
  setlocale(LC_ALL, ".936");
  OleInitialize(nullptr);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring phase = argc > 1 ? argv[1] : L"";
  const std::wstring folder = argc > 2 ? argv[2] : L"";
  DWORD shown_by = 0;
  if (phase == L"prepare") {
    PreparePhase();
  } else if (phase == L"command-line") {
    CommandLinePhase(folder);
  } else if (phase == L"command-line-end") {
    CommandLineEndPhase();
  } else if (phase == L"parallel") {
    ParallelPhase(folder);
  } else if (phase == L"drop-beside-generation") {
    DropBesideGenerationPhase(folder);
  } else if (phase == L"blanks-prepare") {
    BlanksPreparePhase(folder);
  } else if (phase == L"blanks-install") {
    BlanksInstallPhase();
  } else if (phase == L"blanks-failed") {
    BlanksFailedPhase();
  } else if (phase == L"setup" || phase == L"setup-close") {
    Setup s;
    if (Attach(&s)) {
      shown_by = s.process_id;
      if (phase == L"setup") SetupPhase(s);
      if (phase == L"setup-close") ClosePhase(s);
    }
    if (s.process != nullptr) CloseHandle(s.process);
  } else {
    Maker m;
    if (Attach(&m)) {
      shown_by = m.process_id;
      if (phase == L"generate") {
        GeneratePhase(m);
      } else if (phase == L"edit") {
        EditPhase(m);
      } else if (phase == L"third") {
        ThirdPhase(m);
      } else if (phase == L"convert") {
        ConvertPhase(m);
      } else if (phase == L"install-button") {
        InstallButtonPhase(m, folder);
      } else if (phase == L"install-drop") {
        InstallDropPhase(m);
      } else if (phase == L"close") {
        ClosePhase(m);
      } else {
        Check(false, "a known phase");
      }
    }
    if (m.process != nullptr) CloseHandle(m.process);
  }
  // What the program shows when a check failed.
  if (Failures() > 0 && shown_by != 0) PrintDialogs(shown_by);
  LocalFree(argv);
  OleUninitialize();
  return Finish();
}

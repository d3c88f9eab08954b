#include "tests/win32/drive.h"

#include <commctrl.h>

#include <cstdio>

namespace drive {
namespace {

int g_passed = 0;
int g_failed = 0;

// Enumeration callbacks are named functions: a lambda has no stdcall
// conversion on 32-bit.
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
  return TRUE;
}

struct TopLevelSearch {
  DWORD process;
  const wchar_t* window_class;
  const wchar_t* title;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND hwnd, LPARAM parameter) {
  auto* search = reinterpret_cast<TopLevelSearch*>(parameter);
  if (ProcessOf(hwnd) != search->process || !IsWindowVisible(hwnd)) return TRUE;
  if (ClassOf(hwnd) != search->window_class) return TRUE;
  if (search->title != nullptr && TextOf(hwnd) != search->title) return TRUE;
  search->found = hwnd;
  return FALSE;
}

}  // namespace

void Check(bool ok, const char* what) {
  ++(ok ? g_passed : g_failed);
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  std::fflush(stdout);
}

int Finish() {
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}

int Failures() { return g_failed; }

LRESULT Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
  return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND hwnd) {
  LRESULT length = Send(hwnd, WM_GETTEXTLENGTH);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  Send(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return std::wstring(buffer.data());
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[128] = {};
  GetClassNameW(hwnd, name, 128);
  return name;
}

LONG_PTR StyleOf(HWND hwnd) { return GetWindowLongPtrW(hwnd, GWL_STYLE); }

DWORD ProcessOf(HWND hwnd) {
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  return process;
}

std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> found;
  EnumChildWindows(root, &CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> ChildrenOfClass(HWND root, const wchar_t* window_class) {
  std::vector<HWND> found;
  for (HWND hwnd : Descendants(root)) {
    if (ClassOf(hwnd) == window_class) found.push_back(hwnd);
  }
  return found;
}

HWND FindChild(HWND root, const wchar_t* window_class, const wchar_t* text) {
  for (HWND hwnd : ChildrenOfClass(root, window_class)) {
    if (text == nullptr || TextOf(hwnd) == text) return hwnd;
  }
  return nullptr;
}

HWND FindTopLevel(DWORD process, const wchar_t* window_class, const wchar_t* title) {
  TopLevelSearch search = {process, window_class, title, nullptr};
  EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool LiesInside(HWND child, HWND window) {
  RECT client{}, rect{};
  if (child == nullptr || !GetClientRect(window, &client) || !GetWindowRect(child, &rect)) return false;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  return rect.left >= client.left && rect.right <= client.right && rect.top >= client.top &&
         rect.bottom <= client.bottom;
}

bool HasIcon(HWND dialog) {
  for (HWND hwnd : ChildrenOfClass(dialog, L"Static")) {
    if ((StyleOf(hwnd) & SS_TYPEMASK) != SS_ICON) continue;
    if (IsWindowVisible(hwnd) && Send(hwnd, STM_GETICON) != 0) return true;
  }
  return false;
}

HWND FileNameField(HWND dialog) {
  for (HWND hwnd : ChildrenOfClass(dialog, L"Edit")) {
    if (GetDlgCtrlID(hwnd) == 0x47c) return hwnd;
  }
  return nullptr;
}

HWND DialogButton(HWND dialog, int id) {
  for (HWND hwnd : ChildrenOfClass(dialog, L"Button")) {
    if (GetParent(hwnd) == dialog && GetDlgCtrlID(hwnd) == id) return hwnd;
  }
  return nullptr;
}

Remote::Remote(HANDLE process, std::size_t size)
    : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}

Remote::~Remote() {
  if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool Remote::Write(std::size_t offset, const void* data, std::size_t size) const {
  return WriteProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
}

bool Remote::Read(std::size_t offset, void* data, std::size_t size) const {
  return ReadProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
}

std::wstring TabText(HANDLE process, HWND tab, int page) {
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  return RemoteText(process, tab, TCM_GETITEMW, static_cast<WPARAM>(page), item);
}

RECT RemoteRect(HANDLE process, HWND hwnd, UINT message, WPARAM index, LONG left_code) {
  Remote memory(process, sizeof(RECT));
  RECT rect{};
  rect.left = left_code;
  memory.Write(0, &rect, sizeof rect);
  Send(hwnd, message, index, memory.param());
  memory.Read(0, &rect, sizeof rect);
  return rect;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  return CloseHandle(file) && ok;
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring BoxText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

HWND WaitForDialog(DWORD process, const wchar_t* caption, DWORD timeout_ms) {
  HWND dialog = nullptr;
  WaitFor([&] { return (dialog = FindTopLevel(process, L"#32770", caption)) != nullptr; }, timeout_ms);
  return dialog;
}

HWND WaitForFileDialog(DWORD process) {
  HWND dialog = nullptr;
  WaitFor([&] {
    dialog = FindTopLevel(process, L"#32770", nullptr);
    return dialog != nullptr && FileNameField(dialog) != nullptr;
  });
  return dialog != nullptr && FileNameField(dialog) != nullptr ? dialog : nullptr;
}

void Press(HWND dialog, int id) {
  HWND button = DialogButton(dialog, id);
  if (button == nullptr) button = GetDlgItem(dialog, id);
  PostMessageW(button, BM_CLICK, 0, 0);
  WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

bool AnswerMessage(DWORD process, const wchar_t* caption, const std::wstring& text, const char* what) {
  HWND box = WaitForDialog(process, caption);
  const bool right = box != nullptr && BoxText(box) == text;
  Check(right, what);
  if (box == nullptr) {
    PrintDialogs(process);
    return false;
  }
  if (!right) std::printf("     got: %ls\n", BoxText(box).c_str());
  Check(GetDlgItem(box, IDCANCEL) == nullptr && !HasIcon(box), "  one button, no icon");
  PostMessageW(FindChild(box, L"Button"), BM_CLICK, 0, 0);
  WaitFor([&] { return !IsWindow(box); });
  return right;
}

void PrintDialogs(DWORD process) {
  std::vector<HWND> all;
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&all));
  bool any = false;
  for (HWND hwnd : all) {
    if (ProcessOf(hwnd) != process || !IsWindowVisible(hwnd) || ClassOf(hwnd) != L"#32770") continue;
    std::printf("     shown: [%ls] %ls\n", TextOf(hwnd).c_str(), BoxText(hwnd).c_str());
    any = true;
  }
  if (!any) std::printf("     shown: no dialog or message box\n");
}

bool AttachMain(Target* target, const wchar_t* title, const char* what) {
  bool found = WaitFor([&] {
    target->main = FindWindowW(kWindowClass, title);
    return target->main != nullptr && IsWindowVisible(target->main);
  }, 30000);
  Check(found, what);
  if (!found) return false;
  target->process_id = ProcessOf(target->main);
  target->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                    PROCESS_QUERY_INFORMATION | SYNCHRONIZE,
                                FALSE, target->process_id);
  return true;
}

}  // namespace drive

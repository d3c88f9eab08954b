// What the smoke drivers share to check a program from outside, in the same
// Wine prefix, through window messages: counted checks, waiting, finding
// windows and controls, and reading texts that live in the program's memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace drive {

// The class of every window the project's host creates.
constexpr wchar_t kWindowClass[] = L"QelmarHostWindow";
constexpr DWORD kTimeoutMs = 10000;

// Prints "ok   what" or "FAIL what" and counts it.
void Check(bool ok, const char* what);

// Prints the "N passed, M failed" line the scripts read; answers the exit code.
int Finish();
int Failures();

// Polls `done` until it holds or the time is up.
template <typename Condition>
bool WaitFor(Condition done, DWORD timeout_ms = kTimeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(20);
  }
}

// SendMessage that gives up on a hung window: answers -1 then.
LRESULT Send(HWND hwnd, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

std::wstring TextOf(HWND hwnd);
std::wstring ClassOf(HWND hwnd);
LONG_PTR StyleOf(HWND hwnd);
DWORD ProcessOf(HWND hwnd);

std::vector<HWND> Descendants(HWND root);
std::vector<HWND> ChildrenOfClass(HWND root, const wchar_t* window_class);
// A descendant of `root` of that class, with that text when `text` is given.
HWND FindChild(HWND root, const wchar_t* window_class, const wchar_t* text = nullptr);
// A visible top-level window of the process with that class (and title).
HWND FindTopLevel(DWORD process, const wchar_t* window_class, const wchar_t* title = nullptr);

// Whether `child` lies whole inside the client area of `window`.
bool LiesInside(HWND child, HWND window);

// Wine's box keeps its icon static, visible but empty, when there is no icon.
bool HasIcon(HWND dialog);
// The file dialog's name field: the Edit with id 0x47c (inside the
// ComboBox inside the ComboBoxEx32, which have that id too).
HWND FileNameField(HWND dialog);
// The dialog's own button with that id (other children share the ids).
HWND DialogButton(HWND dialog, int id);

// Memory in the program's process for the messages that carry pointers.
class Remote {
 public:
  Remote(HANDLE process, std::size_t size);
  Remote(const Remote&) = delete;
  Remote& operator=(const Remote&) = delete;
  ~Remote();
  bool ok() const { return address_ != nullptr; }
  char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  LPARAM param(std::size_t offset = 0) const { return reinterpret_cast<LPARAM>(at(offset)); }
  bool Write(std::size_t offset, const void* data, std::size_t size) const;
  bool Read(std::size_t offset, void* data, std::size_t size) const;

 private:
  HANDLE process_;
  void* address_;
};

constexpr std::size_t kTextChars = 1024;

// Sends a record whose pszText points at a buffer right after it, in the
// program's memory, and answers that buffer.
template <typename Record>
std::wstring RemoteText(HANDLE process, HWND hwnd, UINT message, WPARAM index, Record record) {
  Remote memory(process, sizeof(Record) + kTextChars * sizeof(wchar_t));
  if (!memory.ok()) return L"<no memory>";
  record.pszText = reinterpret_cast<wchar_t*>(memory.at(sizeof(Record)));
  record.cchTextMax = static_cast<int>(kTextChars);
  memory.Write(0, &record, sizeof record);
  Send(hwnd, message, index, memory.param());
  std::vector<wchar_t> text(kTextChars + 1, L'\0');
  memory.Read(sizeof(Record), text.data(), kTextChars * sizeof(wchar_t));
  return std::wstring(text.data());
}

std::wstring TabText(HANDLE process, HWND tab, int page);

// A rectangle answered into the program's memory (a row's bounds, a tab's);
// `left_code` is what the message reads from its left field.
RECT RemoteRect(HANDLE process, HWND hwnd, UINT message, WPARAM index, LONG left_code = 0);

// The program's main window and the process handle the checks use.
struct Target {
  HWND main = nullptr;
  DWORD process_id = 0;
  HANDLE process = nullptr;
};

// Waits for the visible host window with that title (shown only once its
// Created handler has run), checks that it came and opens its process.
// Answers whether the window came.
bool AttachMain(Target* target, const wchar_t* title, const char* what);

// ---- Files, as the programs see them ------------------------------------------

bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The whole file, or "" when it cannot be read.
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// ---- Message boxes and dialogs ---------------------------------------------------

// A message box's text (the static with id 0xFFFF).
std::wstring BoxText(HWND box);
// Waits for a dialog of the process with that caption (any caption when null).
HWND WaitForDialog(DWORD process, const wchar_t* caption, DWORD timeout_ms = kTimeoutMs);
// Waits for an open or save dialog of the process.
HWND WaitForFileDialog(DWORD process);
// Clicks the dialog's own button with that id and waits for the dialog to go.
void Press(HWND dialog, int id);
// Waits for a message box with that caption, checks its text, one button and
// no icon, and presses OK. Answers whether it came with that text.
bool AnswerMessage(DWORD process, const wchar_t* caption, const std::wstring& text, const char* what);
// Prints every dialog the process shows (caption and text): what a failed
// check was waiting behind.
void PrintDialogs(DWORD process);

// ---- Input ---------------------------------------------------------------------

std::wstring ItemText(HANDLE process, HWND list, int row, int column);
int RowCount(HWND list);
bool SelectRow(HANDLE process, HWND list, int row);
POINT CenterOnScreen(HWND hwnd, const RECT& client_rect);
void Mouse(DWORD flags);
void Key(WORD key);
// A click on a tab, so that the tab control selects and notifies as for a user.
bool ClickTab(HANDLE process, HWND tab, int page);
// Selects a row and double-clicks it.
void DoubleClickRow(HANDLE process, HWND list, int row);
// Selects a row, right-clicks it with the mouse and answers whether the popup
// menu opened; then `downs` times VK_DOWN and VK_RETURN choose an item.
bool ChooseFromRowMenu(HWND window, HANDLE process, HWND list, int row, int downs);
// An OLE drag of the files from the cursor's place (the driver needs
// OleInitialize); answers the effect the target chose.
DWORD DragFiles(const std::vector<std::wstring>& paths);
// The same drag with the cursor put over `hwnd` first.
DWORD DropFilesOn(HWND hwnd, const std::vector<std::wstring>& paths);

}  // namespace drive

#include "host/win32/dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/win32/text.h"

namespace host {
namespace win32 {

void MessageOk(const std::string& text, const std::string& caption) {
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_TASKMODAL);
}

bool MessageOkCancel(const std::string& text, const std::string& caption) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OKCANCEL | MB_TASKMODAL) == IDOK;
}

FileDialogSettings::FileDialogSettings(const FileDialogRequest& request, const std::string& default_extension)
    : filter_(ReplaceSingleByte(request.filter, '|', '\0')),
      initial_folder_(request.initial_folder),
      default_extension_(default_extension),
      // Room for long paths; the dialog fails rather than truncating.
      file_(MAX_PATH * 8, '\0') {
  // "描述|模式" pairs become the NUL-separated list ending in two NULs.
  filter_.append(2, '\0');
  std::memcpy(file_.data(), request.file_name.data(), std::min(request.file_name.size(), file_.size() - 1));
  record_.lStructSize = sizeof record_;
  record_.lpstrFilter = request.filter.empty() ? nullptr : filter_.c_str();
  record_.nFilterIndex = 1;
  record_.lpstrFile = file_.data();
  record_.nMaxFile = static_cast<DWORD>(file_.size());
  record_.lpstrInitialDir = initial_folder_.empty() ? nullptr : initial_folder_.c_str();
  record_.lpstrDefExt = default_extension_.empty() ? nullptr : default_extension_.c_str();
  // No OFN_NOCHANGEDIR: the programs' dialog may move the current directory.
  // The read-only box would be ignored, so it is not offered.
  record_.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                  (request.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
}

bool ChooseFile(const FileDialogRequest& request, const std::string& default_extension, std::string* path) {
  FileDialogSettings settings(request, default_extension);
  BOOL chosen = request.save ? GetSaveFileNameA(settings.record()) : GetOpenFileNameA(settings.record());
  if (!chosen) return false;
  *path = settings.file();
  return true;
}

std::string BrowseForFolder(HWND owner, const std::string& title) {
  char display_name[MAX_PATH] = {};
  BROWSEINFOA browse{};
  browse.hwndOwner = owner;
  browse.pszDisplayName = display_name;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_EDITBOX | BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  if (chosen == nullptr) return std::string();
  char path[MAX_PATH] = {};
  BOOL has_path = SHGetPathFromIDListA(chosen, path);
  CoTaskMemFree(chosen);
  return has_path ? std::string(path) : std::string();
}

namespace {

// The input box's controls, laid out in pixels once the dialog exists (the
// template's dialog units would depend on the system font).
constexpr int kPromptId = 100;
constexpr int kEditId = 101;
constexpr int kClientWidth = 360;
constexpr int kClientHeight = 118;

struct ControlPlace {
  int id;
  int left, top, width, height;
};
constexpr ControlPlace kInputBoxPlaces[] = {
    {kPromptId, 10, 10, 250, 64},
    {IDOK, 270, 10, 80, 26},
    {IDCANCEL, 270, 42, 80, 26},
    {kEditId, 10, 84, 340, 22},
};

struct InputBoxState {
  HFONT font;
  const std::string* prompt;
  const std::string* initial;
  std::string answer;
};

// A dialog template in memory: header and items are DWORD aligned, menu,
// class and texts are empty (texts are set as GBK once the dialog exists).
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, int item_count) {
    Dword(style);
    Dword(0);
    Word(static_cast<WORD>(item_count));
    for (int i = 0; i < 4; ++i) Word(0);  // position and size: set later
    Word(0);  // no menu
    Word(0);  // the dialog class
    Word(0);  // no title yet
  }
  void AddItem(DWORD style, int id, WORD class_atom) {
    if (words_.size() % 2 != 0) Word(0);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    for (int i = 0; i < 4; ++i) Word(0);
    Word(static_cast<WORD>(id));
    Word(0xFFFF);
    Word(class_atom);
    Word(0);  // no text yet
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD word) { words_.push_back(word); }
  void Dword(DWORD dword) {
    Word(LOWORD(dword));
    Word(HIWORD(dword));
  }
  std::vector<WORD> words_;
};

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

void LayOutInputBox(HWND dialog, HWND owner, HFONT font) {
  for (const ControlPlace& place : kInputBoxPlaces) {
    HWND control = GetDlgItem(dialog, place.id);
    MoveWindow(control, place.left, place.top, place.width, place.height, FALSE);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  RECT around{};
  if (owner == nullptr || !GetWindowRect(owner, &around)) {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &around, 0);
  }
  int left = around.left + (around.right - around.left - width) / 2;
  int top = around.top + (around.bottom - around.top - height) / 2;
  SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<InputBoxState*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      SetWindowTextA(dialog, "请输入：");
      SetDlgItemTextA(dialog, kPromptId, state->prompt->c_str());
      SetDlgItemTextA(dialog, kEditId, state->initial->c_str());
      SetDlgItemTextA(dialog, IDOK, "确认输入(&O)");
      SetDlgItemTextA(dialog, IDCANCEL, "取消(&C)");
      LayOutInputBox(dialog, GetWindow(dialog, GW_OWNER), state->font);
      HWND edit = GetDlgItem(dialog, kEditId);
      SendMessageA(edit, EM_SETSEL, 0, -1);
      SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        HWND edit = GetDlgItem(dialog, kEditId);
        std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
        int length = GetWindowTextA(edit, text.data(), static_cast<int>(text.size()));
        state->answer.assign(text.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool AskText(HWND owner, HFONT font, const std::string& prompt, const std::string& initial, std::string* answer) {
  DialogTemplate box(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 4);
  // Template order is the tab order: the edit box first.
  box.AddItem(SS_LEFT, kPromptId, kStaticAtom);
  box.AddItem(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kEditId, kEditAtom);
  box.AddItem(BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, kButtonAtom);
  box.AddItem(BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, kButtonAtom);
  InputBoxState state{font, &prompt, &initial, std::string()};
  INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), box.get(), owner, &InputBoxProc,
                                           reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return false;
  *answer = state.answer;
  return true;
}

}  // namespace win32
}  // namespace host

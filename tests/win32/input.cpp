// Input the drivers give the programs: list rows, mouse and keys, and an OLE
// drag of files as the shell would start it.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>

#include "tests/win32/drive.h"

namespace drive {
namespace {

// The dropped paths as one CF_HDROP block.
class FileData final : public IDataObject {
 public:
  explicit FileData(const std::vector<std::wstring>& paths) {
    std::size_t chars = 1;
    for (const auto& path : paths) chars += path.size() + 1;
    bytes_.resize(sizeof(DROPFILES) + chars * sizeof(wchar_t), 0);
    auto* header = reinterpret_cast<DROPFILES*>(bytes_.data());
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(bytes_.data() + sizeof(DROPFILES));
    for (const auto& path : paths) {
      std::memcpy(names, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
      names += path.size() + 1;
    }
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&references_)); }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, bytes_.size());
    if (global == nullptr) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(global), bytes_.data(), bytes_.size());
    GlobalUnlock(global);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = global;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) != 0 ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &format, formats);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  LONG references_ = 1;
  std::vector<char> bytes_;
};

// Lets the drag pass a few rounds over the target, then drops.
class DropAtOnce final : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
      *object = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&references_)); }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return ++rounds_ >= 3 ? DRAGDROP_S_DROP : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  LONG references_ = 1;
  int rounds_ = 0;
};

}  // namespace

std::wstring ItemText(HANDLE process, HWND list, int row, int column) {
  LVITEMW item{};
  item.iSubItem = column;
  return RemoteText(process, list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), item);
}

bool SelectRow(HANDLE process, HWND list, int row) {
  Remote memory(process, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  memory.Write(0, &item, sizeof item);
  return Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), memory.param()) != 0;
}

POINT CenterOnScreen(HWND hwnd, const RECT& client_rect) {
  POINT point = {(client_rect.left + client_rect.right) / 2, (client_rect.top + client_rect.bottom) / 2};
  ClientToScreen(hwnd, &point);
  return point;
}

void Mouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

void Key(WORD key) {
  INPUT input[2] = {};
  input[0].type = INPUT_KEYBOARD;
  input[0].ki.wVk = key;
  input[1] = input[0];
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof input[0]);
}

DWORD DragFiles(const std::vector<std::wstring>& paths) {
  FileData data(paths);
  DropAtOnce source;
  DWORD effect = DROPEFFECT_NONE;
  DoDragDrop(&data, &source, DROPEFFECT_COPY, &effect);
  return effect;
}

int RowCount(HWND list) { return static_cast<int>(Send(list, LVM_GETITEMCOUNT)); }

bool ClickTab(HANDLE process, HWND tab, int page) {
  RECT page_rect = RemoteRect(process, tab, TCM_GETITEMRECT, static_cast<WPARAM>(page));
  LPARAM inside = MAKELPARAM((page_rect.left + page_rect.right) / 2, (page_rect.top + page_rect.bottom) / 2);
  PostMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  PostMessageW(tab, WM_LBUTTONUP, 0, inside);
  return WaitFor([&] { return Send(tab, TCM_GETCURSEL) == page; });
}

void DoubleClickRow(HANDLE process, HWND list, int row) {
  SelectRow(process, list, row);
  RECT row_rect = RemoteRect(process, list, LVM_GETITEMRECT, static_cast<WPARAM>(row), LVIR_BOUNDS);
  LPARAM inside = MAKELPARAM((row_rect.left + row_rect.right) / 2, (row_rect.top + row_rect.bottom) / 2);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  PostMessageW(list, WM_LBUTTONUP, 0, inside);
  PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
  PostMessageW(list, WM_LBUTTONUP, 0, inside);
}

bool ChooseFromRowMenu(HWND window, HANDLE process, HWND list, int row, int downs) {
  SelectRow(process, list, row);
  RECT row_rect = RemoteRect(process, list, LVM_GETITEMRECT, static_cast<WPARAM>(row), LVIR_BOUNDS);
  // Each click lands elsewhere on the row: two at one place in quick
  // succession would be a double click.
  static int clicks = 0;
  const LONG width = row_rect.right - row_rect.left;
  row_rect.left += width * (clicks++ % 5) / 6;
  row_rect.right = row_rect.left + width / 6;
  POINT at = CenterOnScreen(list, row_rect);
  // Mouse input goes to the foreground window.
  SetForegroundWindow(window);
  SetCursorPos(at.x, at.y);
  Mouse(MOUSEEVENTF_RIGHTDOWN);
  Mouse(MOUSEEVENTF_RIGHTUP);
  HWND menu = nullptr;
  if (!WaitFor([&] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu); }))
    return false;
  for (int i = 0; i < downs; ++i) Key(VK_DOWN);
  Key(VK_RETURN);
  WaitFor([&] { return !IsWindowVisible(menu); });
  return true;
}

DWORD DropFilesOn(HWND hwnd, const std::vector<std::wstring>& paths) {
  RECT client{};
  GetClientRect(hwnd, &client);
  POINT at = CenterOnScreen(hwnd, client);
  SetCursorPos(at.x, at.y);
  return DragFiles(paths);
}

}  // namespace drive

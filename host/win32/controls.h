// Thin wrappers over the controls the windows use: each method is one Win32
// call on the control's handle. No program logic lives here.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace host {
namespace win32 {

class Control {
 public:
  explicit Control(HWND hwnd) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }

  BOOL SetText(const std::string& text) const { return SetWindowTextA(hwnd_, text.c_str()); }
  std::string Text() const {
    std::vector<char> buffer(static_cast<std::size_t>(GetWindowTextLengthA(hwnd_)) + 1);
    int length = GetWindowTextA(hwnd_, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
  }
  BOOL Enable(bool enabled) const { return EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  bool IsEnabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
  BOOL Show(bool shown) const { return ShowWindow(hwnd_, shown ? SW_SHOW : SW_HIDE); }
  void SetFont(HFONT font) const { SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE); }

 protected:
  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
    return SendMessageA(hwnd_, message, wparam, lparam);
  }

 private:
  HWND hwnd_;
};

class CheckBox : public Control {
 public:
  using Control::Control;
  bool IsChecked() const { return Send(BM_GETCHECK) == BST_CHECKED; }
};

class ProgressBar : public Control {
 public:
  using Control::Control;
  void SetRange(int low, int high) const { Send(PBM_SETRANGE32, static_cast<WPARAM>(low), high); }
  void SetPosition(int position) const { Send(PBM_SETPOS, static_cast<WPARAM>(position)); }
};

class TabControl : public Control {
 public:
  using Control::Control;
  int InsertPage(int index, const std::string& caption) const {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(caption.c_str());
    return static_cast<int>(Send(TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
  }
  int CurrentPage() const { return static_cast<int>(Send(TCM_GETCURSEL)); }
  int SetCurrentPage(int page) const { return static_cast<int>(Send(TCM_SETCURSEL, static_cast<WPARAM>(page))); }
};

class ListView : public Control {
 public:
  using Control::Control;
  void SetFullRowSelect() const {
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  }
  int InsertColumn(int index, const std::string& caption, int width) const {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(caption.c_str());
    column.cx = width;
    column.iSubItem = index;
    return static_cast<int>(Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
  }
  int RowCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
  int InsertRow(int row, const std::string& first_column) const {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(first_column.c_str());
    return static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  }
  BOOL SetItemText(int row, int column, const std::string& text) const {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<BOOL>(Send(LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
  }
  // The answer gives no length in advance, so the buffer grows until the text
  // fits with room to spare.
  std::string ItemText(int row, int column) const {
    std::vector<char> buffer(256);
    for (;;) {
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = buffer.data();
      item.cchTextMax = static_cast<int>(buffer.size());
      LRESULT length = Send(LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
      if (length < 0) length = 0;
      if (static_cast<std::size_t>(length) + 1 < buffer.size()) {
        return std::string(buffer.data(), static_cast<std::size_t>(length));
      }
      buffer.resize(buffer.size() * 2);
    }
  }
  BOOL DeleteRow(int row) const { return static_cast<BOOL>(Send(LVM_DELETEITEM, static_cast<WPARAM>(row))); }
  BOOL DeleteAllRows() const { return static_cast<BOOL>(Send(LVM_DELETEALLITEMS)); }
  int SelectedRow() const {
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
  }
  void SetRedraw(bool redraw) const { Send(WM_SETREDRAW, redraw ? TRUE : FALSE); }
  BOOL Repaint() const { return InvalidateRect(hwnd(), nullptr, TRUE); }
};

}  // namespace win32
}  // namespace host

// The window framework on real Win32 windows. Windows are data: LoadWindow
// builds the controls from a WindowDef through a table of unit classes, and
// WM_COMMAND / WM_NOTIFY are routed to the definition's event rows. Handlers
// never see a window handle.
//
// All window state belongs to the window thread (the thread that constructed
// this object). A call from another thread runs what touches windows there, sent
// through a hidden message window; only message boxes, questions and file
// dialogs (which have no owner) run on the calling thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "host/window.h"

namespace host {
namespace win32 {

class Win32Ui final : public WindowFramework {
 public:
  Win32Ui();
  Win32Ui(const Win32Ui&) = delete;
  Win32Ui& operator=(const Win32Ui&) = delete;
  ~Win32Ui() override;

  // Dispatches messages until no window of the program is left.
  void RunMessageLoop();

  void ShowMessage(const GbkText& text, const GbkText& caption) override;
  void SetProgress(const GbkText& unit, int position) override;

  bool LoadWindow(const WindowDef& def) override;
  bool IsLoaded(const GbkText& window) override;
  void CloseWindow(const GbkText& window) override;

  void SetText(const GbkText& unit, const GbkText& text) override;
  GbkText GetText(const GbkText& unit) override;
  void SetEnabled(const GbkText& unit, bool enabled) override;
  bool IsEnabled(const GbkText& unit) override;
  bool IsChecked(const GbkText& unit) override;
  int CurrentPage(const GbkText& tab) override;
  void SetCurrentPage(const GbkText& tab, int page) override;

  int RowCount(const GbkText& list) override;
  int AppendRow(const GbkText& list, const GbkText& first_column) override;
  void SetItemText(const GbkText& list, int row, int column, const GbkText& text) override;
  GbkText ItemText(const GbkText& list, int row, int column) override;
  void DeleteRow(const GbkText& list, int row) override;
  void DeleteAllRows(const GbkText& list) override;
  int SelectedRow(const GbkText& list) override;
  void SetRedraw(const GbkText& list, bool redraw) override;

  bool AskOkCancel(const GbkText& text, const GbkText& caption) override;
  bool ShowFileDialog(const GbkText& dialog, const FileDialogRequest& request, GbkText* path) override;
  GbkText PickFolder(const GbkText& title) override;
  bool InputBox(const GbkText& prompt, const GbkText& initial, GbkText* answer) override;
  void PopupMenu(const GbkText& menu) override;
  bool RegisterDropTarget(const GbkText& drop_target, const GbkText& on_unit) override;

  void StartWorker(std::function<void()> work) override;

 private:
  struct Unit {
    const UnitDef* def = nullptr;
    HWND hwnd = nullptr;  // null for the units that are not drawn
    HMENU menu = nullptr; // a popup menu's own menu
    UINT id = 0;          // control id, or a menu item's command
    // Where the control lies: its parent window and position there.
    HWND container = nullptr;
    int left = 0, top = 0;
    int tab = -1;         // index of the tab unit whose page holds it, or -1
    int page = -1;
    bool drop_registered = false;
    enum { kNew, kCreating, kDone } state = kNew;
  };
  struct Window {
    Win32Ui* ui = nullptr;
    WindowDef def{};
    HWND hwnd = nullptr;
    std::vector<Unit> units;
  };
  // A name resolved: the window, and the unit or null for the window itself.
  struct Target {
    Window* window = nullptr;
    Unit* unit = nullptr;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK CallsProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  // Runs `call` on the window thread and answers its result.
  template <typename Call>
  auto OnWindowThread(Call call) -> decltype(call()) {
    using Result = decltype(call());
    if (GetCurrentThreadId() == window_thread_ || calls_window_ == nullptr) return call();
    if constexpr (std::is_void_v<Result>) {
      std::function<void()> run = call;
      SendToWindowThread(&run);
    } else {
      Result result{};
      std::function<void()> run = [&] { result = call(); };
      SendToWindowThread(&run);
      return result;
    }
  }
  void SendToWindowThread(std::function<void()>* run);
  // Queues `run` for the window thread's message loop.
  void PostToWindowThread(std::function<void()> run);

  bool Route(Window& window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
  void OnDestroy(Window& window);
  static void Raise(const WindowDef& def, const char* unit, const EventArgs& args);

  bool Load(const WindowDef& def);
  void CreateUnit(Window& window, int index);
  void UpdatePages(Window& window);
  bool IsShown(const Window& window, const Unit& unit) const;

  Window* FindLoaded(const std::string& name);
  static Unit* FindUnit(Window& window, const std::string& name);
  static Unit* UnitOfHandle(Window& window, HWND hwnd);
  static Unit* UnitOfId(Window& window, UINT id);
  Target Find(const GbkText& name);
  // The control of a unit (or the window itself), or null.
  HWND HandleOf(const GbkText& name);
  HWND HandleOf(const GbkText& name, UnitType type);
  HWND ActiveWindow();

  DWORD window_thread_;
  HWND calls_window_ = nullptr;
  HFONT font_ = nullptr;
  std::string main_window_;
  std::vector<std::unique_ptr<Window>> windows_;
};

}  // namespace win32
}  // namespace host

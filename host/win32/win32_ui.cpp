#include "host/win32/win32_ui.h"

#include <commctrl.h>
#include <ole2.h>

#include <cstring>

#include "host/system.h"
#include "host/win32/controls.h"
#include "host/win32/dialogs.h"
#include "host/win32/drop_target.h"
#include "host/win32/text.h"

namespace host {
namespace win32 {
namespace {

constexpr char kWindowClass[] = "QelmarHostWindow";
constexpr char kCallsClass[] = "QelmarHostCalls";
// lparam: a std::function<void()> to run; sent ones belong to the sender,
// posted ones are deleted after running.
constexpr UINT kRunSent = WM_APP + 1;
constexpr UINT kRunPosted = WM_APP + 2;
// Unit i of a window has control id (or menu command) kFirstUnitId + i.
constexpr UINT kFirstUnitId = 1000;

// Every window has a caption bar with a close box, so the user can always
// close it (and the shell gives it a task-bar button); one without a title
// shows an empty one.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// The frame an untitled window's size is meant for: a thin border and no
// caption bar. Its frame grows by the difference, so its units keep their room.
constexpr DWORD kUntitledFrame = WS_POPUP | WS_BORDER;

SIZE FrameSize(const WindowDef& def) {
  SIZE size = {def.width, def.height};
  if (def.title != nullptr) return size;
  RECT bare = {0, 0, 0, 0};
  RECT titled = {0, 0, 0, 0};
  AdjustWindowRectEx(&bare, kUntitledFrame, FALSE, 0);
  AdjustWindowRectEx(&titled, kWindowStyle, FALSE, 0);
  size.cx += (titled.right - titled.left) - (bare.right - bare.left);
  size.cy += (titled.bottom - titled.top) - (bare.bottom - bare.top);
  return size;
}

std::vector<std::string> SplitItems(const char* items) {
  std::vector<std::string> parts;
  if (items == nullptr) return parts;
  std::string text = ReplaceSingleByte(items, '|', '\0');
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find('\0', start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

void SetUpTab(HWND hwnd, const UnitDef& def) {
  TabControl tab(hwnd);
  std::vector<std::string> pages = SplitItems(def.items);
  for (std::size_t i = 0; i < pages.size(); ++i) tab.InsertPage(static_cast<int>(i), pages[i]);
}

void SetUpListView(HWND hwnd, const UnitDef& def) {
  ListView list(hwnd);
  list.SetFullRowSelect();
  std::vector<std::string> columns = SplitItems(def.items);
  for (std::size_t i = 0; i < columns.size(); ++i) list.InsertColumn(static_cast<int>(i), columns[i], def.item_width);
}

void SetUpProgressBar(HWND hwnd, const UnitDef&) { ProgressBar(hwnd).SetRange(0, 100); }

void SetUpStatusBar(HWND hwnd, const UnitDef& def) {
  if (def.caption != nullptr) Control(hwnd).SetText(def.caption);
}

// How each unit type is drawn. A null class: the unit has no window.
struct UnitClass {
  UnitType type;
  const char* window_class;
  DWORD style;
  DWORD ex_style;
  void (*set_up)(HWND hwnd, const UnitDef& def);
};

const UnitClass kUnitClasses[] = {
    {UnitType::Tab, WC_TABCONTROLA, WS_CLIPCHILDREN | WS_TABSTOP, 0, &SetUpTab},
    {UnitType::ListView, WC_LISTVIEWA, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, &SetUpListView},
    {UnitType::CheckBox, WC_BUTTONA, BS_AUTOCHECKBOX | WS_TABSTOP, 0, nullptr},
    {UnitType::FileDialog, nullptr, 0, 0, nullptr},
    {UnitType::DropTarget, nullptr, 0, 0, nullptr},
    {UnitType::ProgressBar, PROGRESS_CLASSA, 0, 0, &SetUpProgressBar},
    {UnitType::Button, WC_BUTTONA, BS_PUSHBUTTON | WS_TABSTOP, 0, nullptr},
    // Transparent: the tab control clips its children, so without this nothing
    // would paint the inside of a group box on the page shown first.
    {UnitType::GroupBox, WC_BUTTONA, BS_GROUPBOX, WS_EX_TRANSPARENT, nullptr},
    {UnitType::Edit, WC_EDITA, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, nullptr},
    // Placed and sized by its definition like every other unit.
    {UnitType::StatusBar, STATUSCLASSNAMEA, CCS_NOPARENTALIGN | CCS_NORESIZE, 0, &SetUpStatusBar},
    {UnitType::Label, WC_STATICA, SS_LEFT, 0, nullptr},
    {UnitType::PopupMenu, nullptr, 0, 0, nullptr},
    {UnitType::MenuItem, nullptr, 0, 0, nullptr},
};

const UnitClass* ClassOf(UnitType type) {
  for (const UnitClass& unit_class : kUnitClasses) {
    if (unit_class.type == type) return &unit_class;
  }
  return nullptr;
}

// Control notifications that are events of the unit that sent them.
struct CommandEvent {
  WORD code;
  Event event;
};
const CommandEvent kCommandEvents[] = {{BN_CLICKED, Event::Clicked}};

struct NotifyEvent {
  UINT code;
  Event event;
};
const NotifyEvent kNotifyEvents[] = {{NM_DBLCLK, Event::DoubleClicked}, {NM_RCLICK, Event::RightClicked}};

// The tab controls' own procedure (one class, so one procedure).
WNDPROC g_tab_proc = nullptr;

DWORD WINAPI RunWorker(LPVOID parameter) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
  // The shell's dialogs want an apartment on the thread that shows them.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  RunGuarded(host::Ui(), *work);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace

Win32Ui::Win32Ui() : window_thread_(GetCurrentThreadId()) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  window_class.lpszClassName = kWindowClass;
  RegisterClassExA(&window_class);

  WNDCLASSEXA calls_class{};
  calls_class.cbSize = sizeof calls_class;
  calls_class.lpfnWndProc = &CallsProc;
  calls_class.hInstance = instance;
  calls_class.lpszClassName = kCallsClass;
  RegisterClassExA(&calls_class);
  calls_window_ = CreateWindowExA(0, kCallsClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);

  HDC screen = GetDC(nullptr);
  int dots_per_inch = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  font_ = CreateFontA(-MulDiv(9, dots_per_inch, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "宋体");
}

Win32Ui::~Win32Ui() {
  std::vector<HWND> open;
  for (const auto& window : windows_) open.push_back(window->hwnd);
  for (HWND hwnd : open) {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }
  if (calls_window_ != nullptr) DestroyWindow(calls_window_);
  if (font_ != nullptr) DeleteObject(font_);
}

void Win32Ui::RunMessageLoop() {
  if (windows_.empty()) return;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// ---- Window thread ------------------------------------------------------------

void Win32Ui::SendToWindowThread(std::function<void()>* run) {
  SendMessageA(calls_window_, kRunSent, 0, reinterpret_cast<LPARAM>(run));
}

void Win32Ui::PostToWindowThread(std::function<void()> run) {
  auto* posted = new std::function<void()>(std::move(run));
  if (!PostMessageA(calls_window_, kRunPosted, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

LRESULT CALLBACK Win32Ui::CallsProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunSent) {
    (*reinterpret_cast<std::function<void()>*>(lparam))();
    return 0;
  }
  if (message == kRunPosted) {
    std::unique_ptr<std::function<void()>> run(reinterpret_cast<std::function<void()>*>(lparam));
    (*run)();
    return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// ---- Building windows ---------------------------------------------------------

bool Win32Ui::Load(const WindowDef& def) {
  if (def.name == nullptr) return false;
  if (FindLoaded(def.name) != nullptr) return true;  // one window per definition name

  windows_.push_back(std::make_unique<Window>());
  Window* window = windows_.back().get();
  window->ui = this;
  window->def = def;
  window->units.resize(def.unit_count > 0 ? static_cast<std::size_t>(def.unit_count) : 0);
  for (std::size_t i = 0; i < window->units.size(); ++i) window->units[i].def = &def.units[i];

  const SIZE size = FrameSize(def);
  HWND hwnd = CreateWindowExA(0, kWindowClass, def.title != nullptr ? def.title : "", kWindowStyle, def.left,
                              def.top, size.cx, size.cy, nullptr, nullptr, GetModuleHandleA(nullptr), window);
  if (hwnd == nullptr) {
    windows_.pop_back();
    return false;
  }
  if (main_window_.empty()) main_window_ = def.name;

  for (std::size_t i = 0; i < window->units.size(); ++i) CreateUnit(*window, static_cast<int>(i));
  // Tabs and group boxes lie under the units drawn on them.
  for (UnitType below : {UnitType::GroupBox, UnitType::Tab}) {
    for (const Unit& unit : window->units) {
      if (unit.hwnd != nullptr && unit.def->type == below) {
        SetWindowPos(unit.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
    }
  }
  UpdatePages(*window);

  std::string name = def.name;
  Raise(def, nullptr, EventArgs{Event::Created, GbkText()});
  // The handler may have closed the window.
  Window* loaded = FindLoaded(name);
  if (loaded != nullptr && def.visible) {
    ShowWindow(loaded->hwnd, SW_SHOW);
    UpdateWindow(loaded->hwnd);
  }
  return true;
}

void Win32Ui::CreateUnit(Window& window, int index) {
  Unit& unit = window.units[static_cast<std::size_t>(index)];
  if (unit.state != Unit::kNew) return;
  unit.state = Unit::kCreating;
  const UnitDef& def = *unit.def;
  unit.id = kFirstUnitId + static_cast<UINT>(index);
  unit.container = window.hwnd;
  unit.left = def.left;
  unit.top = def.top;

  Unit* parent = def.parent != nullptr ? FindUnit(window, def.parent) : nullptr;
  if (parent != nullptr) {
    int parent_index = static_cast<int>(parent - window.units.data());
    CreateUnit(window, parent_index);
    if (parent->def->type == UnitType::Tab && parent->hwnd != nullptr) {
      // A child of the tab control, so that OLE finds the tab's drop target
      // from anywhere on it; the tab passes its notifications on.
      unit.container = parent->hwnd;
      unit.tab = parent_index;
      unit.page = def.page;
    } else if (parent->def->type == UnitType::GroupBox) {
      // A sibling of the group box, so its notifications reach the window.
      unit.container = parent->container;
      unit.left += parent->left;
      unit.top += parent->top;
      unit.tab = parent->tab;
      unit.page = parent->page;
    }
  }

  if (def.type == UnitType::PopupMenu) {
    unit.menu = CreatePopupMenu();
  } else if (def.type == UnitType::MenuItem) {
    if (parent != nullptr && parent->menu != nullptr) {
      AppendMenuA(parent->menu, MF_STRING, unit.id, def.caption != nullptr ? def.caption : "");
    }
  } else if (const UnitClass* unit_class = ClassOf(def.type); unit_class != nullptr && unit_class->window_class) {
    unit.hwnd = CreateWindowExA(unit_class->ex_style, unit_class->window_class,
                                def.caption != nullptr ? def.caption : "",
                                unit_class->style | WS_CHILD | WS_CLIPSIBLINGS, unit.left, unit.top, def.width,
                                def.height, unit.container, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(unit.id)),
                                GetModuleHandleA(nullptr), nullptr);
    if (unit.hwnd != nullptr) {
      Control(unit.hwnd).SetFont(font_ != nullptr ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
      if (unit_class->set_up != nullptr) unit_class->set_up(unit.hwnd, def);
      if (def.type == UnitType::Tab) {
        g_tab_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(unit.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TabProc)));
      }
    }
  }
  unit.state = Unit::kDone;
}

bool Win32Ui::IsShown(const Window& window, const Unit& unit) const {
  const Unit* at = &unit;
  for (std::size_t hops = 0; at->tab >= 0 && hops < window.units.size(); ++hops) {
    const Unit& tab = window.units[static_cast<std::size_t>(at->tab)];
    if (at->page >= 0 && TabControl(tab.hwnd).CurrentPage() != at->page) return false;
    at = &tab;
  }
  return true;
}

void Win32Ui::UpdatePages(Window& window) {
  for (const Unit& unit : window.units) {
    if (unit.hwnd != nullptr) Control(unit.hwnd).Show(IsShown(window, unit));
  }
}

// ---- Routing ------------------------------------------------------------------

void Win32Ui::Raise(const WindowDef& def, const char* unit, const EventArgs& args) {
  // Collected first: a handler may close the window and free its state.
  std::vector<Handler> handlers;
  for (int i = 0; i < def.event_count; ++i) {
    const EventRow& row = def.events[i];
    if (row.event != args.event || row.handler == nullptr) continue;
    bool same_unit = unit == nullptr ? row.unit == nullptr : row.unit != nullptr && std::strcmp(row.unit, unit) == 0;
    if (same_unit) handlers.push_back(row.handler);
  }
  EventArgs copy = args;
  for (Handler handler : handlers) RunGuarded(host::Ui(), [&] { handler(copy); });
}

LRESULT CALLBACK Win32Ui::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    window->hwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  LRESULT result = 0;
  if (window != nullptr && window->ui->Route(*window, message, wparam, lparam, &result)) return result;
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK Win32Ui::TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  bool from_unit = (message == WM_COMMAND && LOWORD(wparam) >= kFirstUnitId) ||
                   (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lparam)->idFrom >= kFirstUnitId);
  if (from_unit) return SendMessageA(GetAncestor(hwnd, GA_ROOT), message, wparam, lparam);
  return CallWindowProcA(g_tab_proc, hwnd, message, wparam, lparam);
}

// After a handler has run, `window` may be gone: nothing here touches it then.
bool Win32Ui::Route(Window& window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  switch (message) {
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lparam);
      if (from == nullptr) {
        Unit* item = HIWORD(wparam) == 0 ? UnitOfId(window, LOWORD(wparam)) : nullptr;
        if (item == nullptr || item->def->type != UnitType::MenuItem) return false;
        Raise(window.def, item->def->name, EventArgs{Event::MenuSelected, GbkText()});
        return true;
      }
      Unit* unit = UnitOfHandle(window, from);
      if (unit == nullptr) return false;
      for (const CommandEvent& row : kCommandEvents) {
        if (row.code == HIWORD(wparam)) {
          Raise(window.def, unit->def->name, EventArgs{row.event, GbkText()});
          return true;
        }
      }
      return false;
    }
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
      Unit* unit = UnitOfHandle(window, header->hwndFrom);
      if (unit == nullptr) return false;
      if (unit->def->type == UnitType::Tab && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
        UpdatePages(window);
        return true;
      }
      for (const NotifyEvent& row : kNotifyEvents) {
        if (row.code == header->code) {
          Raise(window.def, unit->def->name, EventArgs{row.event, GbkText()});
          return true;
        }
      }
      return false;
    }
    case WM_CLOSE: {
      bool keep_open = false;
      Raise(window.def, nullptr, EventArgs{Event::CloseRequested, GbkText(), &keep_open});
      if (!keep_open) return false;  // the default destroys the window
      *result = 0;
      return true;
    }
    case WM_DESTROY:
      OnDestroy(window);
      *result = 0;
      return true;
    default:
      return false;
  }
}

void Win32Ui::OnDestroy(Window& window) {
  for (Unit& unit : window.units) {
    if (unit.drop_registered) RevokeDragDrop(unit.hwnd);
    if (unit.menu != nullptr) DestroyMenu(unit.menu);
  }
  SetWindowLongPtrA(window.hwnd, GWLP_USERDATA, 0);
  for (auto it = windows_.begin(); it != windows_.end(); ++it) {
    if (it->get() == &window) {
      windows_.erase(it);
      break;
    }
  }
  if (windows_.empty()) PostQuitMessage(0);
}

// ---- Names --------------------------------------------------------------------

Win32Ui::Window* Win32Ui::FindLoaded(const std::string& name) {
  for (const auto& window : windows_) {
    if (name == window->def.name) return window.get();
  }
  return nullptr;
}

Win32Ui::Unit* Win32Ui::FindUnit(Window& window, const std::string& name) {
  for (Unit& unit : window.units) {
    if (unit.def->name != nullptr && name == unit.def->name) return &unit;
  }
  return nullptr;
}

Win32Ui::Unit* Win32Ui::UnitOfHandle(Window& window, HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  for (Unit& unit : window.units) {
    if (unit.hwnd == hwnd) return &unit;
  }
  return nullptr;
}

Win32Ui::Unit* Win32Ui::UnitOfId(Window& window, UINT id) {
  if (id < kFirstUnitId || id - kFirstUnitId >= window.units.size()) return nullptr;
  return &window.units[id - kFirstUnitId];
}

// "单元名" is a unit of the main window, "窗口名.单元名" one of another window,
// and a window's own name the window itself. ("." is never a GBK trail byte.)
Win32Ui::Target Win32Ui::Find(const GbkText& name) {
  std::size_t dot = name.find('.');
  if (dot == GbkText::npos) {
    if (Window* window = FindLoaded(name)) return Target{window, nullptr};
    Window* main = FindLoaded(main_window_);
    Unit* unit = main != nullptr ? FindUnit(*main, name) : nullptr;
    return unit != nullptr ? Target{main, unit} : Target{};
  }
  Window* window = FindLoaded(name.substr(0, dot));
  Unit* unit = window != nullptr ? FindUnit(*window, name.substr(dot + 1)) : nullptr;
  return unit != nullptr ? Target{window, unit} : Target{};
}

HWND Win32Ui::HandleOf(const GbkText& name) {
  Target target = Find(name);
  if (target.window == nullptr) return nullptr;
  return target.unit == nullptr ? target.window->hwnd : target.unit->hwnd;
}

HWND Win32Ui::HandleOf(const GbkText& name, UnitType type) {
  Target target = Find(name);
  return target.unit != nullptr && target.unit->def->type == type ? target.unit->hwnd : nullptr;
}

HWND Win32Ui::ActiveWindow() {
  HWND active = GetActiveWindow();
  if (active != nullptr) return active;
  HWND foreground = GetForegroundWindow();
  DWORD process = 0;
  if (foreground != nullptr) GetWindowThreadProcessId(foreground, &process);
  return process == GetCurrentProcessId() ? foreground : nullptr;
}

// ---- WindowFramework ----------------------------------------------------------

void Win32Ui::ShowMessage(const GbkText& text, const GbkText& caption) { MessageOk(text, caption); }

void Win32Ui::SetProgress(const GbkText& unit, int position) {
  OnWindowThread([&] {
    if (HWND hwnd = HandleOf(unit, UnitType::ProgressBar)) ProgressBar(hwnd).SetPosition(position);
  });
}

bool Win32Ui::LoadWindow(const WindowDef& def) {
  return OnWindowThread([&] { return Load(def); });
}

bool Win32Ui::IsLoaded(const GbkText& window) {
  return OnWindowThread([&] { return FindLoaded(window) != nullptr; });
}

void Win32Ui::CloseWindow(const GbkText& window) {
  OnWindowThread([&] {
    if (Window* loaded = FindLoaded(window)) DestroyWindow(loaded->hwnd);
  });
}

void Win32Ui::SetText(const GbkText& unit, const GbkText& text) {
  OnWindowThread([&] {
    HWND hwnd = HandleOf(unit);
    if (hwnd == nullptr) return;
    Control(hwnd).SetText(text);
    // On the screen now: the window thread may go on with long work (a
    // command-line install) before it takes a message again. Painted, what
    // was drawn may still wait in the display driver (Wine's does) until the
    // thread waits for messages: a wait of no time hands it over.
    UpdateWindow(hwnd);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
  });
}

GbkText Win32Ui::GetText(const GbkText& unit) {
  return OnWindowThread([&] {
    HWND hwnd = HandleOf(unit);
    return hwnd != nullptr ? Control(hwnd).Text() : GbkText();
  });
}

void Win32Ui::SetEnabled(const GbkText& unit, bool enabled) {
  OnWindowThread([&] {
    if (HWND hwnd = HandleOf(unit)) Control(hwnd).Enable(enabled);
  });
}

bool Win32Ui::IsEnabled(const GbkText& unit) {
  return OnWindowThread([&] {
    HWND hwnd = HandleOf(unit);
    return hwnd != nullptr && Control(hwnd).IsEnabled();
  });
}

bool Win32Ui::IsChecked(const GbkText& unit) {
  return OnWindowThread([&] {
    HWND hwnd = HandleOf(unit, UnitType::CheckBox);
    return hwnd != nullptr && CheckBox(hwnd).IsChecked();
  });
}

int Win32Ui::CurrentPage(const GbkText& tab) {
  return OnWindowThread([&] {
    HWND hwnd = HandleOf(tab, UnitType::Tab);
    return hwnd != nullptr ? TabControl(hwnd).CurrentPage() : -1;
  });
}

void Win32Ui::SetCurrentPage(const GbkText& tab, int page) {
  OnWindowThread([&] {
    Target target = Find(tab);
    if (target.unit == nullptr || target.unit->def->type != UnitType::Tab || target.unit->hwnd == nullptr) return;
    // TCM_SETCURSEL sends no TCN_SELCHANGE, so the pages are switched here.
    TabControl(target.unit->hwnd).SetCurrentPage(page);
    UpdatePages(*target.window);
  });
}

int Win32Ui::RowCount(const GbkText& list) {
  return OnWindowThread([&] {
    HWND hwnd = HandleOf(list, UnitType::ListView);
    return hwnd != nullptr ? ListView(hwnd).RowCount() : 0;
  });
}

int Win32Ui::AppendRow(const GbkText& list, const GbkText& first_column) {
  return OnWindowThread([&] {
    HWND hwnd = HandleOf(list, UnitType::ListView);
    if (hwnd == nullptr) return -1;
    ListView view(hwnd);
    return view.InsertRow(view.RowCount(), first_column);
  });
}

void Win32Ui::SetItemText(const GbkText& list, int row, int column, const GbkText& text) {
  OnWindowThread([&] {
    if (HWND hwnd = HandleOf(list, UnitType::ListView)) ListView(hwnd).SetItemText(row, column, text);
  });
}

GbkText Win32Ui::ItemText(const GbkText& list, int row, int column) {
  return OnWindowThread([&] {
    HWND hwnd = HandleOf(list, UnitType::ListView);
    return hwnd != nullptr ? ListView(hwnd).ItemText(row, column) : GbkText();
  });
}

void Win32Ui::DeleteRow(const GbkText& list, int row) {
  OnWindowThread([&] {
    if (HWND hwnd = HandleOf(list, UnitType::ListView)) ListView(hwnd).DeleteRow(row);
  });
}

void Win32Ui::DeleteAllRows(const GbkText& list) {
  OnWindowThread([&] {
    if (HWND hwnd = HandleOf(list, UnitType::ListView)) ListView(hwnd).DeleteAllRows();
  });
}

int Win32Ui::SelectedRow(const GbkText& list) {
  return OnWindowThread([&] {
    HWND hwnd = HandleOf(list, UnitType::ListView);
    return hwnd != nullptr ? ListView(hwnd).SelectedRow() : -1;
  });
}

void Win32Ui::SetRedraw(const GbkText& list, bool redraw) {
  OnWindowThread([&] {
    HWND hwnd = HandleOf(list, UnitType::ListView);
    if (hwnd == nullptr) return;
    ListView view(hwnd);
    view.SetRedraw(redraw);
    if (redraw) view.Repaint();
  });
}

bool Win32Ui::AskOkCancel(const GbkText& text, const GbkText& caption) { return MessageOkCancel(text, caption); }

bool Win32Ui::ShowFileDialog(const GbkText& dialog, const FileDialogRequest& request, GbkText* path) {
  std::string extension = OnWindowThread([&] {
    Target target = Find(dialog);
    bool has_extension = target.unit != nullptr && target.unit->def->type == UnitType::FileDialog &&
                         target.unit->def->items != nullptr;
    return has_extension ? std::string(target.unit->def->items) : std::string();
  });
  return ChooseFile(request, extension, path);
}

GbkText Win32Ui::PickFolder(const GbkText& title) {
  return OnWindowThread([&] {
    HWND owner = ActiveWindow();
    std::vector<HWND> disabled;
    for (const auto& window : windows_) {
      if (IsWindowEnabled(window->hwnd)) {
        EnableWindow(window->hwnd, FALSE);
        disabled.push_back(window->hwnd);
      }
    }
    GbkText folder = BrowseForFolder(owner, title);
    for (HWND hwnd : disabled) {
      if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
    }
    // The picker found its owner disabled, so it could not hand it the
    // activation back.
    if (owner != nullptr && IsWindow(owner)) SetForegroundWindow(owner);
    return folder;
  });
}

bool Win32Ui::InputBox(const GbkText& prompt, const GbkText& initial, GbkText* answer) {
  return OnWindowThread([&] { return AskText(ActiveWindow(), font_, prompt, initial, answer); });
}

void Win32Ui::PopupMenu(const GbkText& menu) {
  OnWindowThread([&] {
    Target target = Find(menu);
    if (target.unit == nullptr || target.unit->menu == nullptr) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    // The choice comes back as WM_COMMAND to the menu's window.
    TrackPopupMenu(target.unit->menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0,
                   target.window->hwnd, nullptr);
  });
}

bool Win32Ui::RegisterDropTarget(const GbkText& drop_target, const GbkText& on_unit) {
  return OnWindowThread([&] {
    Target target = Find(drop_target);
    Target on = Find(on_unit);
    if (target.unit == nullptr || target.unit->def->type != UnitType::DropTarget) return false;
    if (on.unit == nullptr || on.unit->hwnd == nullptr || on.unit->drop_registered) return false;
    std::string window_name = target.window->def.name;
    std::string unit_name = target.unit->def->name;
    // The handlers run after Drop has returned: they may install for a long
    // time or ask questions, and the drag source should not wait for that.
    auto* object = new FileDropTarget([this, window_name, unit_name](const std::string& text) {
      PostToWindowThread([this, window_name, unit_name, text] {
        Window* window = FindLoaded(window_name);
        Unit* unit = window != nullptr ? FindUnit(*window, unit_name) : nullptr;
        if (unit != nullptr) Raise(window->def, unit->def->name, EventArgs{Event::FilesDropped, text});
      });
    });
    HRESULT registered = RegisterDragDrop(on.unit->hwnd, object);
    object->Release();
    if (FAILED(registered)) return false;
    on.unit->drop_registered = true;
    return true;
  });
}

void Win32Ui::StartWorker(std::function<void()> work) {
  auto* job = new std::function<void()>(std::move(work));
  HANDLE thread = CreateThread(nullptr, 0, &RunWorker, job, 0, nullptr);
  if (thread == nullptr) {
    delete job;  // no thread, no work: the program goes on without it
    return;
  }
  CloseHandle(thread);
}

}  // namespace win32
}  // namespace host

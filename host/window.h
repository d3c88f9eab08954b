// Windows as data, and the window framework the program logic calls.
//
// A window definition is a table of units (type, name, caption, position, size,
// parent, page, properties) and a table of (unit, event, handler) rows. The
// Win32 host builds real controls from it; the scripted host keeps the units'
// state in memory. Handlers never see a window handle.
//
// A unit is named by its definition name ("按钮3"); a unit of another window
// than the main one is named "窗口名.单元名" (for example
// "LoadingWindow.进度条1").
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/framework.h"

namespace host {

enum class UnitType : std::uint8_t {
  Tab,          // items: page captions, "|"-separated
  ListView,     // report view; items: column captions, "|"-separated; item_width: column width
  CheckBox,
  FileDialog,   // not drawn; items: default extension (or null)
  DropTarget,   // not drawn; registered on another unit at run time
  ProgressBar,  // position 0 to 100
  Button,
  GroupBox,
  Edit,
  StatusBar,
  Label,
  PopupMenu,    // not in a menu bar; opened by PopupMenu()
  MenuItem,     // parent: its popup menu
};

enum class Event : std::uint8_t {
  Created,       // the window, once, while it is being loaded
  Clicked,
  DoubleClicked, // left button
  RightClicked,
  FilesDropped,  // text: one dropped path alone, or every path followed by "\r\n"
  MenuSelected,
  CloseRequested,  // the user asks to close the window; a handler may keep it open
};

struct EventArgs {
  Event event;
  GbkText text;             // FilesDropped only
  bool* keep_open = nullptr;  // CloseRequested only: set true to keep the window
};
using Handler = void (*)(const EventArgs& args);

struct UnitDef {
  UnitType type;
  const char* name;
  const char* caption;   // null: none
  int left, top, width, height;
  const char* parent;    // null: the window; else a unit name (tab, group box, menu)
  int page;              // page of the parent tab, -1 when the parent is no tab
  const char* items;     // see UnitType
  int item_width;
};

struct EventRow {
  const char* unit;  // null: the window itself
  Event event;
  Handler handler;
};

struct WindowDef {
  const char* name;   // "MainWindow", "LoadingWindow"
  const char* title;  // null: no title
  int left, top, width, height;
  bool visible;
  const UnitDef* units;
  int unit_count;
  const EventRow* events;
  int event_count;
};

// The dialog unit's settings for one showing.
struct FileDialogRequest {
  bool save = false;           // false: open an existing file
  GbkText filter;              // "描述|模式"
  GbkText file_name;
  GbkText initial_folder;
};

class WindowFramework : public Framework {
 public:
  // Loads a window (no parent, not modal) and runs its Created handler during
  // the load. False when it could not be created.
  virtual bool LoadWindow(const WindowDef& def) = 0;
  virtual bool IsLoaded(const GbkText& window) = 0;
  virtual void CloseWindow(const GbkText& window) = 0;

  // Caption or content of a unit (edit box, label, button, window title).
  virtual void SetText(const GbkText& unit, const GbkText& text) = 0;
  virtual GbkText GetText(const GbkText& unit) = 0;
  virtual void SetEnabled(const GbkText& unit, bool enabled) = 0;
  virtual bool IsEnabled(const GbkText& unit) = 0;
  virtual bool IsChecked(const GbkText& unit) = 0;
  virtual int CurrentPage(const GbkText& tab) = 0;
  virtual void SetCurrentPage(const GbkText& tab, int page) = 0;

  // List view rows; rows and columns count from 0.
  virtual int RowCount(const GbkText& list) = 0;
  // Appends a row with the first column's text; answers its index.
  virtual int AppendRow(const GbkText& list, const GbkText& first_column) = 0;
  virtual void SetItemText(const GbkText& list, int row, int column, const GbkText& text) = 0;
  virtual GbkText ItemText(const GbkText& list, int row, int column) = 0;
  virtual void DeleteRow(const GbkText& list, int row) = 0;
  virtual void DeleteAllRows(const GbkText& list) = 0;
  // -1 when no row is selected.
  virtual int SelectedRow(const GbkText& list) = 0;
  // Suspends (false) or resumes (true) redrawing while many rows change.
  virtual void SetRedraw(const GbkText& list, bool redraw) = 0;

  // OK and Cancel; true for OK.
  virtual bool AskOkCancel(const GbkText& text, const GbkText& caption) = 0;
  // Shows the dialog unit; true and the chosen path when the user confirms.
  virtual bool ShowFileDialog(const GbkText& dialog, const FileDialogRequest& request, GbkText* path) = 0;
  // The shell's folder picker with an edit box and the given title, owned by the
  // active window; the empty text on Cancel or a choice without a path.
  virtual GbkText PickFolder(const GbkText& title) = 0;
  // Prompt, title "请输入：", initial text; true and the answer on confirm.
  virtual bool InputBox(const GbkText& prompt, const GbkText& initial, GbkText* answer) = 0;
  // Opens a popup menu at the cursor; a chosen item raises its MenuSelected.
  virtual void PopupMenu(const GbkText& menu) = 0;
  // Makes `on_unit`'s native window deliver dropped files to `drop_target`'s
  // FilesDropped handlers. False when the platform refuses.
  virtual bool RegisterDropTarget(const GbkText& drop_target, const GbkText& on_unit) = 0;

  // Starts `work` on a new thread that nobody waits for. Workers change
  // controls only through this interface, which routes them to the window
  // thread.
  virtual void StartWorker(std::function<void()> work) = 0;
};

}  // namespace host

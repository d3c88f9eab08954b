// The test host: a complete backend that shows nothing. Unit state lives in
// memory, tests fire the real events, dialogs and questions are answered from
// a script, and everything shown is recorded in order. The registry is a map;
// Config.ini is a real file in the test's folder, read and written by this
// host's own profile reader.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/program.h"

namespace host {

// Thrown by ExitProcess so a test can see the exit code.
struct ProgramExited {
  int exit_code;
};

class ScriptedHost final : public Backend, public WindowFramework, public System {
 public:
  // program_folder: a real folder (the program's folder and current directory).
  explicit ScriptedHost(GbkText program_folder, GbkText program_file = "patchmaker.exe");
  ~ScriptedHost() override;

  // ---- What was shown --------------------------------------------------------
  struct Shown {
    enum Kind { Message, Question, FileDialog, FolderPicker, InputBox, Menu } kind;
    GbkText caption;  // message/question caption; dialog unit; picker title; menu name
    GbkText text;     // message/question text; input prompt; file dialog filter
    FileDialogRequest request;  // FileDialog only
  };
  std::vector<Shown> shown() const;
  // Only the message boxes, as (caption, text).
  std::vector<std::pair<GbkText, GbkText>> messages() const;
  std::vector<int> positions(const GbkText& unit) const;
  void ClearRecord();
  // Called with each record as it is shown, before the answer is taken, so a
  // test can read what the windows held at that moment.
  void OnShown(std::function<void(const Shown&)> observer) { observer_ = std::move(observer); }

  // ---- Script: answers in the order the dialogs come -------------------------
  void AnswerFileDialog(std::optional<GbkText> path);  // nullopt: Cancel
  void AnswerFolderPicker(GbkText folder);             // "": Cancel
  void AnswerInputBox(std::optional<GbkText> answer);
  void AnswerQuestion(bool ok);
  void AnswerMenu(std::optional<GbkText> item);        // the item chosen, or none
  // Answers left over (a test expects none).
  std::size_t PendingAnswers() const;
  // Dialogs that came with no answer scripted (each is answered Cancel).
  int unexpected_dialogs() const { return unexpected_dialogs_; }

  // ---- Events a test fires ------------------------------------------------------
  void Fire(const GbkText& unit, Event event, const GbkText& text = GbkText(), bool* keep_open = nullptr);
  void Click(const GbkText& unit) { Fire(unit, Event::Clicked); }
  void Drop(const GbkText& text);  // onto the unit the drop target was registered on
  void SelectRow(const GbkText& list, int row);
  void SetChecked(const GbkText& unit, bool checked);
  void TypeText(const GbkText& unit, const GbkText& text);  // the user types into a box
  // Asks to close a window as the user would; false when a handler kept it
  // open. A closed window's units are gone.
  bool UserCloses(const GbkText& window);

  // Workers run inline by default, so a test sees their messages in order.
  // Deferred: they wait until RunDeferredWorkers (on this thread) or
  // StartDeferredWorkers (each on a real thread; JoinWorkers waits).
  // Refused: no thread can be started, and the work is dropped unrun.
  enum class WorkerMode { Inline, Deferred, Refused };
  void SetWorkerMode(WorkerMode mode) { worker_mode_ = mode; }
  std::size_t RunDeferredWorkers();
  void StartDeferredWorkers();
  void JoinWorkers();

  // ---- Platform state ------------------------------------------------------------
  void SetCommandLine(GbkText line) { command_line_ = std::move(line); }
  void SetUserRegistry(const GbkText& key, const GbkText& value, GbkText text, bool expand = false);
  // The HKEY_CLASSES_ROOT default values written, in order, as (key, value).
  std::vector<std::pair<GbkText, GbkText>> classes_writes() const;
  // Writes to this key fail (and every later one is not attempted by a caller
  // that stops at the first failure).
  void FailClassesWrite(const GbkText& key) { failing_classes_key_ = key; }
  GbkText current_directory() const { return current_directory_; }
  bool drop_registered_on(const GbkText& unit) const;
  std::vector<GbkText> loaded_windows() const;

  // ---- Backend ----------------------------------------------------------------------
  WindowFramework& ui() override { return *this; }
  System& sys() override { return *this; }
  Files& files() override;
  void SetCurrentDirectory(const GbkText& folder) override { current_directory_ = folder; }
  // Runs the test's steps "while the message loop runs" (between start-up and
  // the end of the program).
  void RunMessageLoop() override {
    if (message_loop_) message_loop_();
  }
  void SetMessageLoop(std::function<void()> steps) { message_loop_ = std::move(steps); }
  [[noreturn]] void ExitProcess(int exit_code) override;

  // ---- WindowFramework ---------------------------------------------------------------
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
  // Test reads of state that the program logic only writes.
  int Progress(const GbkText& unit);
  bool RedrawSuspended(const GbkText& list);

  // ---- System ----------------------------------------------------------------------
  GbkText ProgramFolder() override { return program_folder_; }
  GbkText ProgramFileName() override { return program_file_; }
  GbkText ReadProfileText(const GbkText& file, const GbkText& section, const GbkText& key) override;
  void WriteProfileText(const GbkText& file, const GbkText& section, const GbkText& key,
                        const GbkText& value) override;
  GbkText ReadUserRegistryText(const GbkText& key, const GbkText& value) override;
  bool WriteClassesDefault(const GbkText& key, const GbkText& value) override;
  GbkText CommandLine() override { return command_line_; }

 private:
  struct UnitState {
    UnitType type = UnitType::Label;
    GbkText text;
    bool enabled = true;
    bool checked = false;
    int page = 0;
    int progress = 0;
    int selected = -1;
    bool redraw = true;
    std::vector<std::vector<GbkText>> rows;
  };
  struct Window {
    const WindowDef* def;
    std::map<GbkText, UnitState> units;
  };
  // Finds a unit ("单元" in the main window, "窗口.单元" elsewhere); throws
  // std::logic_error for a name no loaded window has (a fault of the test or
  // of the program logic).
  UnitState& Find(const GbkText& unit);
  Window* FindWindow(const GbkText& name);
  std::vector<Handler> HandlersFor(const GbkText& unit, Event event);
  template <class T>
  T Take(std::deque<T>& queue, T cancel);
  void Record(Shown shown);

  mutable std::recursive_mutex mutex_;
  GbkText program_folder_, program_file_, command_line_, current_directory_;
  std::vector<Window> windows_;  // load order; the first is the main window
  std::vector<Shown> shown_;
  std::map<GbkText, std::vector<int>> positions_;
  std::deque<std::optional<GbkText>> file_answers_, input_answers_, menu_answers_;
  std::deque<GbkText> folder_answers_;
  std::deque<bool> question_answers_;
  int unexpected_dialogs_ = 0;
  WorkerMode worker_mode_ = WorkerMode::Inline;
  std::vector<std::function<void()>> deferred_;
  std::vector<std::thread*> threads_;
  std::map<GbkText, std::pair<GbkText, bool>> user_registry_;
  std::vector<std::pair<GbkText, GbkText>> classes_writes_;
  GbkText failing_classes_key_;
  std::map<GbkText, GbkText> drop_targets_;  // on_unit -> drop target unit
  std::function<void()> message_loop_;
  std::function<void(const Shown&)> observer_;
};

// Reads and writes Windows-style profile files ("[section]", "key=value"),
// matching section and key names without regard to ASCII letter case and
// skipping blanks and control characters at their start, as the profile API
// does. GBK trail bytes are never case-folded.
GbkText ReadProfileFile(const GbkText& path, const GbkText& section, const GbkText& key);
void WriteProfileFile(const GbkText& path, const GbkText& section, const GbkText& key, const GbkText& value);

}  // namespace host

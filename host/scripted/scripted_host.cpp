#include "host/scripted/scripted_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace host {
namespace {

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

GbkText SkipLeadingBlanks(const GbkText& s) {
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= 0x20) ++i;
  return s.substr(i);
}

GbkText Trim(const GbkText& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool SameName(const GbkText& a, const GbkText& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (IsGbkLead(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; };
    if (lower(x) != lower(y)) return false;
  }
  return true;
}

std::vector<GbkText> ReadLines(const GbkText& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  std::vector<GbkText> lines;
  GbkText line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool IsSection(const GbkText& line, GbkText* name) {
  const GbkText t = Trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  *name = Trim(t.substr(1, t.size() - 2));
  return true;
}

}  // namespace

GbkText ReadProfileFile(const GbkText& path, const GbkText& section, const GbkText& key) {
  const GbkText want_section = SkipLeadingBlanks(section), want_key = SkipLeadingBlanks(key);
  bool in_section = false;
  for (const GbkText& line : ReadLines(SkipLeadingBlanks(path))) {
    GbkText name;
    if (IsSection(line, &name)) {
      in_section = SameName(name, want_section);
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!in_section || eq == GbkText::npos) continue;
    if (SameName(Trim(line.substr(0, eq)), want_key)) {
      GbkText value = Trim(line.substr(eq + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      return value.substr(0, 10239);
    }
  }
  return GbkText();
}

void WriteProfileFile(const GbkText& path, const GbkText& section, const GbkText& key, const GbkText& value) {
  std::vector<GbkText> lines = ReadLines(path);
  std::size_t insert_at = lines.size();
  bool found_section = false, in_section = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    GbkText name;
    if (IsSection(lines[i], &name)) {
      if (in_section) {
        insert_at = i;
        in_section = false;
        break;
      }
      in_section = SameName(name, section);
      found_section = found_section || in_section;
      if (in_section) insert_at = lines.size();
      continue;
    }
    const std::size_t eq = lines[i].find('=');
    if (in_section && eq != GbkText::npos && SameName(Trim(lines[i].substr(0, eq)), key)) {
      lines[i] = key + "=" + value;
      insert_at = GbkText::npos;
      break;
    }
  }
  if (insert_at != GbkText::npos) {
    if (!found_section) {
      lines.push_back("[" + section + "]");
      insert_at = lines.size();
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at), key + "=" + value);
  }
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  for (const GbkText& line : lines) out << line << "\r\n";
}

ScriptedHost::ScriptedHost(GbkText program_folder, GbkText program_file)
    : program_folder_(std::move(program_folder)), program_file_(std::move(program_file)) {
  InstallBackend(this);
}

ScriptedHost::~ScriptedHost() {
  JoinWorkers();
  InstallBackend(nullptr);
}

Files& ScriptedHost::files() { return PlatformFiles(); }

void ScriptedHost::ExitProcess(int exit_code) { throw ProgramExited{exit_code}; }

// ---- Records ---------------------------------------------------------------

std::vector<ScriptedHost::Shown> ScriptedHost::shown() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return shown_;
}

std::vector<std::pair<GbkText, GbkText>> ScriptedHost::messages() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<std::pair<GbkText, GbkText>> out;
  for (const Shown& s : shown_)
    if (s.kind == Shown::Message) out.emplace_back(s.caption, s.text);
  return out;
}

std::vector<int> ScriptedHost::positions(const GbkText& unit) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = positions_.find(unit);
  return it == positions_.end() ? std::vector<int>() : it->second;
}

void ScriptedHost::ClearRecord() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  shown_.clear();
  positions_.clear();
}

void ScriptedHost::AnswerFileDialog(std::optional<GbkText> path) { file_answers_.push_back(std::move(path)); }
void ScriptedHost::AnswerFolderPicker(GbkText folder) { folder_answers_.push_back(std::move(folder)); }
void ScriptedHost::AnswerInputBox(std::optional<GbkText> answer) { input_answers_.push_back(std::move(answer)); }
void ScriptedHost::AnswerQuestion(bool ok) { question_answers_.push_back(ok); }
void ScriptedHost::AnswerMenu(std::optional<GbkText> item) { menu_answers_.push_back(std::move(item)); }

std::size_t ScriptedHost::PendingAnswers() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return file_answers_.size() + folder_answers_.size() + input_answers_.size() + question_answers_.size() +
         menu_answers_.size();
}

template <class T>
T ScriptedHost::Take(std::deque<T>& queue, T cancel) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (queue.empty()) {
    ++unexpected_dialogs_;
    return cancel;
  }
  T answer = std::move(queue.front());
  queue.pop_front();
  return answer;
}

// ---- Windows and units ------------------------------------------------------

ScriptedHost::Window* ScriptedHost::FindWindow(const GbkText& name) {
  for (Window& w : windows_)
    if (name == w.def->name) return &w;
  return nullptr;
}

ScriptedHost::UnitState& ScriptedHost::Find(const GbkText& unit) {
  const std::size_t dot = unit.find('.');
  Window* window = nullptr;
  GbkText name = unit;
  if (dot != GbkText::npos) {
    window = FindWindow(unit.substr(0, dot));
    name = unit.substr(dot + 1);
  } else if (!windows_.empty()) {
    window = &windows_.front();
  }
  if (window == nullptr) throw std::logic_error("no loaded window for unit " + unit);
  if (name == window->def->name || name.empty()) name = window->def->name;
  auto it = window->units.find(name);
  if (it == window->units.end()) throw std::logic_error("no unit " + unit);
  return it->second;
}

bool ScriptedHost::LoadWindow(const WindowDef& def) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Window w{&def, {}};
    UnitState self;
    self.type = UnitType::Label;
    self.text = def.title != nullptr ? def.title : "";
    w.units.emplace(def.name, self);
    for (int i = 0; i < def.unit_count; ++i) {
      const UnitDef& u = def.units[i];
      UnitState state;
      state.type = u.type;
      if (u.caption != nullptr && u.type != UnitType::Edit) state.text = u.caption;
      w.units.emplace(u.name, state);
    }
    windows_.push_back(std::move(w));
  }
  for (int i = 0; i < def.event_count; ++i)
    if (def.events[i].unit == nullptr && def.events[i].event == Event::Created)
      RunGuarded(*this, [&] { def.events[i].handler(EventArgs{Event::Created, {}}); });
  return true;
}

bool ScriptedHost::IsLoaded(const GbkText& window) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return FindWindow(window) != nullptr;
}

void ScriptedHost::CloseWindow(const GbkText& window) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                [&](const Window& w) { return window == w.def->name; }),
                 windows_.end());
}

std::vector<GbkText> ScriptedHost::loaded_windows() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<GbkText> names;
  for (const Window& w : windows_) names.emplace_back(w.def->name);
  return names;
}

bool ScriptedHost::UserCloses(const GbkText& window) {
  bool keep_open = false;
  Fire(window + ".", Event::CloseRequested, GbkText(), &keep_open);
  if (!keep_open) CloseWindow(window);
  return !keep_open;
}

void ScriptedHost::SetText(const GbkText& unit, const GbkText& text) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(unit).text = text;
}
GbkText ScriptedHost::GetText(const GbkText& unit) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Find(unit).text;
}
void ScriptedHost::SetEnabled(const GbkText& unit, bool enabled) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(unit).enabled = enabled;
}
bool ScriptedHost::IsEnabled(const GbkText& unit) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Find(unit).enabled;
}
bool ScriptedHost::IsChecked(const GbkText& unit) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Find(unit).checked;
}
void ScriptedHost::SetChecked(const GbkText& unit, bool checked) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(unit).checked = checked;
}
void ScriptedHost::TypeText(const GbkText& unit, const GbkText& text) { SetText(unit, text); }
int ScriptedHost::CurrentPage(const GbkText& tab) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Find(tab).page;
}
void ScriptedHost::SetCurrentPage(const GbkText& tab, int page) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(tab).page = page;
}

void ScriptedHost::SetProgress(const GbkText& unit, int position) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(unit).progress = position;
  positions_[unit].push_back(position);
}
int ScriptedHost::Progress(const GbkText& unit) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Find(unit).progress;
}

int ScriptedHost::RowCount(const GbkText& list) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return static_cast<int>(Find(list).rows.size());
}
int ScriptedHost::AppendRow(const GbkText& list, const GbkText& first_column) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto& rows = Find(list).rows;
  rows.push_back({first_column, GbkText()});
  return static_cast<int>(rows.size()) - 1;
}
void ScriptedHost::SetItemText(const GbkText& list, int row, int column, const GbkText& text) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto& rows = Find(list).rows;
  if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column > 1) return;
  rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
}
GbkText ScriptedHost::ItemText(const GbkText& list, int row, int column) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto& rows = Find(list).rows;
  if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column > 1) return GbkText();
  return rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}
void ScriptedHost::DeleteRow(const GbkText& list, int row) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  UnitState& u = Find(list);
  if (row < 0 || row >= static_cast<int>(u.rows.size())) return;
  u.rows.erase(u.rows.begin() + row);
  if (u.selected >= static_cast<int>(u.rows.size())) u.selected = -1;
}
void ScriptedHost::DeleteAllRows(const GbkText& list) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  UnitState& u = Find(list);
  u.rows.clear();
  u.selected = -1;
}
int ScriptedHost::SelectedRow(const GbkText& list) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Find(list).selected;
}
void ScriptedHost::SelectRow(const GbkText& list, int row) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(list).selected = row;
}
void ScriptedHost::SetRedraw(const GbkText& list, bool redraw) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(list).redraw = redraw;
}
bool ScriptedHost::RedrawSuspended(const GbkText& list) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return !Find(list).redraw;
}

// ---- Dialogs ----------------------------------------------------------------

void ScriptedHost::Record(Shown shown) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    shown_.push_back(shown);
  }
  if (observer_) observer_(shown);
}

void ScriptedHost::ShowMessage(const GbkText& text, const GbkText& caption) {
  Record(Shown{Shown::Message, caption, text, {}});
}

bool ScriptedHost::AskOkCancel(const GbkText& text, const GbkText& caption) {
  Record(Shown{Shown::Question, caption, text, {}});
  return Take(question_answers_, false);
}

bool ScriptedHost::ShowFileDialog(const GbkText& dialog, const FileDialogRequest& request, GbkText* path) {
  Record(Shown{Shown::FileDialog, dialog, request.filter, request});
  std::optional<GbkText> answer = Take(file_answers_, std::optional<GbkText>());
  if (!answer) return false;
  *path = *answer;
  return true;
}

GbkText ScriptedHost::PickFolder(const GbkText& title) {
  Record(Shown{Shown::FolderPicker, title, {}, {}});
  return Take(folder_answers_, GbkText());
}

bool ScriptedHost::InputBox(const GbkText& prompt, const GbkText& initial, GbkText* answer) {
  Record(Shown{Shown::InputBox, "请输入：", prompt, FileDialogRequest{false, {}, initial, {}}});
  std::optional<GbkText> a = Take(input_answers_, std::optional<GbkText>());
  if (!a) return false;
  *answer = *a;
  return true;
}

void ScriptedHost::PopupMenu(const GbkText& menu) {
  Record(Shown{Shown::Menu, menu, {}, {}});
  std::optional<GbkText> item = Take(menu_answers_, std::optional<GbkText>());
  if (item) Fire(*item, Event::MenuSelected);
}

bool ScriptedHost::RegisterDropTarget(const GbkText& drop_target, const GbkText& on_unit) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(drop_target);
  Find(on_unit);
  drop_targets_[on_unit] = drop_target;
  return true;
}

bool ScriptedHost::drop_registered_on(const GbkText& unit) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return drop_targets_.count(unit) != 0;
}

void ScriptedHost::Drop(const GbkText& text) {
  GbkText target;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (drop_targets_.empty()) throw std::logic_error("no drop target registered");
    target = drop_targets_.begin()->second;
  }
  Fire(target, Event::FilesDropped, text);
}

// ---- Events and workers -----------------------------------------------------

std::vector<Handler> ScriptedHost::HandlersFor(const GbkText& unit, Event event) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Find(unit);  // the unit must exist
  const std::size_t dot = unit.find('.');
  Window* w = dot == GbkText::npos ? &windows_.front() : FindWindow(unit.substr(0, dot));
  const GbkText name = dot == GbkText::npos ? unit : unit.substr(dot + 1);
  const bool is_window = name.empty() || name == w->def->name;
  std::vector<Handler> handlers;
  for (int i = 0; i < w->def->event_count; ++i) {
    const EventRow& row = w->def->events[i];
    const bool same_unit = row.unit == nullptr ? is_window : name == row.unit;
    if (same_unit && row.event == event) handlers.push_back(row.handler);
  }
  return handlers;
}

void ScriptedHost::Fire(const GbkText& unit, Event event, const GbkText& text, bool* keep_open) {
  // Handlers run without the lock held, as on the window thread.
  for (Handler h : HandlersFor(unit, event)) RunGuarded(*this, [&] { h(EventArgs{event, text, keep_open}); });
}

void ScriptedHost::StartWorker(std::function<void()> work) {
  if (worker_mode_ == WorkerMode::Refused) return;  // dropped unrun, as when no thread can be started
  // Run as the Win32 host runs a worker's work.
  std::function<void()> guarded = [this, work = std::move(work)] { RunGuarded(*this, work); };
  if (worker_mode_ == WorkerMode::Inline) {
    guarded();
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  deferred_.push_back(std::move(guarded));
}

std::size_t ScriptedHost::RunDeferredWorkers() {
  std::vector<std::function<void()>> work;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    work.swap(deferred_);
  }
  for (auto& w : work) w();
  return work.size();
}

void ScriptedHost::StartDeferredWorkers() {
  std::vector<std::function<void()>> work;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    work.swap(deferred_);
  }
  for (auto& w : work) threads_.push_back(new std::thread(std::move(w)));
}

void ScriptedHost::JoinWorkers() {
  for (std::thread* t : threads_) {
    t->join();
    delete t;
  }
  threads_.clear();
}

// ---- System -------------------------------------------------------------------

GbkText ScriptedHost::ReadProfileText(const GbkText& file, const GbkText& section, const GbkText& key) {
  return ReadProfileFile(file, section, key);
}

void ScriptedHost::WriteProfileText(const GbkText& file, const GbkText& section, const GbkText& key,
                                    const GbkText& value) {
  WriteProfileFile(SkipLeadingBlanks(file), section, key, value);
}

void ScriptedHost::SetUserRegistry(const GbkText& key, const GbkText& value, GbkText text, bool expand) {
  user_registry_[key + "\\" + value] = {std::move(text), expand};
}

GbkText ScriptedHost::ReadUserRegistryText(const GbkText& key, const GbkText& value) {
  auto it = user_registry_.find(key + "\\" + value);
  if (it == user_registry_.end()) return GbkText();
  GbkText text = it->second.first;
  if (it->second.second) {
    // REG_EXPAND_SZ: %NAME% from the environment.
    GbkText out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const std::size_t end = text[i] == '%' ? text.find('%', i + 1) : GbkText::npos;
      if (end == GbkText::npos) {
        out += text[i];
        continue;
      }
      const char* env = std::getenv(text.substr(i + 1, end - i - 1).c_str());
      out += env != nullptr ? GbkText(env) : text.substr(i, end - i + 1);
      i = end;
    }
    text = out;
  }
  return text;
}

bool ScriptedHost::WriteClassesDefault(const GbkText& key, const GbkText& value) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!failing_classes_key_.empty() && key == failing_classes_key_) return false;
  classes_writes_.emplace_back(key, value);
  return true;
}

std::vector<std::pair<GbkText, GbkText>> ScriptedHost::classes_writes() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return classes_writes_;
}

}  // namespace host

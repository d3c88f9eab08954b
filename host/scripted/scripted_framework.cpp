#include "host/scripted/scripted_framework.h"

namespace host {

void ScriptedFramework::ShowMessage(const GbkText& text, const GbkText& caption) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back({caption, text});
}

void ScriptedFramework::SetProgress(const GbkText& unit, int position) {
  std::lock_guard<std::mutex> lock(mutex_);
  progress_.push_back({unit, position});
}

std::vector<ScriptedFramework::Message> ScriptedFramework::messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

std::vector<ScriptedFramework::Progress> ScriptedFramework::progress() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return progress_;
}

std::vector<int> ScriptedFramework::positions(const GbkText& unit) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<int> out;
  for (const Progress& p : progress_)
    if (p.unit == unit) out.push_back(p.position);
  return out;
}

void ScriptedFramework::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
  progress_.clear();
}

}  // namespace host

// The interface that the program logic calls to reach the user interface. The
// program logic never sees a window handle; the Win32 host and the scripted
// test host implement this.
#pragma once

#include <new>
#include <stdexcept>
#include <string>

namespace host {

// A GBK (code page 936) byte string; lengths and positions count bytes.
using GbkText = std::string;

class Framework {
 public:
  virtual ~Framework() = default;

  // A message box with an OK button only, no icon, task-modal, no owner
  // window. Returns when the user has closed it.
  virtual void ShowMessage(const GbkText& text, const GbkText& caption) = 0;

  // Sets the progress bar named `unit` (a unit name of a window definition,
  // such as "进度条2") to `position`, 0 to 100. A unit whose window is not
  // loaded is left alone. May be called from a worker thread.
  virtual void SetProgress(const GbkText& unit, int position) = 0;
};

// Runs `work`; false when it ran out of memory: std::bad_alloc, or
// std::length_error for a byte string longer than the process can hold (about
// 1 GiB in a 32-bit one). Any other exception passes on.
template <class Work>
bool RunsInMemory(Work&& work) {
  try {
    work();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

// Runs an event handler or a worker's work so that running out of memory
// ends only what it was doing, with a message: the operations say it in
// their own words; this is the last net, for an exception must never leave
// through the system's frames (a window procedure, a thread's start).
template <class Work>
void RunGuarded(Framework& ui, Work&& work) {
  if (!RunsInMemory(work)) ui.ShowMessage("内存不足，操作未完成", "提示");
}

}  // namespace host

// The interface that the program logic calls to reach the user interface. The
// program logic never sees a window handle; the Win32 host and the scripted
// test host implement this.
#pragma once

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

}  // namespace host

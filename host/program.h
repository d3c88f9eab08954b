// The life of a program, the same on every host: start-up (current directory,
// notification 1 to every linked library, the start routine), the message
// loop, and the end (clean-up routines, notification 6, exit).
#pragma once

#include <string>

#include "host/platform.h"
#include "host/system.h"

namespace host {

// What differs between the Win32 host and the scripted one.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual WindowFramework& ui() = 0;
  virtual System& sys() = 0;
  virtual Files& files() = 0;
  virtual void SetCurrentDirectory(const GbkText& folder) = 0;
  // Runs while at least one window of the program exists.
  virtual void RunMessageLoop() = 0;
  [[noreturn]] virtual void ExitProcess(int exit_code) = 0;
};

// Makes `backend` the running program's host (Ui(), Sys(), FileSystem()).
void InstallBackend(Backend* backend);

// Runs a program on a backend and answers its exit code.
int RunProgram(Backend& backend, const ProgramDescription& program);

// The program's path: its folder, "\", its file name.
GbkText ProgramPath();

}  // namespace host

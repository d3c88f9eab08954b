// Runs a program on the real Win32 host; a program's main() calls this.
#pragma once

#include "host/system.h"

namespace host {

// Initialises common controls and OLE on this thread (the window thread),
// runs the program and answers its exit code.
int RunWin32Program(const ProgramDescription& program);

}  // namespace host

// patchsetup.exe: the Win32 host runs the program.
#include "host/win32/run.h"
#include "patchsetup/program.h"

int main() { return host::RunWin32Program(patchsetup::Program()); }

// patchmaker.exe: the Win32 host runs the program.
#include "host/win32/run.h"
#include "patchmaker/program.h"

int main() { return host::RunWin32Program(patchmaker::Program()); }

#include "host/process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#endif

namespace host {

#ifdef _WIN32
void* ProgramInstance() { return GetModuleHandleA(nullptr); }

void ShowErrorBox(const std::string& caption, const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
#else
namespace {
char g_instance_marker;
}
void* ProgramInstance() { return &g_instance_marker; }

void ShowErrorBox(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}
#endif

}  // namespace host

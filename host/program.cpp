#include "host/program.h"

#include <cstdlib>
#include <vector>

#include "host/binding.h"

namespace host {
namespace {

Backend* g_backend = nullptr;
const ProgramDescription* g_program = nullptr;
std::vector<void (*)()> g_end_routines;

void NotifyLibraries(std::uint32_t message, std::intptr_t p1) {
  if (g_program == nullptr) return;
  for (int i = 0; i < g_program->library_count; ++i) {
    const LibraryInfo* record = g_program->libraries[i].record;
    if (record != nullptr && record->notify != nullptr) record->notify(message, p1, 0);
  }
}

// Clean-up, then notification 6; runs once whichever way the program ends.
void FinishProgram() {
  std::vector<void (*)()> routines;
  routines.swap(g_end_routines);
  for (auto routine : routines) routine();
  NotifyLibraries(6, 0);
  g_program = nullptr;
}

}  // namespace

void InstallBackend(Backend* backend) { g_backend = backend; }

WindowFramework& Ui() { return g_backend->ui(); }
System& Sys() { return g_backend->sys(); }
Files& FileSystem() { return g_backend->files(); }

void AtProgramEnd(void (*routine)()) { g_end_routines.push_back(routine); }

GbkText ProgramPath() { return Sys().ProgramFolder() + "\\" + Sys().ProgramFileName(); }

int RunProgram(Backend& backend, const ProgramDescription& program) {
  InstallBackend(&backend);
  g_program = &program;
  g_end_routines.clear();
  backend.SetCurrentDirectory(backend.sys().ProgramFolder());
  NotifyLibraries(1, reinterpret_cast<std::intptr_t>(&HostCallback));
  program.start();
  backend.RunMessageLoop();
  FinishProgram();
  return 0;
}

void EndProgram(int exit_code) {
  FinishProgram();
  g_backend->ExitProcess(exit_code);
  // ExitProcess does not return; the abort keeps that promise if a backend breaks it.
  std::abort();
}

}  // namespace host

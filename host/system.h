// The rest of the platform the programs use: the program's path, Config.ini,
// the registry, the command line, and the program's life (start-up, end).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crypto/library.h"
#include "host/platform.h"
#include "host/window.h"

namespace host {

class System {
 public:
  virtual ~System() = default;

  // The program's folder (no trailing "\") and its file name.
  virtual GbkText ProgramFolder() = 0;
  virtual GbkText ProgramFileName() = 0;

  // A profile file's value (10240-byte buffer, default empty; a missing file,
  // section or key gives the empty text).
  virtual GbkText ReadProfileText(const GbkText& file, const GbkText& section, const GbkText& key) = 0;
  // Creates the file when missing; the result is not reported.
  virtual void WriteProfileText(const GbkText& file, const GbkText& section, const GbkText& key,
                                const GbkText& value) = 0;

  // HKEY_CURRENT_USER key\value: REG_SZ as stored, REG_EXPAND_SZ expanded;
  // anything else, or nothing there, gives the empty text.
  virtual GbkText ReadUserRegistryText(const GbkText& key, const GbkText& value) = 0;
  // The default value of an HKEY_CLASSES_ROOT key (created when missing), as
  // REG_SZ; false when the key cannot be created or the value not written.
  virtual bool WriteClassesDefault(const GbkText& key, const GbkText& value) = 0;

  // The whole command line as the process got it.
  virtual GbkText CommandLine() = 0;
};

// One linked library as the program's description lists it: a record in the
// information block's layout, of which the host reads the notify field and the
// data type count.
struct LinkedLibrary {
  const LibraryInfo* record;
};

// What a program gives the framework: its linked libraries in list order and
// its start routine (globals, clean-up registration, the first window).
struct ProgramDescription {
  const LinkedLibrary* libraries;
  int library_count;
  void (*start)();
};

// The running program's framework and platform (the Win32 host in the
// programs, the scripted host in tests).
WindowFramework& Ui();
System& Sys();
Files& FileSystem();

// Registers a routine that runs at program end, before the libraries hear
// notification 6.
void AtProgramEnd(void (*routine)());

// Ends the program at once with an exit code: clean-up routines, notification 6
// to every library, then the process exits.
[[noreturn]] void EndProgram(int exit_code);

}  // namespace host

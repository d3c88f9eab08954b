// The .patch2 file type and the command line: a patch opened from the desktop
// arrives as unquoted arguments, which are joined back into one path.
#include "host/program.h"
#include "patchmaker/commands.h"
#include "patchmaker/handlers.h"
#include "patchmaker/main_window.h"

namespace patchmaker {
namespace {

bool IsLead(char c) { return static_cast<unsigned char>(c) >= 0x80; }
bool IsSeparator(char c) { return static_cast<unsigned char>(c) < 0x21; }
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The length of `program` when the line starts with it, unquoted, followed by
// a blank or the end: ASCII letters match in either case, a double-byte
// character only as it stands. 0 otherwise.
std::size_t LeadingProgramPath(const GbkText& line, const GbkText& program) {
  if (program.empty() || line.size() < program.size()) return 0;
  for (std::size_t k = 0; k < program.size(); ++k) {
    if (IsLead(program[k]) && k + 1 < program.size()) {
      if (line[k] != program[k] || line[k + 1] != program[k + 1]) return 0;
      ++k;
    } else if (LowerAscii(line[k]) != LowerAscii(program[k])) {
      return 0;
    }
  }
  if (line.size() > program.size() && line[program.size()] != ' ') return 0;
  return program.size();
}

}  // namespace

GbkText JoinCommandLine(const GbkText& line, const GbkText& program_path) {
  std::size_t i = 0;
  const std::size_t n = line.size();
  // The program's own path. The association's command does not quote it, so
  // in a folder with blanks it is known only by comparing with the program's.
  if (const std::size_t own = LeadingProgramPath(line, program_path); own > 0) {
    i = own < n ? own + 1 : n;
  } else if (i < n && line[i] == '"') {
    const std::size_t close = line.find('"', 1);
    i = close == GbkText::npos ? n : close + 1;
    if (i < n && line[i] == ' ') ++i;
  } else {
    const std::size_t blank = line.find(' ');
    i = blank == GbkText::npos ? n : blank + 1;
  }
  std::vector<GbkText> args;
  while (i < n) {
    if (line[i] == '"') {
      GbkText arg;
      ++i;
      while (i < n && line[i] != '"') {
        if (IsLead(line[i]) && i + 1 < n) arg += line[i++];
        arg += line[i++];
      }
      if (i < n) ++i;  // the closing quote
      args.push_back(arg);
    } else if (IsSeparator(line[i])) {
      ++i;
    } else {
      GbkText arg;
      while (i < n && line[i] != '"' && !IsSeparator(line[i])) {
        if (IsLead(line[i]) && i + 1 < n) arg += line[i++];
        arg += line[i++];
      }
      args.push_back(arg);
    }
  }
  GbkText joined;
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (k > 0) joined += ' ';
    joined += args[k];
  }
  return joined;
}

bool RegisterPatchFileType(const GbkText& command_path, const GbkText& extension, const GbkText& icon_path) {
  host::System& sys = host::Sys();
  const GbkText type = extension + "file";
  return sys.WriteClassesDefault("." + extension, type) && sys.WriteClassesDefault(type, extension) &&
         sys.WriteClassesDefault(type + "\\DefaultIcon", icon_path + ",0") &&
         sys.WriteClassesDefault(type + "\\shell\\open\\command", command_path + " %1");
}

void RegisterFileType() {
  const GbkText program = host::ProgramPath();
  RegisterPatchFileType(program, "patch2", program);
}

void HandleCommandLine() {
  const GbkText path = JoinCommandLine(host::Sys().CommandLine(), host::ProgramPath());
  if (path.empty()) return;
  host::WindowFramework& ui = host::Ui();
  ui.SetCurrentPage(kTab, 1);
  ui.LoadWindow(LoadingWindow());
  ui.SetText(kLoadingLabel, path + "\r\n载入中：");
  InstallPatch(path, /*wait_for_turn=*/true);
}

}  // namespace patchmaker

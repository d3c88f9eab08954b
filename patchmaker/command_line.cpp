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

}  // namespace

GbkText JoinCommandLine(const GbkText& line) {
  std::size_t i = 0;
  const std::size_t n = line.size();
  // The program's own path.
  if (i < n && line[i] == '"') {
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
  const GbkText path = JoinCommandLine(host::Sys().CommandLine());
  if (path.empty()) return;
  host::WindowFramework& ui = host::Ui();
  ui.SetCurrentPage(kTab, 1);
  ui.LoadWindow(LoadingWindow());
  ui.SetText(kLoadingLabel, path + "\r\n载入中：");
  InstallPatch(path, /*wait_for_turn=*/true);
}

}  // namespace patchmaker

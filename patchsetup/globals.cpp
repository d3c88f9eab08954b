#include "patchsetup/globals.h"

#include <mutex>

#include "host/system.h"

namespace patchsetup {
namespace {

struct Globals {
  std::mutex lock;
  GbkText install_directory;
  Bytes key_stream;
};
Globals g;

}  // namespace

const char kConfigSection[] = "目录";
const char kInstallDirectoryKey[] = "安装目录";

GbkText InstallDirectory() {
  std::lock_guard<std::mutex> hold(g.lock);
  return g.install_directory;
}
void SetInstallDirectory(const GbkText& folder) {
  std::lock_guard<std::mutex> hold(g.lock);
  g.install_directory = folder;
}
Bytes PatchKeyStream() {
  std::lock_guard<std::mutex> hold(g.lock);
  return g.key_stream;
}
void SetPatchKeyStream(const Bytes& stream) {
  std::lock_guard<std::mutex> hold(g.lock);
  g.key_stream = stream;
}

void FreeGlobals() {
  std::lock_guard<std::mutex> hold(g.lock);
  g.install_directory.clear();
  g.key_stream.clear();
}

GbkText ConfigPath() { return host::Sys().ProgramFolder() + "\\Config.ini"; }

GbkText ReadConfiguredInstallDirectory() {
  return host::Sys().ReadProfileText(ConfigPath(), kConfigSection, kInstallDirectoryKey);
}

void WriteConfiguredInstallDirectory(const GbkText& folder) {
  host::Sys().WriteProfileText(ConfigPath(), kConfigSection, kInstallDirectoryKey, folder);
}

}  // namespace patchsetup

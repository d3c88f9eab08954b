#include "patchsetup/globals.h"

#include <mutex>

#include "patchmaker/config.h"

namespace patchsetup {
namespace {

struct Globals {
  std::mutex lock;
  GbkText install_directory;
  Bytes key_stream;
};
Globals g;

}  // namespace


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

GbkText ReadConfiguredInstallDirectory() { return patchmaker::ReadConfig(patchmaker::kInstallDirectoryKey); }

void WriteConfiguredInstallDirectory(const GbkText& folder) {
  patchmaker::WriteConfig(patchmaker::kInstallDirectoryKey, folder);
}

}  // namespace patchsetup

#include "patchsetup/globals.h"

#include "patchmaker/config.h"
#include "patchmaker/guarded.h"

namespace patchsetup {
namespace {

patchmaker::Guarded<GbkText> g_install_directory;
patchmaker::Guarded<Bytes> g_key_stream;

}  // namespace

GbkText InstallDirectory() { return g_install_directory.Get(); }
void SetInstallDirectory(const GbkText& folder) { g_install_directory.Set(folder); }
Bytes PatchKeyStream() { return g_key_stream.Get(); }
void SetPatchKeyStream(const Bytes& stream) { g_key_stream.Set(stream); }

void FreeGlobals() {
  g_install_directory.Clear();
  g_key_stream.Clear();
}

GbkText ReadConfiguredInstallDirectory() { return patchmaker::ReadConfig(patchmaker::kInstallDirectoryKey); }

void WriteConfiguredInstallDirectory(const GbkText& folder) {
  patchmaker::WriteConfig(patchmaker::kInstallDirectoryKey, folder);
}

}  // namespace patchsetup

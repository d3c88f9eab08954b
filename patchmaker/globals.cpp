#include "patchmaker/globals.h"

#include "host/system.h"
#include "patchmaker/guarded.h"

namespace patchmaker {
namespace {

Guarded<GbkText> g_install_directory;
Guarded<GbkText> g_save_directory;
Guarded<Bytes> g_key_stream;

std::mutex g_entries_lock;
std::vector<LoadedEntry> g_entries;

}  // namespace


GbkText InstallDirectory() { return g_install_directory.Get(); }
void SetInstallDirectory(const GbkText& folder) { g_install_directory.Set(folder); }
GbkText SaveDirectory() { return g_save_directory.Get(); }
void SetSaveDirectory(const GbkText& folder) { g_save_directory.Set(folder); }
Bytes PatchKeyStream() { return g_key_stream.Get(); }
void SetPatchKeyStream(const Bytes& stream) { g_key_stream.Set(stream); }

std::mutex& LoadedEntriesLock() { return g_entries_lock; }
std::vector<LoadedEntry>& LoadedEntries() { return g_entries; }

void FreeGlobals() {
  g_install_directory.Clear();
  g_save_directory.Clear();
  g_key_stream.Clear();
  std::lock_guard<std::mutex> hold(g_entries_lock);
  g_entries.clear();
}

}  // namespace patchmaker

#include "patchmaker/globals.h"

#include "host/system.h"

namespace patchmaker {
namespace {

struct Globals {
  std::mutex lock;
  GbkText install_directory;
  GbkText save_directory;
  Bytes key_stream;
};
Globals g;

std::mutex g_entries_lock;
std::vector<LoadedEntry> g_entries;

}  // namespace


GbkText InstallDirectory() {
  std::lock_guard<std::mutex> hold(g.lock);
  return g.install_directory;
}
void SetInstallDirectory(const GbkText& folder) {
  std::lock_guard<std::mutex> hold(g.lock);
  g.install_directory = folder;
}
GbkText SaveDirectory() {
  std::lock_guard<std::mutex> hold(g.lock);
  return g.save_directory;
}
void SetSaveDirectory(const GbkText& folder) {
  std::lock_guard<std::mutex> hold(g.lock);
  g.save_directory = folder;
}
Bytes PatchKeyStream() {
  std::lock_guard<std::mutex> hold(g.lock);
  return g.key_stream;
}
void SetPatchKeyStream(const Bytes& stream) {
  std::lock_guard<std::mutex> hold(g.lock);
  g.key_stream = stream;
}

std::mutex& LoadedEntriesLock() { return g_entries_lock; }
std::vector<LoadedEntry>& LoadedEntries() { return g_entries; }

void FreeGlobals() {
  {
    std::lock_guard<std::mutex> hold(g.lock);
    g.install_directory.clear();
    g.save_directory.clear();
    g.key_stream.clear();
  }
  std::lock_guard<std::mutex> hold(g_entries_lock);
  g_entries.clear();
}

}  // namespace patchmaker

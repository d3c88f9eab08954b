// patchmaker's global state. The window thread and the workers share it, so
// every read and write goes through a short lock; a worker copies what it needs
// when it starts.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "patchmaker/config.h"
#include "patchmaker/patch_file.h"

namespace patchmaker {

// An entry taken from a loaded patch; a list row refers to it as "内部ID" + its
// 1-based index.
struct LoadedEntry {
  GbkText name;
  std::int32_t offset = 0;
  std::int32_t compressed_size = 0;
  std::int32_t uncompressed_size = 0;
  std::shared_ptr<const Bytes> data;  // the entry's zlib stream, shared with a generation's snapshot; null when empty
};

GbkText InstallDirectory();
void SetInstallDirectory(const GbkText& folder);
GbkText SaveDirectory();
void SetSaveDirectory(const GbkText& folder);
Bytes PatchKeyStream();
void SetPatchKeyStream(const Bytes& stream);

// The loaded-entry table, under its own lock.
std::mutex& LoadedEntriesLock();
std::vector<LoadedEntry>& LoadedEntries();  // only with LoadedEntriesLock held

// Empties everything (registered to run at program end).
void FreeGlobals();


}  // namespace patchmaker

// patchsetup's global state. The window thread and the install workers share
// it, so every read and write goes through a short lock; a worker copies what
// it needs when it starts.
#pragma once

#include <string>

#include "patchmaker/patch_file.h"

namespace patchsetup {

using patchmaker::Bytes;
using patchmaker::GbkText;

GbkText InstallDirectory();
void SetInstallDirectory(const GbkText& folder);
Bytes PatchKeyStream();
void SetPatchKeyStream(const Bytes& stream);

// Empties both (registered to run at program end).
void FreeGlobals();

// patchsetup's own Config.ini in its own folder; it reads and writes only the
// install directory.
GbkText ReadConfiguredInstallDirectory();
void WriteConfiguredInstallDirectory(const GbkText& folder);

}  // namespace patchsetup

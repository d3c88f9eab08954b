// Config.ini in the program's own folder, section "目录": each program keeps
// its own file; both read and write the install directory, patchmaker also
// reads the save directory.
#pragma once

#include "patchmaker/patch_file.h"

namespace patchmaker {

extern const char kConfigSection[];
extern const char kInstallDirectoryKey[];
extern const char kSaveDirectoryKey[];

GbkText ConfigPath();
GbkText ReadConfig(const GbkText& key);
void WriteConfig(const GbkText& key, const GbkText& value);

}  // namespace patchmaker

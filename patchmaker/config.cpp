#include "patchmaker/config.h"

#include "host/system.h"

namespace patchmaker {

const char kConfigSection[] = "目录";
const char kInstallDirectoryKey[] = "安装目录";
const char kSaveDirectoryKey[] = "保存目录";

GbkText ConfigPath() { return host::Sys().ProgramFolder() + "\\Config.ini"; }

GbkText ReadConfig(const GbkText& key) { return host::Sys().ReadProfileText(ConfigPath(), kConfigSection, key); }

void WriteConfig(const GbkText& key, const GbkText& value) {
  host::Sys().WriteProfileText(ConfigPath(), kConfigSection, key, value);
}

}  // namespace patchmaker

// The program's path, Config.ini, the registry and the command line through
// the ANSI Win32 functions.
#pragma once

#include "host/system.h"

namespace host {
namespace win32 {

class Win32System final : public System {
 public:
  GbkText ProgramFolder() override;
  GbkText ProgramFileName() override;
  GbkText ReadProfileText(const GbkText& file, const GbkText& section, const GbkText& key) override;
  void WriteProfileText(const GbkText& file, const GbkText& section, const GbkText& key,
                        const GbkText& value) override;
  GbkText ReadUserRegistryText(const GbkText& key, const GbkText& value) override;
  bool WriteClassesDefault(const GbkText& key, const GbkText& value) override;
  GbkText CommandLine() override;
};

}  // namespace win32
}  // namespace host

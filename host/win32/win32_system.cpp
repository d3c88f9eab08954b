#include "host/win32/win32_system.h"

#include <windows.h>

#include <vector>

#include "host/win32/registry_key.h"
#include "host/win32/text.h"

namespace host {
namespace win32 {
namespace {

GbkText ModulePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return GbkText();
    if (length < buffer.size()) return GbkText(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

GbkText ExpandEnvironment(const GbkText& text) {
  DWORD size = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::vector<char> buffer(size + 1);
  DWORD written = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (written == 0 || written > buffer.size()) return text;
  return GbkText(buffer.data());
}

}  // namespace

GbkText Win32System::ProgramFolder() {
  GbkText path = ModulePath();
  std::size_t slash = FindLastSingleByte(path, '\\');
  return slash == GbkText::npos ? GbkText() : path.substr(0, slash);
}

GbkText Win32System::ProgramFileName() {
  GbkText path = ModulePath();
  std::size_t slash = FindLastSingleByte(path, '\\');
  return slash == GbkText::npos ? path : path.substr(slash + 1);
}

GbkText Win32System::ReadProfileText(const GbkText& file, const GbkText& section, const GbkText& key) {
  std::vector<char> buffer(10240);
  DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                          static_cast<DWORD>(buffer.size()), file.c_str());
  return GbkText(buffer.data(), length);
}

void Win32System::WriteProfileText(const GbkText& file, const GbkText& section, const GbkText& key,
                                   const GbkText& value) {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

GbkText Win32System::ReadUserRegistryText(const GbkText& key, const GbkText& value) {
  RegistryKey opened;
  if (opened.Open(HKEY_CURRENT_USER, key.c_str(), KEY_QUERY_VALUE) != ERROR_SUCCESS) return GbkText();
  DWORD type = 0;
  DWORD size = 0;
  if (opened.QueryValue(value.c_str(), &type, nullptr, &size) != ERROR_SUCCESS) return GbkText();
  if (type != REG_SZ && type != REG_EXPAND_SZ) return GbkText();
  // Room for a terminator the stored value may lack.
  std::vector<char> data(size + 1, '\0');
  if (opened.QueryValue(value.c_str(), &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
    return GbkText();
  }
  GbkText text(data.data());
  if (type == REG_EXPAND_SZ) return ExpandEnvironment(text);
  return type == REG_SZ ? text : GbkText();
}

bool Win32System::WriteClassesDefault(const GbkText& key, const GbkText& value) {
  RegistryKey created;
  if (created.Create(HKEY_CLASSES_ROOT, key.c_str()) != ERROR_SUCCESS) return false;
  return created.SetValue(nullptr, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

GbkText Win32System::CommandLine() { return GbkText(GetCommandLineA()); }

}  // namespace win32
}  // namespace host

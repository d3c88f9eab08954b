// A registry key that closes itself; every method is one registry call and
// answers its LONG result unchanged.
#pragma once

#include <windows.h>

namespace host {
namespace win32 {

class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() { Close(); }

  LONG Open(HKEY parent, const char* name, REGSAM access) {
    Close();
    return RegOpenKeyExA(parent, name, 0, access, &key_);
  }
  LONG Create(HKEY parent, const char* name) {
    Close();
    return RegCreateKeyA(parent, name, &key_);
  }
  LONG QueryValue(const char* name, DWORD* type, BYTE* data, DWORD* size) const {
    return RegQueryValueExA(key_, name, nullptr, type, data, size);
  }
  LONG SetValue(const char* name, DWORD type, const BYTE* data, DWORD size) const {
    return RegSetValueExA(key_, name, 0, type, data, size);
  }
  LONG Close() {
    if (key_ == nullptr) return ERROR_SUCCESS;
    HKEY key = key_;
    key_ = nullptr;
    return RegCloseKey(key);
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace win32
}  // namespace host

#include "app/settings_win32.h"

#include <windows.h>

#include <vector>

namespace lanchuan::win32 {

std::string Win32SettingsStore::read(const std::string& section, const std::string& key,
                                     const std::string& default_value) {
  std::vector<char> buffer(kSettingsValueBuffer, '\0');
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(),
                                           buffer.data(), kSettingsValueBuffer, path_.c_str());
  return std::string(buffer.data(), n);
}

void Win32SettingsStore::write(const std::string& section, const std::string& key,
                               const std::string& value) {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str());
}

}  // namespace lanchuan::win32

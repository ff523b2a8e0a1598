// The settings file on Windows: the profile-string functions on one INI file.
#pragma once

#include <string>

#include "app/ports.h"

namespace lanchuan::win32 {

constexpr const char* kSettingsPath = "C:\\Windows\\ZOzavu.ini";
constexpr int kSettingsValueBuffer = 10240;  // at most 10239 bytes of a value

class Win32SettingsStore : public SettingsStore {
 public:
  explicit Win32SettingsStore(std::string path = kSettingsPath) : path_(std::move(path)) {}
  std::string read(const std::string& section, const std::string& key,
                   const std::string& default_value) override;
  void write(const std::string& section, const std::string& key, const std::string& value) override;

 private:
  std::string path_;
};

}  // namespace lanchuan::win32

// The logon shortcut on Windows: the Startup folder from the registry, the
// running program's own path, and the shell link object.
#pragma once

#include <windows.h>

#include <string>

#include "app/ports.h"
#include "base/unique_any.h"

namespace lanchuan::win32 {

struct RegistryKeyTraits {
  using type = HKEY;
  static type invalid() { return nullptr; }
  static void close(type key) { RegCloseKey(key); }
};
using unique_hkey = unique_any<RegistryKeyTraits>;

struct FindHandleTraits {
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  static void close(type handle) { FindClose(handle); }
};
using unique_find_handle = unique_any<FindHandleTraits>;

// HKCU "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders",
// value "Startup": REG_SZ as it is, REG_EXPAND_SZ expanded, anything else
// (or nothing) the empty text.
std::string get_startup_folder();

class Win32LogonShortcuts : public LogonShortcuts {
 public:
  std::string startup_folder() override { return get_startup_folder(); }
  std::string program_folder() override;
  std::string program_file_name() override;
  bool create_shortcut(const std::string& path, const ShortcutFields& fields) override;
  void delete_file(const std::string& path) override;
  bool file_exists(const std::string& path) override;
};

}  // namespace lanchuan::win32

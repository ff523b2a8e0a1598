#include "app/logon_win32.h"

#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <vector>

#include "platform/win32/com_win32.h"

namespace lanchuan::win32 {
namespace {

constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kStartupValue = "Startup";

std::string up_to_nul(const std::string& text) { return text.substr(0, text.find('\0')); }

// The value's bytes and type; false when it cannot be read.
bool query_value(HKEY key, const std::string& name, DWORD& type, std::string& data) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  // The value may grow between the two calls; ask again with the new size.
  for (int attempt = 0; attempt < 3; ++attempt) {
    data.assign(static_cast<std::size_t>(size) + 1, '\0');
    DWORD got = size;
    const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(&data[0]), &got);
    if (result == ERROR_SUCCESS) {
      data = up_to_nul(data.substr(0, got));
      return true;
    }
    if (result != ERROR_MORE_DATA) return false;
    size = got;
  }
  return false;
}

// The count that ExpandEnvironmentStringsA returns is not always in bytes
// (Wine counts UTF-16 units, and Windows asks for one byte more for ANSI), so
// the buffer gets room for two bytes a character and grows when told to.
std::string expand_environment(const std::string& text) {
  DWORD capacity = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  for (int attempt = 0; capacity != 0 && attempt < 3; ++attempt) {
    capacity = capacity * 2 + 2;
    std::string expanded(capacity, '\0');
    const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), &expanded[0], capacity);
    if (needed == 0) break;
    if (needed <= capacity) return up_to_nul(expanded);
    capacity = needed;
  }
  return std::string();
}

// GetModuleFileNameA, with a buffer that grows while the path is cut short.
std::string module_path() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

// The byte index of the last backslash, stepping through the ANSI code
// page's characters (a second byte of a GBK character can be 0x5C).
std::size_t last_backslash(const std::string& path) {
  std::size_t last = std::string::npos;
  const char* begin = path.c_str();
  for (const char* p = begin; *p; p = CharNextA(p)) {
    if (*p == '\\') last = static_cast<std::size_t>(p - begin);
  }
  return last;
}

void split_module_path(std::string& folder, std::string& name) {
  const std::string path = module_path();
  const std::size_t cut = last_backslash(path);
  if (cut == std::string::npos) {
    folder.clear();
    name = path;
  } else {
    folder = path.substr(0, cut);
    name = path.substr(cut + 1);
  }
}

}  // namespace

std::string get_startup_folder() {
  const std::string full = std::string(kShellFoldersKey) + "\\" + kStartupValue;
  const std::size_t cut = full.rfind('\\');
  const std::string key_path = full.substr(0, cut);
  const std::string value_name = full.substr(cut + 1);

  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return std::string();
  }
  const unique_hkey key(opened);
  DWORD type = REG_NONE;
  std::string data;
  if (!query_value(key.get(), value_name, type, data)) return std::string();
  if (type == REG_SZ) return data;
  if (type == REG_EXPAND_SZ) return expand_environment(data);
  return std::string();
}

std::string Win32LogonShortcuts::program_folder() {
  std::string folder;
  std::string name;
  split_module_path(folder, name);
  return folder;
}

std::string Win32LogonShortcuts::program_file_name() {
  std::string folder;
  std::string name;
  split_module_path(folder, name);
  return name;
}

bool Win32LogonShortcuts::create_shortcut(const std::string& path, const ShortcutFields& fields) {
  // Balanced with the program's own initialisation; the interface pointers
  // below are released before it ends.
  const ComApartment apartment;
  ComPtr<IShellLinkA> link;
  if (FAILED(co_create_instance(CLSID_ShellLink, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.put_void()))) {
    return false;
  }
  link->SetPath(fields.target.c_str());
  link->SetShowCmd(fields.show_command);
  link->SetDescription(fields.description.c_str());
  link->SetArguments(fields.arguments.c_str());
  link->SetWorkingDirectory(fields.working_directory.c_str());

  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  const std::wstring wide_path = to_wide(path, CP_ACP);
  return SUCCEEDED(file->Save(wide_path.c_str(), TRUE));
}

void Win32LogonShortcuts::delete_file(const std::string& path) { DeleteFileA(path.c_str()); }

bool Win32LogonShortcuts::file_exists(const std::string& path) {
  WIN32_FIND_DATAA found{};
  const unique_find_handle search(FindFirstFileA(path.c_str(), &found));
  return static_cast<bool>(search);
}

}  // namespace lanchuan::win32

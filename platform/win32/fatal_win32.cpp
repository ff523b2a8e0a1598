#include "platform/win32/fatal_win32.h"

#include <string>

namespace lanchuan::win32 {

void fatal_missing_function(const char* library, const char* function) {
  std::string text = "运行时出错!\r\n\r\n";
  text += "错误信息：";
  text += "无法找到指定DLL库文件“";
  text += library;
  text += "”中的输出命令“";
  text += function;
  text += "”";
  text += "\r\n";
  MessageBoxA(nullptr, text.c_str(), "错误", MB_ICONERROR);
  ExitProcess(static_cast<UINT>(-1));
}

namespace {

// SetDefaultDllDirectories and the LOAD_LIBRARY_SEARCH_* flags exist on
// Windows 8 and later, and on Windows 7 with KB2533623; without them the flags
// are refused with ERROR_INVALID_PARAMETER (learn.microsoft.com,
// "SetDefaultDllDirectories function" and "LoadLibraryExA function", which
// tells to detect them by looking up AddDllDirectory). So it is looked up here.
bool search_flags_available() {
  static const bool available =
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddDllDirectory") != nullptr;
  return available;
}

}  // namespace

void restrict_library_search() {
  using SetDefaultFn = BOOL(WINAPI*)(DWORD);
  const auto set_default = reinterpret_cast<SetDefaultFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (search_flags_available() && set_default && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return;
  }
  // Without it: at least the current folder leaves the search order ("If the
  // lpPathName parameter is an empty string, the call removes the current
  // directory from the default DLL search order", "SetDllDirectoryA
  // function"); the program's own loads name the system folder in full.
  SetDllDirectoryA("");
}

HMODULE load_system_library(const char* library) {
  if (search_flags_available()) {
    return LoadLibraryExA(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  char folder[MAX_PATH];
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  const std::string path = std::string(folder, n) + "\\" + library;
  // The library's own imports are then looked up beside it first, in the
  // system folder, not beside the program ("LOAD_WITH_ALTERED_SEARCH_PATH").
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC find_function(const char* library, const char* function) {
  // Never freed: libraries stay loaded for the life of the process, like the
  // imports. A library already loaded only has its count raised.
  HMODULE module = load_system_library(library);
  return module ? GetProcAddress(module, function) : nullptr;
}

FARPROC require_function(const char* library, const char* function) {
  FARPROC fn = find_function(library, function);
  if (!fn) fatal_missing_function(library, function);
  return fn;
}

}  // namespace lanchuan::win32

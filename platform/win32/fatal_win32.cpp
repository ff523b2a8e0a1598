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

FARPROC find_function(const char* library, const char* function) {
  // Never freed: libraries stay loaded for the life of the process, like the
  // imports. A library already loaded only has its count raised.
  HMODULE module = LoadLibraryA(library);
  return module ? GetProcAddress(module, function) : nullptr;
}

FARPROC require_function(const char* library, const char* function) {
  FARPROC fn = find_function(library, function);
  if (!fn) fatal_missing_function(library, function);
  return fn;
}

}  // namespace lanchuan::win32

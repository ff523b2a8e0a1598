// System functions looked up by name at their first call. When one cannot be
// found the program shows the runtime error box and ends with exit code -1.
#pragma once

#include <windows.h>

namespace lanchuan::win32 {

[[noreturn]] void fatal_missing_function(const char* library, const char* function);

// GetProcAddress on LoadLibraryA(library), or the fatal error box.
FARPROC require_function(const char* library, const char* function);

template <typename Fn>
Fn require(const char* library, const char* function) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(require_function(library, function)));
}

}  // namespace lanchuan::win32

// System functions looked up by name at their first call, from libraries
// loaded from the system folder only. When one cannot be found the program
// shows the runtime error box and ends with exit code -1.
#pragma once

#include <windows.h>

namespace lanchuan::win32 {

// Called first by both programs: later loads, including those the system
// makes on the program's behalf, search the system folder only, never the
// program's own folder (where anyone who could write there might have put a
// library of the same name) nor the current one.
void restrict_library_search();

// The library from the system folder, loaded for the life of the process;
// null when it cannot be loaded.
HMODULE load_system_library(const char* library);

[[noreturn]] void fatal_missing_function(const char* library, const char* function);

// GetProcAddress on load_system_library(library), or the fatal error box.
FARPROC require_function(const char* library, const char* function);

template <typename Fn>
Fn require(const char* library, const char* function) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(require_function(library, function)));
}

// The function, or none when it (or its library) is missing; no error box.
// Like require(), it keeps the library loaded for the life of the process:
// WinINet and the shell go on with work of their own on other threads after a
// call has returned, and a library freed under that work faults or
// dead-locks in its unloading.
FARPROC find_function(const char* library, const char* function);

template <typename Fn>
Fn find(const char* library, const char* function) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(find_function(library, function)));
}

}  // namespace lanchuan::win32

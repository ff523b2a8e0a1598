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

// A library loaded for one use and freed with this object, for one that
// would otherwise stay loaded, with what it brings along, for the rest of the
// day. Its functions are looked up as require() does.
class BorrowedLibrary {
 public:
  explicit BorrowedLibrary(const char* library)
      : library_(library), module_(LoadLibraryA(library)) {}
  ~BorrowedLibrary() {
    if (module_) FreeLibrary(module_);
  }
  BorrowedLibrary(const BorrowedLibrary&) = delete;
  BorrowedLibrary& operator=(const BorrowedLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }

  // The function, or none when it (or the library) is missing.
  template <typename Fn>
  Fn find(const char* function) const {
    const FARPROC fn = module_ ? GetProcAddress(module_, function) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(fn));
  }

  template <typename Fn>
  Fn require(const char* function) const {
    const Fn fn = find<Fn>(function);
    if (!fn) fatal_missing_function(library_, function);
    return fn;
  }

 private:
  const char* library_;
  HMODULE module_;
};

}  // namespace lanchuan::win32

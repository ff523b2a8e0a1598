// One move-only owner for every kind of handle: a Traits type names the handle
// type, its "no handle" value and how it is released. Portable, so that the
// ownership rules are tested natively with counting traits; the Win32 handle
// types are declared in platform/win32/handles_win32.h.
#pragma once

#include <utility>

namespace lanchuan {

template <typename Traits>
class unique_any {
 public:
  using pointer = typename Traits::type;

  unique_any() noexcept = default;
  explicit unique_any(pointer value) noexcept : value_(value) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_any() { reset(); }

  pointer get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

  // Releases the old handle after the new one is in place.
  void reset(pointer value = Traits::invalid()) noexcept {
    pointer old = std::exchange(value_, value);
    if (old != Traits::invalid()) Traits::close(old);
  }
  pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

 private:
  pointer value_ = Traits::invalid();
};

}  // namespace lanchuan

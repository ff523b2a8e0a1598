// The performance counter as a clock: it runs at a steady rate and is never
// set, so a wait or a time-out measured on it lasts as long as it says, also
// when the system time is stepped meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>

namespace lanchuan::win32 {

// 100 ns units since some fixed moment (the units of a FILETIME).
inline std::int64_t steady_100ns() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  constexpr std::int64_t kUnitsPerSecond = 10000000;
  const std::int64_t f = frequency.QuadPart;
  return count.QuadPart / f * kUnitsPerSecond + count.QuadPart % f * kUnitsPerSecond / f;
}

inline std::int64_t steady_us() { return steady_100ns() / 10; }
inline std::int64_t steady_ms() { return steady_100ns() / 10000; }

}  // namespace lanchuan::win32

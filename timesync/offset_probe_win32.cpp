#include "timesync/offset_probe_win32.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/local_clock_win32.h"

namespace lanchuan::win32 {
namespace {

using PreciseFn = VOID(WINAPI*)(LPFILETIME);

// FILETIME counts 100 ns units since 1601-01-01.
constexpr std::int64_t kUnixEpochFiletime = 116444736000000000LL;
constexpr std::int64_t kFiletimeUnitsPerSecond = 10000000;
// The coarse clock ticks every 15.6 ms by default; interpolation never runs
// past the next tick.
constexpr std::int64_t kCoarseTickUnits = 160000;
// Sleep may overshoot by a scheduler tick; the last stretch is spun instead.
constexpr std::int64_t kSpinUs = 20000;

std::int64_t to_int(const FILETIME& ft) {
  ULARGE_INTEGER v;
  v.LowPart = ft.dwLowDateTime;
  v.HighPart = ft.dwHighDateTime;
  return static_cast<std::int64_t>(v.QuadPart);
}

std::int64_t counter_now() {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart;
}

}  // namespace

PreciseUtcClock::PreciseUtcClock() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel != nullptr) {
    precise_ = reinterpret_cast<void*>(GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime"));
  }
  LARGE_INTEGER f;
  counter_frequency_ = QueryPerformanceFrequency(&f) ? f.QuadPart : 0;
}

std::int64_t PreciseUtcClock::interpolated_filetime() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const std::int64_t coarse = to_int(ft);
  if (counter_frequency_ <= 0) return coarse;
  const std::int64_t counter = counter_now();
  std::lock_guard<std::mutex> lock(mutex_);
  if (coarse != last_coarse_) {
    last_coarse_ = coarse;
    base_counter_ = counter;
    return coarse;
  }
  const std::int64_t elapsed =
      (counter - base_counter_) * kFiletimeUnitsPerSecond / counter_frequency_;
  return coarse + std::clamp<std::int64_t>(elapsed, 0, kCoarseTickUnits);
}

std::int64_t PreciseUtcClock::now_utc_us() {
  std::int64_t filetime = 0;
  if (precise_ != nullptr) {
    FILETIME ft;
    reinterpret_cast<PreciseFn>(precise_)(&ft);
    filetime = to_int(ft);
  } else {
    filetime = interpolated_filetime();
  }
  return (filetime - kUnixEpochFiletime) / 10;
}

void PreciseUtcClock::wait_until_utc_us(std::int64_t t_us) {
  for (;;) {
    const std::int64_t remaining = t_us - now_utc_us();
    if (remaining <= 0) return;
    if (remaining > kSpinUs) {
      Sleep(static_cast<DWORD>((remaining - kSpinUs) / 1000));
    } else {
      SwitchToThread();
    }
  }
}

std::int64_t Win32PreciseLocalClock::local_minus_utc_us() {
  FILETIME utc, local;
  GetSystemTimeAsFileTime(&utc);
  if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
  return (to_int(local) - to_int(utc)) / 10;
}

bool Win32PreciseLocalClock::set_local_time(const DateTimeParts& parts, int milliseconds) {
  return set_local_clock(parts, milliseconds);
}

}  // namespace lanchuan::win32

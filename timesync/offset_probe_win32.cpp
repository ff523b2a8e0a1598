#include "timesync/offset_probe_win32.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/local_clock_win32.h"
#include "platform/win32/steady_clock_win32.h"

namespace lanchuan::win32 {
namespace {

using PreciseFn = VOID(WINAPI*)(LPFILETIME);

// FILETIME counts 100 ns units since 1601-01-01.
constexpr std::int64_t kUnixEpochFiletime = 116444736000000000LL;
// Sleep may overshoot by a scheduler tick; the last stretch is spun instead.
constexpr std::int64_t kSpinUs = 20000;

std::int64_t to_int(const FILETIME& ft) {
  ULARGE_INTEGER v;
  v.LowPart = ft.dwLowDateTime;
  v.HighPart = ft.dwHighDateTime;
  return static_cast<std::int64_t>(v.QuadPart);
}

PreciseFn precise_function() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<PreciseFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")));
}

std::int64_t system_precise_time() {
  static const PreciseFn precise = precise_function();
  FILETIME ft;
  precise(&ft);
  return to_int(ft);
}

std::int64_t system_coarse_time() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return to_int(ft);
}

}  // namespace

PreciseUtcClock::PreciseUtcClock()
    : PreciseUtcClock(precise_function() != nullptr ? system_precise_time : system_coarse_time,
                      precise_function() == nullptr) {}

PreciseUtcClock::PreciseUtcClock(FiletimeReader read, bool coarse) : read_(read), coarse_(coarse) {}

std::int64_t PreciseUtcClock::interpolated_filetime() {
  const std::int64_t coarse = read_();
  const std::int64_t steady = steady_100ns();
  std::lock_guard<std::mutex> lock(mutex_);
  return interpolation_.reading(coarse, steady);
}

std::int64_t PreciseUtcClock::now_utc_us() {
  const std::int64_t filetime = coarse_ ? interpolated_filetime() : read_();
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

#include "timesync/offset_probe_win32.h"

#include <windows.h>

#include "platform/win32/local_clock_win32.h"
#include "platform/win32/steady_clock_win32.h"

namespace lanchuan::win32 {
namespace {

using PreciseFn = VOID(WINAPI*)(LPFILETIME);

// FILETIME counts 100 ns units since 1601-01-01.
constexpr std::int64_t kUnixEpochFiletime = 116444736000000000LL;
// Sleep may overshoot by a scheduler tick; the last stretch is spun instead.
constexpr std::int64_t kSpinUs = 20000;
// A coarse reading counts as taken at the counter's reading after it when the
// two lie this close (100 ns units); else they are taken again, this often.
constexpr std::int64_t kPairUnits = 1000;
constexpr int kPairAttempts = 8;

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
  // Read and interpolated under the lock, so that the readings reach the
  // interpolation in the order they were taken, whichever thread takes them.
  std::lock_guard<std::mutex> lock(mutex_);
  if (!started_) {
    // The first tick seen began up to a tick earlier; the interpolation
    // starts from the moment the coarse time moves on instead.
    started_ = true;
    const std::int64_t first = read_();
    const std::int64_t give_up = steady_100ns() + 2 * CoarseClockInterpolation::kTickUnits;
    while (read_() == first && steady_100ns() < give_up) {
    }
  }
  std::int64_t coarse = 0, steady = steady_100ns();
  for (int attempt = 0; attempt < kPairAttempts; ++attempt) {
    const std::int64_t before = steady;
    coarse = read_();
    steady = steady_100ns();
    // A thread held up between the two readings: they do not belong together.
    if (steady - before <= kPairUnits) break;
  }
  return interpolation_.reading(coarse, steady);
}

std::int64_t PreciseUtcClock::now_utc_us() {
  const std::int64_t filetime = coarse_ ? interpolated_filetime() : read_();
  return (filetime - kUnixEpochFiletime) / 10;
}

// Measured on the counter from the call: a clock set back meanwhile does not
// stretch the wait, nor does one set forward shorten it.
void PreciseUtcClock::wait_until_utc_us(std::int64_t t_us) {
  const std::int64_t until_us = steady_us() + (t_us - now_utc_us());
  for (;;) {
    const std::int64_t remaining = until_us - steady_us();
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

// The PC clock for the offset measurement on Windows: UTC to the microsecond
// (or as fine as the system offers), waiting to the millisecond, and setting
// the local time with milliseconds.
#pragma once

#include <cstdint>
#include <mutex>

#include "timesync/offset.h"

namespace lanchuan::win32 {

// A reading of the system time: 100 ns units since 1601-01-01 UTC (a FILETIME).
using FiletimeReader = std::int64_t (*)();

// GetSystemTimePreciseAsFileTime where the system has it (Windows 8 and
// later); before that the coarse system time, interpolated with the
// performance counter between its ticks.
class PreciseUtcClock : public HighResClock {
 public:
  PreciseUtcClock();
  // `read` as the precise time, or as a coarse time to interpolate.
  PreciseUtcClock(FiletimeReader read, bool coarse);
  std::int64_t now_utc_us() override;
  // Waits on the performance counter for as long as `t_us` lies ahead now.
  void wait_until_utc_us(std::int64_t t_us) override;

 private:
  std::int64_t interpolated_filetime();

  FiletimeReader read_;
  bool coarse_;
  // The interpolation's state; the offset probe reads the clock from several
  // threads at once.
  std::mutex mutex_;
  bool started_ = false;
  CoarseClockInterpolation interpolation_;
};

class Win32PreciseLocalClock : public PreciseLocalClock {
 public:
  std::int64_t local_minus_utc_us() override;
  bool set_local_time(const DateTimeParts& parts, int milliseconds) override;
};

}  // namespace lanchuan::win32

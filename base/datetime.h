// Date and time of day as an OLE Automation date: days since 1899-12-30 00:00,
// the fraction being the time of day. Portable; no platform headers.
#pragma once

#include <cstdint>
#include <string>

namespace lanchuan {

// 1970-01-01, the Unix epoch, in days since 1899-12-30.
constexpr std::int64_t kOleDayOfUnixEpoch = 25569;

// Integer division that rounds toward minus infinity: -1 ms is in the second
// before the epoch, not in the one after it.
std::int64_t floor_div(std::int64_t a, std::int64_t b);

struct DateTime {
  double days = 0.0;
};

// The valid range, 0100-01-01 00:00:00 to 9999-12-31 00:00:00. A value outside
// it is clamped to the nearest end before any operation on it.
constexpr double kMinDateTimeDays = -657434.0;
constexpr double kMaxDateTimeDays = 2958465.0;

struct DateTimeParts {
  int year = 100;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int day_of_week = 0;  // 0 = Sunday
};

DateTime clamp_date_time(DateTime value);

// Splits into calendar parts, rounded to the nearest second (half a second is
// added, or subtracted for negative values, before splitting).
DateTimeParts split_date_time(DateTime value);

// Builds a DateTime from calendar parts; false when any part is out of range
// (year 100-9999, month 1-12, day within its month with Gregorian leap years,
// hour 0-23, minute 0-59, second 0-59). `out` is untouched on false.
bool make_date_time(int year, int month, int day, int hour, int minute, int second, DateTime& out);

// Unit codes: 1 year, 2 quarter, 3 month, 4 week, 5 day, 6 hour, 7 minute,
// 8 second; other codes are clamped to 1-8. Month-like units cut the day to the
// length of the target month; the others add an exact span.
DateTime add_to_date_time(DateTime value, int unit, int amount);

// "%04d-%02d-%02d  %02d:%02d:%02d" (two blanks between date and time).
std::string format_date_time(DateTime value);

bool is_leap_year(int year);
int days_in_month(int year, int month);

}  // namespace lanchuan

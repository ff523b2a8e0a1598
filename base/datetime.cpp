#include "base/datetime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace lanchuan {
namespace {

constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kMsPerDay = 86400 * kMsPerSecond;

// A moment as a whole day number (days since 1899-12-30, floor) and the
// milliseconds into that day. The OLE form stores negative dates with the time
// of day as a positive distance from the day's start (-1.25 is 1899-12-29
// 06:00), so the double is not a linear time line; arithmetic happens here.
// Whole milliseconds keep repeated small steps exact: a clock advanced by one
// second per tick for weeks must not gain or lose a second through rounding.
struct Moment {
  std::int64_t day = 0;
  std::int64_t ms_of_day = 0;
};

}  // namespace

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

namespace {

Moment moment_from_ms(std::int64_t total_ms) {
  const std::int64_t day = floor_div(total_ms, kMsPerDay);
  return Moment{day, total_ms - day * kMsPerDay};
}

std::int64_t ms_from_moment(const Moment& m) { return m.day * kMsPerDay + m.ms_of_day; }

Moment moment_from_date_time(DateTime value) {
  const double days = clamp_date_time(value).days;
  const double whole = std::trunc(days);
  // Exact: a double minus its integral part needs no rounding.
  const double fraction = std::fabs(days - whole);
  const auto ms =
      static_cast<std::int64_t>(std::llround(fraction * static_cast<double>(kMsPerDay)));
  return moment_from_ms(static_cast<std::int64_t>(whole) * kMsPerDay + ms);
}

DateTime date_time_from_moment(const Moment& m) {
  const double fraction = static_cast<double>(m.ms_of_day) / static_cast<double>(kMsPerDay);
  const double day = static_cast<double>(m.day);
  return clamp_date_time(DateTime{m.day < 0 ? day - fraction : day + fraction});
}

// Proleptic Gregorian calendar, days counted from 1970-01-01 (H. Hinnant's
// civil-from-days algorithms); the OLE day 0 is 1899-12-30.

std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = floor_div(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + kOleDayOfUnixEpoch;
}

void civil_from_days(std::int64_t ole_day, int& year, int& month, int& day) {
  const std::int64_t z = ole_day - kOleDayOfUnixEpoch + 719468;
  const std::int64_t era = floor_div(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

DateTime step_months(DateTime value, std::int64_t months) {
  const Moment m = moment_from_date_time(value);
  int year = 0;
  int month = 0;
  int day = 0;
  civil_from_days(m.day, year, month, day);
  const std::int64_t index = static_cast<std::int64_t>(year) * 12 + (month - 1) + months;
  const std::int64_t new_year = floor_div(index, 12);
  if (new_year < 100) return DateTime{kMinDateTimeDays};
  if (new_year > 9999) return DateTime{kMaxDateTimeDays};
  const int new_month = static_cast<int>(index - new_year * 12) + 1;
  const int new_day = std::min(day, days_in_month(static_cast<int>(new_year), new_month));
  return date_time_from_moment(Moment{days_from_civil(new_year, new_month, new_day), m.ms_of_day});
}

DateTime add_span(DateTime value, std::int64_t amount, std::int64_t unit_ms) {
  // Any int amount of any unit fits: 2^31 weeks is about 1.3e18 ms.
  const std::int64_t total = ms_from_moment(moment_from_date_time(value)) + amount * unit_ms;
  return date_time_from_moment(moment_from_ms(total));
}

}  // namespace

DateTime clamp_date_time(DateTime value) {
  // NaN compares false both ways; it becomes the lower end rather than
  // travelling through the calendar arithmetic.
  if (!(value.days >= kMinDateTimeDays)) return DateTime{kMinDateTimeDays};
  if (value.days > kMaxDateTimeDays) return DateTime{kMaxDateTimeDays};
  return value;
}

DateTimeParts split_date_time(DateTime value) {
  Moment m = moment_from_date_time(value);
  // Nearest second, half a second rounding up (away from the day's start).
  std::int64_t second_of_day = (m.ms_of_day + kMsPerSecond / 2) / kMsPerSecond;
  if (second_of_day == 86400) {
    ++m.day;
    second_of_day = 0;
  }
  DateTimeParts parts;
  civil_from_days(m.day, parts.year, parts.month, parts.day);
  parts.hour = static_cast<int>(second_of_day / 3600);
  parts.minute = static_cast<int>(second_of_day / 60 % 60);
  parts.second = static_cast<int>(second_of_day % 60);
  // Day 0, 1899-12-30, was a Saturday.
  parts.day_of_week = static_cast<int>(((m.day + 6) % 7 + 7) % 7);
  return parts;
}

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && is_leap_year(year)) return 29;
  return kLengths[month - 1];
}

bool make_date_time(int year, int month, int day, int hour, int minute, int second, DateTime& out) {
  if (year < 100 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > days_in_month(year, month)) return false;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  const std::int64_t seconds = hour * 3600 + minute * 60 + second;
  out = date_time_from_moment(Moment{days_from_civil(year, month, day), seconds * kMsPerSecond});
  return true;
}

DateTime add_to_date_time(DateTime value, int unit, int amount) {
  const std::int64_t n = amount;
  switch (std::clamp(unit, 1, 8)) {
    case 1:
      return step_months(value, n * 12);
    case 2:
      return step_months(value, n * 3);
    case 3:
      return step_months(value, n);
    case 4:
      return add_span(value, n, 7 * kMsPerDay);
    case 5:
      return add_span(value, n, kMsPerDay);
    case 6:
      return add_span(value, n, 3600 * kMsPerSecond);
    case 7:
      return add_span(value, n, 60 * kMsPerSecond);
    default:
      return add_span(value, n, kMsPerSecond);
  }
}

std::string format_date_time(DateTime value) {
  const DateTimeParts p = split_date_time(value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d  %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return text;
}

}  // namespace lanchuan

#include "base/datetime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace lanchuan {
namespace {

DateTime make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  DateTime out{-1e9};
  EXPECT_TRUE(make_date_time(y, mo, d, h, mi, s, out)) << y << "-" << mo << "-" << d;
  return out;
}

constexpr double kSecond = 1.0 / 86400.0;

TEST(DateTimeMake, KnownDayNumbers) {
  struct Case {
    int y, mo, d, h, mi, s;
    double days;
  };
  const Case cases[] = {
      {1899, 12, 30, 0, 0, 0, 0.0},
      {1899, 12, 30, 12, 0, 0, 0.5},
      {1900, 1, 1, 0, 0, 0, 2.0},
      {1900, 3, 1, 0, 0, 0, 61.0},
      {2000, 1, 1, 6, 0, 0, 36526.25},
      {2026, 12, 8, 0, 0, 0, 46364.0},
      {100, 1, 1, 0, 0, 0, -657434.0},
      {9999, 12, 31, 0, 0, 0, 2958465.0},
      // Before day 0 the fraction is the time of day counted forward from the
      // day's start, with the sign of the whole value.
      {1899, 12, 29, 0, 0, 0, -1.0},
      {1899, 12, 29, 6, 0, 0, -1.25},
      {1899, 12, 28, 18, 0, 0, -2.75},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(make(c.y, c.mo, c.d, c.h, c.mi, c.s).days, c.days)
        << c.y << "-" << c.mo << "-" << c.d << " " << c.h;
  }
}

TEST(DateTimeMake, RejectsOutOfRangePartsAndLeavesOutput) {
  struct Case {
    int y, mo, d, h, mi, s;
  };
  const Case cases[] = {
      {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0}, {2026, 0, 1, 0, 0, 0},
      {2026, 13, 1, 0, 0, 0}, {2026, 1, 0, 0, 0, 0},  {2026, 1, 32, 0, 0, 0},
      {2026, 4, 31, 0, 0, 0}, {2026, 2, 29, 0, 0, 0}, {1900, 2, 29, 0, 0, 0},
      {2028, 2, 30, 0, 0, 0}, {2026, 1, 1, 24, 0, 0}, {2026, 1, 1, 0, 60, 0},
      {2026, 1, 1, 0, 0, 60}, {2026, 1, 1, -1, 0, 0}, {2026, 1, 1, 0, -1, 0},
      {2026, 1, 1, 0, 0, -1},
  };
  for (const Case& c : cases) {
    DateTime out{123.5};
    EXPECT_FALSE(make_date_time(c.y, c.mo, c.d, c.h, c.mi, c.s, out))
        << c.y << "-" << c.mo << "-" << c.d << " " << c.h << ":" << c.mi << ":" << c.s;
    EXPECT_EQ(out.days, 123.5);
  }
  DateTime out;
  EXPECT_TRUE(make_date_time(2000, 2, 29, 23, 59, 59, out));
  EXPECT_TRUE(make_date_time(2028, 2, 29, 0, 0, 0, out));
}

TEST(DateTimeCalendar, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(is_leap_year(2000));
  EXPECT_TRUE(is_leap_year(2028));
  EXPECT_TRUE(is_leap_year(400));
  EXPECT_FALSE(is_leap_year(1900));
  EXPECT_FALSE(is_leap_year(2100));
  EXPECT_FALSE(is_leap_year(2026));
  const int lengths_2026[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(days_in_month(2026, m), lengths_2026[m - 1]) << m;
  EXPECT_EQ(days_in_month(2028, 2), 29);
  EXPECT_EQ(days_in_month(1900, 2), 28);
}

TEST(DateTimeFormat, TwoBlanksBetweenDateAndTime) {
  EXPECT_EQ(format_date_time(make(2026, 12, 8, 5, 36, 14)), "2026-12-08  05:36:14");
  EXPECT_EQ(format_date_time(make(100, 1, 1)), "0100-01-01  00:00:00");
  EXPECT_EQ(format_date_time(make(9999, 12, 31)), "9999-12-31  00:00:00");
}

TEST(DateTimeSplit, RoundsToTheNearestSecond) {
  struct Case {
    double days;
    const char* text;
  };
  const double base = make(2026, 12, 8, 5, 36, 14).days;
  const double year_end = make(2026, 12, 31, 23, 59, 59).days;
  const Case cases[] = {
      {base + 0.4 * kSecond, "2026-12-08  05:36:14"},
      {base + 0.5 * kSecond, "2026-12-08  05:36:15"},
      {base - 0.4 * kSecond, "2026-12-08  05:36:14"},
      {base - 0.6 * kSecond, "2026-12-08  05:36:13"},
      // Rounding up carries through the day, month and year.
      {year_end + 0.6 * kSecond, "2027-01-01  00:00:00"},
      // Negative values: the time of day is the fraction's size.
      {-1.25, "1899-12-29  06:00:00"},
      {-0.5, "1899-12-30  12:00:00"},
      {-1.25 - 0.5 * kSecond, "1899-12-29  06:00:01"},
      {-1.25 + 0.4 * kSecond, "1899-12-29  06:00:00"},
      // The last half second of a negative day rounds into the next day, not
      // back to the start of the day before.
      {-1.0 - 86399.7 * kSecond, "1899-12-30  00:00:00"},
      {-2.0 - 86399.7 * kSecond, "1899-12-29  00:00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_date_time(DateTime{c.days}), c.text) << c.days;
  }
}

TEST(DateTimeSplit, DayOfWeekStartsOnSunday) {
  struct Case {
    DateTime value;
    int day_of_week;
  };
  const Case cases[] = {
      {make(2026, 12, 8), 2},  {make(2026, 12, 6), 0},  {make(2026, 12, 12), 6},
      {make(1899, 12, 30), 6}, {DateTime{-1.25}, 5},    {make(100, 1, 1), 5},
      {make(2000, 1, 1), 6},   {make(9999, 12, 31), 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(split_date_time(c.value).day_of_week, c.day_of_week) << c.value.days;
  }
}

TEST(DateTimeClamp, OutOfRangeValuesTakeTheNearestEnd) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(clamp_date_time(DateTime{-700000.0}).days, kMinDateTimeDays);
  EXPECT_EQ(clamp_date_time(DateTime{3000000.0}).days, kMaxDateTimeDays);
  EXPECT_EQ(clamp_date_time(DateTime{-inf}).days, kMinDateTimeDays);
  EXPECT_EQ(clamp_date_time(DateTime{inf}).days, kMaxDateTimeDays);
  EXPECT_EQ(clamp_date_time(DateTime{nan}).days, kMinDateTimeDays);
  EXPECT_EQ(clamp_date_time(DateTime{46364.25}).days, 46364.25);
  EXPECT_EQ(format_date_time(DateTime{-1e12}), "0100-01-01  00:00:00");
  EXPECT_EQ(format_date_time(DateTime{1e12}), "9999-12-31  00:00:00");
  EXPECT_EQ(format_date_time(DateTime{kMaxDateTimeDays + 0.75}), "9999-12-31  00:00:00");
}

struct AddCase {
  DateTime start;
  int unit;
  int amount;
  const char* expected;
};

TEST(DateTimeAdd, StepsEveryUnitWithCarry) {
  const AddCase cases[] = {
      // Exact spans, across day, month and year ends, both directions.
      {make(2026, 12, 8, 5, 36, 14), 6, 8, "2026-12-08  13:36:14"},
      {make(2026, 12, 8, 20, 15, 0), 6, 8, "2026-12-09  04:15:00"},
      {make(2026, 12, 31, 23, 59, 59), 8, 1, "2027-01-01  00:00:00"},
      {make(2027, 1, 1, 0, 0, 0), 8, -1, "2026-12-31  23:59:59"},
      {make(2026, 12, 31, 23, 59, 30), 7, 1, "2027-01-01  00:00:30"},
      {make(2028, 2, 28, 12, 0, 0), 5, 1, "2028-02-29  12:00:00"},
      {make(2026, 2, 28, 12, 0, 0), 5, 1, "2026-03-01  12:00:00"},
      {make(2026, 3, 1, 0, 0, 0), 5, -1, "2026-02-28  00:00:00"},
      {make(2026, 12, 28, 7, 0, 0), 4, 1, "2027-01-04  07:00:00"},
      {make(2026, 12, 8, 5, 0, 0), 6, -6, "2026-12-07  23:00:00"},
      {make(2026, 12, 8, 5, 36, 14), 8, 86400, "2026-12-09  05:36:14"},
      // Month-like units cut the day to the target month and keep the time.
      {make(2026, 1, 31, 10, 20, 30), 3, 1, "2026-02-28  10:20:30"},
      {make(2028, 1, 31, 10, 20, 30), 3, 1, "2028-02-29  10:20:30"},
      {make(2026, 3, 31, 10, 20, 30), 3, -1, "2026-02-28  10:20:30"},
      {make(2026, 11, 15, 0, 0, 0), 3, 3, "2027-02-15  00:00:00"},
      {make(2026, 1, 15, 0, 0, 0), 3, -13, "2024-12-15  00:00:00"},
      {make(2026, 12, 31, 0, 0, 0), 3, 1, "2027-01-31  00:00:00"},
      {make(2026, 11, 30, 8, 0, 0), 2, 1, "2027-02-28  08:00:00"},
      {make(2026, 5, 31, 8, 0, 0), 2, -1, "2026-02-28  08:00:00"},
      {make(2028, 2, 29, 23, 59, 59), 1, 1, "2029-02-28  23:59:59"},
      {make(2028, 2, 29, 23, 59, 59), 1, -4, "2024-02-29  23:59:59"},
      {make(2000, 2, 29, 0, 0, 0), 1, 100, "2100-02-28  00:00:00"},
      // Other codes are clamped to 1-8.
      {make(2026, 12, 8, 5, 36, 14), 0, 1, "2027-12-08  05:36:14"},
      {make(2026, 12, 8, 5, 36, 14), -5, 1, "2027-12-08  05:36:14"},
      {make(2026, 12, 8, 5, 36, 14), 9, 1, "2026-12-08  05:36:15"},
      {make(2026, 12, 8, 5, 36, 14), 1000, 1, "2026-12-08  05:36:15"},
      // Before 1899-12-30, where the stored fraction runs the other way.
      {make(1899, 12, 30, 0, 0, 0), 8, -1, "1899-12-29  23:59:59"},
      {DateTime{-1.25}, 6, 20, "1899-12-30  02:00:00"},
      {make(1899, 12, 31, 1, 0, 0), 6, -50, "1899-12-28  23:00:00"},
      {DateTime{-1.75}, 3, 1, "1900-01-29  18:00:00"},
      // The ends of the range hold.
      {make(9999, 12, 31), 5, 1, "9999-12-31  00:00:00"},
      {make(9999, 6, 1), 1, 1, "9999-12-31  00:00:00"},
      {make(100, 1, 1), 8, -1, "0100-01-01  00:00:00"},
      {make(100, 3, 1), 3, -3, "0100-01-01  00:00:00"},
      {make(2026, 1, 1), 8, INT_MAX, "2094-01-19  03:14:07"},
      {make(2026, 1, 1), 4, INT_MIN, "0100-01-01  00:00:00"},
      {make(2026, 1, 1), 1, INT_MAX, "9999-12-31  00:00:00"},
      {make(2026, 1, 1), 2, INT_MIN, "0100-01-01  00:00:00"},
  };
  for (const AddCase& c : cases) {
    EXPECT_EQ(format_date_time(add_to_date_time(c.start, c.unit, c.amount)), c.expected)
        << format_date_time(c.start) << " unit " << c.unit << " amount " << c.amount;
  }
}

TEST(DateTimeAdd, NegativeDatesStayInTheOleForm) {
  EXPECT_DOUBLE_EQ(add_to_date_time(DateTime{-1.25}, 5, 1).days, 0.25);
  EXPECT_DOUBLE_EQ(add_to_date_time(DateTime{0.25}, 5, -1).days, -1.25);
  EXPECT_DOUBLE_EQ(add_to_date_time(DateTime{-1.75}, 6, 12).days, 0.25);
  EXPECT_DOUBLE_EQ(add_to_date_time(DateTime{-0.5}, 6, 1).days, 13.0 / 24.0);
  EXPECT_DOUBLE_EQ(add_to_date_time(DateTime{0.0}, 6, -6).days, -1.75);
}

TEST(DateTimeAdd, ZoneShiftThenRoundTripGivesTheExactSecond) {
  DateTime t = add_to_date_time(make(2026, 12, 8, 5, 36, 14), 6, 8);
  t = add_to_date_time(t, 8, 1);
  EXPECT_EQ(format_date_time(t), "2026-12-08  13:36:15");
  EXPECT_DOUBLE_EQ(t.days, make(2026, 12, 8, 13, 36, 15).days);
}

// The display advances the server time by one second per tick, for days on
// end: every step must land on the next second, never skip or repeat one.
void expect_seconds_in_sequence(DateTime start, int steps) {
  DateTimeParts want = split_date_time(start);
  DateTime t = start;
  for (int i = 1; i <= steps; ++i) {
    const double before = t.days;
    t = add_to_date_time(t, 8, 1);
    ASSERT_GT(std::fabs(t.days - before), 0.0) << "step " << i;
    if (++want.second == 60) {
      want.second = 0;
      if (++want.minute == 60) {
        want.minute = 0;
        if (++want.hour == 24) {
          want.hour = 0;
          if (++want.day > days_in_month(want.year, want.month)) {
            want.day = 1;
            if (++want.month == 13) {
              want.month = 1;
              ++want.year;
            }
          }
        }
      }
    }
    const DateTimeParts got = split_date_time(t);
    ASSERT_TRUE(got.year == want.year && got.month == want.month && got.day == want.day &&
                got.hour == want.hour && got.minute == want.minute && got.second == want.second)
        << "step " << i << " from " << format_date_time(start) << " gave " << format_date_time(t);
  }
}

TEST(DateTimeAdd, OneSecondStepsNeverDrift) {
  expect_seconds_in_sequence(make(2026, 12, 30, 0, 0, 0), 200000);
  expect_seconds_in_sequence(make(2028, 2, 28, 12, 34, 56), 100000);
  expect_seconds_in_sequence(make(1899, 12, 29, 12, 0, 0), 100000);
  // A value that is not on a whole second keeps its place between seconds.
  expect_seconds_in_sequence(DateTime{46364.2334567891}, 200000);
}

}  // namespace
}  // namespace lanchuan

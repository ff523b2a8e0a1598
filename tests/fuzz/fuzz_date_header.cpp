// The Date header comes from whatever answers on the server's address, so
// parse_date_header and date_time_from_text see arbitrary bytes. Beyond "no
// crash, no undefined behaviour": an accepted header names exactly the
// calendar values its pieces were checked for, every accepted value lies in
// the valid range, and its canonical text reads back as the same value.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/gbk_text.h"
#include "fuzz/fuzz_check.h"
#include "timesync/date_parse.h"

namespace lanchuan {
namespace {

using fuzz::escaped;

constexpr double kUntouched = 12345.5;
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool in_range(DateTime value) {
  return value.days >= kMinDateTimeDays && value.days <= kMaxDateTimeDays;
}

std::string printf_parts(const char* format, const DateTimeParts& p) {
  char text[96];
  std::snprintf(text, sizeof text, format, p.year, p.month, p.day, p.hour, p.minute, p.second);
  return text;
}

// A parsed value is a whole second of the calendar: splitting it and building
// it again from the parts gives the very same double.
void check_calendar_value(DateTime value, const std::string& input) {
  FUZZ_CHECK(in_range(value), escaped(input));
  const DateTimeParts p = split_date_time(value);
  DateTime rebuilt{kUntouched};
  FUZZ_CHECK(make_date_time(p.year, p.month, p.day, p.hour, p.minute, p.second, rebuilt),
             escaped(input));
  FUZZ_CHECK(rebuilt.days == value.days, escaped(input) + " -> " + format_date_time(value));
}

void check_header(const std::string& input) {
  DateTime out{kUntouched};
  if (!parse_date_header(input, out)) {
    FUZZ_CHECK(out.days == kUntouched, escaped(input));
    return;
  }
  check_calendar_value(out, input);
  const std::vector<std::string> pieces = split_gbk(input, " ");
  FUZZ_CHECK(pieces.size() == 6 && pieces[5] == "GMT", escaped(input));
  const DateTimeParts p = split_date_time(out);
  const std::string shown = escaped(input) + " -> " + format_date_time(out);
  FUZZ_CHECK(p.year >= 2009 && p.year <= 5000, shown);
  FUZZ_CHECK(p.year == text_to_integer(pieces[3]), shown);
  FUZZ_CHECK(pieces[2] == kMonthNames[p.month - 1], shown);
  FUZZ_CHECK(p.day == text_to_integer(pieces[1]), shown);

  char header[64];
  std::snprintf(header, sizeof header, "Xyz, %02d %s %04d %02d:%02d:%02d GMT", p.day,
                kMonthNames[p.month - 1], p.year, p.hour, p.minute, p.second);
  DateTime again{kUntouched};
  FUZZ_CHECK(parse_date_header(header, again) && again.days == out.days, shown + " / " + header);

  // What the time query does next: eight hours ahead, and the round trip.
  const DateTime local = add_to_date_time(out, 6, 8);
  FUZZ_CHECK(in_range(local) && local.days > out.days, shown);
}

// The everyday shape "2026-12-8 5:36:14" read without the parser, with the
// calendar rules written out again: whether the text is a valid date and
// time, and which one.
bool read_plain_shape(const std::string& text, int (&numbers)[6]) {
  const char separators[5] = {'-', '-', ' ', ':', ':'};
  std::size_t pos = 0;
  for (int i = 0; i < 6; ++i) {
    const std::size_t width = i == 0 ? 4 : 2;
    std::size_t digits = 0;
    numbers[i] = 0;
    for (; digits < width && pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++digits) {
      numbers[i] = numbers[i] * 10 + (text[pos++] - '0');
    }
    if (digits == 0) return false;
    if (i < 5 && (pos == text.size() || text[pos++] != separators[i])) return false;
  }
  return pos == text.size();
}

bool plain_shape_valid(const int (&n)[6]) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (n[0] < 100 || n[1] < 1 || n[1] > 12 || n[2] < 1) return false;
  const bool leap = n[0] % 400 == 0 || (n[0] % 4 == 0 && n[0] % 100 != 0);
  const int month_days = kDays[n[1] - 1] + (n[1] == 2 && leap ? 1 : 0);
  return n[2] <= month_days && n[3] < 24 && n[4] < 60 && n[5] < 60;
}

void check_plain_shape(const std::string& input, bool ok, DateTime out) {
  int n[6];
  if (!read_plain_shape(input, n)) return;
  FUZZ_CHECK(ok == plain_shape_valid(n), escaped(input));
  if (!ok) return;
  const DateTimeParts p = split_date_time(out);
  FUZZ_CHECK(p.year == n[0] && p.month == n[1] && p.day == n[2] && p.hour == n[3] &&
                 p.minute == n[4] && p.second == n[5],
             escaped(input) + " -> " + format_date_time(out));
}

void check_text(const std::string& input) {
  DateTime out{kUntouched};
  const bool ok = try_date_time_from_text(input, out);
  const DateTime plain = date_time_from_text(input);
  check_plain_shape(input, ok, out);
  if (!ok) {
    FUZZ_CHECK(out.days == kUntouched, escaped(input));
    FUZZ_CHECK(plain.days == kMinDateTimeDays, escaped(input));
    return;
  }
  FUZZ_CHECK(plain.days == out.days, escaped(input));
  check_calendar_value(out, input);
  const DateTimeParts p = split_date_time(out);
  const std::string shown = escaped(input) + " -> " + format_date_time(out);
  const char* const forms[] = {
      "%04d-%02d-%02d %02d:%02d:%02d",
      "%04d/%d/%d %d.%d.%d",
      "%04d年%02d月%02d日%02d时%02d分%02d秒",
  };
  for (const char* form : forms) {
    const std::string text = printf_parts(form, p);
    FUZZ_CHECK(date_time_from_text(text).days == out.days, shown + " / " + escaped(text));
  }
}

// The arithmetic and display the parsed value goes through. Bytes 0-7 are a
// double, taken as it is (NaN, infinities, values far outside the range) when
// the top bit of byte 12 is set, else spread over the valid range; bytes 8-11
// are the amount and the low bits of byte 12 the unit, codes outside 1-8
// included. Results stay in the range, read back as calendar texts, and exact
// spans step back to where they started.
void check_arithmetic(const std::uint8_t* data, std::size_t size) {
  if (size < 13) return;
  std::uint64_t bits = 0;
  std::int32_t amount = 0;
  std::memcpy(&bits, data, sizeof bits);
  std::memcpy(&amount, data + 8, sizeof amount);
  double days = 0;
  if (data[12] & 0x80u) {
    std::memcpy(&days, &bits, sizeof days);
  } else {
    days = kMinDateTimeDays + static_cast<double>(bits >> 11) / 9007199254740992.0 *
                                  (kMaxDateTimeDays - kMinDateTimeDays);
  }
  const int unit = (data[12] & 0x0F) - 2;
  const std::string shown = escaped(fuzz::as_text(data, 13));

  const DateTime start = add_to_date_time(DateTime{days}, unit, 0);
  const DateTime moved = add_to_date_time(DateTime{days}, unit, amount);
  FUZZ_CHECK(in_range(start) && in_range(moved), shown);
  for (const DateTime value : {DateTime{days}, moved}) {
    const std::string text = format_date_time(value);
    FUZZ_CHECK(text.size() == 20, shown + " -> " + text);
    // The two blanks of the display become the one the parser takes.
    const std::string one_blank = text.substr(0, 10) + text.substr(11);
    DateTime back{kUntouched};
    FUZZ_CHECK(try_date_time_from_text(one_blank, back), shown + " -> " + text);
  }
  const bool exact_span = unit >= 4;
  const bool clamped = moved.days == kMinDateTimeDays || moved.days == kMaxDateTimeDays;
  if (exact_span && !clamped && amount != INT32_MIN) {
    const DateTime back = add_to_date_time(moved, unit, -amount);
    FUZZ_CHECK(back.days == start.days, shown + " -> " + format_date_time(moved));
  }
}

}  // namespace
}  // namespace lanchuan

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = lanchuan::fuzz::as_text(data, size);
  lanchuan::check_header(input);
  lanchuan::check_text(input);
  lanchuan::check_arithmetic(data, size);
  return 0;
}

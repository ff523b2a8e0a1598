#include "timesync/date_parse.h"

#include <gtest/gtest.h>

#include <string>

namespace lanchuan {
namespace {

constexpr double kUntouched = 12345.5;

struct HeaderCase {
  std::string header;
  const char* expected;  // nullptr: the parse fails
};

void expect_header(const HeaderCase& c) {
  DateTime out{kUntouched};
  const bool ok = parse_date_header(c.header, out);
  if (c.expected == nullptr) {
    EXPECT_FALSE(ok) << "[" << c.header << "] gave " << format_date_time(out);
    EXPECT_EQ(out.days, kUntouched) << "[" << c.header << "]";
  } else {
    EXPECT_TRUE(ok) << "[" << c.header << "]";
    EXPECT_EQ(format_date_time(out), c.expected) << "[" << c.header << "]";
  }
}

TEST(ParseDateHeader, AcceptsTheRfc1123Form) {
  const HeaderCase cases[] = {
      {"Tue, 08 Dec 2026 05:36:14 GMT", "2026-12-08  05:36:14"},
      // Pieces are assembled as written: "8" and "5:36:14" are read as such.
      {"Tue, 8 Dec 2026 5:36:14 GMT", "2026-12-08  05:36:14"},
      {"Tue, 08 Dec 2026 05:36:14 GMT ", "2026-12-08  05:36:14"},
      {"Tue, 08 Dec 2026 05:36 GMT", "2026-12-08  05:36:00"},
      {"Tue, 08 Dec 2026  GMT", "2026-12-08  00:00:00"},
      {"Xyz, 08 Dec 2026 05:36:14 GMT", "2026-12-08  05:36:14"},
      {", 08 Dec 2026 05:36:14 GMT", "2026-12-08  05:36:14"},
      {"Thu, 01 Jan 2009 00:00:00 GMT", "2009-01-01  00:00:00"},
      {"Sun, 31 Dec 5000 23:59:59 GMT", "5000-12-31  23:59:59"},
      {"Tue, 29 Feb 2028 12:00:00 GMT", "2028-02-29  12:00:00"},
      {"Sat, 31 Jan 2026 00:00:00 GMT", "2026-01-31  00:00:00"},
      // Full-width day digits pass the check and the conversion alike.
      {"Tue, \xA3\xB0\xA3\xB8 Dec 2026 05:36:14 GMT", "2026-12-08  05:36:14"},
  };
  for (const HeaderCase& c : cases) expect_header(c);
}

TEST(ParseDateHeader, MonthTable) {
  const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int m = 1; m <= 12; ++m) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "2027-%02d-09  10:11:12", m);
    expect_header({std::string("Mon, 09 ") + names[m - 1] + " 2027 10:11:12 GMT", expected});
  }
}

TEST(ParseDateHeader, RejectsOtherShapes) {
  const HeaderCase cases[] = {
      {"", nullptr},
      {"Tue,  08 Dec 2026 05:36:14 GMT", nullptr},
      {" Tue, 08 Dec 2026 05:36:14 GMT", nullptr},
      {"Tue, 08 Dec 2026 05:36:14 GMT  ", nullptr},
      {"Tue, 08 Dec 2026 05:36:14 UTC", nullptr},
      {"Tue, 08 Dec 2026 05:36:14 gmt", nullptr},
      {"Tue, 08 Dec 2026 05:36:14 +0000", nullptr},
      {"Tue, 08 dec 2026 05:36:14 GMT", nullptr},
      {"Tue, 08 DEC 2026 05:36:14 GMT", nullptr},
      {"Tue, 08 December 2026 05:36:14 GMT", nullptr},
      {"Sun, 06 Nov 1994 08:49:37 GMT", nullptr},
      {"Thu, 31 Dec 2008 23:59:59 GMT", nullptr},
      {"Mon, 01 Jan 5001 00:00:00 GMT", nullptr},
      {"Tue, 00 Dec 2026 05:36:14 GMT", nullptr},
      {"Tue, 32 Dec 2026 05:36:14 GMT", nullptr},
      {"Tue, xx Dec 2026 05:36:14 GMT", nullptr},
      {"Tuesday, 08-Dec-26 05:36:14 GMT", nullptr},
      {"Tue Dec  8 05:36:14 2026", nullptr},
      // A lead byte swallows the blank after it: five pieces.
      {"Tue,\x81 08 Dec 2026 05:36:14 GMT", nullptr},
      // A lone lead byte at the end stays in the last piece.
      {"Tue, 08 Dec 2026 05:36:14 GMT\x81", nullptr},
      {"Tue, 08 Dec 2026 05:36:14 \x81", nullptr},
  };
  for (const HeaderCase& c : cases) expect_header(c);
}

// These pass the five checks; the assembled text is no date, and the parse
// fails rather than handing on 0100-01-01 as the server's time.
TEST(ParseDateHeader, ImpossibleDatesFail) {
  const HeaderCase cases[] = {
      {"Wed, 31 Nov 2026 10:00:00 GMT", nullptr},
      {"Sun, 29 Feb 2026 10:00:00 GMT", nullptr},
      {"Mon, 29 Feb 2100 10:00:00 GMT", nullptr},
      {"Tue, 08 Dec 2026 24:00:00 GMT", nullptr},
      {"Tue, 08 Dec 2026 25:00:00 GMT", nullptr},
      {"Tue, 08 Dec 2026 05:60:00 GMT", nullptr},
      {"Tue, 08 Dec 2026 05:36:60 GMT", nullptr},
      {"Tue, 08 Dec 2026 05:36:14x GMT", nullptr},
      // The checks read "+8" and "02026" as numbers; the pieces as written are
      // not a date.
      {"Tue, +8 Dec 2026 05:36:14 GMT", nullptr},
      {"Tue, 08 Dec 02026 05:36:14 GMT", nullptr},
      {"Tue, 8x Dec 2026 05:36:14 GMT", nullptr},
  };
  for (const HeaderCase& c : cases) expect_header(c);
}

struct TextCase {
  std::string text;
  const char* expected;  // nullptr: not a valid date and time
};

TEST(DateTimeFromText, ReadsSixFieldsWithOptionalSeparators) {
  const TextCase cases[] = {
      {"2026-12-08 05:36:14", "2026-12-08  05:36:14"},
      {"2026/12/8 5:36:14", "2026-12-08  05:36:14"},
      {"2026.12.08 05.36.14", "2026-12-08  05:36:14"},
      {"2026:12:08:05:36:14", "2026-12-08  05:36:14"},
      {"2026-12-08-05-36-14", "2026-12-08  05:36:14"},
      {"20261208 053614", "2026-12-08  05:36:14"},
      {"20261208053614", "2026-12-08  05:36:14"},
      {"2026年12月8 5时36分14秒", "2026-12-08  05:36:14"},
      {"2026年12月8日5时36分14秒", "2026-12-08  05:36:14"},
      {"2026年12月8日", "2026-12-08  00:00:00"},
      {"2026-12-08", "2026-12-08  00:00:00"},
      {"2026-12-08 ", "2026-12-08  00:00:00"},
      {"2026-12-08 05:36", "2026-12-08  05:36:00"},
      {"2026-12-08 05", "2026-12-08  05:00:00"},
      {"2026-12-08 05:36:14秒", "2026-12-08  05:36:14"},
      {"\xA3\xB2\xA3\xB0\xA3\xB2\xA3\xB6\xA3\xAD\xA3\xB1\xA3\xB2\xA3\xAD\xA3\xB0\xA3\xB8"
       "\xA1\xA1\xA3\xB0\xA3\xB5\xA3\xBA\xA3\xB3\xA3\xB6\xA3\xBA\xA3\xB1\xA3\xB4",
       "2026-12-08  05:36:14"},
      {"2028-2-29 00:00:00", "2028-02-29  00:00:00"},
      {"2000-2-29", "2000-02-29  00:00:00"},
      {"0100-01-01 00:00:00", "0100-01-01  00:00:00"},
      {"100-1-1", "0100-01-01  00:00:00"},
      {"9999-12-31", "9999-12-31  00:00:00"},
      // The year takes four digits at most; the fifth starts the month.
      {"20265-12-08", "2026-05-12  08:00:00"},
  };
  for (const TextCase& c : cases) {
    DateTime out{kUntouched};
    EXPECT_TRUE(try_date_time_from_text(c.text, out)) << "[" << c.text << "]";
    EXPECT_EQ(format_date_time(out), c.expected) << "[" << c.text << "]";
    EXPECT_EQ(format_date_time(date_time_from_text(c.text)), c.expected) << "[" << c.text << "]";
  }
}

TEST(DateTimeFromText, InvalidTextsGiveTheSmallestDate) {
  const TextCase cases[] = {
      {"", nullptr},
      {"abc", nullptr},
      {" 2026-12-08", nullptr},
      {"-2026-12-08", nullptr},
      {"2026-2-29 00:00:00", nullptr},
      {"1900-2-29", nullptr},
      {"2026-11-31", nullptr},
      {"2026-13-01", nullptr},
      {"2026-00-10", nullptr},
      {"2026-12-00", nullptr},
      {"2026-12-08 24:00:00", nullptr},
      {"2026-12-08 23:60:00", nullptr},
      {"2026-12-08 23:59:60", nullptr},
      {"0099-12-31", nullptr},
      {"2026--12-08", nullptr},
      {"2026-12-08  05:36:14", nullptr},
      {"2026-12-08 05:36:14 ", nullptr},
      {"2026-12-08 05:36:14x", nullptr},
      {"2026-12-08 05:36:140", nullptr},
      {"2026-12-08 05:36:14秒x", nullptr},
      {"2026-12-08 05:36:14秒秒", nullptr},
      {"2026-12-08 05 36 14", nullptr},
      // One separator at most after each field: "日" and a blank are two.
      {"2026年12月8日 5时36分14秒", nullptr},
      {"2026-12-08 05:36:14\x81", nullptr},
      {"2026\xC4", nullptr},
  };
  for (const TextCase& c : cases) {
    DateTime out{kUntouched};
    EXPECT_FALSE(try_date_time_from_text(c.text, out)) << "[" << c.text << "]";
    EXPECT_EQ(out.days, kUntouched) << "[" << c.text << "]";
    EXPECT_EQ(date_time_from_text(c.text).days, kMinDateTimeDays) << "[" << c.text << "]";
  }
}

}  // namespace
}  // namespace lanchuan

#include "base/gbk_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <string>
#include <vector>

namespace lanchuan {
namespace {

using Pieces = std::vector<std::string>;

// GBK bytes spelled out: "年" is C4 EA, a full-width digit one is A3 B1.
const std::string kYear = "\xC4\xEA";

TEST(SplitGbk, PiecesAtEverySeparator) {
  struct Case {
    std::string text;
    std::string separator;
    Pieces pieces;
  };
  const Case cases[] = {
      {"a b c", " ", {"a", "b", "c"}},
      {"a  b", " ", {"a", "", "b"}},
      {" a", " ", {"", "a"}},
      {"a ", " ", {"a"}},
      {"a  ", " ", {"a", ""}},
      {" ", " ", {""}},
      {"", " ", {}},
      {"abc", " ", {"abc"}},
      {"a, b, c", ", ", {"a", "b", "c"}},
      {"abc", "", {"abc"}},
      {"", "", {}},
      // A lead byte takes the next byte with it, whatever that byte is.
      {"x\x81 y z", " ", {"x\x81 y", "z"}},
      {"\xB0\xA1 \xB0\xA1", " ", {"\xB0\xA1", "\xB0\xA1"}},
      // "年年" holds EA C4 across its two characters; that is no separator.
      {kYear + kYear, "\xEA\xC4", {kYear + kYear}},
      {"2026" + kYear + "12" + kYear, kYear, {"2026", "12"}},
      // A lone lead byte at the end is a character of its own.
      {"a \x81", " ", {"a", "\x81"}},
      {"a\x81", "\x81", {"a"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(split_gbk(c.text, c.separator), c.pieces) << "[" << c.text << "]";
  }
}

TEST(FindGbk, StepsOverDoubleByteCharacters) {
  struct Case {
    std::string text;
    std::string needle;
    std::size_t from;
    long found;
  };
  const Case cases[] = {
      {"abc", "b", 0, 1},
      {"abcb", "b", 2, 3},
      {"abc", "bc", 0, 1},
      {"abc", "x", 0, -1},
      {"abc", "", 0, -1},
      {"abc", "c", 5, -1},
      {"a" + kYear + "b", "b", 0, 3},
      {kYear + kYear, "\xEA\xC4", 0, -1},
      {kYear + kYear, kYear, 2, 2},
      {"\x81@", "@", 0, -1},
      {"\x81@@", "@", 0, 2},
      {"ab\x81", "\x81", 0, 2},
      {"ab\x81", "\x81x", 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(find_gbk(c.text, c.needle, c.from), c.found)
        << "[" << c.text << "] [" << c.needle << "] from " << c.from;
  }
}

TEST(FullWidthToAscii, MapsTheFullWidthBlock) {
  struct Case {
    std::string text;
    std::string ascii;
  };
  const Case cases[] = {
      {"\xA3\xB1\xA3\xB2", "12"},
      {"\xA3\xA1", "!"},
      {"\xA3\xFE", "~"},
      {"\xA3\xAD\xA3\xAE\xA3\xBA", "-.:"},
      {"\xA3\xC1\xA3\xE1", "Aa"},
      {"\xA1\xA1", " "},
      {"a\xA3\xB5z", "a5z"},
      // Outside the block, or not a character boundary: left as it is.
      {"\xA3\xA0", "\xA3\xA0"},
      {"\xA3\xFF", "\xA3\xFF"},
      {"\xA1\xA2", "\xA1\xA2"},
      {kYear, kYear},
      {"\xB0\xA3\xB1", "\xB0\xA3\xB1"},
      {"5\xA3", "5\xA3"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(full_width_to_ascii(c.text), c.ascii) << "[" << c.text << "]";
  }
}

TEST(TextToInteger, ReadsTheLeadingDecimalInteger) {
  struct Case {
    std::string text;
    long long value;
  };
  const Case cases[] = {
      {"42", 42},
      {"  42", 42},
      {"-7x", -7},
      {"+5", 5},
      {"08", 8},
      {"12.9", 12},
      {"", 0},
      {"abc", 0},
      {"- 5", 0},
      {"-", 0},
      {"\xA3\xB1\xA3\xB2", 12},
      {"\xA3\xAD\xA3\xB3", -3},
      {"\xA1\xA1"
       "8",
       8},
      {"9223372036854775807", LLONG_MAX},
      {"-9223372036854775808", LLONG_MIN},
      {"9223372036854775808", LLONG_MAX},
      {"99999999999999999999", LLONG_MAX},
      {"-99999999999999999999", LLONG_MIN},
      {"7\x81", 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text_to_integer(c.text), c.value) << "[" << c.text << "]";
  }
}

TEST(TextToNumber, ReadsOnlyDecimalForms) {
  struct Case {
    std::string text;
    double value;
  };
  const Case cases[] = {
      {"59", 59.0},
      {"2.5", 2.5},
      {"   3", 3.0},
      {"-1.5e2", -150.0},
      {"+.5", 0.5},
      {".5", 0.5},
      {"5.", 5.0},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"2E-1x", 0.2},
      {"12abc", 12.0},
      {"1,5", 1.0},
      {"", 0.0},
      {".", 0.0},
      {"-", 0.0},
      {"e5", 0.0},
      {"abc", 0.0},
      // Forms a C library would read but a typed number never is.
      {"0x10", 0.0},
      {"inf", 0.0},
      {"-infinity", 0.0},
      {"nan", 0.0},
      // Full-width digits, sign and point.
      {"\xA3\xB1\xA3\xB0", 10.0},
      {"\xA3\xB1\xA3\xAE\xA3\xB5", 1.5},
      {"\xA3\xAD\xA3\xB2", -2.0},
      {"\xA1\xA1"
       "7",
       7.0},
      // Beyond a double: the nearest value it can hold, never infinity.
      {"1e400", DBL_MAX},
      {"-1e400", -DBL_MAX},
      {"0.001e312", DBL_MAX},
      {"0.0001e309", 1e305},
      {"1e99999999999999999999", DBL_MAX},
      {"1e-400", 0.0},
      {"0e99999", 0.0},
      {"7\x81", 7.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text_to_number(c.text), c.value) << "[" << c.text << "]";
  }
}

TEST(FormatG13, ShortestFormWithThirteenDigits) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {59.0, "59"},
      {2.5, "2.5"},
      {0.0, "0"},
      {-1.0, "-1"},
      {0.1 + 0.2, "0.3"},
      {1234567890123.0, "1234567890123"},
      {12345678901234.0, "1.234567890123e+13"},
      {1e-5, "1e-05"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_g13(c.value), c.text) << c.value;
}

}  // namespace
}  // namespace lanchuan

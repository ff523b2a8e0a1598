#include "ui/input_rules.h"

#include <gtest/gtest.h>

namespace lanchuan {
namespace {

TEST(IntegerInput, AcceptsDigitsMinusAndControlCharacters) {
  for (unsigned c :
       {unsigned('0'), unsigned('5'), unsigned('9'), unsigned('-'), 8u, 3u, 22u, 0x1Bu, 31u}) {
    EXPECT_TRUE(accepts_integer_char(c)) << c;
  }
}

TEST(IntegerInput, DropsEverythingElse) {
  for (unsigned c : {unsigned('a'), unsigned(' '), unsigned('+'), unsigned('.'), unsigned('/'),
                     unsigned(':'), 127u, 0xB0u, 0xA3u, 0xFF10u}) {
    EXPECT_FALSE(accepts_integer_char(c)) << c;
  }
}

}  // namespace
}  // namespace lanchuan

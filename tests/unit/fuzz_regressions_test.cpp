// Inputs the fuzz targets of tests/fuzz stopped on, kept as unit tests so the
// everyday suite checks them on every run, without clang or libFuzzer.
#include <gtest/gtest.h>

#include <cfloat>
#include <limits>
#include <string>

#include "base/gbk_text.h"

namespace lanchuan {
namespace {

// fuzz_text_number stopped on the first text: just below the smallest normal
// double, it rounds up to it, and strtod flags that as an underflow. The
// conversion was right; the target had taken every underflow for zero. What
// it holds: correctly rounded values down through the subnormals, zero only
// below half the smallest of them, the sign kept.
TEST(FuzzRegressions, NumbersAtTheBottomOfTheDoubleRange) {
  const double smallest = std::numeric_limits<double>::denorm_min();
  struct Case {
    std::string text;
    double value;
  };
  const Case cases[] = {
      {"2.22507385850720124e-308{", DBL_MIN},
      {"2.2250738585072014e-308", DBL_MIN},
      {"1e-310", 1e-310},
      {"-1e-310x", -1e-310},
      {"4.9e-324", smallest},
      {"3e-324", smallest},
      {"2e-324", 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text_to_number(c.text), c.value) << "[" << c.text << "]";
  }
}

}  // namespace
}  // namespace lanchuan

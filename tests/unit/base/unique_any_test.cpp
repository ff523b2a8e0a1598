#include "base/unique_any.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace lanchuan {
namespace {

std::vector<int> g_closed;

struct CountingTraits {
  using type = int;
  static constexpr int invalid() { return -1; }
  static void close(int h) { g_closed.push_back(h); }
};
using Handle = unique_any<CountingTraits>;

class UniqueAny : public ::testing::Test {
 protected:
  void SetUp() override { g_closed.clear(); }
};

TEST_F(UniqueAny, ClosesOnceAtTheEndOfItsScope) {
  {
    Handle h(7);
    EXPECT_TRUE(h);
  }
  EXPECT_EQ(g_closed, std::vector<int>{7});
  {
    Handle empty;
    EXPECT_FALSE(empty);
  }
  EXPECT_EQ(g_closed.size(), 1u);
}

TEST_F(UniqueAny, MovesOwnership) {
  Handle a(1);
  Handle b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.get(), 1);
  Handle c(2);
  c = std::move(b);
  EXPECT_EQ(g_closed, std::vector<int>{2});
  EXPECT_EQ(c.get(), 1);
}

TEST_F(UniqueAny, ResetAndRelease) {
  Handle h(3);
  h.reset(4);
  EXPECT_EQ(g_closed, std::vector<int>{3});
  EXPECT_EQ(h.release(), 4);
  EXPECT_FALSE(h);
  h.reset();
  EXPECT_EQ(g_closed, std::vector<int>{3});
}

}  // namespace
}  // namespace lanchuan

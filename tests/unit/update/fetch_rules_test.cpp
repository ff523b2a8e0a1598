#include "update/fetch_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace lanchuan {
namespace {

TEST(FetchRules, UrlIsCutAtTheFirstHash) {
  EXPECT_EQ(url_without_fragment("http://a.example/b.jpg#one#two"), "http://a.example/b.jpg");
  EXPECT_EQ(url_without_fragment("http://a.example/b.jpg?x=%23"), "http://a.example/b.jpg?x=%23");
  EXPECT_EQ(url_without_fragment("#only"), "");
}

TEST(FetchRules, ReadChunkFollowsContentLength) {
  struct Case {
    bool header_read;
    const char* value;
    std::size_t chunk;
  };
  const Case cases[] = {
      {false, "500", 10240},        {true, "", 10240},
      {true, "0", 10240},           {true, "-5", 10240},
      {true, "abc", 10240},         {true, "1", 2},
      {true, "500", 501},           {true, " 42", 43},
      {true, "102399", 102400},     {true, "102400", 102400},
      {true, "4294967296", 102400}, {true, "99999999999999999999999", 102400},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_chunk_size(c.header_read, c.value), c.chunk)
        << c.header_read << " '" << c.value << "'";
  }
}

TEST(FetchRules, BodyUpToTheLimitIsKept) {
  BodyCollector body(10);
  EXPECT_TRUE(body.append("abcd", 4));
  EXPECT_TRUE(body.append("efghij", 6));
  EXPECT_FALSE(body.over_limit());
  EXPECT_EQ(body.take(), "abcdefghij");
}

TEST(FetchRules, BodyPastTheLimitIsDropped) {
  BodyCollector body(10);
  EXPECT_TRUE(body.append("abcdefgh", 8));
  EXPECT_FALSE(body.append("ijk", 3));
  EXPECT_TRUE(body.over_limit());
  EXPECT_FALSE(body.append("", 0));
  EXPECT_EQ(body.take(), "");
}

}  // namespace
}  // namespace lanchuan

#include "timesync/time_query.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fakes/fake_http.h"

namespace lanchuan {
namespace {

using fakes::FakeHeadRequestFactory;
using fakes::FakeTickCounter;

constexpr double kUntouched = 777.25;

TEST(QueryServerTime, AddsEightHoursAndTheWholeRoundTripSeconds) {
  struct Case {
    const char* header;
    std::uint32_t t0;
    std::uint32_t t1;
    const char* expected;
  };
  const Case cases[] = {
      {"Tue, 08 Dec 2026 05:36:14 GMT", 5000, 6300, "2026-12-08  13:36:15"},
      {"Tue, 08 Dec 2026 20:15:00 GMT", 5000, 5400, "2026-12-09  04:15:00"},
      {"Thu, 31 Dec 2026 23:59:59 GMT", 5000, 7100, "2027-01-01  08:00:01"},
      {"Sat, 28 Feb 2026 15:59:59 GMT", 0, 1000, "2026-03-01  00:00:00"},
      {"Mon, 28 Feb 2028 16:00:00 GMT", 0, 0, "2028-02-29  00:00:00"},
      {"Tue, 08 Dec 2026 05:36:14 GMT", 100, 1099, "2026-12-08  13:36:14"},
      {"Tue, 08 Dec 2026 05:36:14 GMT", 100, 2600, "2026-12-08  13:36:16"},
      // The counter wraps between the readings: 0x400 ms elapsed.
      {"Tue, 08 Dec 2026 05:36:14 GMT", 0xFFFFFF00u, 0x00000300u, "2026-12-08  13:36:15"},
      {"Tue, 08 Dec 2026 05:36:14 GMT", 0xFFFFFFFFu, 0x000007CFu, "2026-12-08  13:36:16"},
  };
  for (const Case& c : cases) {
    FakeHeadRequestFactory factory(c.header);
    FakeTickCounter ticks({c.t0, c.t1});
    DateTime server_time{kUntouched};
    EXPECT_TRUE(query_server_time(factory, ticks, "http://time.example", server_time)) << c.header;
    EXPECT_EQ(format_date_time(server_time), c.expected) << c.header << " " << c.t0;
    EXPECT_EQ(factory.log.alive, 0);
  }
}

TEST(QueryServerTime, RequestIsSetUpAndSentInOrder) {
  FakeHeadRequestFactory factory("Tue, 08 Dec 2026 05:36:14 GMT");
  FakeTickCounter ticks({1000, 2000}, &factory.log);
  DateTime server_time;
  ASSERT_TRUE(query_server_time(factory, ticks, "http://time.example", server_time));

  const std::vector<std::string> expected = {
      "create", "timeouts", "redirects",   "open HEAD http://time.example/123.123",
      "tick",   "send",     "header Date", "tick"};
  EXPECT_EQ(factory.log.calls, expected);
  EXPECT_EQ(factory.log.resolve_ms, 5000);
  EXPECT_EQ(factory.log.connect_ms, 5000);
  EXPECT_EQ(factory.log.send_ms, 10000);
  EXPECT_EQ(factory.log.receive_ms, 5000);
  EXPECT_EQ(factory.log.follow_redirects, 0);
  EXPECT_EQ(factory.log.deadline_ms, 25000);  // the four time-outs together
  EXPECT_EQ(factory.log.created, 1);
  EXPECT_EQ(factory.log.alive, 0);
}

TEST(QueryServerTime, UrlIsJoinedAsItStands) {
  struct Case {
    const char* url;
    const char* opened;
  };
  const Case cases[] = {
      {"http://time.example", "open HEAD http://time.example/123.123"},
      {"http://time.example/", "open HEAD http://time.example//123.123"},
      {"", "open HEAD /123.123"},
  };
  for (const Case& c : cases) {
    FakeHeadRequestFactory factory("Tue, 08 Dec 2026 05:36:14 GMT");
    FakeTickCounter ticks({0, 0});
    DateTime server_time;
    query_server_time(factory, ticks, c.url, server_time);
    ASSERT_GE(factory.log.calls.size(), 4u);
    EXPECT_EQ(factory.log.calls[3], c.opened);
  }
}

TEST(QueryServerTime, FailuresLeaveTheServerTimeAsItWas) {
  struct Case {
    const char* what;
    const char* header;
    bool missing;
    int created;
    bool out_of_time = false;
  };
  const Case cases[] = {
      {"no component", "Tue, 08 Dec 2026 05:36:14 GMT", true, 0},
      {"empty header", "", false, 1},
      {"not a date", "garbage", false, 1},
      {"RFC 850 form", "Tuesday, 08-Dec-26 05:36:14 GMT", false, 1},
      {"year before 2009", "Sun, 06 Nov 1994 08:49:37 GMT", false, 1},
      {"31 November", "Wed, 31 Nov 2026 10:00:00 GMT", false, 1},
      {"hour 24", "Tue, 08 Dec 2026 24:00:00 GMT", false, 1},
      {"past the deadline", "Tue, 08 Dec 2026 05:36:14 GMT", false, 1, true},
  };
  for (const Case& c : cases) {
    FakeHeadRequestFactory factory(c.header, c.missing);
    factory.log.expire_deadline = c.out_of_time;
    FakeTickCounter ticks({0, 1000});
    DateTime server_time{kUntouched};
    EXPECT_FALSE(query_server_time(factory, ticks, "http://time.example", server_time)) << c.what;
    EXPECT_EQ(server_time.days, kUntouched) << c.what;
    EXPECT_EQ(factory.log.created, c.created) << c.what;
    EXPECT_EQ(factory.log.alive, 0) << c.what;
  }
}

TEST(QueryServerTime, MissingComponentMakesNoRequest) {
  FakeHeadRequestFactory factory("Tue, 08 Dec 2026 05:36:14 GMT", true);
  FakeTickCounter ticks({0, 1000});
  DateTime server_time{kUntouched};
  EXPECT_FALSE(query_server_time(factory, ticks, "http://time.example", server_time));
  EXPECT_EQ(factory.log.calls, std::vector<std::string>{"create"});
  EXPECT_EQ(ticks.reads, 0);
}

TEST(HttpTimeQuery, ForwardsToTheQuery) {
  FakeHeadRequestFactory factory("Tue, 08 Dec 2026 05:36:14 GMT");
  FakeTickCounter ticks({0, 1300});
  HttpTimeQuery query(factory, ticks);
  TimeQuery& port = query;
  DateTime server_time{kUntouched};
  EXPECT_TRUE(port.query_server_time("http://time.example/", server_time));
  EXPECT_EQ(format_date_time(server_time), "2026-12-08  13:36:15");
  EXPECT_EQ(factory.log.calls[3], "open HEAD http://time.example//123.123");
}

// The displayed server time then advances one second per tick; starting from
// a queried value it must count on without skipping a second.
TEST(QueryServerTime, QueriedTimeAdvancesBySeconds) {
  FakeHeadRequestFactory factory("Thu, 31 Dec 2026 15:59:58 GMT");
  FakeTickCounter ticks({0, 1999});
  DateTime t;
  ASSERT_TRUE(query_server_time(factory, ticks, "http://time.example", t));
  const char* expected[] = {"2026-12-31  23:59:59", "2027-01-01  00:00:00", "2027-01-01  00:00:01"};
  for (const char* text : expected) {
    EXPECT_EQ(format_date_time(t), text);
    t = add_to_date_time(t, 8, 1);
  }
}

}  // namespace
}  // namespace lanchuan

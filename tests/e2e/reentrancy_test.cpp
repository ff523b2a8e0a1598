// A run nested inside another, with real timing: the fetch button starts a
// run against slow servers (each answers after about 2 s), and the interval
// countdown runs out while that run waits between servers, so the interval's
// run goes through completely inside it. The nesting shows at the servers: the
// button's run alone asks server 0 twice (its own text, then list item 0)
// before server 1 answers; with a run nested inside it, server 0 is asked
// four times. Afterwards the interval option is switched off and, once the
// servers have gone quiet, the controls must match the outcome of the runs.
// Inside one query, though, nothing starts: what another program sends then
// waits for the query's end.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/servers.h"
#include "timesync/servers.h"
#include "ui/layout.h"
#include "ui/tray_icon_win32.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

constexpr int kSlowMs = 2000;
constexpr const char* kInterval = "5";
constexpr const char* kNoServer = "时间服务器连接失败......";

FakeResponse slow_without_date() {
  FakeResponse r;
  r.delay_ms = kSlowMs;
  r.date.clear();
  return r;
}

FakeResponse slow_with_time() {
  FakeResponse r;
  r.delay_ms = kSlowMs;
  return r;
}

// "2026-12-09  02:12:29"
bool looks_like_a_time(const std::string& text) {
  if (text.size() != 20 || text.substr(10, 2) != "  ") return false;
  for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 12u, 13u, 15u, 16u, 18u, 19u}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

class Reentrancy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server0.listening());
    ASSERT_TRUE(server1.listening());
    server0.set_response(slow_without_date());
    server1.set_response(slow_with_time());
    // Interval 5: the box shows 4 ... 0 and the sixth tick starts a run, well
    // after the update check two seconds from the start has blocked the
    // window for a moment (ticks missed meanwhile come back to back).
    ASSERT_TRUE(
        write_settings_file("[voru]\r\n是否间隔=是\r\n间隔秒=" + std::string(kInterval) + "\r\n"));
  }
  void TearDown() override {
    app.kill();
    delete_settings_file();
  }

  // Clicks 获取时间 when the interval countdown is two ticks from its end: the
  // button's run waits between servers at least twice, each time after a 2 s
  // request, so the countdown runs out inside it.
  // `server1_answers` are server 1's answers from the click on.
  void click_fetch_as_the_countdown_runs_out(const std::vector<FakeResponse>& server1_answers) {
    const DWORD t0 = GetTickCount();
    ASSERT_TRUE(app.start());
    const DWORD started = GetTickCount() - t0;
    ASSERT_TRUE(app.ticked(Id::选择框_间隔校时));
    std::string seen;
    std::string last;
    ASSERT_TRUE(wait_until(
        [&] {
          const std::string now = app.text(Id::编辑框_间隔秒);
          if (now != last) seen += " " + now + "@" + std::to_string(GetTickCount() - t0);
          last = now;
          return now == "1";
        },
        30000, 10))
        << app.text(Id::编辑框_间隔秒);
    printf("start took %lu ms; interval box:%s\n", started, seen.c_str());
    // A slow first start may have let an interval run through already, which
    // leaves server 1 in the combo box; the button's run starts at server 0.
    app.send(app.control(Id::组合框1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kServerList[0]));
    server1.set_responses(server1_answers);
    clicked_at = GetTickCount();
    app.mouse_click(Id::图形按钮_获取时间);
  }

  // Switches the interval off (the click is handled when the program next
  // looks at its messages, at the latest after the request in progress) and
  // waits until no server has been asked anything for a while.
  void stop_interval_and_wait_for_quiet() {
    DWORD_PTR result = 0;
    ASSERT_NE(0, SendMessageTimeoutA(app.control(Id::选择框_间隔校时), BM_CLICK, 0, 0, SMTO_NORMAL,
                                     30000, &result));
    EXPECT_FALSE(app.ticked(Id::选择框_间隔校时));
    size_t seen = total_requests();
    DWORD quiet_since = GetTickCount();
    ASSERT_TRUE(wait_until(
        [&] {
          if (total_requests() != seen) {
            seen = total_requests();
            quiet_since = GetTickCount();
          }
          return GetTickCount() - quiet_since > 3 * kSlowMs;
        },
        60000, 100));
    print_timeline();
  }

  size_t total_requests() const { return server0.request_count() + server1.request_count(); }

  // Arrival times of the requests since the click, in ms after it.
  std::vector<long> since_click(const FakeHttpServer& server) const {
    std::vector<long> times;
    for (unsigned long t : server.request_ticks()) {
      const long ms = static_cast<long>(t - clicked_at);
      if (ms >= 0) times.push_back(ms);
    }
    return times;
  }

  size_t server0_requests() const { return since_click(server0).size(); }
  size_t server1_requests() const { return since_click(server1).size(); }

  // Requests to server 0 before the first answer could come from server 1.
  size_t server0_requests_before_server1() const {
    const std::vector<long> t0 = since_click(server0);
    const std::vector<long> t1 = since_click(server1);
    if (t1.empty()) return t0.size();
    return static_cast<size_t>(
        std::count_if(t0.begin(), t0.end(), [&](long t) { return t < t1.front(); }));
  }

  void print_timeline() const {
    std::vector<std::pair<long, int>> events;
    for (long t : since_click(server0)) events.push_back({t, 0});
    for (long t : since_click(server1)) events.push_back({t, 1});
    std::sort(events.begin(), events.end());
    printf("requests after the click:");
    for (const auto& e : events) printf(" s%d@%ldms", e.second, e.first);
    printf("\n");
  }

  void expect_settled_controls(bool last_run_succeeded) {
    EXPECT_TRUE(app.running());
    EXPECT_TRUE(app.enabled(Id::图形按钮_获取时间));
    EXPECT_EQ(last_run_succeeded, app.enabled(Id::图形按钮_开始校准));
    EXPECT_TRUE(app.enabled(Id::编辑框_间隔秒));
    EXPECT_EQ(kInterval, app.text(Id::编辑框_间隔秒));
    if (last_run_succeeded) {
      // The one-second tick shows the running server time.
      EXPECT_TRUE(
          wait_until([&] { return looks_like_a_time(app.text(Id::编辑框_服务器时间)); }, 3000))
          << app.text(Id::编辑框_服务器时间);
    } else {
      EXPECT_EQ(kNoServer, app.text(Id::编辑框_服务器时间));
    }
  }

  FakeHttpServer server0{builtin_server_ip(0), 80};
  FakeHttpServer server1{builtin_server_ip(1), 80};
  AppDriver app;
  unsigned long clicked_at = 0;
};

TEST_F(Reentrancy, IntervalRunNestedInTheButtonsRunBothSucceed) {
  click_fetch_as_the_countdown_runs_out({slow_with_time()});
  // The nested run's answer from server 1, then the button's own.
  ASSERT_TRUE(wait_until([&] { return server1_requests() >= 2; }, 40000, 50));
  stop_interval_and_wait_for_quiet();

  EXPECT_EQ(4u, server0_requests());
  EXPECT_GE(server0_requests_before_server1(),
            3u);  // the nested run asked before either got an answer
  expect_settled_controls(true);
  EXPECT_EQ(kServerList[1], app.text(Id::组合框1));
}

TEST_F(Reentrancy, NestedRunThatFindsNoServerIsFollowedByTheButtonsSuccess) {
  // The nested run reaches server 1 first and gets no time; the button's run
  // then gets one.
  click_fetch_as_the_countdown_runs_out({slow_without_date(), slow_with_time()});
  ASSERT_TRUE(wait_until([&] { return server1_requests() >= 2; }, 60000, 50));
  stop_interval_and_wait_for_quiet();

  EXPECT_EQ(4u, server0_requests());
  EXPECT_GE(server0_requests_before_server1(), 3u);
  expect_settled_controls(true);
}

TEST_F(Reentrancy, ButtonsRunThatFindsNoServerKeepsTheTimeTheNestedRunFound) {
  // The nested run gets the time from server 1; the button's run, going on
  // after it, finds no server of its own. A server time fresh from the nested
  // run stands, so the clock can still be set from it.
  click_fetch_as_the_countdown_runs_out({slow_with_time(), slow_without_date()});
  ASSERT_TRUE(wait_until([&] { return server1_requests() >= 2; }, 60000, 50));
  stop_interval_and_wait_for_quiet();

  EXPECT_EQ(4u, server0_requests());
  EXPECT_GE(server0_requests_before_server1(), 3u);
  expect_settled_controls(true);
  EXPECT_EQ(kServerList[kServerCount - 1], app.text(Id::组合框1));  // the button's run swept on
}

TEST_F(Reentrancy, TrayMenuAskedForDuringAQueryOpensAtTheCursorOnceTheQueryHasEnded) {
  constexpr DWORD kHeldMs = 5000;
  ASSERT_TRUE(write_settings_file("[voru]\r\n是否间隔=否\r\n"));
  FakeResponse held;
  held.delay_ms = kHeldMs;
  server0.set_response(held);
  ASSERT_TRUE(app.start());
  app.send(app.control(Id::组合框1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kServerList[0]));
  app.mouse_click(Id::图形按钮_获取时间);
  ASSERT_TRUE(wait_until([&] { return server0.request_count() == 1; }, 10000, 10));
  const DWORD asked = server0.request_ticks().front();
  Sleep(1000);

  // The shell's right click on the icon: answered at once, the menu put off.
  SetCursorPos(600, 500);
  const DWORD sent = GetTickCount();
  DWORD_PTR result = 0;
  EXPECT_NE(0, SendMessageTimeoutA(app.main_window(), win32::kTrayMessage, win32::kTrayIconId,
                                   WM_RBUTTONUP, SMTO_NORMAL, 3000, &result));
  EXPECT_LT(GetTickCount() - sent, 1000u);
  const auto menu_window = [&] { return app.top_level_window("#32768"); };
  HWND menu = nullptr;
  wait_until([&] { return (menu = menu_window()) != nullptr; }, kHeldMs - (GetTickCount() - asked),
             10);
  EXPECT_EQ(nullptr, menu) << "opened " << GetTickCount() - asked << " ms into the query";

  ASSERT_TRUE(wait_until([&] { return (menu = menu_window()) != nullptr; }, 5000, 10));
  EXPECT_GE(GetTickCount() - asked, kHeldMs);
  RECT r{};
  GetWindowRect(menu, &r);
  EXPECT_NEAR(r.right, 595, 2);
  EXPECT_NEAR(r.top, 495, 2);
  EXPECT_EQ(1u, server0.request_count());
  app.post_key(menu, VK_ESCAPE);  // killed with its menu open, it ends slowly under Wine
  ASSERT_TRUE(wait_until([&] { return menu_window() == nullptr; }, 3000));
}

}  // namespace
}  // namespace lanchuan::e2e

// Time servers that misbehave. Whatever a server sends, the query ends within
// its deadline and gives either failure or the right time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "base/deadlines.h"
#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/process.h"
#include "e2e/support/process_stats.h"
#include "e2e/support/servers.h"
#include "timesync/servers.h"
#include "ui/layout.h"

namespace lanchuan::e2e {
namespace {

constexpr const char* kDate = "Tue, 08 Dec 2026 05:36:14 GMT";

ProcessResult query(const FakeHttpServer& server) {
  return run_cli("query " + server.url(), 90000);
}

// Success must carry the header's time plus 8 hours and the whole seconds of
// the round trip (which the slow servers make long).
void expect_failure_or_right_time(const ProcessResult& r) {
  ASSERT_FALSE(r.timed_out);
  if (r.exit_code == 0) {
    const std::string line = first_line(r.out);
    ASSERT_EQ(20u, line.size()) << line;
    EXPECT_EQ("2026-12-08  13:36:", line.substr(0, 18));
    const int seconds = std::stoi(line.substr(18));
    EXPECT_GE(seconds, 14);
    EXPECT_LE(seconds, 14 + static_cast<int>(r.elapsed_ms / 1000) + 1);
  } else {
    EXPECT_EQ(1u, r.exit_code) << r.err;
  }
}

std::string answer_with_headers(const std::string& headers) {
  return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: 0\r\nConnection: close\r\n\r\n";
}

TEST(HostileServer, TricklesItsAnswerAByteAtATime) {
  FakeHttpServer server;
  FakeResponse r;
  r.date = kDate;
  r.trickle_ms = 60;  // about 6 s for the whole answer
  server.set_response(r);
  const ProcessResult result = query(server);
  expect_failure_or_right_time(result);
  EXPECT_LT(result.elapsed_ms, 30000u);
}

// One byte every 2 s, and the head never ends: each byte restarts the request
// object's receive time-out, so only the query's own deadline ends it.
FakeResponse drips_forever() {
  FakeResponse r;
  r.raw = "HTTP/1.1 200 OK\r\nX-Drip: " + std::string(1000, 'd');
  r.trickle_ms = 2000;
  return r;
}

TEST(HostileServer, DripsForeverAndTheQueryGivesUpAtItsDeadline) {
  FakeHttpServer server;
  server.set_response(drips_forever());
  const ProcessResult result = query(server);
  printf("query against a dripping server ended after %lu ms\n", result.elapsed_ms);
  ASSERT_FALSE(result.timed_out);
  EXPECT_EQ(1u, result.exit_code) << result.out;
  EXPECT_LT(result.elapsed_ms, 30000u);
}

// A server that drips and then one that stays silent, each the only server,
// each holding its connection for 5 s past the query's deadline: while the
// window waits for each, it answers WM_NULL, never silent for long (a probe
// every quarter second), is never taken for hung, and each query ends by its
// deadline. The request's
// own thread ends with it; under Wine 8 the request object keeps a thread of
// its own blocked on the socket until the server lets go (Windows documents
// that Abort ends a pending Send).
TEST(HostileServer, DripsOrStaysSilentAndTheWindowAnswersThroughout) {
  delete_settings_file();
  auto servers = builtin_servers(1);  // the server the combo box names at start
  AppDriver app;
  ASSERT_TRUE(app.start());
  // The only server: no failover.
  app.send(app.control(ControlId::选择框_自动尝试下一服务器), BM_CLICK, 0, 0);
  ASSERT_TRUE(wait_until([&] { return !app.ticked(ControlId::选择框_自动尝试下一服务器); }, 5000));
  Sleep(3000);  // past the update check at two seconds
  const long baseline = thread_count(app.process_id());

  const int held_ms = kTimeQueryDeadlineMs + 5000;
  FakeResponse drip;
  drip.raw = "HTTP/1.1 200 OK\r\nX-Drip: " + std::string(held_ms / 1000 - 25, 'd');
  drip.trickle_ms = 1000;
  FakeResponse silent;
  silent.never_answer = true;
  silent.silent_ms = held_ms;
  const FakeResponse kinds[] = {drip, silent};
  for (size_t k = 0; k < 2; ++k) {
    servers[0]->set_response(kinds[k]);
    const DWORD clicked = GetTickCount();
    app.mouse_click(ControlId::图形按钮_获取时间);
    ASSERT_TRUE(wait_until([&] { return servers[0]->request_count() == k + 1; }, 10000));
    AnswerWatch watch(app.main_window());
    while (!app.enabled(ControlId::图形按钮_获取时间) && GetTickCount() - clicked < 40000) {
      watch.probe();
      EXPECT_FALSE(IsHungAppWindow(app.main_window()));
      Sleep(250);
    }
    const DWORD answered = GetTickCount() - clicked;
    printf(
        "%s server: the run ended after %lu ms; longest silence %lu ms, %d of %d probes "
        "answered late\n",
        k == 0 ? "dripping" : "silent", answered, watch.longest_silence_ms(), watch.missed(),
        watch.probes());
    EXPECT_LT(watch.longest_silence_ms(), kLongestSilenceMs);
    EXPECT_LT(answered, 30000u);
    EXPECT_EQ("时间服务器连接失败......", app.text(ControlId::编辑框_服务器时间));
  }
  const long after_runs = thread_count(app.process_id());
  // Wine's thread blocked on the silent server's socket, and one idle in its pool.
  EXPECT_LE(after_runs, baseline + 2);
  long threads = -1;
  EXPECT_TRUE(wait_until([&] { return (threads = thread_count(app.process_id())) <= baseline; },
                         10000, 500));
  printf("threads: %ld before the queries, %ld after them, %ld once the servers let go\n", baseline,
         after_runs, threads);
}

TEST(HostileServer, SendsAMegabyteOfHeaders) {
  std::string filler;
  while (filler.size() < 1024 * 1024) filler += "X-Filler: " + std::string(990, 'a') + "\r\n";
  FakeHttpServer server;
  FakeResponse r;
  r.raw = answer_with_headers(filler + "Date: " + kDate + "\r\n");
  server.set_response(r);
  const ProcessResult result = query(server);
  expect_failure_or_right_time(result);
  EXPECT_LT(result.elapsed_ms, 30000u);
}

TEST(HostileServer, SendsADateHeaderOf64Kilobytes) {
  FakeHttpServer server;
  FakeResponse r;
  r.date = std::string(kDate) + std::string(64 * 1024, 'x');
  server.set_response(r);
  const ProcessResult result = query(server);
  EXPECT_EQ(1u, result.exit_code) << result.out;
  EXPECT_LT(result.elapsed_ms, 30000u);
}

TEST(HostileServer, SendsBinaryGarbageInsteadOfHttp) {
  std::mt19937 random(20261208);
  std::string garbage(8192, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  FakeHttpServer server;
  FakeResponse r;
  r.raw = garbage;
  server.set_response(r);
  const ProcessResult result = query(server);
  EXPECT_EQ(1u, result.exit_code) << result.out;
  EXPECT_LT(result.elapsed_ms, 30000u);
}

TEST(HostileServer, ResetsTheConnectionInTheMiddleOfTheHeaders) {
  FakeHttpServer server;
  FakeResponse r;
  r.raw =
      answer_with_headers("X-Padding: " + std::string(200, 'p') + "\r\nDate: " + kDate + "\r\n");
  r.reset_after = 100;  // inside the padding, before the Date header
  server.set_response(r);
  const ProcessResult result = query(server);
  EXPECT_EQ(1u, result.exit_code) << result.out;
  EXPECT_LT(result.elapsed_ms, 30000u);
}

// Every answer redirects to the same place again; redirects are never
// followed, so the first answer's own Date gives the time.
TEST(HostileServer, EndlessRedirectChain) {
  FakeHttpServer server;
  FakeResponse r;
  r.status = 302;
  r.date = kDate;
  r.extra_headers = "Location: " + server.url() + "/123.123\r\n";
  server.set_response(r);
  const ProcessResult result = query(server);
  EXPECT_EQ(0u, result.exit_code) << result.err;
  EXPECT_EQ("2026-12-08  13:36:14", first_line(result.out));
  EXPECT_EQ(1u, server.request_count());
}

// The window's failover walks through one hostile server after another and
// stays responsive; the last, redirecting server gives the time.
TEST(HostileServer, WindowSurvivesASweepOverEveryKind) {
  delete_settings_file();
  auto servers = builtin_servers(kServerCount);
  std::string filler;
  while (filler.size() < 1024 * 1024) filler += "X-Filler: " + std::string(990, 'a') + "\r\n";
  std::mt19937 random(7);
  std::string garbage(8192, '\0');
  for (char& c : garbage) c = static_cast<char>(random());

  FakeResponse trickle;
  trickle.date.clear();
  trickle.trickle_ms = 20;
  FakeResponse huge_headers;
  huge_headers.raw = answer_with_headers(filler);
  FakeResponse huge_date;
  huge_date.date = std::string(kDate) + std::string(64 * 1024, 'x');
  FakeResponse binary;
  binary.raw = garbage;
  FakeResponse reset;
  reset.raw =
      answer_with_headers("X-Padding: " + std::string(200, 'p') + "\r\nDate: " + kDate + "\r\n");
  reset.reset_after = 100;
  FakeResponse silent_close;
  silent_close.close_without_answer = true;
  FakeResponse redirect;
  redirect.status = 301;
  redirect.date = kDate;
  redirect.extra_headers = "Location: " + servers[6]->url() + "/123.123\r\n";
  const FakeResponse answers[kServerCount] = {trickle, huge_headers, huge_date, binary,
                                              reset,   silent_close, redirect};
  for (int i = 0; i < kServerCount; ++i) servers[i]->set_response(answers[i]);

  AppDriver app;
  ASSERT_TRUE(app.start());
  app.mouse_click(ControlId::图形按钮_获取时间);
  ASSERT_TRUE(wait_until(
      [&] { return app.text(ControlId::编辑框_服务器时间).rfind("2026-12-08  13:36:", 0) == 0; },
      120000, 200))
      << app.text(ControlId::编辑框_服务器时间);
  DWORD_PTR answer = 0;
  EXPECT_NE(0,
            SendMessageTimeoutA(app.main_window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
  EXPECT_EQ(kServerList[6], app.text(ControlId::组合框1));
  EXPECT_TRUE(app.enabled(ControlId::图形按钮_获取时间));
  EXPECT_TRUE(app.enabled(ControlId::图形按钮_开始校准));
  EXPECT_TRUE(app.running());
  for (int i = 1; i < kServerCount; ++i) EXPECT_EQ(1u, servers[i]->request_count()) << i;
}

}  // namespace
}  // namespace lanchuan::e2e

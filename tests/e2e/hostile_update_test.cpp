// An update host that never stops sending. The program reads the update file
// up to a limit far above any real one and then gives up on it: its memory
// stays bounded, it closes the connection, the window goes on answering and
// the bottom line keeps its design-time text.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "base/deadlines.h"
#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/process_stats.h"
#include "e2e/support/servers.h"
#include "e2e/support/update_fixture.h"
#include "ui/layout.h"
#include "update/update_config.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

constexpr unsigned long long kMiB = 1024 * 1024;
// The file is read into memory at most once; the rest is WinINet's buffers.
constexpr unsigned long long kAllowedGrowth = 32 * kMiB;

bool answers(HWND window, UINT timeout_ms = 3000) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeout_ms, &result) != 0;
}

class HostileUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    delete_settings_file();
    ASSERT_TRUE(host.listening());
  }
  void TearDown() override { app.kill(); }

  // Starts the program and follows its memory for `watch_ms` from before the
  // update check; returns the growth of the larger of the two figures.
  unsigned long long start_and_watch(DWORD watch_ms) {
    EXPECT_TRUE(app.start());
    const ProcessStats before = read_process_stats(app.process_handle(), app.process_id());
    ProcessStats peak = before;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < watch_ms && app.running()) {
      const ProcessStats now = read_process_stats(app.process_handle(), app.process_id());
      peak.working_set = std::max(peak.working_set, now.working_set);
      peak.private_bytes = std::max(peak.private_bytes, now.private_bytes);
      Sleep(100);
    }
    printf("before: %s\npeak:   %s\nstreamed: %llu bytes, closed by the client: %zu\n",
           describe(before).c_str(), describe(peak).c_str(), host.bytes_streamed(),
           host.streams_closed_by_client());
    EXPECT_GT(before.working_set, 0u) << "the memory figures could not be read";
    return std::max(peak.working_set - before.working_set,
                    peak.private_bytes - before.private_bytes);
  }

  FakeHttpServer host{kUpdateHostIp, 80};
  AppDriver app;
};

// One byte of the head every second, for longer than the fetch may take: only
// the fetch's own deadline ends it. The window keeps answering WM_NULL while
// it waits, never silent for long. At the deadline the request is closed, which on
// Windows ends the worker's blocking call. Wine 8 does not always: there the
// worker may stay until the host lets go, and it ends then.
TEST_F(HostileUpdate, HostThatDripsIsGivenUpAtTheDeadline) {
  FakeResponse r;
  r.raw = "HTTP/1.0 200 OK\r\nX-Drip: " + std::string(11, 'd');  // 36 s of head
  r.trickle_ms = 1000;
  host.set_response(r);
  ASSERT_TRUE(app.start());
  const long threads_before = thread_count(app.process_id());
  ASSERT_TRUE(wait_until([&] { return host.request_count() == 1; }, 15000));
  const DWORD fetching = host.request_ticks().at(0);  // when the request came
  AnswerWatch watch(app.main_window());
  while (GetTickCount() - fetching < kUpdateFetchDeadlineMs + 2000) {
    watch.probe();
    Sleep(250);
  }
  printf("longest silence %lu ms, %d of %d probes answered late\n", watch.longest_silence_ms(),
         watch.missed(), watch.probes());
  EXPECT_LT(watch.longest_silence_ms(), kLongestSilenceMs);
  const long after_deadline = thread_count(app.process_id());
  long threads = -1;
  EXPECT_TRUE(wait_until(
      [&] { return (threads = thread_count(app.process_id())) <= threads_before; }, 12000, 200));
  printf(
      "threads: %ld before the fetch, %ld 2 s after its deadline, %ld once the host let go "
      "(%lu ms after the request)\n",
      threads_before, after_deadline, threads, GetTickCount() - fetching);
  EXPECT_EQ(std::string(control_row(Id::标签_底栏).caption), app.text(Id::标签_底栏));
  EXPECT_EQ(nullptr, app.top_level_window("#32770"));
}

TEST_F(HostileUpdate, EndlessBodyIsCutAtTheLimitAndTheWindowKeepsAnswering) {
  FakeResponse r;
  r.stream_forever = true;
  host.set_response(r);
  const unsigned long long growth = start_and_watch(10000);
  ASSERT_TRUE(app.running());
  EXPECT_EQ(1u, host.request_count());
  EXPECT_LT(growth, kAllowedGrowth);

  // The program hung up once it had read past the limit: what was sent is the
  // limit plus what the socket buffers held.
  EXPECT_EQ(1u, host.streams_closed_by_client());
  EXPECT_GE(host.bytes_streamed(), kMaxUpdateFileBytes);
  EXPECT_LT(host.bytes_streamed(), kMaxUpdateFileBytes + 16 * kMiB);

  EXPECT_TRUE(answers(app.main_window()));
  EXPECT_EQ(std::string(control_row(Id::标签_底栏).caption), app.text(Id::标签_底栏));
  EXPECT_EQ(nullptr, app.top_level_window("#32770"));  // no new-version prompt
}

// A real file at the head of the stream does not make the whole acceptable:
// past the limit nothing of it is used.
TEST_F(HostileUpdate, ValidFileFollowedByEndlessBytesIsIgnoredWhole) {
  UpdateFileFields f;
  f.status_text = "不应显示";
  f.latest_version = "9.9";
  FakeResponse r;
  r.stream_forever = true;
  r.body = make_update_file(f);
  host.set_response(r);
  const unsigned long long growth = start_and_watch(8000);
  ASSERT_TRUE(app.running());
  EXPECT_LT(growth, kAllowedGrowth);
  EXPECT_EQ(1u, host.streams_closed_by_client());
  EXPECT_TRUE(answers(app.main_window()));
  EXPECT_EQ(std::string(control_row(Id::标签_底栏).caption), app.text(Id::标签_底栏));
  EXPECT_EQ(nullptr, app.top_level_window("#32770"));
}

}  // namespace
}  // namespace lanchuan::e2e

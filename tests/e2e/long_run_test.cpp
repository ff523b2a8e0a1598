// The tool left running with the interval option at one second against a
// local server that serves the current time: a run, a set clock and a success
// tip every few seconds, the clock face redrawn every second. Its handles, GDI
// objects and memory, read from outside, must stay flat after a warm-up.
// LANCHUAN_LONG_RUN_SECONDS sets the length (45 s by default; tests/long_run.sh
// runs it for minutes).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/process_stats.h"
#include "e2e/support/servers.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

constexpr DWORD kDefaultSeconds = 45;
constexpr DWORD kWarmUpSeconds = 20;
constexpr DWORD kSampleMs = 2000;
// The figures of a window are its smallest: a sample taken in the middle of a
// run also counts the run's request object, its threads and the tip.
constexpr DWORD kWindowSeconds = 10;

constexpr long kHandleTolerance = 10;
constexpr long kGdiTolerance = 10;
constexpr unsigned long long kPrivateTolerance = 2 * 1024 * 1024;

constexpr const char* kTipClass = "LanchuanBalloonTip";
constexpr const char* kSuccessTip = "校时完成 ！";

DWORD run_seconds() {
  char value[32] = {};
  if (GetEnvironmentVariableA("LANCHUAN_LONG_RUN_SECONDS", value, sizeof value) == 0) {
    return kDefaultSeconds;
  }
  const long seconds = std::strtol(value, nullptr, 10);
  return seconds > static_cast<long>(kWarmUpSeconds + 2 * kWindowSeconds)
             ? static_cast<DWORD>(seconds)
             : kWarmUpSeconds + 2 * kWindowSeconds;
}

struct Sample {
  DWORD seconds;
  ProcessStats stats;
};

// The smallest of each figure over the samples in [from, to).
ProcessStats floor_of(const std::vector<Sample>& samples, DWORD from, DWORD to) {
  ProcessStats f;
  bool first = true;
  for (const Sample& s : samples) {
    if (s.seconds < from || s.seconds >= to) continue;
    if (first) {
      f = s.stats;
      first = false;
      continue;
    }
    f.handles = std::min(f.handles, s.stats.handles);
    f.threads = std::min(f.threads, s.stats.threads);
    f.gdi_objects = std::min(f.gdi_objects, s.stats.gdi_objects);
    f.working_set = std::min(f.working_set, s.stats.working_set);
    f.private_bytes = std::min(f.private_bytes, s.stats.private_bytes);
  }
  return f;
}

void print(const char* label, const ProcessStats& s) {
  printf("%-28s %s\n", label, describe(s).c_str());
  fflush(stdout);
}

TEST(LongRun, HandlesGdiObjectsAndMemoryStayFlat) {
  const DWORD seconds = run_seconds();
  FakeHttpServer server(builtin_server_ip(0), 80);
  ASSERT_TRUE(server.listening());
  FakeResponse now;
  now.align_to_second = true;  // close enough to the truth for Wine to accept it
  server.set_response(now);
  ASSERT_TRUE(write_settings_file("[voru]\r\n是否间隔=是\r\n间隔秒=1\r\n"));
  AppDriver app;
  const DWORD launched = GetTickCount();
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(app.ticked(Id::选择框_间隔校时));
  printf("window shown after %lu ms; running for %lu s, a sample every %lu ms\n",
         GetTickCount() - launched, seconds, kSampleMs);

  std::vector<Sample> samples;
  int success_tips_seen = 0;
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed_ms = GetTickCount() - start;
    if (elapsed_ms > seconds * 1000 || !app.running()) break;
    samples.push_back(
        {elapsed_ms / 1000, read_process_stats(app.process_handle(), app.process_id())});
    const HWND tip = app.top_level_window(kTipClass);
    if (tip && app.text(tip) == kSuccessTip) ++success_tips_seen;
    if (samples.size() % 30 == 1) {
      printf("t=%4lus runs=%-4zu ", samples.back().seconds, server.request_count());
      print("", samples.back().stats);
    }
    Sleep(kSampleMs - (GetTickCount() - start - elapsed_ms) % kSampleMs);
  }
  ASSERT_TRUE(app.running()) << "the program ended during the run";
  ASSERT_GE(samples.size(), 10u);
  const Sample& first = samples.front();
  const Sample& last = samples.back();
  const DWORD end = last.seconds + 1;
  const ProcessStats settled = floor_of(samples, kWarmUpSeconds, kWarmUpSeconds + kWindowSeconds);
  const ProcessStats final_floor = floor_of(samples, end - kWindowSeconds, end);

  print("start:", first.stats);
  print("after warm-up (floor):", settled);
  print("end (floor of last 10 s):", final_floor);
  print("end:", last.stats);
  printf("runs: %zu, success tips seen: %d, samples: %zu, stamping misses: %zu\n",
         server.request_count(), success_tips_seen, samples.size(), server.stamping_misses());

  ASSERT_GE(first.stats.handles, 0) << "the handle count could not be read";
  ASSERT_GE(first.stats.gdi_objects, 0) << "the GDI objects could not be counted";
  ASSERT_GT(first.stats.private_bytes, 0u) << "the memory could not be read";
  EXPECT_LE(final_floor.handles, settled.handles + kHandleTolerance);
  EXPECT_LE(final_floor.threads, settled.threads);
  EXPECT_LE(final_floor.gdi_objects, settled.gdi_objects + kGdiTolerance);
  EXPECT_LE(final_floor.private_bytes, settled.private_bytes + kPrivateTolerance);

  // It did work all along: a run every few seconds, and tips that said so.
  EXPECT_GE(server.request_count(), static_cast<size_t>(seconds / 6));
  EXPECT_GT(success_tips_seen, 0);
  DWORD_PTR result = 0;
  EXPECT_NE(0,
            SendMessageTimeoutA(app.main_window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
  app.kill();
  delete_settings_file();
}

}  // namespace
}  // namespace lanchuan::e2e

// The balloon tip 气球提示框1 under Wine, reached the way a user reaches it:
// a calibration against a time server on loopback whose answer either lets
// the clock be set (the success tip hides itself) or not (the failure tip
// stays until the next press in the program).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "ui/layout.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

constexpr const char* kTipClass = "LanchuanBalloonTip";

class BalloonTip : public ::testing::Test {
 protected:
  // The server is the chosen one; the delayed option is on (with a delay far
  // beyond the test), so that a server time found sets the clock at once.
  void start_with(const FakeResponse& response) {
    ASSERT_TRUE(server.listening());
    server.set_response(response);
    ASSERT_TRUE(write_settings_file("[lx]\r\nfuwuqi=" + server.url() +
                                    "\r\n[voru]\r\n是否自动=是\r\n秒=600\r\n"));
    ASSERT_TRUE(app.start());
    ASSERT_EQ(app.text(Id::组合框1), server.url());
  }
  // Clicks 图形按钮_获取时间 and waits for the tip; the milliseconds until it
  // was first seen (then also in tip_seen_at).
  DWORD click_and_wait_for_tip() {
    const DWORD start = GetTickCount();
    app.mouse_click(Id::图形按钮_获取时间);
    EXPECT_TRUE(wait_until(
        [&] {
          tip_seen_at = GetTickCount();
          return tip() != nullptr;
        },
        10000));
    return tip_seen_at - start;
  }
  HWND tip() const { return app.top_level_window(kTipClass); }
  void TearDown() override {
    app.kill();
    delete_settings_file();
  }

  FakeHttpServer server;
  AppDriver app;
  DWORD tip_seen_at = 0;
};

TEST_F(BalloonTip, FailureTipAppearsAfterTheDelayAndStaysUntilAPress) {
  FakeResponse wrong_time;
  wrong_time.date = http_date_now(3 * 3600);  // Wine refuses to move its clock
  start_with(wrong_time);
  const DWORD shown_after = click_and_wait_for_tip();
  EXPECT_GE(shown_after, 590u);
  EXPECT_LT(shown_after, 5000u);
  const HWND window = tip();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(app.text(window).find("【时间修改失败】"), 12u) << app.text(window);
  const LONG ex = GetWindowLongA(window, GWL_EXSTYLE);
  const LONG wanted = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED;
  EXPECT_EQ(ex & wanted, wanted);
  EXPECT_EQ(GetParent(window), nullptr);
  BYTE alpha = 0;  // faded in
  wait_until(
      [&] { return GetLayeredWindowAttributes(window, nullptr, &alpha, nullptr) && alpha == 255; },
      2000);
  app.save_screenshot("balloon_tip", window);

  Sleep(4500);  // well past the display time of a tip that hides itself
  EXPECT_EQ(tip(), window);

  const HWND page = app.control(Id::图片框_正常页);
  app.post(page, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 295));
  app.post(page, WM_LBUTTONUP, 0, MAKELPARAM(150, 295));
  EXPECT_TRUE(wait_until([&] { return tip() == nullptr; }, 2000));
}

TEST_F(BalloonTip, SuccessTipHidesItselfAfterAboutThreeSeconds) {
  FakeResponse now;
  now.align_to_second = true;  // Wine sets its clock only to (about) the time it has
  start_with(now);
  click_and_wait_for_tip();
  const HWND window = tip();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(app.text(window), "校时完成 ！") << "stamping misses: " << server.stamping_misses();
  // From the look that first found the tip to the one that found it gone.
  DWORD gone_at = 0;
  ASSERT_TRUE(wait_until(
      [&] {
        gone_at = GetTickCount();
        return tip() == nullptr;
      },
      8000));
  const DWORD up_for = gone_at - tip_seen_at;
  EXPECT_GE(up_for, 2900u);
  EXPECT_LT(up_for, 4500u);
  EXPECT_TRUE(app.running());
}

TEST_F(BalloonTip, ANewTipReplacesTheOneUp) {
  FakeResponse wrong_time;
  wrong_time.date = http_date_now(3 * 3600);
  start_with(wrong_time);
  click_and_wait_for_tip();
  const HWND first = tip();
  ASSERT_NE(first, nullptr);
  // 开始校准 is enabled now; its click sets the clock again: a second tip.
  ASSERT_TRUE(app.enabled(Id::图形按钮_开始校准));
  app.send(app.control(Id::图形按钮_开始校准), BM_CLICK, 0, 0);
  EXPECT_TRUE(wait_until([&] { return !IsWindow(first); }, 2000));
  EXPECT_TRUE(wait_until([&] { return tip() != nullptr; }, 3000));
}

}  // namespace
}  // namespace lanchuan::e2e

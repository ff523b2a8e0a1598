// Run by the rig without a default route: Wine reports no network
// connection, so neither the update check nor a calibration contacts anyone.
#include <gtest/gtest.h>
#include <windows.h>

#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/servers.h"
#include "e2e/support/update_fixture.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

TEST(Offline, NoUpdateRequestAndNoTimeQuery) {
  delete_settings_file();
  FakeHttpServer host(kUpdateHostIp, 80);
  FakeHttpServer time_server(builtin_server_ip(0), 80);
  ASSERT_TRUE(host.listening());
  FakeResponse r;
  UpdateFileFields f;
  f.status_text = "不应显示";
  r.body = make_update_file(f);
  host.set_response(r);

  AppDriver app;
  ASSERT_TRUE(app.start());
  const std::string design_text = app.text(Id::标签_底栏);
  app.mouse_click(Id::图形按钮_获取时间);
  EXPECT_TRUE(
      wait_until([&] { return app.text(Id::编辑框_服务器时间) == "未连接网络......"; }, 8000))
      << app.text(Id::编辑框_服务器时间);
  Sleep(4000);  // well past the update timer's 2 s
  EXPECT_EQ(0u, host.request_count());
  EXPECT_EQ(0u, time_server.request_count());
  EXPECT_EQ(design_text, app.text(Id::标签_底栏));
  // A run without a connection leaves the buttons as they were.
  EXPECT_TRUE(app.enabled(Id::图形按钮_获取时间));
  EXPECT_FALSE(app.enabled(Id::图形按钮_开始校准));
}

}  // namespace
}  // namespace lanchuan::e2e

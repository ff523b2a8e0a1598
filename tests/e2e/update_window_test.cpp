// The update check through the window: two seconds after start the program
// fetches the update file from the update host (a fake server on loopback via
// the private hosts file), shows its announcement in the bottom line, and asks
// about a newer version. Also the logon shortcut option.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "app/logon.h"
#include "app/logon_win32.h"
#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/process.h"
#include "e2e/support/servers.h"
#include "e2e/support/shortcut_reader.h"
#include "e2e/support/update_fixture.h"
#include "ui/layout.h"
#include "update/update_config.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

constexpr const char* kUrlRecord = "C:\\opened_url.txt";

std::string read_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Web addresses opened through the shell are written to a file instead of
// starting a browser: the class of http:// runs cmd's echo.
void record_opened_urls() {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0,
                                           nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  const std::string command = std::string("cmd.exe /c echo %1> ") + kUrlRecord;
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>(command.size() + 1));
  RegCloseKey(key);
  DeleteFileA(kUrlRecord);
}

// The new-version prompt: a task-modal message box of the program.
HWND prompt(const AppDriver& app) {
  HWND box = app.top_level_window("#32770");
  return box && app.text(box) == "更新提示！" ? box : nullptr;
}

class UpdateWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    delete_settings_file();
    ASSERT_TRUE(host.listening());
  }
  void TearDown() override { app.kill(); }
  void serve(const UpdateFileFields& fields) {
    FakeResponse r;
    r.body = make_update_file(fields);
    host.set_response(r);
  }
  FakeHttpServer host{kUpdateHostIp, 80};
  AppDriver app;
};

TEST_F(UpdateWindow, ValidFileSetsTheBottomLineAndItsLink) {
  record_opened_urls();
  UpdateFileFields f;
  f.status_text = "蓝川自动校时 3.5 正式版";
  f.status_address = "http://www.lanchuan.example/news/";
  serve(f);
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(wait_until([&] { return app.text(Id::标签_底栏) == f.status_text; }, 10000))
      << app.text(Id::标签_底栏);
  ASSERT_EQ(1u, host.request_count());
  EXPECT_EQ("GET /GengXin/DEdodovez/DEdodovez.jpg HTTP/1.0", host.request_lines()[0]);
  Sleep(1000);
  EXPECT_EQ(nullptr, prompt(app));  // latest version "3.5": no prompt

  app.mouse_click(Id::标签_底栏);
  ASSERT_TRUE(wait_until([&] { return !read_file(kUrlRecord).empty(); }, 10000));
  EXPECT_EQ(0u, read_file(kUrlRecord).find(f.status_address)) << read_file(kUrlRecord);
  EXPECT_EQ(1u, host.request_count());  // once per start
}

TEST_F(UpdateWindow, OlderLatestVersionPromptsAndCancelDoesNothing) {
  UpdateFileFields f;
  f.latest_version = "3.4";
  f.download_address = "http://www.lanchuan.example/download/LanchuanTimeSync-3.4.zip";
  serve(f);
  ASSERT_TRUE(app.start());
  HWND box = nullptr;
  ASSERT_TRUE(wait_until([&] { return (box = prompt(app)) != nullptr; }, 10000));
  EXPECT_EQ("发现新版本 \r\n当前版本：3.5\r\n最新版本：3.4\r\n点确定下载新版！",
            app.text(GetDlgItem(box, 0xFFFF)));
  EXPECT_NE(nullptr, GetDlgItem(box, IDOK));
  ASSERT_NE(nullptr, GetDlgItem(box, IDCANCEL));
  app.send(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_TRUE(wait_until([&] { return prompt(app) == nullptr; }, 5000));
  Sleep(500);
  EXPECT_TRUE(app.running());
  EXPECT_EQ(1u, host.request_count());
  DWORD_PTR answer = 0;  // still answering
  EXPECT_NE(0,
            SendMessageTimeoutA(app.main_window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
}

TEST_F(UpdateWindow, ErrorPageChangesNothing) {
  FakeResponse r;
  r.status = 404;
  r.body = "<html><body><h1>404 Not Found</h1></body></html>";
  host.set_response(r);
  ASSERT_TRUE(app.start());
  const std::string design_text = app.text(Id::标签_底栏);
  ASSERT_TRUE(wait_until([&] { return host.request_count() > 0; }, 10000));
  Sleep(1500);
  EXPECT_EQ(design_text, app.text(Id::标签_底栏));
  EXPECT_EQ(nullptr, prompt(app));
}

TEST_F(UpdateWindow, SiteTagWithATrailingBlankIsIgnoredWhole) {
  UpdateFileFields f;
  f.site = "青禾 ";
  f.status_text = "不应显示";
  f.latest_version = "9.9";
  serve(f);
  ASSERT_TRUE(app.start());
  const std::string design_text = app.text(Id::标签_底栏);
  ASSERT_TRUE(wait_until([&] { return host.request_count() > 0; }, 10000));
  Sleep(1500);
  EXPECT_EQ(design_text, app.text(Id::标签_底栏));
  EXPECT_EQ(nullptr, prompt(app));
}

TEST_F(UpdateWindow, LogonOptionCreatesAndDeletesTheShortcut) {
  win32::Win32LogonShortcuts logon;
  const std::string folder = logon.startup_folder();
  ASSERT_FALSE(folder.empty());
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = logon_shortcut_path(folder);
  DeleteFileA(path.c_str());

  ASSERT_TRUE(app.start());
  EXPECT_FALSE(app.ticked(Id::选择框_开机后自动启动));
  app.send(app.control(Id::选择框_开机后自动启动), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.ticked(Id::选择框_开机后自动启动));
  ReadBack back;
  ASSERT_TRUE(read_shortcut(path, back)) << path;
  EXPECT_EQ(exe_folder() + "LanchuanTimeSync.exe", back.target);
  EXPECT_EQ("auto", back.arguments);
  EXPECT_EQ("可以自动校时。", back.description);
  EXPECT_EQ(exe_folder().substr(0, exe_folder().size() - 1), back.working_directory);
  EXPECT_EQ(5, stored_show_command(path));
  EXPECT_EQ(app.control(Id::图形按钮_获取时间), app.focused_window());

  // A restart shows the state of the file.
  app.kill();
  ASSERT_TRUE(app.start());
  EXPECT_TRUE(app.ticked(Id::选择框_开机后自动启动));
  app.send(app.control(Id::选择框_开机后自动启动), BM_CLICK, 0, 0);
  EXPECT_FALSE(app.ticked(Id::选择框_开机后自动启动));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
  app.kill();
  ASSERT_TRUE(app.start());
  EXPECT_FALSE(app.ticked(Id::选择框_开机后自动启动));
}

}  // namespace
}  // namespace lanchuan::e2e

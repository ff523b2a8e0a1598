// The Windows side of the update check and of the logon shortcut, in process
// under Wine: the WinINet fetch against a fake server on loopback, the Startup
// folder from the registry, and a real shell link written and read back.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "app/logon.h"
#include "app/logon_win32.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/shortcut_reader.h"
#include "platform/win32/com_win32.h"
#include "update/update_config.h"
#include "update/update_ports_win32.h"

namespace lanchuan::e2e {
namespace {

using win32::ComPtr;

FakeResponse body_response(int status, const std::string& body) {
  FakeResponse r;
  r.status = status;
  r.body = body;
  return r;
}

std::string binary_body(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return body;
}

TEST(UrlFetcher, ReturnsTheBodyWhateverTheStatus) {
  win32::Win32UrlFetcher fetcher;
  for (int status : {200, 404}) {
    FakeHttpServer server;
    ASSERT_TRUE(server.listening());
    const std::string body = status == 200 ? binary_body(300000) : "<html>404 Not Found</html>";
    server.set_response(body_response(status, body));
    const std::string got =
        fetcher.fetch_url_bytes(server.url() + "/GengXin/DEdodovez/DEdodovez.jpg");
    EXPECT_EQ(got.size(), body.size()) << status;
    EXPECT_TRUE(got == body) << status;
  }
}

TEST(UrlFetcher, SendsAnUncachedHttp10GetWithoutTheFragment) {
  FakeHttpServer server;
  server.set_response(body_response(200, "x"));
  win32::Win32UrlFetcher fetcher;
  EXPECT_EQ(fetcher.fetch_url_bytes(server.url() + "/Geng%20Xin/a.jpg?v=3.5#part"), "x");
  EXPECT_EQ(fetcher.fetch_url_bytes(server.url() + "/Geng%20Xin/a.jpg?v=3.5#part"), "x");
  ASSERT_EQ(server.request_count(), 2u);  // the second is not served from a cache
  EXPECT_EQ(server.request_lines()[0], "GET /Geng%20Xin/a.jpg?v=3.5 HTTP/1.0");
  const std::string head = server.requests()[0];
  EXPECT_NE(head.find("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"),
            std::string::npos)
      << head;
  EXPECT_NE(head.find("Accept: */*"), std::string::npos) << head;
}

TEST(UrlFetcher, BodyOverTheLimitGivesNothing) {
  win32::Win32UrlFetcher fetcher;
  FakeHttpServer at_limit;
  at_limit.set_response(body_response(200, binary_body(kMaxUpdateFileBytes)));
  EXPECT_EQ(fetcher.fetch_url_bytes(at_limit.url() + "/f").size(), kMaxUpdateFileBytes);
  FakeHttpServer over;
  over.set_response(body_response(200, binary_body(kMaxUpdateFileBytes + 1)));
  EXPECT_EQ(fetcher.fetch_url_bytes(over.url() + "/f"), "");
}

TEST(UrlFetcher, FailuresGiveNothing) {
  win32::Win32UrlFetcher fetcher;
  EXPECT_EQ(fetcher.fetch_url_bytes(""), "");
  EXPECT_EQ(fetcher.fetch_url_bytes("http://127.0.0.1:" + std::to_string(refused_port()) + "/f"),
            "");
  EXPECT_EQ(fetcher.fetch_url_bytes("not a url"), "");
  // The update host is no one's: it does not resolve in the test namespace.
  EXPECT_EQ(fetcher.fetch_url_bytes(kUpdateUrl), "");
}

// --- Logon shortcut -------------------------------------------------------

constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Replaces the "Startup" value for one test and puts the old one back.
class StartupValue {
 public:
  StartupValue() {
    RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                    &key_, nullptr);
    char buffer[1024] = {};
    DWORD size = sizeof(buffer);
    had_value_ = RegQueryValueExA(key_, "Startup", nullptr, &old_type_,
                                  reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
    if (had_value_) old_data_.assign(buffer, size);
  }
  ~StartupValue() {
    if (had_value_) {
      RegSetValueExA(key_, "Startup", 0, old_type_, reinterpret_cast<const BYTE*>(old_data_.data()),
                     static_cast<DWORD>(old_data_.size()));
    } else {
      RegDeleteValueA(key_, "Startup");
    }
    RegCloseKey(key_);
  }
  StartupValue(const StartupValue&) = delete;
  StartupValue& operator=(const StartupValue&) = delete;

  void set(DWORD type, const std::string& text) {
    RegSetValueExA(key_, "Startup", 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  }
  void remove() { RegDeleteValueA(key_, "Startup"); }

 private:
  HKEY key_ = nullptr;
  bool had_value_ = false;
  DWORD old_type_ = REG_NONE;
  std::string old_data_;
};

TEST(LogonShortcuts, StartupFolderFromTheRegistry) {
  EXPECT_NE(win32::get_startup_folder().find("Programs\\StartUp"), std::string::npos)
      << win32::get_startup_folder();

  StartupValue value;
  value.set(REG_SZ, "C:\\启动\\%TEMP%");
  EXPECT_EQ(win32::get_startup_folder(), "C:\\启动\\%TEMP%");
  SetEnvironmentVariableA("LANCHUAN_STARTUP", "D:\\自启");
  value.set(REG_EXPAND_SZ, "%LANCHUAN_STARTUP%\\Startup");
  EXPECT_EQ(win32::get_startup_folder(), "D:\\自启\\Startup");
  value.set(REG_BINARY, "C:\\binary");
  EXPECT_EQ(win32::get_startup_folder(), "");
  value.remove();
  EXPECT_EQ(win32::get_startup_folder(), "");
}

TEST(LogonShortcuts, ProgramPathIsSplitAtTheLastBackslash) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  win32::Win32LogonShortcuts logon;
  EXPECT_EQ(logon.program_folder() + "\\" + logon.program_file_name(), path);
  EXPECT_EQ(logon.program_file_name().find('\\'), std::string::npos);
}

TEST(LogonShortcuts, CreateReadBackAndDelete) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "启动文件夹";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = logon_shortcut_path(folder);

  win32::Win32LogonShortcuts logon;
  ShortcutFields fields;
  fields.target = logon.program_folder() + "\\" + logon.program_file_name();
  fields.arguments = "auto";
  fields.description = "可以自动校时。";
  fields.working_directory = logon.program_folder();
  fields.show_command = 5;
  EXPECT_FALSE(logon.file_exists(path));
  ASSERT_TRUE(logon.create_shortcut(path, fields));
  EXPECT_TRUE(logon.file_exists(path));

  ReadBack back;
  ASSERT_TRUE(read_shortcut(path, back));
  EXPECT_EQ(back.target, fields.target);
  EXPECT_EQ(back.arguments, "auto");
  EXPECT_EQ(back.description, "可以自动校时。");
  EXPECT_EQ(back.working_directory, fields.working_directory);
  EXPECT_EQ(stored_show_command(path), 5);

  // Ticking again overwrites the file.
  fields.working_directory = "C:\\";
  EXPECT_TRUE(logon.create_shortcut(path, fields));
  ASSERT_TRUE(read_shortcut(path, back));
  EXPECT_EQ(back.working_directory, "C:\\");

  logon.delete_file(path);
  EXPECT_FALSE(logon.file_exists(path));
  logon.delete_file(path);  // already gone: harmless
  EXPECT_FALSE(logon.create_shortcut(folder + "\\no such folder\\x.lnk", fields));
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace lanchuan::e2e

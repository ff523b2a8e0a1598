// Settings files the program did not write: values longer than its read
// buffer, bytes that are not GBK, a file it may not write, and the profile
// functions' own rules for duplicate sections and lines without "=". Each time
// the program shows what GetPrivateProfileStringA, called here on the same
// file, returns, and it neither crashes nor stops answering.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/servers.h"
#include "ui/layout.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

constexpr DWORD kProgramBuffer = 10240;  // what the program reads a value into

// The value as the program gets it, up to its first NUL as a window text shows it.
std::string profile(const char* section, const char* key, const std::string& default_value,
                    DWORD buffer_size = kProgramBuffer) {
  std::vector<char> buffer(buffer_size, '\0');
  const DWORD n = GetPrivateProfileStringA(section, key, default_value.c_str(), buffer.data(),
                                           buffer_size, kSettingsFile);
  const std::string value(buffer.data(), n);
  return value.substr(0, value.find('\0'));
}

std::string file_bytes() {
  std::ifstream in(kSettingsFile, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool answers(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

const std::string kDesignServer = control_row(Id::组合框1).caption;

class SettingsFaults : public ::testing::Test {
 protected:
  void SetUp() override { remove_file(); }
  void TearDown() override {
    app.kill();
    remove_file();
  }
  static void remove_file() {
    SetFileAttributesA(kSettingsFile, FILE_ATTRIBUTE_NORMAL);
    delete_settings_file();
  }
  // The program is still there and answering after a few of its ticks (each
  // shows the system time anew: three changes of it are at least two seconds).
  void expect_alive() {
    std::string shown = app.text(Id::编辑框_系统时间);
    int ticks = 0;
    EXPECT_TRUE(wait_until(
        [&] {
          const std::string now = app.text(Id::编辑框_系统时间);
          if (now != shown) ++ticks;
          shown = now;
          return ticks >= 3 || !app.running();
        },
        10000, 100))
        << "the system time shown changed " << ticks << " times, last to " << shown;
    EXPECT_TRUE(app.running());
    EXPECT_TRUE(answers(app.main_window()));
  }
  AppDriver app;
};

// --- values longer than the read buffer ------------------------------------------

struct LongValue {
  const char* name;
  std::string value;
  size_t shown;  // bytes that come back (Wine 8)
};

class LongServerValue : public SettingsFaults, public ::testing::WithParamInterface<LongValue> {};

TEST_P(LongServerValue, IsCutToWhatTheProfileFunctionReturns) {
  const std::string& value = GetParam().value;
  ASSERT_TRUE(write_settings_file("[lx]\r\nfuwuqi=" + value + "\r\n"));
  const std::string expected = profile("lx", "fuwuqi", kDesignServer);
  // The front of the value, never more than the buffer less its closing NUL.
  EXPECT_EQ(GetParam().shown, expected.size());
  EXPECT_EQ(value.substr(0, expected.size()), expected);

  ASSERT_TRUE(app.start());
  EXPECT_EQ(expected, app.text(Id::组合框1));
  expect_alive();
  EXPECT_EQ(expected, app.text(Id::组合框1));
}

INSTANTIATE_TEST_SUITE_P(
    , LongServerValue,
    ::testing::Values(
        // 10239 bytes exactly: all of the buffer but its closing NUL.
        LongValue{"Ascii", "http://" + std::string(19993, 'x'), kProgramBuffer - 1},
        // Two-byte characters from an odd offset: the cut does not split the
        // last one, so a byte less comes back.
        LongValue{"Gbk",
                  "http://a" +
                      [] {
                        std::string s;
                        while (s.size() < 20000) s += "中";
                        return s;
                      }(),
                  kProgramBuffer - 2}),
    [](const ::testing::TestParamInfo<LongValue>& p) { return std::string(p.param.name); });

// --- bytes that are not GBK ----------------------------------------------------

TEST_F(SettingsFaults, BytesThatAreNotGbkAreShownAsTheProfileFunctionReturnsThem) {
  // No option is on, so no run changes the combo box.
  const std::string server =
      "http://a\x81\x20"
      "b\xFF"
      "c\x80"
      "d\x81";
  ASSERT_TRUE(write_settings_file("[lx]\r\nfuwuqi=" + server + "\r\n[voru]\r\n自动退出=是\r\n"));
  const std::string shown_server = profile("lx", "fuwuqi", kDesignServer);
  // Wine's profile functions go through UTF-16: a lead byte without its trail
  // byte becomes "?" (eating the blank after it), 0x80 and 0xFF come back.
  EXPECT_EQ(
      "http://a?b\xFF"
      "c\x80"
      "d?",
      shown_server);
  ASSERT_TRUE(app.start());
  EXPECT_EQ(shown_server, app.text(Id::组合框1));
  EXPECT_TRUE(app.ticked(Id::选择框_自动退出));  // the line after the odd bytes is read
  expect_alive();
  EXPECT_EQ(shown_server, app.text(Id::组合框1));
  app.kill();

  // No number: the delayed run starts at the first tick and the box keeps its text.
  const std::string seconds = "\xFF\x80\x81";
  ASSERT_TRUE(write_settings_file("[voru]\r\n是否自动=是\r\n秒=" + seconds + "\r\n"));
  const std::string shown_seconds = profile("voru", "秒", "60");
  EXPECT_EQ("\xFF\x80?", shown_seconds);
  ASSERT_TRUE(app.start());
  EXPECT_TRUE(app.ticked(Id::选择框_自动校准));
  expect_alive();
  EXPECT_EQ(shown_seconds, app.text(Id::编辑框_延迟秒));
}

// --- a file that cannot be written -------------------------------------------------

TEST_F(SettingsFaults, ReadOnlyFileKeepsTheChoicesOfThisRunOnly) {
  const std::string content = "[voru]\r\n自动退出=否\r\n";
  ASSERT_TRUE(write_settings_file(content));
  ASSERT_TRUE(SetFileAttributesA(kSettingsFile, FILE_ATTRIBUTE_READONLY));
  // Under Wine the rig runs as root, and root writes a read-only file all the
  // same; an open handle that shares reading only makes every write fail, as
  // the attribute alone does on Windows.
  HANDLE lock = CreateFileA(kSettingsFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  struct Unlock {
    HANDLE h;
    ~Unlock() { CloseHandle(h); }
  } unlock{lock};
  ASSERT_TRUE(app.start());

  app.send(app.control(Id::选择框_间隔校时), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.ticked(Id::选择框_间隔校时));
  EXPECT_FALSE(app.enabled(Id::编辑框_间隔秒));
  // The countdown runs from the box's "5" all the same.
  EXPECT_TRUE(wait_until([&] { return app.text(Id::编辑框_间隔秒) == "3"; }, 5000))
      << app.text(Id::编辑框_间隔秒);
  EXPECT_EQ(content, file_bytes());

  app.send(app.control(Id::选择框_自动退出), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.ticked(Id::选择框_自动退出));
  EXPECT_FALSE(app.ticked(Id::选择框_间隔校时));
  EXPECT_TRUE(app.enabled(Id::编辑框_间隔秒));
  EXPECT_EQ("5", app.text(Id::编辑框_间隔秒));
  app.send(app.control(Id::选择框_自动校准), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(app.enabled(Id::编辑框_延迟秒));
  expect_alive();
  EXPECT_EQ(content, file_bytes());
  EXPECT_NE(0u, GetFileAttributesA(kSettingsFile) & FILE_ATTRIBUTE_READONLY);

  // The next start knows nothing of these clicks.
  app.kill();
  ASSERT_TRUE(app.start());
  EXPECT_FALSE(app.ticked(Id::选择框_自动退出));
  EXPECT_FALSE(app.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(app.ticked(Id::选择框_间隔校时));
}

// --- what the profile functions make of unusual files --------------------------

struct OddFile {
  const char* name;
  std::string content;
  // What Wine 8's profile functions make of it.
  std::string server;
  bool interval;
  bool delayed;
  bool exit;
};

class OddSettingsFile : public SettingsFaults, public ::testing::WithParamInterface<OddFile> {};

// The program reads the keys in its own order; whatever the profile function
// returns for each decides the controls. Seconds values are not numbers, so
// the boxes keep them while the run they start fails.
TEST_P(OddSettingsFile, ProgramShowsWhatTheProfileFunctionReturns) {
  // The servers the files name answer, so a run leaves the combo box as it is.
  FakeHttpServer first(builtin_server_ip(0), 80);
  FakeHttpServer second(builtin_server_ip(1), 80);
  FakeResponse answer;
  answer.date = "Tue, 08 Dec 2026 05:36:14 GMT";
  first.set_response(answer);
  second.set_response(answer);
  ASSERT_TRUE(first.listening() && second.listening());
  ASSERT_TRUE(write_settings_file(GetParam().content));
  const std::string server = profile("lx", "fuwuqi", kDesignServer);
  const bool interval = profile("voru", "是否间隔", "否") == "是";
  const bool delayed = !interval && profile("voru", "是否自动", "否") == "是";
  const bool exit = !interval && profile("voru", "自动退出", "否") == "是";
  EXPECT_EQ(GetParam().server, server);
  EXPECT_EQ(GetParam().interval, interval);
  EXPECT_EQ(GetParam().delayed, delayed);
  EXPECT_EQ(GetParam().exit, exit);

  ASSERT_TRUE(app.start());
  EXPECT_EQ(server, app.text(Id::组合框1));
  EXPECT_EQ(interval, app.ticked(Id::选择框_间隔校时));
  EXPECT_EQ(delayed, app.ticked(Id::选择框_自动校准));
  EXPECT_EQ(exit, app.ticked(Id::选择框_自动退出));
  expect_alive();
  if (interval) {
    EXPECT_EQ(profile("voru", "间隔秒", "20"), app.text(Id::编辑框_间隔秒));
  }
  if (delayed) {
    EXPECT_EQ(profile("voru", "秒", "60"), app.text(Id::编辑框_延迟秒));
  }
  EXPECT_EQ(server, app.text(Id::组合框1));
  // Runs went to the server shown, and only there.
  if (interval || delayed) {
    const bool to_first = server == "http://127.0.0.11" || server == kDesignServer;
    EXPECT_GT((to_first ? first : second).request_count(), 0u);
    EXPECT_EQ(0u, (to_first ? second : first).request_count());
  }
}

INSTANTIATE_TEST_SUITE_P(
    , OddSettingsFile,
    ::testing::Values(
        OddFile{"DuplicateSections",
                "[voru]\r\n是否自动=是\r\n秒=d1\r\n[lx]\r\nfuwuqi=http://127.0.0.11\r\n"
                "[voru]\r\n是否自动=否\r\n秒=d2\r\n自动退出=是\r\n"
                "[lx]\r\nfuwuqi=http://127.0.0.12\r\n",
                // The first section of a name is the only one looked at.
                "http://127.0.0.11", false, true, false},
        OddFile{"DuplicateKeys",
                "[voru]\r\n是否间隔=是\r\n间隔秒=k1\r\n是否间隔=否\r\n间隔秒=k2\r\n"
                "[lx]\r\nfuwuqi=http://127.0.0.11\r\nfuwuqi=http://127.0.0.12\r\n",
                // The first line of a key wins.
                "http://127.0.0.11", true, false, false},
        OddFile{"LinesWithoutEquals",
                "[lx]\r\nfuwuqi\r\nfuwuqi=http://127.0.0.12\r\n"
                "[voru]\r\n是否间隔\r\n是否间隔=是\r\n间隔秒=k1\r\n是否自动=是\r\n秒=d1\r\n"
                "no equals here\r\n",
                // A key without "=" is found first and gives the default.
                kDesignServer, false, true, false},
        // Lines before the first section belong to none.
        OddFile{"NoSectionHeader", "fuwuqi=http://127.0.0.12\r\n是否自动=是\r\n秒=d1\r\n",
                kDesignServer, false, false, false}),
    [](const ::testing::TestParamInfo<OddFile>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace lanchuan::e2e
